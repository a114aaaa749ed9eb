// The local store on real SQLite files: the access object, the schema, the
// calendar, holiday and event operations, hostile text, damaged or
// unwritable files, and the support dump.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <list>
#include <string>

#include "app/MaintenanceLog.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/WrenSQLite.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using googledata::CalendarEventDB;
using googledata::PrimitiveCalendar;
using googledata::PrimitiveEvent;
using googledata::PrimitiveHoliday;
using googledata::PrimitiveTime;
using googledata::ResultTable;
using googledata::WrenSQLite;
using testsupport::ReadFile;
using testsupport::ScopedTz;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kUri = "https://www.google.com/calendar/feeds/taro%40example.com/private/full";
const std::string kOtherUri = "https://www.google.com/calendar/feeds/other/private/full";

// A maintenance log in its own folder, read back whole.
class TestLog {
public:
    TestLog() { log_.SetFolder(dir_.path()); }
    Utility::CMaintenanceLog* get() { return &log_; }
    std::string Text() const { return ReadFile(log_.FileNameFor(platform::NowSeconds())); }

private:
    TempDir dir_;
    Utility::CMaintenanceLog log_;
};

// Rows of a query on a second connection to the same file.
ResultTable Query(const std::string& path, const std::string& statement) {
    WrenSQLite access;
    bool isNew = false;
    EXPECT_TRUE(access.Open(path, nullptr, isNew));
    ResultTable rows;
    EXPECT_TRUE(access.Execute(statement, &rows)) << statement;
    return rows;
}

PrimitiveCalendar Calendar(const std::string& uri) {
    PrimitiveCalendar c;
    c.calendarURI = uri;
    c.id = "cal-id";
    c.title = "Work";
    c.accesslevel = 4;
    c.color = 0x00112233;
    c.selected = true;
    c.flags = 3;
    c.updated = "2011-05-01T01:00:00.000Z";
    return c;
}

PrimitiveEvent Event(const std::string& id, const std::string& start, const std::string& end) {
    PrimitiveEvent e;
    e.id = id;
    e.uid = id.empty() ? "" : "uid-" + id;
    e.editURI = id.empty() ? "" : "https://edit/" + id;
    e.title = "title " + id;
    e.startTime = start;
    e.endTime = end;
    e.eventStatus = 2;
    e.transparency = 1;
    e.visibility = 2;
    e.isSynced = true;
    e.reminders = {{"alert", 10, false}, {"email", 30, false}};
    return e;
}

class EventDb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.Initialize(path, log.get()));
        ASSERT_TRUE(db.UpsertCalendar(Calendar(kUri)));
        ASSERT_TRUE(db.UpsertCalendar(Calendar(kOtherUri)));
    }

    std::list<PrimitiveEvent> Month(int year, int month, const std::string& uri = kUri) {
        std::list<PrimitiveEvent> events;
        EXPECT_TRUE(db.GetNormalEvents(uri, year, month, events));
        return events;
    }

    ScopedTz tz{"Asia/Tokyo"};
    TempDir dir;
    TestLog log;
    std::string path = dir / "db.sqlite";
    CalendarEventDB db;
};

// ---------------------------------------------------------------- access object

