#include "controller/CalendarManager.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unordered_set>

#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "controller/CalDavService.h"
#include "controller/FailureClassifier.h"
#include "controller/GDataService.h"
#include "controller/Notifications.h"
#include "controller/OfflineHolidays.h"
#include "controller/RecurrenceExceptions.h"
#include "googledata/AtomReader.h"
#include "googledata/EntryWriter.h"
#include "googledata/GoogleCalendarAPI.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace Controller {

using googledata::PrimitiveCalendar;
using googledata::PrimitiveEvent;
using googledata::PrimitiveHoliday;
using googledata::PrimitiveTime;
using platform::CTime;
using platform::Utf8ToWide;
using platform::WideToUtf8;

namespace {

constexpr int kPollMs = 100;
constexpr int kRetryPauseMs = 1000;
constexpr int kMaxFailures = 3;                  // the fourth failure drops the request
constexpr int64_t kSyncWindowSeconds = 1728000;  // 20 days

std::string FormatTime(const CTime& t) {
    return t.Format("%Y/%m/%d %H:%M");
}

// (year, month + i) with the month after 12 being month 1 of the next year.
void AddMonths(int year, int month, int i, int& outYear, int& outMonth) {
    const int index = (year * 12 + (month - 1)) + i;
    outYear = index / 12;
    outMonth = index % 12 + 1;
}

// The confirmed holidays of the holiday calendars (all, or the one whose URI
// is `filter`) for `count` months from (year, month). Daymark's own calendar
// is computed; the service's Japanese holiday calendar too, when
// `computeMissing` is set, for a year of which the store holds no row (the
// feed has not answered for it).
bool CollectHolidays(googledata::CalendarEventDB& db, int year, int month, int count,
                     const std::string& filter, bool computeMissing,
                     std::list<Model::Holiday>& out) {
    std::list<PrimitiveCalendar> calendars;
    if (!db.GetCalendars(calendars)) {
        return false;
    }
    for (const auto& calendar : calendars) {
        const std::string& uri = calendar.calendarURI;
        if (!calendar.isHoliday || (!filter.empty() && uri != filter)) {
            continue;
        }
        const bool own = IsOfflineHolidayCalendar(uri);
        const bool computable = own || (computeMissing && IsJapaneseHolidayCalendar(uri));
        int checkedYear = 0;
        bool computeYear = false;
        for (int i = 0; i < count; ++i) {
            int y = 0, m = 0;
            AddMonths(year, month, i, y, m);
            if (computable && y != checkedYear) {
                checkedYear = y;
                computeYear = own || !db.HasHoliday(uri, y);
            }
            std::list<PrimitiveHoliday> holidays;
            if (computable && computeYear) {
                AppendComputedHolidays(y, m, holidays);
            } else {
                db.GetHolidays(uri, y, m, holidays);
            }
            for (const auto& h : holidays) {
                if (h.status == googledata::EVENT_STATUS_CONFIRMED) {
                    out.push_back(Model::Holiday::FromPrimitive(h, uri));
                }
            }
        }
    }
    return true;
}

}  // namespace

// The events of one GetEvents call, kept without duplicates (an expanded
// occurrence is told apart by its local id, start and end, any other event
// by its local id) in constant time per event.
class EventCollector {
public:
    explicit EventCollector(std::list<Model::Event>& out) : out_(out) {}
    void Add(const Model::Event& e) {
        std::wstring key = e.localEventID;
        if (e.recurrenceType == googledata::RECURRENCE_ORIGINAL) {
            key += L'|' + std::to_wstring(e.startTime.GetTime()) + L'|' +
                   std::to_wstring(e.endTime.GetTime());
        }
        if (seen_.insert(std::move(key)).second) {
            out_.push_back(e);
        }
    }

private:
    std::list<Model::Event>& out_;
    std::unordered_set<std::wstring> seen_;
};

namespace {

bool IsShownStatus(int32_t status) {
    return status == googledata::EVENT_STATUS_TENTATIVE ||
           status == googledata::EVENT_STATUS_CONFIRMED;
}

}  // namespace

std::string CalendarShortName(const std::string& uri) {
    return uri.size() > 40 ? " cal:" + uri.substr(38, 4) : std::string(" cal:");
}

std::string ExceptionKey(const std::string& calendarURI, const std::string& uid) {
    // The service wrote the links of original events with "http": turn an
    // "https" scheme into it and keep any other URI as it is.
    std::string key = calendarURI;
    if (key.rfind("https:", 0) == 0) {
        key = "http" + key.substr(5);
    }
    const size_t at = uid.find('@');
    return key + "/" + (at == std::string::npos ? uid : uid.substr(0, at));
}

