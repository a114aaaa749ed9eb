// The CalDAV client against a real Radicale server over HTTPS on loopback:
// discovery, the first download of several calendars into a real database
// (series with zones, overrides, all-day events, alarms, cancelled
// occurrences) and what the calendar views then show, uploads read back with
// plain requests, server changes and deletions found by the incremental sync,
// a 412 conflict, a server stopped in the middle of a download, a wrong
// password and a plain-HTTP address.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <list>
#include <thread>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "googledata/CalDavClient.h"
#include "googledata/CalDavSync.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/HttpClient.h"
#include "googledata/XmlContext.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/WindowMessages.h"
#include "tests/support/RadicaleServer.h"
#include "tests/support/TestSupport.h"

using googledata::CalDavStatus;
using googledata::PrimitiveEvent;
using testsupport::RadicaleServer;
using testsupport::TempDir;

namespace {

const std::string kBerlinZone =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
    "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
    "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

std::string Calendar(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string Single(const std::string& uid, const std::string& summary, const std::string& start,
                   const std::string& end, const std::string& extra = "") {
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
           "\r\nDTSTART" + start + "\r\nDTEND" + end + "\r\n" + extra + "END:VEVENT\r\n";
}

// Many one-event resources ("<prefix><n>.ics"), for SeedCalendar.
std::vector<std::pair<std::string, std::string>> ManyEvents(int count, const std::string& prefix) {
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < count; ++i) {
        char start[32];
        std::snprintf(start, sizeof start, ":202601%02dT%02d0000Z", 1 + i % 28, i % 24);
        files.emplace_back(prefix + std::to_string(i) + ".ics",
                           Calendar(Single(prefix + std::to_string(i), "event " + std::to_string(i),
                                           start, std::string(start).replace(12, 2, "59"))));
    }
    return files;
}

class CalDavTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new RadicaleServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        platform::CreateFolderTree(dir / "log");
        log.SetFolder(dir / "log");
        http.SetExtraCaFile(server->CaFile());
        http.SetCommLogPath(dir / "comm.log");
        http.SetTimeout(20);
        client.SetAccount(server->Base(), RadicaleServer::kUser, RadicaleServer::kPassword);
        ASSERT_TRUE(db.Initialize(dir / "account.db", &log));
    }
    void TearDown() override {
        db.Close();
        for (const std::string& name : made) {
            server->Send("DELETE", RadicaleServer::CalendarPath(name), "", {}, true);
        }
    }

    void MakeCalendar(const std::string& name, const std::string& displayName,
                      const std::string& color = "") {
        server->MakeCalendar(name, displayName, color);
        made.push_back(name);
    }
    std::string Url(const std::string& name) {
        return server->Base() + RadicaleServer::CalendarPath(name);
    }
    std::list<PrimitiveEvent> Rows(const std::string& name, const std::string& resource) {
        std::list<PrimitiveEvent> rows;
        db.GetDavResourceEvents(Url(name), RadicaleServer::CalendarPath(name) + resource, rows);
        return rows;
    }
    size_t ResourceCount(const std::string& name) {
        std::vector<std::pair<std::string, std::string>> resources;
        db.GetDavResources(Url(name), resources);
        return resources.size();
    }

    static RadicaleServer* server;
    TempDir dir;
    Utility::CMaintenanceLog log;
    googledata::HttpClient http;
    googledata::XmlContext xml{&log};
    googledata::CalDavClient client{http, xml};
    googledata::CalendarEventDB db;
    googledata::CalDavSync sync{client, db, &log};
    std::vector<std::string> made;
};

RadicaleServer* CalDavTest::server = nullptr;

