// CCalendarWnd: one month calendar on the desktop. A frameless per-pixel-alpha
// window showing a header with the year and the month, a row of weekday
// names, an optional column of week numbers, six rows of day cells and an
// optional bottom bar with a clock. It shows the current month moved by its
// own month offset, owns its copy of the style, its event cache and its draw
// items, and reads events and holidays only through its data source (the
// calendar manager) into the cache. Days holding events are drawn booked.
//
// Layout, date and decoration decisions are the plain functions of
// view/CalendarWndLayout.h; this class measures with real fonts, places the
// items, paints them into the back buffer and presents it.
//
// Messages it receives: kMsgRedraw (WM_USER + 100, the reload message the
// window posts itself and the registry asks for) and kMsgCalendarManager
// (WM_USER + 104, the manager's notifications). Mouse, menu and popup handling
// build on the hooks here.
//
// Created, used and destroyed on the user-interface thread; owned by the
// window registry (Model::CCalendarWndManager).
#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/CalendarStyleInfo.h"
#include "model/EventCache.h"
#include "platform/qt/LayeredWindow.h"
#include "platform/qt/WndShadow.h"
#include "view/CalendarWndLayout.h"
#include "view/DrawBackgroundItem.h"
#include "view/DrawBoxItem.h"
#include "view/DrawDayItem.h"
#include "view/DrawLineItem.h"
#include "view/DrawTextItem.h"

class ICalendarWndSource;
namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

// What every calendar window is created with. The registry passes it on
// unchanged; the pointers are borrowed and outlive the windows.
struct CalendarWndContext {
    platform::WindowHandle dispatchWindow = 0;         // receives the window commands
    uint32_t commandMessage = 0;                       // the dispatch window's command message
    ICalendarWndSource* source = nullptr;              // the calendar manager; null: no data
    Model::CConfigInfo* config = nullptr;              // null: the options' defaults, mode 0
    const Model::CCalendarStyleInfo* style = nullptr;  // copied; null: the default style
    Utility::CMaintenanceLog* log = nullptr;
    bool disableTransparencyWhileMouseOver = false;  // "maniac.ini" switch
    QWidget* owner = nullptr;                        // the dispatch window's widget, if any
};

class CCalendarWnd : public platform::CLayeredWindow {
    Q_OBJECT
public:
    static constexpr uint32_t kMsgRedraw = platform::kWmUser + 100;
    static constexpr uint32_t kMsgFunctionWnd = platform::kWmUser + 101;
    static constexpr uint32_t kMsgEventRegistWnd = platform::kWmUser + 102;
    static constexpr uint32_t kMsgEventPopupWnd = platform::kWmUser + 103;
    static constexpr uint32_t kMsgCalendarManager = platform::kWmUser + 104;
    // Timer ids (the input handling runs them).
    static constexpr uint32_t kTimerHousekeeping = 1;
    static constexpr uint32_t kTimerIconBarHide = 2;

    CCalendarWnd(int windowNumber, int x, int y, int monthOffset,
                 const CalendarWndContext& context);
    ~CCalendarWnd() override;

    int GetWindowNumber() const { return windowNumber_; }
    int GetYear() const { return year_; }
    int GetMonth() const { return month_; }
    int GetMonthOffset() const { return monthOffset_; }
    // The screen rectangle: left, top, right and bottom (exclusive).
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return right_ - left_; }
    int Height() const { return bottom_ - top_; }

    // Recomputes year and month from today and the month offset and posts
    // the redraw message. `rebuild` re-assigns the dates and the decoration;
    // they are re-assigned anyway when the month or today's date changed.
    void SetMonth(bool rebuild);
    // Shows the month `offset` months from the current one.
    void SetMonthOffset(int offset);
    // Moves the window (the registry's align), keeping its size, and redraws.
    void MoveTo(int x, int y);

    // Refill the event cache from the source for the months on screen and
    // refresh the day decoration. Nothing happens in calendar mode 0.
    void UpdateEventCache();
    void UpdateHolidayCache();
    // "%02d:%02d" of the local time into the bottom bar, then SetMonth.
    void UpdateClock();
    // The redraw pipeline, at once (what the redraw message runs).
    void Redraw();

    // The support description of the window and its cached records (UTF-8,
    // CRLF line ends).
    std::string Dump() const;

    // The first clickable item under a window point, in painting order;
    // only day cells are clickable.
    Draw::CDrawItem* HitTest(int x, int y) const;

    // Inspection, for the registry's forwarding and for tests.
    const CalendarLayout::Layout& GetLayout() const { return layout_; }
    const Model::CCalendarStyleInfo& Style() const { return style_; }
    Model::CCalendarStyleInfo& Style() { return style_; }
    const Model::CEventCache& Cache() const { return cache_; }
    const Draw::CDrawDayItem& Day(int index) const { return days_.at(index); }
    const Draw::CDrawTextItem& WeekNumberItem(int row) const { return weekNumbers_.at(row); }
    const Draw::CDrawTextItem& WeekNameItem(int column) const { return weekNames_.at(column); }
    const Draw::CDrawTextItem& YearItem() const { return yearItem_; }
    const Draw::CDrawTextItem& MonthNumberItem() const { return monthNumberItem_; }
    const Draw::CDrawTextItem& MonthNameItem() const { return monthNameItem_; }
    const Draw::CDrawTextItem& ClockItem() const { return clock_; }
    const std::vector<Draw::CDrawItem*>& DrawList() const { return drawList_; }
    const std::wstring& ClockText() const { return clockText_; }
    bool OpaqueWhileHovered() const { return opaqueWhileHovered_; }
    Utility::CWndShadow& Shadow() { return shadow_; }
    // How many times the pipeline painted (tests, benchmarks).
    int RedrawCount() const { return redrawCount_; }

    // The pipeline's steps, public for benchmarks: measure and place.
    void CalcLayout();
    void PlaceItems();

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
    void OnPresentationFailed() override;

