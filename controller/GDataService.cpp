#include "controller/GDataService.h"

#include <cstdio>
#include <list>

#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "controller/Notifications.h"
#include "controller/RecurrenceCache.h"
#include "googledata/AtomReader.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/EntryWriter.h"
#include "googledata/GoogleCalendarAPI.h"
#include "googledata/ProtocolNumbers.h"
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

constexpr int64_t kUpdatedSlackSeconds = 600;
constexpr int64_t kFeedClockSkewSeconds = 86400;
// A download of at least this many events refreshes the query statistics.
constexpr long kStatisticsThreshold = 100;
// The notice of a change kept as a conflict copy.
constexpr int kConflictDescriptionId = 191;
constexpr int kConflictDeletionId = 193;

std::string FormatTime(const CTime& t) {
    return t.Format("%Y/%m/%d %H:%M");
}

// The service answers an added event with the bare entry; the feed reader
// reads feeds, so the entry is put into one.
std::string AsFeed(const std::string& entry) {
    std::string body = entry;
    if (body.rfind("<?xml", 0) == 0) {
        const size_t end = body.find("?>");
        body.erase(0, end == std::string::npos ? body.size() : end + 2);
    }
    return "<feed xmlns='http://www.w3.org/2005/Atom'>" + body + "</feed>";
}

}  // namespace

CGDataService::CGDataService(const ServiceSite& site)
    : site_(site), api_(std::make_unique<googledata::GoogleCalendarAPI>(site.log)) {}

CGDataService::~CGDataService() = default;

void CGDataService::Log(const char* level, const std::string& message) const {
    if (site_.log) {
        site_.log->Write(level, message);
    }
}

googledata::HttpClient& CGDataService::Transport() {
    return api_->Transport();
}

void CGDataService::SetAccount(const std::string& server, const std::string& user,
                               const std::string& password) {
    api_->SetServiceBase(server);
    user_ = user;
    password_ = password;
}

bool CGDataService::Login(std::string& text, long& status) {
    int code = 0;
    const bool ok = api_->ClientLogin(user_, password_, api_->GetServiceBase(), text, code);
    status = code;
    return ok;
}

long CGDataService::FailureStatus() const {
    return api_->GetHttpCode();
}

std::string CGDataService::FailureText() const {
    return platform::FormatText("code:%d\n", api_->GetHttpCode()) + api_->GetResponse();
}

ServiceFailure CGDataService::FailureKind() const {
    // An expired token: the worker signs in again at once.
    return api_->GetResponse().find("Authorization required") != std::string::npos
               ? ServiceFailure::kTokenExpired
               : ServiceFailure::kOther;
}

bool CGDataService::DownloadCalendars() {
    Log(Utility::kLogInfo, "<calmng> request calendars");
    std::vector<PrimitiveCalendar> calendars;
    if (!api_->GetCalendars(calendars)) {
        Log(Utility::kLogError, "<calmng> download calendar failed");
        return false;
    }
    site_.db.BeginTransaction("cal");
    for (const auto& c : calendars) {
        site_.db.UpsertCalendar(c);
    }
    site_.db.EndTransaction("cal");
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo, "<calmng> calendar count",
                         static_cast<long>(calendars.size()));
    }
    site_.host.Notify(NOTIFY_CALENDAR_UPDATED, 0);
    return true;
}

bool CGDataService::DownloadHolidays(const std::string& calendarURI, int firstYear, int lastYear) {
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo, "<calmng> request holiday:" + calendarURI, firstYear,
                         lastYear);
    }
    std::vector<PrimitiveHoliday> holidays;
    if (!api_->GetHolidays(calendarURI, firstYear, lastYear, holidays)) {
        Log(Utility::kLogError, "<calmng> handle download holiday failed");
        return false;
    }
    const PrimitiveTime now = PrimitiveTime::FromTime(CTime::GetCurrentTime(), false);
    site_.db.BeginTransaction("holi");
    for (const auto& h : holidays) {
        if (site_.host.StopRequested()) {
            site_.db.EndTransaction("holi");
            return false;
        }
        site_.db.UpsertHoliday(calendarURI, now, h);
    }
    site_.db.EndTransaction("holi");
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo, "<calmng> holiday count",
                         static_cast<long>(holidays.size()));
    }
    site_.host.Notify(NOTIFY_HOLIDAY_UPDATED, 0);
    return true;
}

