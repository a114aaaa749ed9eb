// Speed of the local store: storing a downloaded page stream of events the
// way the network path does (UpsertEvent, "evt" transactions of 500, one
// reminder each), the floor of the same rows inserted with one prepared
// statement in one transaction, and the month query of the views.
//
//   build/bench/store_bench
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "app/MaintenanceLog.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/ProtocolNumbers.h"
#include "tests/support/TestSupport.h"

using googledata::CalendarEventDB;
using googledata::PrimitiveCalendar;
using googledata::PrimitiveEvent;

namespace {

const std::string kUri = "https://www.google.com/calendar/feeds/bench%40example.com/private/full";
constexpr int kPage = 500;

// Seconds per run of the upsert benchmark, by event count, for the ratios.
std::map<int64_t, double>& UpsertSeconds() {
    static std::map<int64_t, double> seconds;
    return seconds;
}

// Event i of a download: spread over five years, about 330 a month, one hour
// long, one reminder, a service id, uid and edit URI, and entry XML.
PrimitiveEvent DownloadedEvent(int i) {
    PrimitiveEvent e;
    const int month = i % 60;
    const int year = 2010 + month / 12;
    const int day = 1 + (i / 60) % 28;
    const int hour = (i / 7) % 23;
    char start[64];
    char end[64];
    std::snprintf(start, sizeof start, "%04d-%02d-%02dT%02d:00:00.000+09:00", year, month % 12 + 1,
                  day, hour);
    std::snprintf(end, sizeof end, "%04d-%02d-%02dT%02d:00:00.000+09:00", year, month % 12 + 1, day,
                  hour + 1);
    const std::string n = std::to_string(i);
    e.id = "https://www.google.com/calendar/feeds/bench%40example.com/private/full/evt" + n;
    e.uid = "uid" + n + "@google.com";
    e.editURI = e.id + "/63450000000";
    e.published = "2011-04-01T00:00:00.000Z";
    e.updated = "2011-04-02T00:00:00.000Z";
    e.startTime = start;
    e.endTime = end;
    e.title = "Meeting " + n;
    e.content = "Agenda for meeting " + n;
    e.place = "Room " + std::to_string(i % 40);
    e.author_name = "Bench";
    e.author_email = "bench@example.com";
    e.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
    e.transparency = googledata::TRANSPARENCY_OPAQUE;
    e.visibility = googledata::VISIBILITY_DEFAULT;
    e.flags = googledata::kGuestCanInviteOthers | googledata::kGuestCanSeeGuests;
    e.isSynced = true;
    e.xml = "<entry xmlns='http://www.w3.org/2005/Atom'><id>" + e.id + "</id><title>" + e.title +
            "</title></entry>";
    e.reminders = {{"alert", 10, false}};
    return e;
}

struct Store {
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    CalendarEventDB db;

