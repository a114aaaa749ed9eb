// The database file, schema, transactions, statistics, calendars and
// holidays of CalendarEventDB. The events and the dump are in
// CalendarEventDBEvents.cpp.
#include "googledata/CalendarEventDB.h"

#include <cstdio>
#include <exception>

#include "app/MaintenanceLog.h"
#include "googledata/EventColumns.h"
#include "googledata/SqlText.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"

namespace googledata {

using sql::Flag;
using sql::Num;
using sql::Quote;
using sql::SetNum;
using sql::SetText;

namespace {

// Fixed numbers that name each operation's exception handler in the log.
enum Handler : long {
    kHandlerInitialize = 3201,
    kHandlerDeleteDatabase,
    kHandlerBeginTransaction,
    kHandlerEndTransaction,
    kHandlerUpsertCalendar,
    kHandlerUpdateCalendarVisibleWritable,
    kHandlerSetEventLastUpdatedTime,
    kHandlerGetEventLastUpdatedTime,
    kHandlerGetCalendars,
    kHandlerUpsertHoliday,
    kHandlerGetHolidays,
    kHandlerHasHoliday,
    kHandlerUpdateQueryStatistics,
    kHandlerRunTransaction,
};

const char* const kCalendarColumns =
    "\tcalendarURI,\tid,\ttitle,\tsummary,\tauthor,\taccesslevel,\tcolor,\tselected,\thidden,"
    "\ttimezone,\tplace,\tisHoliday,\tupdated,\teventUpdated,\tflags";

// The schema, in order; the EVENT table's place is held by a null. The
// result of creating it is that of GENERAL_INFO.
const char* const kSchema[] = {
    "PRAGMA foreign_keys = ON;",
    "CREATE TABLE CALENDAR(\tcalendarURI text NOT NULL UNIQUE,\tid text,\ttitle text,\tsummary "
    "text,\tauthor text,\taccesslevel integer,\tcolor integer,\tselected integer,\thidden "
    "integer,\ttimezone text,\tplace text,\tisHoliday integer,\tupdated text,\teventUpdated "
    "text,\tflags integer);",
    nullptr,  // EVENT: EventColumns::CreateTable()
    "CREATE TABLE GUEST(\tlocalGuestID integer NOT NULL UNIQUE PRIMARY KEY "
    "AUTOINCREMENT,\tlocalEventID text NOT NULL,\tname text,\temail text,\tattendeeStatus "
    "integer,\tFOREIGN KEY (localEventID) REFERENCES EVENT (localEventID));",
    "CREATE TABLE HOLIDAY(\tid text NOT NULL UNIQUE,\tcalendarURI text NOT NULL,\ttitle "
    "text,\tcalendarYear integer,\tcalendarMonth integer,\tdate text,\tstatus integer,\tupdated "
    "text,\tFOREIGN KEY (calendarURI) REFERENCES CALENDAR (calendarURI));",
    "CREATE TABLE REMINDER(\tlocalReminderID integer NOT NULL UNIQUE PRIMARY KEY "
    "AUTOINCREMENT,\tlocalEventID text NOT NULL,\tmethod text,\tminutesBeforeAlarm "
    "integer,\tisAlarmed integer,\tFOREIGN KEY (localEventID) REFERENCES EVENT (localEventID));",
    "CREATE INDEX INDEX_EVENT_ID ON EVENT (localEventID, calendarURI)",
    "CREATE INDEX INDEX_EVENT_SELECT ON EVENT (utcStartTime, utcEndTime, selectStartYearMonth, "
    "selectEndYearMonth, calendarURI, recurrenceType)",
    "CREATE INDEX INDEX_EVENT_RECURRENCE ON EVENT (calendarURI, recurrenceType, originalEvent)",
    "CREATE INDEX INDEX_EVENT_RECUR_TYPE ON EVENT (calendarURI, recurrenceType)",
    "CREATE INDEX INDEX_GUEST ON GUEST (localEventID)",
    "CREATE INDEX INDEX_HOLIDAY ON HOLIDAY (calendarURI, calendarYear, calendarMonth)",
    "CREATE INDEX INDEX_REMINDER ON REMINDER (localEventID)",
};

// Indexes for the two lookups of an incoming service event by its id and by
// its uid (without them every stored event scans the EVENT table), and one
// that lets the month query test its conditions on index entries before it
// reads any row.
const char* const kLookupIndexes[] = {
    "INDEX_EVENT_GOOGLE_ID ON EVENT (calendarURI, id)",
    "INDEX_EVENT_UID ON EVENT (calendarURI, uid, recurrenceType)",
    "INDEX_EVENT_MONTH ON EVENT (calendarURI, recurrenceType, selectStartYearMonth, "
    "selectEndYearMonth, utcStartTime, utcEndTime)",
};

}  // namespace

void DbStatistics::Add(uint32_t elapsed) {
    ++count;
    if (elapsed < min) {
        min = elapsed;
    }
    if (elapsed > max) {
        max = elapsed;
    }
    if (total + elapsed >= total) {
        ++samples;
        total += elapsed;
        ave = total / samples;
    }
}

CalendarEventDB::CalendarEventDB() : access_(std::make_unique<WrenSQLite>()) {}

CalendarEventDB::~CalendarEventDB() = default;

void CalendarEventDB::Log(const char* level, const std::string& message) const {
    if (log_ != nullptr) {
        log_->Write(level, message);
    }
}

bool CalendarEventDB::Guarded(const char* name, long handler, const std::function<bool()>& body) {
    try {
        return body();
    } catch (const std::exception& ex) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, std::string(ex.what()).substr(0, 256), handler);
        }
    } catch (...) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, name, handler);
        }
    }
    return false;
}