void CGDataService::FinishDownload(const std::string& calendarURI, long total, uint32_t started,
                                   const std::string& feedUpdated, const CTime& requested) {
    // The next incremental download asks for the changes made since this one
    // began, in the service's own time: the feed's "updated". Without it, the
    // time of the request less the usual slack (the clocks may differ), in
    // UTC. Never the time after the download, nor local time with the wrong
    // offset: either would lie in the future and lose the changes between.
    // A feed time more than a day ahead of this machine's clock is not
    // believed: it would skip every change until then.
    PrimitiveTime since;
    if (feedUpdated.empty() || !PrimitiveTime::Parse(Utf8ToWide(feedUpdated), since) ||
        since.isDate ||
        PrimitiveTime::ToLocalTime(since) > CTime::GetCurrentTime() + kFeedClockSkewSeconds) {
        since =
            PrimitiveTime::ToUtc(PrimitiveTime::FromTime(requested - kUpdatedSlackSeconds, false));
    }
    site_.db.SetEventLastUpdatedTime(calendarURI, since);
    if (total == 0) {
        Log(Utility::kLogInfo, "<calmng> no update");
    } else if (total >= kStatisticsThreshold) {
        site_.db.UpdateQueryStatistics();
    }
    site_.host.Notify(NOTIFY_EVENT_UPDATED, 0);
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo, "<calmng> proc ticks",
                         static_cast<long>(platform::GetTickCount() - started));
    }
}

// Stores one downloaded page in one "evt" transaction, each event marked
// synced; false when a stop is requested in the middle. `logEach` writes the
// line of every event an incremental download brings.
bool CGDataService::StorePage(const std::string& calendarURI, std::vector<PrimitiveEvent>& events,
                              bool logEach) {
    std::lock_guard<std::mutex> edit(site_.editMutex);
    site_.db.BeginTransaction("evt");
    int index = 0;
    for (auto& e : events) {
        if (site_.host.StopRequested()) {
            site_.db.EndTransaction("evt");
            return false;
        }
        e.isSynced = true;
        site_.db.UpsertEvent(e, calendarURI);
        site_.recurrences.Invalidate(e.localEventID);
        if (logEach) {
            const std::string lid = e.localEventID.substr(0, 8);
            const std::string id = e.id.size() > 8 ? e.id.substr(e.id.size() - 8) : e.id;
            Log(Utility::kLogInfo,
                platform::FormatText(
                    "<calmng> updated event[%d] %s local:%s id:%s seq:%d st:%d type:%d up:%s",
                    index++, e.title.c_str(), lid.c_str(), id.c_str(), e.sequence, e.eventStatus,
                    e.recurrenceType, e.updated.c_str()));
        }
    }
    site_.db.EndTransaction("evt");
    return true;
}

// False (with a log line) when a feed's next link names a page already
// fetched: a service that answers so would keep the worker in the loop.
bool CGDataService::NextPageIsNew(const std::string& url,
                                  std::unordered_set<std::string>& fetched) {
    if (fetched.insert(url).second) {
        return true;
    }
    Log(Utility::kLogError, "<calmng> next link repeats a fetched page");
    return false;
}

bool CGDataService::DownloadPages(const std::string& calendarURI, bool updates,
                                  const PageFetch& fetch) {
    const uint32_t started = platform::GetTickCount();
    const CTime requested = CTime::GetCurrentTime();
    std::string feedUpdated;
    std::string url = calendarURI;
    long total = 0;
    std::unordered_set<std::string> fetched;
    do {
        if (site_.host.StopRequested() || !NextPageIsNew(url, fetched)) {
            return false;
        }
        std::vector<PrimitiveEvent> events;
        std::string nextLink;
        std::string pageUpdated;
        if (!fetch(url, events, nextLink, pageUpdated)) {
            return false;
        }
        if (feedUpdated.empty()) {
            feedUpdated = pageUpdated;  // the first page's: the earliest
        }
        if (!StorePage(calendarURI, events, updates)) {
            return false;
        }
        if (!updates && site_.log) {
            site_.log->Write(Utility::kLogInfo, "<calmng> received event count",
                             static_cast<long>(events.size()));
        }
        total += static_cast<long>(events.size());
        url = nextLink;
    } while (!url.empty());

    FinishDownload(calendarURI, total, started, feedUpdated, requested);
    return true;
}

