// Recurring series and times through the real download path: the stand-in
// serves series as the service does (gd:recurrence, no gd:when), the manager
// downloads them into a real database, and GetEvents shows them. The RFC 5545
// examples, exceptions named in every form the service uses, all-day series
// west of UTC, a Los Angeles series seen from Tokyo, the offset of uploaded
// time text, and updated-min across daylight saving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "googledata/PrimitiveTime.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinSuite.h"
#include "tests/support/RfcRecurrenceCases.h"
#include "tests/support/TestSupport.h"

using Controller::CCalendarManager;
using platform::CTime;
using testsupport::StandinServer;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kPassword = "secret";
constexpr const char* kCalendar = "hanako.sato@example.com";
constexpr platform::WindowHandle kListener = 78;

// Los Angeles' rules since 2007, as the service writes the zone block.
const std::string kLosAngelesZone =
    "BEGIN:VTIMEZONE\nTZID:America/Los_Angeles\nX-LIC-LOCATION:America/Los_Angeles\n"
    "BEGIN:DAYLIGHT\nTZOFFSETFROM:-0800\nTZOFFSETTO:-0700\nTZNAME:PDT\n"
    "DTSTART:19700308T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\nEND:DAYLIGHT\n"
    "BEGIN:STANDARD\nTZOFFSETFROM:-0700\nTZOFFSETTO:-0800\nTZNAME:PST\n"
    "DTSTART:19701101T020000\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\nEND:STANDARD\n"
    "END:VTIMEZONE\n";

class RecurringSyncTest : public testsupport::StandinSuite<::testing::TestWithParam<const char*>> {
protected:
    void SetUp() override {
        server->Reset();
        server->AddAccount(kEmail, kPassword);
        feed = server->AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
            "accesslevel":"owner","timezone":"Asia/Tokyo"})");
        platform::CreateFolderTree(dir / "log");
        log.SetFolder(dir / "log");
        platform::WritePrivateProfileString("general", "calendar_mode", "1", dir / "config.ini");
        poster.AddWindow(kListener);
    }

    void TearDown() override {
        if (manager) {
            manager->Terminate();
        }
    }

    void Start() {
        manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
        manager->SetLoginUrl(platform::Utf8ToWide(server->Base()));
        manager->SetExtraCaFile(server->CaFile());
        manager->SetRequestTimeout(10);
        manager->SetWorkerTimings(testsupport::kTestRetryPauseMs, testsupport::kTestIdlePollMs);
        manager->AddListener(kListener, Controller::kDispatchManagerMessage);
        manager->Initialize(platform::Utf8ToWide(kEmail), platform::Utf8ToWide(kPassword), &log);
    }

    size_t Count(uint32_t code) const {
        size_t n = 0;
        for (const auto& m : poster.Messages()) {
            n += m.wParam == code ? 1 : 0;
        }
        return n;
    }

    bool WaitIdle() {
        return WaitFor(
            [&] {
                const auto messages = poster.Messages();
                return manager->GetPendingRequestCount() == 0 &&
                       (messages.empty() || messages.back().wParam != Controller::NOTIFY_ACTIVITY ||
                        messages.back().lParam == 0);
            },
            std::chrono::seconds(30));
    }

    // Calendars, then every event of the calendar.
    void DownloadEverything() {
        manager->DownloadCalenar();
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
        const size_t before = Count(Controller::NOTIFY_EVENT_UPDATED);
        manager->DownloadAllEvent(platform::Utf8ToWide(feed));
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == before + 1; },
                            std::chrono::seconds(30)));
        ASSERT_TRUE(WaitIdle());
    }

    std::string AddSeries(const std::string& title, const std::string& recurrence,
                          const std::string& extra = "") {
        return server->AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kCalendar) +
                                ",\"title\":" + StandinServer::Quote(title) + ",\"recurrence\":" +
                                StandinServer::Quote(recurrence) + extra + "}");
    }

    // The events GetEvents gives for `count` months from (year, month), by title.
    std::map<std::wstring, std::vector<Model::Event>> EventsByTitle(int year, int month,
                                                                    int count) {
        std::list<Model::Event> events;
        EXPECT_TRUE(manager->GetEvents(events, year, month, count));
        std::map<std::wstring, std::vector<Model::Event>> byTitle;
        for (const auto& e : events) {
            byTitle[e.title].push_back(e);
        }
        for (auto& [title, list] : byTitle) {
            std::sort(list.begin(), list.end(), [](const Model::Event& a, const Model::Event& b) {
                return a.startTime < b.startTime;
            });
        }
        return byTitle;
    }

    googledata::PrimitiveCalendar StoredCalendar() {
        std::list<googledata::PrimitiveCalendar> calendars;
        manager->Database().GetCalendars(calendars);
        for (const auto& c : calendars) {
            if (c.calendarURI == feed) {
                return c;
            }
        }
        return {};
    }

    testsupport::ScopedTz tz{GetParam()};
    TempDir dir;
    Utility::CMaintenanceLog log;
    platform::CRecordingPoster poster;
    platform::ScopedMessagePoster scopedPoster{&poster};
    std::string feed;
    std::unique_ptr<CCalendarManager> manager;
};

