// Controller::ICalendarService: what the calendar manager's worker asks of an
// account's server, whatever protocol it speaks: a sign-in, the calendar list,
// holidays, a whole download of a calendar's events, the changes since the
// last one, and the upload of the calendar's unsynced events, each into and
// from the manager's store. Two implementations: CGDataService (the calendar
// service's feeds, controller/GDataService.*) and CCalDavService (a CalDAV
// server, controller/CalDavService.*). A failure leaves a status and a text
// for the log and the failure classifier.
//
// The manager makes its one service when the account is set (Initialize,
// ChangeAccount, Reset), by the account kind, and owns it; only the worker
// thread calls it, except Transport().Abort() from a stopping thread. The
// service reaches the store, the recurrence cache, the notifications and the
// stop flag through the ServiceSite it is given. docs/caldav.md says how a
// request flows for both kinds.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace Utility {
class CMaintenanceLog;
}
namespace googledata {
class CalendarEventDB;
class HttpClient;
struct PrimitiveTime;
}  // namespace googledata

namespace Controller {

class CRecurrenceCache;

// What a failed request means for the worker, beyond the common
// classification and retries.
enum class ServiceFailure {
    kOther,           // classified, then tried again up to the retry limit
    kTokenExpired,    // sign in again at once, without counting a failure
    kAccountRefused,  // the account was refused: the queue is dropped
};

// What the manager does for its service.
class IServiceHost {
public:
    // Posts `code` to every listener.
    virtual void Notify(uint32_t code, int64_t lParam) = 0;
    // A stop or an account change asks the request to end.
    virtual bool StopRequested() const = 0;
    // The texts the next NOTIFY_ERROR shows (GetLastErrorDescription/Text).
    virtual void SetNotice(const std::wstring& description, const std::wstring& text) = 0;
    // Queues an upload of the calendar's unsynced events (a conflict copy).
    virtual void QueueUpload(const std::string& calendarURI) = 0;

protected:
    ~IServiceHost() = default;
};

// The manager's parts a service works on. `editMutex` keeps local edits out
// of a stored page (its transaction) and out of the marking of a sent row.
struct ServiceSite {
    googledata::CalendarEventDB& db;
    CRecurrenceCache& recurrences;
    std::mutex& editMutex;
    IServiceHost& host;
    Utility::CMaintenanceLog* log;  // may be null
};

class ICalendarService {
public:
    virtual ~ICalendarService() = default;

    // The connection of every request: the manager applies the transport
    // settings to it and aborts it to stop the worker.
    virtual googledata::HttpClient& Transport() = 0;
    // The server's address (the service's login URL, or the CalDAV server)
    // and the account for the next requests.
    virtual void SetAccount(const std::string& server, const std::string& user,
                            const std::string& password) = 0;
    // Signs in; true at once for a kind without a sign-in of its own. On
    // failure `text` and `status` say why (status 0 without an answer).
    virtual bool Login(std::string& text, long& status) = 0;

    // Each true when done; on false FailureStatus/Text/Kind say why.
    virtual bool DownloadCalendars() = 0;
    virtual bool DownloadHolidays(const std::string& calendarURI, int firstYear, int lastYear) = 0;
    virtual bool DownloadAllEvents(const std::string& calendarURI) = 0;
    // `updatedMin`: the changes since then (a kind with its own sync state
    // may ignore it).
    virtual bool DownloadUpdatedEvents(const std::string& calendarURI,
                                       const googledata::PrimitiveTime& updatedMin) = 0;
    // A change refused as a conflict is kept as a conflict copy and the user
    // told (NOTIFY_ERROR with the conflict notice).
    virtual bool UploadEvents(const std::string& calendarURI) = 0;

    // The last failure: its HTTP status (0 without an answer), its text, and
    // what it means for the worker.
    virtual long FailureStatus() const = 0;
    virtual std::string FailureText() const = 0;
    virtual ServiceFailure FailureKind() const = 0;
};

// " cal:" and the four characters at position 38 of a calendar URI longer
// than 40 characters (the start of the calendar id in the service's form).
std::string CalendarShortName(const std::string& calendarURI);

}  // namespace Controller
