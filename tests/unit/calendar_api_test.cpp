// GoogleCalendarAPI against the stand-in service: addresses and query texts,
// paging, updated-min, holidays, an event's round trip through POST, the
// feed and PUT, the "<api>" log lines, and the service's failures.
#include "googledata/GoogleCalendarAPI.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/MaintenanceLog.h"
#include "tests/standin/StandinSuite.h"
#include "tests/support/TestSupport.h"

using namespace googledata;
using testsupport::ReadFile;
using testsupport::ScopedTz;
using testsupport::StandinServer;
using testsupport::TempDir;

namespace {

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kPassword = "secret";
constexpr const char* kQuery =
    "showdeleted=true&showhidden=true&singleevents=false&max-results=500";

class CalendarApiTest : public testsupport::StandinSuite<> {
protected:
    void SetUp() override {
        server->Reset();
        server->AddAccount(kEmail, kPassword);
        feed = server->AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
            "color":"#2952A3","accesslevel":"owner","timezone":"Asia/Tokyo"})");
        log.SetFolder(dir.path());
        api = std::make_unique<GoogleCalendarAPI>(&log);
        api->Transport().SetExtraCaFile(server->CaFile());
        api->Transport().SetCommLogPath(dir / "comm.log");
    }

    void Login() {
        std::string response;
        int code = 0;
        ASSERT_TRUE(api->ClientLogin(kEmail, kPassword, server->Base(), response, code));
    }

    std::string LogText() const {
        std::string all;
        for (const auto& f : std::filesystem::directory_iterator(dir.path())) {
            if (f.path().filename().string().rfind("Log", 0) == 0) {
                all += ReadFile(f.path().string());
            }
        }
        return all;
    }

    // The target of the request the stand-in answered (the one after the
    // gsessionid redirect), without the gsessionid.
    std::string AnsweredTarget(int index = -1) {
        std::string target = server->Request(index).target;
        const auto at = target.find("gsessionid=");
        if (at != std::string::npos) {
            target.erase(at - 1);
        }
        return target;
    }

    std::string FeedPath() const { return feed.substr(server->Base().size()); }

    TempDir dir;
    Utility::CMaintenanceLog log;
    std::string feed;
    std::unique_ptr<GoogleCalendarAPI> api;
};

TEST_F(CalendarApiTest, LoginAndCalendarList) {
    server->AddCalendar(R"({"id":"ja.japanese#holiday@group.v.calendar.google.com",
        "title":"日本の祝日","accesslevel":"read","color":"#7A367A"})");
    Login();
    std::vector<PrimitiveCalendar> calendars;
    ASSERT_TRUE(api->GetCalendars(calendars)) << api->GetResponse();
    EXPECT_EQ(AnsweredTarget(), "/calendar/feeds/default/allcalendars/full");
    ASSERT_EQ(calendars.size(), 2u);
    EXPECT_EQ(calendars[0].calendarURI, feed);
    EXPECT_EQ(calendars[0].title, "Hanako Sato");
    EXPECT_EQ(calendars[0].color, 0x00A35229);
    EXPECT_EQ(calendars[0].flags, 3);
    EXPECT_TRUE(calendars[1].isHoliday);
    EXPECT_EQ(calendars[1].flags, 1);
    EXPECT_NE(LogText().find("[info] <api> GetCalendars\n"), std::string::npos);
}

TEST_F(CalendarApiTest, WrongPasswordAndExpiredToken) {
    std::string response;
    int code = 0;
    EXPECT_FALSE(api->ClientLogin(kEmail, "wrong", server->Base(), response, code));
    EXPECT_EQ(code, 403);
    EXPECT_EQ(response, "Error=BadAuthentication\n");

    Login();
    server->ArmFault(R"({"kind":"401"})");
    std::vector<PrimitiveCalendar> calendars;
    EXPECT_FALSE(api->GetCalendars(calendars));
    EXPECT_EQ(api->GetHttpCode(), 401);
    EXPECT_NE(api->GetResponse().find("Authorization required"), std::string::npos);
    EXPECT_NE(LogText().find("[info] [http error] code:401 <HTML>"), std::string::npos);
    Login();
    EXPECT_TRUE(api->GetCalendars(calendars));
}