bool CalendarEventDB::Initialize(const std::string& path, Utility::CMaintenanceLog* log) {
    path_ = path;
    log_ = log;
    return Guarded("googledata::CalendarEventDB::Initialize", kHandlerInitialize, [&] {
        bool isNewFile = false;
        if (!access_->Open(path, log, isNewFile)) {
            return false;
        }
        if (isNewFile) {
            return CreateTables() && AddRevisionColumn();
        }
        // A file written before the lookup indexes existed gets them now. This
        // is also the first statement on the file, so a file that is not a
        // database fails here.
        if (!CreateLookupIndexes(true) || !AddRevisionColumn()) {
            return false;
        }
        // A file that never had its statistics taken gets them, so the month
        // query is planned on its index.
        ResultTable rows;
        access_->Execute("SELECT name FROM sqlite_master WHERE name='sqlite_stat1'", &rows);
        if (rows.empty()) {
            UpdateQueryStatistics();
        }
        return true;
    });
}

bool CalendarEventDB::OpenReadOnly(const std::string& path, Utility::CMaintenanceLog* log) {
    path_ = path;
    log_ = log;
    return Guarded("googledata::CalendarEventDB::OpenReadOnly", kHandlerInitialize, [&] {
        if (!platform::FileExists(path) || !access_->OpenReadOnly(path, log)) {
            return false;
        }
        // The first statement on the file: one that is not a database (or
        // has no calendars) fails here.
        return access_->Execute("SELECT count(*) FROM CALENDAR");
    });
}

bool CalendarEventDB::UpdateQueryStatistics() {
    return Guarded("googledata::CalendarEventDB::UpdateQueryStatistics",
                   kHandlerUpdateQueryStatistics, [&] { return access_->Execute("ANALYZE"); });
}

bool CalendarEventDB::CreateTables() {
    for (const char* statement : kSchema) {
        access_->Execute(statement != nullptr ? statement : EventColumns::CreateTable());
    }
    CreateLookupIndexes(false);
    const bool result =
        access_->Execute("CREATE TABLE GENERAL_INFO(\tformat_version integer,\toptions integer);");
    access_->Execute(std::string("INSERT INTO GENERAL_INFO (") + "\tformat_version,\toptions" +
                     ") VALUES (1,0)");
    return result;
}

bool CalendarEventDB::AddRevisionColumn() {
    ResultTable columns;
    if (!access_->Execute("PRAGMA table_info(EVENT)", &columns)) {
        return false;
    }
    for (const ResultRow& column : columns) {
        if (sql::Text(column, 1) == "localRevision") {
            return true;
        }
    }
    return access_->Execute(
        "ALTER TABLE EVENT ADD COLUMN localRevision integer NOT NULL DEFAULT 0");
}

bool CalendarEventDB::CreateLookupIndexes(bool ifNotExists) {
    bool ok = true;
    for (const char* index : kLookupIndexes) {
        ok = access_->Execute(
                 std::string(ifNotExists ? "CREATE INDEX IF NOT EXISTS " : "CREATE INDEX ") +
                 index) &&
             ok;
    }
    return ok;
}

bool CalendarEventDB::DeleteDatabase() {
    return Guarded("googledata::CalendarEventDB::DeleteDatabase", kHandlerDeleteDatabase, [&] {
        access_->Close();
        if (std::remove(path_.c_str()) != 0) {
            Log(Utility::kLogWarn, "<db> delete database failed: " + path_);
            return false;
        }
        std::remove((path_ + "-journal").c_str());
        std::remove((path_ + "-wal").c_str());
        std::remove((path_ + "-shm").c_str());
        return true;
    });
}

