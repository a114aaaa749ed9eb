// Soak test of the synchronisation against sudden death: each run starts a
// child process that downloads a calendar of 3,000 events from the stand-in
// service while it keeps adding and changing events locally (their uploads
// follow the download), and kills it with SIGKILL at a random moment. After each kill the database
// must open, pass "PRAGMA integrity_check", and hold every local edit whose call had returned in
// the child; a fresh manager must then upload all of them.
//
//   cmake --build build --target sync_soak && build/bin/sync_soak [runs] [seed]
//
// Prints one line per run and a summary; the exit status is 0 only when
// every run kept and uploaded every edit. Not part of the unit suite: a run
// takes a few seconds.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <list>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr const char* kEmail = "soak@example.com";
constexpr const char* kPassword = "soak";

using Clock = std::chrono::steady_clock;

std::unique_ptr<Controller::CCalendarManager> MakeManager(const testsupport::TempDir& dir,
                                                          const testsupport::StandinServer& server,
                                                          Utility::CMaintenanceLog* log) {
    auto m = std::make_unique<Controller::CCalendarManager>(dir / "config.ini", dir.path());
    m->SetLoginUrl(platform::Utf8ToWide(server.Base()));
    m->SetExtraCaFile(server.CaFile());
    m->SetRequestTimeout(20);
    m->Initialize(platform::Utf8ToWide(kEmail), platform::Utf8ToWide(kPassword), log);
    return m;
}

Model::Event SoakEvent(const std::string& feed, const std::string& title, int n) {
    Model::Event e;
    e.calendarURI = platform::Utf8ToWide(feed);
    e.title = platform::Utf8ToWide(title);
    e.startTime = platform::CTime(2026, 10, 1 + n % 28, 8 + n % 10, 0, 0);
    e.endTime = e.startTime + 1800;
    e.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
    return e;
}

