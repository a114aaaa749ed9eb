// Event cache: day matching of events and holidays, finding an event of a
// day, and the months a 6-week grid needs.
#include <gtest/gtest.h>

#include "model/EventCache.h"
#include "tests/support/TestSupport.h"

using Model::CEventCache;
using platform::CTime;

namespace {

Model::Event MakeEvent(const std::wstring& id, const CTime& start, const CTime& end, bool allDay) {
    Model::Event e;
    e.localEventID = id;
    e.startTime = start;
    e.endTime = end;
    e.isAllDay = allDay;
    return e;
}

class EventCacheInZone : public ::testing::TestWithParam<const char*> {};

TEST_P(EventCacheInZone, DayMatching) {
    testsupport::ScopedTz tz(GetParam());
    CEventCache cache;
    // All-day 3rd-4th (exclusive end on the 5th), timed 10:00-11:00 on the 7th.
    cache.AddEvent(MakeEvent(L"a", CTime(2026, 3, 3, 0, 0, 0), CTime(2026, 3, 5, 0, 0, 0), true));
    cache.AddEvent(
        MakeEvent(L"t", CTime(2026, 3, 7, 10, 0, 0), CTime(2026, 3, 7, 11, 0, 0), false));
    Model::Holiday h1{CTime(2026, 3, 20, 0, 0, 0), L"春分の日", L"cal1"};
    Model::Holiday h2{CTime(2026, 3, 20, 0, 0, 0), L"Vernal Equinox", L"cal2"};
    cache.AddHoliday(h1);
    cache.AddHoliday(h2);

    EXPECT_FALSE(cache.HasEventOnDay(CTime(2026, 3, 2, 23, 59, 59)));
    EXPECT_TRUE(cache.HasEventOnDay(CTime(2026, 3, 3, 0, 0, 0)));
    EXPECT_TRUE(cache.HasEventOnDay(CTime(2026, 3, 4, 18, 0, 0)));
    EXPECT_FALSE(cache.HasEventOnDay(CTime(2026, 3, 5, 12, 0, 0)));  // exclusive end day
    EXPECT_TRUE(cache.HasEventOnDay(CTime(2026, 3, 7, 0, 0, 0)));

    std::vector<Model::Holiday> holidays;
    EXPECT_EQ(cache.GetHolidaysOfDay(CTime(2026, 3, 20, 23, 0, 0), holidays), 2u);
    EXPECT_TRUE(cache.IsHoliday(CTime(2026, 3, 20, 8, 0, 0)));
    EXPECT_FALSE(cache.IsHoliday(CTime(2026, 3, 21, 0, 0, 0)));

    std::vector<Model::Event> events(1);  // appended to, never emptied
    EXPECT_EQ(cache.GetEventsOfDay(CTime(2026, 3, 4, 0, 0, 0), events), 2u);
    EXPECT_EQ(cache.GetEventsOfDay(CTime(2027, 1, 1, 0, 0, 0), events), 2u);  // outside the range

    Model::Event found;
    EXPECT_TRUE(cache.FindEventOfDay(CTime(2026, 3, 7, 9, 0, 0), L"t", found));
    EXPECT_EQ(found.localEventID, L"t");
    EXPECT_FALSE(cache.FindEventOfDay(CTime(2026, 3, 8, 9, 0, 0), L"t", found));
    EXPECT_FALSE(cache.FindEventOfDay(CTime(2026, 3, 7, 9, 0, 0), L"missing", found));

    cache.ClearEvents();
    cache.ClearHolidays();
    EXPECT_FALSE(cache.HasEventOnDay(CTime(2026, 3, 7, 0, 0, 0)));
    EXPECT_FALSE(cache.IsHoliday(CTime(2026, 3, 20, 0, 0, 0)));
}

TEST_P(EventCacheInZone, MonthsOfGrid) {
    testsupport::ScopedTz tz(GetParam());
    struct Row {
        int year, month;
        CTime gridStart;
        int startYear, startMonth, count;
    };
    const Row rows[] = {
        // February 2026 starts on a Sunday and ends on a Saturday: with a
        // Sunday-first grid starting on the 1st, 6 rows reach into March.
        {2026, 2, CTime(2026, 2, 1, 0, 0, 0), 2026, 2, 2},
        // January 2026 (starts Thursday): December's days lead, February's trail.
        {2026, 1, CTime(2025, 12, 28, 0, 0, 0), 2025, 12, 3},
        // December 2026 rolls over into January 2027.
        {2026, 12, CTime(2026, 11, 29, 0, 0, 0), 2026, 11, 3},
        // March 2026 (31 days, starts Sunday): rows end on April 11.
        {2026, 3, CTime(2026, 3, 1, 0, 0, 0), 2026, 3, 2},
    };
    for (const Row& r : rows) {
        const Model::MonthRange range = Model::MonthsOfGrid(r.year, r.month, r.gridStart);
        EXPECT_EQ(range.year, r.startYear) << r.month;
        EXPECT_EQ(range.month, r.startMonth) << r.month;
        EXPECT_EQ(range.count, r.count) << r.month;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, EventCacheInZone,
                         ::testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