TEST_F(CalendarApiTest, AllEventsPagedBy500) {
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Event","count":1100,
        "start":"2011-05-01T10:00:00.000+09:00","end":"2011-05-01T11:00:00.000+09:00",
        "reminders":[["alert",10]]})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Gone","status":"canceled",
        "start":"2011-05-02","end":"2011-05-03"})");
    Login();
    std::vector<PrimitiveEvent> all;
    std::vector<PrimitiveEvent> page;
    std::string next;
    int startIndex = 0;
    int total = 0;
    ASSERT_TRUE(api->GetAllEvents(feed, page, next, startIndex, total));
    EXPECT_EQ(AnsweredTarget(), FeedPath() + "?" + kQuery);
    EXPECT_EQ(page.size(), 500u);
    EXPECT_EQ(startIndex, 1);
    EXPECT_EQ(total, 1101);
    all.insert(all.end(), page.begin(), page.end());
    int pages = 1;
    while (!next.empty()) {
        const std::string link = next;
        ASSERT_NE(link.find("start-index="), std::string::npos);
        ASSERT_TRUE(api->GetAllEvents(link, page, next, startIndex, total));
        EXPECT_EQ(server->Base() + AnsweredTarget(), link);  // sent as it was handed back
        all.insert(all.end(), page.begin(), page.end());
        ++pages;
    }
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(startIndex, 1001);
    ASSERT_EQ(all.size(), 1101u);
    EXPECT_EQ(all[0].title, "Event 1");
    EXPECT_EQ(all[1099].title, "Event 1100");
    EXPECT_EQ(all[1100].eventStatus, 3);
    ASSERT_EQ(all[0].reminders.size(), 1u);
    EXPECT_NE(LogText().find("[info] <api> GetAllEvents: cal:"), std::string::npos);
}

TEST_F(CalendarApiTest, EventUpdatesSinceAndBeyondHorizon) {
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"old",
        "updated":"2011-04-30T00:00:00.000Z","start":"2011-05-01","end":"2011-05-02"})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"new",
        "updated":"2011-05-01T02:00:00.000Z","start":"2011-05-01","end":"2011-05-02"})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"deleted",
        "status":"canceled","updated":"2011-05-01T03:00:00.000Z","start":"2011-05-01",
        "end":"2011-05-02"})");
    Login();
    PrimitiveTime since;
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T10:00:00.000+09:00", since));
    std::vector<PrimitiveEvent> events;
    std::string next = "stale";
    ASSERT_TRUE(api->GetEventUpdates(feed, since, events, next)) << api->GetResponse();
    EXPECT_EQ(next, "");
    EXPECT_EQ(AnsweredTarget(),
              FeedPath() + "?updated-min=2011-05-01T10:00:00.000%2b09:00&" + kQuery);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].title, "new");
    EXPECT_EQ(events[1].eventStatus, 3);
    EXPECT_NE(LogText().find("<api> GetEventUpdates: cal:"), std::string::npos);
    EXPECT_NE(LogText().find("2011-05-01T10:00:00.000+09:00\n"), std::string::npos);

    server->SetHorizon("2011-05-02T00:00:00.000Z");
    EXPECT_FALSE(api->GetEventUpdates(feed, since, events, next));
    EXPECT_EQ(api->GetHttpCode(), 410);
    EXPECT_NE(LogText().find("[http error] code:410 The value of updated-min"), std::string::npos);
}

