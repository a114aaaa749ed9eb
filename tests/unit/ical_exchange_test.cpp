// iCalendar export and import through the calendar manager on a real
// local-mode database, in Tokyo and in New York: the export of a fixture
// (singles, all-day, a New York series with a moved and a cancelled
// occurrence, a cancelled event, reminders) read back with libical and
// against expected lines; files written the way common calendar programs
// write them; a UID already there updated, not duplicated; broken files
// refused with their line and the database unchanged; a transaction whose
// body fails keeps nothing; and the round trip export, import into an empty
// database, export compared through libical.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controller/CalendarManager.h"
#include "controller/IcalExchange.h"
#include "googledata/CalendarEventDB.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/support/TestSupport.h"

using googledata::PrimitiveEvent;
using testsupport::ReadFile;
using testsupport::ScopedTz;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char* const kLocal = "localEvent";

// A local-mode data folder with its database and the manager over it.
class LocalStore {
public:
    LocalStore() {
        platform::WritePrivateProfileString("general", "calendar_mode", "2", dir_ / "config.ini");
        manager_ = std::make_unique<Controller::CCalendarManager>(dir_ / "config.ini", dir_.path());
        manager_->SetLoginUrl(L"https://127.0.0.1:9");
        manager_->Initialize(L"local", L"", nullptr);
        manager_->CreateLocalDB(L"https://127.0.0.1:9/holidays/full");
    }
    ~LocalStore() { manager_->Terminate(); }
    Controller::CCalendarManager& manager() { return *manager_; }
    googledata::CalendarEventDB& db() { return manager_->Database(); }
    std::string Path(const std::string& name) const { return dir_ / name; }

    void Add(PrimitiveEvent e) { ASSERT_TRUE(db().AddEvent(kLocal, e, false)); }
    std::list<PrimitiveEvent> Events() {
        std::list<PrimitiveEvent> events;
        EXPECT_TRUE(db().GetAllEvents(kLocal, events));
        return events;
    }
    // The file an export writes, as text.
    std::string Export(const std::string& name = "out.ics") {
        const auto result = manager().ExportIcalendar(Path(name), "");
        EXPECT_TRUE(result.ok) << result.problem.message;
        return ReadFile(Path(name));
    }
    Controller::IcalFileResult Import(const std::string& text) {
        WriteFile(Path("in.ics"), text);
        return manager().ImportIcalendar(Path("in.ics"), "");
    }

private:
    TempDir dir_;
    std::unique_ptr<Controller::CCalendarManager> manager_;
};

PrimitiveEvent Event(const std::string& title, const std::string& start, const std::string& end) {
    PrimitiveEvent e;
    e.title = title;
    e.startTime = start;
    e.endTime = end;
    e.eventStatus = 2;
    return e;
}

const char* const kNewYorkZone =
    "BEGIN:VTIMEZONE\nTZID:America/New_York\nBEGIN:DAYLIGHT\nTZOFFSETFROM:-0500\n"
    "TZOFFSETTO:-0400\nTZNAME:EDT\nDTSTART:19700308T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\nEND:DAYLIGHT\nBEGIN:STANDARD\n"
    "TZOFFSETFROM:-0400\nTZOFFSETTO:-0500\nTZNAME:EST\nDTSTART:19701101T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\nEND:STANDARD\nEND:VTIMEZONE\n";

