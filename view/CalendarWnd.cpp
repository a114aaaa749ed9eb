// CCalendarWnd: creation, the month, the caches, the messages and the dump.
// Measuring, placing, dates, decoration and painting are in
// CalendarWndPaint.cpp.
#include "view/CalendarWnd.h"

#include <QApplication>
#include <cstdio>
#include <exception>
#include <list>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "controller/Notifications.h"
#include "eventwnd/EventPopupWnd.h"
#include "eventwnd/EventRegistWnd.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "platform/Time.h"
#include "view/CalendarWndSource.h"
#include "view/FunctionWnd.h"
#include "view/NoticeWnd.h"

namespace {

const char* VisibilityName(int32_t v) {
    switch (v) {
        case googledata::VISIBILITY_CONFIDENTIAL:
            return "CONFIDENTIAL";
        case googledata::VISIBILITY_DEFAULT:
            return "DEFAULT";
        case googledata::VISIBILITY_PRIVATE:
            return "PRIVATE";
        case googledata::VISIBILITY_PUBLIC:
            return "PUBLIC";
        default:
            return "INVALID";
    }
}

const char* TransparencyName(int32_t t) {
    switch (t) {
        case googledata::TRANSPARENCY_TRANSPARENT:
            return "TRANSPARENT";
        case googledata::TRANSPARENCY_OPAQUE:
            return "OPAQUR";
        default:
            return "INVALID";
    }
}

const char* StatusName(int32_t s) {
    switch (s) {
        case googledata::EVENT_STATUS_TENTATIVE:
            return "TENTATIVE";
        case googledata::EVENT_STATUS_CONFIRMED:
            return "CONFIRMED";
        case googledata::EVENT_STATUS_CANCELED:
            return "CANCELED";
        default:
            return "INVALID";
    }
}

const char* RecurrenceName(int32_t r) {
    switch (r) {
        case googledata::RECURRENCE_EXCEPTION:
            return "EXCEPTION";
        case googledata::RECURRENCE_ORIGINAL:
            return "ORIGINAL";
        default:
            return "NONE";
    }
}

}  // namespace

CCalendarWnd::CCalendarWnd(int windowNumber, int x, int y, int monthOffset,
                           const CalendarWndContext& context)
    : platform::CLayeredWindow(context.owner),
      windowNumber_(windowNumber),
      monthOffset_(monthOffset),
      context_(context),
      style_(context.style != nullptr ? *context.style : Model::CCalendarStyleInfo()),
      log_(context.log),
      left_(x),
      top_(y),
      right_(x + 100),
      bottom_(y + 100) {
    // 2-3. The month shown.
    const CalendarLayout::Date today = CalendarLayout::Today();
    year_ = today.year;
    month_ = today.month;
    monthOffset_ = CalendarLayout::ClampMonthOffset(year_, month_, monthOffset_);
    CalendarLayout::AddMonths(year_, month_, monthOffset_);
    Log(Utility::kLogInfo,
        platform::FormatText("<view> Calander x:%d y:%d offset:%d year:%d month:%d)", x, y,
                             monthOffset_, year_, month_));

    // 4. The window.
    setObjectName(QStringLiteral("DaymarkWnd"));
    setWindowTitle(QString::fromWCharArray(app::LoadStringText(413)));  // the program's name
    if (context_.config != nullptr && context_.config->alwaysBottom) {
        SetAlwaysAtBottom(true);
    }
    setGeometry(left_, top_, 100, 100);

    // 6. Items, dates, caches; the first redraw is posted.
    BuildDrawList();
    AssignDates();
    if (CalendarMode() != googledata::kCalendarModeNotSetUp) {
        UpdateHolidayCache();
        UpdateEventCache();
    }
    SetMonth(false);
    setMouseTracking(true);
    SetTimer(kTimerHousekeeping, 200);

    // 7. The popup, the registration window, the icon bar and the sync
    // notice; listen to the manager.
    CreateChildWindows();
    if (context_.source != nullptr) {
        context_.source->AddListener(Handle(), kMsgCalendarManager);
    }
    show();

    // 8.
    Log(Utility::kLogInfo, "<view> wnd init done");
    Log(Utility::kLogInfo,
        platform::FormatText("<view> handles-usage gdi:%d userobj:%d",
                             static_cast<int>(QApplication::topLevelWidgets().size()),
                             static_cast<int>(QApplication::allWidgets().size())));
}

