// CCalendarWnd: the display list, dates and decoration, measuring, placing
// and the redraw pipeline.
#include <QCursor>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "view/CalendarWnd.h"

#include "eventwnd/EventPopupWnd.h"

namespace {

// The size and redraw log lines are written once in 20, process-wide.
std::atomic<unsigned> measureCount{0};
std::atomic<unsigned> redrawLogCount{0};

void Place(Draw::CDrawItem& item, const CalendarLayout::Rect& r) {
    item.SetRect(r.x, r.y, r.width, r.height);
}

}  // namespace

void CCalendarWnd::BuildDrawList() {
    drawList_.clear();
    drawList_.push_back(&background_);
    drawList_.push_back(&yearItem_);
    drawList_.push_back(&headerBack_);
    drawList_.push_back(&yearItem_);
    drawList_.push_back(&monthNumberItem_);
    drawList_.push_back(&monthNameItem_);
    drawList_.push_back(&weekRowBack_);
    for (Draw::CDrawTextItem& name : weekNames_) {
        drawList_.push_back(&name);
    }
    drawList_.push_back(&weekTopLine_);
    drawList_.push_back(&weekBottomLine_);
    for (Draw::CDrawTextItem& number : weekNumbers_) {
        drawList_.push_back(&number);
    }
    for (Draw::CDrawDayItem& day : days_) {
        day.background = &background_;
        day.targetWindow = Handle();
        drawList_.push_back(&day);
    }
    drawList_.push_back(&bottomBack_);
    drawList_.push_back(&clock_);
    drawList_.push_back(&frameBox_);
}

void CCalendarWnd::AssignDates() {
    const bool mondayFirst = MondayFirst();
    rows_ = CalendarLayout::GridRows(CalendarLayout::GetMonthGrid(year_, month_, mondayFirst),
                                     FixCalHeight());
    dates_ = CalendarLayout::GridDates(year_, month_, mondayFirst);
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        days_[i].SetDate(dates_[i].year, dates_[i].month, dates_[i].day);
    }
    for (int r = 0; r < CalendarLayout::kGridRows; ++r) {
        weekNumbers_[r].SetText(std::to_wstring(CalendarLayout::WeekNumber(dates_[r * 7])));
    }
}

void CCalendarWnd::LoadBackgroundImage() {
    std::wstring name;
    if (style_.backgroundImageOn && !style_.backgroundImage.empty()) {
        name = style_.backgroundImage;
        // A bare name is looked for beside the style file.
        const QFileInfo info(QString::fromStdWString(name));
        if (info.isRelative() && !style_.path.empty()) {
            name = (QFileInfo(QString::fromStdWString(style_.path)).absolutePath() + "/" +
                    info.filePath())
                       .toStdWString();
        }
    }
    if (name == loadedBackgroundImage_) {
        return;
    }
    loadedBackgroundImage_ = name;
    if (!background_.LoadTileImage(name) && log_ != nullptr) {
        log_->Write(Utility::kLogWarn, L"<view> background image not loaded: " + name);
    }
}

void CCalendarWnd::ApplyStyle() {
    yearItem_.SetStyle(style_.yearText);
    monthNumberItem_.SetStyle(style_.monthNumText);
    monthNameItem_.SetStyle(style_.monthNameText);
    const bool mondayFirst = MondayFirst();
    for (int c = 0; c < 7; ++c) {
        weekNames_[c].SetStyle(style_.weekText);
        weekNames_[c].SetText(
            Model::CCalendarStyleInfo::GetWeekName(style_.weekNameFormat, c, mondayFirst));
    }
    for (Draw::CDrawTextItem& number : weekNumbers_) {
        number.SetStyle(style_.weekNumberText);
    }
    clock_.SetStyle(style_.bottomBarText);

    background_.fillColor = style_.windowBackground;
    background_.frameWidth = 0;
    background_.shape = style_.windowShape;
    background_.cornerRadius = 8;
    LoadBackgroundImage();

    frameBox_.noFill = 1;
    frameBox_.frameWidth = style_.windowFrame ? 1 : 0;
    frameBox_.frameColor = style_.windowFrameColor;
    frameBox_.shape = style_.windowShape;
    frameBox_.cornerRadius = 8;

    headerBack_.fillColor = style_.headerBackground;
    headerBack_.frameColor = style_.headerBackground;
    headerBack_.frameWidth = 1;
    headerBack_.shape = Model::kShapeRectangle;

    weekRowBack_.fillColor = style_.weekRowBackground;
    weekRowBack_.frameColor = style_.weekRowBackground;
    weekRowBack_.frameWidth = 1;
    weekRowBack_.shape = style_.weekRowShape;
    weekRowBack_.cornerRadius = 4;

    const bool lines = style_.weekRowFrame && !style_.weekRowSameAsWindow;
    for (Draw::CDrawLineItem* line : {&weekTopLine_, &weekBottomLine_}) {
        line->color = style_.weekRowFrameColor;
        line->visible = lines ? 1 : 0;
    }

    bottomBack_.fillColor = style_.bottomBarBackground;
    bottomBack_.frameWidth = 0;
    bottomBack_.shape = Model::kShapeRectangle;

    ApplyDayStyles();
}