PrimitiveEvent ToPrimitive(const Model::Event& e) {
    PrimitiveEvent p;
    p.localEventID = WideToUtf8(e.localEventID);
    p.title = WideToUtf8(e.title);
    p.content = WideToUtf8(e.content);
    p.place = WideToUtf8(e.place);
    p.author_name = WideToUtf8(e.author_name);
    p.author_email = WideToUtf8(e.author_email);
    p.recurrence = WideToUtf8(e.recurrence);
    p.originalEvent = WideToUtf8(e.originalEvent);
    p.startTime =
        PrimitiveTime::FormatUtf8(PrimitiveTime::FromTime(e.startTime, e.isAllDay), false);
    p.endTime = PrimitiveTime::FormatUtf8(PrimitiveTime::FromTime(e.endTime, e.isAllDay), false);
    if (!e.originalEvent.empty()) {
        p.originalStartTime = PrimitiveTime::FormatUtf8(
            PrimitiveTime::FromTime(e.originalStartTime, e.isAllDay), false);
    }
    p.eventStatus = e.eventStatus;
    p.transparency = e.transparency;
    p.visibility = e.visibility;
    p.sequence = e.sequence;
    p.flags = e.flags;
    p.isSynced = false;
    p.recurrenceType = !p.recurrence.empty()      ? googledata::RECURRENCE_ORIGINAL
                       : !p.originalEvent.empty() ? googledata::RECURRENCE_EXCEPTION
                                                  : googledata::RECURRENCE_NONE;
    for (const Model::Reminder& r : e.reminders) {
        googledata::PrimitiveReminder pr;
        pr.method = WideToUtf8(r.method);
        pr.minutesBeforeAlarm = r.minutes;
        p.reminders.push_back(pr);
    }
    return p;
}

CCalendarManager::MSG_DOWNLOAD_UPDATED_EVENT::MSG_DOWNLOAD_UPDATED_EVENT() : MSG_BASE(kType) {
    PrimitiveTime::Parse(L"2000-01-01T00:00:00", updatedMin);
}

CCalendarManager::CCalendarManager(std::string configPath, std::string dataFolder)
    : configPath_(std::move(configPath)),
      dataFolder_(std::move(dataFolder)),
      retryPauseMs_(kRetryPauseMs),
      idlePollMs_(kPollMs),
      service_(std::make_unique<CGDataService>(Site())) {
    service_->Transport().SetCommLogPath(dataFolder_ + "/log/comm.log");
}

CCalendarManager::~CCalendarManager() {
    Terminate();
}

void CCalendarManager::Log(const char* level, const std::string& message) const {
    if (log_) {
        log_->Write(level, message);
    }
}

std::string CCalendarManager::DatabasePath(const std::wstring& account) const {
    // The account name becomes a file name: no folder separators.
    std::string name = WideToUtf8(account);
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return dataFolder_ + "/" + name + ".db";
}

ServiceSite CCalendarManager::Site() {
    return ServiceSite{db_, recurrences_, editMutex_, *this, log_};
}

void CCalendarManager::MakeService() {
    // The kind and the server are read once, with the account: a request
    // never meets a service other than the one its account was set with.
    accountKind_ = static_cast<googledata::AccountKind>(platform::GetPrivateProfileInt(
        "general", "account_kind", googledata::kAccountKindService, configPath_));
    caldavServer_ =
        platform::GetPrivateProfileStringUtf8("general", "caldav_server", "", 1024, configPath_);
    if (accountKind_ == googledata::kAccountKindCalDav) {
        service_ = std::make_unique<CCalDavService>(Site());
    } else {
        service_ = std::make_unique<CGDataService>(Site());
    }
    loggedIn_ = 0;
    ApplyTransportSettings();
}

void CCalendarManager::Notify(uint32_t code, int64_t lParam) {
    NotifyAll(code, lParam);
}

bool CCalendarManager::StopRequested() const {
    return stopRequested_ != 0;
}

void CCalendarManager::SetNotice(const std::wstring& description, const std::wstring& text) {
    std::lock_guard<std::mutex> guard(errorMutex_);
    lastErrorDescription_ = description;
    lastErrorText_ = text;
}

void CCalendarManager::QueueUpload(const std::string& calendarURI) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    auto upload = std::make_unique<MSG_UPLOAD_EVENT>();
    upload->calendarURI = calendarURI;
    Enqueue(std::move(upload));
}

googledata::CalendarMode CCalendarManager::CalendarMode() const {
    return static_cast<googledata::CalendarMode>(platform::GetPrivateProfileInt(
        "general", "calendar_mode", googledata::kCalendarModeNotSetUp, configPath_));
}

void CCalendarManager::Initialize(const std::wstring& account, const std::wstring& password,
                                  Utility::CMaintenanceLog* log) {
    // Initialize again while the worker runs: the worker leaves its request
    // first, so the client and the database are never replaced under it.
    if (StopWorker()) {
        ClearMessages();  // requests for the database that closes now
    }
    log_ = log;
    if (log_) {
        log_->SetAccount(WideToUtf8(account));
    }
    Log(Utility::kLogInfo, "<calmng> Initialize");
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        account_ = account;
        password_ = password;
    }
    // The service logs through the same log from now on.
    MakeService();
    recurrences_.SetLog(log);
    recurrences_.Clear();
    db_.Close();
    db_.Initialize(DatabasePath(account), log);
    db_.SetAccountEmail(WideToUtf8(account));
    std::list<PrimitiveCalendar> calendars;
    if (db_.GetCalendars(calendars)) {
        for (const auto& c : calendars) {
            Log(Utility::kLogInfo,
                platform::FormatText("<calmng>%s flags:%X holi:%d lvl:%d hid:%d sel:%d update:%s",
                                     CalendarShortName(c.calendarURI).c_str(), c.flags,
                                     c.isHoliday ? 1 : 0, c.accesslevel, c.hidden ? 1 : 0,
                                     c.selected ? 1 : 0, c.eventUpdated.c_str()));
        }
    }
    StartWorker();
}