// Every example of RFC 5545 section 3.8.5.3, served as a series without
// gd:when (each lasting an hour by its DURATION), gives the RFC's
// occurrences, each an hour long and not all-day.
TEST_P(RecurringSyncTest, RfcExamplesServedAsSeriesGiveTheirOccurrences) {
    const auto cases = testsupport::rfc::RfcCases();
    for (const auto& c : cases) {
        // With the extra line ends the service sometimes leaves at the end.
        AddSeries(c.name, c.text + "DURATION:PT1H\n\n");
    }
    Start();
    DownloadEverything();

    // September 1996 to December 2007 in the process's own months.
    const auto byTitle = EventsByTitle(1996, 9, 136);
    const int64_t from = testsupport::rfc::InstantIn("America/New_York", "19960101");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int64_t to = testsupport::rfc::InstantIn("America/New_York", c.rangeEnd);
        std::vector<int64_t> starts;
        const auto found = byTitle.find(platform::Utf8ToWide(c.name));
        ASSERT_NE(found, byTitle.end());
        for (const Model::Event& e : found->second) {
            EXPECT_FALSE(e.isAllDay);
            EXPECT_EQ(e.endTime - e.startTime, 3600);
            if (e.startTime.GetTime() >= from && e.startTime.GetTime() < to) {
                starts.push_back(e.startTime.GetTime());
            }
        }
        EXPECT_EQ(starts, testsupport::rfc::InstantsIn("America/New_York", c.expected));
    }
}