TEST_F(CalDavTest, DiscoveryFindsEventCalendarsWithNameColourZoneAndAccess) {
    MakeCalendar("work", "仕事", "#FF8000FF");
    MakeCalendar("holidays", "祝日");
    // A task list is no event calendar.
    server->Send("MKCALENDAR", RadicaleServer::CalendarPath("tasks"),
                 "<?xml version=\"1.0\"?><C:mkcalendar xmlns:D=\"DAV:\" "
                 "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop>"
                 "<C:supported-calendar-component-set><C:comp name=\"VTODO\"/>"
                 "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>",
                 {}, true);
    made.push_back("tasks");
    server->Send("PROPPATCH", RadicaleServer::CalendarPath("work"),
                 "<?xml version=\"1.0\"?><D:propertyupdate xmlns:D=\"DAV:\" "
                 "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop><C:calendar-timezone>" +
                     Calendar(kBerlinZone) +
                     "</C:calendar-timezone></D:prop></D:set></D:propertyupdate>",
                 {}, true);

    std::vector<googledata::PrimitiveCalendar> found;
    ASSERT_EQ(sync.DownloadCalendars(&found), CalDavStatus::kOk) << client.LastError();
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.calendarURI < b.calendarURI; });
    EXPECT_EQ(found[0].calendarURI, Url("holidays"));
    EXPECT_EQ(found[0].title, "祝日");
    EXPECT_EQ(found[0].accesslevel, 1);
    EXPECT_EQ(found[0].flags, 1);  // shown, not writable
    EXPECT_EQ(found[1].calendarURI, Url("work"));
    EXPECT_EQ(found[1].title, "仕事");
    EXPECT_EQ(found[1].color, 0x0080FF);  // COLORREF of #FF8000
    EXPECT_EQ(found[1].accesslevel, 4);
    EXPECT_EQ(found[1].flags, 3);
    EXPECT_EQ(found[1].timezone, "Europe/Berlin");

    std::list<googledata::PrimitiveCalendar> stored;
    ASSERT_TRUE(db.GetCalendars(stored));
    EXPECT_EQ(stored.size(), 2u);

    // An address that is itself the calendar home works as well.
    client.SetAccount(server->Base() + "/alice/", RadicaleServer::kUser, RadicaleServer::kPassword);
    std::vector<googledata::CalDavCalendar> calendars;
    ASSERT_EQ(client.Discover(calendars), CalDavStatus::kOk);
    EXPECT_EQ(calendars.size(), 2u);
}

TEST_F(CalDavTest, WrongPasswordAndPlainHttpAreRefused) {
    std::vector<googledata::CalDavCalendar> calendars;
    client.SetAccount(server->Base(), RadicaleServer::kUser, "wrong");
    EXPECT_EQ(client.Discover(calendars), CalDavStatus::kAuthFailed);
    EXPECT_EQ(client.LastHttpStatus(), 401);

    // The password never goes out in clear to a host that is not loopback.
    client.SetAccount("http://calendar.example.com/", RadicaleServer::kUser, "pw");
    EXPECT_EQ(client.Discover(calendars), CalDavStatus::kInsecure);
    EXPECT_EQ(client.LastHttpStatus(), 0);
}

// libcurl is offered Basic and Digest; a server that asks for Digest gets it.
TEST_F(CalDavTest, DiscoveryAnswersADigestChallenge) {
    MakeCalendar("work", "仕事");
    const std::string gate = server->StartDigestGate();
    client.SetAccount(gate + "/", RadicaleServer::kUser, RadicaleServer::kPassword);
    std::vector<googledata::CalDavCalendar> calendars;
    ASSERT_EQ(client.Discover(calendars), CalDavStatus::kOk) << client.LastError();
    ASSERT_EQ(calendars.size(), 1u);
    EXPECT_EQ(calendars[0].url, gate + RadicaleServer::CalendarPath("work"));
    std::ifstream gateLog(server->GateLog());
    const std::string accepted((std::istreambuf_iterator<char>(gateLog)),
                               std::istreambuf_iterator<char>());
    EXPECT_NE(accepted.find("digest ok"), std::string::npos);

    client.SetAccount(gate + "/", RadicaleServer::kUser, "wrong");
    EXPECT_EQ(client.Discover(calendars), CalDavStatus::kAuthFailed);
    EXPECT_EQ(client.LastHttpStatus(), 401);
}