bool CCalendarManager::StopWorker() {
    if (!worker_.joinable()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        stopRequested_ = 1;
    }
    wake_.notify_all();
    // A transfer in flight is cut short at once; the worker leaves its
    // request at the next page or event.
    service_->Transport().Abort();
    worker_.join();
    return true;
}

void CCalendarManager::StartWorker() {
    if (worker_.joinable()) {
        return;
    }
    stopRequested_ = 0;
    service_->Transport().ClearAbort();
    threadAlive_ = 1;
    worker_ = std::thread([this] { WorkerProc(); });
    running_ = 1;
}

bool CCalendarManager::OpenForReading(const std::wstring& account) {
    account_ = account;
    return db_.OpenReadOnly(DatabasePath(account), log_);
}

void CCalendarManager::Terminate() {
    if (!running_) {
        return;
    }
    Log(Utility::kLogInfo, "<calmng> Terminate");
    // The worker may be inside a request: its transfer is cut short at once,
    // so the wait is short, and the database must not close under it.
    StopWorker();
    ClearMessages();
    db_.Close();
    running_ = 0;
}

void CCalendarManager::ChangeAccount(const std::wstring& account, const std::wstring& password) {
    Log(Utility::kLogInfo, "<calmng> ChangeAccount");
    SwitchDatabase([&] {
        if (log_) {
            log_->SetAccount(WideToUtf8(account));
        }
        {
            std::lock_guard<std::mutex> guard(queueMutex_);
            account_ = account;
            password_ = password;
        }
        db_.Close();
        db_.Initialize(DatabasePath(account), log_);
        db_.SetAccountEmail(WideToUtf8(account));
        MakeService();
    });
}

void CCalendarManager::Reset() {
    Log(Utility::kLogInfo, "<calmng> Reset");
    SwitchDatabase([&] {
        db_.DeleteDatabase();
        db_.Initialize(DatabasePath(account_), log_);
        MakeService();
    });
}

// The requests queued for the old database are dropped and the worker is
// stopped between two requests before `change` closes it: no page of the old
// account lands in the new database and no old feed is fetched with the new
// login. A running worker then starts again on the new database.
void CCalendarManager::SwitchDatabase(const std::function<void()>& change) {
    const bool wasRunning = StopWorker();
    ClearMessages();
    loggedIn_ = 0;
    recurrences_.Clear();
    change();
    if (wasRunning) {
        StartWorker();
    }
}

std::wstring CCalendarManager::GetHolidayCalendarURI(const std::wstring& loginUrl) {
    return loginUrl +
           L"/calendar/feeds/ja.japanese%23holiday%40group.v.calendar.google.com/public/full";
}

void CCalendarManager::CreateLocalDB(const std::wstring& holidayCalendarURI) {
    Log(Utility::kLogInfo, "<calmng> create local DB");
    Log(Utility::kLogInfo, WideToUtf8(holidayCalendarURI));
    const std::string now = PrimitiveTime::FormatUtf8(
        PrimitiveTime::ToUtc(PrimitiveTime::FromTime(CTime::GetCurrentTime(), false)), false);
    // The local calendar is the holiday calendar's record but for its names
    // and that it holds events.
    PrimitiveCalendar local = OfflineHolidayCalendar("localEvent", now);
    local.id = "localEvent";
    local.title = local.id;
    local.summary = "Local";
    local.author = "Local";
    local.isHoliday = false;
    db_.UpsertCalendar(local);
    db_.UpsertCalendar(OfflineHolidayCalendar(WideToUtf8(holidayCalendarURI), now));
}

void CCalendarManager::ApplyTransportSettings() {
    TransportSettings settings;
    {
        std::lock_guard<std::mutex> guard(settingsMutex_);
        settings = transport_;
        transportDirty_ = false;
    }
    googledata::HttpClient& t = service_->Transport();
    t.SetCommLogPath(dataFolder_ + "/log/comm.log");
    t.SetProxy(settings.proxy, settings.proxyUser, settings.proxyPassword);
    t.SetExtraCaFile(settings.extraCaFile);
    t.SetTimeout(settings.timeoutSeconds);
    t.SetHttpLog(settings.httpLogPath);
    googledata::HttpClient::SetCurlLog(settings.curlLogLevel, settings.curlLogPath);
    std::string account, password;
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        account = WideToUtf8(account_);
        password = WideToUtf8(password_);
    }
    service_->SetAccount(
        accountKind_ == googledata::kAccountKindCalDav ? caldavServer_ : settings.loginUrl, account,
        password);
}

void CCalendarManager::ApplyPendingTransportSettings() {
    bool dirty = false;
    {
        std::lock_guard<std::mutex> guard(settingsMutex_);
        dirty = transportDirty_;
    }
    if (dirty) {
        ApplyTransportSettings();
    }
}

void CCalendarManager::ChangeTransportSettings(
    const std::function<void(TransportSettings&)>& change) {
    {
        std::lock_guard<std::mutex> guard(settingsMutex_);
        change(transport_);
        transportDirty_ = true;
    }
    // While the worker runs, the client is its own: it takes the new
    // settings before its next request.
    if (!running_) {
        ApplyTransportSettings();
    }
}

