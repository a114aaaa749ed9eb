// Expanding recurring series: the examples of RFC 5545 section 3.8.5.3, time
// zones (inline and built-in), daylight-saving changes, all-day series,
// EXDATE/RDATE, unusable texts, the parsed-series cache and the helpers that
// place occurrences and match exceptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/MaintenanceLog.h"
#include "controller/Icalendar.h"
#include "controller/RecurrenceCache.h"
#include "controller/RecurrenceExceptions.h"
#include "controller/RecurrenceSeries.h"
#include "googledata/ICalendarText.h"
#include "platform/Time.h"
#include "tests/support/RfcRecurrenceCases.h"
#include "tests/support/TestSupport.h"

using platform::CTime;
using namespace testsupport::rfc;

namespace {

constexpr const char* kNewYork = "America/New_York";
constexpr const char* kTokyo = "Asia/Tokyo";

std::vector<int64_t> Seconds(const std::vector<CTime>& times) {
    std::vector<int64_t> out;
    for (const auto& t : times) {
        out.push_back(t.GetTime());
    }
    return out;
}

// Expands `text` over [from, to) through the one-shot entry point.
std::vector<int64_t> Expand(const std::string& text, int64_t from, int64_t to) {
    std::vector<CTime> occurrences;
    int count = -1;
    int error = -1;
    EXPECT_NE(
        0, CIcalendar::GetRecurrenceEvents(text, CTime(from), CTime(to), occurrences, count, error))
        << text;
    EXPECT_EQ(static_cast<int>(occurrences.size()), count);
    EXPECT_EQ(CIcalendar::kErrorNone, error);
    return Seconds(occurrences);
}

struct Month {
    CTime from;
    CTime to;
};

class RfcExamples : public ::testing::TestWithParam<const char*> {};

// Each example over its whole range at once, and month by month (local
// months of the process's zone) through the cache: both give the RFC's
// instants, whatever the process's zone.
TEST_P(RfcExamples, GiveTheRfcInstants) {
    for (const RfcCase& c : RfcCases()) {
        SCOPED_TRACE(c.name);
        const std::vector<int64_t> expected = InstantsIn(kNewYork, c.expected);
        const int64_t from = InstantIn(kNewYork, "19960101");
        const int64_t to = InstantIn(kNewYork, c.rangeEnd);

        testsupport::ScopedTz tz(GetParam());
        EXPECT_EQ(expected, Expand(c.text, from, to));

        // Month by month, forwards and then backwards (the cache fills a
        // window around each range asked for, so going back skips ahead anew).
        std::vector<Month> months;
        CTime month = platform::LocalMidnight(CTime(expected.front() - 40 * 86400));
        month = CTime(month.GetYear(), month.GetMonth(), 1, 0, 0, 0);
        while (month.GetTime() < to) {
            const CTime next = month.GetMonth() == 12
                                   ? CTime(month.GetYear() + 1, 1, 1, 0, 0, 0)
                                   : CTime(month.GetYear(), month.GetMonth() + 1, 1, 0, 0, 0);
            months.push_back({month, next});
            month = next;
        }
        Controller::CRecurrenceCache cache;
        for (bool backwards : {false, true}) {
            SCOPED_TRACE(backwards ? "backwards" : "forwards");
            std::vector<CTime> byMonth;
            for (size_t i = 0; i < months.size(); ++i) {
                const Month& m = months[backwards ? months.size() - 1 - i : i];
                ASSERT_TRUE(cache.GetOccurrences("s1", c.text, m.from, m.to, byMonth));
            }
            std::vector<int64_t> inRange;
            for (int64_t t : Seconds(byMonth)) {
                if (t >= from && t < to) {
                    inRange.push_back(t);
                }
            }
            std::sort(inRange.begin(), inRange.end());
            EXPECT_EQ(expected, inRange);
        }
        EXPECT_EQ(1u, cache.GetParseCount());
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, RfcExamples, ::testing::Values(kNewYork, kTokyo));

// A zone unknown to libical's table, with New York's rules since 2007: only
// the inline block can resolve it.
const std::string kInlineEastern =
    "BEGIN:VTIMEZONE\n"
    "TZID:Custom Eastern\n"
    "BEGIN:DAYLIGHT\n"
    "TZOFFSETFROM:-0500\n"
    "TZOFFSETTO:-0400\n"
    "TZNAME:EDT\n"
    "DTSTART:20070311T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\n"
    "END:DAYLIGHT\n"
    "BEGIN:STANDARD\n"
    "TZOFFSETFROM:-0400\n"
    "TZOFFSETTO:-0500\n"
    "TZNAME:EST\n"
    "DTSTART:20071104T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\n"
    "END:STANDARD\n"
    "END:VTIMEZONE\n";

int64_t Utc(const std::string& wall) {
    return InstantIn("UTC", wall);
}

class ZoneTest : public ::testing::TestWithParam<const char*> {
protected:
    // [from, to) as UTC wall times, so the range does not depend on TZ.
    std::vector<int64_t> Run(const std::string& text, const std::string& from,
                             const std::string& to) {
        const int64_t f = Utc(from);
        const int64_t t = Utc(to);
        testsupport::ScopedTz tz(GetParam());
        return Expand(text, f, t);
    }
};

// A weekly 09:00 New York series over the autumn change: the wall time stays
// 09:00 in New York, so the instants move by an hour; the same from an
// inline VTIMEZONE, with or without COUNT.
TEST_P(ZoneTest, WeeklySeriesKeepsItsWallTimeOverTheAutumnChange) {
    const std::vector<int64_t> expected = {Utc("20241021T130000"), Utc("20241028T130000"),
                                           Utc("20241104T140000"), Utc("20241111T140000")};
    for (const std::string& text : {std::string("DTSTART;TZID=America/New_York:20241021T090000\n"
                                                "RRULE:FREQ=WEEKLY;COUNT=4\n"),
                                    std::string("DTSTART;TZID=America/New_York:20241021T090000\n"
                                                "RRULE:FREQ=WEEKLY\n"),
                                    "DTSTART;TZID=Custom Eastern:20241021T090000\n"
                                    "DTEND;TZID=Custom Eastern:20241021T100000\n"
                                    "RRULE:FREQ=WEEKLY;BYDAY=MO\n" +
                                        kInlineEastern}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(expected, Run(text, "20241001", "20241112"));
    }
}

// Spring forward: 02:30 does not exist on 10 March 2024 in New York; that
// day's occurrence is read with the offset before the change (03:30 EDT) and
// the next day's is back at 02:30.
TEST_P(ZoneTest, SpringForwardGap) {
    const std::vector<int64_t> expected = {Utc("20240308T073000"), Utc("20240309T073000"),
                                           Utc("20240310T073000"), Utc("20240311T063000"),
                                           Utc("20240312T063000")};
    for (const char* rule : {"RRULE:FREQ=DAILY;COUNT=5\n", "RRULE:FREQ=DAILY\n"}) {
        SCOPED_TRACE(rule);
        EXPECT_EQ(expected,
                  Run(std::string("DTSTART;TZID=America/New_York:20240308T023000\n") + rule,
                      "20240301", "20240312T120000"));
    }
}

// Fall back: 01:30 happens twice on 3 November 2024 in New York; the
// occurrence is the first of the two (EDT).
TEST_P(ZoneTest, AutumnOverlapTakesTheFirstInstant) {
    const std::vector<int64_t> expected = {Utc("20241102T053000"), Utc("20241103T053000"),
                                           Utc("20241104T063000")};
    for (const std::string& start :
         {std::string("DTSTART;TZID=America/New_York:20241102T013000\n"),
          "DTSTART;TZID=Custom Eastern:20241102T013000\n" + kInlineEastern}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(expected, Run(start + "RRULE:FREQ=DAILY;COUNT=3\n", "20241101", "20241201"));
    }
}

// EXDATE removes (several values on one line, a UTC value, a DATE on a timed
// series); RDATE adds (zoned, UTC period, DATE) and a duplicate of an RRULE
// instance is kept once.
TEST_P(ZoneTest, ExdateRemovesAndRdateAdds) {
    const std::string text =
        "DTSTART;TZID=America/New_York:20240101T100000\n"
        "DTEND;TZID=America/New_York:20240101T110000\n"
        "RRULE:FREQ=WEEKLY;COUNT=6\n"
        "EXDATE;TZID=America/New_York:20240108T100000,20240115T100000\n"
        "EXDATE:20240122T150000Z\n"
        "EXDATE;VALUE=DATE:20240205\n"
        "RDATE;TZID=America/New_York:20240103T120000\n"
        "RDATE;VALUE=PERIOD:20240104T170000Z/PT1H\n"
        "RDATE;VALUE=DATE:20240106\n"
        "RDATE;TZID=America/New_York:20240129T100000\n";
    const std::vector<int64_t> expected = {Utc("20240101T150000"), Utc("20240103T170000"),
                                           Utc("20240104T170000"), Utc("20240106T150000"),
                                           Utc("20240129T150000")};
    EXPECT_EQ(expected, Run(text, "20231201", "20240301"));
    // Without any RRULE the series is DTSTART and its RDATEs.
    EXPECT_EQ((std::vector<int64_t>{Utc("20240101T150000"), Utc("20240103T170000")}),
              Run("DTSTART;TZID=America/New_York:20240101T100000\n"
                  "RDATE;TZID=America/New_York:20240103T120000\n",
                  "20231201", "20240301"));
}

// A DATE UNTIL on a timed series includes the UNTIL day.
TEST_P(ZoneTest, DateUntilIncludesItsDay) {
    EXPECT_EQ((std::vector<int64_t>{Utc("20240101T150000"), Utc("20240102T150000"),
                                    Utc("20240103T150000")}),
              Run("DTSTART;TZID=America/New_York:20240101T100000\n"
                  "RRULE:FREQ=DAILY;UNTIL=20240103\n",
                  "20231201", "20240301"));
}

// An occurrence at `from` is inside the range, one at `to` is not, and an
// empty range gives nothing.
TEST_P(ZoneTest, RangeIsHalfOpen) {
    const std::string text = "DTSTART:20240101T000000Z\nRRULE:FREQ=DAILY\n";
    EXPECT_EQ((std::vector<int64_t>{Utc("20240102"), Utc("20240103")}),
              Run(text, "20240102", "20240104"));
    EXPECT_TRUE(Run(text, "20240104", "20240104").empty());
    EXPECT_TRUE(Run(text, "20240104", "20240102").empty());
}

// ISO week 1 of 2020 begins on 30 December 2019 and that of 2021 on 4
// January 2021: every day of both, once each and in order.
TEST_P(ZoneTest, WeekNumbersAroundNewYear) {
    const std::string text =
        "DTSTART:20181231T120000Z\n"
        "RRULE:FREQ=YEARLY;BYWEEKNO=1;BYDAY=MO,TU,WE,TH,FR,SA,SU\n";
    std::vector<std::string> walls = Concat(
        {Days("20191230", "20200106", 1, "T120000"), Days("20210104", "20210111", 1, "T120000")});
    EXPECT_EQ(InstantsIn("UTC", walls), Run(text, "20191201", "20210201"));
}

INSTANTIATE_TEST_SUITE_P(Zones, ZoneTest, ::testing::Values(kNewYork, kTokyo));

class AllDayTest : public ::testing::TestWithParam<const char*> {};

// All-day series fall on local midnights of the process's zone, whatever it
// is, also across a daylight-saving change; DATE EXDATE and UNTIL apply.
TEST_P(AllDayTest, OccurrencesAreLocalMidnights) {
    testsupport::ScopedTz tz(GetParam());
    struct Case {
        std::string text;
        std::vector<std::string> dates;
    };
    const std::vector<Case> cases = {
        {"DTSTART;VALUE=DATE:20240105\nDTEND;VALUE=DATE:20240106\n"
         "RRULE:FREQ=WEEKLY;UNTIL=20240126\nEXDATE;VALUE=DATE:20240112\n",
         {"20240105", "20240119", "20240126"}},
        {"DTSTART;VALUE=DATE:20240308\nRRULE:FREQ=DAILY;COUNT=4\n",
         {"20240308", "20240309", "20240310", "20240311"}},
        {"DTSTART;VALUE=DATE:20240308\nRRULE:FREQ=DAILY\n",
         {"20240308", "20240309", "20240310", "20240311"}},
        {"DTSTART;VALUE=DATE:20240229\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1\n",
         {"20240229", "20250228"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int64_t> expected;
        for (const auto& d : c.dates) {
            expected.push_back(Wall(d).GetTime());
        }
        const std::vector<int64_t> got =
            Expand(c.text, Wall("20240101").GetTime(),
                   Wall(c.dates.size() == 2 ? "20250301" : "20240312").GetTime());
        EXPECT_EQ(expected, got);
        for (int64_t t : got) {
            EXPECT_EQ(0, CTime(t).GetHour());
        }
    }
    // A timed UNTIL on an all-day series is an instant: the day whose local
    // midnight is not after it is the last.
    const int64_t until = Utc("20240107T000000");
    std::vector<int64_t> expected;
    for (const char* d : {"20240105", "20240106", "20240107"}) {
        if (Wall(d).GetTime() <= until) {
            expected.push_back(Wall(d).GetTime());
        }
    }
    EXPECT_EQ(expected, Expand("DTSTART;VALUE=DATE:20240105\n"
                               "RRULE:FREQ=DAILY;UNTIL=20240107T000000Z\n",
                               Wall("20240101").GetTime(), Wall("20240201").GetTime()));
}

INSTANTIATE_TEST_SUITE_P(Zones, AllDayTest, ::testing::Values(kNewYork, kTokyo));

// The text as the service stores it (bare lines, an inline VTIMEZONE, extra
// line ends) and as the manager hands it over (wrapped in BEGIN:VEVENT),
// with CRLF or with END:VEVENT glued to the last line, reads the same.
TEST(RecurrenceText, FormsReadTheSame) {
    testsupport::ScopedTz tz(kTokyo);
    const std::string bare =
        "DTSTART;TZID=Asia/Tokyo:20100416T190000\n"
        "DTEND;TZID=Asia/Tokyo:20100416T213000\n"
        "RRULE:FREQ=WEEKLY;BYDAY=FR;WKST=MO\n"
        "BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\nX-LIC-LOCATION:Asia/Tokyo\n"
        "BEGIN:STANDARD\nTZOFFSETFROM:+0900\nTZOFFSETTO:+0900\nTZNAME:JST\n"
        "DTSTART:19700101T000000\nEND:STANDARD\nEND:VTIMEZONE\n";
    const int64_t from = Wall("20100401").GetTime();
    const int64_t to = Wall("20100501").GetTime();
    const std::vector<int64_t> expected = {Wall("20100416T190000").GetTime(),
                                           Wall("20100423T190000").GetTime(),
                                           Wall("20100430T190000").GetTime()};
    std::string crlf;
    for (char ch : bare) {
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    }
    std::string glued = "BEGIN:VEVENT\n" + bare;
    glued.pop_back();
    glued += "END:VEVENT\n";
    for (const std::string& text :
         {bare, bare + "\n\n", "BEGIN:VEVENT\n" + bare + "\nEND:VEVENT\n", crlf + "\r\n", glued}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(expected, Expand(text, from, to));
    }
}

std::string LogText(const Utility::CMaintenanceLog& log) {
    return testsupport::ReadFile(log.FileNameFor(platform::NowSeconds()));
}

// Unusable texts fail with a log line and no occurrences; an unknown TZID
// without a VTIMEZONE is read as local time, with a log line.
TEST(RecurrenceText, UnusableTextsFailWithALogLine) {
    testsupport::ScopedTz tz(kTokyo);
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    const std::vector<std::string> bad = {
        "",
        "this is not iCalendar",
        "RRULE:FREQ=DAILY\n",
        "DTSTART:notadate\nRRULE:FREQ=DAILY\n",
        "DTSTART:20240101T100000\nRRULE:FREQ=SOMETIMES\n",
        "DTSTART:20240101T100000\nRRULE:COUNT=3\n",
    };
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        std::vector<CTime> occurrences;
        int count = -1;
        int error = -1;
        EXPECT_EQ(0, CIcalendar::GetRecurrenceEvents(text, Wall("20240101"), Wall("20240201"),
                                                     occurrences, count, error, &log));
        EXPECT_TRUE(occurrences.empty());
        EXPECT_EQ(0, count);
        EXPECT_EQ(CIcalendar::kErrorUnusableText, error);
    }
    const std::string lines = LogText(log);
    EXPECT_NE(std::string::npos, lines.find("<ical> recurrence without DTSTART: RRULE:FREQ=DAILY"))
        << lines;

    std::vector<CTime> occurrences;
    int count = 0;
    int error = 0;
    EXPECT_NE(0, CIcalendar::GetRecurrenceEvents(
                     "DTSTART;TZID=Nowhere/Special:20240101T100000\nRRULE:FREQ=DAILY;COUNT=2\n",
                     Wall("20240101"), Wall("20240201"), occurrences, count, error, &log));
    EXPECT_EQ((std::vector<int64_t>{Wall("20240101T100000").GetTime(),
                                    Wall("20240102T100000").GetTime()}),
              Seconds(occurrences));
    EXPECT_NE(std::string::npos,
              LogText(log).find("<ical> unknown time zone Nowhere/Special, read as local time"));
}

// Existing occurrences are appended to, never cleared.
TEST(RecurrenceText, OccurrencesAreAppended) {
    testsupport::ScopedTz tz(kTokyo);
    std::vector<CTime> occurrences = {CTime(1)};
    int count = 0;
    int error = 0;
    ASSERT_NE(0, CIcalendar::GetRecurrenceEvents("DTSTART:20240101T000000Z\nRRULE:FREQ=DAILY\n",
                                                 CTime(Utc("20240101")), CTime(Utc("20240103")),
                                                 occurrences, count, error));
    EXPECT_EQ(2, count);
    EXPECT_EQ((std::vector<int64_t>{1, Utc("20240101"), Utc("20240102")}), Seconds(occurrences));
}

// A series that cannot skip ahead (HOURLY) expands month by month the same as
// all at once, also for months far after its start.
TEST(RecurrenceSeries, HourlySeriesMonthByMonth) {
    testsupport::ScopedTz tz(kNewYork);
    const std::string text =
        "DTSTART;TZID=America/New_York:20200101T000000\n"
        "RRULE:FREQ=HOURLY;INTERVAL=7\n";
    auto series = Controller::CRecurrenceSeries::Parse(text, nullptr);
    ASSERT_TRUE(series);
    std::vector<CTime> byMonth;
    for (int m = 1; m <= 4; ++m) {
        series->Expand(CTime(2024, m, 1, 0, 0, 0), CTime(2024, m + 1, 1, 0, 0, 0), byMonth);
    }
    const std::vector<int64_t> whole =
        Expand(text, CTime(2024, 1, 1, 0, 0, 0).GetTime(), CTime(2024, 5, 1, 0, 0, 0).GetTime());
    EXPECT_EQ(whole, Seconds(byMonth));
    ASSERT_FALSE(whole.empty());
    for (size_t i = 1; i < whole.size(); ++i) {
        EXPECT_EQ(7 * 3600, whole[i] - whole[i - 1]);
    }
}

std::string LogFileText(const std::string& folder) {
    std::string all;
    for (const auto& f : std::filesystem::directory_iterator(folder)) {
        all += testsupport::ReadFile(f.path().string());
    }
    return all;
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// A series yields at most 3,000 occurrences for one range (a month), counted
// over all its rules: the first 3,000 of the range, with one log line however
// often the month is asked for. The fixture's 20 SECONDLY rules gave 957,120
// occurrences for January (seconds of work and a million events).
TEST(RecurrenceSeries, OccurrencesPerRangeAreCappedOverAllRules) {
    testsupport::ScopedTz tz(kTokyo);
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    const std::string text = testsupport::ReadFile(std::string(DAYMARK_SOURCE_DIR) +
                                                   "/tests/data/hostile/secondly-rules.ics");
    auto series = Controller::CRecurrenceSeries::Parse(text, &log);
    ASSERT_TRUE(series);
    // The true first 3,000 of January (local): DTSTART is 2026-01-01 00:00 UTC,
    // every rule steps INTERVAL seconds from it (29 to 48).
    const int64_t start = Utc("20260101T000000");
    const int64_t from = CTime(2026, 1, 1, 0, 0, 0).GetTime();
    const int64_t to = CTime(2026, 2, 1, 0, 0, 0).GetTime();
    std::vector<int64_t> expected;
    for (int64_t t = from; expected.size() < 3000; ++t) {
        bool hit = t == start;
        for (int interval = 29; interval <= 48 && !hit; ++interval) {
            hit = t >= start && (t - start) % interval == 0;
        }
        if (hit) {
            expected.push_back(t);
        }
    }
    for (int round = 0; round < 3; ++round) {
        std::vector<CTime> out;
        series->Expand(CTime(from), CTime(to), out);
        EXPECT_EQ(expected, Seconds(out)) << round;
    }
    // A later month is cut the same way.
    std::vector<CTime> february;
    series->Expand(CTime(to), CTime(2026, 3, 1, 0, 0, 0), february);
    EXPECT_LE(february.size(), 3000u);
    EXPECT_TRUE(std::is_sorted(february.begin(), february.end()));
    const std::string lines = LogFileText(dir.path());
    EXPECT_EQ(1u, Occurrences(lines,
                              "<ical> more than 3000 occurrences in one range, the later "
                              "ones are not shown"))
        << lines;
}

// A rule that can skip ahead but is dense (every 15 seconds of every day)
// is filled only from just before the range, and cut the same way.
TEST(RecurrenceSeries, DenseDailyRuleIsCutToTheFirstOccurrences) {
    testsupport::ScopedTz tz(kNewYork);
    std::string minutes;
    for (int m = 0; m < 60; ++m) {
        minutes += (m ? "," : "") + std::to_string(m);
    }
    const std::string text =
        "DTSTART:20200101T000000Z\nRRULE:FREQ=DAILY;BYHOUR=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,"
        "16,17,18,19,20,21,22,23;BYMINUTE=" +
        minutes + ";BYSECOND=0,15,30,45\n";
    auto series = Controller::CRecurrenceSeries::Parse(text, nullptr);
    ASSERT_TRUE(series);
    const int64_t from = CTime(2026, 3, 1, 0, 0, 0).GetTime();
    std::vector<CTime> out;
    series->Expand(CTime(from), CTime(2026, 4, 1, 0, 0, 0), out);
    ASSERT_EQ(out.size(), 3000u);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(from + 15 * static_cast<int64_t>(i), out[i].GetTime()) << i;
    }
}

// Beyond 64 RRULE lines the rest are ignored, with a log line.
TEST(RecurrenceSeries, RuleLinesAreBounded) {
    testsupport::ScopedTz tz(kTokyo);
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    std::string text = "DTSTART:20260105T090000Z\n";
    for (int i = 0; i < 1000; ++i) {
        text += "RRULE:FREQ=WEEKLY;INTERVAL=" + std::to_string(i + 1) + "\n";
    }
    auto series = Controller::CRecurrenceSeries::Parse(text, &log);
    ASSERT_TRUE(series);
    std::vector<CTime> out;
    series->Expand(CTime(2026, 1, 1, 0, 0, 0), CTime(2026, 2, 1, 0, 0, 0), out);
    EXPECT_EQ(4u, out.size());  // 5, 12, 19 and 26 January
    EXPECT_NE(LogFileText(dir.path()).find("<ical> more than 64 RRULE lines, the rest are ignored"),
              std::string::npos);
}

const std::string kWeekly = "DTSTART:20240101T100000Z\nRRULE:FREQ=WEEKLY\n";
const std::string kDaily = "DTSTART:20240101T100000Z\nRRULE:FREQ=DAILY\n";

// The cache parses a series once, again when its text changes or after it is
// invalidated or cleared, and remembers that a text is unusable.
TEST(RecurrenceCache, ParsesOncePerText) {
    testsupport::ScopedTz tz(kTokyo);
    Controller::CRecurrenceCache cache;
    std::vector<CTime> out;
    const CTime jan(Utc("20240101")), feb(Utc("20240201")), mar(Utc("20240301"));
    ASSERT_TRUE(cache.GetOccurrences("a", kWeekly, jan, feb, out));
    ASSERT_TRUE(cache.GetOccurrences("a", kWeekly, feb, mar, out));
    EXPECT_EQ(9u, out.size());
    EXPECT_EQ(1u, cache.GetParseCount());

    out.clear();
    ASSERT_TRUE(cache.GetOccurrences("a", kDaily, jan, feb, out));
    EXPECT_EQ(31u, out.size());
    EXPECT_EQ(2u, cache.GetParseCount());
    ASSERT_TRUE(cache.GetOccurrences("b", kWeekly, jan, feb, out));
    EXPECT_EQ(3u, cache.GetParseCount());
    EXPECT_EQ(2u, cache.GetSize());

    cache.Invalidate("a");
    EXPECT_EQ(1u, cache.GetSize());
    ASSERT_TRUE(cache.GetOccurrences("a", kDaily, jan, feb, out));
    EXPECT_EQ(4u, cache.GetParseCount());

    out.clear();
    EXPECT_FALSE(cache.GetOccurrences("c", "RRULE:FREQ=DAILY\n", jan, feb, out));
    EXPECT_FALSE(cache.GetOccurrences("c", "RRULE:FREQ=DAILY\n", feb, mar, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(5u, cache.GetParseCount());

    cache.Clear();
    EXPECT_EQ(0u, cache.GetSize());
    ASSERT_TRUE(cache.GetOccurrences("b", kWeekly, jan, feb, out));
    EXPECT_EQ(6u, cache.GetParseCount());
}

// The user-interface thread expands while the worker invalidates and another
// thread uses the one-shot entry point with another zone: every answer stays
// right (run under ThreadSanitizer too).
TEST(RecurrenceCache, ExpandWhileAnotherThreadInvalidates) {
    testsupport::ScopedTz tz(kTokyo);
    Controller::CRecurrenceCache cache;
    const std::string eastern =
        "DTSTART;TZID=Custom Eastern:20200106T090000\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO\n" +
        kInlineEastern;
    const CTime from(Utc("20240101")), to(Utc("20240201"));
    std::vector<CTime> reference;
    ASSERT_TRUE(cache.GetOccurrences("ny", eastern, from, to, reference));
    ASSERT_EQ(5u, reference.size());

    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop) {
            cache.Invalidate("ny");
            cache.Invalidate("utc");
        }
    });
    std::thread other([&] {
        for (int i = 0; i < 50; ++i) {
            std::vector<CTime> out;
            int count = 0;
            int error = 0;
            CIcalendar::GetRecurrenceEvents(
                "DTSTART;TZID=Europe/Berlin:20200101T080000\n"
                "RRULE:FREQ=DAILY\n",
                from, to, out, count, error);
            EXPECT_EQ(31, count);
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::vector<CTime> out;
        ASSERT_TRUE(cache.GetOccurrences("ny", eastern, from, to, out));
        ASSERT_TRUE(cache.GetOccurrences("utc", kDaily, from, to, out));
        ASSERT_EQ(5u + 31u, out.size());
        EXPECT_TRUE(std::equal(reference.begin(), reference.end(), out.begin()));
    }
    stop = true;
    worker.join();
    other.join();
}

// Which occurrence an exception replaces: the one at its original start, or
// else the nearest one on the same local date; never two for one exception.
TEST(RecurrenceExceptions, MatchExceptions) {
    testsupport::ScopedTz tz(kTokyo);
    const auto t = [](const char* wall) { return Wall(wall); };
    struct Case {
        const char* name;
        std::vector<CTime> occurrences;
        std::vector<CTime> originals;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"exact", {t("20240101T100000"), t("20240108T100000")}, {t("20240108T100000")}, {-1, 0}},
        {"same date, other time",
         {t("20240101T100000"), t("20240108T100000")},
         {t("20240108T153000")},
         {-1, 0}},
        {"other date", {t("20240101T100000")}, {t("20240102T100000")}, {-1}},
        {"hourly series: only the exact one",
         {t("20240101T090000"), t("20240101T100000"), t("20240101T110000")},
         {t("20240101T100000")},
         {-1, 0, -1}},
        {"hourly series, inexact: the nearest",
         {t("20240101T090000"), t("20240101T100000"), t("20240101T110000")},
         {t("20240101T104000")},
         {-1, -1, 0}},
        {"two exceptions, two occurrences",
         {t("20240101T100000"), t("20240102T100000")},
         {t("20240102T100000"), t("20240101T000000")},
         {1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Controller::MatchExceptions(c.occurrences, c.originals));
    }
}

// Where an occurrence is shown: timed ones keep the series' length from their
// own start (a 10:00-11:30 series shows 10:00-11:30, even when the series'
// zone changed its offset since the first event); all-day ones run midnight
// to midnight over a daylight-saving change.
TEST(RecurrenceExceptions, PlaceOccurrence) {
    testsupport::ScopedTz tz(kNewYork);
    auto span = Controller::PlaceOccurrence(Wall("20240710T100000"), Wall("20240103T100000"),
                                            Wall("20240103T113000"), false);
    EXPECT_EQ(Wall("20240710T100000"), span.start);
    EXPECT_EQ(Wall("20240710T113000"), span.end);

    span = Controller::PlaceOccurrence(Wall("20240309"), Wall("20240302"), Wall("20240304"), true);
    EXPECT_EQ(Wall("20240309"), span.start);
    EXPECT_EQ(Wall("20240311"), span.end);  // 47 hours later
}

// A series in New York shown in Tokyo: its July occurrences start an hour
// earlier in Tokyo than its January ones; the expansion gives exactly that.
TEST(RecurrenceExceptions, OccurrenceTimesFollowTheSeriesZone) {
    testsupport::ScopedTz tz(kTokyo);
    const std::vector<int64_t> got =
        Expand("DTSTART;TZID=America/New_York:20240102T090000\nRRULE:FREQ=WEEKLY;BYDAY=TU\n",
               Wall("20240709").GetTime(), Wall("20240711").GetTime());
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(Wall("20240709T220000").GetTime(), got[0]);
    const auto span = Controller::PlaceOccurrence(CTime(got[0]), Wall("20240102T230000"),
                                                  Wall("20240103T000000"), false);
    EXPECT_EQ(22, span.start.GetHour());
    EXPECT_EQ(23, span.end.GetHour());
}

// A series' own times from its recurrence text, as the store keeps them for
// a series the service sends without gd:when (process in Tokyo).
TEST(SeriesTimes, ReadFromDtstartAndDtendOrDuration) {
    testsupport::ScopedTz tz(kTokyo);
    struct Case {
        const char* text;
        const char* start;
        const char* end;
    };
    const Case cases[] = {
        // Los Angeles in winter and in summer: the instant, in Tokyo time.
        {"DTSTART;TZID=America/Los_Angeles:20260105T100000\n"
         "DTEND;TZID=America/Los_Angeles:20260105T113000\nRRULE:FREQ=WEEKLY\n",
         "2026-01-06T03:00:00.000+09:00", "2026-01-06T04:30:00.000+09:00"},
        {"DTSTART;TZID=America/Los_Angeles:20260706T100000\nDURATION:PT45M\n"
         "RRULE:FREQ=WEEKLY\n\n\n",
         "2026-07-07T02:00:00.000+09:00", "2026-07-07T02:45:00.000+09:00"},
        {"DTSTART:20260105T010000Z\nRRULE:FREQ=DAILY\n", "2026-01-05T10:00:00.000+09:00",
         "2026-01-05T10:00:00.000+09:00"},
        // Floating, and a zone nothing resolves: local time.
        {"DTSTART:20260105T100000\nDTEND:20260105T110000\nRRULE:FREQ=DAILY\n",
         "2026-01-05T10:00:00.000+09:00", "2026-01-05T11:00:00.000+09:00"},
        {"DTSTART;TZID=Nowhere/Special:20260105T100000\nRRULE:FREQ=DAILY\n",
         "2026-01-05T10:00:00.000+09:00", "2026-01-05T10:00:00.000+09:00"},
        // All-day: dates, one day when no end is given.
        {"DTSTART;VALUE=DATE:20260704\nDTEND;VALUE=DATE:20260706\nRRULE:FREQ=YEARLY\n",
         "2026-07-04", "2026-07-06"},
        {"DTSTART;VALUE=DATE:20260704\nRRULE:FREQ=YEARLY\n", "2026-07-04", "2026-07-05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string start, end;
        ASSERT_TRUE(googledata::ReadSeriesTimes(c.text, start, end));
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.end);
    }
    for (const char* unusable : {"", "RRULE:FREQ=DAILY\n", "DTSTART:garbage\n", "\x01\xff"}) {
        std::string start = "kept", end = "kept";
        EXPECT_FALSE(googledata::ReadSeriesTimes(unusable, start, end)) << unusable;
        EXPECT_EQ(start, "kept");
    }
}

}  // namespace

// A series whose own VTIMEZONE changes by a rule finer than yearly is refused
// with a warning: libical expanded the hourly rule change by change (seconds
// for one month), where real zones change once or twice a year.
TEST(RecurrenceSeries, ZoneRuleFinerThanYearlyIsRefused) {
    testsupport::ScopedTz tz(kTokyo);
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    const std::string zone =
        "BEGIN:VTIMEZONE\nTZID:Z\nBEGIN:STANDARD\nTZOFFSETFROM:-0400\nTZOFFSETTO:-0500\n"
        "DTSTART:20071104T020000\nRRULE:FREQ=@;BYMONTH=11;BYDAY=1SU\nEND:STANDARD\n"
        "END:VTIMEZONE\n";
    const std::string series = "DTSTART;TZID=Z:20260105T090000\nRRULE:FREQ=WEEKLY;COUNT=4\n";
    auto with = [&](const std::string& freq) {
        std::string text = series + zone;
        text.replace(text.find('@'), 1, freq);
        return text;
    };
    EXPECT_FALSE(Controller::CRecurrenceSeries::Parse(with("HOURLY"), &log));
    EXPECT_FALSE(Controller::CRecurrenceSeries::Parse(with("MONTHLY"), &log));
    EXPECT_EQ(2u, Occurrences(LogFileText(dir.path()), "time zone rule that is not yearly"));
    // The series' own times (and a CalDAV event's, read the same way) too.
    std::string start, end;
    EXPECT_FALSE(googledata::ReadSeriesTimes(with("HOURLY"), start, end));
    EXPECT_TRUE(start.empty());
    ASSERT_TRUE(googledata::ReadSeriesTimes(with("YEARLY"), start, end));
    EXPECT_EQ(start, "2026-01-05T23:00:00.000+09:00");
    auto yearly = Controller::CRecurrenceSeries::Parse(with("YEARLY"), &log);
    ASSERT_TRUE(yearly);
    std::vector<CTime> out;
    yearly->Expand(CTime(2026, 1, 1, 0, 0, 0), CTime(2026, 2, 1, 0, 0, 0), out);
    EXPECT_EQ(4u, out.size());
}

// A numbered weekday ("1SU") in a rule finer than daily is refused with a
// warning: libical searched seconds for it, and it belongs to monthly and
// yearly rules.
TEST(RecurrenceSeries, NumberedWeekdayInASubDailyRuleIsRefused) {
    testsupport::ScopedTz tz(kTokyo);
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    EXPECT_FALSE(Controller::CRecurrenceSeries::Parse(
        "DTSTART:20071104T020000Z\nRRULE:FREQ=HOURLY;BYMONTH=11;BYDAY=1SU\n", &log));
    EXPECT_EQ(1u, Occurrences(LogFileText(dir.path()), "numbered weekday"));
    auto plain = Controller::CRecurrenceSeries::Parse(
        "DTSTART:20071104T020000Z\nRRULE:FREQ=HOURLY;BYMONTH=11;BYDAY=SU;COUNT=3\n", &log);
    ASSERT_TRUE(plain);
    std::vector<CTime> out;
    plain->Expand(CTime(2007, 11, 1, 0, 0, 0), CTime(2007, 12, 1, 0, 0, 0), out);
    EXPECT_EQ(out.size(), 3u);
}