// A calendar deleted on the server goes from the store with its events and
// CalDAV state at the next calendar list; calendars that are not this
// server's (a holiday calendar, another server's) stay.
TEST_F(CalDavTest, CalendarsRemovedOnTheServerAreRemovedLocally) {
    MakeCalendar("work", "仕事");
    MakeCalendar("old", "古い");
    server->PutEvent("work", "w.ics",
                     Calendar(Single("w", "stays", ":20260107T013000Z", ":20260107T023000Z")));
    server->PutEvent("old", "o.ics",
                     Calendar(Single("o", "goes", ":20260107T013000Z", ":20260107T023000Z",
                                     "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
                                     "TRIGGER:-PT15M\r\nEND:VALARM\r\n")));
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("old")), CalDavStatus::kOk);
    ASSERT_EQ(Rows("old", "o.ics").size(), 1u);
    googledata::PrimitiveCalendar other;
    other.calendarURI = "https://other.example.com/alice/cal/";
    googledata::PrimitiveCalendar holidays;
    holidays.calendarURI = server->Base() + "/feeds/holidays/";
    holidays.isHoliday = true;
    ASSERT_TRUE(db.UpsertCalendar(other));
    ASSERT_TRUE(db.UpsertCalendar(holidays));

    const auto deleted = server->Send("DELETE", RadicaleServer::CalendarPath("old"), "", {});
    ASSERT_EQ(deleted.code, 200) << deleted.body;
    made.erase(std::find(made.begin(), made.end(), "old"));
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk) << client.LastError();

    std::list<googledata::PrimitiveCalendar> stored;
    ASSERT_TRUE(db.GetCalendars(stored));
    std::vector<std::string> uris;
    for (const auto& c : stored) {
        uris.push_back(c.calendarURI);
    }
    std::sort(uris.begin(), uris.end());
    EXPECT_EQ(uris,
              (std::vector<std::string>{Url("work"), holidays.calendarURI, other.calendarURI}));
    EXPECT_TRUE(Rows("old", "o.ics").empty());
    EXPECT_EQ(ResourceCount("old"), 0u);
    std::string ctag, token;
    db.GetDavCollectionState(Url("old"), ctag, token);
    EXPECT_TRUE(token.empty() && ctag.empty());
    std::list<PrimitiveEvent> events;
    db.GetNormalEvents(Url("old"), 2026, 1, events);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Rows("work", "w.ics").size(), 1u);
}