// A weekly meeting 10:00-11:30 (New York time) whose 9 March occurrence is
// moved (exception named with an http href, as the service's ids are) and
// whose 16 March one is cancelled (https href); and an imported series whose
// uid is not its event id, with a moved occurrence.
TEST_P(RecurringSyncTest, ExceptionsReplaceTheirOccurrencesWhateverTheirReference) {
    const std::string weekly =
        "DTSTART;TZID=America/New_York:20260302T100000\n"
        "DTEND;TZID=America/New_York:20260302T113000\n"
        "RRULE:FREQ=WEEKLY;COUNT=6\n";
    AddSeries("Weekly", weekly, R"(,"eid":"weekly0series0000000000000")");
    server->AddEvent(R"js({"calendar":"hanako.sato@example.com","title":"Weekly (moved)",
        "original_eid":"weekly0series0000000000000","original_href":"http",
        "original_start":"2026-03-09T10:00:00.000-04:00",
        "start":"2026-03-10T15:00:00.000-04:00","end":"2026-03-10T16:30:00.000-04:00"})js");
    server->AddEvent(R"js({"calendar":"hanako.sato@example.com","title":"Weekly",
        "status":"canceled","original_eid":"weekly0series0000000000000",
        "original_href":"https","original_start":"2026-03-16T10:00:00.000-04:00",
        "start":"2026-03-16T10:00:00.000-04:00","end":"2026-03-16T11:30:00.000-04:00"})js");
    AddSeries("Imported",
              "DTSTART;TZID=America/New_York:20260303T090000\n"
              "DTEND;TZID=America/New_York:20260303T100000\n"
              "RRULE:FREQ=WEEKLY;COUNT=3\n",
              R"(,"eid":"imported0series00000000000","uid":"3f1c-77@calendar.example.org")");
    server->AddEvent(R"js({"calendar":"hanako.sato@example.com","title":"Imported (moved)",
        "original_eid":"imported0series00000000000","original_href":"id",
        "original_start":"2026-03-10T09:00:00.000-04:00",
        "start":"2026-03-11T09:00:00.000-04:00","end":"2026-03-11T10:00:00.000-04:00"})js");
    Start();
    DownloadEverything();

    // Showing March shows the start of April too (two months).
    const auto byTitle = EventsByTitle(2026, 3, 2);
    auto ny = [](const char* wall) {
        return testsupport::rfc::InstantIn("America/New_York", wall);
    };
    std::vector<int64_t> weeklyStarts;
    for (const Model::Event& e : byTitle.at(L"Weekly")) {
        weeklyStarts.push_back(e.startTime.GetTime());
        EXPECT_EQ(e.endTime - e.startTime, 90 * 60);
        EXPECT_EQ(e.recurrenceType, googledata::RECURRENCE_ORIGINAL);
    }
    EXPECT_EQ(weeklyStarts, (std::vector<int64_t>{ny("20260302T100000"), ny("20260323T100000"),
                                                  ny("20260330T100000"), ny("20260406T100000")}));
    ASSERT_EQ(byTitle.at(L"Weekly (moved)").size(), 1u);
    EXPECT_EQ(byTitle.at(L"Weekly (moved)")[0].startTime.GetTime(), ny("20260310T150000"));

    std::vector<int64_t> importedStarts;
    for (const Model::Event& e : byTitle.at(L"Imported")) {
        importedStarts.push_back(e.startTime.GetTime());
    }
    EXPECT_EQ(importedStarts, (std::vector<int64_t>{ny("20260303T090000"), ny("20260317T090000")}));
    ASSERT_EQ(byTitle.at(L"Imported (moved)").size(), 1u);
    EXPECT_EQ(byTitle.at(L"Imported (moved)")[0].startTime.GetTime(), ny("20260311T090000"));

    // The series record itself carries its first occurrence's times.
    std::list<googledata::PrimitiveEvent> originals;
    ASSERT_TRUE(manager->Database().GetRecurrenceOriginalEvents(feed, originals));
    for (const auto& s : originals) {
        if (s.title == "Weekly") {
            const Model::Event master = Model::Event::FromPrimitive(s, StoredCalendar());
            EXPECT_EQ(master.startTime.GetTime(), ny("20260302T100000"));
            EXPECT_EQ(master.endTime.GetTime(), ny("20260302T113000"));
            EXPECT_FALSE(master.isAllDay);
        }
    }
}

// A birthday every 4 July (VALUE=DATE) lands on 4 July wherever the user is,
// also west of UTC; an all-day exception written as a date cancels its year.
TEST_P(RecurringSyncTest, AllDayYearlySeriesLandsOnItsOwnDate) {
    AddSeries("Birthday",
              "DTSTART;VALUE=DATE:20200704\nDTEND;VALUE=DATE:20200705\nRRULE:FREQ=YEARLY\n",
              R"(,"eid":"birthday0series00000000000")");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Birthday",
        "status":"canceled","original_eid":"birthday0series00000000000",
        "original_start":"2027-07-04","start":"2027-07-04","end":"2027-07-05"})");
    Start();
    DownloadEverything();

    for (int year : {2026, 2027, 2028}) {
        SCOPED_TRACE(year);
        const auto byTitle = EventsByTitle(year, 7, 1);
        const auto found = byTitle.find(L"Birthday");
        if (year == 2027) {
            EXPECT_EQ(found, byTitle.end());
            continue;
        }
        ASSERT_NE(found, byTitle.end());
        ASSERT_EQ(found->second.size(), 1u);
        const Model::Event& e = found->second[0];
        EXPECT_TRUE(e.isAllDay);
        EXPECT_EQ(e.startTime, CTime(year, 7, 4, 0, 0, 0));
        EXPECT_EQ(e.endTime, CTime(year, 7, 5, 0, 0, 0));
        EXPECT_TRUE(e.OccursOnDay(CTime(year, 7, 4, 12, 0, 0)));
        EXPECT_FALSE(e.OccursOnDay(CTime(year, 7, 3, 12, 0, 0)));
    }
}