void CalendarEventDB::Close() {
    if (access_) {
        access_->Close();
    }
}

bool CalendarEventDB::BeginTransaction(const std::string& name) {
    return Guarded("googledata::CalendarEventDB::BeginTransaction", kHandlerBeginTransaction,
                   [&] { return access_->Execute("BEGIN TRANSACTION " + name); });
}

bool CalendarEventDB::EndTransaction(const std::string& name) {
    return Guarded("googledata::CalendarEventDB::EndTransaction", kHandlerEndTransaction,
                   [&] { return access_->Execute("END TRANSACTION " + name); });
}

bool CalendarEventDB::RunTransaction(const std::string& name, const std::function<bool()>& body) {
    return Guarded("googledata::CalendarEventDB::RunTransaction", kHandlerRunTransaction, [&] {
        const bool ok = access_->RunTransaction(body);
        if (!ok) {
            Log(Utility::kLogWarn, "<db> transaction rolled back: " + name);
        }
        return ok;
    });
}

bool CalendarEventDB::UpsertCalendar(const PrimitiveCalendar& c) {
    return Guarded("googledata::CalendarEventDB::UpsertCalendar", kHandlerUpsertCalendar, [&] {
        ResultTable rows;
        access_->Execute(
            "SELECT calendarURI FROM CALENDAR WHERE calendarURI=" + Quote(c.calendarURI), &rows);
        if (rows.empty()) {
            return access_->Execute(
                std::string("INSERT INTO CALENDAR(") + kCalendarColumns + ") VALUES (" +
                Quote(c.calendarURI) + "," + Quote(c.id) + "," + Quote(c.title) + "," +
                Quote(c.summary) + "," + Quote(c.author) + "," + Num(c.accesslevel) + "," +
                Num(c.color) + "," + Flag(c.selected) + "," + Flag(c.hidden) + "," +
                Quote(c.timezone) + "," + Quote(c.place) + "," + Flag(c.isHoliday) + "," +
                Quote(c.updated) + "," + Quote(c.eventUpdated) + "," + Num(c.flags) + ")");
        }
        return access_->Execute(
            "UPDATE CALENDAR SET " + SetText("id", c.id) + "," + SetText("title", c.title) + "," +
            SetText("summary", c.summary) + "," + SetText("author", c.author) + "," +
            SetNum("accesslevel", c.accesslevel) + "," + SetNum("color", c.color) + "," +
            SetNum("selected", c.selected ? 1 : 0) + "," + SetNum("hidden", c.hidden ? 1 : 0) +
            "," + SetText("timezone", c.timezone) + "," + SetText("place", c.place) + "," +
            SetNum("isHoliday", c.isHoliday ? 1 : 0) + "," + SetText("updated", c.updated) + "," +
            SetText("eventUpdated", c.eventUpdated) + " WHERE calendarURI=" + Quote(c.calendarURI));
    });
}

bool CalendarEventDB::UpdateCalendarVisibleWritable(const std::string& uri, bool visible,
                                                    bool writable) {
    return Guarded("googledata::CalendarEventDB::UpdateCalendarVisibleWritable",
                   kHandlerUpdateCalendarVisibleWritable, [&] {
                       const int flags = (visible ? 1 : 0) + (writable ? 2 : 0);
                       return access_->Execute("UPDATE CALENDAR SET " + SetNum("flags", flags) +
                                               " WHERE calendarURI=" + Quote(uri));
                   });
}

bool CalendarEventDB::SetEventLastUpdatedTime(const std::string& uri, const PrimitiveTime& t) {
    return Guarded(
        "googledata::CalendarEventDB::SetEventLastUpdatedTime", kHandlerSetEventLastUpdatedTime,
        [&] {
            return access_->Execute("UPDATE CALENDAR SET " +
                                    SetText("eventUpdated", PrimitiveTime::FormatUtf8(t, false)) +
                                    " WHERE calendarURI=" + Quote(uri));
        });
}

bool CalendarEventDB::GetEventLastUpdatedTime(const std::string& uri, PrimitiveTime& t) {
    return Guarded("googledata::CalendarEventDB::GetEventLastUpdatedTime",
                   kHandlerGetEventLastUpdatedTime, [&] {
                       ResultTable rows;
                       access_->Execute(
                           "SELECT eventUpdated FROM CALENDAR WHERE calendarURI=" + Quote(uri),
                           &rows);
                       if (rows.empty()) {
                           return false;
                       }
                       PrimitiveTime::Parse(platform::Utf8ToWide(sql::Text(rows[0], 0)), t);
                       return true;
                   });
}