void CCalendarManager::SetProxy(bool enabled, const std::wstring& proxy, const std::wstring& user,
                                const std::wstring& password) {
    ChangeTransportSettings([&](TransportSettings& t) {
        t.proxy = enabled ? WideToUtf8(proxy) : std::string();
        t.proxyUser = enabled ? WideToUtf8(user) : std::string();
        t.proxyPassword = enabled ? WideToUtf8(password) : std::string();
    });
}

void CCalendarManager::SetHttpLog(bool enabled, const std::string& folder, bool curlLog) {
    ChangeTransportSettings([&](TransportSettings& t) {
        t.httpLogPath = enabled ? folder + "/httpLog.txt" : std::string();
        t.curlLogLevel = enabled && curlLog ? 1 : 0;
        t.curlLogPath = folder + "/CurlLog.txt";
    });
}

void CCalendarManager::SetExtraCaFile(const std::string& path) {
    ChangeTransportSettings([&](TransportSettings& t) { t.extraCaFile = path; });
}

void CCalendarManager::SetLoginUrl(const std::wstring& url) {
    ChangeTransportSettings([&](TransportSettings& t) { t.loginUrl = WideToUtf8(url); });
}

void CCalendarManager::SetRequestTimeout(long seconds) {
    ChangeTransportSettings([&](TransportSettings& t) { t.timeoutSeconds = seconds; });
}

void CCalendarManager::SetWorkerTimings(int retryPauseMs, int idlePollMs) {
    retryPauseMs_ = retryPauseMs;
    idlePollMs_ = idlePollMs;
}

void CCalendarManager::AddListener(platform::WindowHandle window, uint32_t message) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    listeners_.push_back({window, message});
}

void CCalendarManager::RemoveListener(platform::WindowHandle window) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    listeners_.remove_if([window](const _LISTENER& l) { return l.window == window; });
}

size_t CCalendarManager::ListenerCount() const {
    std::lock_guard<std::mutex> guard(queueMutex_);
    return listeners_.size();
}

void CCalendarManager::NotifyAll(uint32_t code, int64_t lParam) {
    std::list<_LISTENER> listeners;
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        listeners = listeners_;
    }
    for (const _LISTENER& l : listeners) {
        platform::PostMessage(l.window, l.message, code, lParam);
    }
}

// ---------------------------------------------------------------------------
// Queue

namespace {

using Manager = CCalendarManager;

// The calendar of a per-calendar synchronisation request; null for others.
const std::string* SyncCalendar(const Manager::MSG_BASE& m) {
    if (const auto* all = m.As<Manager::MSG_DOWNLOAD_ALL_EVENT>()) {
        return &all->calendarURI;
    }
    if (const auto* updated = m.As<Manager::MSG_DOWNLOAD_UPDATED_EVENT>()) {
        return &updated->calendarURI;
    }
    if (const auto* upload = m.As<Manager::MSG_UPLOAD_EVENT>()) {
        return &upload->calendarURI;
    }
    return nullptr;
}

// True when the waiting request `queued` does what `m` would: the same kind
// for the same calendar (an updated-event request asks for changes since an
// earlier or the same time), or a full download where changes are asked for.
bool Covers(const Manager::MSG_BASE& queued, const Manager::MSG_BASE& m) {
    const std::string* a = SyncCalendar(queued);
    const std::string* b = SyncCalendar(m);
    return a && b && *a == *b &&
           (queued.type == m.type || (queued.type == googledata::kRequestDownloadAllEvents &&
                                      m.type == googledata::kRequestDownloadUpdatedEvents));
}

// A kind of request this worker knows (any other is dropped with the queue).
bool IsKnownRequest(googledata::RequestType type) {
    switch (type) {
        case googledata::kRequestDownloadCalendars:
        case googledata::kRequestDownloadHoliday:
        case googledata::kRequestDownloadAllEvents:
        case googledata::kRequestDownloadUpdatedEvents:
        case googledata::kRequestUploadEvents:
            return true;
    }
    return false;
}

}  // namespace

void CCalendarManager::Enqueue(std::unique_ptr<MSG_BASE> message) {
    for (const auto& queued : queue_) {
        if (queued.get() != current_ && Covers(*queued, *message)) {
            Log(Utility::kLogInfo, platform::FormatText("<calmng> request already queued: (%d)",
                                                        static_cast<int>(message->type)) +
                                       CalendarShortName(*SyncCalendar(*message)));
            return;
        }
    }
    queue_.push_back(std::move(message));
    wake_.notify_all();
}

bool CCalendarManager::PopMessage() {
    std::lock_guard<std::mutex> guard(queueMutex_);
    if (queue_.empty()) {
        return false;
    }
    Log(Utility::kLogInfo,
        platform::FormatText("pop msg: (%d)", static_cast<int>(queue_.front()->type)));
    if (queue_.front().get() == current_) {
        current_ = nullptr;
    }
    queue_.pop_front();
    return true;
}

void CCalendarManager::ClearMessages() {
    std::lock_guard<std::mutex> guard(queueMutex_);
    if (log_) {
        log_->Write(Utility::kLogInfo, "clear msg:", static_cast<long>(queue_.size()));
    }
    current_ = nullptr;
    queue_.clear();
}

size_t CCalendarManager::GetPendingRequestCount() {
    std::lock_guard<std::mutex> guard(queueMutex_);
    return queue_.size();
}

