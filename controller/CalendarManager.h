// Controller::CCalendarManager: the one object through which the program
// talks to the account's server and the local database. It owns the account's
// service (an ICalendarService chosen by the account kind: the calendar
// service or a CalDAV server), the database, the queue of requests, the
// parsed recurring series and one worker thread.
//
// Threads: the user-interface thread calls every public operation; the worker
// thread takes the queued requests one at a time, performs them against the
// service and the database, and tells the listeners what happened by posting
// their own window message (platform::PostMessage), never by calling them.
// One mutex (queueMutex_) guards the queue and the listener list and is held
// for the whole of every queuing and editing operation, so that a local edit
// and its upload request are one step for the worker; it is never held across
// a network call. A second one (editMutex_) keeps local edits out of the
// worker's database work that must see rows unchanged: the storing of one
// downloaded page (its transaction, so an edit never joins it) and the
// marking of an uploaded row; never held across a network call either. The
// reads take no lock of the manager: each query is atomic under the
// database's own lock. Terminate() stops the worker, cuts its transfer short
// and waits for it to leave the request before the database is closed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "controller/CalendarService.h"
#include "controller/IcalExchange.h"
#include "controller/RecurrenceCache.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/PrimitiveTime.h"
#include "googledata/ProtocolNumbers.h"
#include "model/Calendar.h"
#include "model/Event.h"
#include "model/Holiday.h"
#include "platform/WindowMessages.h"

namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class EventCollector;
class ExceptionIndex;

class CCalendarManager : private IServiceHost {
public:
    // A queued request. Each kind is its own struct with its RequestType as
    // kType; As<M>() is the one way from the base to the kind.
    struct MSG_BASE {
        explicit MSG_BASE(googledata::RequestType t) : type(t) {}
        virtual ~MSG_BASE() = default;
        // The request as an M, or null when it is of another kind.
        template <class M>
        M* As() {
            return type == M::kType ? static_cast<M*>(this) : nullptr;
        }
        template <class M>
        const M* As() const {
            return type == M::kType ? static_cast<const M*>(this) : nullptr;
        }
        googledata::RequestType type;
    };
    struct MSG_DOWNLOAD_CALENDAR : MSG_BASE {
        static constexpr googledata::RequestType kType = googledata::kRequestDownloadCalendars;
        MSG_DOWNLOAD_CALENDAR() : MSG_BASE(kType) {}
    };
    struct MSG_DOWNLOAD_HOLIDAY : MSG_BASE {
        static constexpr googledata::RequestType kType = googledata::kRequestDownloadHoliday;
        MSG_DOWNLOAD_HOLIDAY() : MSG_BASE(kType) {}
        std::string calendarURI;
        int32_t firstYear = 0;
        int32_t lastYear = 0;
    };
    struct MSG_DOWNLOAD_ALL_EVENT : MSG_BASE {
        static constexpr googledata::RequestType kType = googledata::kRequestDownloadAllEvents;
        MSG_DOWNLOAD_ALL_EVENT() : MSG_BASE(kType) {}
        std::string calendarURI;
    };
    struct MSG_DOWNLOAD_UPDATED_EVENT : MSG_BASE {
        static constexpr googledata::RequestType kType = googledata::kRequestDownloadUpdatedEvents;
        MSG_DOWNLOAD_UPDATED_EVENT();
        std::string calendarURI;
        googledata::PrimitiveTime updatedMin;  // starts as 2000-01-01 00:00:00
    };
    struct MSG_UPLOAD_EVENT : MSG_BASE {
        static constexpr googledata::RequestType kType = googledata::kRequestUploadEvents;
        MSG_UPLOAD_EVENT() : MSG_BASE(kType) {}
        std::string calendarURI;
    };
    struct _LISTENER {
        platform::WindowHandle window;
        uint32_t message;
    };

    // `configPath` is the configuration file the worker reads the calendar
    // mode from; `dataFolder` holds the account databases and the log folder.
    CCalendarManager(std::string configPath, std::string dataFolder);
    virtual ~CCalendarManager();
    CCalendarManager(const CCalendarManager&) = delete;
    CCalendarManager& operator=(const CCalendarManager&) = delete;