// A weekly Monday 10:00 series of Los Angeles (with the zone block the
// service sends) moves by an hour on the user's clock when Los Angeles
// changes to and from daylight saving, and only then.
TEST_P(RecurringSyncTest, LosAngelesSeriesFollowsItsOwnDaylightSaving) {
    AddSeries("Standup",
              "DTSTART;TZID=America/Los_Angeles:20260105T100000\n"
              "DTEND;TZID=America/Los_Angeles:20260105T103000\n"
              "RRULE:FREQ=WEEKLY;BYDAY=MO\n" +
                  kLosAngelesZone);
    Start();
    DownloadEverything();

    const auto byTitle = EventsByTitle(2026, 1, 12);
    const std::vector<Model::Event>& standups = byTitle.at(L"Standup");
    ASSERT_GE(standups.size(), 52u);
    const int64_t springChange = testsupport::rfc::InstantIn("UTC", "20260308T100000");
    const int64_t autumnChange = testsupport::rfc::InstantIn("UTC", "20261101T090000");
    for (const Model::Event& e : standups) {
        // 10:00 PST is 18:00 UTC, 10:00 PDT 17:00 UTC.
        const bool daylight =
            e.startTime.GetTime() > springChange && e.startTime.GetTime() < autumnChange;
        std::tm utc{};
        e.startTime.GetGmtTm(utc);
        EXPECT_EQ(utc.tm_hour, daylight ? 17 : 18) << e.startTime.FormatGmt("%F %T");
        EXPECT_EQ(utc.tm_wday, 1);
        EXPECT_EQ(e.endTime - e.startTime, 1800);
    }
    // The series record: its first occurrence, in the process's local time.
    std::list<googledata::PrimitiveEvent> originals;
    ASSERT_TRUE(manager->Database().GetRecurrenceOriginalEvents(feed, originals));
    ASSERT_EQ(originals.size(), 1u);
    googledata::PrimitiveTime start;
    ASSERT_TRUE(
        googledata::PrimitiveTime::Parse(platform::Utf8ToWide(originals.front().startTime), start));
    EXPECT_EQ(googledata::PrimitiveTime::ToLocalTime(start).GetTime(),
              testsupport::rfc::InstantIn("UTC", "20260105T180000"));
}

INSTANTIATE_TEST_SUITE_P(Zones, RecurringSyncTest,
                         ::testing::Values("Asia/Tokyo", "America/New_York"));

// The upload and updated-min in zones with daylight saving.
class SyncTimeTest : public RecurringSyncTest {};

// An event saved in July in New York reaches the service with -04:00, the
// offset in force then, not the standard -05:00.
TEST_P(SyncTimeTest, SummerEventReachesTheServiceWithTheDaylightOffset) {
    Start();
    DownloadEverything();
    server->ClearRequests();
    Model::Event e;
    e.calendarURI = platform::Utf8ToWide(feed);
    e.title = L"Summer";
    e.startTime = CTime(2026, 7, 10, 10, 0, 0);
    e.endTime = CTime(2026, 7, 10, 11, 30, 0);
    manager->AddEvent(e);
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; i < server->RequestCount(); ++i) {
            if (server->Request(i).method == "POST") {
                return true;
            }
        }
        return false;
    }));
    ASSERT_TRUE(WaitIdle());
    std::string body;
    for (int i = 0; i < server->RequestCount(); ++i) {
        const auto r = server->Request(i);
        if (r.method == "POST" && r.body.find("<entry") != std::string::npos) {
            body = r.body;
        }
    }
    if (std::string(GetParam()) == "America/New_York") {
        EXPECT_NE(body.find("startTime='2026-07-10T10:00:00.000-04:00'"), std::string::npos)
            << body;
        EXPECT_NE(body.find("endTime='2026-07-10T11:30:00.000-04:00'"), std::string::npos);
    } else {
        EXPECT_NE(body.find("startTime='2026-07-10T10:00:00.000+10:00'"), std::string::npos)
            << body;
    }
    // The service's copy comes back at the same instant.
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 7, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().startTime, CTime(2026, 7, 10, 10, 0, 0));
}