bool CalendarEventDB::GetCalendars(std::list<PrimitiveCalendar>& calendars) {
    return Guarded("googledata::CalendarEventDB::GetCalendars", kHandlerGetCalendars, [&] {
        ResultTable rows;
        if (!access_->Execute(std::string("SELECT ") + kCalendarColumns + " FROM CALENDAR",
                              &rows)) {
            return false;
        }
        for (const ResultRow& row : rows) {
            PrimitiveCalendar c;
            c.calendarURI = sql::Text(row, 0);
            c.id = sql::Text(row, 1);
            c.title = sql::Text(row, 2);
            c.summary = sql::Text(row, 3);
            c.author = sql::Text(row, 4);
            c.accesslevel = sql::Int(row, 5);
            c.color = sql::Int(row, 6);
            c.selected = sql::Int(row, 7) != 0;
            c.hidden = sql::Int(row, 8) != 0;
            c.timezone = sql::Text(row, 9);
            c.place = sql::Text(row, 10);
            c.isHoliday = sql::Int(row, 11) != 0;
            c.updated = sql::Text(row, 12);
            c.eventUpdated = sql::Text(row, 13);
            c.flags = sql::Int(row, 14);
            calendars.push_back(std::move(c));
        }
        return true;
    });
}

bool CalendarEventDB::UpsertHoliday(const std::string& uri, const PrimitiveTime& updated,
                                    const PrimitiveHoliday& h) {
    return Guarded("googledata::CalendarEventDB::UpsertHoliday", kHandlerUpsertHoliday, [&] {
        PrimitiveTime date;
        PrimitiveTime::Parse(platform::Utf8ToWide(h.date), date);
        ResultTable rows;
        access_->Execute(
            "SELECT id FROM HOLIDAY WHERE calendarURI=" + Quote(uri) + " AND id=" + Quote(h.id),
            &rows);
        if (rows.empty()) {
            return access_->Execute(
                std::string("INSERT INTO HOLIDAY(") +
                "\tid,\tcalendarURI,\ttitle,\tcalendarYear,\tcalendarMonth,\tdate,\tstatus,"
                "\tupdated) VALUES (" +
                Quote(h.id) + "," + Quote(uri) + "," + Quote(h.title) + "," + Num(date.year) + "," +
                Num(date.month) + "," + Quote(h.date) + "," + Num(h.status) + "," +
                Quote(PrimitiveTime::FormatUtf8(updated, false)) + ")");
        }
        return access_->Execute("UPDATE HOLIDAY SET " + SetText("id", h.id) + "," +
                                SetText("calendarURI", uri) + "," + SetText("title", h.title) +
                                "," + SetNum("calendarYear", date.year) + "," +
                                SetNum("calendarMonth", date.month) + "," +
                                SetText("date", h.date) + "," + SetNum("status", h.status) + "," +
                                SetText("updated", PrimitiveTime::FormatUtf8(updated, false)) +
                                " WHERE calendarURI=" + Quote(uri) + " AND id=" + Quote(h.id));
    });
}

bool CalendarEventDB::GetHolidays(const std::string& uri, int year, int month,
                                  std::list<PrimitiveHoliday>& holidays) {
    return Guarded("googledata::CalendarEventDB::GetHolidays", kHandlerGetHolidays, [&] {
        ResultTable rows;
        if (!access_->Execute(
                "SELECT id,title,status,date FROM HOLIDAY WHERE  calendarURI=" + Quote(uri) +
                    " AND calendarYear=" + Num(year) + " AND calendarMonth=" + Num(month),
                &rows)) {
            return false;
        }
        for (const ResultRow& row : rows) {
            PrimitiveHoliday h;
            h.id = sql::Text(row, 0);
            h.title = sql::Text(row, 1);
            h.status = sql::Int(row, 2);
            h.date = sql::Text(row, 3);
            holidays.push_back(std::move(h));
        }
        return true;
    });
}

bool CalendarEventDB::HasHoliday(const std::string& uri, int year) {
    return Guarded("googledata::CalendarEventDB::HasHoliday", kHandlerHasHoliday, [&] {
        ResultTable rows;
        return access_->Execute("SELECT id FROM HOLIDAY WHERE  calendarURI=" + Quote(uri) +
                                    " AND calendarYear=" + Num(year),
                                &rows) &&
               !rows.empty();
    });
}

}  // namespace googledata
