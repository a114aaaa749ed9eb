// Controller::CGDataService: the ICalendarService of the calendar service's
// account (e-mail and password): the sign-in, the calendar list, the holiday
// calendars, the event feeds page by page (with NOTIFY_DOWNLOAD_PROGRESS per
// page of a whole download) and the upload of unsynced events, with conflict
// copies on 409/412 and the notice of an event whose text XML cannot carry.
// It owns the feed client (googledata::GoogleCalendarAPI) and its transport.
//
// Owned by the calendar manager; used only by its worker thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "controller/CalendarService.h"

namespace platform {
class CTime;
}
namespace googledata {
class GoogleCalendarAPI;
class PrimitiveEvent;
}  // namespace googledata

namespace Controller {

class CGDataService : public ICalendarService {
public:
    explicit CGDataService(const ServiceSite& site);
    ~CGDataService() override;

    googledata::HttpClient& Transport() override;
    void SetAccount(const std::string& server, const std::string& user,
                    const std::string& password) override;
    bool Login(std::string& text, long& status) override;
    bool DownloadCalendars() override;
    bool DownloadHolidays(const std::string& calendarURI, int firstYear, int lastYear) override;
    bool DownloadAllEvents(const std::string& calendarURI) override;
    bool DownloadUpdatedEvents(const std::string& calendarURI,
                               const googledata::PrimitiveTime& updatedMin) override;
    bool UploadEvents(const std::string& calendarURI) override;
    long FailureStatus() const override;
    std::string FailureText() const override;
    ServiceFailure FailureKind() const override;

private:
    // After the service accepted an upload: marks the row synced (a new event
    // also takes the service's copy) only when it was not edited meanwhile;
    // an edited row is only linked and goes up with the next request.
    void FinishUpload(const std::string& calendarURI, const googledata::PrimitiveEvent& sent,
                      googledata::PrimitiveEvent* created);
    // A change the service refused as a conflict (409, 412): the row takes the
    // service's copy and the user's version is kept as a new event of the
    // calendar, marked as a conflict copy, to be uploaded as new. False when
    // the service's copy cannot be had (the request is tried again).
    bool KeepConflictCopy(const std::string& calendarURI, const googledata::PrimitiveEvent& sent);
    // An event whose `field` holds text XML cannot carry is not sent: logged,
    // and told to the user (NOTIFY_ERROR) once per version of the event.
    void RefuseUnsendableEvent(const googledata::PrimitiveEvent& event, const char* field);
    // Fetches one page at `url`: its events, the next page's link (empty on
    // the last) and the feed's updated time. False on a failure (logged).
    using PageFetch =
        std::function<bool(const std::string& url, std::vector<googledata::PrimitiveEvent>& events,
                           std::string& nextLink, std::string& pageUpdated)>;
    // A paged download of a calendar (whole, or its changes when `updates`):
    // page after page, each stored as it comes, then the calendar's sync time.
    // False when a page fails, a stop is requested or a next link leads back.
    bool DownloadPages(const std::string& calendarURI, bool updates, const PageFetch& fetch);
    // Records `url` as fetched; false when it was fetched already (a next
    // link that leads back to an earlier page).
    bool NextPageIsNew(const std::string& url, std::unordered_set<std::string>& fetched);
    // Stores one downloaded page in one "evt" transaction, each event marked
    // synced; false when a stop is requested in the middle. `logEach` writes
    // the line of every event an incremental download brings.
    bool StorePage(const std::string& calendarURI, std::vector<googledata::PrimitiveEvent>& events,
                   bool logEach);
    // The end of a completed download: the calendar's sync time, the query
    // statistics after a large one, the notification and the timing line.
    // `feedUpdated` is the first page's own "updated" (may be empty),
    // `requested` the time the download began.
    void FinishDownload(const std::string& calendarURI, long total, uint32_t started,
                        const std::string& feedUpdated, const platform::CTime& requested);
    void Log(const char* level, const std::string& message) const;

    ServiceSite site_;
    std::unique_ptr<googledata::GoogleCalendarAPI> api_;
    std::string user_;
    std::string password_;
    // Per local event id, the version and field of the event whose refusal
    // the user was last told of.
    std::unordered_map<std::string, std::string> refusedUploads_;
};

}  // namespace Controller
