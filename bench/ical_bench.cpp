// iCalendar export and import of the database tools/make_event_db makes
// (10,000 single events and 100 weekly series, half with an inline
// VTIMEZONE, half naming America/New_York): the export of every event to a
// file, and the import of that file into an empty local database (reading,
// checking, converting and storing in one transaction). Asia/Tokyo.
// Target: each under 1 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "controller/CalendarManager.h"
#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

namespace {

#ifdef DAYMARK_MAKE_EVENT_DB

struct Fixture {
    testsupport::ScopedTz tz{"Asia/Tokyo"};
    testsupport::TempDir dir;
    std::string folder = dir.path() + "/full";
    std::string file = dir.path() + "/all.ics";
    Fixture() {
        if (testsupport::RunQuietly({DAYMARK_MAKE_EVENT_DB, folder, "10000", "100"}) != 0) {
            std::fprintf(stderr, "make_event_db failed\n");
            std::exit(1);
        }
    }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_ExportTenThousandEvents(benchmark::State& state) {
    Fixture& f = Shared();
    Controller::CCalendarManager manager(f.folder + "/config.ini", f.folder);
    if (!manager.OpenForReading(L"local")) {
        state.SkipWithError("no database");
        return;
    }
    Controller::IcalFileResult result;
    for (auto _ : state) {
        result = manager.ExportIcalendar(f.file, "");
        if (!result.ok) {
            state.SkipWithError(result.problem.message.c_str());
            return;
        }
    }
    state.counters["events"] = result.exported.events;
    state.counters["bytes"] = static_cast<double>(testsupport::ReadFile(f.file).size());
}
BENCHMARK(BM_ExportTenThousandEvents)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ImportTenThousandEventsIntoAnEmptyDatabase(benchmark::State& state) {
    Fixture& f = Shared();
    {
        Controller::CCalendarManager manager(f.folder + "/config.ini", f.folder);
        if (!manager.OpenForReading(L"local") || !manager.ExportIcalendar(f.file, "").ok) {
            state.SkipWithError("no export");
            return;
        }
    }
    Controller::IcalFileResult result;
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<testsupport::TempDir>();
        platform::WritePrivateProfileString("general", "calendar_mode", "2",
                                            target->path() + "/config.ini");
        auto manager = std::make_unique<Controller::CCalendarManager>(
            target->path() + "/config.ini", target->path());
        manager->Initialize(L"local", L"", nullptr);
        manager->CreateLocalDB(L"https://127.0.0.1:9/holidays/full");
        state.ResumeTiming();
        result = manager->ImportIcalendar(f.file, "");
        state.PauseTiming();
        manager->Terminate();
        manager.reset();
        target.reset();
        state.ResumeTiming();
        if (!result.ok) {
            state.SkipWithError(result.problem.message.c_str());
            return;
        }
    }
    state.counters["added"] = result.imported.added;
}
BENCHMARK(BM_ImportTenThousandEventsIntoAnEmptyDatabase)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

#endif

}  // namespace

BENCHMARK_MAIN();
