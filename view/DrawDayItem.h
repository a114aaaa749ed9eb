// Draw::CDrawDayItem: one day cell of a calendar window: the box behind the
// day number (the style's box, the hover box, or the booked box) and the
// number itself in the day's text style, with the booked decoration (font
// style bits and text colour) on days that have events. The style and the
// background item are borrowed from the window. User-interface thread only.
#pragma once

#include <cstdint>

#include "model/StyleInfo.h"
#include "view/DrawBackgroundItem.h"
#include "view/DrawBoxItem.h"
#include "view/DrawItem.h"
#include "view/DrawTextItem.h"

namespace Draw {

class CDrawDayItem : public CDrawItem {
public:
    CDrawDayItem();

    void Draw(QPainter& painter, bool atOrigin) override;
    // The box takes the rectangle less one pixel right and bottom, the
    // number the whole rectangle.
    void Relayout() override;

    // Sets the date (local midnight) and the text ("%d" of the day). Throws
    // std::invalid_argument for a year before 1900, a month outside 1-12 or
    // a day outside 1-31.
    void SetDate(int year, int month, int day);
    int64_t Date() const { return date_; }

    const Model::DayTextStyle* style = nullptr;  // not owned
    Model::ArgbColor hoverFillColor = 0xFFB0E0EE;
    Model::ArgbColor hoverFrameColor = 0xFF669BCC;
    int32_t bookedFontStyle = 0;
    int32_t booked = 0;
    int32_t bookedTextColorOn = 0;
    Model::ArgbColor bookedTextColor = 0xFF20C020;
    int32_t bookedBackgroundOn = 0;
    Model::ArgbColor bookedBackgroundColor = 0xFFFFFFFF;
    CDrawBackgroundItem* background = nullptr;  // not owned

    CDrawTextItem& Number() { return number_; }
    CDrawBoxItem& Box() { return box_; }

private:
    CDrawTextItem number_;
    CDrawBoxItem box_;
    int64_t date_ = 0;
};

}  // namespace Draw