    explicit Store(bool withLog) {
        if (withLog) {
            log.SetFolder(dir.path());
        }
        db.Initialize(dir / "db.sqlite", &log);
        PrimitiveCalendar c;
        c.calendarURI = kUri;
        c.title = "bench";
        c.accesslevel = googledata::ACCESS_OWNER;
        c.flags = googledata::kCalendarFlagShowEvents | googledata::kCalendarFlagWriteEvents;
        db.UpsertCalendar(c);
    }
};

// The download path: pages of 500 events, each page one "evt" transaction.
void StoreDownload(CalendarEventDB& db, int count) {
    for (int first = 0; first < count; first += kPage) {
        db.BeginTransaction("evt");
        for (int i = first; i < first + kPage && i < count; ++i) {
            PrimitiveEvent e = DownloadedEvent(i);
            db.UpsertEvent(e, kUri);
        }
        db.EndTransaction("evt");
    }
}

void BM_UpsertDownload(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<Store>(std::getenv("NOLOG") == nullptr);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        StoreDownload(store->db, count);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    const double perRun = total / static_cast<double>(state.iterations());
    UpsertSeconds()[count] = perRun;
    state.counters["events/s"] = count / perRun;
    if (UpsertSeconds().count(count / 2) != 0) {
        state.counters["x_vs_half"] = perRun / UpsertSeconds()[count / 2];
    }
}
BENCHMARK(BM_UpsertDownload)->Arg(10000)->Arg(20000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The floor: the same EVENT and REMINDER rows, one prepared statement each,
// one transaction, on a file with the same schema.
void BM_PreparedInsertFloor(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<Store>(false);
        std::vector<PrimitiveEvent> events;
        events.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            events.push_back(DownloadedEvent(i));
        }
        sqlite3* raw = nullptr;
        sqlite3_open((store->dir / "db.sqlite").c_str(), &raw);
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        sqlite3_stmt* rawEvent = nullptr;
        sqlite3_stmt* rawReminder = nullptr;
        sqlite3_prepare_v2(db.get(),
                           "INSERT INTO EVENT VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
                           "?,?,?,?,?,?,?)",
                           -1, &rawEvent, nullptr);
        sqlite3_prepare_v2(db.get(),
                           "INSERT INTO REMINDER (localEventID,method,minutesBeforeAlarm,"
                           "isAlarmed) VALUES (?,?,?,0)",
                           -1, &rawReminder, nullptr);
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> insertEvent(rawEvent,
                                                                               sqlite3_finalize);
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> insertReminder(rawReminder,
                                                                                  sqlite3_finalize);
        sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr);
        for (int i = 0; i < count; ++i) {
            const PrimitiveEvent& e = events[static_cast<size_t>(i)];
            char lid[40];
            std::snprintf(lid, sizeof lid, "%032X", i);
            sqlite3_stmt* s = insertEvent.get();
            int k = 1;
            const auto text = [&](const std::string& v) {
                sqlite3_bind_text(s, k++, v.c_str(), static_cast<int>(v.size()), SQLITE_STATIC);
            };
            const auto num = [&](int64_t v) { sqlite3_bind_int64(s, k++, v); };
            sqlite3_bind_text(s, k++, lid, -1, SQLITE_TRANSIENT);
            text(kUri);
            for (const std::string* v :
                 {&e.id, &e.uid, &e.editURI, &e.published, &e.updated, &e.startTime, &e.endTime,
                  &e.title, &e.content, &e.place, &e.author_name, &e.author_email}) {
                text(*v);
            }
            for (int64_t v : {e.eventStatus, e.transparency, e.visibility, e.flags, e.sequence,
                              e.isSynced ? 1 : 0}) {
                num(v);
            }
            text(e.recurrence);
            text(e.originalEvent);
            text(e.originalStartTime);
            text(e.xml);
            for (int64_t v : {0, 1, 1, 2011 * 65536 + 5, 2011 * 65536 + 5}) {
                num(v);
            }
            sqlite3_step(s);
            sqlite3_reset(s);
            sqlite3_stmt* r = insertReminder.get();
            sqlite3_bind_text(r, 1, lid, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(r, 2, e.reminders[0].method.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int(r, 3, e.reminders[0].minutesBeforeAlarm);
            sqlite3_step(r);
            sqlite3_reset(r);
        }
        sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        insertEvent.reset();
        insertReminder.reset();
        db.reset();
        store.reset();
        state.ResumeTiming();
    }
    const double perRun = total / static_cast<double>(state.iterations());
    if (UpsertSeconds().count(count) != 0) {
        state.counters["upsert_over_floor"] = UpsertSeconds()[count] / perRun;
    }
}
BENCHMARK(BM_PreparedInsertFloor)
    ->Arg(10000)
    ->Arg(20000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The month query of the views on a calendar of 20,000 events.
void BM_GetNormalEventsMonth(benchmark::State& state) {
    static Store* store = [] {
        auto* s = new Store(false);
        StoreDownload(s->db, 20000);
        s->db.UpdateQueryStatistics();  // as the manager does after a download
        return s;
    }();
    size_t found = 0;
    int month = 0;
    for (auto _ : state) {
        std::list<PrimitiveEvent> events;
        store->db.GetNormalEvents(kUri, 2011 + (month / 12) % 3, month % 12 + 1, events);
        ++month;
        found = events.size();
        benchmark::DoNotOptimize(events);
    }
    state.counters["events/month"] = static_cast<double>(found);
}
BENCHMARK(BM_GetNormalEventsMonth)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
