// CCalendarWnd: the mouse and the timers. Hover over days with the delayed
// event popup, click and double click on a day, dragging by the header, the
// wheel, the icon bar and its zone, the housekeeping tick, and the messages
// of the icon bar, the popup and the registration window.
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <exception>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/DispatchCommands.h"
#include "eventwnd/EventPopupWnd.h"
#include "eventwnd/EventRegistWnd.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndFlags.h"
#include "view/CalendarWndHost.h"
#include "view/FunctionWnd.h"
#include "view/NoticeWnd.h"

namespace {

constexpr int kIconBarHidePeriod = 100;
constexpr int kIconBarShowPeriod = 100;
constexpr int kIconBarShowPeriodVertical = 200;
constexpr int kPopupDelay = 240;
constexpr int kPopupDelayWhileShowing = 200;
constexpr int kMenuSuppressPeriod = 5000;
constexpr int kPopupMinWidth = 171;
constexpr int kDaySeconds = 86400;

// A click waits this long for a second one: at least 100 ms, and as long as
// the desktop's double-click time so that a slow double click is not taken
// for a click first.
int ClickPeriod() {
    return std::clamp(QApplication::doubleClickInterval(), 100, 600);
}

platform::CTime Midnight(const CalendarLayout::Date& d) {
    return platform::CTime(d.year, d.month, d.day, 0, 0, 0);
}

}  // namespace

void CCalendarWnd::ReportException(const char* handler, const std::exception* e, int line) const {
    if (log_ != nullptr) {
        log_->Write(Utility::kLogError, e != nullptr ? e->what() : handler, line);
    }
}

// The icon bar options are the configuration's loaded fields (the option
// dialog writes the file and the fields): the mouse path reads no file.
bool CCalendarWnd::VerticalIconBar() const {
    return context_.config != nullptr && context_.config->verticalIconBar != 0;
}

void CCalendarWnd::RaiseWithChildren() {
    raise();
    if (functionWnd_) {
        functionWnd_->RaiseOverOwner();
    }
    if (notice_ && notice_->IsShowing()) {
        notice_->raise();
    }
}

bool CCalendarWnd::InputBlocked() const {
    return retired_ || CalendarWndFlags::AnyOpen() || (notice_ && notice_->IsShowing()) ||
           menuSuppressed_;
}

int CCalendarWnd::DayAt(int x, int y) const {
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        const Draw::CDrawDayItem& day = days_[i];
        if (day.visible && day.clickable && day.HitTest(x, y)) {
            return i;
        }
    }
    return -1;
}

QPoint CCalendarWnd::DayCenter(int index) const {
    const Draw::CDrawDayItem& day = days_.at(index);
    return QPoint(left_ + day.x + day.width / 2, top_ + day.y + day.height / 2);
}

bool CCalendarWnd::DayHasEntries(int index) const {
    const platform::CTime day = Midnight(dates_.at(index));
    return cache_.HasEventOnDay(day) || cache_.IsHoliday(day);
}

bool CCalendarWnd::CursorOverWindowOrPopup() const {
    return CursorOverWindow();
}

bool CCalendarWnd::InIconBarZone(const QPoint& screenPos) const {
    if (!QRect(left_, top_, Width(), Height()).contains(screenPos)) {
        return false;
    }
    const int y = screenPos.y() - top_;
    const CalendarLayout::Layout& l = layout_;
    return y > l.header.y + l.header.height / 2 && y <= l.weekRow.y + l.weekRow.height + 1;
}

void CCalendarWnd::SetHoveredDay(int index) {
    if (index == hoveredDay_) {
        return;
    }
    if (hoveredDay_ >= 0) {
        days_[hoveredDay_].hover = 0;
    }
    hoveredDay_ = index;
    if (hoveredDay_ >= 0) {
        days_[hoveredDay_].hover = 1;
    }
    SetMonth(false);
}

// --- Mouse ----------------------------------------------------------------

void CCalendarWnd::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->globalPosition().toPoint(), (event->buttons() & Qt::LeftButton) != 0);
}

