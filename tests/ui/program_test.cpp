// The real program on the offscreen platform: it runs until the session ends
// (SIGTERM, SIGINT, SIGHUP) and then leaves in order, a second copy ends at once,
// and damaged input never keeps it from starting.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/Folders.h"
#include "platform/Profile.h"
#include "tests/support/DaymarkProcess.h"
#include "tests/support/TestSupport.h"

using testsupport::DaymarkProcess;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::CreateFolderTree(data));
        // Local calendar mode: the windows open and the boot sequence runs;
        // the service's address is a closed local port, and nothing needs it.
        WriteFile(data + "/config.ini",
                  "[general]\ncalendar_mode=2\nlogin_url=https://127.0.0.1:9\n");
    }
    std::string AllLogs() const {
        std::string all;
        for (int day = 1; day <= 7; ++day) {
            all += ReadFile(data + "/log/Log" + std::to_string(day) + ".txt");
        }
        return all;
    }
    size_t LogCount(const std::string& line) const {
        const std::string log = AllLogs();
        size_t n = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
            ++n;
        }
        return n;
    }
    // Waits for the windows' first reload after the boot sequence (their
    // holiday read) and then for the log to stay the same for 100 ms.
    bool WaitForSettledLog() {
        if (!testsupport::WaitFor([&] { return LogCount("<calmng> GetHolidays") > 0; })) {
            return false;
        }
        std::string last = AllLogs();
        auto changed = std::chrono::steady_clock::now();
        return testsupport::WaitFor([&] {
            std::string log = AllLogs();
            const auto now = std::chrono::steady_clock::now();
            if (log != last) {
                last = std::move(log);
                changed = now;
            }
            return now - changed >= std::chrono::milliseconds(100);
        });
    }

    TempDir dir;
    ScopedEnv home{"XDG_DATA_HOME", dir / "home"};
    ScopedEnv dirs{"XDG_DATA_DIRS", dir / "system"};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path()};
    ScopedEnv qpa{"QT_QPA_PLATFORM", std::string("offscreen")};
    ScopedEnv tz{"TZ", std::string("America/New_York")};
    const std::string data = dir / "system/Kestrel/Daymark";
};

TEST_F(Program, EndsInOrderOnSigtermSigintAndSighup) {
    // 0: SIGTERM and at once SIGHUP, as the end of a login session sends them.
    size_t boots = 0;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, 0}) {
        WriteFile(data + "/calWnd.info", "5,100,120,0,200,150\n7,400,120,1,200,150\n");
        DaymarkProcess process;
        ASSERT_TRUE(process.WaitUntilRunning());
        // Still running once its boot sequence is done: the event loop holds it.
        ++boots;
        ASSERT_TRUE(testsupport::WaitFor(
            [&] { return LogCount("<dispatch> boot sequence is done") == boots; }));
        EXPECT_FALSE(process.HasExited());
        ::unlink((data + "/calWnd.info").c_str());
        if (signal == 0) {
            ::kill(process.Pid(), SIGTERM);
        }
        EXPECT_EQ(process.Stop(signal == 0 ? SIGHUP : signal), 0) << signal;
        // The positions were written again when the program closed.
        const std::string positions = ReadFile(data + "/calWnd.info");
        EXPECT_EQ(positions.rfind("5,100,120,0,", 0), 0u) << positions;
        EXPECT_NE(positions.find("\n7,400,120,1,"), std::string::npos) << positions;
    }
    const std::string log = AllLogs();
    const size_t shutdown = log.find("[info] windows shutdown\n");
    ASSERT_NE(shutdown, std::string::npos);
    EXPECT_NE(log.find("[info] exit\n", shutdown), std::string::npos);
    EXPECT_NE(log.find("[info] <dispatch> boot sequence is done\n"), std::string::npos);
}