// The fixture: what a synced account calendar and local edits leave.
void FillFixture(LocalStore& store) {
    PrimitiveEvent meeting =
        Event("Meeting", "2026-01-15T10:00:00.000+09:00", "2026-01-15T11:30:00.000+09:00");
    meeting.uid = "meeting@example.com";
    meeting.content = "Room 4; bring the plan, please";
    meeting.place = "Tokyo";
    meeting.reminders = {{"alert", 15, false}, {"email", 1440, false}};
    store.Add(meeting);
    store.Add(Event("Holiday trip", "2026-01-20", "2026-01-23"));  // no UID of its own
    PrimitiveEvent dropped =
        Event("Dropped", "2026-01-16T09:00:00.000+09:00", "2026-01-16T10:00:00.000+09:00");
    dropped.uid = "dropped@example.com";
    dropped.eventStatus = 3;
    store.Add(dropped);

    PrimitiveEvent series;
    series.title = "Stand-up";
    series.uid = "standup@example.com";
    series.eventStatus = 2;
    series.recurrenceType = 1;
    series.recurrence = std::string(
                            "DTSTART;TZID=America/New_York:20260105T100000\n"
                            "DTEND;TZID=America/New_York:20260105T101500\n"
                            "RRULE:FREQ=WEEKLY;COUNT=10\n"
                            "EXDATE;TZID=America/New_York:20260202T100000\n") +
                        kNewYorkZone;
    store.Add(series);
    const std::string key = Controller::ExceptionKey(kLocal, series.uid);
    // 2026-01-12 10:00 New York = 2026-01-13 00:00 Tokyo, moved an hour later.
    PrimitiveEvent moved =
        Event("Stand-up (late)", "2026-01-13T01:00:00.000+09:00", "2026-01-13T01:15:00.000+09:00");
    moved.uid = series.uid;
    moved.recurrenceType = 2;
    moved.originalEvent = key;
    moved.originalStartTime = "2026-01-13T00:00:00.000+09:00";
    store.Add(moved);
    PrimitiveEvent cancelled = moved;
    cancelled.title = "Stand-up";
    cancelled.eventStatus = 3;
    cancelled.originalStartTime = "2026-01-20T00:00:00.000+09:00";  // 2026-01-19 New York
    store.Add(cancelled);
}

struct Parsed {
    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> root{nullptr, icalcomponent_free};
};

Parsed Parse(const std::string& text) {
    Parsed p;
    p.root.reset(icalparser_parse_string(text.c_str()));
    return p;
}

std::vector<icalcomponent*> Components(icalcomponent* root, icalcomponent_kind kind) {
    std::vector<icalcomponent*> out;
    for (icalcomponent* c = icalcomponent_get_first_component(root, kind); c != nullptr;
         c = icalcomponent_get_next_component(root, kind)) {
        out.push_back(c);
    }
    return out;
}

// Every VEVENT without its DTSTAMP, as libical writes it, sorted; and the
// zones by TZID.
std::vector<std::string> NormalEvents(const std::string& text) {
    Parsed p = Parse(text);
    std::vector<std::string> out;
    if (!p.root) {
        return out;
    }
    for (icalcomponent* v : Components(p.root.get(), ICAL_VEVENT_COMPONENT)) {
        icalcomponent* copy = icalcomponent_new_clone(v);
        while (icalproperty* stamp =
                   icalcomponent_get_first_property(copy, ICAL_DTSTAMP_PROPERTY)) {
            icalcomponent_remove_property(copy, stamp);
            icalproperty_free(stamp);
        }
        char* s = icalcomponent_as_ical_string_r(copy);
        out.emplace_back(s);
        std::free(s);
        icalcomponent_free(copy);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::set<std::string> ZoneIds(const std::string& text) {
    Parsed p = Parse(text);
    std::set<std::string> ids;
    for (icalcomponent* z : Components(p.root.get(), ICAL_VTIMEZONE_COMPONENT)) {
        ids.insert(icalproperty_get_tzid(icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY)));
    }
    return ids;
}

// The unfolded lines of a text.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line[0] == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
        pos = end + 2;
    }
    return lines;
}

const PrimitiveEvent* Find(const std::list<PrimitiveEvent>& events, const std::string& title) {
    for (const auto& e : events) {
        if (e.title == title) {
            return &e;
        }
    }
    return nullptr;
}

class IcalExchangeTest : public ::testing::TestWithParam<const char*> {
protected:
    ScopedTz tz_{GetParam()};
};