CCalendarWnd::~CCalendarWnd() {
    Retire();
    // The children before the items and the cache they show.
    notice_.reset();
    functionWnd_.reset();
    registWnd_.reset();
    popup_.reset();
    drawList_.clear();
}

void CCalendarWnd::Retire() {
    if (retired_) {
        return;
    }
    retired_ = true;
    if (context_.source != nullptr) {
        context_.source->RemoveListener(Handle());
    }
    for (uint32_t id = kTimerHousekeeping; id <= kTimerMenuSuppress; ++id) {
        KillTimer(id);
    }
    if (popup_) {
        popup_->Hide();
    }
    if (registWnd_) {
        registWnd_->Close();
    }
    if (functionWnd_) {
        functionWnd_->Hide();
    }
    if (notice_) {
        notice_->hide();
    }
    hide();
}

std::string CCalendarWnd::ImageFolder() const {
    if (!context_.imageFolder.empty()) {
        return context_.imageFolder;
    }
    return platform::GetResourceFolder() + "/image/";
}

void CCalendarWnd::CreateChildWindows() {
    popup_ = std::make_unique<CEventPopupWnd>(this, Handle(), kMsgEventPopupWnd, cache_, style_,
                                              context_.config, log_);
    registWnd_ = std::make_unique<CEventRegistWnd>(this, Handle(), kMsgEventRegistWnd,
                                                   context_.source, context_.config, log_);
    RebuildIconBar();
    notice_ = std::make_unique<CNoticeWnd>(this, ImageFolder() + "syncWithGoogle.png");
}

void CCalendarWnd::RebuildIconBar() {
    KillTimer(kTimerIconBarHide);
    CFunctionWnd::Options options;
    if (context_.config != nullptr) {
        options.vertical = context_.config->verticalIconBar != 0;
        options.locked = context_.config->lock != 0;
    }
    options.localMode = CalendarMode() == googledata::kCalendarModeLocal;
    options.imageFolder = ImageFolder();
    functionWnd_.reset();
    functionWnd_ = std::make_unique<CFunctionWnd>(this, Handle(), kMsgFunctionWnd, options, log_);
}

void CCalendarWnd::Log(const char* level, const std::string& message) const {
    if (log_ != nullptr) {
        log_->Write(level, message);
    }
}

googledata::CalendarMode CCalendarWnd::CalendarMode() const {
    return context_.config != nullptr ? context_.config->GetCalendarMode()
                                      : googledata::kCalendarModeNotSetUp;
}

bool CCalendarWnd::MondayFirst() const {
    return context_.config != nullptr && context_.config->mondayFirst != 0;
}

bool CCalendarWnd::FixCalHeight() const {
    return context_.config == nullptr || context_.config->fixCalHeight != 0;
}

void CCalendarWnd::SetMonth(bool rebuild) {
    const CalendarLayout::Date today = CalendarLayout::Today();
    int year = today.year;
    int month = today.month;
    monthOffset_ = CalendarLayout::ClampMonthOffset(year, month, monthOffset_);
    CalendarLayout::AddMonths(year, month, monthOffset_);
    // A new month needs new dates, and a new day moves today's mark.
    if (rebuild || year != year_ || month != month_) {
        rebuildDates_ = true;
    }
    if (!(today == today_)) {
        restyle_ = true;
    }
    year_ = year;
    month_ = month;
    if (!redrawPosted_) {
        redrawPosted_ = platform::PostMessage(Handle(), kMsgRedraw);
    }
}