bool CGDataService::DownloadAllEvents(const std::string& calendarURI) {
    Log(Utility::kLogInfo, "<calmng> request all event" + CalendarShortName(calendarURI));
    return DownloadPages(calendarURI, false,
                         [&](const std::string& url, std::vector<PrimitiveEvent>& events,
                             std::string& nextLink, std::string& pageUpdated) {
                             int startIndex = 0, totalResults = 0;
                             if (!api_->GetAllEvents(url, events, nextLink, startIndex,
                                                     totalResults, &pageUpdated)) {
                                 Log(Utility::kLogError, "<calmng> download event failed");
                                 return false;
                             }
                             site_.host.Notify(NOTIFY_DOWNLOAD_PROGRESS,
                                               (static_cast<int64_t>(totalResults & 0xffff) << 16) |
                                                   (startIndex & 0xffff));
                             return true;
                         });
}

bool CGDataService::DownloadUpdatedEvents(const std::string& calendarURI,
                                          const PrimitiveTime& updatedMin) {
    Log(Utility::kLogInfo, "<calmng> request updated event:" + CalendarShortName(calendarURI) +
                               " " + PrimitiveTime::FormatUtf8(updatedMin, false));
    return DownloadPages(
        calendarURI, true,
        [&](const std::string& url, std::vector<PrimitiveEvent>& events, std::string& nextLink,
            std::string& pageUpdated) {
            if (!api_->GetEventUpdates(url, updatedMin, events, nextLink, &pageUpdated)) {
                Log(Utility::kLogError, "<calmng> download updated event failed");
                return false;
            }
            return true;
        });
}

namespace {

// A status with which the service refuses one event for good (a malformed
// entry, a calendar it may not write, an entry that is gone): that event
// stays unsynced and the others go on. Anything else (no answer, an expired
// token, a 5xx, a time-out) fails the request.
bool RefusesTheEvent(int httpCode) {
    return httpCode >= 400 && httpCode < 500 && httpCode != 401 && httpCode != 407 &&
           httpCode != 408 && httpCode != 409 && httpCode != 412 && httpCode != 429;
}

// The mark after the title of a conflict copy (string table).
constexpr int kConflictMarkId = 192;

}  // namespace

bool CGDataService::UploadEvents(const std::string& calendarURI) {
    std::list<PrimitiveEvent> events;
    if (!site_.db.GetUnsyncedEvents(calendarURI, events)) {
        Log(Utility::kLogError, "<calmng> upload event failed");
        return false;
    }
    if (events.empty()) {
        Log(Utility::kLogInfo, "<calmng> no uploading event");
        return true;
    }
    if (site_.log) {
        site_.log->Write(Utility::kLogInfo,
                         "<calmng> uploading unsynced event" + CalendarShortName(calendarURI),
                         static_cast<long>(events.size()));
    }
    for (auto& e : events) {
        if (site_.host.StopRequested()) {
            return false;
        }
        if (const char* field = googledata::FindUnsendableField(e)) {
            RefuseUnsendableEvent(e, field);
            continue;  // stays local and unsynced; no request is made for it
        }
        const bool isNew = e.id.empty();
        if (isNew ? api_->AddEvent(calendarURI, e) : api_->UpdateEvent(e)) {
            if (!isNew) {
                FinishUpload(calendarURI, e, nullptr);
                continue;
            }
            // Marked synced only once the service's entry has been read and
            // linked: a 2xx page without an entry (a proxy's) is a failure.
            std::vector<PrimitiveEvent> entries;
            std::string ignored;
            if (!googledata::ParseEvents(api_->Xml(), AsFeed(api_->GetResponse()), entries,
                                         ignored) ||
                entries.empty() || entries.front().id.empty()) {
                Log(Utility::kLogError, "<calmng> added event has no readable entry");
                return false;
            }
            FinishUpload(calendarURI, e, &entries.front());
            continue;
        }
        const int code = api_->GetHttpCode();
        if (!isNew && (code == 409 || code == 412)) {
            if (!KeepConflictCopy(calendarURI, e)) {
                return false;
            }
            continue;
        }
        if (api_->EntryUnwritable() || RefusesTheEvent(code)) {
            // Tried again at the next synchronisation.
            Log(Utility::kLogWarn, platform::FormatText("<calmng> event refused lid:%s code:%d",
                                                        e.localEventID.substr(0, 8).c_str(), code));
            continue;
        }
        Log(Utility::kLogError, "<calmng> upload event failed");
        return false;
    }
    return true;
}

