// The national holidays computed by the rules: every year the rules cover
// (1948 to 2099) at once, and the three months a calendar window asks for in
// the form the store keeps them. The target: all years in under 1 ms.
#include <benchmark/benchmark.h>

#include <list>
#include <vector>

#include "controller/OfflineHolidays.h"
#include "model/JapaneseHolidays.h"

namespace {

void BM_AllHolidays1948To2099(benchmark::State& state) {
    std::vector<Model::NationalHoliday> all;
    all.reserve(4096);
    for (auto _ : state) {
        all.clear();
        for (int y = Model::kFirstHolidayYear; y <= Model::kLastHolidayYear; ++y) {
            Model::AppendJapaneseHolidays(y, all);
        }
        benchmark::DoNotOptimize(all.data());
    }
    state.counters["holidays"] = static_cast<double>(all.size());
}
BENCHMARK(BM_AllHolidays1948To2099)->Unit(benchmark::kMicrosecond);

void BM_ThreeMonthsForAWindow(benchmark::State& state) {
    for (auto _ : state) {
        std::list<googledata::PrimitiveHoliday> out;
        for (int m = 4; m <= 6; ++m) {
            Controller::AppendComputedHolidays(2026, m, out);
        }
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_ThreeMonthsForAWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
