// The events, reminders and the support dump of CalendarEventDB.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "app/MaintenanceLog.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/EventColumns.h"
#include "googledata/SqlText.h"
#include "platform/Guid.h"
#include "platform/PrivateText.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace googledata {

using sql::Num;
using sql::Quote;

namespace {

enum Handler : long {
    kHandlerUpsertEvent = 3301,
    kHandlerAddEvent,
    kHandlerUpdateEventFromGoogleSide,
    kHandlerUpdateEventFromLocalSide,
    kHandlerSetSyncDone,
    kHandlerGetNormalEvents,
    kHandlerGetRecurrenceOriginalEvents,
    kHandlerGetRecurrenceExceptionEvents,
    kHandlerGetUnsyncedEvents,
    kHandlerIsSynced,
    kHandlerDumpToFile,
    kHandlerGetAllEvents,
};

// 32 upper-case hexadecimal digits of a new GUID; the tick count when no
// GUID can be had.
std::string NewLocalEventId() {
    std::string id;
    for (const char c : platform::CreateGuidText()) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
            id += c;
        }
    }
    if (id.size() != 32) {
        char tick[16];
        std::snprintf(tick, sizeof tick, "%X", platform::GetTickCount());
        id = tick;
    }
    return id;
}

std::string First8(const std::string& text) {
    return text.substr(0, 8);
}
std::string Last8(const std::string& text) {
    return text.size() > 8 ? text.substr(text.size() - 8) : text;
}

std::string EventLogLine(const char* prefix, const PrimitiveEvent& e) {
    char line[512];
    std::snprintf(line, sizeof line, "%s lid:%s id:%s sync:%d seq:%d st:%d rt:%d f:%X", prefix,
                  First8(e.localEventID).c_str(), Last8(e.id).c_str(), e.isSynced ? 1 : 0,
                  e.sequence, e.eventStatus, e.recurrenceType, static_cast<unsigned>(e.flags));
    return line;
}

std::string WhereEvent(const std::string& uri, const std::string& localEventID) {
    return " WHERE calendarURI=" + Quote(uri) + " AND localEventID=" + Quote(localEventID);
}

const char* Name(int value, std::initializer_list<const char*> names) {
    if (value < 0 || static_cast<size_t>(value) >= names.size()) {
        return "";
    }
    return names.begin()[value];
}