class CalDavViewTest : public CalDavTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CalDavViewTest, FirstDownloadStoresSeriesOverridesAllDayAndAlarmsAsTheViewsShowThem) {
    testsupport::ScopedTz tz(GetParam());
    MakeCalendar("work", "仕事");
    MakeCalendar("home", "家");
    // A weekly series at 10:00 Berlin time, one week left out, one moved to
    // 15:00 and one cancelled; alarms on the series.
    server->PutEvent(
        "work", "weekly.ics",
        Calendar(kBerlinZone +
                 Single("weekly", "定例会議", ";TZID=Europe/Berlin:20260105T100000",
                        ";TZID=Europe/Berlin:20260105T110000",
                        "RRULE:FREQ=WEEKLY;COUNT=6\r\n"
                        "EXDATE;TZID=Europe/Berlin:20260112T100000\r\n"
                        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
                        "TRIGGER:-PT15M\r\nEND:VALARM\r\n") +
                 "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTAMP:20260101T000000Z\r\n"
                 "RECURRENCE-ID;TZID=Europe/Berlin:20260119T100000\r\nSUMMARY:移動した会議\r\n"
                 "DTSTART;TZID=Europe/Berlin:20260119T150000\r\n"
                 "DTEND;TZID=Europe/Berlin:20260119T160000\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTAMP:20260101T000000Z\r\n"
                 "RECURRENCE-ID;TZID=Europe/Berlin:20260126T100000\r\nSUMMARY:定例会議\r\n"
                 "STATUS:CANCELLED\r\nDTSTART;TZID=Europe/Berlin:20260126T100000\r\n"
                 "DTEND;TZID=Europe/Berlin:20260126T110000\r\nEND:VEVENT\r\n"));
    server->PutEvent(
        "work", "holiday.ics",
        Calendar(Single("allday", "休暇", ";VALUE=DATE:20260120", ";VALUE=DATE:20260122",
                        "BEGIN:VALARM\r\nACTION:EMAIL\r\nSUMMARY:s\r\n"
                        "DESCRIPTION:d\r\nATTENDEE:mailto:a@example.com\r\n"
                        "TRIGGER:-P1D\r\nEND:VALARM\r\n")));
    server->PutEvent(
        "home", "dentist.ics",
        Calendar(Single("dentist", "歯医者", ":20260107T013000Z", ":20260107T023000Z")));
    server->PutEvent("home", "gone.ics",
                     Calendar(Single("gone", "中止", ":20260108T013000Z", ":20260108T023000Z",
                                     "STATUS:CANCELLED\r\n")));

    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk) << client.LastError();
    EXPECT_EQ(sync.LastFetched(), 2u);
    ASSERT_EQ(sync.DownloadAll(Url("home")), CalDavStatus::kOk);
    EXPECT_EQ(sync.LastFetched(), 2u);

    const auto weekly = Rows("work", "weekly.ics");
    ASSERT_EQ(weekly.size(), 3u);
    EXPECT_EQ(weekly.front().recurrenceType, 1);
    EXPECT_NE(weekly.front().recurrence.find("RRULE:FREQ=WEEKLY;COUNT=6"), std::string::npos);
    EXPECT_NE(weekly.front().recurrence.find("BEGIN:VTIMEZONE"), std::string::npos);
    ASSERT_EQ(weekly.front().reminders.size(), 1u);
    EXPECT_EQ(weekly.front().reminders[0].method, "alert");
    EXPECT_EQ(weekly.front().reminders[0].minutesBeforeAlarm, 15);
    const auto allday = Rows("work", "holiday.ics");
    ASSERT_EQ(allday.size(), 1u);
    EXPECT_EQ(allday.front().startTime, "2026-01-20");
    EXPECT_EQ(allday.front().endTime, "2026-01-22");
    ASSERT_EQ(allday.front().reminders.size(), 1u);
    EXPECT_EQ(allday.front().reminders[0].method, "email");
    EXPECT_EQ(allday.front().reminders[0].minutesBeforeAlarm, 1440);
    db.Close();

    // What the month view shows, through the manager's own expansion.
    Controller::CCalendarManager manager(dir / "config.ini", dir.path());
    ASSERT_TRUE(manager.OpenForReading(L"account"));
    std::list<Model::Event> events;
    ASSERT_TRUE(manager.GetEvents(events, 2026, 1, 1));
    std::vector<std::pair<int64_t, std::string>> shown;
    for (const Model::Event& e : events) {
        shown.emplace_back(e.startTime.GetTime(), platform::WideToUtf8(e.title));
    }
    std::sort(shown.begin(), shown.end());
    // 10:00 Berlin (+01:00) is 09:00 UTC.
    const int64_t jan5 = 1767603600;  // 2026-01-05T09:00:00Z
    const int64_t week = 7 * 86400;
    std::vector<std::pair<int64_t, std::string>> expected = {
        {jan5, "定例会議"},
        {1767749400, "歯医者"},                        // 2026-01-07T01:30:00Z
        {jan5 + 2 * week + 5 * 3600, "移動した会議"},  // 19th, 15:00 Berlin
        {jan5 + 4 * week, "定例会議"},                 // Feb 2: outside, dropped below
    };
    expected.pop_back();
    // The all-day event starts at local midnight of the 20th.
    const platform::CTime localMidnight(2026, 1, 20, 0, 0, 0);
    expected.emplace_back(localMidnight.GetTime(), "休暇");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(Zones, CalDavViewTest,
                         ::testing::Values("Asia/Tokyo", "America/Los_Angeles"));

