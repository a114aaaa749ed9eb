// The command-line agenda: `daymark --agenda <first> <last> --tsv` for the
// current month as a whole process (start, read, print, exit) over a
// database of 10,000 single events and 100 weekly series that
// tools/make_event_db makes, and the same agenda read in-process by a fresh
// manager (opening the file and parsing every series once, as the process
// does). Asia/Tokyo.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "controller/Agenda.h"
#include "controller/CalendarManager.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

namespace {

#ifdef DAYMARK_EXE

using platform::CTime;

// A data home whose Daymark folder holds the measured database.
struct Database {
    testsupport::TempDir home;
    std::string folder = home.path() + "/Kestrel/Daymark";
    Database() {
        if (testsupport::RunQuietly({DAYMARK_MAKE_EVENT_DB, folder, "10000", "100"}) != 0) {
            std::fprintf(stderr, "make_event_db failed\n");
            std::exit(1);
        }
    }
};

Database& TheDatabase() {
    static Database* database = new Database;
    return *database;
}

// The current month, as the agenda's two dates.
std::vector<std::string> ThisMonth() {
    const CTime now = CTime::GetCurrentTime();
    const CTime first(now.GetYear(), now.GetMonth(), 1, 0, 0, 0);
    const CTime next = now.GetMonth() == 12 ? CTime(now.GetYear() + 1, 1, 1, 0, 0, 0)
                                            : CTime(now.GetYear(), now.GetMonth() + 1, 1, 0, 0, 0);
    return {first.Format("%Y-%m-%d"), platform::LocalMidnight(next - 3600).Format("%Y-%m-%d")};
}

void BM_AgendaProcessOneMonth(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    Database& db = TheDatabase();
    testsupport::ScopedEnv home("XDG_DATA_HOME", db.home.path());
    const auto month = ThisMonth();
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        if (testsupport::RunQuietly({DAYMARK_EXE, "--agenda", month[0], month[1], "--tsv"}) != 0) {
            state.SkipWithError("daymark --agenda failed");
            break;
        }
    }
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    // The processes' own CPU time (user and system), apart from the machine's load.
    const double cpu =
        ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
    state.counters["process_cpu_ms"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AgendaProcessOneMonth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CollectAgendaOneMonthFreshManager(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    Database& db = TheDatabase();
    const auto month = ThisMonth();
    const auto line =
        Controller::ParseCommandLine({"--agenda", month[0], month[1]}, CTime::GetCurrentTime());
    size_t entries = 0;
    for (auto _ : state) {
        Controller::CCalendarManager manager(db.folder + "/config.ini", db.folder);
        manager.OpenForReading(L"local");
        std::vector<Controller::AgendaEntry> out;
        Controller::CollectAgenda(manager, line.firstDay, line.lastDay, out);
        entries = out.size();
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_CollectAgendaOneMonthFreshManager)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

BENCHMARK_MAIN();
