// Expanding recurring series for a month view: 100 weekly series that began
// five years before the months shown, three months at a time (what GetEvents
// asks for), from the parsed-series cache, from a fresh cache, and parsing
// every series for every month; and one hostile series. The process runs in
// Asia/Tokyo; half the series carry an inline Asia/Tokyo VTIMEZONE as the
// service writes it, half an inline America/New_York one (daylight-saving
// rules).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "controller/Icalendar.h"
#include "controller/RecurrenceCache.h"
#include "platform/Time.h"

using platform::CTime;

namespace {

const char* const kTokyoZone =
    "BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\nX-LIC-LOCATION:Asia/Tokyo\nBEGIN:STANDARD\n"
    "TZOFFSETFROM:+0900\nTZOFFSETTO:+0900\nTZNAME:JST\nDTSTART:19700101T000000\n"
    "END:STANDARD\nEND:VTIMEZONE\n";
const char* const kEasternZone =
    "BEGIN:VTIMEZONE\nTZID:America/New_York\nX-LIC-LOCATION:America/New_York\n"
    "BEGIN:DAYLIGHT\nTZOFFSETFROM:-0500\nTZOFFSETTO:-0400\nTZNAME:EDT\n"
    "DTSTART:19700308T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\nEND:DAYLIGHT\n"
    "BEGIN:STANDARD\nTZOFFSETFROM:-0400\nTZOFFSETTO:-0500\nTZNAME:EST\n"
    "DTSTART:19701101T020000\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\nEND:STANDARD\n"
    "END:VTIMEZONE\n";

struct Series {
    std::string id;
    std::string text;
};

// 100 weekly series starting in June 2019, five years before the months
// shown; `count` adds COUNT (such rules cannot skip ahead).
std::vector<Series> MakeSeries(int count = 0) {
    static const char* const kDays[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    std::vector<Series> out;
    for (int i = 0; i < 100; ++i) {
        const bool tokyo = i % 2 == 0;
        const char* zone = tokyo ? "Asia/Tokyo" : "America/New_York";
        char start[64];
        std::snprintf(start, sizeof start, "201906%02dT%02d%02d00", 3 + i % 7, 8 + i % 10,
                      (i % 4) * 15);
        std::string text = std::string("DTSTART;TZID=") + zone + ":" + start + "\n" +
                           "DTEND;TZID=" + zone + ":" + start + "\n" +
                           "RRULE:FREQ=WEEKLY;BYDAY=" + kDays[i % 7] +
                           (i % 5 == 0 ? std::string(",") + kDays[(i + 3) % 7] : "") +
                           (count > 0 ? ";COUNT=" + std::to_string(count) : "") + "\n" +
                           (tokyo ? kTokyoZone : kEasternZone) + "\n";
        out.push_back({"series-" + std::to_string(i), text});
    }
    return out;
}

struct Month {
    CTime from;
    CTime to;
};

// June, July and August 2024 (local months of the process's zone).
std::vector<Month> ThreeMonths() {
    return {{CTime(2024, 6, 1, 0, 0, 0), CTime(2024, 7, 1, 0, 0, 0)},
            {CTime(2024, 7, 1, 0, 0, 0), CTime(2024, 8, 1, 0, 0, 0)},
            {CTime(2024, 8, 1, 0, 0, 0), CTime(2024, 9, 1, 0, 0, 0)}};
}

size_t ExpandAll(Controller::CRecurrenceCache& cache, const std::vector<Series>& series,
                 const std::vector<Month>& months) {
    size_t n = 0;
    for (const Month& m : months) {
        for (const Series& s : series) {
            std::vector<CTime> out;
            cache.GetOccurrences(s.id, s.text, m.from, m.to, out);
            n += out.size();
        }
    }
    return n;
}

// The steady state of a month window: every series already parsed.
void BM_CachedThreeMonths(benchmark::State& state) {
    const auto series = MakeSeries(static_cast<int>(state.range(0)));
    const auto months = ThreeMonths();
    Controller::CRecurrenceCache cache;
    ExpandAll(cache, series, months);
    size_t n = 0;
    for (auto _ : state) {
        n = ExpandAll(cache, series, months);
        benchmark::DoNotOptimize(n);
    }
    state.counters["occurrences"] = static_cast<double>(n);
}
BENCHMARK(BM_CachedThreeMonths)->Arg(0)->Arg(400)->Unit(benchmark::kMillisecond);

// The first view after start-up or after every series changed: each series
// parsed once, then expanded for three months.
void BM_FreshCacheThreeMonths(benchmark::State& state) {
    const auto series = MakeSeries();
    const auto months = ThreeMonths();
    for (auto _ : state) {
        Controller::CRecurrenceCache cache;
        benchmark::DoNotOptimize(ExpandAll(cache, series, months));
    }
}
BENCHMARK(BM_FreshCacheThreeMonths)->Unit(benchmark::kMillisecond);

// For comparison: parsing every series for every month.
void BM_ParseEveryMonthThreeMonths(benchmark::State& state) {
    const auto series = MakeSeries();
    const auto months = ThreeMonths();
    for (auto _ : state) {
        for (const Month& m : months) {
            for (const Series& s : series) {
                std::vector<CTime> out;
                int count = 0;
                int error = 0;
                CIcalendar::GetRecurrenceEvents(s.text, m.from, m.to, out, count, error);
                benchmark::DoNotOptimize(out.data());
            }
        }
    }
}
BENCHMARK(BM_ParseEveryMonthThreeMonths)->Unit(benchmark::kMillisecond);

// A hostile series (tests/data/hostile/secondly-rules.ics: 20 SECONDLY rules,
// nearly a million occurrences in January 2026): its first month from a
// fresh cache, where the cap of occurrences per month must keep the cost
// near that of a few thousand iterator steps.
void BM_HostileSeriesFirstMonth(benchmark::State& state) {
    std::string text = "DTSTART:20260101T000000Z\nDTEND:20260101T000100Z\n";
    for (int interval = 29; interval <= 48; ++interval) {
        text += "RRULE:FREQ=SECONDLY;INTERVAL=" + std::to_string(interval) + "\n";
    }
    size_t n = 0;
    for (auto _ : state) {
        Controller::CRecurrenceCache cache;
        std::vector<CTime> out;
        cache.GetOccurrences("hostile", text, CTime(2026, 1, 1, 0, 0, 0),
                             CTime(2026, 2, 1, 0, 0, 0), out);
        n = out.size();
    }
    state.counters["occurrences"] = static_cast<double>(n);
}
BENCHMARK(BM_HostileSeriesFirstMonth)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    CIcalendar::Initialize();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
