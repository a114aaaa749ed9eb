// Model::CStyleInfo: the common base of the window styles, and the small
// records a style is made of (text styles, day text styles, margins). Plain
// values without Qt; the views turn them into pens, fonts and alignments.
// Value types: any thread may use its own copies.
#pragma once

#include <cstdint>
#include <string>

namespace Model {

// 32-bit ARGB colour: alpha in the top byte, then red, green, blue.
using ArgbColor = uint32_t;

// Text alignment along one axis.
enum StringAlignment : int32_t {
    kAlignNear = 0,
    kAlignCenter = 1,
    kAlignFar = 2,
};

// Font style bits.
enum FontStyleBits : int32_t {
    kFontRegular = 0,
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontStrikeout = 8,
};

// The layout of a text in its rectangle: the only parts of a string format
// that are style data. The text is always laid out on one line, without
// clipping to a black box and with trailing spaces measured.
struct StringFormat {
    int32_t alignment = kAlignNear;      // horizontal
    int32_t lineAlignment = kAlignNear;  // vertical
    bool operator==(const StringFormat&) const = default;
};

// How one kind of text is drawn.
struct TextStyle {
    ArgbColor color = 0xFF000000;
    int32_t visible = 1;
    int32_t usePosition = 0;  // 1: origin at (positionX, positionY) instead of aligning
    int32_t positionX = 0;
    int32_t positionY = 0;
    StringFormat format;
    std::wstring fontFamily;
    int32_t fontSize = 10;  // em size in pixels
    int32_t fontStyle = kFontRegular;
    int32_t shadow = 0;
    int32_t shadowThickness = 2;
    int32_t shadowOffsetX = 1;
    int32_t shadowOffsetY = 1;
    ArgbColor shadowColor = 0xFF808080;
    int32_t outline = 0;
    int32_t outlineThickness = 2;
    ArgbColor outlineColor = 0xFF404040;
    bool operator==(const TextStyle&) const = default;
};

// Box shapes of day boxes, the weekday row and the window.
enum BoxShape : int32_t {
    kShapeNone = 0,
    kShapeRectangle = 1,
    kShapeRoundRect = 2,
};

// A day number's text style and the box drawn behind it.
struct DayTextStyle : TextStyle {
    int32_t boxShape = kShapeNone;
    ArgbColor boxFillColor = 0xFFE0E0E0;
    ArgbColor boxFrameColor = 0xFFC0C0C0;
    int32_t boxFill = 0;
    int32_t boxFrame = 0;
    bool operator==(const DayTextStyle&) const = default;
};

// Inner margins in pixels.
struct StyleMargins {
    int32_t left = 0;
    int32_t right = 0;
    int32_t top = 0;
    int32_t bottom = 0;
    bool operator==(const StyleMargins&) const = default;
};

// Base of every style object; holds no data of its own.
class CStyleInfo {
public:
    virtual ~CStyleInfo() = default;
    virtual bool Load(const std::wstring& fileName) = 0;
    virtual bool Save(const std::wstring& fileName) = 0;
};

}  // namespace Model