void CCalendarManager::DownloadCalenar() {
    std::lock_guard<std::mutex> guard(queueMutex_);
    Log(Utility::kLogInfo, "<calmng> DownloadCalenar");
    Enqueue(std::make_unique<MSG_DOWNLOAD_CALENDAR>());
}

void CCalendarManager::DownloadHoliday(const std::wstring& calendarURI, int firstYear,
                                       int lastYear) {
    Log(Utility::kLogInfo, "<calmng> DownloadHoliday");
    // Daymark's own holidays, and every holiday in local mode, come from the
    // holiday rules: nothing to fetch, and the "download" is done at once.
    // Whoever waits for the holidays (the setup wizard, the windows) hears
    // so as it would after a fetch.
    if (IsOfflineHolidayCalendar(WideToUtf8(calendarURI)) ||
        CalendarMode() == googledata::kCalendarModeLocal) {
        Log(Utility::kLogInfo, "<calmng> holidays are computed, not fetched");
        NotifyAll(NOTIFY_HOLIDAY_UPDATED, 0);
        return;
    }
    std::lock_guard<std::mutex> guard(queueMutex_);
    auto m = std::make_unique<MSG_DOWNLOAD_HOLIDAY>();
    m->calendarURI = WideToUtf8(calendarURI);
    m->firstYear = firstYear;
    m->lastYear = lastYear;
    Enqueue(std::move(m));
}

void CCalendarManager::DownloadAllHolidays(int firstYear, int lastYear) {
    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        return;
    }
    for (const auto& c : calendars) {
        if (c.isHoliday) {
            DownloadHoliday(Utf8ToWide(c.calendarURI), firstYear, lastYear);
        }
    }
}

void CCalendarManager::DownloadAllEvent(const std::wstring& calendarURI) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    Log(Utility::kLogInfo,
        "<calmng> DownloadAllEvent:" + CalendarShortName(WideToUtf8(calendarURI)));
    auto m = std::make_unique<MSG_DOWNLOAD_ALL_EVENT>();
    m->calendarURI = WideToUtf8(calendarURI);
    Enqueue(std::move(m));
}

void CCalendarManager::SyncEvent(const std::wstring& calendarURI) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    SyncEventLocked(WideToUtf8(calendarURI));
}

void CCalendarManager::SyncEventLocked(const std::string& uri) {
    Log(Utility::kLogInfo, "<calmng> SyncEvent" + CalendarShortName(uri));
    auto upload = std::make_unique<MSG_UPLOAD_EVENT>();
    upload->calendarURI = uri;
    Enqueue(std::move(upload));

    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        return;
    }
    const PrimitiveCalendar* calendar = nullptr;
    for (const auto& c : calendars) {
        if (c.calendarURI == uri) {
            calendar = &c;
            break;
        }
    }
    if (!calendar) {
        return;
    }
    auto request = std::make_unique<MSG_DOWNLOAD_UPDATED_EVENT>();
    PrimitiveTime stored = request->updatedMin;  // 2000-01-01 unless the text reads
    PrimitiveTime::Parse(Utf8ToWide(calendar->eventUpdated), stored);
    CTime since = PrimitiveTime::ToLocalTime(stored);
    const CTime limit = CTime::GetCurrentTime() - kSyncWindowSeconds;
    if (since < limit) {
        // The service tells changes only for the last 20 days: anything older
        // (a cancellation 25 days ago) would be missed, so the calendar is
        // downloaded whole.
        Log(Utility::kLogInfo, "<calmng> Too old time, use last year:" + FormatTime(since));
        Log(Utility::kLogInfo, "<calmng> DownloadAllEvent:" + CalendarShortName(uri));
        auto all = std::make_unique<MSG_DOWNLOAD_ALL_EVENT>();
        all->calendarURI = uri;
        Enqueue(std::move(all));
        return;
    }
    Log(Utility::kLogInfo, "<calmng> sync from:" + FormatTime(since));
    request->calendarURI = uri;
    request->updatedMin = PrimitiveTime::FromTime(since, false);
    Enqueue(std::move(request));
}

void CCalendarManager::SyncEvents() {
    if (CalendarMode() == googledata::kCalendarModeLocal) {
        return;
    }
    std::lock_guard<std::mutex> guard(queueMutex_);
    Log(Utility::kLogInfo, "<calmng> SyncEvents");
    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        return;
    }
    for (const auto& c : calendars) {
        if (!c.isHoliday && c.flags != 0) {
            SyncEventLocked(c.calendarURI);
        }
    }
}

// ---------------------------------------------------------------------------
// Local edits

void CCalendarManager::StoreLocalEdit(const Model::Event& event, bool isNew) {
    PrimitiveEvent p = ToPrimitive(event);
    const std::string uri = WideToUtf8(event.calendarURI);
    {
        // Never inside the worker's open page transaction: the edit is on
        // disk when this returns.
        std::lock_guard<std::mutex> edit(editMutex_);
        if (isNew) {
            db_.AddEvent(uri, p, true);
        } else {
            db_.UpdateEventFromLocalSide(p, uri);
        }
    }
    recurrences_.Invalidate(p.localEventID);
    if (CalendarMode() != googledata::kCalendarModeLocal) {
        SyncEventLocked(uri);
    }
}

