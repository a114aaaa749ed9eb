#include "controller/CalDavService.h"

#include <list>
#include <mutex>
#include <vector>

#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "controller/Notifications.h"
#include "controller/OfflineHolidays.h"
#include "controller/RecurrenceCache.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/PrimitiveTime.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace Controller {

namespace {

// String-table ids of the conflict notice and of the conflict copy's mark.
enum ConflictText {
    kStrConflictDescription = 191,
    kStrConflictMark = 192,
    kStrConflictDeletion = 193,
};

}  // namespace

CCalDavService::CCalDavService(const ServiceSite& site)
    : site_(site),
      xml_(site.log),
      client_(http_, xml_),
      sync_(client_, site.db, site.log, &site.editMutex) {
    // One notification per stored multiget batch: (to fetch << 16) | first
    // index of the batch (from 1), as the feed's pages are told.
    sync_.SetProgress([this](size_t first, size_t total) {
        site_.host.Notify(NOTIFY_DOWNLOAD_PROGRESS,
                          (static_cast<int64_t>(total & 0xffff) << 16) | (first & 0xffff));
    });
}

void CCalDavService::SetAccount(const std::string& server, const std::string& user,
                                const std::string& password) {
    client_.SetAccount(server, user, password);
}

bool CCalDavService::Login(std::string& text, long& status) {
    // Every request carries the account; a wrong one is told by its 401.
    text.clear();
    status = 0;
    return true;
}

bool CCalDavService::Done(googledata::CalDavStatus status) {
    kind_ = ServiceFailure::kOther;
    if (status == googledata::CalDavStatus::kOk) {
        status_ = 0;
        text_.clear();
        return true;
    }
    status_ = client_.LastHttpStatus();
    text_ = client_.LastError();
    if (status == googledata::CalDavStatus::kAuthFailed) {
        // The failure classifier takes the path of a refused login with it.
        text_ = std::string(kCalDavAuthFailedText) + ": " + text_;
        kind_ = ServiceFailure::kAccountRefused;
    }
    return false;
}

bool CCalDavService::DownloadCalendars() {
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo, "<calmng> request calendars (CalDAV)");
    }
    if (!Done(sync_.DownloadCalendars())) {
        return false;
    }
    AddOwnHolidays();
    site_.recurrences.Clear();  // a removed calendar takes its series along
    site_.host.Notify(NOTIFY_CALENDAR_UPDATED, 0);
    return true;
}

void CCalDavService::AddOwnHolidays() {
    // A CalDAV server holds no national holidays: the account shows Daymark's
    // own, computed from the holiday rules. Added once; after that the user's
    // choices for it (shown, hidden, its colour) stay as they are.
    std::list<googledata::PrimitiveCalendar> calendars;
    if (!site_.db.GetCalendars(calendars)) {
        return;
    }
    for (const auto& c : calendars) {
        if (IsOfflineHolidayCalendar(c.calendarURI)) {
            return;
        }
    }
    const std::string now = googledata::PrimitiveTime::FormatUtf8(
        googledata::PrimitiveTime::ToUtc(
            googledata::PrimitiveTime::FromTime(platform::CTime::GetCurrentTime(), false)),
        false);
    std::lock_guard<std::mutex> guard(site_.editMutex);
    site_.db.UpsertCalendar(OfflineHolidayCalendar(kOfflineHolidayCalendarURI, now));
}

bool CCalDavService::DownloadHolidays(const std::string&, int, int) {
    // Holidays come from the holiday calendar of the calendar service only;
    // a CalDAV account has none to ask for.
    return true;
}

bool CCalDavService::EventsDone(googledata::CalDavStatus status) {
    const bool ok = Done(status);
    site_.recurrences.Clear();
    site_.host.Notify(NOTIFY_EVENT_UPDATED, 0);
    return ok;
}

bool CCalDavService::DownloadAllEvents(const std::string& calendarURI) {
    return EventsDone(sync_.DownloadAll(calendarURI));
}

bool CCalDavService::DownloadUpdatedEvents(const std::string& calendarURI,
                                           const googledata::PrimitiveTime&) {
    // The server's sync token or ETags say what changed, not a time.
    return EventsDone(sync_.Sync(calendarURI));
}

bool CCalDavService::UploadEvents(const std::string& calendarURI) {
    std::vector<googledata::CalDavConflict> conflicts;
    const bool ok = Done(sync_.Upload(
        calendarURI, platform::WideToUtf8(app::LoadStringText(kStrConflictMark)), &conflicts));
    site_.recurrences.Clear();
    for (const googledata::CalDavConflict& c : conflicts) {
        if (site_.log) {
            site_.log->Write(Utility::kLogWarn, "<calmng> conflict (CalDAV): " +
                                                    std::string(c.deletion ? "deletion" : "edit") +
                                                    " lid:" + c.copyLocalId.substr(0, 8));
        }
        site_.host.SetNotice(
            app::LoadStringText(c.deletion ? kStrConflictDeletion : kStrConflictDescription),
            platform::Utf8ToWide(c.title));
    }
    site_.host.Notify(NOTIFY_EVENT_UPDATED, 0);
    if (!conflicts.empty()) {
        site_.host.Notify(NOTIFY_ERROR, 0);
    }
    return ok;
}

}  // namespace Controller
