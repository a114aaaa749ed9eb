// The program's command line, run as the real program: the agenda of a
// small local-mode database (single, all-day and overnight events, series of
// the local zone and of Los Angeles, a holiday) compared line by line in
// Tokyo and in New York, while another connection holds the database open
// and the single-instance lock is taken; --help; wrong command lines; no
// database; and nothing written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "controller/Agenda.h"
#include "controller/CalendarManager.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "platform/TextConv.h"
#include "tests/support/DaymarkProcess.h"
#include "tests/support/TestSupport.h"

using platform::CTime;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

using testsupport::ProgramRun;
using testsupport::RunDaymark;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Names, sizes and modification times of the folder's files (the shared
// memory index of an open database aside).
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& f : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = f.path().string();
        if (path.size() > 4 && path.compare(path.size() - 4, 4, "-shm") == 0) {
            continue;
        }
        struct stat st {};
        ::stat(path.c_str(), &st);
        files[path] = std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_sec) + "." +
                      std::to_string(st.st_mtim.tv_nsec);
    }
    return files;
}

class AgendaTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        folder = share.path() + "/Kestrel/Daymark";
        platform::CreateFolderTree(folder + "/log");
        platform::WritePrivateProfileString("general", "calendar_mode", "2",
                                            folder + "/config.ini");
        manager = std::make_unique<Controller::CCalendarManager>(folder + "/config.ini", folder);
        manager->Initialize(L"local", L"", nullptr);
        holidayURI = Controller::CCalendarManager::GetHolidayCalendarURI(L"https://www.google.com");
        manager->CreateLocalDB(holidayURI);

        Add(L"朝会", CTime(2026, 7, 1, 9, 0, 0), CTime(2026, 7, 1, 9, 30, 0));
        Add(L"昼\t食\n会", CTime(2026, 7, 2, 12, 0, 0), CTime(2026, 7, 2, 13, 0, 0));
        Add(L"夏休み", CTime(2026, 7, 3, 0, 0, 0), CTime(2026, 7, 5, 0, 0, 0), true);
        Add(L"取消", CTime(2026, 7, 2, 15, 0, 0), CTime(2026, 7, 2, 16, 0, 0), false,
            googledata::EVENT_STATUS_CANCELED);
        Add(L"範囲外", CTime(2026, 7, 8, 10, 0, 0), CTime(2026, 7, 8, 11, 0, 0));
        Add(L"夜勤", CTime(2026, 6, 30, 22, 0, 0), CTime(2026, 7, 1, 6, 0, 0));
        // A weekly series of the local zone, Tuesdays 10:00-11:30.
        Model::Event weekly;
        weekly.calendarURI = L"localEvent";
        weekly.title = L"定例";
        weekly.startTime = CTime(2026, 6, 2, 10, 0, 0);
        weekly.endTime = CTime(2026, 6, 2, 11, 30, 0);
        weekly.recurrence = platform::Utf8ToWide(std::string("DTSTART;TZID=") + GetParam() +
                                                 ":20260602T100000\nDTEND;TZID=" + GetParam() +
                                                 ":20260602T113000\nRRULE:FREQ=WEEKLY\n");
        weekly.recurrenceType = googledata::RECURRENCE_ORIGINAL;
        Store(weekly);
        // A Los Angeles series stored as the service sends it, without times.
        googledata::PrimitiveEvent la;
        la.title = "LA会議";
        la.uid = "la@example.com";
        la.recurrence =
            "DTSTART;TZID=America/Los_Angeles:20260603T170000\n"
            "DTEND;TZID=America/Los_Angeles:20260603T180000\nRRULE:FREQ=WEEKLY\n";
        la.recurrenceType = 1;
        la.eventStatus = 2;
        ASSERT_TRUE(manager->Database().AddEvent("localEvent", la, false));
        googledata::PrimitiveHoliday holiday;
        holiday.id = "holiday-0706";
        holiday.title = "テストの日";
        holiday.date = "2026-07-06";
        holiday.status = 2;
        ASSERT_TRUE(manager->Database().UpsertHoliday(platform::WideToUtf8(holidayURI),
                                                      googledata::PrimitiveTime(), holiday));
    }

    void Add(const std::wstring& title, CTime start, CTime end, bool allDay = false,
             int status = googledata::EVENT_STATUS_CONFIRMED) {
        Model::Event e;
        e.calendarURI = L"localEvent";
        e.title = title;
        e.startTime = start;
        e.endTime = end;
        e.isAllDay = allDay;
        e.eventStatus = status;
        Store(e);
    }

    void Store(const Model::Event& e) {
        googledata::PrimitiveEvent p = Controller::ToPrimitive(e);
        ASSERT_TRUE(manager->Database().AddEvent("localEvent", p, false));
    }

    testsupport::ScopedTz tz{GetParam()};
    TempDir share;
    TempDir runtime;
    ScopedEnv dataHome{"XDG_DATA_HOME", share.path()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path()};
    std::string folder;
    std::wstring holidayURI;
    std::unique_ptr<Controller::CCalendarManager> manager;
};