TEST_F(Program, LocalModeStartsWithHolidaysAndNoNetworkError) {
    DaymarkProcess process;
    ASSERT_TRUE(process.WaitUntilRunning());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return AllLogs().find("<dispatch> boot sequence is done") != std::string::npos; }));
    // The boot sequence decides whether holidays are requested; once the
    // windows have read them and the log is quiet, a request would show.
    ASSERT_TRUE(WaitForSettledLog());
    EXPECT_EQ(process.Stop(), 0);
    const std::string log = AllLogs();
    EXPECT_NE(log.find("[info] <calmng> unretrieved holiday is nothing\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("[info] <calmng> GetHolidays"), std::string::npos);
    for (const char* bad : {"request holiday", "Sync error", "NOTIFY_ERROR", "[ERR!]", "[warn]"}) {
        EXPECT_EQ(log.find(bad), std::string::npos) << bad << "\n" << log;
    }
}

TEST_F(Program, SecondCopyEndsAtOnceWhileTheFirstRuns) {
    DaymarkProcess first;
    ASSERT_TRUE(first.WaitUntilRunning());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return AllLogs().find("<dispatch> boot sequence is done") != std::string::npos; }));
    ASSERT_TRUE(WaitForSettledLog());
    const std::string before = AllLogs();
    DaymarkProcess second;
    EXPECT_EQ(second.Wait(std::chrono::seconds(10)), 0);
    EXPECT_FALSE(first.HasExited());
    EXPECT_EQ(AllLogs(), before);  // the second copy wrote nothing
    EXPECT_EQ(first.Stop(), 0);
}

TEST_F(Program, DamagedPositionFileStillOpensWindows) {
    std::string garbage = "garbage\n-99999999999,1,2,3\n3,-2147483648,2147483647,99999,0,0\n,,,\n";
    for (int i = 0; i < 10000; ++i) {
        garbage += "x,y,z\n";
    }
    WriteFile(data + "/calWnd.info", garbage);
    DaymarkProcess process;
    ASSERT_TRUE(process.WaitUntilRunning());
    EXPECT_EQ(process.Stop(), 0);
    EXPECT_FALSE(ReadFile(data + "/calWnd.info").empty());
}

TEST_F(Program, RunsWithoutImagesOrStylesBesideIt) {
    // A copy of the program with no "image" and no "style" folder beside it.
    const std::string exe = dir / "bare/daymark";
    ASSERT_TRUE(platform::CreateFolderTree(dir / "bare"));
    std::filesystem::copy_file(DAYMARK_EXE, exe);
    DaymarkProcess process(exe);
    ASSERT_TRUE(process.WaitUntilRunning());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return AllLogs().find("<dispatch> boot sequence is done") != std::string::npos; }));
    EXPECT_EQ(process.Stop(), 0);
    EXPECT_FALSE(ReadFile(data + "/calWnd.info").empty());
}

TEST_F(Program, InstalledProgramFindsItsStylesInShareDaymark) {
    // The layout `cmake --install` makes: bin/daymark, share/daymark/{style,image}.
    const std::string prefix = dir / "usr";
    ASSERT_TRUE(platform::CreateFolderTree(prefix + "/bin"));
    std::filesystem::copy_file(DAYMARK_EXE, prefix + "/bin/daymark");
    const std::string built = std::filesystem::path(DAYMARK_EXE).parent_path().string();
    std::filesystem::create_directories(prefix + "/share/daymark");
    std::filesystem::copy(built + "/style", prefix + "/share/daymark/style");
    std::filesystem::copy(built + "/image", prefix + "/share/daymark/image");
    DaymarkProcess process(prefix + "/bin/daymark");
    ASSERT_TRUE(process.WaitUntilRunning());
    EXPECT_EQ(process.Stop(), 0);
    int copied = 0;
    for (const auto& f : std::filesystem::directory_iterator(data + "/style")) {
        copied += f.path().extension() == ".org";
    }
    EXPECT_GT(copied, 0);
}

TEST_F(Program, StartsAndLogsWhenTheDatabaseCannotBeOpened) {
    // A folder where the local database should be.
    ASSERT_TRUE(platform::CreateFolderTree(data + "/local.db"));
    DaymarkProcess process;
    ASSERT_TRUE(process.WaitUntilRunning());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return AllLogs().find("<dispatch> boot sequence is done") != std::string::npos; }));
    EXPECT_EQ(process.Stop(), 0);
    const std::string log = AllLogs();
    EXPECT_NE(log.find("[ERR!]"), std::string::npos) << log;
    EXPECT_FALSE(ReadFile(data + "/calWnd.info").empty());
}

}  // namespace
