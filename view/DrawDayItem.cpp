#include "view/DrawDayItem.h"

#include <QPainter>
#include <stdexcept>

#include "platform/Time.h"

namespace Draw {

CDrawDayItem::CDrawDayItem() : CDrawItem(kKindDay) {}

void CDrawDayItem::Relayout() {
    box_.SetRect(x, y, width - 1, height - 1);
    number_.SetRect(x, y, width, height);
}

void CDrawDayItem::SetDate(int year, int month, int day) {
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) {
        throw std::invalid_argument("CDrawDayItem::SetDate: date out of range");
    }
    date_ = platform::LocalMidnight(platform::CTime(year, month, day, 12, 0, 0)).GetTime();
    SetText(std::to_wstring(day));
}

void CDrawDayItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || style == nullptr) {
        return;
    }
    const QPoint shift = atOrigin ? QPoint(-x, -y) : QPoint(0, 0);
    if (background != nullptr && style->boxFill) {
        background->EraseRect(painter, Rect().translated(shift));
    }

    // The number: the booked decoration on top of the day's style.
    if (booked) {
        Model::TextStyle numberStyle = *style;
        numberStyle.fontStyle = bookedFontStyle;
        if (bookedTextColorOn) {
            numberStyle.color = bookedTextColor;
        }
        number_.SetStyle(numberStyle);
    } else {
        number_.SetStyle(*style);
    }
    number_.SetText(text_);
    number_.visible = 1;

    const bool bookedBox = booked && bookedBackgroundOn;
    if (hover) {
        box_.fillColor = hoverFillColor;
        box_.frameColor = hoverFrameColor;
        box_.frameWidth = 1;
        box_.shape = Model::kShapeRoundRect;
        box_.cornerRadius = 2;
    } else if (bookedBox) {
        box_.fillColor = bookedBackgroundColor;
        box_.frameColor = bookedBackgroundColor;
        box_.frameWidth = 1;
        box_.shape = Model::kShapeRoundRect;
        box_.cornerRadius = 2;
    } else {
        box_.fillColor = style->boxFillColor;
        box_.frameColor = style->boxFrameColor;
        box_.frameWidth = style->boxFrame ? 1 : 0;
        box_.shape = style->boxShape;
        box_.cornerRadius = 5;
    }
    box_.noFill = 0;
    box_.visible = 1;

    painter.save();
    painter.translate(shift);
    if (style->boxFill || hover || bookedBox) {
        box_.Draw(painter, false);
    }
    number_.Draw(painter, false);
    painter.restore();
}

}  // namespace Draw