TEST(WrenSQLiteTest, ExecuteBeforeOpenFailsSilently) {
    TestLog log;
    WrenSQLite access;
    ResultTable rows;
    EXPECT_FALSE(access.Execute("SELECT 1", &rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST(WrenSQLiteTest, ErrorsAreLoggedWithTheStatementHead) {
    TempDir dir;
    TestLog log;
    WrenSQLite access;
    bool isNew = false;
    ASSERT_TRUE(access.Open(dir / "a.db", log.get(), isNew));
    EXPECT_TRUE(isNew);

    ResultTable rows;
    EXPECT_TRUE(access.Execute("CREATE TABLE T(a text)"));
    EXPECT_TRUE(access.Execute("SELECT a FROM T", &rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_TRUE(access.Execute("INSERT INTO T VALUES (NULL); INSERT INTO T VALUES ('x')"));
    EXPECT_TRUE(access.Execute("SELECT a, 7 FROM T", &rows));
    EXPECT_EQ(rows, (ResultTable{{"", "7"}, {"x", "7"}}));

    const std::string exact = "SELEC 1 FROM T WHERE a = 'abcde'";  // 32 characters
    ASSERT_EQ(exact.size(), 32u);
    EXPECT_FALSE(access.Execute(exact));
    EXPECT_EQ(access.LastResult(), 1);  // SQLITE_ERROR
    EXPECT_FALSE(access.Execute("SELEC 1 FROM T WHERE a = 'abcdefghijk'"));
    const std::string text = log.Text();
    EXPECT_NE(text.find("[ERR!] <db> sql error:near \"SELEC\": syntax error\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("[ERR!] " + exact + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[ERR!] SELEC 1 FROM T WHERE a = 'abcdef\n"), std::string::npos) << text;
    EXPECT_EQ(access.LastError(), "near \"SELEC\": syntax error");

    // The head is counted in characters, not bytes.
    EXPECT_FALSE(
        access.Execute("SELEC '日本語日本語日本語日本語日本語日本語日本語日本語日本語日本語'"));
    EXPECT_NE(log.Text().find("[ERR!] SELEC '日本語日本語日本語日本語日本語日本語日本語日本語日\n"),
              std::string::npos);

    // A NUL byte never reaches the engine.
    EXPECT_FALSE(access.Execute(std::string("DELETE FROM T WHERE a='x\0' OR 1=1", 34)));
    EXPECT_TRUE(access.Execute("SELECT a FROM T", &(rows = {})));
    EXPECT_EQ(rows.size(), 2u);

    bool again = true;
    WrenSQLite second;
    ASSERT_TRUE(second.Open(dir / "a.db", nullptr, again));
    EXPECT_FALSE(again);
}

// ---------------------------------------------------------------- schema

TEST(EventDbSchema, NewFileGetsTheSchemaOnceAndOldFilesGetTheLookupIndexes) {
    TempDir dir;
    const std::string path = dir / "db.sqlite";
    {
        CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(path, nullptr));
    }
    const std::string tables =
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY "
        "name";
    const std::string indexes =
        "SELECT name FROM sqlite_master WHERE type='index' AND name LIKE 'INDEX_%' ORDER BY name";
    EXPECT_EQ(
        Query(path, tables),
        (ResultTable{
            {"CALENDAR"}, {"EVENT"}, {"GENERAL_INFO"}, {"GUEST"}, {"HOLIDAY"}, {"REMINDER"}}));
    const ResultTable allIndexes{{"INDEX_EVENT_GOOGLE_ID"},  {"INDEX_EVENT_ID"},
                                 {"INDEX_EVENT_MONTH"},      {"INDEX_EVENT_RECURRENCE"},
                                 {"INDEX_EVENT_RECUR_TYPE"}, {"INDEX_EVENT_SELECT"},
                                 {"INDEX_EVENT_UID"},        {"INDEX_GUEST"},
                                 {"INDEX_HOLIDAY"},          {"INDEX_REMINDER"}};
    EXPECT_EQ(Query(path, indexes), allIndexes);
    EXPECT_EQ(Query(path, "SELECT * FROM GENERAL_INFO"), (ResultTable{{"1", "0"}}));
    const ResultTable createText = Query(path, "SELECT sql FROM sqlite_master WHERE name='EVENT'");
    EXPECT_EQ(createText[0][0].substr(0, 48), "CREATE TABLE EVENT(\tlocalEventID text NOT NULL U");

    const std::string revisionColumn =
        "SELECT count(*) FROM pragma_table_info('EVENT') WHERE name='localRevision'";
    EXPECT_EQ(Query(path, revisionColumn), (ResultTable{{"1"}}));

    // A file from before the lookup indexes and the edit counter gets them at
    // open, nothing else; its rows keep working.
    Query(path, "DROP INDEX INDEX_EVENT_GOOGLE_ID");
    Query(path, "DROP INDEX INDEX_EVENT_UID");
    Query(path, "DROP INDEX INDEX_EVENT_MONTH");
    Query(path, "ALTER TABLE EVENT DROP COLUMN localRevision");
    {
        CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(path, nullptr));
    }
    EXPECT_EQ(Query(path, revisionColumn), (ResultTable{{"1"}}));
    EXPECT_EQ(Query(path, indexes), allIndexes);
    EXPECT_EQ(Query(path, "SELECT * FROM GENERAL_INFO"), (ResultTable{{"1", "0"}}));

    // The lookups of incoming events are served by those indexes.
    const auto plan = [&](const std::string& statement) {
        std::string text;
        for (const auto& row : Query(path, "EXPLAIN QUERY PLAN " + statement)) {
            text += row.back() + "\n";
        }
        return text;
    };
    EXPECT_NE(plan("SELECT localEventID FROM EVENT WHERE calendarURI='u' AND id='x'")
                  .find("INDEX_EVENT_GOOGLE_ID"),
              std::string::npos);
    EXPECT_NE(plan("SELECT localEventID FROM EVENT WHERE calendarURI='u' AND uid='x' AND "
                   "editURI='e' AND recurrenceType=0")
                  .find("INDEX_EVENT_UID"),
              std::string::npos);

    // The rows of a file from before the edit counter keep working.
    Query(path, "INSERT INTO CALENDAR (calendarURI) VALUES ('u')");
    Query(path,
          "INSERT INTO EVENT (localEventID,calendarURI,id,title,isSynced) VALUES "
          "('L1','u','','old edit',0)");
    Query(path, "ALTER TABLE EVENT DROP COLUMN localRevision");
    {
        CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(path, nullptr));
        std::list<PrimitiveEvent> unsynced;
        ASSERT_TRUE(db.GetUnsyncedEvents("u", unsynced));
        ASSERT_EQ(unsynced.size(), 1u);
        EXPECT_EQ(unsynced.front().localRevision, 0);
        ASSERT_TRUE(db.SetSyncDone("u", "L1", 0));
    }
    EXPECT_EQ(Query(path, revisionColumn), (ResultTable{{"1"}}));
    EXPECT_EQ(Query(path, "SELECT isSynced FROM EVENT"), (ResultTable{{"1"}}));
}

// Every database file so far has this EVENT table (the edit counter added
// by ALTER TABLE); the statements are built from one column list, which
// must keep giving exactly it.
TEST(EventDbSchema, TheEventTableIsTheOneEveryFileHas) {
    TempDir dir;
    const std::string path = dir / "db.sqlite";
    {
        CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(path, nullptr));
    }
    EXPECT_EQ(
        Query(path, "SELECT sql FROM sqlite_master WHERE name='EVENT'"),
        (ResultTable{
            {"CREATE TABLE EVENT(\tlocalEventID text NOT NULL UNIQUE,\tcalendarURI text NOT "
             "NULL,\tid text,\tuid text,\teditURI text,\tpublished text,\tupdated "
             "text,\tstartTime text,\tendTime text,\ttitle text,\tcontent text,\tplace "
             "text,\tauthor_name text,\tautohr_email text,\teventStatus "
             "integer,\ttransparency integer,\tvisibility integer,\tflags integer,\tsequence "
             "integer,\tisSynced integer,\trecurrence text,\toriginalEvent "
             "text,\toriginalStartTime text,\txml text,\trecurrenceType integer,\tutcStartTime "
             "integer,\tutcEndTime integer,\tselectStartYearMonth "
             "integer,\tselectEndYearMonth integer, localRevision integer NOT NULL DEFAULT "
             "0,\tFOREIGN KEY (calendarURI) REFERENCES "
             "CALENDAR (calendarURI))"}}));
}

// Each way of writing a row writes its own columns and no other: the
// service's entry everything but the local id, a local edit the fields the
// user edits (never the service's id, links or XML), a link only the
// service's columns.
TEST_F(EventDb, EachWriteTouchesOnlyItsColumns) {
    const std::array<const char*, 28> columns = {
        "calendarURI",       "id",          "uid",
        "editURI",           "published",   "updated",
        "startTime",         "endTime",     "title",
        "content",           "place",       "author_name",
        "autohr_email",      "eventStatus", "transparency",
        "visibility",        "flags",       "sequence",
        "isSynced",          "recurrence",  "originalEvent",
        "originalStartTime", "xml",         "recurrenceType",
        "utcStartTime",      "utcEndTime",  "selectStartYearMonth",
        "selectEndYearMonth"};
    const std::string service = "id uid editURI published updated author_name autohr_email xml ";
    const std::string local =
        "startTime endTime title content place eventStatus transparency visibility flags "
        "sequence isSynced recurrence originalEvent originalStartTime recurrenceType "
        "utcStartTime utcEndTime selectStartYearMonth selectEndYearMonth ";
    enum class Write { kFromService, kFromLocal, kLink };
    const struct {
        Write write;
        std::string changed;  // the columns that change, in table order, each with a blank
    } cases[] = {
        {Write::kFromService,
         "id uid editURI published updated startTime endTime title content place author_name "
         "autohr_email eventStatus transparency visibility flags sequence isSynced recurrence "
         "originalEvent originalStartTime xml recurrenceType utcStartTime utcEndTime "
         "selectStartYearMonth selectEndYearMonth "},
        {Write::kFromLocal, local},
        {Write::kLink, service},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.changed);
        PrimitiveEvent before =
            Event("a", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
        ASSERT_TRUE(db.AddEvent(kUri, before, false));
        PrimitiveEvent after =
            Event("b", "2011-07-03T10:00:00.000+09:00", "2011-08-04T11:00:00.000+09:00");
        after.localEventID = before.localEventID;
        after.published = "2011-01-01T00:00:00.000Z";
        after.updated = "2011-01-02T00:00:00.000Z";
        after.content = "c";
        after.place = "p";
        after.author_name = "n";
        after.author_email = "e@example.com";
        after.eventStatus = 3;
        after.transparency = 2;
        after.visibility = 4;
        after.flags = 8;
        after.sequence = 5;
        after.isSynced = false;
        after.recurrence = "r";
        after.originalEvent = "o";
        after.originalStartTime = "s";
        after.xml = "<entry/>";
        after.recurrenceType = 2;
        const std::string where = " FROM EVENT WHERE localEventID='" + before.localEventID + "'";
        std::string select;
        for (const char* column : columns) {
            select += std::string(select.empty() ? "" : ",") + column;
        }
        const ResultTable old = Query(path, "SELECT " + select + where);
        switch (c.write) {
            case Write::kFromService:
                ASSERT_TRUE(db.UpdateEventFromGoogleSide(after, kUri));
                break;
            case Write::kFromLocal:
                ASSERT_TRUE(db.UpdateEventFromLocalSide(after, kUri));
                break;
            case Write::kLink:
                ASSERT_TRUE(db.LinkServiceEntry(after, kUri, before.localEventID));
                break;
        }
        const ResultTable now = Query(path, "SELECT " + select + where);
        ASSERT_EQ(old.size(), 1u);
        ASSERT_EQ(now.size(), 1u);
        std::string changed;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (old[0][i] != now[0][i]) {
                changed += std::string(columns[i]) + " ";
            }
        }
        EXPECT_EQ(changed, c.changed);
    }
}