TEST_P(AgendaTest, TsvListsWhatTheWindowsShowLineByLine) {
    // Daymark "runs": its lock is taken and its database is open.
    platform::SingleInstanceLock lock;
    ASSERT_EQ(lock.Acquire("Daymark"), platform::SingleInstanceLock::Result::Acquired);
    const auto before = Snapshot(folder);

    const std::string la = std::string(GetParam()) == "Asia/Tokyo"
                               ? "2026-07-02T09:00\t2026-07-02T10:00\t0\t0\tlocalEvent\tLA会議"
                               : "2026-07-01T20:00\t2026-07-01T21:00\t0\t0\tlocalEvent\tLA会議";
    std::vector<std::string> expected = {
        "2026-06-30T22:00\t2026-07-01T06:00\t0\t0\tlocalEvent\t夜勤",
        "2026-07-01T09:00\t2026-07-01T09:30\t0\t0\tlocalEvent\t朝会",
        "2026-07-02T12:00\t2026-07-02T13:00\t0\t0\tlocalEvent\t昼 食 会",
        "2026-07-03T00:00\t2026-07-05T00:00\t1\t0\tlocalEvent\t夏休み",
        "2026-07-06T00:00\t2026-07-07T00:00\t1\t1\tja.japanese#holiday@group.v.calendar.google."
        "com\tテストの日",
        "2026-07-07T10:00\t2026-07-07T11:30\t0\t0\tlocalEvent\t定例",
    };
    expected.insert(expected.begin() + 2, la);

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--agenda", "2026-07-01", "2026-07-07", "--tsv"},
                                               {"--tsv", "2026-07-01", "--agenda", "2026-07-07"}}) {
        const ProgramRun run = RunDaymark(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Lines(run.out), expected);
        EXPECT_EQ(run.err, "");
    }

    // The same entries for a person to read.
    const ProgramRun text = RunDaymark({"--agenda", "2026-07-01", "2026-07-07"});
    EXPECT_EQ(text.status, 0);
    const auto lines = Lines(text.out);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[0], "2026-06-30 (火) 22:00-2026-07-01 (水) 06:00  夜勤");
    EXPECT_EQ(lines[1], "2026-07-01 (水) 09:00-09:30  朝会");
    EXPECT_EQ(lines[4], "2026-07-03 (金) 終日 〜2026-07-04 (土)  夏休み");
    EXPECT_EQ(lines[5], "2026-07-06 (月) 祝日  テストの日");

    EXPECT_EQ(Snapshot(folder), before);
}

TEST_P(AgendaTest, HelpWrongCommandLinesAndNoDatabase) {
    const ProgramRun help = RunDaymark({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--agenda", "--tsv", "--help"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--frobnicate"},
             {"--agenda", "--frobnicate"},
             {"--agenda", "2026-13-01"},
             {"--agenda", "2026-02-30"},
             {"--agenda", "2026-07-07", "2026-07-01"},
             {"--agenda", "2026-07-01", "2026-07-02", "2026-07-03"},
             {"--agenda", "1970-01-01", "2999-12-31"},
             {"--tsv"},
             {"2026-07-01"}}) {
        const ProgramRun run = RunDaymark(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("daymark: "), std::string::npos);
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
    EXPECT_NE(RunDaymark({"--frobnicate"}).err.find("--frobnicate"), std::string::npos);

    // Another data home without a data folder: status 1, and nothing made.
    TempDir empty;
    ScopedEnv otherHome("XDG_DATA_HOME", empty.path());
    ScopedEnv noSystem("XDG_DATA_DIRS", empty.path() + "/none");
    const ProgramRun none = RunDaymark({"--agenda"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("データベースがありません"), std::string::npos) << none.err;
    EXPECT_TRUE(std::filesystem::is_empty(empty.path()));
    // A data folder set up for an account whose database is not there yet.
    platform::CreateFolderTree(empty.path() + "/Kestrel/Daymark");
    platform::WritePrivateProfileString("general", "calendar_mode", "2",
                                        empty.path() + "/Kestrel/Daymark/config.ini");
    EXPECT_EQ(RunDaymark({"--agenda", "--tsv"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(empty.path() + "/Kestrel/Daymark/local.db"));
}

// The defaults: today and the 7 days after it.
TEST_P(AgendaTest, DefaultRangeIsTodayAndSevenDaysOn) {
    const CTime noon(2026, 12, 28, 12, 0, 0);
    const auto line = Controller::ParseCommandLine({"--agenda"}, noon);
    ASSERT_EQ(line.action, Controller::CommandLine::Action::kAgenda);
    EXPECT_EQ(line.firstDay, CTime(2026, 12, 28, 0, 0, 0));
    EXPECT_EQ(line.lastDay, CTime(2027, 1, 4, 0, 0, 0));
    const auto from = Controller::ParseCommandLine({"--agenda", "2027-03-05"}, noon);
    EXPECT_EQ(from.lastDay, CTime(2027, 3, 12, 0, 0, 0));
    EXPECT_FALSE(from.tsv);
    // Options of the Qt platform start the program.
    EXPECT_EQ(Controller::ParseCommandLine({"-platform", "offscreen"}, noon).action,
              Controller::CommandLine::Action::kStartProgram);
    EXPECT_EQ(Controller::ParseCommandLine({}, noon).action,
              Controller::CommandLine::Action::kStartProgram);
}

INSTANTIATE_TEST_SUITE_P(Zones, AgendaTest, ::testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