void CCalendarWnd::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        pressPos_ = event->globalPosition().toPoint();
        leftPressed_ = true;
    }
}

void CCalendarWnd::OnMouseMove(const QPoint& screenPos, bool leftDown) {
    if (InputBlocked()) {
        return;
    }
    try {
        // 1. Dragging: the corner keeps its offset from the cursor.
        if (dragging_) {
            if (leftDown) {
                const QPoint corner = screenPos - grabOffset_;
                right_ = corner.x() + Width();
                bottom_ = corner.y() + Height();
                left_ = corner.x();
                top_ = corner.y();
                move(left_, top_);
                return;
            }
            dragging_ = false;
        }
        // 2. Outside.
        if (!QRect(left_, top_, Width(), Height()).contains(screenPos)) {
            if (hoveredDay_ >= 0) {
                Log(Utility::kLogInfo, "<view> mouse leave.");
                SetHoveredDay(-1);
            }
            return;
        }
        const QPoint local = screenPos - QPoint(left_, top_);
        const int day = DayAt(local.x(), local.y());
        if (!leftDown) {
            // 3. Hover.
            if (day < 0) {
                SetHoveredDay(-1);
                if (popup_ && popup_->IsShowing() && !popup_->Contains(screenPos)) {
                    Log(Utility::kLogInfo, "<view> evt fade out.");
                    popup_->FadeOut();
                }
            } else if (day != hoveredDay_) {
                SetHoveredDay(day);
                pendingPopupDay_ = day;
                const bool showing = popup_ && popup_->IsShowing();
                SetTimer(kTimerPopup, showing ? kPopupDelayWhileShowing : kPopupDelay);
            }
            mouseInside_ = true;
            if (context_.config != nullptr && context_.config->iconBar != 0) {
                const bool vertical = VerticalIconBar();
                SetTimer(kTimerIconBarShow,
                         vertical ? kIconBarShowPeriodVertical : kIconBarShowPeriod);
            }
            return;
        }
        // 4. Start dragging by the header (never from a day, never locked).
        const int weekRowBottom = layout_.weekRow.y + layout_.weekRow.height;
        if (!IsLocked() && day < 0 && local.y() < weekRowBottom) {
            // The window keeps the point where the button went down under
            // the cursor.
            dragging_ = true;
            const QPoint grab = leftPressed_ ? pressPos_ : screenPos;
            grabOffset_ = grab - QPoint(left_, top_);
            const QPoint corner = screenPos - grabOffset_;
            right_ = corner.x() + Width();
            bottom_ = corner.y() + Height();
            left_ = corner.x();
            top_ = corner.y();
            move(left_, top_);
            KillTimer(kTimerIconBarShow);
            KillTimer(kTimerPopup);
            HideIconBar();
            if (popup_) {
                popup_->Hide();
            }
        }
    } catch (const std::exception& e) {
        ReportException("CCalendarWnd::OnMouseMove", &e, __LINE__);
    } catch (...) {
        ReportException("CCalendarWnd::OnMouseMove", nullptr, __LINE__);
    }
}

void CCalendarWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (retired_) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        leftPressed_ = false;
        Log(Utility::kLogInfo, "<view> mouse L-up");
        if (dragging_) {
            dragging_ = false;
            PostCommand(Controller::kCmdPosUpdate);
            return;
        }
        if (ignoreNextRelease_) {
            ignoreNextRelease_ = false;  // the end of a double click
            return;
        }
        if (hoveredDay_ >= 0 && !(notice_ && notice_->IsShowing())) {
            SetTimer(kTimerClick, ClickPeriod());
        }
    } else if (event->button() == Qt::RightButton) {
        Log(Utility::kLogInfo, "<view> mouse R-up");
        if (CursorOverWindowOrPopup() || rect().contains(event->position().toPoint())) {
            HideIconBar();
            ShowContextMenu(event->globalPosition().toPoint());
        }
    }
}

void CCalendarWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (retired_ || event->button() != Qt::LeftButton) {
        return;
    }
    Log(Utility::kLogInfo, "<view> mouse dbl-click");
    KillTimer(kTimerClick);
    ignoreNextRelease_ = true;
    if ((notice_ && notice_->IsShowing()) || hoveredDay_ < 0 || CalendarWndFlags::registWndOpen) {
        return;
    }
    NewEventRequest request;
    request.start = Midnight(dates_[hoveredDay_]);
    request.end = platform::CTime(request.start.GetTime() + kDaySeconds);
    request.allDay = true;
    OpenNewEventDialog(request);
}

void CCalendarWnd::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (retired_ || CalendarWndFlags::AnyOpen()) {
        return;
    }
    const bool on =
        context_.config == nullptr || context_.config->GetInt("option", "use_mouse_wheel", 1) != 0;
    const int delta = event->angleDelta().y();
    if (!on || delta == 0) {
        return;
    }
    Navigate(delta > 0 ? ID_NEXT_MONTH : ID_PREV_MONTH);
}

void CCalendarWnd::OpenNewEventDialog(const NewEventRequest& request) {
    if (context_.host == nullptr) {
        return;
    }
    ScopedCalendarWndFlag open(CalendarWndFlags::detailDialogOpen);
    context_.host->OpenNewEvent(*this, request);
}

void CCalendarWnd::OpenRegistWnd(int index) {
    if (registWnd_) {
        registWnd_->OpenFor(Midnight(dates_.at(index)), DayCenter(index));
    }
}

// --- The icon bar -----------------------------------------------------------

void CCalendarWnd::ShowIconBar() {
    if (!functionWnd_) {
        return;
    }
    const bool vertical = VerticalIconBar();
    int x = 0;
    int y = 0;
    if (vertical) {
        x = left_ - 32;
        y = top_;
    } else {
        x = left_ + Width() / 2 - functionWnd_->BarWidth() / 2;
        y = top_ + layout_.weekRow.y;
    }
    functionWnd_->Show(x, y);
}

void CCalendarWnd::HideIconBar() {
    KillTimer(kTimerIconBarHide);
    if (functionWnd_) {
        functionWnd_->Hide();
    }
}

void CCalendarWnd::CheckMouse() {
    if (retired_) {
        return;
    }
    if (context_.disableTransparencyWhileMouseOver && CursorOverWindow() != opaqueWhileHovered_) {
        Redraw();  // opaque at once, or back to the style's alpha
    }
    if (functionWnd_ && functionWnd_->IsShowing() && functionWnd_->CurrentAlpha() < 255) {
        const QPoint cursor = QCursor::pos();
        if (functionWnd_->Contains(cursor)) {
            functionWnd_->OnMouseMove(cursor);
        }
    }
}

// --- Timers -----------------------------------------------------------------

void CCalendarWnd::OnTimer(uint32_t id) {
    if (retired_) {
        return;
    }
    try {
        switch (id) {
            case kTimerClick:
                OnClickTimer();
                break;
            case kTimerPopup:
                OnPopupTimer();
                break;
            case kTimerHousekeeping:
                OnHousekeepingTimer();
                break;
            case kTimerIconBarHide:
                OnIconBarHideTimer();
                break;
            case kTimerIconBarShow:
                OnIconBarShowTimer();
                break;
            case kTimerMenuSuppress:
                KillTimer(kTimerMenuSuppress);
                menuSuppressed_ = false;
                break;
            default:
                break;
        }
    } catch (const std::exception& e) {
        ReportException("CCalendarWnd::OnTimer", &e, __LINE__);
    } catch (...) {
        ReportException("CCalendarWnd::OnTimer", nullptr, __LINE__);
    }
}

