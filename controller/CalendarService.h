// Controller::ICalendarService: what the calendar manager's worker asks of an
// account's server, whatever protocol it speaks: the calendar list, a whole
// download of a calendar's events, the changes since the last one, and the
// upload of the calendar's unsynced events, each into and from the manager's
// store. A failure leaves a text for the log and the failure classifier.
//
// Implementations are owned by the manager and used only by its worker
// thread. docs/caldav.md says how a CalDAV request flows.
#pragma once

#include <string>
#include <vector>

namespace Controller {

// A local change the server refused because its copy had changed: kept as a
// conflict copy (or, for a deletion, the server's copy brought back).
struct ServiceConflict {
    std::string title;
    std::string copyLocalId;  // empty for a deletion
    bool deletion = false;
};

class ICalendarService {
public:
    virtual ~ICalendarService() = default;
    // The account for the next requests.
    virtual void SetAccount(const std::string& server, const std::string& user,
                            const std::string& password) = 0;
    virtual bool DownloadCalendars() = 0;
    virtual bool DownloadAllEvents(const std::string& calendarURI) = 0;
    virtual bool DownloadUpdatedEvents(const std::string& calendarURI) = 0;
    // `conflictMark` follows the title of a conflict copy.
    virtual bool UploadEvents(const std::string& calendarURI, const std::string& conflictMark,
                              std::vector<ServiceConflict>& conflicts) = 0;
    // The last failure: its HTTP status (0 without an answer) and its text.
    virtual long FailureStatus() const = 0;
    virtual std::string FailureText() const = 0;
};

}  // namespace Controller