void CCalendarManager::AddEvent(const Model::Event& event) {
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        Log(Utility::kLogInfo, platform::FormatText("<calmng> AddEvent %s - %s r:%d",
                                                    FormatTime(event.startTime).c_str(),
                                                    FormatTime(event.endTime).c_str(),
                                                    event.recurrence.empty() ? 1 : 0));
        StoreLocalEdit(event, true);
    }
    NotifyAll(NOTIFY_EVENT_UPDATED,
              (static_cast<int64_t>(event.startTime.GetYear()) << 16) | event.startTime.GetMonth());
}

void CCalendarManager::UpdateEvent(const Model::Event& event) {
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        Log(Utility::kLogInfo,
            platform::FormatText("<calmng> UpdateEvent %s - %s id:%s st:%d seq:%d recur:%d",
                                 FormatTime(event.startTime).c_str(),
                                 FormatTime(event.endTime).c_str(),
                                 WideToUtf8(event.localEventID).c_str(), event.eventStatus,
                                 event.sequence, event.recurrence.empty() ? 0 : 1));
        Model::Event changed = event;
        changed.sequence += 1;
        StoreLocalEdit(changed, false);
    }
    NotifyAll(NOTIFY_EVENT_UPDATED,
              (static_cast<int64_t>(event.startTime.GetYear()) << 16) | event.startTime.GetMonth());
}

void CCalendarManager::UpdateCalendar(const std::wstring& calendarURI, bool showEvents,
                                      bool writeEvents) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    Log(Utility::kLogInfo, platform::FormatText("<calmng> UpdateCalendar,%d,%d", showEvents ? 1 : 0,
                                                writeEvents ? 1 : 0));
    db_.UpdateCalendarVisibleWritable(WideToUtf8(calendarURI), showEvents, writeEvents);
}

// ---------------------------------------------------------------------------
// Reads

bool CCalendarManager::GetCalendars(std::list<Model::Calendar>& out) {
    Log(Utility::kLogInfo, "<calmng> GetCalendars");
    out.clear();
    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        return false;
    }
    for (const auto& c : calendars) {
        out.push_back(Model::Calendar::FromPrimitive(c));
    }
    return true;
}

void CCalendarManager::ExpandSeries(const PrimitiveEvent& series, const PrimitiveCalendar& calendar,
                                    int year, int month, const ExceptionIndex& exceptionIndex,
                                    EventCollector& out) {
    const CTime from(year, month, 1, 0, 0, 0);
    int nextYear = 0, nextMonth = 0;
    AddMonths(year, month, 1, nextYear, nextMonth);
    const CTime to(nextYear, nextMonth, 1, 0, 0, 0);

    std::vector<CTime> occurrences;
    const std::string text = "BEGIN:VEVENT\n" + series.recurrence + "END:VEVENT\n";
    if (!recurrences_.GetOccurrences(series.localEventID, text, from, to, occurrences)) {
        Log(Utility::kLogError, "<calmng> CIcalendar error");
        return;
    }

    std::vector<Model::Event> built;
    std::vector<CTime> originalStarts;
    for (const PrimitiveEvent* e :
         exceptionIndex.Find(ExceptionKey(calendar.calendarURI, series.uid), series.id)) {
        built.push_back(Model::Event::FromPrimitive(*e, calendar));
        // A date (an all-day series) is that local day, also west of UTC.
        originalStarts.push_back(built.back().originalStartTime);
    }

    const Model::Event master = Model::Event::FromPrimitive(series, calendar);
    const std::vector<int> replaced = MatchExceptions(occurrences, originalStarts);
    for (size_t i = 0; i < occurrences.size(); ++i) {
        if (replaced[i] >= 0) {
            continue;
        }
        Model::Event occurrence = master;
        const OccurrenceSpan span =
            PlaceOccurrence(occurrences[i], master.startTime, master.endTime, master.isAllDay);
        occurrence.startTime = span.start;
        occurrence.endTime = span.end;
        out.Add(occurrence);
    }

    for (const Model::Event& exception : built) {
        if (!IsShownStatus(exception.eventStatus)) {
            continue;
        }
        for (CTime day = from; day < to; day = platform::LocalMidnight(day + 86400 + 3600)) {
            if (exception.OccursOnDay(day)) {
                out.Add(exception);
                break;
            }
        }
    }
}

