// The calendar manager: what a month window costs to fill (GetEvents over
// three months of a calendar of 10,000 single events and 100 weekly series
// started five years earlier), and a full download from the stand-in service.
#include <benchmark/benchmark.h>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"

namespace {

using platform::CTime;

std::string Two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// A local-calendar manager whose store holds the benchmark's calendar.
struct Fixture {
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    std::unique_ptr<Controller::CCalendarManager> manager;

    Fixture() {
        platform::WritePrivateProfileString("general", "calendar_mode", std::string("2"),
                                            dir / "config.ini");
        platform::CreateFolderTree(dir / "log");
        log.SetFolder(dir / "log");
        manager = std::make_unique<Controller::CCalendarManager>(dir / "config.ini", dir.path());
        manager->Initialize(L"local", L"", &log);
        manager->CreateLocalDB(L"https://example.invalid/holiday/public/full");
        auto& db = manager->Database();
        db.BeginTransaction("evt");
        // 10,000 single events over 2025-2027, a few a day.
        for (int i = 0; i < 10000; ++i) {
            googledata::PrimitiveEvent e;
            const int day = i % 1095;
            const CTime start = CTime(2025, 1, 1, 9 + i % 8, 0, 0) + int64_t{day} * 86400;
            e.title = "Event " + std::to_string(i);
            e.startTime = start.Format("%Y-%m-%dT%H:%M:00.000+09:00");
            e.endTime = (start + 3600).Format("%Y-%m-%dT%H:%M:00.000+09:00");
            e.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
            e.reminders.push_back({"alert", 10, false});
            db.AddEvent("localEvent", e, false);
        }
        // 100 weekly series started five years earlier, half with an inline zone.
        for (int i = 0; i < 100; ++i) {
            googledata::PrimitiveEvent s;
            s.title = "Series " + std::to_string(i);
            s.uid = "series" + std::to_string(i) + "@google.com";
            const std::string day = "2021" + Two(1 + i % 12) + Two(1 + i % 28);
            const std::string zone =
                i % 2 == 0 ? std::string(
                                 "BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\nBEGIN:STANDARD\n"
                                 "TZOFFSETFROM:+0900\nTZOFFSETTO:+0900\nTZNAME:JST\n"
                                 "DTSTART:19700101T000000\nEND:STANDARD\nEND:VTIMEZONE\n")
                           : std::string();
            s.recurrence = "DTSTART;TZID=Asia/Tokyo:" + day +
                           "T100000\nDTEND;TZID=Asia/Tokyo:" + day +
                           "T110000\nRRULE:FREQ=WEEKLY\n" + zone;
            s.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
            s.recurrenceType = googledata::RECURRENCE_ORIGINAL;
            db.AddEvent("localEvent", s, false);
        }
        db.EndTransaction("evt");
        db.UpdateQueryStatistics();
    }
};

void BM_GetEventsThreeMonths(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    static Fixture* fixture = new Fixture;
    std::list<Model::Event> events;
    fixture->manager->GetEvents(events, 2026, 5, 3);  // the first call parses the series
    int month = 0;
    for (auto _ : state) {
        fixture->manager->GetEvents(events, 2026, 1 + month % 10, 3);
        ++month;
    }
    state.counters["events"] = static_cast<double>(events.size());
}
BENCHMARK(BM_GetEventsThreeMonths)->Unit(benchmark::kMillisecond);

void BM_FullDownloadFromStandin(benchmark::State& state) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    testsupport::StandinServer server;
    server.AddAccount("bench@example.com", "secret");
    const std::string feed = server.AddCalendar(R"({"id":"bench@example.com","title":"Bench"})");
    server.AddEvent(R"({"calendar":"bench@example.com","title":"Event","count":5000,
        "start":"2026-05-11T10:00:00.000+09:00","end":"2026-05-11T11:00:00.000+09:00",
        "reminders":[["alert",10]]})");
    platform::CRecordingPoster poster;
    poster.AddWindow(1);
    platform::ScopedMessagePoster scoped(&poster);
    for (auto _ : state) {
        state.PauseTiming();
        testsupport::TempDir dir;
        platform::WritePrivateProfileString("general", "calendar_mode", std::string("1"),
                                            dir / "config.ini");
        platform::CreateFolderTree(dir / "log");
        Utility::CMaintenanceLog log;
        log.SetFolder(dir / "log");
        Controller::CCalendarManager manager(dir / "config.ini", dir.path());
        manager.SetLoginUrl(platform::Utf8ToWide(server.Base()));
        manager.SetExtraCaFile(server.CaFile());
        manager.AddListener(1, Controller::kDispatchManagerMessage);
        manager.Initialize(L"bench@example.com", L"secret", &log);
        manager.DownloadCalenar();
        testsupport::WaitFor([&] { return manager.GetPendingRequestCount() == 0; });
        poster.Clear();
        state.ResumeTiming();
        manager.DownloadAllEvent(platform::Utf8ToWide(feed));
        testsupport::WaitFor(
            [&] {
                for (const auto& m : poster.Messages()) {
                    if (m.wParam == Controller::NOTIFY_EVENT_UPDATED)
                        return true;
                }
                return false;
            },
            std::chrono::seconds(120));
        state.PauseTiming();
        manager.Terminate();
        state.ResumeTiming();
    }
    state.counters["events/s"] = benchmark::Counter(
        5000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullDownloadFromStandin)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
