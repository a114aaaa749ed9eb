// The recurrence examples of RFC 5545 section 3.8.5.3 with the occurrences
// the RFC lists (New York wall times), and the helpers that turn wall times
// into instants. Shared by the tests that expand series directly and those
// that take them through the download path. Test threads only.
#pragma once

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Time.h"
#include "tests/support/TestSupport.h"

namespace testsupport::rfc {

using platform::CTime;

// "YYYYMMDDTHHMMSS" (or "YYYYMMDD") read as local time of the current TZ.
inline CTime Wall(const std::string& text) {
    const int y = std::stoi(text.substr(0, 4));
    const int m = std::stoi(text.substr(4, 2));
    const int d = std::stoi(text.substr(6, 2));
    if (text.size() < 15) {
        return CTime(y, m, d, 0, 0, 0);
    }
    return CTime(y, m, d, std::stoi(text.substr(9, 2)), std::stoi(text.substr(11, 2)),
                 std::stoi(text.substr(13, 2)));
}

// The instants of wall times of `zone`.
inline std::vector<int64_t> InstantsIn(const std::string& zone,
                                       const std::vector<std::string>& walls) {
    testsupport::ScopedTz tz(zone);
    std::vector<int64_t> out;
    for (const auto& w : walls) {
        out.push_back(Wall(w).GetTime());
    }
    return out;
}

inline int64_t InstantIn(const std::string& zone, const std::string& wall) {
    return InstantsIn(zone, {wall})[0];
}

// Every `step`th day from `first` up to (not including) `end`, at `time`.
inline std::vector<std::string> Days(const std::string& first, const std::string& end, int step,
                                     const std::string& time = "T090000") {
    std::tm tm{};
    tm.tm_year = std::stoi(first.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(first.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(first.substr(6, 2));
    std::vector<std::string> out;
    for (;;) {
        std::tm norm = tm;
        const std::time_t t = timegm(&norm);
        std::tm day{};
        gmtime_r(&t, &day);
        char buf[16];
        std::strftime(buf, sizeof buf, "%Y%m%d", &day);
        if (std::string(buf) >= end) {
            return out;
        }
        out.push_back(buf + time);
        tm.tm_mday += step;
    }
}

// Dates ("YYYYMMDD") at 09:00.
inline std::vector<std::string> At9(std::initializer_list<const char*> dates) {
    std::vector<std::string> out;
    for (const char* d : dates) {
        out.push_back(std::string(d) + "T090000");
    }
    return out;
}

inline std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// Every 20 minutes from 9:00 to 16:40 on two days.
inline std::vector<std::string> TwentyMinuteSlots() {
    std::vector<std::string> out;
    for (const char* day : {"19970902", "19970903"}) {
        for (int h = 9; h <= 16; ++h) {
            for (int m = 0; m < 60; m += 20) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%sT%02d%02d00", day, h, m);
                out.push_back(buf);
            }
        }
    }
    return out;
}

inline const std::string kNyStart = "DTSTART;TZID=America/New_York:19970902T090000\n";

struct RfcCase {
    const char* name;
    std::string text;
    const char* rangeEnd;               // New York wall time ending the compared range
    std::vector<std::string> expected;  // New York wall times
};

// RFC 5545 section 3.8.5.3, in the order of the RFC. Open-ended rules are
// compared up to rangeEnd.
inline std::vector<RfcCase> RfcCases() {
    return {
        {"DailyCount10", kNyStart + "RRULE:FREQ=DAILY;COUNT=10\n", "19980101",
         Days("19970902", "19970912", 1)},
        {"DailyUntil", kNyStart + "RRULE:FREQ=DAILY;UNTIL=19971224T000000Z\n", "19980301",
         Days("19970902", "19971224", 1)},
        {"EveryOtherDay", kNyStart + "RRULE:FREQ=DAILY;INTERVAL=2\n", "19971225",
         Days("19970902", "19971225", 2)},
        {"Every10Days5", kNyStart + "RRULE:FREQ=DAILY;INTERVAL=10;COUNT=5\n", "19980101",
         At9({"19970902", "19970912", "19970922", "19971002", "19971012"})},
        {"JanuaryYearly",
         "DTSTART;TZID=America/New_York:19980101T090000\n"
         "RRULE:FREQ=YEARLY;UNTIL=20000131T140000Z;BYMONTH=1;BYDAY=SU,MO,TU,WE,TH,FR,SA\n",
         "20010101",
         Concat({Days("19980101", "19980201", 1), Days("19990101", "19990201", 1),
                 Days("20000101", "20000201", 1)})},
        {"JanuaryDaily",
         "DTSTART;TZID=America/New_York:19980101T090000\n"
         "RRULE:FREQ=DAILY;UNTIL=20000131T140000Z;BYMONTH=1\n",
         "20010101",
         Concat({Days("19980101", "19980201", 1), Days("19990101", "19990201", 1),
                 Days("20000101", "20000201", 1)})},
        {"WeeklyCount10", kNyStart + "RRULE:FREQ=WEEKLY;COUNT=10\n", "19980101",
         Days("19970902", "19971105", 7)},
        {"WeeklyUntil", kNyStart + "RRULE:FREQ=WEEKLY;UNTIL=19971224T000000Z\n", "19980301",
         Days("19970902", "19971224", 7)},
        {"EveryOtherWeek", kNyStart + "RRULE:FREQ=WEEKLY;INTERVAL=2;WKST=SU\n", "19980218",
         Days("19970902", "19980218", 14)},
        {"TuThUntil", kNyStart + "RRULE:FREQ=WEEKLY;UNTIL=19971007T000000Z;WKST=SU;BYDAY=TU,TH\n",
         "19980101",
         At9({"19970902", "19970904", "19970909", "19970911", "19970916", "19970918", "19970923",
              "19970925", "19970930", "19971002"})},
        {"TuThCount", kNyStart + "RRULE:FREQ=WEEKLY;COUNT=10;WKST=SU;BYDAY=TU,TH\n", "19980101",
         At9({"19970902", "19970904", "19970909", "19970911", "19970916", "19970918", "19970923",
              "19970925", "19970930", "19971002"})},
        {"EveryOtherWeekMoWeFr",
         "DTSTART;TZID=America/New_York:19970901T090000\n"
         "RRULE:FREQ=WEEKLY;INTERVAL=2;UNTIL=19971224T000000Z;WKST=SU;BYDAY=MO,WE,FR\n",
         "19980301",
         At9({"19970901", "19970903", "19970905", "19970915", "19970917", "19970919", "19970929",
              "19971001", "19971003", "19971013", "19971015", "19971017", "19971027", "19971029",
              "19971031", "19971110", "19971112", "19971114", "19971124", "19971126", "19971128",
              "19971208", "19971210", "19971212", "19971222"})},
        {"EveryOtherWeekTuThCount8",
         kNyStart + "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=8;WKST=SU;BYDAY=TU,TH\n", "19980101",
         At9({"19970902", "19970904", "19970916", "19970918", "19970930", "19971002", "19971014",
              "19971016"})},
        {"FirstFridayCount",
         "DTSTART;TZID=America/New_York:19970905T090000\n"
         "RRULE:FREQ=MONTHLY;COUNT=10;BYDAY=1FR\n",
         "19990101",
         At9({"19970905", "19971003", "19971107", "19971205", "19980102", "19980206", "19980306",
              "19980403", "19980501", "19980605"})},
        {"FirstFridayUntil",
         "DTSTART;TZID=America/New_York:19970905T090000\n"
         "RRULE:FREQ=MONTHLY;UNTIL=19971224T000000Z;BYDAY=1FR\n",
         "19990101", At9({"19970905", "19971003", "19971107", "19971205"})},
        {"FirstAndLastSundayEveryOtherMonth",
         "DTSTART;TZID=America/New_York:19970907T090000\n"
         "RRULE:FREQ=MONTHLY;INTERVAL=2;COUNT=10;BYDAY=1SU,-1SU\n",
         "19990101",
         At9({"19970907", "19970928", "19971102", "19971130", "19980104", "19980125", "19980301",
              "19980329", "19980503", "19980531"})},
        {"SecondToLastMonday",
         "DTSTART;TZID=America/New_York:19970922T090000\n"
         "RRULE:FREQ=MONTHLY;COUNT=6;BYDAY=-2MO\n",
         "19990101", At9({"19970922", "19971020", "19971117", "19971222", "19980119", "19980216"})},
        {"ThirdToLastDay",
         "DTSTART;TZID=America/New_York:19970928T090000\n"
         "RRULE:FREQ=MONTHLY;BYMONTHDAY=-3\n",
         "19980301", At9({"19970928", "19971029", "19971128", "19971229", "19980129", "19980226"})},
        {"SecondAndFifteenth", kNyStart + "RRULE:FREQ=MONTHLY;COUNT=10;BYMONTHDAY=2,15\n",
         "19990101",
         At9({"19970902", "19970915", "19971002", "19971015", "19971102", "19971115", "19971202",
              "19971215", "19980102", "19980115"})},
        {"FirstAndLastDay",
         "DTSTART;TZID=America/New_York:19970930T090000\n"
         "RRULE:FREQ=MONTHLY;COUNT=10;BYMONTHDAY=1,-1\n",
         "19990101",
         At9({"19970930", "19971001", "19971031", "19971101", "19971130", "19971201", "19971231",
              "19980101", "19980131", "19980201"})},
        {"Every18Months10thTo15th",
         "DTSTART;TZID=America/New_York:19970910T090000\n"
         "RRULE:FREQ=MONTHLY;INTERVAL=18;COUNT=10;BYMONTHDAY=10,11,12,13,14,15\n",
         "20000101",
         At9({"19970910", "19970911", "19970912", "19970913", "19970914", "19970915", "19990310",
              "19990311", "19990312", "19990313"})},
        {"TuesdayEveryOtherMonth", kNyStart + "RRULE:FREQ=MONTHLY;INTERVAL=2;BYDAY=TU\n",
         "19980401",
         At9({"19970902", "19970909", "19970916", "19970923", "19970930", "19971104", "19971111",
              "19971118", "19971125", "19980106", "19980113", "19980120", "19980127", "19980303",
              "19980310", "19980317", "19980324", "19980331"})},
        {"JuneAndJuly",
         "DTSTART;TZID=America/New_York:19970610T090000\n"
         "RRULE:FREQ=YEARLY;COUNT=10;BYMONTH=6,7\n",
         "20030101",
         At9({"19970610", "19970710", "19980610", "19980710", "19990610", "19990710", "20000610",
              "20000710", "20010610", "20010710"})},
        {"EveryOtherYearJanFebMar",
         "DTSTART;TZID=America/New_York:19970310T090000\n"
         "RRULE:FREQ=YEARLY;INTERVAL=2;COUNT=10;BYMONTH=1,2,3\n",
         "20050101",
         At9({"19970310", "19990110", "19990210", "19990310", "20010110", "20010210", "20010310",
              "20030110", "20030210", "20030310"})},
        {"EveryThirdYearDays1_100_200",
         "DTSTART;TZID=America/New_York:19970101T090000\n"
         "RRULE:FREQ=YEARLY;INTERVAL=3;COUNT=10;BYYEARDAY=1,100,200\n",
         "20080101",
         At9({"19970101", "19970410", "19970719", "20000101", "20000409", "20000718", "20030101",
              "20030410", "20030719", "20060101"})},
        {"Every20thMonday",
         "DTSTART;TZID=America/New_York:19970519T090000\n"
         "RRULE:FREQ=YEARLY;BYDAY=20MO\n",
         "20000101", At9({"19970519", "19980518", "19990517"})},
        {"MondayOfWeek20",
         "DTSTART;TZID=America/New_York:19970512T090000\n"
         "RRULE:FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO\n",
         "20000101", At9({"19970512", "19980511", "19990517"})},
        {"ThursdaysInMarch",
         "DTSTART;TZID=America/New_York:19970313T090000\n"
         "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=TH\n",
         "19990401",
         At9({"19970313", "19970320", "19970327", "19980305", "19980312", "19980319", "19980326",
              "19990304", "19990311", "19990318", "19990325"})},
        {"ThursdaysInSummer",
         "DTSTART;TZID=America/New_York:19970605T090000\n"
         "RRULE:FREQ=YEARLY;BYDAY=TH;BYMONTH=6,7,8\n",
         "19990901",
         Concat({Days("19970605", "19970901", 7), Days("19980604", "19980901", 7),
                 Days("19990603", "19990901", 7)})},
        {"FridayThe13th",
         kNyStart + "EXDATE;TZID=America/New_York:19970902T090000\n"
                    "RRULE:FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13\n",
         "20010101", At9({"19980213", "19980313", "19981113", "19990813", "20001013"})},
        {"SaturdayAfterFirstSunday",
         "DTSTART;TZID=America/New_York:19970913T090000\n"
         "RRULE:FREQ=MONTHLY;BYDAY=SA;BYMONTHDAY=7,8,9,10,11,12,13\n",
         "19980701",
         At9({"19970913", "19971011", "19971108", "19971213", "19980110", "19980207", "19980307",
              "19980411", "19980509", "19980613"})},
        {"ElectionDay",
         "DTSTART;TZID=America/New_York:19961105T090000\n"
         "RRULE:FREQ=YEARLY;INTERVAL=4;BYMONTH=11;BYDAY=TU;BYMONTHDAY=2,3,4,5,6,7,8\n",
         "20050101", At9({"19961105", "20001107", "20041102"})},
        {"ThirdTuWeThInMonth",
         "DTSTART;TZID=America/New_York:19970904T090000\n"
         "RRULE:FREQ=MONTHLY;COUNT=3;BYDAY=TU,WE,TH;BYSETPOS=3\n",
         "19980101", At9({"19970904", "19971007", "19971106"})},
        {"SecondToLastWeekday",
         "DTSTART;TZID=America/New_York:19970929T090000\n"
         "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-2\n",
         "19980401",
         At9({"19970929", "19971030", "19971127", "19971230", "19980129", "19980226", "19980330"})},
        // The RFC writes UNTIL=19970902T170000Z but lists 15:00 EDT; 17:00 EDT
        // is what it means.
        {"Every3HoursNineToFive",
         kNyStart + "RRULE:FREQ=HOURLY;INTERVAL=3;UNTIL=19970902T210000Z\n",
         "19970910",
         {"19970902T090000", "19970902T120000", "19970902T150000"}},
        {"Every15MinutesCount6",
         kNyStart + "RRULE:FREQ=MINUTELY;INTERVAL=15;COUNT=6\n",
         "19970910",
         {"19970902T090000", "19970902T091500", "19970902T093000", "19970902T094500",
          "19970902T100000", "19970902T101500"}},
        {"EveryHourAndAHalfCount4",
         kNyStart + "RRULE:FREQ=MINUTELY;INTERVAL=90;COUNT=4\n",
         "19970910",
         {"19970902T090000", "19970902T103000", "19970902T120000", "19970902T133000"}},
        {"Every20MinutesDaily",
         kNyStart + "RRULE:FREQ=DAILY;BYHOUR=9,10,11,12,13,14,15,16;BYMINUTE=0,20,40\n", "19970904",
         TwentyMinuteSlots()},
        {"Every20MinutesMinutely",
         kNyStart + "RRULE:FREQ=MINUTELY;INTERVAL=20;BYHOUR=9,10,11,12,13,14,15,16\n", "19970904",
         TwentyMinuteSlots()},
        {"WkstMonday",
         "DTSTART;TZID=America/New_York:19970805T090000\n"
         "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=MO\n",
         "19980101", At9({"19970805", "19970810", "19970819", "19970824"})},
        {"WkstSunday",
         "DTSTART;TZID=America/New_York:19970805T090000\n"
         "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=SU\n",
         "19980101", At9({"19970805", "19970817", "19970819", "19970831"})},
        {"InvalidDatesIgnored",
         "DTSTART;TZID=America/New_York:20070115T090000\n"
         "RRULE:FREQ=MONTHLY;BYMONTHDAY=15,30;COUNT=5\n",
         "20080101", At9({"20070115", "20070130", "20070215", "20070315", "20070330"})},
    };
}

}  // namespace testsupport::rfc
