#include "controller/CalDavService.h"

namespace Controller {

CCalDavService::CCalDavService(googledata::HttpClient& http, googledata::XmlContext& xml,
                               googledata::CalendarEventDB& db, Utility::CMaintenanceLog* log)
    : client_(http, xml), sync_(client_, db, log) {}

void CCalDavService::SetAccount(const std::string& server, const std::string& user,
                                const std::string& password) {
    client_.SetAccount(server, user, password);
}

bool CCalDavService::Done(googledata::CalDavStatus status) {
    if (status == googledata::CalDavStatus::kOk) {
        status_ = 0;
        text_.clear();
        return true;
    }
    status_ = client_.LastHttpStatus();
    text_ = client_.LastError();
    if (status == googledata::CalDavStatus::kAuthFailed) {
        text_ = std::string(kCalDavAuthFailedText) + ": " + text_;
    }
    return false;
}

bool CCalDavService::DownloadCalendars() {
    return Done(sync_.DownloadCalendars());
}

bool CCalDavService::DownloadAllEvents(const std::string& calendarURI) {
    return Done(sync_.DownloadAll(calendarURI));
}

bool CCalDavService::DownloadUpdatedEvents(const std::string& calendarURI) {
    return Done(sync_.Sync(calendarURI));
}

bool CCalDavService::UploadEvents(const std::string& calendarURI, const std::string& conflictMark,
                                  std::vector<ServiceConflict>& conflicts) {
    std::vector<googledata::CalDavConflict> found;
    const bool ok = Done(sync_.Upload(calendarURI, conflictMark, &found));
    for (const auto& c : found) {
        conflicts.push_back({c.title, c.copyLocalId, c.deletion});
    }
    return ok;
}

}  // namespace Controller