TEST_P(IcalExchangeTest, ExportWritesSeriesOverridesAllDayAlarmsAndZones) {
    LocalStore store;
    FillFixture(store);
    const std::string text = store.Export();
    const bool tokyo = std::string(GetParam()) == "Asia/Tokyo";

    Parsed parsed = Parse(text);
    ASSERT_TRUE(parsed.root);
    EXPECT_EQ(icalcomponent_count_errors(parsed.root.get()), 0);
    // Meeting, trip, the series and its moved occurrence; the cancelled
    // event is left out and the cancelled occurrence is an EXDATE.
    const auto events = Components(parsed.root.get(), ICAL_VEVENT_COMPONENT);
    EXPECT_EQ(events.size(), 4u);
    EXPECT_EQ(text.find("Dropped"), std::string::npos);
    const std::string local = GetParam();
    EXPECT_EQ(ZoneIds(text), (std::set<std::string>{local, "America/New_York"}));
    for (icalcomponent* v : events) {
        const icaltimetype start = icalcomponent_get_dtstart(v);
        EXPECT_TRUE(start.is_date || start.zone != nullptr) << icalcomponent_get_summary(v);
    }

    const std::vector<std::string> lines = Lines(text);
    auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("BEGIN:VCALENDAR") && has("VERSION:2.0") && has("END:VCALENDAR"));
    EXPECT_TRUE(has("DTSTART;VALUE=DATE:20260120"));
    EXPECT_TRUE(has("DTEND;VALUE=DATE:20260123"));
    EXPECT_TRUE(has(tokyo ? "DTSTART;TZID=Asia/Tokyo:20260115T100000"
                          : "DTSTART;TZID=America/New_York:20260114T200000"));
    EXPECT_TRUE(has("UID:meeting@example.com"));
    EXPECT_TRUE(has("DESCRIPTION:Room 4\\; bring the plan\\, please"));
    EXPECT_TRUE(has("LOCATION:Tokyo"));
    EXPECT_TRUE(has("TRIGGER:-PT15M"));
    EXPECT_TRUE(has("TRIGGER:-P1D"));
    EXPECT_TRUE(has("X-DAYMARK-METHOD:email"));
    EXPECT_TRUE(has("DTSTART;TZID=America/New_York:20260105T100000"));
    EXPECT_TRUE(has("RRULE:FREQ=WEEKLY;COUNT=10"));
    EXPECT_TRUE(has("EXDATE;TZID=America/New_York:20260202T100000"));
    EXPECT_TRUE(has("EXDATE;TZID=America/New_York:20260119T100000"));
    EXPECT_TRUE(has("RECURRENCE-ID;TZID=America/New_York:20260112T100000"));
    EXPECT_TRUE(has("SUMMARY:Stand-up (late)"));
    // The override carries its series' UID; the trip gets one made of its id.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "UID:standup@example.com"), 2);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.size() > 20 && l.rfind("UID:", 0) == 0 &&
                                       l.find("@daymark.local") != std::string::npos;
                            }),
              1);
}

TEST_P(IcalExchangeTest, RoundTripThroughAnEmptyDatabaseGivesTheSameEvents) {
    LocalStore first;
    FillFixture(first);
    const std::string exported = first.Export();

    LocalStore second;
    WriteFile(second.Path("in.ics"), exported);
    const auto result = second.manager().ImportIcalendar(second.Path("in.ics"), "");
    ASSERT_TRUE(result.ok) << result.problem.line << " " << result.problem.message;
    EXPECT_EQ(result.imported.added, 4);
    const std::string again = second.Export();

    EXPECT_EQ(ZoneIds(exported), ZoneIds(again));
    const auto a = NormalEvents(exported);
    const auto b = NormalEvents(again);
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a, b);

    // The imported series still shows the moved occurrence in place of the
    // original one and hides the cancelled one.
    std::list<Model::Event> month;
    ASSERT_TRUE(second.manager().GetEvents(month, 2026, 1, 1));
    int standups = 0, late = 0;
    for (const auto& e : month) {
        standups += e.title == L"Stand-up";
        late += e.title == L"Stand-up (late)";
    }
    EXPECT_EQ(standups, 2);  // 5th and 26th; 12th moved, 19th cancelled
    EXPECT_EQ(late, 1);
}