// ---------------------------------------------------------------- calendars and holidays

TEST_F(EventDb, CalendarsUpsertKeepsFlagsAndReadsBack) {
    PrimitiveCalendar c = Calendar(kUri);
    c.title = "Bob's party";
    c.flags = 0;  // not written by an update
    c.hidden = true;
    ASSERT_TRUE(db.UpsertCalendar(c));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM CALENDAR"), (ResultTable{{"2"}}));

    std::list<PrimitiveCalendar> calendars;
    ASSERT_TRUE(db.GetCalendars(calendars));
    ASSERT_EQ(calendars.size(), 2u);
    const PrimitiveCalendar& read = calendars.front();
    EXPECT_EQ(read.calendarURI, kUri);
    EXPECT_EQ(read.title, "Bob's party");
    EXPECT_EQ(read.flags, 3);
    EXPECT_TRUE(read.hidden);
    EXPECT_TRUE(read.selected);
    EXPECT_EQ(read.color, 0x00112233);
    EXPECT_EQ(read.accesslevel, 4);

    ASSERT_TRUE(db.UpdateCalendarVisibleWritable(kUri, false, true));
    EXPECT_EQ(Query(path, "SELECT flags FROM CALENDAR WHERE calendarURI='" + kUri + "'"),
              (ResultTable{{"2"}}));

    PrimitiveTime t;
    EXPECT_TRUE(db.GetEventLastUpdatedTime(kUri, t));  // row found, empty text
    EXPECT_EQ(t.year, 2000);
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T10:00:00.000+09:00", t));
    ASSERT_TRUE(db.SetEventLastUpdatedTime(kUri, t));
    PrimitiveTime back;
    ASSERT_TRUE(db.GetEventLastUpdatedTime(kUri, back));
    EXPECT_EQ(PrimitiveTime::Format(back, false), L"2011-05-01T10:00:00.000+09:00");
    EXPECT_FALSE(db.GetEventLastUpdatedTime("no such calendar", back));
}

