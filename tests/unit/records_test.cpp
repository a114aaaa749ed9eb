// The view records: defaults, builders from the service-side records, the
// occurs-on-day test and add-without-duplicates, in Tokyo and New York.
#include <gtest/gtest.h>

#include <array>
#include <list>

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveHoliday.h"
#include "model/Calendar.h"
#include "model/Event.h"
#include "model/Holiday.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using platform::CTime;
using testsupport::ScopedTz;

namespace {

constexpr int64_t kDay = 86400;

TEST(ModelRecords, Defaults) {
    const Model::Event e;
    EXPECT_EQ(e.eventStatus, googledata::EVENT_STATUS_CONFIRMED);
    EXPECT_EQ(e.transparency, googledata::TRANSPARENCY_OPAQUE);
    EXPECT_EQ(e.visibility, googledata::VISIBILITY_DEFAULT);
    EXPECT_EQ(e.sequence, 0);
    EXPECT_EQ(e.flags, 10);
    EXPECT_EQ(e.startTime.GetTime(), 0);
    EXPECT_FALSE(e.isAllDay);
    EXPECT_TRUE(e.reminders.empty());

    const googledata::PrimitiveEvent p;
    EXPECT_EQ(p.eventStatus, 0);
    EXPECT_EQ(p.flags, 0);
    EXPECT_FALSE(p.isSynced);
    EXPECT_TRUE(p.reminders.empty());
    EXPECT_TRUE(p.startTime.empty());
}

TEST(ModelRecords, PrimitiveEventCopiesAreDeep) {
    googledata::PrimitiveEvent a;
    a.title = "a";
    a.reminders = {{"alert", 10, false}, {"email", 30, true}};
    googledata::PrimitiveEvent b = a;
    b.reminders[0].method = "sms";
    b.reminders.push_back({"x", 1, false});
    EXPECT_EQ(a.reminders.size(), 2u);
    EXPECT_EQ(a.reminders[0].method, "alert");
    EXPECT_EQ(b.reminders[1].method, "email");
}

googledata::PrimitiveCalendar SampleCalendar() {
    googledata::PrimitiveCalendar c;
    c.calendarURI = "https://www.google.com/calendar/feeds/user%40example.com/private/full";
    c.id = "cal-id";
    c.title = "仕事";
    c.summary = "work";
    c.author = "Taro";
    c.accesslevel = 4;
    c.color = 0x00332211;
    c.selected = true;
    c.hidden = false;
    c.isHoliday = false;
    c.updated = "2011-05-01T01:00:00.000Z";
    c.eventUpdated = "not a time";
    c.flags = 2;
    return c;
}

TEST(ModelRecords, EventFromPrimitiveInTokyo) {
    ScopedTz tz("Asia/Tokyo");
    googledata::PrimitiveEvent p;
    p.localEventID = "0123456789ABCDEF0123456789ABCDEF";
    p.title = "会議 🗓";
    p.content = "議題";
    p.place = "東京";
    p.author_name = "Taro";
    p.author_email = "taro@example.com";
    p.startTime = "2011-05-01T10:00:00.000+09:00";
    p.endTime = "2011-05-01T11:30:00.000+09:00";
    p.eventStatus = 1;
    p.transparency = 2;
    p.visibility = 3;
    p.sequence = 4;
    p.flags = 5;
    p.recurrenceType = 0;
    p.originalStartTime = "2011-04-01T10:00:00.000+09:00";  // ignored: not an exception
    p.reminders = {{"alert", 10, true}, {"email", 60, false}};

    const Model::Event e = Model::Event::FromPrimitive(p, SampleCalendar());
    EXPECT_EQ(e.localEventID, L"0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(e.calendarURI,
              L"https://www.google.com/calendar/feeds/user%40example.com/private/full");
    EXPECT_EQ(e.title, L"会議 🗓");
    EXPECT_EQ(e.content, L"議題");
    EXPECT_EQ(e.place, L"東京");
    EXPECT_EQ(e.author_email, L"taro@example.com");
    EXPECT_EQ(e.startTime, CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(e.endTime, CTime(2011, 5, 1, 11, 30, 0));
    EXPECT_FALSE(e.isAllDay);
    EXPECT_EQ(e.originalStartTime.GetTime(), 0);
    EXPECT_EQ(e.eventStatus, 1);
    EXPECT_EQ(e.transparency, 2);
    EXPECT_EQ(e.visibility, 3);
    EXPECT_EQ(e.sequence, 4);
    EXPECT_EQ(e.flags, 5);
    EXPECT_EQ(e.color, 0x00332211);
    const std::vector<Model::Reminder> reminders{{L"alert", 10}, {L"email", 60}};
    EXPECT_EQ(e.reminders, reminders);

    p.recurrenceType = 2;
    p.originalEvent = "https://example/feeds/series";
    EXPECT_EQ(Model::Event::FromPrimitive(p, SampleCalendar()).originalStartTime,
              CTime(2011, 4, 1, 10, 0, 0));
}

TEST(ModelRecords, EventFromPrimitiveWithoutAStartIsAllDayIn2000) {
    for (const char* zone : {"Asia/Tokyo", "America/New_York"}) {
        ScopedTz tz(zone);
        for (const char* start : {"", "garbage text"}) {
            googledata::PrimitiveEvent p;
            p.startTime = start;
            p.endTime = "2011-05-02";
            const Model::Event e = Model::Event::FromPrimitive(p, SampleCalendar());
            EXPECT_EQ(e.startTime, CTime(2000, 1, 1, 0, 0, 0)) << zone << " " << start;
            EXPECT_EQ(e.endTime, CTime(2000, 1, 1, 0, 0, 0)) << zone << " " << start;
            EXPECT_TRUE(e.isAllDay) << zone;
        }
    }
}

TEST(ModelRecords, AllDayEventKeepsItsDateWestOfUtc) {
    googledata::PrimitiveEvent p;
    p.startTime = "2011-05-03";
    p.endTime = "2011-05-04";
    {
        ScopedTz tz("Asia/Tokyo");
        const Model::Event e = Model::Event::FromPrimitive(p, SampleCalendar());
        EXPECT_TRUE(e.isAllDay);
        EXPECT_EQ(e.startTime, CTime(2011, 5, 3, 0, 0, 0));
        EXPECT_EQ(e.endTime, CTime(2011, 5, 4, 0, 0, 0));
    }
    {
        // The service record alone lands on the day before; the view keeps
        // the calendar date.
        ScopedTz tz("America/New_York");
        const Model::Event e = Model::Event::FromPrimitive(p, SampleCalendar());
        EXPECT_TRUE(e.isAllDay);
        EXPECT_EQ(e.startTime, CTime(2011, 5, 3, 0, 0, 0));
        EXPECT_EQ(e.endTime, CTime(2011, 5, 4, 0, 0, 0));
    }
}

TEST(ModelRecords, CalendarAndHolidayFromPrimitive) {
    ScopedTz tz("Asia/Tokyo");
    Model::Calendar c = Model::Calendar::FromPrimitive(SampleCalendar());
    EXPECT_EQ(c.title, L"仕事");
    EXPECT_EQ(c.accesslevel, googledata::ACCESS_OWNER);
    EXPECT_EQ(c.color, 0x00332211);
    EXPECT_TRUE(c.selected);
    EXPECT_FALSE(c.hidden);
    EXPECT_EQ(c.updated, CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(c.eventUpdated.GetTime(), 0);
    EXPECT_FALSE(c.showEvents);
    EXPECT_TRUE(c.writeEvents);
    EXPECT_EQ(c.Flags(), 2);
    c.showEvents = true;
    EXPECT_EQ(c.Flags(), 3);

    googledata::PrimitiveHoliday h{"hid", "こどもの日", "2011-05-05", 2};
    const Model::Holiday holiday = Model::Holiday::FromPrimitive(h, "holiday-uri");
    EXPECT_EQ(holiday.date, CTime(2011, 5, 5, 0, 0, 0));
    EXPECT_EQ(holiday.title, L"こどもの日");
    EXPECT_EQ(holiday.calendarURI, L"holiday-uri");
    {
        ScopedTz west("America/New_York");
        EXPECT_EQ(Model::Holiday::FromPrimitive(h, "u").date, CTime(2011, 5, 5, 0, 0, 0));
    }
}

// Occurs-on-day, in both zones. Times are offsets from local midnight of D.
struct DayRow {
    const char* what;
    bool allDay;
    int startDay, startHour;  // relative day and hour of the start
    int endDay, endHour;      // relative day and hour of the end
    bool onPrev, onD, onNext;
};

class OccursOnDay : public ::testing::TestWithParam<const char*> {};

TEST_P(OccursOnDay, Table) {
    ScopedTz tz(GetParam());
    const std::array<DayRow, 9> rows{{
        {"timed within D", false, 0, 10, 0, 11, false, true, false},
        {"timed D 10:00 to D+1 00:00", false, 0, 10, 1, 0, false, true, false},
        {"all-day D", true, 0, 0, 1, 0, false, true, false},
        // A timed event that covers D whole and ends exactly at the next
        // midnight is shown on D.
        {"timed D-1 10:00 to D+1 00:00", false, -1, 10, 1, 0, true, true, false},
        {"all-day D-1 and D", true, -1, 0, 1, 0, true, true, false},
        {"timed D-1 10:00 to D+1 01:00", false, -1, 10, 1, 1, true, true, true},
        {"timed ends at D 00:00", false, -1, 10, 0, 0, true, false, false},
        {"timed starts at D+1 00:00", false, 1, 0, 1, 2, false, false, true},
        {"zero length at D 00:00", false, 0, 0, 0, 0, false, true, false},
    }};
    // A day in winter and one across the spring daylight-saving change in
    // New York (13 March 2011).
    for (const CTime d : {CTime(2011, 1, 20, 0, 0, 0), CTime(2011, 5, 1, 0, 0, 0)}) {
        for (const DayRow& r : rows) {
            Model::Event e;
            e.isAllDay = r.allDay;
            e.startTime = d + r.startDay * kDay + r.startHour * 3600;
            e.endTime = d + r.endDay * kDay + r.endHour * 3600;
            EXPECT_EQ(e.OccursOnDay(d - kDay + 5 * 3600), r.onPrev) << r.what;
            EXPECT_EQ(e.OccursOnDay(d + 23 * 3600 + 59 * 60), r.onD) << r.what;
            EXPECT_EQ(e.OccursOnDay(d + kDay), r.onNext) << r.what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, OccursOnDay, ::testing::Values("Asia/Tokyo", "America/New_York"));

TEST(ModelRecords, AddWithoutDuplicates) {
    ScopedTz tz("Asia/Tokyo");
    std::list<Model::Event> list;
    Model::Event occurrence;
    occurrence.localEventID = L"SERIES";
    occurrence.recurrenceType = googledata::RECURRENCE_ORIGINAL;
    occurrence.startTime = CTime(2011, 5, 1, 10, 0, 0);
    occurrence.endTime = CTime(2011, 5, 1, 11, 0, 0);
    Model::AddEventWithoutDuplicates(list, occurrence);
    Model::Event next = occurrence;
    next.startTime = occurrence.startTime + 7 * kDay;
    next.endTime = occurrence.endTime + 7 * kDay;
    Model::AddEventWithoutDuplicates(list, next);
    Model::AddEventWithoutDuplicates(list, occurrence);  // same occurrence again
    EXPECT_EQ(list.size(), 2u);

    Model::Event plain;
    plain.localEventID = L"PLAIN";
    plain.title = L"first";
    plain.reminders = {{L"alert", 5}};
    Model::AddEventWithoutDuplicates(list, plain);
    plain.title = L"second";
    plain.startTime = plain.startTime + kDay;
    Model::AddEventWithoutDuplicates(list, plain);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.back().title, L"first");
    EXPECT_EQ(list.back().reminders.size(), 1u);
}

}  // namespace