void CGDataService::FinishUpload(const std::string& uri, const PrimitiveEvent& sent,
                                 PrimitiveEvent* created) {
    std::lock_guard<std::mutex> edit(site_.editMutex);
    int64_t revision = 0;
    bool synced = false;
    const bool unchanged = site_.db.GetLocalState(uri, sent.localEventID, revision, synced) &&
                           revision == sent.localRevision;
    if (created) {
        // Linked to the entry the service created, so a later edit updates it
        // instead of adding it a second time.
        created->localEventID = sent.localEventID;
        if (unchanged) {
            created->isSynced = true;
            site_.db.UpdateEventFromGoogleSide(*created, uri);
        } else {
            site_.db.LinkServiceEntry(*created, uri, sent.localEventID);
        }
        site_.recurrences.Invalidate(sent.localEventID);
    } else if (unchanged) {
        site_.db.SetSyncDone(uri, sent.localEventID, sent.localRevision);
    }
    if (!unchanged) {
        Log(Utility::kLogInfo, "<calmng> edited during its upload, kept for the next upload lid:" +
                                   sent.localEventID.substr(0, 8));
    }
}

bool CGDataService::KeepConflictCopy(const std::string& uri, const PrimitiveEvent& sent) {
    Log(Utility::kLogWarn,
        platform::FormatText("<calmng> conflict code:%d lid:%s", api_->GetHttpCode(),
                             sent.localEventID.substr(0, 8).c_str()));
    const std::string conflictText = FailureText();
    // The service's copy: in the answer, or else read from the entry itself.
    std::vector<PrimitiveEvent> entries;
    std::string ignored;
    googledata::ParseEvents(api_->Xml(), AsFeed(api_->GetResponse()), entries, ignored);
    if (entries.empty() || entries.front().id.empty()) {
        entries.clear();
        std::string response;
        int code = 0;
        if (!api_->Transport().Get(sent.editURI, response, true, "", code) ||
            !googledata::ParseEvents(api_->Xml(), AsFeed(response), entries, ignored) ||
            entries.empty() || entries.front().id.empty()) {
            Log(Utility::kLogError, "<calmng> conflict: the service's copy cannot be read");
            return false;
        }
    }
    PrimitiveEvent service = entries.front();
    std::string copyId;
    bool deleted = false;
    {
        std::lock_guard<std::mutex> edit(site_.editMutex);
        // The user's version as it stands now (it may have been edited again
        // during the upload).
        PrimitiveEvent mine = sent;
        std::list<PrimitiveEvent> unsynced;
        site_.db.GetUnsyncedEvents(uri, unsynced);
        for (const auto& u : unsynced) {
            if (u.localEventID == sent.localEventID) {
                mine = u;
            }
        }
        // A deletion has no version to keep: the service's copy comes back.
        deleted = mine.eventStatus == googledata::EVENT_STATUS_CANCELED;
        if (!deleted) {
            PrimitiveEvent copy = mine;
            copy.id.clear();
            copy.uid.clear();
            copy.editURI.clear();
            copy.published.clear();
            copy.updated.clear();
            copy.xml.clear();
            copy.sequence = 0;
            copy.isSynced = false;
            const std::string mark = WideToUtf8(app::LoadStringText(kConflictMarkId));
            if (copy.title.size() < mark.size() ||
                copy.title.compare(copy.title.size() - mark.size(), std::string::npos, mark) != 0) {
                copy.title += mark;
            }
            if (!site_.db.AddEvent(uri, copy, true)) {
                return false;
            }
            copyId = copy.localEventID;
        }
        service.localEventID = sent.localEventID;
        service.isSynced = true;
        site_.db.UpdateEventFromGoogleSide(service, uri);
    }
    site_.recurrences.Invalidate(sent.localEventID);
    {
        site_.host.SetNotice(
            app::LoadStringText(deleted ? kConflictDeletionId : kConflictDescriptionId),
            Utf8ToWide(conflictText));
    }
    if (deleted) {
        Log(Utility::kLogWarn,
            "<calmng> conflict: the deleted event is kept as the service has it");
        site_.host.Notify(NOTIFY_EVENT_UPDATED, 0);
        site_.host.Notify(NOTIFY_ERROR, 0);
        return true;
    }
    site_.recurrences.Invalidate(copyId);
    Log(Utility::kLogWarn,
        "<calmng> conflict: kept the local version as a new event lid:" + copyId.substr(0, 8));
    { site_.host.QueueUpload(uri); }
    site_.host.Notify(NOTIFY_EVENT_UPDATED, 0);
    site_.host.Notify(NOTIFY_ERROR, 0);
    return true;
}