void CCalendarWnd::SetMonthOffset(int offset) {
    monthOffset_ = offset;
    SetMonth(true);
}

void CCalendarWnd::MoveTo(int x, int y) {
    right_ = x + Width();
    bottom_ = y + Height();
    left_ = x;
    top_ = y;
    move(left_, top_);
    SetMonth(false);
}

Model::MonthRange CCalendarWnd::MonthsOnScreen() const {
    // From the month itself, so that a month change is seen before its
    // dates are assigned.
    const CalendarLayout::Date first = CalendarLayout::GridDates(year_, month_, MondayFirst())[0];
    return Model::MonthsOfGrid(year_, month_,
                               platform::CTime(first.year, first.month, first.day, 12, 0, 0));
}

bool CCalendarWnd::IsMonthOnScreen(int year, int month) const {
    const Model::MonthRange range = MonthsOnScreen();
    for (int i = 0; i < range.count; ++i) {
        int y = range.year;
        int m = range.month;
        CalendarLayout::AddMonths(y, m, i);
        if (y == year && m == month) {
            return true;
        }
    }
    return false;
}

void CCalendarWnd::UpdateEventCache() {
    if (CalendarMode() == googledata::kCalendarModeNotSetUp) {
        return;
    }
    const Model::MonthRange range = MonthsOnScreen();
    std::list<Model::Event> events;
    if (context_.source != nullptr) {
        context_.source->GetEvents(events, range.year, range.month, range.count);
    }
    if (log_ != nullptr) {
        log_->Write(Utility::kLogInfo, "<view> update event cache", range.year, range.month,
                    static_cast<long>(events.size()));
    }
    cache_.ClearEvents();
    for (const Model::Event& event : events) {
        cache_.AddEvent(event);
    }
    eventRange_ = range;
    RefreshBooked();
}

void CCalendarWnd::UpdateHolidayCache() {
    if (CalendarMode() == googledata::kCalendarModeNotSetUp) {
        return;
    }
    const Model::MonthRange range = MonthsOnScreen();
    if (log_ != nullptr) {
        log_->Write(Utility::kLogInfo, "<view> update holiday cache", range.year, range.month,
                    range.count);
    }
    std::list<Model::Holiday> holidays;
    if (context_.source != nullptr) {
        context_.source->GetHolidays(holidays, range.year, range.month, range.count, L"");
    }
    cache_.ClearHolidays();
    for (const Model::Holiday& holiday : holidays) {
        cache_.AddHoliday(holiday);
    }
    holidayRange_ = range;
    ApplyDayStyles();
}

void CCalendarWnd::RefreshCachesIfMonthsChanged() {
    if (CalendarMode() == googledata::kCalendarModeNotSetUp) {
        return;
    }
    const Model::MonthRange range = MonthsOnScreen();
    auto same = [](const Model::MonthRange& a, const Model::MonthRange& b) {
        return a.year == b.year && a.month == b.month && a.count == b.count;
    };
    if (!same(range, holidayRange_)) {
        UpdateHolidayCache();
    }
    if (!same(range, eventRange_)) {
        UpdateEventCache();
    }
}

void CCalendarWnd::UpdateClock() {
    const platform::CTime now(platform::NowSeconds());
    wchar_t text[16];
    std::swprintf(text, 16, L"%02d:%02d", now.GetHour(), now.GetMinute());
    clockText_ = text;
    SetMonth(false);
}

int64_t CCalendarWnd::OnMessage(uint32_t message, platform::WParam wParam,
                                platform::LParam lParam) {
    switch (message) {
        case kMsgRedraw:
            redrawPosted_ = false;
            OnMsgRedraw();
            return 0;
        case kMsgCalendarManager:
            if (!retired_) {
                OnMsgCalendarManager(wParam, lParam);
            }
            return 0;
        case kMsgFunctionWnd:
            OnMsgFunctionWnd(static_cast<uint32_t>(wParam));
            return 0;
        case kMsgEventRegistWnd:
            OnMsgEventRegistWnd();
            return 0;
        case kMsgEventPopupWnd:
            OnMsgEventPopupWnd(static_cast<uint32_t>(wParam));
            return 0;
        default:
            return platform::CLayeredWindow::OnMessage(message, wParam, lParam);
    }
}