TEST_F(CalendarApiTest, HolidaysFromJanuaryToDecemberFirst) {
    const std::string holidayId = "ja.japanese#holiday@group.v.calendar.google.com";
    const std::string publicFeed = server->PublicFeed(holidayId);
    for (const char* date : {"2010-12-31", "2011-01-01", "2012-11-23", "2012-12-23"}) {
        server->AddEvent("{\"calendar\":" + StandinServer::Quote(holidayId) + ",\"title\":\"H " +
                         date + "\",\"start\":\"" + date + "\",\"end\":\"" + date + "\"}");
    }
    Login();
    struct Row {
        const char* zone;
        const char* offset;
    };
    const std::array<Row, 2> rows{{{"Asia/Tokyo", "%2b09:00"}, {"America/New_York", "%2d05:00"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.zone);
        ScopedTz tz(row.zone);
        std::vector<PrimitiveHoliday> holidays;
        ASSERT_TRUE(api->GetHolidays(publicFeed, 2011, 2012, holidays)) << api->GetResponse();
        EXPECT_EQ(AnsweredTarget(), publicFeed.substr(server->Base().size()) +
                                        "?start-min=2011-01-01T00:00:00" + row.offset +
                                        "&start-max=2012-12-01T00:00:00" + row.offset +
                                        "&max-results=500");
        ASSERT_EQ(holidays.size(), 2u);
        EXPECT_EQ(holidays[0].date, "2011-01-01");
        EXPECT_EQ(holidays[1].date, "2012-11-23");
        EXPECT_EQ(holidays[1].status, 2);
    }
    EXPECT_NE(LogText().find("<api> GetHolidays: cal:"), std::string::npos);
    EXPECT_NE(LogText().find(" (2011,2012)"), std::string::npos);
}

// An event written for POST, read back from the feed and rewritten for PUT
// keeps its fields; the service's own fields come back from it.
TEST_F(CalendarApiTest, EventRoundTripThroughPostFeedAndPut) {
    Login();
    PrimitiveEvent e;
    e.localEventID = "0A1B2C3D-local";
    e.title = "Lunch & talk <team>";
    e.content = "Bring \"the\" slides; it's Bob's turn";
    e.place = "Bob's office";
    e.startTime = "2011-05-10T12:00:00.000+09:00";
    e.endTime = "2011-05-10T13:00:00.000+09:00";
    e.eventStatus = 1;
    e.transparency = 2;
    e.flags = 2 | 8;
    e.reminders = {{"alert", 10, false}, {"email", 30, false}};
    server->ClearRequests();
    ASSERT_TRUE(api->AddEvent(feed, e)) << api->GetResponse();
    EXPECT_EQ(api->GetHttpCode(), 201);
    EXPECT_EQ(server->RequestCount(), 2);  // the 302, then the same POST again
    EXPECT_EQ(server->Request(0).body, server->Request(1).body);
    EXPECT_NE(LogText().find("<api> AddEvent: 2011-05-10T12:00:00.000+09:00  cal:"),
              std::string::npos);
    EXPECT_NE(LogText().find(" lid:0A1B2C3D-local seq:0"), std::string::npos);
    EXPECT_NE(LogText().find("<api> add-event result (ret,code,speed) (1,201,"), std::string::npos);

    std::vector<PrimitiveEvent> events;
    std::string next;
    int startIndex = 0;
    int total = 0;
    ASSERT_TRUE(api->GetAllEvents(feed, events, next, startIndex, total));
    ASSERT_EQ(events.size(), 1u);
    PrimitiveEvent got = events[0];
    EXPECT_FALSE(got.id.empty());
    EXPECT_NE(got.uid.find("@google.com"), std::string::npos);
    EXPECT_EQ(got.editURI.rfind(feed + "/", 0), 0u);
    EXPECT_FALSE(got.published.empty());
    EXPECT_EQ(got.sequence, 0);
    EXPECT_EQ(got.title, e.title);
    EXPECT_EQ(got.content, e.content);
    EXPECT_EQ(got.place, e.place);
    EXPECT_EQ(got.startTime, e.startTime);
    EXPECT_EQ(got.endTime, e.endTime);
    EXPECT_EQ(got.eventStatus, 1);
    EXPECT_EQ(got.transparency, 2);
    EXPECT_EQ(got.flags, 10);
    ASSERT_EQ(got.reminders.size(), 2u);
    EXPECT_EQ(got.reminders[1].method, "email");
    EXPECT_EQ(got.reminders[1].minutesBeforeAlarm, 30);

    got.localEventID = e.localEventID;
    got.title = "Lunch moved";
    got.place = "Café \"Ōmori\"";
    got.startTime = "2011-05-11T12:00:00.000+09:00";
    got.endTime = "2011-05-11T13:30:00.000+09:00";
    got.eventStatus = 2;
    got.reminders = {{"alert", 5, false}};
    server->ClearRequests();
    ASSERT_TRUE(api->UpdateEvent(got)) << api->GetResponse();
    EXPECT_EQ(server->RequestCount(), 2);
    const auto put = server->Request(1);
    EXPECT_EQ(put.method, "PUT");
    EXPECT_EQ(put.ClientHeaderLines(),
              (std::vector<std::string>{"GData-Version: 2", api->Transport().GetAuthHeader(),
                                        "Content-Type: application/atom+xml; charset=UTF-8",
                                        "If-Match: *"}));
    EXPECT_NE(LogText().find("<api> updating,  cal:"), std::string::npos);
    EXPECT_NE(
        LogText().find(" local:0A1B2C3D id:" + got.id.substr(got.id.size() - 8) + " seq:0 st:2"),
        std::string::npos);

    ASSERT_TRUE(api->GetAllEvents(feed, events, next, startIndex, total));
    ASSERT_EQ(events.size(), 1u);
    const PrimitiveEvent& changed = events[0];
    EXPECT_EQ(changed.id, got.id);
    EXPECT_EQ(changed.title, "Lunch moved");
    EXPECT_EQ(changed.place, got.place);
    EXPECT_EQ(changed.content, e.content);
    EXPECT_EQ(changed.startTime, got.startTime);
    EXPECT_EQ(changed.endTime, got.endTime);
    EXPECT_EQ(changed.eventStatus, 2);
    EXPECT_EQ(changed.sequence, 1);
    ASSERT_EQ(changed.reminders.size(), 1u);
    EXPECT_EQ(changed.reminders[0].minutesBeforeAlarm, 5);
}

TEST_F(CalendarApiTest, AddEventRefusedIsLoggedWithItsNumbers) {
    Login();
    server->ArmFault(
        R"({"kind":"status","code":403,"body":"Forbidden","content_type":"text/plain"})");
    PrimitiveEvent e;
    e.title = "x";
    EXPECT_FALSE(api->AddEvent(feed, e));
    EXPECT_EQ(api->GetHttpCode(), 403);
    EXPECT_NE(LogText().find("[http error] code:403 Forbidden"), std::string::npos);
    EXPECT_NE(LogText().find("<api> add-event result (ret,code,speed) (0,403,"), std::string::npos);
}

TEST_F(CalendarApiTest, UpdateWithUnreadableEntrySendsNothing) {
    Login();
    PrimitiveEvent e;
    e.editURI = feed + "/nosuchevent";
    e.xml = "<entry><title>only a title</title></entry>";
    server->ClearRequests();
    EXPECT_FALSE(api->UpdateEvent(e));
    EXPECT_EQ(server->RequestCount(), 0);
    EXPECT_NE(LogText().find("[info] generate xml failed"), std::string::npos);
}

TEST_F(CalendarApiTest, ServiceFailuresAreBoundedAndLogged) {
    Login();
    api->Transport().SetTimeout(2);  // stands for the 60 seconds of real use
    struct Row {
        const char* name;
        std::string fault;
        int code;
    };
    const std::string page = "<HTML><HEAD><TITLE>Moved</TITLE></HEAD><BODY>x</BODY></HTML>";
    const std::array<Row, 6> rows{{
        {"500", R"({"kind":"500"})", 500},
        {"cut", R"({"kind":"cut"})", 200},
        {"never answers", R"({"kind":"slow","seconds":600})", 0},
        {"html page", R"({"kind":"status","code":200,"body":")" + page + R"("})", 200},
        {"empty body", R"({"kind":"status","code":200,"body":""})", 200},
        {"plain text",
         R"({"kind":"status","code":200,"body":"Error=ServiceUnavailable","content_type":"text/plain"})",
         200},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server->ArmFault(row.fault);
        std::vector<PrimitiveEvent> events;
        std::string next;
        int startIndex = 0;
        int total = 0;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(api->GetAllEvents(feed, events, next, startIndex, total));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        EXPECT_EQ(api->GetHttpCode(), row.code);
        EXPECT_TRUE(events.empty());
        server->ClearFaults();
    }
    EXPECT_NE(LogText().find("[http error] code:0 Operation timed out"), std::string::npos);
    EXPECT_NE(LogText().find("[ERR!] ParseEvents"), std::string::npos);
}

TEST(CalendarTag, Table) {
    const std::array<std::pair<std::string, std::string>, 4> rows{{
        {"https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full",
         " cal:hana"},
        {std::string(40, 'x'), " cal:"},
        {std::string(41, 'x'), " cal:xxx"},
        {"", " cal:"},
    }};
    for (const auto& [url, tag] : rows) {
        EXPECT_EQ(GoogleCalendarAPI::CalendarTag(url), tag) << url;
    }
}

TEST(CalendarAddresses, FollowTheServiceBase) {
    GoogleCalendarAPI api(nullptr);
    EXPECT_EQ(api.CalendarListUrl(),
              "https://www.google.com/calendar/feeds/default/allcalendars/full");
    api.SetServiceBase("http://calendar.example.org:8443/");
    EXPECT_EQ(api.CalendarListUrl(),
              "https://calendar.example.org:8443/calendar/feeds/default/allcalendars/full");
    EXPECT_EQ(api.PublicFeedUrl("ja.japanese#holiday@group.v.calendar.google.com"),
              "https://calendar.example.org:8443/calendar/feeds/"
              "ja.japanese%23holiday%40group.v.calendar.google.com/public/full");
}

}  // namespace
