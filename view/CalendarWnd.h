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
// window posts itself and the registry asks for), kMsgFunctionWnd (101, the
// icon bar's buttons), kMsgEventRegistWnd (102, the registration window's
// details request), kMsgEventPopupWnd (103, the popup's rows) and
// kMsgCalendarManager (104, the manager's notifications).
//
// Input (CalendarWndInput.cpp): hover with the delayed event popup, click and
// double click on a day, dragging by the header, the wheel, the icon bar and
// the timers. Commands (CalendarWndCommands.cpp): the context menu, the
// navigation and the other commands; dialogs open through the context's
// ICalendarWndHost (view/CalendarWndHost.h).
//
// Created, used and destroyed on the user-interface thread; owned by the
// window registry (Model::CCalendarWndManager).
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "googledata/ProtocolNumbers.h"
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

class CEventPopupWnd;
class CEventRegistWnd;
class CFunctionWnd;
class CNoticeWnd;
class ICalendarWndHost;
class ICalendarWndSource;
class QMenu;
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
    ICalendarWndHost* host = nullptr;                // opens the dialogs; null: they do nothing
    std::string imageFolder;  // the "image" folder (with a final "/"); empty: the
                              // program folder's
};

class CCalendarWnd : public platform::CLayeredWindow {
    Q_OBJECT
public:
    static constexpr uint32_t kMsgRedraw = platform::kWmUser + 100;
    static constexpr uint32_t kMsgFunctionWnd = platform::kWmUser + 101;
    static constexpr uint32_t kMsgEventRegistWnd = platform::kWmUser + 102;
    static constexpr uint32_t kMsgEventPopupWnd = platform::kWmUser + 103;
    static constexpr uint32_t kMsgCalendarManager = platform::kWmUser + 104;
    // Timer ids.
    static constexpr uint32_t kTimerHousekeeping = 1;  // 200 ms, always
    static constexpr uint32_t kTimerIconBarHide = 2;   // 100 ms while the icon bar shows
    static constexpr uint32_t kTimerIconBarShow = 4;   // delay before the icon bar appears
    static constexpr uint32_t kTimerPopup = 5;         // delay before the event popup appears
    static constexpr uint32_t kTimerClick = 6;         // a click, unless a double click follows
    static constexpr uint32_t kTimerMenuSuppress = 7;  // ends the menu suppression (5 s)

    // Codes of kMsgFunctionWnd (the icon bar's buttons).
    enum FunctionCode : uint32_t {
        kFuncPrevMonth = 1,
        kFuncThisMonth = 2,
        kFuncNextMonth = 3,
        kFuncWebCalendar = 4,
        kFuncSync = 5,
        kFuncLock = 6,
        kFuncMenu = 7,
    };

    // Command identifiers of the context menu.
    enum Command : int {
        ID_PREV_MONTH = 32782,
        ID_NEXT_MONTH = 32783,
        ID_PREV_YEAR = 32784,
        ID_NEXT_YEAR = 32785,
        ID_STYLE = 32786,
        ID_HELP = 32788,
        ID_VERSION = 32789,
        ID_EXIT = 32790,
        ID_EDIT_STYLE = 32793,
        ID_NEW_WINDOW = 32807,
        ID_LOCK_WINDOW = 32810,
        ID_CLOSE_WINDOW = 32811,
        ID_OPTION = 32814,
        ID_NOTHING = 32820,
        ID_WEB_CALENDAR = 32822,
        ID_SYNC = 32836,
        ID_ALIGN_WINDOW = 32839,
        ID_CALENDAR_SETTINGS = 32841,
        ID_HOLIDAY_SETTINGS = 32845,
        ID_EVENT_SUMMARY = 207,
        ID_IMPORT_ICALENDAR = 32850,
        ID_EXPORT_ICALENDAR = 32851,
        ID_THIS_MONTH = 1,  // the icon bar's "this month" (no menu item)
    };

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
    // The index (0-41) of the visible day cell under a window point, or -1.
    int DayAt(int x, int y) const;

    // --- Input (CalendarWndInput.cpp) ---
    // The dispatch window's mouse tick (every 100 ms): a window under the
    // mouse turns opaque at once (when transparency is off while hovered)
    // and back when the mouse leaves; a fading icon bar under the mouse
    // returns to full opacity.
    void CheckMouse();
    // Runs timer `id` now, as if it had elapsed (tests).
    void FireTimer(uint32_t id) { OnTimer(id); }
    // Stops the icon bar timer and makes a new icon bar (the options of the
    // bar or the calendar mode changed).
    void RebuildIconBar();
    // Out of the registry, waiting to be destroyed: hidden, deaf to the
    // manager and the mouse.
    void Retire();