    // Set-up and account.
    void Initialize(const std::wstring& account, const std::wstring& password,
                    Utility::CMaintenanceLog* log);
    // Opens the account's database for reading only, without a worker and
    // without writing anything: for another process (the command-line
    // agenda) that reads while Daymark runs. Only the reads may be used then.
    // False when the file is missing or unreadable.
    bool OpenForReading(const std::wstring& account);
    // Opens the account's existing database for writing without a worker:
    // for another process (the command-line import) while Daymark may run.
    // False when the file is missing or cannot be opened.
    bool OpenForWriting(const std::wstring& account);
    void Terminate();
    // ChangeAccount and Reset drop the queued requests and wait until the
    // worker is between two requests before they close the database; the
    // worker then goes on with the new one.
    void ChangeAccount(const std::wstring& account, const std::wstring& password);
    void Reset();
    void CreateLocalDB(const std::wstring& holidayCalendarURI);
    static std::wstring GetHolidayCalendarURI(const std::wstring& loginUrl);

    // Service settings (before Initialize or while idle).
    void SetProxy(bool enabled, const std::wstring& proxy, const std::wstring& user,
                  const std::wstring& password);
    void SetHttpLog(bool enabled, const std::string& folder, bool curlLog);
    void SetExtraCaFile(const std::string& path);
    void SetLoginUrl(const std::wstring& url);
    // Transfer time-out of one request, seconds (60 unless a test says else).
    void SetRequestTimeout(long seconds);
    // The worker's pause before it retries a failed request (1000 ms) and
    // its longest idle wait between two looks at the queue (100 ms); tests
    // shorten them. Any thread, any time: the next pause or wait uses them.
    void SetWorkerTimings(int retryPauseMs, int idlePollMs);

    void AddListener(platform::WindowHandle window, uint32_t message);
    // Takes every entry of `window` out of the listener list (a window that
    // is destroyed).
    void RemoveListener(platform::WindowHandle window);
    size_t ListenerCount() const;

    // Requests (queued; never block on the network).
    void DownloadCalenar();
    void DownloadHoliday(const std::wstring& calendarURI, int firstYear, int lastYear);
    void DownloadAllHolidays(int firstYear, int lastYear);
    void DownloadAllEvent(const std::wstring& calendarURI);
    void SyncEvent(const std::wstring& calendarURI);
    void SyncEvents();

    // Local edits (stored at once as unsynced, then queued for upload).
    void AddEvent(const Model::Event& event);
    void UpdateEvent(const Model::Event& event);
    void UpdateCalendar(const std::wstring& calendarURI, bool showEvents, bool writeEvents);
    // iCalendar files (controller/IcalExchange.h; CalendarManagerIcal.cpp).
    // Export: the events of every calendar, or of the one whose id
    // (CalendarIdOfUri) is `calendarId`. Import: into that calendar, which
    // must be writable, or by default the local calendar (local mode) or the
    // account's own writable calendar; as unsynced local changes in one
    // transaction, then the views are told and (with an account) a sync is
    // queued.
    IcalFileResult ExportIcalendar(const std::string& path, const std::string& calendarId);
    IcalFileResult ImportIcalendar(const std::string& path, const std::string& calendarId);

    // Reads for the views.
    bool GetCalendars(std::list<Model::Calendar>& calendars);
    bool GetEvents(std::list<Model::Event>& events, int year, int month, int count);
    bool GetHolidays(std::list<Model::Holiday>& holidays, int year, int month, int count,
                     const std::wstring& calendarFilter);
    bool GetUnretrievedHolidayYears(const std::wstring& holidayCalendarURI, int& firstYear,
                                    int& lastYear);
    bool HasHolidays(int year);
    bool IsEventSynced(const std::wstring& calendarURI, const std::wstring& localEventID);
    size_t GetPendingRequestCount();
    void DumpDatabase(bool write);

    std::wstring GetLastErrorDescription() const;
    std::wstring GetLastErrorText() const;
    bool IsRunning() const { return running_ != 0; }