const char* TrueFalse(const std::string& value) {
    return std::strtol(value.c_str(), nullptr, 10) != 0 ? "ture" : "false";
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// An account name as the store compares it: lower case, "%40" read as "@".
std::string AccountKey(std::string text) {
    for (size_t at = text.find("%40"); at != std::string::npos; at = text.find("%40", at + 1)) {
        text.replace(at, 3, "@");
    }
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

uint32_t Elapsed(uint32_t start) {
    return platform::GetTickCount() - start;
}

}  // namespace

std::string CalendarEventDB::FindLocalIdById(const std::string& uri, const PrimitiveEvent& e) {
    ResultTable rows;
    access_->Execute(
        "SELECT localEventID FROM EVENT WHERE calendarURI=" + Quote(uri) + " AND id=" + Quote(e.id),
        &rows);
    return rows.empty() ? std::string() : sql::Text(rows[0], 0);
}

std::string CalendarEventDB::FindLocalIdByUid(const std::string& uri, const PrimitiveEvent& e) {
    ResultTable rows;
    access_->Execute("SELECT localEventID FROM EVENT WHERE calendarURI=" + Quote(uri) +
                         " AND uid=" + Quote(e.uid) + " AND editURI=" + Quote(e.editURI) +
                         " AND recurrenceType=" + Num(e.recurrenceType),
                     &rows);
    return rows.empty() ? std::string() : sql::Text(rows[0], 0);
}

std::string CalendarEventDB::FindLocalIdByTitleAndStart(const std::string& uri,
                                                        const PrimitiveEvent& e) {
    PrimitiveTime start;
    PrimitiveTime::Parse(platform::Utf8ToWide(e.startTime), start);
    const uint32_t key = static_cast<uint32_t>(PrimitiveTime::PackedUtcKey(start));
    ResultTable rows;
    access_->Execute("SELECT id,localEventID FROM EVENT WHERE calendarURI=" + Quote(uri) +
                         " AND title=" + Quote(e.title) + " AND utcStartTime=" + Num(key) +
                         " AND id=''",
                     &rows);
    return rows.empty() ? std::string() : sql::Text(rows[0], 1);
}

bool CalendarEventDB::UpsertEvent(PrimitiveEvent& e, const std::string& uri) {
    return Guarded("googledata::CalendarEventDB::UpsertEvent", kHandlerUpsertEvent, [&] {
        const bool emptyLocalId = e.localEventID.empty();
        const bool emptyId = e.id.empty();
        const bool emptyUid = e.uid.empty();
        bool update = !emptyLocalId;
        bool byId = false;
        bool byUid = false;
        bool byTitle = false;
        if (!update && !(emptyId && emptyUid)) {
            // An empty id or uid would match unrelated local events, so each
            // lookup runs only with a value to look for.
            std::string found;
            if (!emptyId) {
                found = FindLocalIdById(uri, e);
                byId = !found.empty();
            }
            if (found.empty() && !emptyUid) {
                found = FindLocalIdByUid(uri, e);
                byUid = !found.empty();
            }
            // An event made here and not yet linked, back from the service:
            // only an entry this account wrote can be it (a colleague's
            // "Standup 10:00" on a shared calendar is another event).
            if (found.empty() && !e.startTime.empty() && !accountEmail_.empty() &&
                AccountKey(e.author_email) == accountEmail_) {
                found = FindLocalIdByTitleAndStart(uri, e);
                byTitle = !found.empty();
            }
            if (!found.empty()) {
                e.localEventID = found;
                update = true;
            }
        }
        char line[160];
        std::snprintf(line, sizeof line, "<db> judge lid:%d id:%d uid:%d uf:%d tf:%d if:%d",
                      emptyLocalId ? 1 : 0, emptyId ? 1 : 0, emptyUid ? 1 : 0, byUid ? 1 : 0,
                      byTitle ? 1 : 0, byId ? 1 : 0);
        Log(Utility::kLogInfo, line);

        // A row with a local edit not yet uploaded keeps the edit: it is only
        // linked to the entry, and the edit goes up with the next upload.
        int64_t revision = 0;
        bool synced = true;
        const uint32_t start = platform::GetTickCount();
        bool ok = false;
        if (update && GetLocalState(uri, e.localEventID, revision, synced) && !synced) {
            Log(Utility::kLogInfo, "<db> keep unsynced local edit lid:" + First8(e.localEventID));
            ok = LinkServiceEntry(e, uri, e.localEventID);
            updateStats_.Add(Elapsed(start));
        } else {
            ok = update ? UpdateEventFromGoogleSide(e, uri) : AddEvent(uri, e, true);
        }
        updateStats_.Add(Elapsed(start));
        return ok;
    });
}

bool CalendarEventDB::AddEvent(const std::string& uri, PrimitiveEvent& e, bool writeLog) {
    return Guarded("googledata::CalendarEventDB::AddEvent", kHandlerAddEvent, [&] {
        e.localEventID = NewLocalEventId();
        if (writeLog) {
            Log(Utility::kLogInfo, EventLogLine("<db> add event,", e));
        }
        const uint32_t start = platform::GetTickCount();
        const bool ok = access_->Execute(EventColumns::Insert({e, uri, EventColumns::Derive(e)}));
        if (ok) {
            InsertReminders(e);
        }
        updateStats_.Add(Elapsed(start));
        return ok;
    });
}

bool CalendarEventDB::UpdateEventFromGoogleSide(PrimitiveEvent& e, const std::string& uri) {
    return Guarded("googledata::CalendarEventDB::UpdateEventFromGoogleSide",
                   kHandlerUpdateEventFromGoogleSide, [&] {
                       Log(Utility::kLogInfo, EventLogLine("<db> update event(net),", e));
                       const uint32_t start = platform::GetTickCount();
                       const bool ok = access_->Execute(
                           "UPDATE EVENT SET " +
                           EventColumns::Assignments({e, uri, EventColumns::Derive(e)},
                                                     EventColumns::kFromService) +
                           WhereEvent(uri, e.localEventID));
                       if (ok) {
                           DeleteReminders(e.localEventID);
                           InsertReminders(e);
                       }
                       updateStats_.Add(Elapsed(start));
                       return ok;
                   });
}

bool CalendarEventDB::UpdateEventFromLocalSide(PrimitiveEvent& e, const std::string& uri) {
    return Guarded("googledata::CalendarEventDB::UpdateEventFromLocalSide",
                   kHandlerUpdateEventFromLocalSide, [&] {
                       Log(Utility::kLogInfo, EventLogLine("<db> update event(local)", e));
                       const uint32_t start = platform::GetTickCount();
                       const bool ok = access_->Execute(
                           "UPDATE EVENT SET " +
                           EventColumns::Assignments({e, uri, EventColumns::Derive(e)},
                                                     EventColumns::kFromLocal) +
                           ",localRevision=localRevision+1" + WhereEvent(uri, e.localEventID));
                       if (ok) {
                           DeleteReminders(e.localEventID);
                           InsertReminders(e);
                       }
                       updateStats_.Add(Elapsed(start));
                       return ok;
                   });
}

bool CalendarEventDB::SetSyncDone(const std::string& uri, const std::string& lid) {
    return Guarded("googledata::CalendarEventDB::SetSyncDone", kHandlerSetSyncDone, [&] {
        return access_->Execute("UPDATE EVENT SET isSynced=1" + WhereEvent(uri, lid));
    });
}

bool CalendarEventDB::SetSyncDone(const std::string& uri, const std::string& lid,
                                  int64_t revision) {
    return Guarded("googledata::CalendarEventDB::SetSyncDone", kHandlerSetSyncDone, [&] {
        return access_->Execute("UPDATE EVENT SET isSynced=1" + WhereEvent(uri, lid) +
                                " AND localRevision=" + Num(static_cast<long long>(revision)));
    });
}

bool CalendarEventDB::GetLocalState(const std::string& uri, const std::string& lid,
                                    int64_t& revision, bool& synced) {
    return Guarded("googledata::CalendarEventDB::GetLocalState", kHandlerIsSynced, [&] {
        ResultTable rows;
        if (!access_->Execute("SELECT localRevision,isSynced FROM EVENT" + WhereEvent(uri, lid),
                              &rows) ||
            rows.empty()) {
            return false;
        }
        revision = std::strtoll(sql::Text(rows[0], 0).c_str(), nullptr, 10);
        synced = sql::Int(rows[0], 1) != 0;
        return true;
    });
}

bool CalendarEventDB::LinkServiceEntry(const PrimitiveEvent& e, const std::string& uri,
                                       const std::string& lid) {
    return Guarded(
        "googledata::CalendarEventDB::LinkServiceEntry", kHandlerUpdateEventFromGoogleSide, [&] {
            Log(Utility::kLogInfo, "<db> link event lid:" + First8(lid) + " id:" + Last8(e.id));
            return access_->Execute("UPDATE EVENT SET " +
                                    EventColumns::Assignments({e, uri, {}}, EventColumns::kLink) +
                                    WhereEvent(uri, lid));
        });
}

void CalendarEventDB::SetAccountEmail(const std::string& email) {
    accountEmail_ = AccountKey(email);
}

bool CalendarEventDB::SelectEvents(const std::string& statement, std::list<PrimitiveEvent>& events,
                                   DbStatistics* stats) {
    std::list<PrimitiveEvent> selected;
    const uint32_t start = platform::GetTickCount();
    const bool ok = access_->Execute(statement, [&selected](const ResultRow& row) {
        selected.push_back(EventColumns::Read(row));
    });
    if (stats != nullptr) {
        stats->Add(Elapsed(start));
    }
    GetReminders(selected);
    events.splice(events.end(), selected);
    return ok;
}

bool CalendarEventDB::GetNormalEvents(const std::string& uri, int year, int month,
                                      std::list<PrimitiveEvent>& events) {
    return Guarded("googledata::CalendarEventDB::GetNormalEvents", kHandlerGetNormalEvents, [&] {
        PrimitiveTime first;
        first.year = year;
        first.month = month;
        PrimitiveTime::SetLocalOffset(first);
        PrimitiveTime next = first;
        if (++next.month > 12) {
            next.month = 1;
            ++next.year;
        }
        // Each month starts at its own local midnight: in a daylight-saving
        // month that is an hour earlier in UTC than in a winter one.
        PrimitiveTime::SetLocalOffset(next);
        const std::string k1 = Num(static_cast<uint32_t>(PrimitiveTime::PackedUtcKey(first)));
        const std::string k2 = Num(static_cast<uint32_t>(PrimitiveTime::PackedUtcKey(next)));
        const std::string ym = Num(static_cast<long long>(year) * 65536 + month);
        const std::string statement =
            "SELECT " + EventColumns::List() + " FROM EVENT WHERE " + " calendarURI=" + Quote(uri) +
            " AND " + "recurrenceType=" + Num(0) + " AND " + " ( " +
            "( (selectStartYearMonth = 0) AND (" + "(" + k1 + " <= utcStartTime AND " +
            " utcStartTime < " + k2 + ")" + " OR " + "(" + k1 + " < utcEndTime AND " +
            " utcEndTime < " + k2 + ")" + " OR " + "(utcStartTime <= " + k1 + " AND " + k2 +
            " < utcEndTime )" + "))" + " OR " + "( (selectStartYearMonth <> 0) AND " +
            "(selectStartYearMonth <= " + ym + " AND " + ym + " <= selectEndYearMonth)" + ")" +
            " ) ";
        return SelectEvents(statement, events, &queryStats_);
    });
}

bool CalendarEventDB::GetRecurrenceOriginalEvents(const std::string& uri,
                                                  std::list<PrimitiveEvent>& events) {
    return Guarded("googledata::CalendarEventDB::GetRecurrenceOriginalEvents",
                   kHandlerGetRecurrenceOriginalEvents, [&] {
                       return SelectEvents("SELECT " + EventColumns::List() +
                                               " FROM EVENT WHERE  calendarURI=" + Quote(uri) +
                                               " AND recurrenceType=1",
                                           events, &queryStats_);
                   });
}

bool CalendarEventDB::GetRecurrenceExceptionEvents(const std::string& uri,
                                                   const std::string& original,
                                                   std::list<PrimitiveEvent>& events) {
    return Guarded("googledata::CalendarEventDB::GetRecurrenceExceptionEvents",
                   kHandlerGetRecurrenceExceptionEvents, [&] {
                       return SelectEvents(
                           "SELECT " + EventColumns::List() +
                               " FROM EVENT WHERE  calendarURI=" + Quote(uri) +
                               " AND recurrenceType=2 AND  originalEvent=" + Quote(original),
                           events, &queryStats_);
                   });
}

bool CalendarEventDB::GetAllRecurrenceExceptionEvents(const std::string& uri,
                                                      std::list<PrimitiveEvent>& events) {
    return Guarded("googledata::CalendarEventDB::GetAllRecurrenceExceptionEvents",
                   kHandlerGetRecurrenceExceptionEvents, [&] {
                       return SelectEvents("SELECT " + EventColumns::List() +
                                               " FROM EVENT WHERE  calendarURI=" + Quote(uri) +
                                               " AND recurrenceType=2",
                                           events, &queryStats_);
                   });
}

bool CalendarEventDB::GetAllEvents(const std::string& uri, std::list<PrimitiveEvent>& events) {
    return Guarded("googledata::CalendarEventDB::GetAllEvents", kHandlerGetAllEvents, [&] {
        return SelectEvents("SELECT " + EventColumns::List() + " FROM EVENT WHERE  calendarURI=" +
                                Quote(uri) + " ORDER BY recurrenceType, utcStartTime, localEventID",
                            events, &queryStats_);
    });
}

bool CalendarEventDB::GetUnsyncedEvents(const std::string& uri, std::list<PrimitiveEvent>& events) {
    return Guarded(
        "googledata::CalendarEventDB::GetUnsyncedEvents", kHandlerGetUnsyncedEvents, [&] {
            return SelectEvents("SELECT " + EventColumns::List() +
                                    ",\tlocalRevision FROM EVENT WHERE  calendarURI=" + Quote(uri) +
                                    " AND  isSynced = 0",
                                events, nullptr);
        });
}

bool CalendarEventDB::IsSynced(const std::string& uri, const std::string& lid, bool& synced) {
    return Guarded("googledata::CalendarEventDB::IsSynced", kHandlerIsSynced, [&] {
        ResultTable rows;
        const bool ok =
            access_->Execute("SELECT isSynced FROM EVENT WHERE  calendarURI=" + Quote(uri) +
                                 " AND  localEventID=" + Quote(lid),
                             &rows);
        if (rows.empty()) {
            Log(Utility::kLogWarn, "<db> event not found" + lid);
        }
        synced = !rows.empty() && sql::Int(rows[0], 0) != 0;
        if (log_ != nullptr) {
            log_->Write(Utility::kLogInfo, "<db> event sync status" + First8(lid), ok ? 1 : 0,
                        static_cast<long>(rows.size()), synced ? 1 : 0);
        }
        return ok;
    });
}

void CalendarEventDB::InsertReminders(const PrimitiveEvent& e) {
    for (const PrimitiveReminder& r : e.reminders) {
        access_->Execute(
            "INSERT INTO REMINDER (\tlocalEventID,\tmethod,\tminutesBeforeAlarm,\tisAlarmed) "
            "VALUES (" +
            Quote(e.localEventID) + "," + Quote(r.method) + "," + Num(r.minutesBeforeAlarm) +
            ",0)");
    }
}

bool CalendarEventDB::DeleteReminders(const std::string& lid) {
    return access_->Execute("DELETE FROM REMINDER WHERE localEventID=" + Quote(lid));
}

bool CalendarEventDB::GetReminders(PrimitiveEvent& e) {
    std::list<PrimitiveEvent> one;
    one.push_back(std::move(e));
    const bool ok = GetReminders(one);
    e = std::move(one.front());
    return ok;
}

bool CalendarEventDB::GetReminders(std::list<PrimitiveEvent>& events) {
    // One query per batch of events instead of one per event: a month of a
    // busy calendar holds hundreds of events.
    constexpr size_t kBatch = 500;
    std::unordered_map<std::string, PrimitiveEvent*> byId;
    bool ok = true;
    auto flush = [&] {
        if (byId.empty()) {
            return;
        }
        std::string ids;
        for (const auto& [id, event] : byId) {
            ids += (ids.empty() ? "" : ",") + Quote(id);
        }
        ok = access_->Execute(
                 "SELECT localEventID,method,minutesBeforeAlarm,isAlarmed FROM "
                 "REMINDER WHERE localEventID IN (" +
                     ids + ") ORDER BY localReminderID",
                 [&byId](const ResultRow& row) {
                     const auto it = byId.find(sql::Text(row, 0));
                     if (it != byId.end()) {
                         it->second->reminders.push_back(
                             {sql::Text(row, 1), sql::Int(row, 2), sql::Int(row, 3) != 0});
                     }
                 }) &&
             ok;
        byId.clear();
    };
    for (PrimitiveEvent& e : events) {
        byId.emplace(e.localEventID, &e);
        if (byId.size() == kBatch) {
            flush();
        }
    }
    flush();
    return ok;
}

void CalendarEventDB::DumpToFile(const std::string& path, const std::string& account) {
    Guarded("googledata::CalendarEventDB::DumpToFile", kHandlerDumpToFile, [&] {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "w"));
        if (!file) {
            return false;
        }
        std::string text = "------ general info -------\n";
        ResultTable rows;
        access_->Execute("SELECT * FROM GENERAL_INFO", &rows);
        for (const ResultRow& row : rows) {
            text += sql::Text(row, 0) + "," + sql::Text(row, 1) + "\n";
        }

        ResultTable calendars;
        access_->Execute("SELECT * FROM CALENDAR", &calendars);
        for (size_t i = 0; i < calendars.size(); ++i) {
            const ResultRow& c = calendars[i];
            text += "------ calendar #" + std::to_string(i) + " -------\n";
            text += sql::Text(c, 0) + "," + sql::Text(c, 1) + "," +
                    Name(sql::Int(c, 5), {"NONE", "READ", "FREEBUSY", "EDITOR", "OWNER", "ROOT"}) +
                    "," + sql::Text(c, 6) + "," + TrueFalse(sql::Text(c, 7)) + "," +
                    sql::Text(c, 8) + "," + sql::Text(c, 9) + "," + TrueFalse(sql::Text(c, 11)) +
                    "," + sql::Text(c, 12) + "," + sql::Text(c, 13) + "," + sql::Text(c, 14) + "\n";
            ResultTable events;
            access_->Execute("SELECT * FROM EVENT WHERE calendarURI=" + Quote(sql::Text(c, 0)),
                             &events);
            for (size_t n = 0; n < events.size(); ++n) {
                const ResultRow& e = events[n];
                text += std::to_string(n) + "," + sql::Text(e, 0) + "," + sql::Text(e, 3) + "," +
                        sql::Text(e, 5) + "," + sql::Text(e, 6) + "," + sql::Text(e, 7) + "," +
                        sql::Text(e, 8) + "," +
                        Name(sql::Int(e, 14), {"INVALID", "TENTATIVE", "CONFIRMED", "CANCELED"}) +
                        "," + Name(sql::Int(e, 15), {"INVALID", "OPAQUR", "TRANSPARENT"}) + "," +
                        Name(sql::Int(e, 16),
                             {"INVALID", "CONFIDENTIAL", "DEFAULT", "PRIVATE", "PUBLIC"}) +
                        "," + sql::Text(e, 17) + "," + sql::Text(e, 18) + "," +
                        TrueFalse(sql::Text(e, 19)) + "," + sql::Text(e, 20) + "," +
                        sql::Text(e, 21) + "," + sql::Text(e, 22) + "," +
                        Name(sql::Int(e, 24), {"NONE", "ORIGINAL", "EXCEPTION"}) + "," +
                        sql::Text(e, 25) + "," + sql::Text(e, 26) + "," + sql::Text(e, 27) + "," +
                        sql::Text(e, 28) + "\n";
            }
        }

        text += "------ guest -------\n";
        ResultTable guests;
        access_->Execute("SELECT * FROM GUEST", &guests);
        for (const ResultRow& row : guests) {
            for (size_t i = 0; i < row.size(); ++i) {
                text += (i == 0 ? "" : ",") + row[i];
            }
            text += "\n";
        }

        text += "------ DB statistics -------\n";
        const auto statistics = [&text](const DbStatistics& s) {
            text += "  count: " + std::to_string(s.count) + "\n";
            text += "  min:   " + std::to_string(s.min) + "\n";
            text += "  max:   " + std::to_string(s.max) + "\n";
            text += "  ave:   " + std::to_string(s.ave) + "\n";
        };
        text += "update & insert\n";
        statistics(updateStats_);
        text += "query\n";
        statistics(queryStats_);
        text += "error:   " + std::to_string(errorCount_) + "\n";

        // The account is masked in both its "@" form and the "%40" form of
        // the calendar URIs.
        text = platform::MaskAccount(text, account);
        std::fwrite(text.data(), 1, text.size(), file.get());
        return true;
    });
}

}  // namespace googledata