    int HoveredDay() const { return hoveredDay_; }
    bool IsDragging() const { return dragging_; }
    bool IsMenuSuppressed() const { return menuSuppressed_; }
    bool IsSyncRequested() const { return syncRequested_; }
    // The screen rectangle in which the mouse summons the icon bar.
    bool InIconBarZone(const QPoint& screenPos) const;
    CEventPopupWnd* Popup() const { return popup_.get(); }
    CEventRegistWnd* RegistWnd() const { return registWnd_.get(); }
    CFunctionWnd* FunctionWnd() const { return functionWnd_.get(); }
    CNoticeWnd* NoticeWnd() const { return notice_.get(); }

    // --- Commands (CalendarWndCommands.cpp) ---
    // Builds the context menu as it is about to be shown (greying, checks,
    // removed items) without showing it; each action's data is its command
    // identifier.
    std::unique_ptr<QMenu> BuildContextMenu();
    // Shows the context menu at a screen point and runs the chosen command
    // once the menu has closed.
    void ShowContextMenu(const QPoint& screenPos);
    // Runs a command of the menu (or of the icon bar, ID_THIS_MONTH).
    void RunCommand(int command);
    // The import and export items: a file dialog through the host, the work
    // through the source, the outcome in a message (CalendarWndIcal.cpp).
    void ExchangeIcalendar(bool import);
    // Called with the menu just before it runs its loop (tests drive the
    // menu from here); null: none.
    static inline void (*menuHook)(QMenu& menu) = nullptr;

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
    // Another screen's pixel ratio: painted again at it.
    void OnPixelRatioChanged() override { Redraw(); }
    void OnTimer(uint32_t id) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

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
    void OnMsgFunctionWnd(uint32_t code);
    void OnMsgEventRegistWnd();
    void OnMsgEventPopupWnd(uint32_t code);
    void CreateChildWindows();

    // Input helpers (CalendarWndInput.cpp).
    bool InputBlocked() const;
    // Raises the window and keeps its icon bar and sync notice above it.
    void RaiseWithChildren();
    bool VerticalIconBar() const;
    void OnMouseMove(const QPoint& screenPos, bool leftDown);
    void SetHoveredDay(int index);
    void OnClickTimer();
    void OnPopupTimer();
    void OnHousekeepingTimer();
    void OnIconBarShowTimer();
    void OnIconBarHideTimer();
    void ShowIconBar();
    void HideIconBar();
    void ShowPopupForDay(int index);
    bool DayHasEntries(int index) const;
    QPoint DayCenter(int index) const;
    bool CursorOverWindowOrPopup() const;
    void OpenRegistWnd(int index);
    void OpenNewEventDialog(const struct NewEventRequest& request);
    void ReportException(const char* handler, const std::exception* e, int line) const;

    // Commands (CalendarWndCommands.cpp).
    void Navigate(int command);
    void Sync();
    void OpenWebCalendar();
    void ToggleLock();
    bool IsLocked() const;
    int WindowCount() const;
    void PostCommand(uint32_t command, platform::LParam lParam = 0) const;
    std::string ImageFolder() const;
    void PaintBackBuffer();
    void UpdateShape();
    void UpdateShadow();
    void LoadBackgroundImage();
    bool CursorOverWindow() const;
    googledata::CalendarMode CalendarMode() const;
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

    // Input state.
    int hoveredDay_ = -1;       // the day cell under the mouse
    int pendingPopupDay_ = -1;  // the day timer 5 runs for
    bool dragging_ = false;
    QPoint grabOffset_;  // cursor minus window corner while dragging
    QPoint pressPos_;    // where the left button went down (screen)
    bool leftPressed_ = false;
    bool mouseInside_ = false;
    bool menuSuppressed_ = false;
    bool syncRequested_ = false;
    bool ignoreNextRelease_ = false;  // the release that ends a double click
    bool retired_ = false;

    // Child windows, destroyed before the window.
    std::unique_ptr<CEventPopupWnd> popup_;
    std::unique_ptr<CEventRegistWnd> registWnd_;
    std::unique_ptr<CFunctionWnd> functionWnd_;
    std::unique_ptr<CNoticeWnd> notice_;
};