// Files as common calendar programs write them.
TEST_P(IcalExchangeTest, ImportReadsFilesOfCommonCalendarPrograms) {
    LocalStore store;
    const std::string file =
        "\xEF\xBB\xBF"
        "BEGIN:VCALENDAR\r\n"
        "VERSION:2.0\r\n"
        "PRODID:-//Example Corp.//Calendar 16.0//EN\r\n"
        "X-WR-CALNAME:Work\r\n"
        "X-MS-OLK-FORCEINSPECTOROPEN:TRUE\r\n"
        "BEGIN:VEVENT\r\n"
        "UID:040000008200E00074C5B7101A82E0080000000\r\n"
        " 0D0E4C2D7@example.com\r\n"
        "DTSTAMP:20260101T000000Z\r\n"
        "DTSTART;TZID=Europe/Berlin:20260310T090000\r\n"
        "DURATION:PT1H30M\r\n"
        "SUMMARY:A very long title that a program folds because it runs past seventy-f\r\n"
        "\tive octets\r\n"
        "X-MICROSOFT-CDO-BUSYSTATUS:BUSY\r\n"
        "BEGIN:VALARM\r\n"
        "ACTION:DISPLAY\r\n"
        "DESCRIPTION:Reminder\r\n"
        "TRIGGER;RELATED=START:-PT10M\r\n"
        "END:VALARM\r\n"
        "END:VEVENT\r\n"
        "BEGIN:VEVENT\r\n"
        "UID:floating@example.com\r\n"
        "DTSTART:20260311T080000\r\n"
        "DTEND:20260311T083000\r\n"
        "SUMMARY:Floating\r\n"
        "END:VEVENT\r\n"
        "\r\n"
        "BEGIN:VEVENT\n"
        "UID:allday@example.com\n"
        "DTSTART;VALUE=DATE:20260312\n"
        "SUMMARY:All day\n"
        "TRANSP:TRANSPARENT\n"
        "END:VEVENT\n"
        "BEGIN:VEVENT\r\n"
        "UID:utc@example.com\r\n"
        "DTSTART:20260313T120000Z\r\n"
        "DTEND:20260313T130000Z\r\n"
        "SUMMARY:UTC\r\n"
        "END:VEVENT\r\n"
        "BEGIN:VTODO\r\n"
        "UID:todo@example.com\r\n"
        "SUMMARY:Not an event\r\n"
        "END:VTODO\r\n"
        "END:VCALENDAR\r\n";
    const auto result = store.Import(file);
    ASSERT_TRUE(result.ok) << result.problem.line << " " << result.problem.message;
    EXPECT_EQ(result.imported.added, 4);

    const auto events = store.Events();
    ASSERT_EQ(events.size(), 4u);
    const bool tokyo = std::string(GetParam()) == "Asia/Tokyo";
    const PrimitiveEvent* berlin = Find(
        events, "A very long title that a program folds because it runs past seventy-five octets");
    ASSERT_NE(berlin, nullptr);
    EXPECT_EQ(berlin->uid, "040000008200E00074C5B7101A82E00800000000D0E4C2D7@example.com");
    // 09:00 in Berlin (UTC+1 in March before the change) = 08:00 UTC.
    EXPECT_EQ(berlin->startTime,
              tokyo ? "2026-03-10T17:00:00.000+09:00" : "2026-03-10T04:00:00.000-04:00");
    EXPECT_EQ(berlin->endTime,
              tokyo ? "2026-03-10T18:30:00.000+09:00" : "2026-03-10T05:30:00.000-04:00");
    ASSERT_EQ(berlin->reminders.size(), 1u);
    EXPECT_EQ(berlin->reminders[0].minutesBeforeAlarm, 10);
    EXPECT_EQ(berlin->reminders[0].method, "alert");
    EXPECT_FALSE(berlin->isSynced);

    const PrimitiveEvent* floating = Find(events, "Floating");
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ(floating->startTime,
              tokyo ? "2026-03-11T08:00:00.000+09:00" : "2026-03-11T08:00:00.000-04:00");
    const PrimitiveEvent* allDay = Find(events, "All day");
    ASSERT_NE(allDay, nullptr);
    EXPECT_EQ(allDay->startTime, "2026-03-12");
    EXPECT_EQ(allDay->endTime, "2026-03-13");
    EXPECT_EQ(allDay->transparency, 2);
    const PrimitiveEvent* utc = Find(events, "UTC");
    ASSERT_NE(utc, nullptr);
    EXPECT_EQ(utc->startTime,
              tokyo ? "2026-03-13T21:00:00.000+09:00" : "2026-03-13T08:00:00.000-04:00");
}