// A sync stores the service's own time of the download as the next
// updated-min; an entry changed one second after that download is fetched by
// the next sync, in winter and in summer (Sydney's summer is January).
TEST_P(SyncTimeTest, NextSyncFetchesAnEntryChangedJustAfterThePreviousOne) {
    for (const int month : {7, 1}) {
        SCOPED_TRACE(month);
        server->Reset();
        server->AddAccount(kEmail, kPassword);
        feed = server->AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
            "accesslevel":"owner"})");
        poster.Clear();
        const CTime now(2026, month, 10, 12, 0, 0);
        platform::ScopedClock clock([now] { return now.GetTime(); });
        server->SetClock(now.FormatGmt("%Y-%m-%dT%H:%M:%S.000Z"));
        server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Old",
            "start":"2026-05-01T10:00:00.000Z","end":"2026-05-01T11:00:00.000Z"})");
        Start();
        DownloadEverything();

        // What is stored names an instant no later than the service's clock.
        googledata::PrimitiveTime stored;
        ASSERT_TRUE(googledata::PrimitiveTime::Parse(
            platform::Utf8ToWide(StoredCalendar().eventUpdated), stored));
        const CTime storedAt = googledata::PrimitiveTime::ToLocalTime(stored);
        EXPECT_LE(storedAt.GetTime(), now.GetTime() + 10);
        EXPECT_GE(storedAt.GetTime(), now.GetTime() - 600);

        const CTime changed = storedAt + 1;
        server->AddEvent(std::string(R"({"calendar":"hanako.sato@example.com","title":"Changed",
            "start":"2026-05-02T10:00:00.000Z","end":"2026-05-02T11:00:00.000Z","updated":)") +
                         StandinServer::Quote(changed.FormatGmt("%Y-%m-%dT%H:%M:%S.000Z")) + "}");
        const size_t before = Count(Controller::NOTIFY_EVENT_UPDATED);
        manager->SyncEvent(platform::Utf8ToWide(feed));
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == before + 1; }));
        ASSERT_TRUE(WaitIdle());
        std::list<Model::Event> events;
        ASSERT_TRUE(manager->GetEvents(events, 2026, 5, 1));
        std::vector<std::wstring> titles;
        for (const auto& e : events) {
            titles.push_back(e.title);
        }
        std::sort(titles.begin(), titles.end());
        EXPECT_EQ(titles, (std::vector<std::wstring>{L"Changed", L"Old"}));
        manager->Terminate();
        manager.reset();
        std::remove((dir / (std::string(kEmail) + ".db")).c_str());
    }
}

// A service whose clock runs a month ahead of this machine's is not believed:
// the next updated-min is the time of the request, less the usual slack.
TEST_P(SyncTimeTest, FeedTimeFarAheadOfTheMachineIsNotTaken) {
    const CTime now(2026, 7, 10, 12, 0, 0);
    platform::ScopedClock clock([now] { return now.GetTime(); });
    server->SetClock((now + 30 * 86400).FormatGmt("%Y-%m-%dT%H:%M:%S.000Z"));
    Start();
    DownloadEverything();
    googledata::PrimitiveTime stored;
    ASSERT_TRUE(googledata::PrimitiveTime::Parse(
        platform::Utf8ToWide(StoredCalendar().eventUpdated), stored));
    EXPECT_EQ(googledata::PrimitiveTime::ToLocalTime(stored), now - 600);
}

INSTANTIATE_TEST_SUITE_P(Zones, SyncTimeTest,
                         ::testing::Values("America/New_York", "Australia/Sydney"));

}  // namespace