    // The database, for tests and the support dump.
    googledata::CalendarEventDB& Database() { return db_; }

private:
    // Transport settings: written by the user-interface thread, applied to the
    // client by the worker before its next request (or at once while no
    // worker runs), so the client is never changed under a transfer.
    struct TransportSettings {
        std::string proxy, proxyUser, proxyPassword;
        std::string extraCaFile;
        std::string httpLogPath;
        int curlLogLevel = 0;
        std::string curlLogPath;
        long timeoutSeconds = 60;
        std::string loginUrl = "https://www.google.com";
    };
    // Worker side.
    void WorkerProc();
    void SyncProc();
    bool Login(bool& sslProtocolError);
    // Hands the request to the account's service.
    bool HandleRequest(MSG_BASE& message);
    // Makes the service of the configuration's account kind ([general]
    // account_kind, caldav_server), read here once for the account. Only
    // while no worker runs.
    void MakeService();
    ServiceSite Site();
    // IServiceHost, for the service on the worker thread.
    void Notify(uint32_t code, int64_t lParam) override;
    bool StopRequested() const override;
    void SetNotice(const std::wstring& description, const std::wstring& text) override;
    void QueueUpload(const std::string& calendarURI) override;
    // Classifies a failure; true when the request counts as handled.
    bool Classify(long httpStatus, const std::string& text);
    bool PopMessage();
    void ClearMessages();
    // Stops the worker between two requests and waits for it; false when
    // none ran. StartWorker starts one when none runs.
    bool StopWorker();
    void StartWorker();
    // Stops the worker, drops the queued requests, runs `change` (which
    // closes and opens the database) and starts the worker again.
    void SwitchDatabase(const std::function<void()>& change);
    // Sleeps up to `ms`, waking early when a stop is requested.
    void Pause(int ms);

    // Queue side (callers hold queueMutex_).
    // Appends the message, unless it is a synchronisation request of a
    // calendar that is already waiting in the queue (not yet begun).
    void Enqueue(std::unique_ptr<MSG_BASE> message);
    void SyncEventLocked(const std::string& calendarURI);
    void StoreLocalEdit(const Model::Event& event, bool isNew);

    void NotifyAll(uint32_t code, int64_t lParam);
    void ApplyTransportSettings();
    void ApplyPendingTransportSettings();
    void ChangeTransportSettings(const std::function<void(TransportSettings&)>& change);
    void Log(const char* level, const std::string& message) const;
    std::string DatabasePath(const std::wstring& account) const;
    googledata::CalendarMode CalendarMode() const;
    void ExpandSeries(const googledata::PrimitiveEvent& series,
                      const googledata::PrimitiveCalendar& calendar, int year, int month,
                      const ExceptionIndex& exceptions, EventCollector& out);

    // The calendar an import writes into; false with `problem` set.
    bool FindImportCalendar(const std::string& calendarId, std::string& calendarURI,
                            IcalProblem& problem);

    const std::string configPath_;
    const std::string dataFolder_;

    std::wstring account_;
    std::wstring password_;
    std::atomic<int> loggedIn_{0};
    std::atomic<int> stopRequested_{0};
    std::atomic<int> threadAlive_{0};
    std::atomic<int> running_{0};
    std::atomic<int> retryPauseMs_;
    std::atomic<int> idlePollMs_;

    mutable std::mutex queueMutex_;  // guards queue_, listeners_ and the editing operations
    std::condition_variable wake_;
    std::list<std::unique_ptr<MSG_BASE>> queue_;
    const MSG_BASE* current_ = nullptr;  // the head request the worker has begun
    std::list<_LISTENER> listeners_;
    std::mutex editMutex_;  // local edits against the worker's page store and upload marks

    std::thread worker_;
    Utility::CMaintenanceLog* log_ = nullptr;
    // The account's service, by its kind (made by MakeService).
    std::unique_ptr<ICalendarService> service_;
    googledata::AccountKind accountKind_ = googledata::kAccountKindService;
    std::string caldavServer_;
    std::mutex settingsMutex_;  // guards transport_ and transportDirty_
    TransportSettings transport_;
    bool transportDirty_ = false;
    googledata::CalendarEventDB db_;
    CRecurrenceCache recurrences_;

    mutable std::mutex errorMutex_;  // guards the two error texts
    std::wstring lastErrorDescription_;
    std::wstring lastErrorText_;
};

// The key that finds a series' exceptions: the calendar URI with an "https"
// scheme turned into "http", "/", and the series uid up to its first "@".
std::string ExceptionKey(const std::string& calendarURI, const std::string& uid);

// The service-side event a local edit stores.
googledata::PrimitiveEvent ToPrimitive(const Model::Event& event);

}  // namespace Controller