bool CCalendarManager::GetEvents(std::list<Model::Event>& out, int year, int month, int count) {
    if (log_) {
        log_->Write(Utility::kLogInfo, "<calmng> GetEvents", year, month, count);
    }
    out.clear();
    EventCollector collector(out);
    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        Log(Utility::kLogInfo, "<calmng> GetEvents -- failed");
        return false;
    }
    for (const auto& calendar : calendars) {
        if (calendar.isHoliday || (calendar.flags & googledata::kCalendarFlagShowEvents) == 0) {
            continue;
        }
        Log(Utility::kLogInfo, "<calmng> getting" + CalendarShortName(calendar.calendarURI));
        std::list<PrimitiveEvent> originals;
        db_.GetRecurrenceOriginalEvents(calendar.calendarURI, originals);
        // The exceptions of all the calendar's series, read once and found by
        // the reference to their series.
        ExceptionIndex exceptionIndex;
        if (!originals.empty()) {
            std::list<PrimitiveEvent> exceptions;
            if (!db_.GetAllRecurrenceExceptionEvents(calendar.calendarURI, exceptions)) {
                Log(Utility::kLogError, "<calmng> DB error");
            }
            for (auto& e : exceptions) {
                exceptionIndex.Add(std::move(e));
            }
        }
        for (auto& series : originals) {
            // A series stored without its times (downloaded before they were
            // read from its recurrence text) shows its real ones.
            if (series.startTime.empty()) {
                recurrences_.GetSeriesTimes(series.localEventID,
                                            "BEGIN:VEVENT\n" + series.recurrence + "END:VEVENT\n",
                                            series.startTime, series.endTime);
            }
        }
        for (int i = 0; i < count; ++i) {
            int y = 0, m = 0;
            AddMonths(year, month, i, y, m);
            std::list<PrimitiveEvent> singles;
            db_.GetNormalEvents(calendar.calendarURI, y, m, singles);
            for (const auto& e : singles) {
                if (IsShownStatus(e.eventStatus)) {
                    collector.Add(Model::Event::FromPrimitive(e, calendar));
                }
            }
            for (const auto& series : originals) {
                if (IsShownStatus(series.eventStatus)) {
                    ExpandSeries(series, calendar, y, m, exceptionIndex, collector);
                }
            }
        }
    }
    Log(Utility::kLogInfo, "<calmng> GetEvents -- done");
    return true;
}

bool CCalendarManager::GetHolidays(std::list<Model::Holiday>& out, int year, int month, int count,
                                   const std::wstring& filter) {
    if (log_) {
        log_->Write(Utility::kLogInfo, "<calmng> GetHolidays", year, month, count);
    }
    out.clear();
    return CollectHolidays(db_, year, month, count, WideToUtf8(filter), true, out);
}

bool CCalendarManager::GetUnretrievedHolidayYears(const std::wstring& uri, int& first, int& last) {
    const int current = CTime::GetCurrentTime().GetYear();
    first = current - 1;
    last = current + 1;
    for (int y = current - 1; y <= current + 1; ++y) {
        // What the feed stored: computed holidays are no reason not to ask
        // the feed (Daymark's own calendar is never asked).
        for (int m = 1; m <= 12; ++m) {
            std::list<Model::Holiday> holidays;
            CollectHolidays(db_, y, m, 1, WideToUtf8(uri), false, holidays);
            if (!holidays.empty()) {
                first = y + 1;
                break;
            }
        }
    }
    if (first > last) {
        Log(Utility::kLogInfo, "<calmng> unretrieved holiday is nothing");
        return false;
    }
    if (log_) {
        log_->Write(Utility::kLogInfo, "<calmng> unretrieved holiday year", first, last);
    }
    return true;
}

bool CCalendarManager::HasHolidays(int year) {
    std::list<PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        return false;
    }
    for (const auto& c : calendars) {
        const bool computed =
            HolidayRulesCover(year) && (IsOfflineHolidayCalendar(c.calendarURI) ||
                                        (CalendarMode() == googledata::kCalendarModeLocal &&
                                         IsJapaneseHolidayCalendar(c.calendarURI)));
        if (c.isHoliday && (computed || db_.HasHoliday(c.calendarURI, year))) {
            return true;
        }
    }
    return false;
}

bool CCalendarManager::IsEventSynced(const std::wstring& calendarURI,
                                     const std::wstring& localEventID) {
    bool synced = false;
    db_.IsSynced(WideToUtf8(calendarURI), WideToUtf8(localEventID), synced);
    return synced;
}

void CCalendarManager::DumpDatabase(bool write) {
    const std::string path = dataFolder_ + "/log/db.txt";
    if (write) {
        db_.DumpToFile(path, WideToUtf8(account_));
    } else {
        std::remove(path.c_str());
    }
}

std::wstring CCalendarManager::GetLastErrorDescription() const {
    std::lock_guard<std::mutex> guard(errorMutex_);
    return lastErrorDescription_;
}

std::wstring CCalendarManager::GetLastErrorText() const {
    std::lock_guard<std::mutex> guard(errorMutex_);
    return lastErrorText_;
}

// ---------------------------------------------------------------------------
// Worker

void CCalendarManager::Pause(int ms) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested_ != 0; });
}

void CCalendarManager::WorkerProc() {
    threadAlive_ = 1;
    while (!stopRequested_) {
        try {
            SyncProc();
        } catch (const std::exception& e) {
            Log(Utility::kLogError, std::string(e.what()).substr(0, 256));
        } catch (...) {
            Log(Utility::kLogError, "Controller::CCalendarManager::SyncProc");
        }
        // Idle: wait for the next request (or a stop), at most one poll.
        std::unique_lock<std::mutex> lock(queueMutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(idlePollMs_.load()),
                       [this] { return stopRequested_ != 0 || !queue_.empty(); });
    }
    threadAlive_ = 0;
}

bool CCalendarManager::Classify(long httpStatus, const std::string& text) {
    const FailureClass result = ClassifyFailure(httpStatus, text);
    {
        std::lock_guard<std::mutex> guard(errorMutex_);
        lastErrorText_ = Utf8ToWide(text);
        lastErrorDescription_ = app::LoadStringText(result.descriptionId);
    }
    Log(Utility::kLogError, result.logTag);
    NotifyAll(result.notification, 0);
    Log(Utility::kLogError, text);
    return result.handled;
}

