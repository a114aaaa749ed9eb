// daymark --export / --import run as the real program on a local-mode data
// folder: a file written and read back, a broken file refused with its line
// and exit status 3, a calendar nobody has refused with 2, and an import
// while another process holds the database in a write transaction (as a
// running Daymark does while it stores a download) waits for it instead of
// failing or losing either side's writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/syscall.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <thread>

#include "controller/CalendarManager.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "tests/support/DaymarkProcess.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedEnv;
using testsupport::ScopedTz;
using testsupport::TempDir;

namespace {

using testsupport::ProgramRun;

// Runs the program with `args`; its output through files of `dir`.
pid_t StartDaymark(const TempDir& dir, const std::vector<std::string>& args) {
    return testsupport::StartDaymark(args, dir / "stdout", dir / "stderr");
}

ProgramRun FinishDaymark(const TempDir& dir, pid_t pid) {
    return testsupport::FinishDaymark(pid, dir / "stdout", dir / "stderr");
}

ProgramRun RunDaymark(const TempDir& dir, const std::vector<std::string>& args) {
    return FinishDaymark(dir, StartDaymark(dir, args));
}

// True when process `pid` has `file` open and one of its threads sleeps in
// the kernel (SQLite's busy handler waiting for another writer's lock).
bool WaitsWithOpen(pid_t pid, const std::string& file) {
    const std::string proc = "/proc/" + std::to_string(pid);
    bool open = false;
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd", ec)) {
        open = open || std::filesystem::read_symlink(fd.path(), ec) == file;
    }
    if (!open) {
        return false;
    }
    for (const auto& task : std::filesystem::directory_iterator(proc + "/task", ec)) {
        long call = -1;
        std::ifstream(task.path() / "syscall") >> call;
        if (call == SYS_nanosleep || call == SYS_clock_nanosleep) {
            return true;
        }
    }
    return false;
}

class IcalCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = share_.path() + "/Kestrel/Daymark";
        platform::CreateFolderTree(folder_ + "/log");
        platform::WritePrivateProfileString("general", "calendar_mode", "2",
                                            folder_ + "/config.ini");
        Controller::CCalendarManager manager(folder_ + "/config.ini", folder_);
        manager.Initialize(L"local", L"", nullptr);
        manager.CreateLocalDB(L"https://127.0.0.1:9/holidays/full");
        googledata::PrimitiveEvent e;
        e.title = "Dentist";
        e.uid = "dentist@example.com";
        e.startTime = "2026-07-01T09:00:00.000+09:00";
        e.endTime = "2026-07-01T09:30:00.000+09:00";
        e.eventStatus = 2;
        manager.Database().AddEvent("localEvent", e, false);
        manager.Terminate();
    }
    int CountEvents() {
        Controller::CCalendarManager reader(folder_ + "/config.ini", folder_);
        std::list<googledata::PrimitiveEvent> events;
        EXPECT_TRUE(reader.OpenForReading(L"local"));
        reader.Database().GetAllEvents("localEvent", events);
        return static_cast<int>(events.size());
    }

    ScopedTz tz_{"America/New_York"};
    TempDir share_;
    ScopedEnv dataHome_{"XDG_DATA_HOME", share_.path()};
    TempDir files_;
    std::string folder_;
};

TEST_F(IcalCliTest, ExportThenImportUpdatesAndAddsAndReportsCounts) {
    const std::string file = files_ / "all.ics";
    ProgramRun run = RunDaymark(files_, {"--export", file});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("1 件の予定を書き出しました"), std::string::npos) << run.out;
    const std::string text = testsupport::ReadFile(file);
    EXPECT_NE(text.find("UID:dentist@example.com"), std::string::npos);
    EXPECT_NE(text.find("DTSTART;TZID=America/New_York:20260630T200000"), std::string::npos);

    testsupport::WriteFile(file, text.substr(0, text.find("END:VCALENDAR")) +
                                     "BEGIN:VEVENT\r\nUID:new@example.com\r\n"
                                     "DTSTART;VALUE=DATE:20260704\r\nSUMMARY:Fourth\r\n"
                                     "END:VEVENT\r\nEND:VCALENDAR\r\n");
    run = RunDaymark(files_, {"--import", file, "--calendar", "localEvent"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("1 件を追加、1 件を更新しました (localEvent)"), std::string::npos)
        << run.out;
    EXPECT_EQ(CountEvents(), 2);
}

TEST_F(IcalCliTest, WrongFilesAndCalendarsAreRefusedWithTheirStatus) {
    const std::string bad = files_ / "bad.ics";
    testsupport::WriteFile(bad,
                           "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a@example.com\r\n"
                           "DTSTART:20260701T010000Z\r\nRRULE:FREQ=WEEKLY;INTERVAL=x\r\n"
                           "END:VEVENT\r\nEND:VCALENDAR\r\n");
    ProgramRun run = RunDaymark(files_, {"--import", bad});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("bad.ics の 5 行目: RRULE"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("何も取り込んでいません"), std::string::npos) << run.err;

    run = RunDaymark(files_, {"--import", files_ / "missing.ics"});
    EXPECT_EQ(run.status, 3);
    run = RunDaymark(files_, {"--export", files_ / "x.ics", "--calendar", "nobody@example.com"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("nobody@example.com"), std::string::npos);
    run = RunDaymark(files_, {"--import"});
    EXPECT_EQ(run.status, 2);
    run = RunDaymark(files_, {"--export", "a.ics", "--import", "b.ics"});
    EXPECT_EQ(run.status, 2);
    run = RunDaymark(files_, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--import FILE"), std::string::npos);
    EXPECT_EQ(CountEvents(), 1);
}

TEST_F(IcalCliTest, ImportWaitsForAnotherWriterOfTheDatabase) {
    const std::string file = files_ / "one.ics";
    testsupport::WriteFile(file,
                           "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:b@example.com\r\n"
                           "DTSTART:20260702T010000Z\r\nSUMMARY:B\r\nEND:VEVENT\r\n"
                           "END:VCALENDAR\r\n");
    // This process plays the running program: its worker stores a page in
    // a transaction that lasts until the import is seen waiting for it (it
    // has the database open and sleeps in SQLite's busy handler).
    Controller::CCalendarManager running(folder_ + "/config.ini", folder_);
    running.Initialize(L"local", L"", nullptr);
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::thread writer([&] {
        running.Database().RunTransaction("evt", [&] {
            googledata::PrimitiveEvent e;
            e.title = "From the service";
            e.startTime = "2026-07-03";
            e.endTime = "2026-07-04";
            const bool ok = running.Database().AddEvent("localEvent", e, false);
            holding = true;
            testsupport::WaitFor([&] { return release.load(); }, std::chrono::seconds(30));
            return ok;
        });
    });
    ASSERT_TRUE(testsupport::WaitFor([&] { return holding.load(); }));
    const pid_t child = StartDaymark(files_, {"--import", file});
    const std::string database = std::filesystem::canonical(folder_ + "/local.db").string();
    EXPECT_TRUE(testsupport::WaitFor([&] { return WaitsWithOpen(child, database); }));
    release = true;
    const ProgramRun run = FinishDaymark(files_, child);
    writer.join();
    running.Terminate();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CountEvents(), 3);
}

}  // namespace
