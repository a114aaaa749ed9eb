#include "googledata/CalDavSync.h"

#include <algorithm>
#include <cctype>
#include <list>
#include <map>
#include <set>

#include "app/MaintenanceLog.h"
#include "googledata/CalDavEvents.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Guid.h"

namespace googledata {
namespace {

constexpr int32_t kDefaultColor = 0xE16941;

// The path of a URL ("/alice/work/").
std::string PathOf(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) {
        return url;
    }
    const size_t slash = url.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

// The TZID a calendar-timezone VCALENDAR names.
std::string ZoneName(const std::string& vcalendar) {
    const size_t at = vcalendar.find("TZID:");
    if (at == std::string::npos) {
        return {};
    }
    const size_t end = vcalendar.find_first_of("\r\n", at);
    return vcalendar.substr(at + 5, end == std::string::npos ? std::string::npos : end - at - 5);
}

// A new resource name: the UID without braces and characters a path would
// have to escape.
std::string NewUid() {
    std::string uid;
    for (char c : platform::CreateGuidText()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
            uid += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return uid;
}

std::string ResourceHref(const PrimitiveEvent& e) {
    return e.recurrenceType == RECURRENCE_EXCEPTION ? e.originalEvent : e.id;
}

}  // namespace

int32_t CalDavColor(const std::string& text, int32_t fallback) {
    if (text.size() < 7 || text[0] != '#') {
        return fallback;
    }
    for (size_t i = 1; i < 7; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return fallback;
        }
    }
    const long rgb = std::strtol(text.substr(1, 6).c_str(), nullptr, 16);
    const int32_t r = (rgb >> 16) & 0xFF;
    const int32_t g = (rgb >> 8) & 0xFF;
    const int32_t b = rgb & 0xFF;
    return (b << 16) | (g << 8) | r;
}

CalDavSync::CalDavSync(CalDavClient& client, CalendarEventDB& db, Utility::CMaintenanceLog* log,
                       std::mutex* storeLock)
    : client_(client), db_(db), log_(log), storeLock_(storeLock) {}

std::unique_lock<std::mutex> CalDavSync::LockStore() {
    return storeLock_ ? std::unique_lock<std::mutex>(*storeLock_) : std::unique_lock<std::mutex>();
}

void CalDavSync::Log(const char* level, const std::string& text) const {
    if (log_) {
        log_->Write(level, text);
    }
}

CalDavStatus CalDavSync::DownloadCalendars(std::vector<PrimitiveCalendar>* found) {
    std::vector<CalDavCalendar> calendars;
    const CalDavStatus status = client_.Discover(calendars);
    if (status != CalDavStatus::kOk) {
        Log(Utility::kLogError, "<caldav> discovery failed: " + client_.LastError());
        return status;
    }
    std::set<std::string> present;
    for (const CalDavCalendar& c : calendars) {
        present.insert(c.url);
        PrimitiveCalendar p;
        p.calendarURI = c.url;
        p.id = c.url;
        p.title = c.displayName;
        if (p.title.empty()) {
            std::string path = PathOf(c.url);
            path.pop_back();
            p.title = path.substr(path.rfind('/') + 1);
        }
        p.accesslevel = c.accessLevel;
        p.color = CalDavColor(c.color, kDefaultColor);
        p.selected = true;
        p.timezone = ZoneName(c.timezone);
        p.flags = kCalendarFlagShowEvents |
                  (c.accessLevel == ACCESS_OWNER ? kCalendarFlagWriteEvents : 0);
        db_.UpsertCalendar(p);
        Log(Utility::kLogInfo,
            "<caldav> calendar " + c.url + " level " + std::to_string(c.accessLevel));
        if (found) {
            found->push_back(p);
        }
    }
    // Calendars of this server that are gone from it. Holiday and local
    // calendars, and those of another server, are not discovery's.
    const std::string origin = client_.Absolute("/");
    std::list<PrimitiveCalendar> stored;
    db_.GetCalendars(stored);
    for (const PrimitiveCalendar& s : stored) {
        if (s.isHoliday || present.count(s.calendarURI) ||
            s.calendarURI.compare(0, origin.size(), origin) != 0) {
            continue;
        }
        std::list<PrimitiveEvent> unsent;
        db_.GetUnsyncedEvents(s.calendarURI, unsent);
        Log(unsent.empty() ? Utility::kLogInfo : Utility::kLogWarn,
            "<caldav> calendar removed on the server: " + s.calendarURI +
                (unsent.empty() ? "" : ", with unsent edits: " + std::to_string(unsent.size())));
        const auto lock = LockStore();
        db_.DeleteDavCalendar(s.calendarURI);
    }
    return CalDavStatus::kOk;
}

bool CalDavSync::HasLocalEdits(const std::string& uri, const std::string& href) {
    std::list<PrimitiveEvent> rows;
    db_.GetDavResourceEvents(uri, href, rows);
    return std::any_of(rows.begin(), rows.end(),
                       [](const PrimitiveEvent& e) { return !e.isSynced; });
}

bool CalDavSync::StoreResource(const std::string& uri, const std::string& href,
                               const std::string& etag, const std::string& ics, bool force) {
    std::list<PrimitiveEvent> existing;
    db_.GetDavResourceEvents(uri, href, existing);
    if (!force && std::any_of(existing.begin(), existing.end(),
                              [](const PrimitiveEvent& e) { return !e.isSynced; })) {
        // The local edit is sent first; its If-Match settles who wins.
        Log(Utility::kLogInfo, "<caldav> kept the local edit of " + href);
        return true;
    }
    std::vector<PrimitiveEvent> events;
    if (!ReadCalDavResource(ics, href, events)) {
        Log(Utility::kLogWarn, "<caldav> no readable event in " + href);
    }
    std::set<std::string> ids;
    for (PrimitiveEvent& e : events) {
        for (const PrimitiveEvent& old : existing) {
            if (old.id == e.id) {
                e.localEventID = old.localEventID;
            }
        }
        ids.insert(e.id);
        if (e.localEventID.empty()) {
            db_.AddEvent(uri, e, false);
        } else {
            db_.UpdateEventFromGoogleSide(e, uri);
        }
    }
    for (const PrimitiveEvent& old : existing) {
        if (!ids.count(old.id)) {
            db_.DeleteEventRow(uri, old.localEventID);
        }
    }
    return db_.SetDavResource(uri, href, etag);
}

void CalDavSync::RemoveResource(const std::string& uri, const std::string& href) {
    const auto lock = LockStore();
    if (HasLocalEdits(uri, href)) {
        // Its upload finds the resource gone and keeps the edit as a copy.
        Log(Utility::kLogInfo, "<caldav> deleted on the server but edited here: " + href);
        return;
    }
    db_.DeleteDavResource(uri, href);
    ++removed_;
}

CalDavStatus CalDavSync::FetchAndStore(const std::string& uri,
                                       const std::vector<std::string>& hrefs) {
    for (size_t at = 0; at < hrefs.size(); at += batch_) {
        const std::vector<std::string> batch(hrefs.begin() + at,
                                             hrefs.begin() + std::min(hrefs.size(), at + batch_));
        std::vector<CalDavResource> resources;
        const CalDavStatus status = client_.Multiget(uri, batch, resources);
        if (status != CalDavStatus::kOk) {
            Log(Utility::kLogError, "<caldav> multiget failed: " + client_.LastError());
            return status;
        }
        // Each batch is stored whole: a download cut off later keeps it, and
        // the next sync asks only for the rest.
        {
            const auto lock = LockStore();
            db_.BeginTransaction("dav");
            for (const CalDavResource& r : resources) {
                StoreResource(uri, r.href, r.etag, r.calendarData, false);
            }
            db_.EndTransaction("dav");
        }
        fetched_ += resources.size();
        if (progress_) {
            progress_(at + 1, hrefs.size());
        }
    }
    return CalDavStatus::kOk;
}

CalDavStatus CalDavSync::DownloadAll(const std::string& uri) {
    fetched_ = 0;
    removed_ = 0;
    std::vector<CalDavResource> listed;
    std::string ctag, token;
    CalDavStatus status = client_.ListResources(uri, listed, ctag, token);
    if (status != CalDavStatus::kOk) {
        Log(Utility::kLogError, "<caldav> listing failed: " + client_.LastError());
        return status;
    }
    std::vector<std::string> hrefs;
    std::set<std::string> present;
    for (const CalDavResource& r : listed) {
        hrefs.push_back(r.href);
        present.insert(r.href);
    }
    status = FetchAndStore(uri, hrefs);
    if (status != CalDavStatus::kOk) {
        return status;
    }
    std::vector<std::pair<std::string, std::string>> stored;
    db_.GetDavResources(uri, stored);
    for (const auto& [href, etag] : stored) {
        if (!present.count(href)) {
            RemoveResource(uri, href);
        }
    }
    db_.SetDavCollectionState(uri, ctag, token);
    Log(Utility::kLogInfo, "<caldav> full download of " + uri + ": " + std::to_string(fetched_));
    return CalDavStatus::kOk;
}

CalDavStatus CalDavSync::Sync(const std::string& uri) {
    fetched_ = 0;
    removed_ = 0;
    std::string storedCtag, storedToken;
    db_.GetDavCollectionState(uri, storedCtag, storedToken);
    std::vector<std::pair<std::string, std::string>> storedList;
    db_.GetDavResources(uri, storedList);
    const std::map<std::string, std::string> stored(storedList.begin(), storedList.end());

    if (!storedToken.empty()) {
        std::vector<CalDavResource> changed;
        std::vector<std::string> removed;
        std::string token;
        const CalDavStatus status =
            client_.SyncCollection(uri, storedToken, changed, removed, token);
        if (status == CalDavStatus::kInvalidSyncToken) {
            Log(Utility::kLogWarn, "<caldav> sync token refused, downloading " + uri + " whole");
            return DownloadAll(uri);
        }
        if (status != CalDavStatus::kOk) {
            Log(Utility::kLogError, "<caldav> sync-collection failed: " + client_.LastError());
            return status;
        }
        std::vector<std::string> wanted;
        for (const CalDavResource& r : changed) {
            const auto it = stored.find(r.href);
            if (it == stored.end() || it->second != r.etag) {
                wanted.push_back(r.href);
            }
        }
        const CalDavStatus fetched = FetchAndStore(uri, wanted);
        if (fetched != CalDavStatus::kOk) {
            return fetched;  // the old token stays: the next sync asks again
        }
        for (const std::string& href : removed) {
            if (stored.count(href)) {
                RemoveResource(uri, href);
            }
        }
        db_.SetDavCollectionState(uri, storedCtag, token.empty() ? storedToken : token);
        Log(Utility::kLogInfo, "<caldav> sync of " + uri + ": " + std::to_string(fetched_) +
                                   " fetched, " + std::to_string(removed_) + " removed");
        return CalDavStatus::kOk;
    }

    // No token (the server has no sync-collection, or the last download was
    // cut off): the change tag, then the ETags.
    std::vector<CalDavResource> listed;
    std::string ctag, token;
    const CalDavStatus status = client_.ListResources(uri, listed, ctag, token);
    if (status != CalDavStatus::kOk) {
        Log(Utility::kLogError, "<caldav> listing failed: " + client_.LastError());
        return status;
    }
    if (!ctag.empty() && ctag == storedCtag) {
        return CalDavStatus::kOk;
    }
    std::vector<std::string> wanted;
    std::set<std::string> present;
    for (const CalDavResource& r : listed) {
        present.insert(r.href);
        const auto it = stored.find(r.href);
        if (it == stored.end() || it->second != r.etag) {
            wanted.push_back(r.href);
        }
    }
    const CalDavStatus fetched = FetchAndStore(uri, wanted);
    if (fetched != CalDavStatus::kOk) {
        return fetched;
    }
    for (const auto& [href, etag] : stored) {
        if (!present.count(href)) {
            RemoveResource(uri, href);
        }
    }
    db_.SetDavCollectionState(uri, ctag, token);
    return CalDavStatus::kOk;
}

CalDavStatus CalDavSync::Upload(const std::string& uri, const std::string& conflictMark,
                                std::vector<CalDavConflict>* conflicts) {
    std::list<PrimitiveEvent> unsynced;
    db_.GetUnsyncedEvents(uri, unsynced);
    std::vector<std::pair<std::string, std::string>> storedList;
    db_.GetDavResources(uri, storedList);
    const std::map<std::string, std::string> stored(storedList.begin(), storedList.end());
    std::set<std::string> done;
    for (const PrimitiveEvent& row : unsynced) {
        std::string href = ResourceHref(row);
        if (href.empty()) {
            // A new event (or series): a new resource named after its UID.
            if (row.eventStatus == EVENT_STATUS_CANCELED) {
                db_.DeleteEventRow(uri, row.localEventID);
                continue;
            }
            PrimitiveEvent e = row;
            if (e.uid.empty()) {
                e.uid = NewUid();
            }
            href = PathOf(uri) + e.uid + ".ics";
            e.id = href;
            e.editURI = href;
            {
                const auto lock = LockStore();
                db_.UpdateEventFromGoogleSide(e, uri);  // still unsynced, now with its href
                db_.SetDavResource(uri, href, "");
            }
            const CalDavStatus status = UploadResource(uri, href, "", conflictMark, conflicts);
            if (status != CalDavStatus::kOk) {
                return status;
            }
            done.insert(href);
            continue;
        }
        if (!done.insert(href).second) {
            continue;
        }
        const auto it = stored.find(href);
        const CalDavStatus status =
            UploadResource(uri, href, it == stored.end() || it->second.empty() ? "*" : it->second,
                           conflictMark, conflicts);
        if (status != CalDavStatus::kOk) {
            return status;
        }
    }
    return CalDavStatus::kOk;
}

CalDavStatus CalDavSync::UploadResource(const std::string& uri, const std::string& href,
                                        const std::string& etag, const std::string& conflictMark,
                                        std::vector<CalDavConflict>* conflicts) {
    std::list<PrimitiveEvent> rowList;
    db_.GetDavResourceEvents(uri, href, rowList);
    std::vector<PrimitiveEvent> rows(rowList.begin(), rowList.end());
    if (rows.empty() || rows.front().recurrenceType == RECURRENCE_EXCEPTION) {
        Log(Utility::kLogWarn, "<caldav> nothing to send for " + href);
        return CalDavStatus::kOk;
    }
    const PrimitiveEvent main = rows.front();
    const std::vector<PrimitiveEvent> exceptions(rows.begin() + 1, rows.end());

    if (main.eventStatus == EVENT_STATUS_CANCELED) {
        const CalDavStatus status = client_.Delete(href, etag == "*" ? "" : etag);
        if (status == CalDavStatus::kOk) {
            const auto lock = LockStore();
            db_.DeleteDavResource(uri, href);
            Log(Utility::kLogInfo, "<caldav> deleted " + href);
            return status;
        }
        if (status != CalDavStatus::kPreconditionFailed) {
            return status;
        }
        // Changed on the server after the user deleted it: the server's copy
        // comes back, nothing of the user's is lost.
        CalDavResource server;
        if (client_.Get(href, server) == CalDavStatus::kOk) {
            const auto lock = LockStore();
            StoreResource(uri, href, server.etag, server.calendarData, true);
        }
        if (conflicts) {
            conflicts->push_back({main.title, {}, true});
        }
        Log(Utility::kLogWarn, "<caldav> conflict: deleted here, changed on the server: " + href);
        return CalDavStatus::kOk;
    }

    // The local revisions of what is sent: a row edited again during the
    // PUT keeps that edit, unsynced, for the next upload.
    std::vector<int64_t> revisions(rows.size(), 0);
    {
        const auto lock = LockStore();
        for (size_t i = 0; i < rows.size(); ++i) {
            bool synced = false;
            db_.GetLocalState(uri, rows[i].localEventID, revisions[i], synced);
        }
    }
    const std::string ics = WriteCalDavResource(main, exceptions);
    std::string newEtag;
    const CalDavStatus status = client_.Put(href, ics, etag, newEtag);
    if (status == CalDavStatus::kOk) {
        std::vector<PrimitiveEvent> sent;
        ReadCalDavResource(ics, href, sent);
        const auto lock = LockStore();
        db_.BeginTransaction("davput");
        if (sent.size() == rows.size()) {
            for (size_t i = 0; i < sent.size(); ++i) {
                int64_t revision = 0;
                bool synced = false;
                if (db_.GetLocalState(uri, rows[i].localEventID, revision, synced) &&
                    revision != revisions[i]) {
                    Log(Utility::kLogInfo,
                        "<caldav> edited during its upload, kept for the "
                        "next upload: " +
                            href);
                    continue;
                }
                sent[i].localEventID = rows[i].localEventID;
                db_.UpdateEventFromGoogleSide(sent[i], uri);
            }
        } else {
            db_.DeleteDavResource(uri, href);
            for (PrimitiveEvent& e : sent) {
                db_.AddEvent(uri, e, false);
            }
        }
        db_.SetDavResource(uri, href, newEtag);
        db_.EndTransaction("davput");
        Log(Utility::kLogInfo, "<caldav> sent " + href);
        return status;
    }
    if (status != CalDavStatus::kPreconditionFailed) {
        Log(Utility::kLogError, "<caldav> upload failed: " + client_.LastError());
        return status;
    }

    // 412: the server's copy is stored in place of the edit, and the edit
    // becomes a new event of its own, marked, and sent as new.
    Log(Utility::kLogWarn, "<caldav> conflict: " + href + " changed on the server");
    CalDavResource server;
    const bool haveServerCopy = client_.Get(href, server) == CalDavStatus::kOk;
    auto lock = LockStore();
    {
        // The user's version as it stands now (it may have been edited again
        // during the PUT).
        std::list<PrimitiveEvent> now;
        db_.GetDavResourceEvents(uri, href, now);
        if (!now.empty() && now.front().recurrenceType != RECURRENCE_EXCEPTION) {
            rows.assign(now.begin(), now.end());
        }
    }
    db_.BeginTransaction("davconflict");
    for (const PrimitiveEvent& row : rows) {
        db_.DeleteEventRow(uri, row.localEventID);
    }
    db_.DeleteDavResource(uri, href);
    if (haveServerCopy) {
        StoreResource(uri, href, server.etag, server.calendarData, true);
    }
    const std::string uid = NewUid();
    const std::string copyHref = PathOf(uri) + uid + ".ics";
    std::string copyId;
    for (const PrimitiveEvent& row : rows) {
        PrimitiveEvent copy = row;
        copy.localEventID.clear();
        copy.uid = uid;
        copy.isSynced = false;
        copy.xml.clear();
        if (copy.recurrenceType == RECURRENCE_EXCEPTION) {
            copy.id.clear();
            copy.originalEvent = copyHref;
        } else {
            copy.id = copyHref;
            copy.editURI = copyHref;
            copy.title += conflictMark;
        }
        db_.AddEvent(uri, copy, true);
        if (copyId.empty()) {
            copyId = copy.localEventID;
        }
    }
    db_.SetDavResource(uri, copyHref, "");
    db_.EndTransaction("davconflict");
    if (lock.owns_lock()) {
        lock.unlock();  // the copy's upload below takes it again
    }
    if (conflicts) {
        conflicts->push_back({main.title, copyId, false});
    }
    return UploadResource(uri, copyHref, "", conflictMark, nullptr);
}

}  // namespace googledata