private:
    void BuildDrawList();
    void AssignDates();
    void ApplyStyle();
    void ApplyDayStyles();
    void RefreshBooked();
    void RefreshCachesIfMonthsChanged();
    Model::MonthRange MonthsOnScreen() const;
    bool IsMonthOnScreen(int year, int month) const;
    void OnMsgRedraw();
    void OnMsgCalendarManager(platform::WParam code, platform::LParam lParam);
    void PaintBackBuffer();
    void UpdateShape();
    void UpdateShadow();
    void LoadBackgroundImage();
    bool CursorOverWindow() const;
    int CalendarMode() const;
    bool MondayFirst() const;
    bool FixCalHeight() const;
    void Log(const char* level, const std::string& message) const;

    // Identity and month.
    int windowNumber_;
    int year_ = 2000;
    int month_ = 1;
    int monthOffset_;
    CalendarWndContext context_;
    Model::CCalendarStyleInfo style_;
    Utility::CMaintenanceLog* log_;
    int left_, top_, right_, bottom_;

    // Measuring results.
    CalendarLayout::Layout layout_;
    int rows_ = CalendarLayout::kGridRows;

    // Draw items, in painting order of the draw list.
    Draw::CDrawBackgroundItem background_;
    Draw::CDrawBoxItem frameBox_;
    Draw::CDrawBoxItem headerBack_;
    Draw::CDrawTextItem yearItem_;
    Draw::CDrawTextItem monthNumberItem_;
    Draw::CDrawTextItem monthNameItem_;
    Draw::CDrawBoxItem weekRowBack_;
    std::array<Draw::CDrawTextItem, 7> weekNames_;
    Draw::CDrawLineItem weekTopLine_;
    Draw::CDrawLineItem weekBottomLine_;
    std::array<Draw::CDrawTextItem, CalendarLayout::kGridRows> weekNumbers_;
    std::array<Draw::CDrawDayItem, CalendarLayout::kGridCells> days_;
    Draw::CDrawBoxItem bottomBack_;
    Draw::CDrawTextItem clock_;
    Draw::CDrawTextItem measureItem_;  // never drawn: measures texts
    std::unordered_map<std::wstring, CalendarLayout::Size> measureCache_;
    std::vector<Draw::CDrawItem*> drawList_;

    // Dates and decoration.
    std::array<CalendarLayout::Date, CalendarLayout::kGridCells> dates_{};
    std::array<bool, CalendarLayout::kGridCells> holidays_{};
    CalendarLayout::Date today_;  // today as the decoration last saw it
    Model::CEventCache cache_;
    Model::MonthRange eventRange_{0, 0, 0};    // the months the events were read for
    Model::MonthRange holidayRange_{0, 0, 0};  // the months the holidays were read for
    std::wstring clockText_;
    std::wstring loadedBackgroundImage_;

    // Flags of the pipeline.
    bool rebuildDates_ = true;
    bool restyle_ = true;
    bool redrawPosted_ = false;
    bool opaqueWhileHovered_ = false;
    int redrawCount_ = 0;

    Utility::CWndShadow shadow_;
    QSize shadowShapeSize_;
};