void CCalendarWnd::OnMsgRedraw() {
    try {
        Redraw();
    } catch (const std::exception& e) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, e.what(), __LINE__);
        }
    } catch (...) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "CCalendarWnd::OnMsgRedraw", __LINE__);
        }
    }
}

void CCalendarWnd::OnMsgCalendarManager(platform::WParam code, platform::LParam lParam) {
    try {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogInfo, "<view> cal mng event-enter", static_cast<long>(code));
        }
        if (code == Controller::NOTIFY_ACTIVITY) {
            Log(Utility::kLogInfo, "<view> update sync status");
            if (lParam == 0) {
                // The queue has drained.
                if (notice_ && notice_->IsShowing()) {
                    notice_->StartFade();
                }
                syncRequested_ = false;
            } else if (syncRequested_ && notice_) {
                notice_->ShowBeside(QRect(left_, top_, Width(), Height()));
            }
        } else if (code == Controller::NOTIFY_HOLIDAY_UPDATED) {
            Log(Utility::kLogInfo, "<view> update holiday");
            UpdateHolidayCache();
            SetMonth(false);
        } else if (code == Controller::NOTIFY_EVENT_UPDATED) {
            const int year = static_cast<int>(lParam / 65536);
            const int month = static_cast<int>(lParam % 65536);
            if (lParam == 0 || IsMonthOnScreen(year, month)) {
                if (log_ != nullptr) {
                    log_->Write(Utility::kLogInfo, "<view> update view", windowNumber_, year,
                                month);
                }
                UpdateHolidayCache();
                UpdateEventCache();
                SetMonth(false);
            }
        }
        Log(Utility::kLogInfo, "<view> cal mng event-leave");
    } catch (const std::exception& e) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, e.what(), __LINE__);
        }
    } catch (...) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "CCalendarWnd::OnMsgCalendarManager", __LINE__);
        }
    }
}

void CCalendarWnd::OnPresentationFailed() {
    Log(Utility::kLogError, "<view> UpdateLayeredWindow failed:0");
    Log(Utility::kLogError,
        platform::FormatText("<view> handle-usage gdi:%d userobj:%d",
                             static_cast<int>(QApplication::topLevelWidgets().size()),
                             static_cast<int>(QApplication::allWidgets().size())));
}

Draw::CDrawItem* CCalendarWnd::HitTest(int x, int y) const {
    for (Draw::CDrawItem* item : drawList_) {
        if (item->clickable && item->visible && item->HitTest(x, y)) {
            return item;
        }
    }
    return nullptr;
}

std::string CCalendarWnd::Dump() const {
    std::string out =
        platform::FormatText("------- %d.%d (%d,%d,%d,%d) ------- \r\n", windowNumber_,
                             monthOffset_, year_, month_, Width(), Height());
    out += platform::FormatText("pos x(%d,%d) y(%d,%d)\r\n", left_, right_, top_, bottom_);
    for (const Model::Event& e : cache_.Events()) {
        // The start only: the support dialog promises that no event's
        // content (title, place, description) is sent.
        const std::string when = e.startTime.Format("%Y/%m/%d %H:%M");
        out += platform::FormatText(" %s col:%x %s %s %s", when.c_str(),
                                    static_cast<unsigned>(e.color), VisibilityName(e.visibility),
                                    TransparencyName(e.transparency), StatusName(e.eventStatus));
        out += platform::FormatText(" recur:%s org:%s\r\n", RecurrenceName(e.recurrenceType),
                                    platform::WideToUtf8(e.originalEvent).c_str());
    }
    for (const Model::Holiday& h : cache_.Holidays()) {
        out += platform::FormatText("holiday %d/%d\r\n", h.date.GetMonth(), h.date.GetDay());
    }
    return out;
}