void CCalendarWnd::ApplyDayStyles() {
    today_ = CalendarLayout::Today();
    const Model::CConfigInfo* config = context_.config;
    const int bookedStyle = CalendarLayout::BookedFontStyle(
        config == nullptr || config->bookedBold, config != nullptr && config->bookedItalic,
        config != nullptr && config->bookedUnderline);
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        Draw::CDrawDayItem& day = days_[i];
        holidays_[i] = cache_.IsHoliday(platform::CTime(day.Date()));
        const CalendarLayout::DayKind kind =
            CalendarLayout::ChooseDayKind(dates_[i], year_, month_, holidays_[i], today_);
        day.style = &CalendarLayout::DayStyleOf(style_, kind);
        day.bookedFontStyle = bookedStyle;
        day.bookedTextColorOn = style_.bookedTextColorOn;
        day.bookedTextColor = kind == CalendarLayout::DayKind::Today ? style_.todayDayText.color
                                                                     : style_.bookedTextColor;
        day.bookedBackgroundOn = style_.bookedBackgroundOn;
        day.bookedBackgroundColor = style_.bookedBackgroundColor;
        day.hoverFillColor = 0xFFB0E0EE;
        day.hoverFrameColor = 0xFF669BCC;
        day.visible = i / 7 < rows_ ? 1 : 0;
    }
}

void CCalendarWnd::RefreshBooked() {
    // One pass over the events: each is tested (with the cache's own
    // occurs-on-day rule) only on the cells its time span can touch, so a
    // month of many events costs little more than the events themselves.
    std::array<int64_t, CalendarLayout::kGridCells> starts;
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        starts[i] = days_[i].Date();
        days_[i].booked = 0;
    }
    for (const Model::Event& event : cache_.Events()) {
        const int64_t begin = event.startTime.GetTime();
        const int64_t end = std::max(event.endTime.GetTime(), begin);
        // The first cell whose day may hold the start: a day starts at most a
        // day (and a daylight-saving hour) before it.
        auto first = std::lower_bound(starts.begin(), starts.end(), begin - 90000);
        for (auto it = first; it != starts.end() && *it <= end; ++it) {
            Draw::CDrawDayItem& day = days_[it - starts.begin()];
            if (!day.booked && event.OccursOnDay(platform::CTime(*it))) {
                day.booked = 1;
            }
        }
    }
}

void CCalendarWnd::CalcLayout() {
    // Every text is measured on every redraw; the sizes are kept by what
    // decides them (font, outline, shadow, text), so an unchanged window
    // builds no glyphs to measure.
    auto measure = [this](const Model::TextStyle& style, const std::wstring& text) {
        std::wstring key = style.fontFamily;
        for (int32_t n :
             {style.fontSize, style.fontStyle, style.outline ? style.outlineThickness : 0,
              style.shadow, style.shadowOffsetX, style.shadowOffsetY}) {
            key += L'|' + std::to_wstring(n);
        }
        key += L'|' + text;
        if (const auto found = measureCache_.find(key); found != measureCache_.end()) {
            return found->second;
        }
        measureItem_.SetStyle(style);
        const QSizeF size = measureItem_.Renderer().MeasureString(text);
        const CalendarLayout::Size scaled =
            CalendarLayout::ScaleMeasured(size.width(), size.height(), style.fontSize);
        if (measureCache_.size() >= 512) {
            measureCache_.clear();
        }
        measureCache_.emplace(std::move(key), scaled);
        return scaled;
    };
    layout_ = CalendarLayout::CalcLayout(style_, {year_, MondayFirst(), rows_}, measure);
    if (measureCount++ % 20 == 0 && log_ != nullptr) {
        char line[128];
        std::snprintf(line, sizeof line, "<view> size day(%d,%d) week(%d,%d) row:%d",
                      layout_.cell.width, layout_.cell.height, layout_.cellWidthBeforeWeekdays,
                      layout_.weekRow.height, layout_.rows);
        log_->Write(Utility::kLogInfo, line);
    }
}

bool CCalendarWnd::CursorOverWindow() const {
    const QPoint cursor = QCursor::pos();
    return QRect(left_, top_, Width(), Height()).contains(cursor) ||
           (popup_ && popup_->Contains(cursor));
}