TEST_F(CalDavTest, LocalEditsAndNewEventsAreUploadedAndReadBack) {
    MakeCalendar("work", "仕事");
    // What Daymark does not edit goes back as it came.
    server->PutEvent("work", "a.ics",
                     Calendar(Single("a", "before", ":20260107T013000Z", ":20260107T023000Z",
                                     "ORGANIZER:mailto:boss@example.com\r\n"
                                     "ATTENDEE;CN=Bob:mailto:bob@example.com\r\n"
                                     "CATEGORIES:WORK\r\nX-OTHER-APP:kept\r\n")));
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk);

    PrimitiveEvent edited = Rows("work", "a.ics").front();
    edited.title = "after, with a comma; and 日本語";
    edited.sequence += 1;
    edited.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(edited, Url("work")));
    PrimitiveEvent fresh;
    fresh.title = "新しい予定";
    fresh.startTime = "2026-02-03";
    fresh.endTime = "2026-02-04";
    fresh.eventStatus = 2;
    fresh.reminders.push_back({"alert", 30, false});
    ASSERT_TRUE(db.AddEvent(Url("work"), fresh, false));

    std::vector<googledata::CalDavConflict> conflicts;
    ASSERT_EQ(sync.Upload(Url("work"), "", &conflicts), CalDavStatus::kOk) << client.LastError();
    EXPECT_TRUE(conflicts.empty());

    const auto a = server->Send("GET", RadicaleServer::CalendarPath("work") + "a.ics", "", {});
    EXPECT_NE(a.body.find("SUMMARY:after\\, with a comma\\; and 日本語"), std::string::npos)
        << a.body;
    EXPECT_EQ(Rows("work", "a.ics").front().isSynced, true);
    for (const char* kept :
         {"ORGANIZER:mailto:boss@example.com", "ATTENDEE;CN=Bob:mailto:bob@example.com",
          "CATEGORIES:WORK", "X-OTHER-APP:kept"}) {
        EXPECT_NE(a.body.find(kept), std::string::npos) << kept << "\n" << a.body;
    }
    EXPECT_EQ(a.body.find("SUMMARY:before"), std::string::npos);

    std::vector<std::pair<std::string, std::string>> resources;
    db.GetDavResources(Url("work"), resources);
    ASSERT_EQ(resources.size(), 2u);
    for (const auto& [href, etag] : resources) {
        // The ETag kept is the server's.
        const auto answer = server->Send("GET", href, "", {});
        EXPECT_EQ(answer.code, 200);
        EXPECT_EQ(answer.etag, etag) << href;
        if (href.find("a.ics") == std::string::npos) {
            EXPECT_NE(answer.body.find("DTSTART;VALUE=DATE:20260203"), std::string::npos)
                << answer.body;
            EXPECT_NE(answer.body.find("TRIGGER:-PT30M"), std::string::npos);
        }
    }
    // Nothing is left to send, and the next sync fetches nothing.
    std::list<PrimitiveEvent> unsynced;
    db.GetUnsyncedEvents(Url("work"), unsynced);
    EXPECT_TRUE(unsynced.empty());
    ASSERT_EQ(sync.Sync(Url("work")), CalDavStatus::kOk);
    EXPECT_EQ(sync.LastFetched(), 0u);
}

TEST_F(CalDavTest, AnEditedOverrideIsSentWithItsSeriesAndKeepsItsRows) {
    MakeCalendar("work", "仕事");
    server->PutEvent(
        "work", "weekly.ics",
        Calendar(kBerlinZone +
                 Single("weekly", "定例", ";TZID=Europe/Berlin:20260105T100000",
                        ";TZID=Europe/Berlin:20260105T110000", "RRULE:FREQ=WEEKLY;COUNT=4\r\n") +
                 "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTAMP:20260101T000000Z\r\n"
                 "RECURRENCE-ID;TZID=Europe/Berlin:20260112T100000\r\nSUMMARY:moved\r\n"
                 "DTSTART;TZID=Europe/Berlin:20260112T150000\r\n"
                 "DTEND;TZID=Europe/Berlin:20260112T160000\r\nEND:VEVENT\r\n"));
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk);
    const auto before = Rows("work", "weekly.ics");
    ASSERT_EQ(before.size(), 2u);
    PrimitiveEvent override = before.back();
    ASSERT_EQ(override.recurrenceType, 2);
    override.title = "moved and renamed";
    override.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(override, Url("work")));

    ASSERT_EQ(sync.Upload(Url("work"), "", nullptr), CalDavStatus::kOk) << client.LastError();
    const auto answer =
        server->Send("GET", RadicaleServer::CalendarPath("work") + "weekly.ics", "", {});
    EXPECT_NE(answer.body.find("RRULE:FREQ=WEEKLY;COUNT=4"), std::string::npos) << answer.body;
    EXPECT_NE(answer.body.find("SUMMARY:moved and renamed"), std::string::npos);
    EXPECT_NE(answer.body.find("RECURRENCE-ID"), std::string::npos);
    const auto after = Rows("work", "weekly.ics");
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after.front().localEventID, before.front().localEventID);
    EXPECT_EQ(after.back().localEventID, before.back().localEventID);
    EXPECT_TRUE(after.back().isSynced);
    EXPECT_EQ(after.back().originalStartTime, before.back().originalStartTime);
    ASSERT_EQ(sync.Sync(Url("work")), CalDavStatus::kOk);
    EXPECT_EQ(sync.LastFetched(), 0u);
}

