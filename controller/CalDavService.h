// Controller::CCalDavService: the ICalendarService of a CalDAV account, over
// the manager's own HttpClient, XML context and store (googledata/CalDav*).
//
// Owned by the calendar manager; used only by its worker thread.
#pragma once

#include "controller/CalendarService.h"
#include "googledata/CalDavClient.h"
#include "googledata/CalDavSync.h"

namespace Utility {
class CMaintenanceLog;
}
namespace googledata {
class CalendarEventDB;
class HttpClient;
class XmlContext;
}  // namespace googledata

namespace Controller {

// The start of the failure text of a CalDAV request refused with 401: the
// failure classifier takes the path of a refused login with it.
inline constexpr const char* kCalDavAuthFailedText = "CalDAV authentication refused";

class CCalDavService : public ICalendarService {
public:
    CCalDavService(googledata::HttpClient& http, googledata::XmlContext& xml,
                   googledata::CalendarEventDB& db, Utility::CMaintenanceLog* log);

    void SetAccount(const std::string& server, const std::string& user,
                    const std::string& password) override;
    bool DownloadCalendars() override;
    bool DownloadAllEvents(const std::string& calendarURI) override;
    bool DownloadUpdatedEvents(const std::string& calendarURI) override;
    bool UploadEvents(const std::string& calendarURI, const std::string& conflictMark,
                      std::vector<ServiceConflict>& conflicts) override;
    long FailureStatus() const override { return status_; }
    std::string FailureText() const override { return text_; }

private:
    bool Done(googledata::CalDavStatus status);

    googledata::CalDavClient client_;
    googledata::CalDavSync sync_;
    long status_ = 0;
    std::string text_;
};

}  // namespace Controller