void CCalendarWnd::PlaceItems() {
    const CalendarLayout::Layout& l = layout_;

    // 1-2. Background and frame.
    Place(background_, l.window);
    opaqueWhileHovered_ = context_.disableTransparencyWhileMouseOver && CursorOverWindow();
    background_.fillColor =
        opaqueWhileHovered_ ? (style_.windowBackground | 0xFF000000u) : style_.windowBackground;
    frameBox_.SetRect(l.window.x, l.window.y, l.window.width - 1, l.window.height - 1);
    frameBox_.visible = style_.windowFrame ? 1 : 0;

    // 3. Header.
    Place(headerBack_, l.header);
    headerBack_.visible = style_.headerSameAsWindow ? 0 : 1;
    const CalendarLayout::Rect headerText = CalendarLayout::HeaderTextRect(l, style_);
    Place(yearItem_, headerText);
    Place(monthNumberItem_, headerText);
    Place(monthNameItem_, headerText);
    yearItem_.SetText(std::to_wstring(year_));
    monthNumberItem_.SetText(std::to_wstring(month_));
    monthNameItem_.SetText(Model::CCalendarStyleInfo::GetMonthName(style_.monthNameFormat, month_));

    // 4. Weekday row.
    if (style_.weekText.visible) {
        Place(weekRowBack_, l.weekRow);
        weekRowBack_.visible = style_.weekRowSameAsWindow ? 0 : 1;
        for (int c = 0; c < 7; ++c) {
            Place(weekNames_[c], CalendarLayout::WeekdayNameRect(l, style_, c));
            weekNames_[c].visible = 1;
        }
    } else {
        weekRowBack_.visible = 0;
        for (Draw::CDrawTextItem& name : weekNames_) {
            name.visible = 0;
        }
    }
    weekTopLine_.SetRect(l.weekRow.x, l.weekRow.y, l.weekRow.width, 0);
    weekBottomLine_.SetRect(l.weekRow.x, l.weekRow.y + l.weekRow.height, l.weekRow.width, 0);

    // 5. Week numbers.
    for (int r = 0; r < CalendarLayout::kGridRows; ++r) {
        Place(weekNumbers_[r], CalendarLayout::WeekNumberRect(l, style_, r));
        weekNumbers_[r].visible = style_.weekNumberText.visible && r < l.rows ? 1 : 0;
    }

    // 6. Days.
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        Draw::CDrawDayItem& day = days_[i];
        Place(day, CalendarLayout::DayCellRect(l, style_, i / 7, i % 7));
        day.clickable = 1;
        day.visible = i / 7 < l.rows ? 1 : 0;
        day.Relayout();
    }

    // 7. Bottom bar.
    Place(bottomBack_, l.bottomBar);
    bottomBack_.visible = style_.bottomBarShown ? 1 : 0;
    Place(clock_, CalendarLayout::ClockRect(l, style_));
    clock_.SetText(clockText_);
    clock_.visible = style_.bottomBarShown ? 1 : 0;
}

void CCalendarWnd::PaintBackBuffer() {
    QImage& buffer = ResetBackBuffer(Width(), Height());
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (Draw::CDrawItem* item : drawList_) {
        item->Draw(painter, false);
    }
}

void CCalendarWnd::UpdateShape() {
    if (style_.windowShape != Model::kShapeRoundRect) {
        SetShape(QRegion());
        return;
    }
    const CalendarLayout::Rect& w = layout_.window;
    const QRegion region =
        platform::RoundRectRegion(w.x, w.y, w.x + w.width + 1, w.y + w.height + 1, 16, 16);
    if (region.isEmpty()) {
        Log(Utility::kLogError, "<view> CreateRoundRectRgn failure:0");
    }
    SetShape(region);
}

void CCalendarWnd::UpdateShadow() {
    const bool shown = style_.dropShadow != 0;
    if (!shown && !shadow_.IsCreated()) {
        return;  // no companion window until a style asks for one
    }
    shadow_.Create(this);
    bool changed = false;
    const int x = style_.dropShadowOffsetX;
    const int y = style_.dropShadowOffsetY;
    if (x >= -20 && x <= 20 && y >= -20 && y <= 20 &&
        (x != shadow_.OffsetX() || y != shadow_.OffsetY())) {
        changed = shadow_.SetPosition(x, y);
    }
    if (shown && (changed || size() != shadowShapeSize_)) {
        shadowShapeSize_ = size();
        shadow_.Update();
    }
    shadow_.Show(shown);
}

void CCalendarWnd::Redraw() {
    // 1. Dates and decoration.
    if (rebuildDates_ || restyle_) {
        AssignDates();
        ApplyStyle();
        RefreshCachesIfMonthsChanged();
        RefreshBooked();
        rebuildDates_ = false;
        restyle_ = false;
    }
    // 2. Measure and place.
    CalcLayout();
    PlaceItems();
    right_ = left_ + layout_.window.width;
    bottom_ = top_ + layout_.window.height;
    // 3.
    if (redrawLogCount++ % 20 == 0 && log_ != nullptr) {
        char line[160];
        std::snprintf(line, sizeof line, "<view> redraw x:%d y:%d w:%d h:%d v:%d", left_, top_,
                      Width(), Height(), isVisible() ? 1 : 0);
        log_->Write(Utility::kLogInfo, line);
    }
    // 4. Move and size.
    const QRect target(left_, top_, Width(), Height());
    if (geometry() != target) {
        setGeometry(target);
    }
    // 5-6. A fresh back buffer with the whole list.
    PaintBackBuffer();
    UpdateShape();
    // 7. Shadow.
    UpdateShadow();
    // 8-9. Present.
    Present();
    ++redrawCount_;
}