TEST_F(CalDavTest, IncrementalSyncFetchesOnlyServerChangesAndRemovesDeletions) {
    MakeCalendar("work", "仕事");
    for (const char* name : {"a", "b", "c"}) {
        server->PutEvent("work", std::string(name) + ".ics",
                         Calendar(Single(name, name, ":20260107T013000Z", ":20260107T023000Z")));
    }
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk);
    EXPECT_EQ(sync.LastFetched(), 3u);

    server->PutEvent("work", "b.ics",
                     Calendar(Single("b", "b changed", ":20260107T013000Z", ":20260107T023000Z")));
    server->Send("DELETE", RadicaleServer::CalendarPath("work") + "c.ics", "", {});
    server->PutEvent("work", "d.ics",
                     Calendar(Single("d", "d", ":20260109T013000Z", ":20260109T023000Z")));

    ASSERT_EQ(sync.Sync(Url("work")), CalDavStatus::kOk) << client.LastError();
    EXPECT_EQ(sync.LastFetched(), 2u);
    EXPECT_EQ(sync.LastRemoved(), 1u);
    EXPECT_EQ(Rows("work", "b.ics").front().title, "b changed");
    EXPECT_TRUE(Rows("work", "c.ics").empty());
    EXPECT_EQ(Rows("work", "d.ics").size(), 1u);
    EXPECT_EQ(ResourceCount("work"), 3u);

    // A token the server no longer knows means a whole download.
    db.SetDavCollectionState(Url("work"), "", "http://radicale.org/ns/sync/unknown");
    ASSERT_EQ(sync.Sync(Url("work")), CalDavStatus::kOk);
    EXPECT_EQ(sync.LastFetched(), 3u);

    // A local deletion is a DELETE with the ETag.
    PrimitiveEvent a = Rows("work", "a.ics").front();
    a.eventStatus = 3;
    a.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(a, Url("work")));
    ASSERT_EQ(sync.Upload(Url("work"), "", nullptr), CalDavStatus::kOk);
    EXPECT_EQ(server->Send("GET", RadicaleServer::CalendarPath("work") + "a.ics", "", {}).code,
              404);
    EXPECT_TRUE(Rows("work", "a.ics").empty());
    ASSERT_EQ(sync.Sync(Url("work")), CalDavStatus::kOk);
    EXPECT_EQ(ResourceCount("work"), 2u);
}

TEST_F(CalDavTest, ConflictKeepsTheServerCopyAndTheLocalEditAsACopy) {
    MakeCalendar("work", "仕事");
    server->PutEvent("work", "a.ics",
                     Calendar(Single("a", "original", ":20260107T013000Z", ":20260107T023000Z")));
    server->PutEvent("work", "b.ics",
                     Calendar(Single("b", "to delete", ":20260108T013000Z", ":20260108T023000Z")));
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);
    ASSERT_EQ(sync.DownloadAll(Url("work")), CalDavStatus::kOk);

    PrimitiveEvent mine = Rows("work", "a.ics").front();
    mine.title = "my edit";
    mine.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(mine, Url("work")));
    PrimitiveEvent gone = Rows("work", "b.ics").front();
    gone.eventStatus = 3;
    gone.isSynced = false;
    ASSERT_TRUE(db.UpdateEventFromLocalSide(gone, Url("work")));
    // Meanwhile both change on the server.
    server->PutEvent("work", "a.ics",
                     Calendar(Single("a", "their edit", ":20260107T013000Z", ":20260107T023000Z")));
    server->PutEvent("work", "b.ics",
                     Calendar(Single("b", "b kept", ":20260108T013000Z", ":20260108T023000Z")));

    std::vector<googledata::CalDavConflict> conflicts;
    ASSERT_EQ(sync.Upload(Url("work"), " (競合)", &conflicts), CalDavStatus::kOk)
        << client.LastError();
    ASSERT_EQ(conflicts.size(), 2u);
    EXPECT_EQ(Rows("work", "a.ics").front().title, "their edit");
    EXPECT_EQ(Rows("work", "b.ics").front().title, "b kept");
    EXPECT_EQ(Rows("work", "b.ics").front().eventStatus, 2);
    const auto copy =
        std::find_if(conflicts.begin(), conflicts.end(), [](const auto& c) { return !c.deletion; });
    ASSERT_NE(copy, conflicts.end());
    EXPECT_EQ(copy->title, "my edit");

    // The copy is a resource of its own on the server, already sent.
    std::vector<std::pair<std::string, std::string>> resources;
    db.GetDavResources(Url("work"), resources);
    ASSERT_EQ(resources.size(), 3u);
    bool found = false;
    for (const auto& [href, etag] : resources) {
        const auto answer = server->Send("GET", href, "", {});
        found = found || answer.body.find("SUMMARY:my edit (競合)") != std::string::npos;
    }
    EXPECT_TRUE(found);
    std::list<PrimitiveEvent> unsynced;
    db.GetUnsyncedEvents(Url("work"), unsynced);
    EXPECT_TRUE(unsynced.empty());
}