namespace {

// String-table ids of the notice about an event that cannot be uploaded.
enum UnsendableText {
    kStrUnsendableEvent = 175,
    kStrUnsendableEventText = 176,
    kStrFieldTitle = 177,
    kStrFieldContent = 178,
    kStrFieldPlace = 179,
    kStrFieldOther = 180,
};

}  // namespace

void CGDataService::RefuseUnsendableEvent(const PrimitiveEvent& e, const char* field) {
    // The writers refuse the event; the user hears of it once for each
    // version of it (an edit raises the sequence), not at every sync.
    const std::string noticeKey = std::to_string(e.sequence) + "\x1f" + field;
    std::string& noticed = refusedUploads_[e.localEventID];
    if (noticed == noticeKey) {
        return;
    }
    noticed = noticeKey;
    PrimitiveTime start;
    const std::string when = PrimitiveTime::Parse(Utf8ToWide(e.startTime), start)
                                 ? FormatTime(PrimitiveTime::ToLocalTime(start))
                                 : e.startTime;
    Log(Utility::kLogError,
        "<calmng> event not uploaded, its " + std::string(field) +
            " holds characters XML cannot carry: lid:" + e.localEventID.substr(0, 8) + " " + when);
    const std::string f = field;
    const int fieldId = f == "title"     ? kStrFieldTitle
                        : f == "content" ? kStrFieldContent
                        : f == "place"   ? kStrFieldPlace
                                         : kStrFieldOther;
    // The title as the dialog can show it: characters XML refuses become U+FFFD.
    std::wstring title = Utf8ToWide(e.title);
    for (wchar_t& c : title) {
        if ((c < 0x20 && c != L'\t') || c == 0xFFFE || c == 0xFFFF) {
            c = 0xFFFD;
        }
    }
    // "%1" to "%3" are filled in one pass, so a title holding "%2" stays as it is.
    const std::wstring values[] = {title, Utf8ToWide(when), app::LoadStringText(fieldId)};
    const std::wstring format = app::LoadStringText(kStrUnsendableEventText);
    std::wstring text;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] >= L'1' &&
            format[i + 1] <= L'3') {
            text += values[format[i + 1] - L'1'];
            ++i;
        } else {
            text += format[i];
        }
    }
    { site_.host.SetNotice(app::LoadStringText(kStrUnsendableEvent), text); }
    site_.host.Notify(NOTIFY_ERROR, 0);
}
}  // namespace Controller