void CCalendarWnd::OnClickTimer() {
    KillTimer(kTimerClick);
    if (hoveredDay_ < 0 || CalendarWndFlags::detailDialogOpen || !days_[hoveredDay_].clickable) {
        return;
    }
    HideIconBar();
    const platform::CTime day = Midnight(dates_[hoveredDay_]);
    if (!popup_ || !popup_->IsShowing() || !cache_.HasEventOnDay(day)) {
        Log(Utility::kLogInfo, "<view> open evt reg wnd.");
        if (popup_) {
            popup_->Hide();
        }
        OpenRegistWnd(hoveredDay_);
    } else {
        Log(Utility::kLogInfo, "<view> activate evt popup.");
        popup_->Activate();
    }
}

void CCalendarWnd::OnPopupTimer() {
    KillTimer(kTimerPopup);
    if (hoveredDay_ < 0 || CalendarWndFlags::menuOpen || pendingPopupDay_ != hoveredDay_ ||
        (popup_ && popup_->ContainsCursor())) {
        return;
    }
    ShowPopupForDay(hoveredDay_);
}

void CCalendarWnd::ShowPopupForDay(int index) {
    if (!popup_ || (!DayHasEntries(index) && !popup_->IsShowing())) {
        return;
    }
    RaiseWithChildren();
    Log(Utility::kLogAction, "<view> show evt popup");
    const int width = std::max(Width(), kPopupMinWidth);
    const QScreen* scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QRect work = scr != nullptr ? scr->availableGeometry() : QRect(0, 0, 1024, 768);
    const int x = left_ < work.center().x() ? right_ + 5 : left_ - 5 - width;
    popup_->ShowFor(Midnight(dates_[index]), x, top_, width);
}

void CCalendarWnd::OnHousekeepingTimer() {
    const QPoint cursor = QCursor::pos();
    if (QRect(left_, top_, Width(), Height()).contains(cursor)) {
        return;
    }
    if (dragging_) {
        return;  // the move events keep coming while the button is down
    }
    const bool inPopup = popup_ && popup_->Contains(cursor);
    if (!inPopup && hoveredDay_ >= 0) {
        SetHoveredDay(-1);
    }
    if (mouseInside_) {
        mouseInside_ = false;
        SetMonth(false);
    }
    if (popup_ && popup_->IsShowing() && !inPopup) {
        Log(Utility::kLogInfo, "<view> evt popup fade out.");
        popup_->FadeOut();
    }
    if (opaqueWhileHovered_) {
        SetMonth(false);
    }
    if (functionWnd_ && functionWnd_->IsShowing() && !CalendarWndFlags::menuOpen) {
        const bool vertical = VerticalIconBar();
        if (!vertical) {
            Log(Utility::kLogInfo, "<view> funcwnd fade out1.");
            functionWnd_->FadeStep();
        } else if (!functionWnd_->Contains(cursor)) {
            Log(Utility::kLogInfo, "<view> funcwnd fade out2.");
            functionWnd_->FadeStep();
        }
    }
}

void CCalendarWnd::OnIconBarShowTimer() {
    const QPoint cursor = QCursor::pos();
    if (!InIconBarZone(cursor)) {
        KillTimer(kTimerIconBarShow);
        return;
    }
    if (!functionWnd_ || functionWnd_->IsShowing() || CalendarWndFlags::menuOpen ||
        CalendarWndFlags::registWndOpen) {
        return;
    }
    KillTimer(kTimerIconBarShow);
    KillTimer(kTimerPopup);
    ShowIconBar();
    SetTimer(kTimerIconBarHide, kIconBarHidePeriod);
}

void CCalendarWnd::OnIconBarHideTimer() {
    if (!functionWnd_ || !functionWnd_->IsShowing()) {
        KillTimer(kTimerIconBarHide);
        return;
    }
    if (CalendarWndFlags::menuOpen) {
        return;  // the bar stays while the menu is up
    }
    const bool vertical = VerticalIconBar();
    const QPoint cursor = QCursor::pos();
    if (vertical || functionWnd_->Contains(cursor) || InIconBarZone(cursor)) {
        return;
    }
    if (functionWnd_->FadeStep()) {
        KillTimer(kTimerIconBarHide);
    }
}