TEST_F(CalDavTest, ServerStoppedDuringDownloadLosesNothingAndTheNextSyncCompletes) {
    // Six batches of twenty.
    constexpr int kCount = 120;
    sync.SetBatchSize(20);
    http.SetTimeout(120);
    server->SeedCalendar("big", ManyEvents(kCount, "big"));
    made.push_back("big");
    ASSERT_EQ(sync.DownloadCalendars(), CalDavStatus::kOk);

    CalDavStatus first = CalDavStatus::kOk;
    std::thread download([&] { first = sync.DownloadAll(Url("big")); });
    // Stopped once the first batch is stored.
    const bool stored =
        testsupport::WaitFor([&] { return ResourceCount("big") > 0; }, std::chrono::seconds(30));
    server->Stop();
    download.join();
    server->Start();
    ASSERT_TRUE(stored);
    EXPECT_NE(first, CalDavStatus::kOk);
    const size_t before = ResourceCount("big");
    EXPECT_LT(before, static_cast<size_t>(kCount));

    ASSERT_EQ(sync.Sync(Url("big")), CalDavStatus::kOk) << client.LastError();
    EXPECT_EQ(sync.LastFetched(), kCount - before);
    EXPECT_EQ(ResourceCount("big"), static_cast<size_t>(kCount));
}