TEST_P(IcalExchangeTest, AnEventWhoseUidIsThereIsUpdatedNotDuplicated) {
    LocalStore store;
    auto file = [](const std::string& title, const std::string& start) {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:same@example.com\r\n"
               "SEQUENCE:0\r\nDTSTART:" +
               start + "\r\nDURATION:PT1H\r\nSUMMARY:" + title +
               "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    };
    ASSERT_TRUE(store.Import(file("First", "20260401T010000Z")).ok);
    const std::string lid = store.Events().front().localEventID;
    const auto again = store.Import(file("Second", "20260402T010000Z"));
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.imported.added, 0);
    EXPECT_EQ(again.imported.updated, 1);
    const auto events = store.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().localEventID, lid);
    EXPECT_EQ(events.front().title, "Second");
    EXPECT_EQ(events.front().sequence, 1);
    EXPECT_FALSE(events.front().isSynced);

    // An event made here comes back by the UID its export gave it.
    store.Add(Event("Made here", "2026-04-05", "2026-04-06"));
    std::string exported = store.Export();
    const size_t at = exported.find("SUMMARY:Made here");
    ASSERT_NE(at, std::string::npos);
    exported.replace(at, 17, "SUMMARY:Renamed");
    const auto back = store.Import(exported);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.imported.added, 0);
    EXPECT_EQ(back.imported.updated, 2);
    EXPECT_EQ(store.Events().size(), 2u);
    EXPECT_NE(Find(store.Events(), "Renamed"), nullptr);
}

TEST_P(IcalExchangeTest, BrokenFilesAreRefusedWithTheirLineAndChangeNothing) {
    LocalStore store;
    FillFixture(store);
    const auto before = NormalEvents(store.Export("before.ics"));
    const std::string good =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:new@example.com\r\n"
        "DTSTART:20260501T010000Z\r\nSUMMARY:New\r\nEND:VEVENT\r\n";
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"missing END:VCALENDAR", good, 7, "END:VCALENDAR"},
        {"RRULE with a bad value",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:new@example.com\r\nDTSTART:20260501T010000Z\r\n"
         "SUMMARY:New\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:r@example.com\r\n"
         "DTSTART:20260501T010000Z\r\nRRULE:FREQ=WEEKLY;COUNT=ten\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         10, "RRULE"},
        {"RRULE with an unknown frequency",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:r@example.com\r\n"
         "DTSTART:20260501T010000Z\r\nRRULE:FREQ=SOMETIMES\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         5, "RRULE"},
        {"binary bytes", good + "SUMMARY:\x01\x02\xFF\xFE\r\nEND:VCALENDAR\r\n", 8, "UTF-8"},
        {"NUL byte", std::string("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nX-A:") + '\0' + "b\r\n", 3,
         "UTF-8"},
        {"END of another BEGIN",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260501T010000Z\r\nEND:VTODO\r\n", 4,
         "BEGIN:VEVENT"},
        {"a date that is no date",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260231T010000Z\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         3, "DTSTART"},
        {"a date before 1900 (crashed the import)",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:18991231\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         3, "DTSTART"},
        {"not a property line", "BEGIN:VCALENDAR\r\nthis is no line\r\nEND:VCALENDAR\r\n", 2,
         "プロパティ"},
        {"no DTSTART",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x@example.com\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         2, "DTSTART"},
        {"a JPEG", "\xFF\xD8\xFF\xE0\x00\x10JFIF", 1, "UTF-8"},
        // An hourly zone rule kept libical expanding for many seconds.
        {"a zone rule finer than yearly",
         "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Hourly\r\nBEGIN:STANDARD\r\n"
         "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nDTSTART:20071104T020000\r\n"
         "RRULE:FREQ=HOURLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
         "BEGIN:VEVENT\r\nUID:h@example.com\r\nDTSTART;TZID=Hourly:20260105T090000\r\n"
         "END:VEVENT\r\nEND:VCALENDAR\r\n",
         8, "FREQ=YEARLY"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = store.Import(c.text);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.problem.line, c.line);
        EXPECT_NE(result.problem.message.find(c.says), std::string::npos) << result.problem.message;
    }
    EXPECT_EQ(NormalEvents(store.Export("after.ics")), before);
}

TEST_P(IcalExchangeTest, AFileOverTheLimitIsRefusedUnread) {
    LocalStore store;
    const std::string path = store.Path("big.ics");
    {
        std::string chunk = "BEGIN:VCALENDAR\r\n";
        chunk.resize(1024 * 1024, 'x');
        std::string big;
        for (int i = 0; i < 50; ++i) {
            big += chunk;
        }
        WriteFile(path, big);
    }
    const auto result = store.manager().ImportIcalendar(path, "");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.problem.line, 0);
    EXPECT_NE(result.problem.message.find("大きすぎます (50.0 MB"), std::string::npos)
        << result.problem.message;
    EXPECT_TRUE(store.Events().empty());
    EXPECT_FALSE(store.manager().ImportIcalendar(store.Path("missing.ics"), "").ok);
}