TEST_F(EventDb, Holidays) {
    PrimitiveTime updated;
    EXPECT_FALSE(db.HasHoliday(kUri, 2011));
    std::list<PrimitiveHoliday> holidays;
    EXPECT_TRUE(db.GetHolidays(kUri, 2011, 5, holidays));
    EXPECT_TRUE(holidays.empty());

    ASSERT_TRUE(db.UpsertHoliday(kUri, updated, {"h1", "憲法記念日", "2011-05-03", 2}));
    ASSERT_TRUE(db.UpsertHoliday(kUri, updated, {"h2", "こどもの日", "2011-05-05", 2}));
    ASSERT_TRUE(db.UpsertHoliday(kUri, updated, {"h1", "Constitution Day", "2011-05-03", 3}));
    ASSERT_TRUE(db.UpsertHoliday(kUri, updated, {"h3", "broken", "someday", 2}));
    EXPECT_TRUE(db.HasHoliday(kUri, 2011));
    EXPECT_FALSE(db.HasHoliday(kUri, 2012));
    EXPECT_FALSE(db.HasHoliday(kOtherUri, 2011));
    ASSERT_TRUE(db.GetHolidays(kUri, 2011, 5, holidays));
    ASSERT_EQ(holidays.size(), 2u);
    EXPECT_EQ(holidays.front().title, "Constitution Day");
    EXPECT_EQ(holidays.front().status, 3);
    EXPECT_EQ(holidays.back().title, "こどもの日");
    EXPECT_EQ(Query(path, "SELECT calendarYear,calendarMonth,updated FROM HOLIDAY WHERE id='h3'"),
              (ResultTable{{"2000", "1", "2000-01-01T00:00:00.000Z"}}));
}

// ---------------------------------------------------------------- events