void CCalendarManager::SyncProc() {
    int failures = 0;
    bool relogged = false;  // a new login was made for the head request
    for (;;) {
        googledata::RequestType type = googledata::kRequestDownloadCalendars;
        MSG_BASE* message = nullptr;
        {
            std::lock_guard<std::mutex> guard(queueMutex_);
            if (queue_.empty()) {
                return;
            }
            message = queue_.front().get();
            type = message->type;
            current_ = message;
        }
        if (stopRequested_) {
            return;
        }
        if (log_) {
            log_->Write(Utility::kLogInfo, "<calmng> get request:", type);
        }
        NotifyAll(NOTIFY_ACTIVITY, 1);
        ApplyPendingTransportSettings();

        bool done = false;
        bool cleared = false;
        if (CalendarMode() == googledata::kCalendarModeLocal) {
            // Local calendar: only holidays come from the service.
            if (message->As<MSG_DOWNLOAD_HOLIDAY>() == nullptr) {
                ClearMessages();
                cleared = true;
            } else if (HandleRequest(*message)) {
                done = true;
            } else {
                const std::string text = service_->FailureText();
                Log(Utility::kLogWarn, "Sync error:\r\n" + text);
                done = Classify(service_->FailureStatus(), text);
            }
        } else {
            bool loginOk = loggedIn_ != 0;
            if (!loginOk) {
                bool sslProtocolError = false;
                loginOk = Login(sslProtocolError);
                if (stopRequested_) {
                    return;
                }
                if (!loginOk && !sslProtocolError) {
                    ClearMessages();
                    cleared = true;
                }
            }
            if (loginOk && !IsKnownRequest(type)) {
                ClearMessages();
                cleared = true;
            } else if (loginOk) {
                if (HandleRequest(*message)) {
                    done = true;
                } else if (stopRequested_) {
                    return;  // cut short by a stop or an account change: no failure
                } else {
                    const std::string text = service_->FailureText();
                    const ServiceFailure kind = service_->FailureKind();
                    Log(Utility::kLogWarn, "Sync error:\r\n" + text);
                    // An expired token: log in again at once, without counting
                    // a failure. Only once per request, so a service that keeps
                    // refusing the new token cannot hold the worker in a loop.
                    if (kind == ServiceFailure::kTokenExpired && !relogged) {
                        loggedIn_ = 0;
                        relogged = true;
                        continue;
                    }
                    done = Classify(service_->FailureStatus(), text);
                    loggedIn_ = 0;
                    if (kind == ServiceFailure::kAccountRefused) {
                        // As after a refused login: nothing more is asked
                        // with the wrong password.
                        ClearMessages();
                        cleared = true;
                    }
                }
            }
        }
        if (stopRequested_) {
            return;
        }
        if (cleared) {
            failures = 0;
        } else if (done) {
            failures = 0;
            PopMessage();
        } else if (++failures > kMaxFailures) {
            if (log_) {
                log_->Write(Utility::kLogError, "Retryout! msg type:", type);
            }
            failures = 0;
            PopMessage();
        } else {
            Pause(retryPauseMs_);
        }
        if (cleared || done || failures == 0) {
            relogged = false;
        }
        if (GetPendingRequestCount() == 0) {
            NotifyAll(NOTIFY_ACTIVITY, 0);
        }
    }
}

bool CCalendarManager::Login(bool& sslProtocolError) {
    sslProtocolError = false;
    std::string user;
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        user = WideToUtf8(account_);
    }
    Log(Utility::kLogInfo, "<calmng> Login:" + user);
    std::string text;
    long code = 0;
    if (service_->Login(text, code)) {
        loggedIn_ = 1;
        return true;
    }
    if (stopRequested_) {
        return false;  // the login was cut short by a stop, not refused
    }
    sslProtocolError = text.find("Unknown SSL protocol error") != std::string::npos;
    bool haveListener = false;
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        haveListener = !listeners_.empty();
    }
    if (haveListener) {
        Log(Utility::kLogError, "<calmng> login failed:\r\n" + text);
        Classify(code, text);
    }
    return false;
}

// One request, the same for every kind of account: its service does the
// work and tells the listeners what changed.
bool CCalendarManager::HandleRequest(MSG_BASE& message) {
    // Each kind's struct carries its type, so As<>() cannot come back null.
    switch (message.type) {
        case googledata::kRequestDownloadCalendars:
            return service_->DownloadCalendars();
        case googledata::kRequestDownloadHoliday: {
            const auto& m = *message.As<MSG_DOWNLOAD_HOLIDAY>();
            return service_->DownloadHolidays(m.calendarURI, m.firstYear, m.lastYear);
        }
        case googledata::kRequestDownloadAllEvents:
            return service_->DownloadAllEvents(message.As<MSG_DOWNLOAD_ALL_EVENT>()->calendarURI);
        case googledata::kRequestDownloadUpdatedEvents: {
            const auto& m = *message.As<MSG_DOWNLOAD_UPDATED_EVENT>();
            return service_->DownloadUpdatedEvents(m.calendarURI, m.updatedMin);
        }
        case googledata::kRequestUploadEvents:
            return service_->UploadEvents(message.As<MSG_UPLOAD_EVENT>()->calendarURI);
    }
    return false;
}

}  // namespace Controller