TEST_P(IcalExchangeTest, ATransactionWhoseBodyFailsKeepsNothing) {
    LocalStore store;
    const bool ok = store.db().RunTransaction("test", [&] {
        PrimitiveEvent e = Event("Half", "2026-06-01", "2026-06-02");
        EXPECT_TRUE(store.db().AddEvent(kLocal, e, false));
        return false;  // as when a later write fails
    });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(store.Events().empty());
    // The connection is usable afterwards, and a good body is kept.
    EXPECT_TRUE(store.db().RunTransaction("test", [&] {
        PrimitiveEvent e = Event("Whole", "2026-06-01", "2026-06-02");
        return store.db().AddEvent(kLocal, e, false);
    }));
    EXPECT_EQ(store.Events().size(), 1u);
}

TEST_P(IcalExchangeTest, CalendarChoice) {
    LocalStore store;
    FillFixture(store);
    auto exported = store.manager().ExportIcalendar(store.Path("one.ics"), "localEvent");
    EXPECT_TRUE(exported.ok);
    EXPECT_EQ(exported.exported.events, 4);
    exported = store.manager().ExportIcalendar(store.Path("none.ics"), "nobody@example.com");
    EXPECT_FALSE(exported.ok);
    EXPECT_TRUE(exported.noSuchCalendar);
    // The holiday calendar takes no events.
    WriteFile(store.Path("in.ics"), ReadFile(store.Path("one.ics")));
    const auto imported = store.manager().ImportIcalendar(store.Path("in.ics"), "localHoliday");
    EXPECT_FALSE(imported.ok);
    EXPECT_TRUE(imported.noSuchCalendar);
}

TEST(IcalImportTarget, AccountModeTakesTheAccountsOwnWritableCalendar) {
    TempDir dir;
    const std::string config = dir / "config.ini";
    platform::WritePrivateProfileString("general", "calendar_mode", "1", config);
    {
        googledata::CalendarEventDB db;
        ASSERT_TRUE(db.Initialize(dir / "me@example.com.db", nullptr));
        auto calendar = [&](const std::string& id, int access, int flags) {
            googledata::PrimitiveCalendar c;
            c.calendarURI = "https://www.google.com/calendar/feeds/" + id + "/private/full";
            c.id = id;
            c.accesslevel = access;
            c.flags = flags;
            ASSERT_TRUE(db.UpsertCalendar(c));
        };
        calendar("team@example.com", 4, 3);
        calendar("me@example.com", 5, 3);
        calendar("boss@example.com", 1, 1);  // read only
    }
    Controller::CCalendarManager manager(config, dir.path());
    ASSERT_TRUE(manager.OpenForWriting(L"me@example.com"));
    WriteFile(dir / "in.ics",
              "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a@example.com\r\n"
              "DTSTART;VALUE=DATE:20260801\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    auto result = manager.ImportIcalendar(dir / "in.ics", "");
    ASSERT_TRUE(result.ok) << result.problem.message;
    EXPECT_EQ(result.calendarURI,
              "https://www.google.com/calendar/feeds/me@example.com/private/full");
    result = manager.ImportIcalendar(dir / "in.ics", "team@example.com");
    ASSERT_TRUE(result.ok);
    EXPECT_NE(result.calendarURI.find("team@example.com"), std::string::npos);
    result = manager.ImportIcalendar(dir / "in.ics", "boss@example.com");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.noSuchCalendar);
    EXPECT_NE(result.problem.message.find("書き込めません"), std::string::npos);
    // Unsynced, for the next sync to upload.
    std::list<PrimitiveEvent> mine;
    ASSERT_TRUE(manager.Database().GetUnsyncedEvents(
        "https://www.google.com/calendar/feeds/me@example.com/private/full", mine));
    EXPECT_EQ(mine.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Zones, IcalExchangeTest,
                         ::testing::Values("Asia/Tokyo", "America/New_York"), [](const auto& info) {
                             return std::string(info.param) == "Asia/Tokyo" ? "Tokyo" : "NewYork";
                         });

}  // namespace