TEST_F(EventDb, DerivedColumnsAndTheMonthQuery) {
    struct Row {
        const char* id;
        const char* start;
        const char* end;
        int recurrenceType;
        int startYm, endYm;  // year * 100 + month
    };
    const std::array<Row, 6> rows{{
        {"may31", "2011-05-31", "2011-06-01", 0, 201105, 201105},
        {"newyear", "2011-12-31", "2012-01-01", 0, 201112, 201112},
        {"night", "2011-05-31T23:00:00.000+09:00", "2011-06-01T01:00:00.000+09:00", 0, 201105,
         201106},
        {"firstday", "2011-06-01", "2011-06-01", 0, 201106, 201106},
        {"series", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00", 1, 0, 0},
        {"twodays", "2011-05-30", "2011-06-01", 0, 201105, 201105},
    }};
    for (const Row& r : rows) {
        PrimitiveEvent e = Event(r.id, r.start, r.end);
        e.recurrenceType = r.recurrenceType;
        if (r.recurrenceType == 1) {
            e.recurrence = "DTSTART:20110502T100000\nRRULE:FREQ=WEEKLY";
        }
        ASSERT_TRUE(db.UpsertEvent(e, kUri)) << r.id;
        const ResultTable stored =
            Query(path,
                  "SELECT selectStartYearMonth,selectEndYearMonth,utcStartTime FROM EVENT "
                  "WHERE id='" +
                      std::string(r.id) + "'");
        const auto ym = [](int v) {
            return v == 0 ? std::string("0") : std::to_string((v / 100) * 65536 + v % 100);
        };
        EXPECT_EQ(stored[0][0], ym(r.startYm)) << r.id;
        EXPECT_EQ(stored[0][1], ym(r.endYm)) << r.id;
        if (r.recurrenceType == 1) {
            EXPECT_EQ(stored[0][2], "0");
        }
    }
    EXPECT_EQ(Query(path, "SELECT utcStartTime,utcEndTime FROM EVENT WHERE id='night'"),
              (ResultTable{{std::to_string((11 << 20) | (5 << 16) | (31 << 11) | (14 << 6)),
                            std::to_string((11 << 20) | (5 << 16) | (31 << 11) | (16 << 6))}}));

    const auto ids = [](const std::list<PrimitiveEvent>& events) {
        std::string text;
        for (const PrimitiveEvent& e : events) {
            text += e.id + " ";
        }
        return text;
    };
    EXPECT_EQ(ids(Month(2011, 5)), "may31 night twodays ");
    EXPECT_EQ(ids(Month(2011, 6)), "night firstday ");
    EXPECT_EQ(ids(Month(2011, 12)), "newyear ");
    EXPECT_EQ(ids(Month(2012, 1)), "");
    EXPECT_EQ(ids(Month(2011, 5, kOtherUri)), "");

    std::list<PrimitiveEvent> series;
    ASSERT_TRUE(db.GetRecurrenceOriginalEvents(kUri, series));
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(series.front().id, "series");
    EXPECT_EQ(series.front().recurrence, "DTSTART:20110502T100000\nRRULE:FREQ=WEEKLY");

    // A row without the month columns is found through its UTC keys.
    Query(path, "UPDATE EVENT SET selectStartYearMonth=0 WHERE id='night'");
    EXPECT_EQ(ids(Month(2011, 5)), "may31 night twodays ");
    EXPECT_EQ(ids(Month(2011, 7)), "");
    EXPECT_EQ(db.QueryStatistics().count, 8u);
}

TEST_F(EventDb, ReadBackIsWholeWithRemindersInOrder) {
    PrimitiveEvent e =
        Event("full", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    e.published = "2011-04-01T00:00:00.000Z";
    e.updated = "2011-04-02T00:00:00.000Z";
    e.content = "line 1\nline 2";
    e.place = "Tokyo";
    e.author_name = "Taro";
    e.author_email = "taro@example.com";
    e.flags = 15;
    e.sequence = 3;
    e.xml = "<entry xmlns='http://www.w3.org/2005/Atom'><title>x</title></entry>";
    e.reminders = {{"sms", 5, true}, {"alert", 10, false}, {"email", 1440, false}};
    ASSERT_TRUE(db.UpsertEvent(e, kUri));
    EXPECT_EQ(e.localEventID.size(), 32u);
    EXPECT_EQ(e.localEventID.find_first_not_of("0123456789ABCDEF"), std::string::npos);

    const std::list<PrimitiveEvent> events = Month(2011, 5);
    ASSERT_EQ(events.size(), 1u);
    const PrimitiveEvent& r = events.front();
    EXPECT_EQ(r.localEventID, e.localEventID);
    EXPECT_EQ(r.uid, e.uid);
    EXPECT_EQ(r.editURI, e.editURI);
    EXPECT_EQ(r.published, e.published);
    EXPECT_EQ(r.updated, e.updated);
    EXPECT_EQ(r.content, e.content);
    EXPECT_EQ(r.author_email, e.author_email);
    EXPECT_EQ(r.xml, e.xml);
    EXPECT_EQ(r.flags, 15);
    EXPECT_EQ(r.sequence, 3);
    EXPECT_EQ(r.eventStatus, 2);
    EXPECT_TRUE(r.isSynced);
    ASSERT_EQ(r.reminders.size(), 3u);
    EXPECT_EQ(r.reminders[0].method, "sms");
    EXPECT_FALSE(r.reminders[0].isAlarmed);
    EXPECT_EQ(r.reminders[2].minutesBeforeAlarm, 1440);
}

TEST_F(EventDb, UpsertMatchesByIdUidAndOfflineTitleAndStart) {
    PrimitiveEvent first =
        Event("a", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    ASSERT_TRUE(db.UpsertEvent(first, kUri));

    // The same service id again: updated in place, reminders replaced.
    PrimitiveEvent again =
        Event("a", "2011-05-03T10:00:00.000+09:00", "2011-05-03T11:00:00.000+09:00");
    again.reminders = {{"popup", 3, false}};
    ASSERT_TRUE(db.UpsertEvent(again, kUri));
    EXPECT_EQ(again.localEventID, first.localEventID);
    EXPECT_EQ(Query(path, "SELECT count(*) FROM EVENT"), (ResultTable{{"1"}}));
    EXPECT_EQ(Query(path, "SELECT method FROM REMINDER"), (ResultTable{{"popup"}}));

    // A new id with the known uid and edit URI.
    PrimitiveEvent byUid = again;
    byUid.localEventID.clear();
    byUid.id = "a-renamed";
    ASSERT_TRUE(db.UpsertEvent(byUid, kUri));
    EXPECT_EQ(byUid.localEventID, first.localEventID);

    // An event made offline comes back from the service under its new id,
    // written by this account: it is linked, its local text kept for the
    // upload.
    db.SetAccountEmail("Hanako.Sato%40example.com");
    PrimitiveEvent offline =
        Event("", "2011-05-10T09:00:00.000+09:00", "2011-05-10T10:00:00.000+09:00");
    offline.title = "dentist";
    offline.content = "bring the card";
    offline.isSynced = false;
    ASSERT_TRUE(db.UpsertEvent(offline, kUri));
    PrimitiveEvent fromService =
        Event("svc", "2011-05-10T00:00:30.000Z", "2011-05-10T01:00:00.000Z");  // same UTC minute
    fromService.title = "dentist";
    fromService.author_email = "hanako.sato@example.com";
    ASSERT_TRUE(db.UpsertEvent(fromService, kUri));
    EXPECT_EQ(fromService.localEventID, offline.localEventID);
    EXPECT_EQ(Query(path, "SELECT count(*) FROM EVENT"), (ResultTable{{"2"}}));
    EXPECT_EQ(Query(path, "SELECT id,content,isSynced FROM EVENT WHERE title='dentist'"),
              (ResultTable{{"svc", "bring the card", "0"}}));

    // Same id in another calendar is another event.
    PrimitiveEvent other =
        Event("a", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    ASSERT_TRUE(db.UpsertEvent(other, kOtherUri));
    EXPECT_NE(other.localEventID, first.localEventID);

    EXPECT_NE(log.Text().find("<db> judge lid:1 id:0 uid:0 uf:0 tf:0 if:1\n"), std::string::npos);
    EXPECT_NE(log.Text().find("<db> judge lid:1 id:0 uid:0 uf:1 tf:0 if:0\n"), std::string::npos);
    EXPECT_NE(log.Text().find("<db> judge lid:1 id:0 uid:0 uf:0 tf:1 if:0\n"), std::string::npos);
    EXPECT_NE(log.Text().find("<db> add event, lid:" + first.localEventID.substr(0, 8) +
                              " id:a sync:1 seq:0 st:2 rt:0 f:0\n"),
              std::string::npos);
    // Each upsert counts itself and its inner add or update.
    EXPECT_EQ(db.UpdateStatistics().count, 12u);
}

// A colleague's entry with the same title and start as an event made here
// is another event; and no entry ever overwrites a row whose local edit is
// not uploaded; and a row is marked synced only at the revision uploaded.
TEST_F(EventDb, UnsyncedRowsKeepTheirEditsAndOnlyOwnEntriesMatchByTitle) {
    db.SetAccountEmail("hanako.sato@example.com");
    PrimitiveEvent mine =
        Event("", "2011-06-01T10:00:00.000+09:00", "2011-06-01T10:15:00.000+09:00");
    mine.title = "Standup";
    mine.content = "mine";
    mine.isSynced = false;
    ASSERT_TRUE(db.AddEvent(kUri, mine, true));
    for (const char* author : {"taro.yamada@example.com", ""}) {
        PrimitiveEvent theirs = Event(std::string("t-") + author, "2011-06-01T10:00:00.000+09:00",
                                      "2011-06-01T10:15:00.000+09:00");
        theirs.title = "Standup";
        theirs.author_email = author;
        ASSERT_TRUE(db.UpsertEvent(theirs, kUri));
        EXPECT_NE(theirs.localEventID, mine.localEventID);
    }
    EXPECT_EQ(
        Query(path, "SELECT content FROM EVENT WHERE localEventID='" + mine.localEventID + "'"),
        (ResultTable{{"mine"}}));

    // A downloaded copy of a synced event that was edited here since.
    PrimitiveEvent stored =
        Event("s1", "2011-06-02T10:00:00.000+09:00", "2011-06-02T11:00:00.000+09:00");
    ASSERT_TRUE(db.UpsertEvent(stored, kUri));
    PrimitiveEvent edit = stored;
    edit.title = "edited here";
    edit.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(edit, kUri));
    PrimitiveEvent download = stored;
    download.localEventID.clear();
    download.title = "changed there";
    download.xml = "<entry>new</entry>";
    download.updated = "2011-06-03T00:00:00.000Z";
    ASSERT_TRUE(db.UpsertEvent(download, kUri));
    EXPECT_EQ(download.localEventID, stored.localEventID);
    const std::string where = " FROM EVENT WHERE localEventID='" + stored.localEventID + "'";
    EXPECT_EQ(
        Query(path, "SELECT title,isSynced,xml,updated,localRevision" + where),
        (ResultTable{{"edited here", "0", "<entry>new</entry>", "2011-06-03T00:00:00.000Z", "1"}}));
    EXPECT_NE(log.Text().find("[info] <db> keep unsynced local edit lid:" +
                              stored.localEventID.substr(0, 8) + "\n"),
              std::string::npos);

    // An upload of revision 1 while a second edit is made: not synced.
    std::list<PrimitiveEvent> unsynced;
    ASSERT_TRUE(db.GetUnsyncedEvents(kUri, unsynced));
    int64_t revision = -1;
    for (const auto& u : unsynced) {
        if (u.localEventID == stored.localEventID) {
            revision = u.localRevision;
        }
    }
    EXPECT_EQ(revision, 1);
    edit.title = "edited again";
    ASSERT_TRUE(db.UpdateEventFromLocalSide(edit, kUri));
    ASSERT_TRUE(db.SetSyncDone(kUri, stored.localEventID, revision));
    bool synced = true;
    ASSERT_TRUE(db.GetLocalState(kUri, stored.localEventID, revision, synced));
    EXPECT_FALSE(synced);
    EXPECT_EQ(revision, 2);
    ASSERT_TRUE(db.SetSyncDone(kUri, stored.localEventID, 2));
    ASSERT_TRUE(db.GetLocalState(kUri, stored.localEventID, revision, synced));
    EXPECT_TRUE(synced);
    // Synced now: the next download replaces it.
    download.localEventID.clear();
    ASSERT_TRUE(db.UpsertEvent(download, kUri));
    EXPECT_EQ(Query(path, "SELECT title,isSynced" + where), (ResultTable{{"changed there", "1"}}));
}

TEST_F(EventDb, AnEmptyIdOrUidNeverMatchesAnotherEvent) {
    PrimitiveEvent local =
        Event("", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    local.title = "mine";
    ASSERT_TRUE(db.UpsertEvent(local, kUri));
    // A service event with a uid but no id, a different title and start.
    PrimitiveEvent incoming =
        Event("", "2011-05-09T10:00:00.000+09:00", "2011-05-09T11:00:00.000+09:00");
    incoming.uid = "only-uid";
    incoming.title = "theirs";
    ASSERT_TRUE(db.UpsertEvent(incoming, kUri));
    EXPECT_NE(incoming.localEventID, local.localEventID);
    EXPECT_EQ(Query(path, "SELECT title FROM EVENT ORDER BY title"),
              (ResultTable{{"mine"}, {"theirs"}}));
}

TEST_F(EventDb, LocalEditsSyncStateAndAddEvent) {
    PrimitiveEvent e =
        Event("s1", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    ASSERT_TRUE(db.UpsertEvent(e, kUri));
    const std::string lid = e.localEventID;

    PrimitiveEvent edit = e;
    edit.title = "edited";
    edit.id = "must not be written";
    edit.xml = "must not be written";
    edit.isSynced = false;
    edit.reminders = {{"alert", 99, true}};
    ASSERT_TRUE(db.UpdateEventFromLocalSide(edit, kUri));
    EXPECT_EQ(Query(path, "SELECT title,id,xml,isSynced FROM EVENT"),
              (ResultTable{{"edited", "s1", "", "0"}}));
    EXPECT_EQ(Query(path, "SELECT minutesBeforeAlarm,isAlarmed FROM REMINDER"),
              (ResultTable{{"99", "0"}}));

    std::list<PrimitiveEvent> unsynced;
    ASSERT_TRUE(db.GetUnsyncedEvents(kUri, unsynced));
    ASSERT_EQ(unsynced.size(), 1u);
    bool synced = true;
    ASSERT_TRUE(db.IsSynced(kUri, lid, synced));
    EXPECT_FALSE(synced);
    ASSERT_TRUE(db.SetSyncDone(kUri, lid));
    ASSERT_TRUE(db.IsSynced(kUri, lid, synced));
    EXPECT_TRUE(synced);
    EXPECT_NE(log.Text().find("[info] <db> event sync status" + lid.substr(0, 8) + " (1,1,1)\n"),
              std::string::npos);

    ASSERT_TRUE(db.IsSynced(kUri, "NOSUCHID", synced));
    EXPECT_FALSE(synced);
    EXPECT_NE(log.Text().find("[warn] <db> event not foundNOSUCHID\n"), std::string::npos);
    EXPECT_NE(log.Text().find("[info] <db> event sync statusNOSUCHID (1,0,0)\n"),
              std::string::npos);

    PrimitiveEvent copy = e;
    ASSERT_TRUE(db.AddEvent(kUri, copy, false));
    EXPECT_NE(copy.localEventID, lid);
    EXPECT_EQ(Query(path, "SELECT count(*) FROM EVENT"), (ResultTable{{"2"}}));

    // Exceptions of a series are found by the series reference.
    PrimitiveEvent exception =
        Event("x1", "2011-05-09T12:00:00.000+09:00", "2011-05-09T13:00:00.000+09:00");
    exception.recurrenceType = 2;
    exception.originalEvent = "https://series/1";
    ASSERT_TRUE(db.UpsertEvent(exception, kUri));
    std::list<PrimitiveEvent> exceptions;
    ASSERT_TRUE(db.GetRecurrenceExceptionEvents(kUri, "https://series/1", exceptions));
    ASSERT_EQ(exceptions.size(), 1u);
    EXPECT_EQ(exceptions.front().id, "x1");
    EXPECT_EQ(Month(2011, 5).size(), 2u);  // exceptions are not single events
}

// ---------------------------------------------------------------- hostile text

TEST_F(EventDb, HostileTextIsStoredAndReadBackExactly) {
    const std::array<std::string, 12> texts{{
        "Bob's party",
        "''",
        "'; DROP TABLE EVENT; --",
        "\"double\" and 'single'",
        "back\\slash\\'",
        "a;b;c",
        "-- not a comment",
        "SELECT * FROM EVENT WHERE 1=1 OR ''=''",
        "会議室「富士」で打ち合わせ",
        "🎉🗓️ emoji",
        "tab\tnew\nline\r",
        "",
    }};
    std::list<std::string> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
        PrimitiveEvent e = Event("t" + std::to_string(i), "2011-05-02", "2011-05-03");
        e.title = texts[i];
        e.content = texts[i];
        e.place = texts[i];
        e.reminders = {{texts[i], 5, false}};
        ASSERT_TRUE(db.UpsertEvent(e, kUri)) << texts[i];
        PrimitiveCalendar c = Calendar("cal " + texts[i]);
        c.title = texts[i];
        ASSERT_TRUE(db.UpsertCalendar(c));
    }
    std::list<PrimitiveEvent> events = Month(2011, 5);
    ASSERT_EQ(events.size(), texts.size());
    size_t i = 0;
    for (const PrimitiveEvent& e : events) {
        EXPECT_EQ(e.title, texts[i]);
        EXPECT_EQ(e.content, texts[i]);
        EXPECT_EQ(e.place, texts[i]);
        ASSERT_EQ(e.reminders.size(), 1u);
        EXPECT_EQ(e.reminders[0].method, texts[i]);
        ++i;
    }
    std::list<PrimitiveCalendar> calendars;
    ASSERT_TRUE(db.GetCalendars(calendars));
    EXPECT_EQ(calendars.size(), 2 + texts.size());
}

TEST_F(EventDb, EmbeddedNulCutsTheTextAndTouchesNoOtherRow) {
    PrimitiveEvent victim = Event("victim", "2011-05-02", "2011-05-03");
    ASSERT_TRUE(db.UpsertEvent(victim, kUri));

    PrimitiveEvent e = Event("nul", "2011-05-04", "2011-05-05");
    e.title = std::string("before\0', title='hacked", 23);
    ASSERT_TRUE(db.UpsertEvent(e, kUri));
    e.title = std::string("again\0' WHERE 1=1 --", 20);
    ASSERT_TRUE(db.UpdateEventFromGoogleSide(e, kUri));
    EXPECT_EQ(Query(path, "SELECT id,title FROM EVENT ORDER BY id"),
              (ResultTable{{"nul", "again"}, {"victim", "title victim"}}));
}

// ---------------------------------------------------------------- damaged files

TEST(EventDbFiles, NotADatabaseFailsAndIsLeftAlone) {
    TempDir dir;
    TestLog log;
    const std::string path = dir / "db.sqlite";
    const std::string garbage(4096, 'x');
    WriteFile(path, garbage);
    CalendarEventDB db;
    EXPECT_FALSE(db.Initialize(path, log.get()));
    PrimitiveEvent e = Event("a", "2011-05-02", "2011-05-03");
    EXPECT_FALSE(db.UpsertCalendar(Calendar(kUri)));
    EXPECT_FALSE(db.AddEvent(kUri, e, true));
    std::list<PrimitiveEvent> events;
    EXPECT_FALSE(db.GetNormalEvents(kUri, 2011, 5, events));
    EXPECT_TRUE(events.empty());
    EXPECT_NE(log.Text().find("[ERR!] <db> sql error:file is not a database\n"), std::string::npos)
        << log.Text();
    EXPECT_EQ(ReadFile(path), garbage);
}

TEST(EventDbFiles, AFolderInPlaceOfTheFileFails) {
    TempDir dir;
    TestLog log;
    const std::string path = dir / "db.sqlite";
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    CalendarEventDB db;
    EXPECT_FALSE(db.Initialize(path, log.get()));
    EXPECT_FALSE(db.UpsertCalendar(Calendar(kUri)));
    EXPECT_NE(log.Text().find("[ERR!] <db> "), std::string::npos) << log.Text();

    CalendarEventDB missingFolder;
    EXPECT_FALSE(missingFolder.Initialize(dir / "no/such/folder/db.sqlite", log.get()));
    EXPECT_NE(log.Text().find("[ERR!] <db> open error (14)\n"), std::string::npos) << log.Text();
}

// Makes a file unwritable even for root (immutable), restoring it at the end.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        ::chmod(path_.c_str(), 0444);
        if (::geteuid() == 0) {
            immutable_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
        }
    }
    ~ReadOnlyFile() {
        if (immutable_) {
            std::system(("chattr -i '" + path_ + "'").c_str());
        }
        ::chmod(path_.c_str(), 0644);
    }
    bool Effective() const { return ::geteuid() != 0 || immutable_; }

private:
    std::string path_;
    bool immutable_ = false;
};

TEST(EventDbFiles, AReadOnlyFileReadsButRefusesWrites) {
    ScopedTz tz("Asia/Tokyo");
    TempDir dir;
    TestLog log;
    const std::string path = dir / "db.sqlite";
    {
        CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(path, nullptr));
        ASSERT_TRUE(db.UpsertCalendar(Calendar(kUri)));
        PrimitiveEvent e = Event("a", "2011-05-02", "2011-05-03");
        ASSERT_TRUE(db.UpsertEvent(e, kUri));
    }
    const std::string before = ReadFile(path);
    ReadOnlyFile readOnly(path);
    if (!readOnly.Effective()) {
        GTEST_SKIP() << "cannot make a file read-only here";
    }
    CalendarEventDB db;
    EXPECT_TRUE(db.Initialize(path, log.get()));
    std::list<PrimitiveEvent> events;
    EXPECT_TRUE(db.GetNormalEvents(kUri, 2011, 5, events));
    EXPECT_EQ(events.size(), 1u);
    PrimitiveEvent e = Event("b", "2011-05-04", "2011-05-05");
    EXPECT_FALSE(db.UpsertEvent(e, kUri));
    EXPECT_FALSE(db.SetSyncDone(kUri, events.front().localEventID));
    EXPECT_NE(log.Text().find("[ERR!] <db> sql error:attempt to write a readonly database\n"),
              std::string::npos)
        << log.Text();
    EXPECT_EQ(ReadFile(path), before);
}

// ---------------------------------------------------------------- dump

TEST_F(EventDb, DumpMasksTheAccountAndOmitsPersonalText) {
    PrimitiveEvent e =
        Event("d1", "2011-05-02T10:00:00.000+09:00", "2011-05-02T11:00:00.000+09:00");
    e.title = "secret title";
    e.content = "secret content";
    e.author_email = "taro@example.com";
    ASSERT_TRUE(db.UpsertEvent(e, kUri));
    PrimitiveCalendar c = Calendar(kUri);
    c.timezone = "taro@example.com";
    ASSERT_TRUE(db.UpsertCalendar(c));

    const std::string file = dir / "db.txt";
    db.DumpToFile(file, "taro%40example.com");
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("------ general info -------\n1,0\n------ calendar #0 -------\n", 0), 0u)
        << text;
    // The account is masked in its "@" form and in the "%40" form of the URIs.
    const std::string maskedUri = "https://www.google.com/calendar/feeds/[user_id]/private/full";
    EXPECT_NE(text.find(maskedUri + ",cal-id,OWNER,1122867,ture,0,[user_id],false,"
                                    "2011-05-01T01:00:00.000Z,,3\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("0," + e.localEventID +
                        ",uid-d1,,,2011-05-02T10:00:00.000+09:00,"
                        "2011-05-02T11:00:00.000+09:00,CONFIRMED,OPAQUR,"
                        "DEFAULT,0,0,ture,,,,NONE,"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("------ calendar #1 -------\n"), std::string::npos);
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_EQ(text.find("taro@example.com"), std::string::npos);
    EXPECT_EQ(text.find("taro%40example.com"), std::string::npos);
    EXPECT_NE(text.find("------ guest -------\n------ DB statistics -------\nupdate & insert\n"
                        "  count: 2\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("query\n  count: 0\n  min:   4294967295\n  max:   0\n  ave:   0\n"
                        "error:   0\n"),
              std::string::npos)
        << text;

    // A dump that cannot be written writes nothing and throws nothing.
    db.DumpToFile(dir / "no/such/folder/db.txt", "taro%40example.com");
    db.DumpToFile(dir / "empty-account.txt", "");
    EXPECT_NE(ReadFile(dir / "empty-account.txt").find("general info"), std::string::npos);
}

TEST(EventDbDelete, DeleteDatabaseRemovesTheFile) {
    TempDir dir;
    const std::string path = dir / "db.sqlite";
    CalendarEventDB db;
    ASSERT_TRUE(db.Initialize(path, nullptr));
    ASSERT_TRUE(platform::NowSeconds() > 0);
    EXPECT_TRUE(db.DeleteDatabase());
    struct stat st {};
    EXPECT_NE(::stat(path.c_str(), &st), 0);
    EXPECT_FALSE(db.UpsertCalendar(Calendar(kUri)));
}

}  // namespace