// The child: a download, and local edits made all along; each edit's key and
// title go down the pipe once the call has returned.
[[noreturn]] void Child(const testsupport::TempDir& dir, const testsupport::StandinServer& server,
                        const std::string& feed, int run, int pipeFd) {
    auto m = MakeManager(dir, server, nullptr);
    m->DownloadAllEvent(platform::Utf8ToWide(feed));
    for (int k = 0;; ++k) {
        const std::string key = "r" + std::to_string(run) + "e" + std::to_string(k);
        Model::Event e = SoakEvent(feed, "soak " + key, run * 100 + k);
        m->AddEvent(e);
        std::string line = key + " soak " + key + "\n";
        if (k % 2 == 1) {
            // Change it again at once, often while its upload is running.
            std::list<Model::Event> events;
            m->GetEvents(events, 2026, 10, 1);
            for (auto& found : events) {
                if (found.title == e.title) {
                    found.title += L" changed";
                    m->UpdateEvent(found);
                    line += key + " soak " + key + " changed\n";
                    break;
                }
            }
        }
        if (::write(pipeFd, line.data(), line.size()) < 0) {
            ::_exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

bool IntegrityOk(const std::string& path) {
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            ok = std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) ==
                 "ok";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return ok;
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20261210u;
    std::mt19937 random(seed);
    // The download takes about two seconds; later kills land among uploads.
    std::uniform_int_distribution<int> killAfterMs(150, 6000);

    testsupport::StandinServer server;
    server.AddAccount(kEmail, kPassword);
    const std::string feed = server.AddCalendar(R"({"id":"soak@example.com","title":"Soak"})");
    server.AddEvent(R"({"calendar":"soak@example.com","title":"Bulk","count":3000,
        "start":"2026-11-01T10:00:00.000+09:00","end":"2026-11-01T11:00:00.000+09:00"})");
    testsupport::TempDir dir;
    platform::CreateFolderTree(dir / "log");
    platform::WritePrivateProfileString("general", "calendar_mode",
                                        std::to_string(googledata::kCalendarModeAccount),
                                        dir / "config.ini");
    const std::string databasePath = dir / (std::string(kEmail) + ".db");
    Utility::CMaintenanceLog log;
    log.SetFolder(dir / "log");
    {
        // The calendar list first, as at a first start.
        auto m = MakeManager(dir, server, &log);
        m->DownloadCalenar();
        const auto started = Clock::now();
        std::list<Model::Calendar> calendars;
        while (!(m->GetCalendars(calendars) && !calendars.empty()) &&
               Clock::now() - started < std::chrono::seconds(30)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m->Terminate();
        if (calendars.empty()) {
            std::printf("the calendar list could not be had\n");
            return 2;
        }
    }

    std::printf(
        "run  kill_ms  edits  unsynced_at_open  integrity  all_kept  all_uploaded  "
        "duplicates  upload_ms\n");
    int failedRuns = 0;
    long totalEdits = 0, totalUnsynced = 0, totalDuplicates = 0;
    for (int run = 1; run <= runs; ++run) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return 2;
        }
        const int killMs = killAfterMs(random);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            Child(dir, server, feed, run, fds[1]);
        }
        ::close(fds[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(killMs));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        std::string confirmed;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) {
            confirmed.append(buf, static_cast<size_t>(n));
        }
        ::close(fds[0]);
        // The last title each edited event was given.
        std::map<std::string, std::string> finalTitles;
        for (size_t at = 0; at < confirmed.size();) {
            const size_t end = confirmed.find('\n', at);
            if (end == std::string::npos) {
                break;  // a line cut by the kill: that edit was not confirmed
            }
            const std::string line = confirmed.substr(at, end - at);
            const size_t space = line.find(' ');
            finalTitles[line.substr(0, space)] = line.substr(space + 1);
            at = end + 1;
        }
        totalEdits += static_cast<long>(finalTitles.size());

        const bool integrity = IntegrityOk(databasePath);
        bool allKept = true;
        long unsyncedAtOpen = 0;
        {
            googledata::CalendarEventDB db;
            if (!db.Initialize(databasePath, nullptr)) {
                allKept = false;
            }
            std::list<googledata::PrimitiveEvent> unsynced;
            db.GetUnsyncedEvents(feed, unsynced);
            unsyncedAtOpen = static_cast<long>(unsynced.size());
            std::list<googledata::PrimitiveEvent> month;
            db.GetNormalEvents(feed, 2026, 10, month);
            for (const auto& [key, title] : finalTitles) {
                bool found = false;
                for (const auto& e : month) {
                    found = found || e.title == title;
                }
                if (!found) {
                    allKept = false;
                    std::printf("  lost: %s\n", title.c_str());
                }
            }
        }
        totalUnsynced += unsyncedAtOpen;

        // A fresh start uploads what was left.
        const auto started = Clock::now();
        bool allUploaded = false;
        {
            auto m = MakeManager(dir, server, &log);
            m->SyncEvent(platform::Utf8ToWide(feed));
            while (Clock::now() - started < std::chrono::seconds(120)) {
                std::list<googledata::PrimitiveEvent> unsynced;
                m->Database().GetUnsyncedEvents(feed, unsynced);
                if (unsynced.empty() && m->GetPendingRequestCount() == 0) {
                    allUploaded = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            m->Terminate();
        }
        const long uploadMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count());
        const std::string json = server.EventsJson("soak@example.com");
        long duplicates = 0;
        for (const auto& [key, title] : finalTitles) {
            const size_t n = Occurrences(json, "\"" + title + "\"");
            if (n == 0) {
                allUploaded = false;
                std::printf("  not uploaded: %s\n", title.c_str());
            }
            duplicates += n > 1 ? static_cast<long>(n - 1) : 0;
        }
        totalDuplicates += duplicates;
        const bool good = integrity && allKept && allUploaded;
        failedRuns += good ? 0 : 1;
        std::printf("%3d  %7d  %5zu  %16ld  %9s  %8s  %12s  %10ld  %9ld\n", run, killMs,
                    finalTitles.size(), unsyncedAtOpen, integrity ? "ok" : "BAD",
                    allKept ? "yes" : "NO", allUploaded ? "yes" : "NO", duplicates, uploadMs);
        std::fflush(stdout);
    }
    std::printf(
        "runs %d, failed %d, edits confirmed %ld, unsynced at reopen %ld, duplicates on "
        "the service %ld (seed %u)\n",
        runs, failedRuns, totalEdits, totalUnsynced, totalDuplicates, seed);
    return failedRuns == 0 ? 0 : 1;
}
