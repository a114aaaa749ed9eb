// Controller::CCalDavService: the ICalendarService of a CalDAV account: the
// calendar list by discovery (calendars gone from the server are removed),
// whole downloads and incremental syncs (NOTIFY_DOWNLOAD_PROGRESS per
// calendar-multiget batch) and uploads with conflict copies, through
// googledata's CalDavClient and CalDavSync over its own HttpClient and XML
// context. There is no sign-in: every request carries the account, and a 401
// refuses the account (the queue is dropped, the user asked once).
//
// Owned by the calendar manager; used only by its worker thread.
#pragma once

#include "controller/CalendarService.h"
#include "googledata/CalDavClient.h"
#include "googledata/CalDavSync.h"
#include "googledata/HttpClient.h"
#include "googledata/XmlContext.h"

namespace Controller {

// The start of the failure text of a CalDAV request refused with 401.
inline constexpr const char* kCalDavAuthFailedText = "CalDAV authentication refused";

class CCalDavService : public ICalendarService {
public:
    explicit CCalDavService(const ServiceSite& site);

    googledata::HttpClient& Transport() override { return http_; }
    void SetAccount(const std::string& server, const std::string& user,
                    const std::string& password) override;
    bool Login(std::string& text, long& status) override;
    bool DownloadCalendars() override;
    bool DownloadHolidays(const std::string& calendarURI, int firstYear, int lastYear) override;
    bool DownloadAllEvents(const std::string& calendarURI) override;
    bool DownloadUpdatedEvents(const std::string& calendarURI,
                               const googledata::PrimitiveTime& updatedMin) override;
    bool UploadEvents(const std::string& calendarURI) override;
    long FailureStatus() const override { return status_; }
    std::string FailureText() const override { return text_; }
    ServiceFailure FailureKind() const override { return kind_; }

private:
    bool Done(googledata::CalDavStatus status);
    // The end of a download or sync, complete or cut off: what was stored is
    // shown.
    bool EventsDone(googledata::CalDavStatus status);
    void AddOwnHolidays();

    ServiceSite site_;
    googledata::HttpClient http_;
    googledata::XmlContext xml_;
    googledata::CalDavClient client_;
    googledata::CalDavSync sync_;
    long status_ = 0;
    std::string text_;
    ServiceFailure kind_ = ServiceFailure::kOther;
};

}  // namespace Controller