// --- Messages of the icon bar, the popup and the registration window -------

void CCalendarWnd::OnMsgFunctionWnd(uint32_t code) {
    try {
        KillTimer(kTimerIconBarShow);
        KillTimer(kTimerPopup);
        if (log_ != nullptr) {
            log_->Write(Utility::kLogInfo, "<view> func wnd msg:", static_cast<long>(code));
        }
        switch (code) {
            case kFuncPrevMonth:
                Navigate(ID_PREV_MONTH);
                break;
            case kFuncThisMonth:
                Navigate(ID_THIS_MONTH);
                break;
            case kFuncNextMonth:
                Navigate(ID_NEXT_MONTH);
                break;
            case kFuncWebCalendar:
                HideIconBar();
                OpenWebCalendar();
                break;
            case kFuncSync:
                Sync();
                break;
            case kFuncLock:
                ToggleLock();
                break;
            case kFuncMenu: {
                // The bar stays up while its menu is open and fades after.
                const QPoint at = functionWnd_ ? functionWnd_->geometry().bottomLeft() +
                                                     QPoint(functionWnd_->BarWidth() - 24, 1)
                                               : QCursor::pos();
                ShowContextMenu(at);
                if (functionWnd_ && functionWnd_->IsShowing()) {
                    SetTimer(kTimerIconBarHide, kIconBarHidePeriod);
                }
                break;
            }
            default:
                break;
        }
    } catch (const std::exception& e) {
        ReportException("CCalendarWnd::OnMsgFunctionWnd", &e, __LINE__);
    } catch (...) {
        ReportException("CCalendarWnd::OnMsgFunctionWnd", nullptr, __LINE__);
    }
}

void CCalendarWnd::OnMsgEventRegistWnd() {
    try {
        Log(Utility::kLogAction, "<view> new detailed event");
        if (!registWnd_) {
            return;
        }
        const NewEventRequest request = registWnd_->TakeDetailRequest();
        registWnd_->Close();
        OpenNewEventDialog(request);
    } catch (const std::exception& e) {
        ReportException("CCalendarWnd::OnMsgEventRegistWnd", &e, __LINE__);
    } catch (...) {
        ReportException("CCalendarWnd::OnMsgEventRegistWnd", nullptr, __LINE__);
    }
}

void CCalendarWnd::OnMsgEventPopupWnd(uint32_t code) {
    try {
        KillTimer(kTimerPopup);
        KillTimer(kTimerClick);
        HideIconBar();
        if (!popup_) {
            return;
        }
        if (code == CEventPopupWnd::kCodeEditEvent) {
            Log(Utility::kLogInfo, "<view> update event from popup");
            const std::wstring id = popup_->TakeSelectedEventId();
            const platform::CTime day = popup_->Date();
            Model::Event event;
            if (log_ != nullptr) {
                log_->Write(Utility::kLogAction, "<view> edit event", day.GetYear(), day.GetMonth(),
                            day.GetDay());
            }
            if (cache_.FindEventOfDay(day, id, event) && context_.host != nullptr) {
                ScopedCalendarWndFlag open(CalendarWndFlags::detailDialogOpen);
                context_.host->OpenEventDetail(*this, event);
            }
        } else if (code == CEventPopupWnd::kCodeAddEvent) {
            Log(Utility::kLogInfo, "<view> add event from popup");
            if (hoveredDay_ >= 0) {
                QCursor::setPos(DayCenter(hoveredDay_));
                OpenRegistWnd(hoveredDay_);
            } else {
                // The day of the popup, when the mouse has left the grid.
                for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
                    if (Midnight(dates_[i]) == popup_->Date()) {
                        OpenRegistWnd(i);
                        break;
                    }
                }
            }
        }
    } catch (const std::exception& e) {
        ReportException("CCalendarWnd::OnMsgEventPopupWnd", &e, __LINE__);
    } catch (...) {
        ReportException("CCalendarWnd::OnMsgEventPopupWnd", nullptr, __LINE__);
    }
}
