// Model::CCalendarStyleInfo: the skin of one calendar window (colours,
// fonts, shapes, names of months and weekdays, booked-day decoration, drop
// shadow) and its ".style" file. Each calendar window owns one; the style
// editor edits a copy field by field. The file format is described in
// docs/style-file.md. User-interface thread; a copy may be used elsewhere.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/StyleInfo.h"

namespace Model {

class CStyleArchiver;

// What a look at a style file found, before it is taken into use (import).
enum class StyleFileCheck {
    kOk = 0,
    kUnreadable,      // cannot be opened or read
    kTooLarge,        // larger than any style file (1 MiB)
    kDamaged,         // ends inside a field, or a text is malformed
    kUnknownVersion,  // not a version this program writes or reads (1000 to 1002)
    kImplausible,     // a size, shape or alignment no window can be drawn with
};

class CCalendarStyleInfo : public CStyleInfo {
public:
    // The version written by Save; files of 1000 and 1001 load too.
    static constexpr int32_t kVersion = 1002;
    static constexpr ArgbColor kSpareColor1 = 0xFFA8CCFF;
    static constexpr ArgbColor kSpareColor2 = 0xFF669BCC;

    // `bottomBarOption` answers the "show_bottom_bar" option; it is asked at
    // construction and after every load. Without it the bottom bar is off.
    explicit CCalendarStyleInfo(std::function<bool()> bottomBarOption = {});

    // Reads a style file; fields before a missing or damaged part take the
    // file's values, the rest keep theirs. A file whose values fail
    // IsPlausible() changes nothing (a hostile font size would make a window
    // of gigabytes). Remembers the name as the path. Returns true in every
    // case.
    bool Load(const std::wstring& fileName) override;
    // Writes the style as version 1002 (an empty name means the path). The
    // file is replaced only when the whole style was written; false when it
    // could not be.
    bool Save(const std::wstring& fileName) override;

    // The strict check of a file that is to replace a style (import): the
    // whole file must read, with a known version and plausible values.
    static StyleFileCheck CheckFile(const std::wstring& fileName);
    // True when every size, thickness, margin, shape, alignment and text
    // length lies in the range a window can be drawn with.
    bool IsPlausible() const;

    // Month name of `format` for month 1-12 (empty for an unknown format or
    // month). Format 7 is the user locale's full month name.
    static std::wstring GetMonthName(int format, int month);
    // Weekday name of `format` for column 0-6 of the weekday row; the row
    // starts on Monday when `mondayFirst`, else on Sunday. Format 8 is the
    // user locale's abbreviated day name.
    static std::wstring GetWeekName(int format, int column, bool mondayFirst);

    // Stored fields, in file order.
    int32_t version = kVersion;
    TextStyle yearText;
    TextStyle monthNumText;
    TextStyle monthNameText;
    int32_t monthNameFormat = 0;
    StyleMargins headerMargins{4, 4, 4, 4};
    int32_t headerSameAsWindow = 0;
    ArgbColor headerBackground = 0xFFFFFFFF;
    TextStyle weekText;
    int32_t weekNameFormat = 4;
    int32_t weekRowShape = kShapeRectangle;
    StyleMargins weekRowMargins{0, 0, 1, 0};
    int32_t weekRowSameAsWindow = 0;
    int32_t weekRowFrame = 1;
    ArgbColor weekRowBackground = 0xFF7D9EC0;
    ArgbColor weekRowFrameColor = 0xFF404040;
    TextStyle weekNumberText;
    DayTextStyle weekdayDayText;
    DayTextStyle saturdayDayText;
    DayTextStyle sundayDayText;  // Sundays and holidays
    DayTextStyle todayDayText;
    ArgbColor spareColor1 = kSpareColor1;  // stored only, reset after every load
    ArgbColor spareColor2 = kSpareColor2;
    // (a reserved number, written as 0 and skipped when read)
    DayTextStyle otherMonthDayText;
    int32_t cellGapX = 1;
    int32_t cellGapY = 1;
    StyleMargins dayTextMargins{2, 2, 2, 2};
    int32_t dayAreaFlag = 0;
    StyleMargins gridMargins{4, 4, 4, 4};
    int32_t listFlag = 0;
    ArgbColor listFrameColor = 0xFFC0C0C0;
    TextStyle listPrevText;
    TextStyle listNextText;
    TextStyle listTitleText;
    std::wstring listPrevLabel;
    std::wstring listNextLabel;
    std::wstring listTitleLabel;
    StyleMargins listMargins{4, 4, 4, 4};
    int32_t listOption = 0;
    ArgbColor windowBackground = 0xFFF4F4F4;
    ArgbColor windowFrameColor = 0xFF808080;
    int32_t windowFrame = 1;
    int32_t backgroundImageOn = 0;
    std::wstring backgroundImage;
    int32_t windowShape = kShapeRoundRect;
    int32_t windowAlpha = 0;
    int32_t dropShadow = 0;
    int32_t dropShadowMode = 2;
    int32_t dropShadowOffsetX = 2;
    int32_t dropShadowOffsetY = 2;
    int32_t bookedTextColorOn = 0;  // from version 1001
    ArgbColor bookedTextColor = 0xFF20C020;
    int32_t bookedBackgroundOn = 0;  // from version 1002
    ArgbColor bookedBackgroundColor = 0xFFFFFFFF;

    // Derived after construction and every load; not stored.
    TextStyle popupDayText;
    TextStyle popupWeekText;
    ArgbColor popupHeaderColor = 0;
    bool bottomBarShown = false;
    ArgbColor bottomBarBackground = 0;
    TextStyle bottomBarText;
    StyleMargins bottomBarMargins{4, 4, 3, 2};
    std::wstring path;

    // Field-by-field equality of the stored fields.
    bool SameStoredFields(const CCalendarStyleInfo& other) const;

private:
    void Read(CStyleArchiver& ar);
    void Write(CStyleArchiver& ar) const;
    void Derive();

    std::function<bool()> bottomBarOption_;
};

}  // namespace Model