// The calendar manager with a CalDAV account: the configuration names the
// kind and the server; the queue, the worker, the store and the views are the
// ones of the calendar service's accounts.
TEST_F(CalDavTest, ManagerSyncsACalDavAccountAndAWrongPasswordTakesTheLoginFailurePath) {
    testsupport::ScopedTz tz("America/New_York");
    MakeCalendar("work", "仕事");
    server->PutEvent(
        "work", "a.ics",
        Calendar(Single("a", "on the server", ":20260107T013000Z", ":20260107T023000Z")));
    db.Close();
    const std::string config = dir / "config.ini";
    platform::WritePrivateProfileString("general", "calendar_mode", std::string("1"), config);
    platform::WritePrivateProfileString("general", "account_kind", std::string("1"), config);
    platform::WritePrivateProfileString("general", "caldav_server", server->Base(), config);
    platform::CRecordingPoster poster;
    constexpr platform::WindowHandle kListener = 5;
    poster.AddWindow(kListener);
    platform::ScopedMessagePoster scoped(&poster);
    auto count = [&](uint32_t code) {
        size_t n = 0;
        for (const auto& m : poster.Messages()) {
            n += m.wParam == code ? 1 : 0;
        }
        return n;
    };

    {
        Controller::CCalendarManager manager(config, dir.path());
        manager.SetExtraCaFile(server->CaFile());
        manager.AddListener(kListener, Controller::kDispatchManagerMessage);
        manager.Initialize(L"alice", platform::Utf8ToWide(RadicaleServer::kPassword), &log);
        manager.DownloadCalenar();
        ASSERT_TRUE(
            testsupport::WaitFor([&] { return count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
        // The server holds no national holidays: the account shows Daymark's own.
        std::list<Model::Holiday> holidays;
        ASSERT_TRUE(manager.GetHolidays(holidays, 2026, 1, 1, L""));
        ASSERT_FALSE(holidays.empty());
        EXPECT_EQ(holidays.front().date, platform::CTime(2026, 1, 1, 0, 0, 0));
        EXPECT_EQ(holidays.front().title, L"元日");
        manager.SyncEvents();
        ASSERT_TRUE(testsupport::WaitFor([&] { return manager.GetPendingRequestCount() == 0; }));

        std::list<Model::Event> events;
        ASSERT_TRUE(manager.GetEvents(events, 2026, 1, 1));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events.front().title, L"on the server");
        EXPECT_EQ(events.front().calendarURI, platform::Utf8ToWide(Url("work")));

        Model::Event local;
        local.calendarURI = platform::Utf8ToWide(Url("work"));
        local.title = L"ここで作った予定";
        local.startTime = platform::CTime(2026, 1, 9, 18, 0, 0);
        local.endTime = platform::CTime(2026, 1, 9, 19, 0, 0);
        local.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
        manager.AddEvent(local);
        ASSERT_TRUE(testsupport::WaitFor([&] {
            bool synced = true;
            std::list<Model::Event> all;
            manager.GetEvents(all, 2026, 1, 1);
            for (const auto& e : all) {
                synced = synced && manager.IsEventSynced(e.calendarURI, e.localEventID);
            }
            return all.size() == 2 && synced;
        }));
        std::vector<std::pair<std::string, std::string>> resources;
        manager.Database().GetDavResources(Url("work"), resources);
        ASSERT_EQ(resources.size(), 2u);
        size_t found = 0;
        for (const auto& [href, etag] : resources) {
            const auto answer = server->Send("GET", href, "", {});
            // 18:00 in New York is 23:00 UTC.
            found += answer.body.find("DTSTART:20260109T230000Z") != std::string::npos ? 1 : 0;
        }
        EXPECT_EQ(found, 1u);
        EXPECT_EQ(count(Controller::NOTIFY_AUTH_FAILED), 0u);
        manager.Terminate();
    }

    poster.Clear();
    Controller::CCalendarManager refused(config, dir.path());
    refused.SetExtraCaFile(server->CaFile());
    refused.AddListener(kListener, Controller::kDispatchManagerMessage);
    refused.Initialize(L"alice", L"wrong", &log);
    refused.DownloadCalenar();
    refused.SyncEvents();
    ASSERT_TRUE(testsupport::WaitFor([&] { return count(Controller::NOTIFY_AUTH_FAILED) >= 1; }));
    ASSERT_TRUE(testsupport::WaitFor([&] { return refused.GetPendingRequestCount() == 0; }));
    // Once: the queue is cleared as after a refused login.
    EXPECT_EQ(count(Controller::NOTIFY_AUTH_FAILED), 1u);
    refused.Terminate();
}

// A whole download through the manager tells its progress once per
// calendar-multiget batch, as the service's paged feeds do; the account kind
// and server are those read when the account was set, whatever the file
// says later.
TEST_F(CalDavTest, ManagerTellsDownloadProgressPerBatchWithTheKindReadAtInitialize) {
    constexpr int kCount = googledata::CalDavSync::kMultigetBatch + 1;
    server->SeedCalendar("big", ManyEvents(kCount, "big"));
    made.push_back("big");
    db.Close();
    const std::string config = dir / "config.ini";
    platform::WritePrivateProfileString("general", "calendar_mode", std::string("1"), config);
    platform::WritePrivateProfileString("general", "account_kind", std::string("1"), config);
    platform::WritePrivateProfileString("general", "caldav_server", server->Base(), config);
    platform::CRecordingPoster poster;
    constexpr platform::WindowHandle kListener = 5;
    poster.AddWindow(kListener);
    platform::ScopedMessagePoster scoped(&poster);
    auto received = [&](uint32_t code) {
        std::vector<int64_t> values;
        for (const auto& m : poster.Messages()) {
            if (m.wParam == code) {
                values.push_back(m.lParam);
            }
        }
        return values;
    };

    Controller::CCalendarManager manager(config, dir.path());
    manager.SetExtraCaFile(server->CaFile());
    manager.AddListener(kListener, Controller::kDispatchManagerMessage);
    manager.Initialize(L"alice", platform::Utf8ToWide(RadicaleServer::kPassword), &log);
    platform::WritePrivateProfileString("general", "account_kind", std::string("0"), config);
    platform::WritePrivateProfileString("general", "caldav_server",
                                        std::string("https://nowhere.invalid/"), config);
    manager.DownloadCalenar();
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return !received(Controller::NOTIFY_CALENDAR_UPDATED).empty(); }));
    manager.DownloadAllEvent(platform::Utf8ToWide(Url("big")));
    ASSERT_TRUE(
        testsupport::WaitFor([&] { return !received(Controller::NOTIFY_EVENT_UPDATED).empty(); },
                             std::chrono::seconds(60)));
    const int64_t total = static_cast<int64_t>(kCount) << 16;
    EXPECT_EQ(received(Controller::NOTIFY_DOWNLOAD_PROGRESS),
              (std::vector<int64_t>{total | 1, total | (kCount)}));
    std::vector<std::pair<std::string, std::string>> resources;
    manager.Database().GetDavResources(Url("big"), resources);
    EXPECT_EQ(resources.size(), static_cast<size_t>(kCount));
    EXPECT_TRUE(received(Controller::NOTIFY_AUTH_FAILED).empty());
    manager.Terminate();
}

}  // namespace
