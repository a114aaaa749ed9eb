// CalDAV against a real Radicale server: a first download of 5,000 events
// into a fresh store (events per second, to set beside the stand-in figure of
// manager_bench), and an incremental sync after 10 changes among the 5,000,
// which must fetch exactly those 10 ("fetched" counter).
#include <benchmark/benchmark.h>

#include <memory>

#include "app/MaintenanceLog.h"
#include "googledata/CalDavClient.h"
#include "googledata/CalDavSync.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/HttpClient.h"
#include "googledata/XmlContext.h"
#include "platform/Folders.h"
#include "tests/support/RadicaleServer.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int kEvents = 5000;

std::string Resource(int i, const std::string& summary) {
    char start[32];
    std::snprintf(start, sizeof start, "202605%02dT%02d0000Z", 1 + i % 28, i % 24);
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\nUID:e" +
           std::to_string(i) + "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
           "\r\nDTSTART:" + start +
           "\r\nDURATION:PT1H\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
           "DESCRIPTION:x\r\nTRIGGER:-PT10M\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// One server for both benchmarks, seeded once and asked once before timing
// (Radicale fills its own cache of the items at the first listing).
testsupport::RadicaleServer& Server() {
    static std::unique_ptr<testsupport::RadicaleServer> server = [] {
        auto s = std::make_unique<testsupport::RadicaleServer>();
        std::vector<std::pair<std::string, std::string>> files;
        for (int i = 0; i < kEvents; ++i) {
            files.emplace_back("e" + std::to_string(i) + ".ics", Resource(i, "Event"));
        }
        s->SeedCalendar("bench", files);
        s->Send("PROPFIND", testsupport::RadicaleServer::CalendarPath("bench"), "", {"Depth: 1"});
        return s;
    }();
    return *server;
}

struct Client {
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    googledata::HttpClient http;
    googledata::XmlContext xml{nullptr};
    googledata::CalDavClient client{http, xml};
    googledata::CalendarEventDB db;
    googledata::CalDavSync sync{client, db, nullptr};
    std::string url;

    Client() {
        platform::CreateFolderTree(dir / "log");
        http.SetExtraCaFile(Server().CaFile());
        http.SetCommLogPath(dir / "comm.log");
        http.SetTimeout(600);
        client.SetAccount(Server().Base(), testsupport::RadicaleServer::kUser,
                          testsupport::RadicaleServer::kPassword);
        db.Initialize(dir / "bench.db", nullptr);
        url = Server().Base() + testsupport::RadicaleServer::CalendarPath("bench");
    }
};

void BM_CalDavFirstDownload(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    Server();
    for (auto _ : state) {
        state.PauseTiming();
        auto c = std::make_unique<Client>();
        c->sync.DownloadCalendars();
        state.ResumeTiming();
        if (c->sync.DownloadAll(c->url) != googledata::CalDavStatus::kOk ||
            c->sync.LastFetched() != static_cast<size_t>(kEvents)) {
            state.SkipWithError("the download did not complete");
            break;
        }
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(kEvents) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalDavFirstDownload)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CalDavIncrementalTenChanges(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    Client c;
    c.sync.DownloadCalendars();
    c.sync.DownloadAll(c.url);
    int round = 0;
    size_t fetched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        for (int i = 0; i < 10; ++i) {
            const int n = (round * 37 + i * 401) % kEvents;
            Server().PutEvent("bench", "e" + std::to_string(n) + ".ics",
                              Resource(n, "Changed " + std::to_string(round)));
        }
        state.ResumeTiming();
        if (c.sync.Sync(c.url) != googledata::CalDavStatus::kOk) {
            state.SkipWithError("the sync failed");
            break;
        }
        fetched = c.sync.LastFetched();
    }
    state.counters["fetched"] = static_cast<double>(fetched);
}
BENCHMARK(BM_CalDavIncrementalTenChanges)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
