// Start-up of the real program: folders, configuration, log lines, boot
// count, default styles and the single-instance rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "platform/Version.h"
#include "tests/support/DaymarkProcess.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Runs the program with the environment prepared by the fixture until it is
// up, then ends it as the session's end would; returns its exit status.
int RunDaymark() {
    return testsupport::RunDaymarkUntilUp();
}

std::string AllLogs(const std::string& folder) {
    std::string all;
    for (int day = 0; day <= 7; ++day) {
        all += ReadFile(folder + "/Log" + std::to_string(day) + ".txt");
    }
    return all;
}

class Startup : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv home{"XDG_DATA_HOME", dir / "home"};
    ScopedEnv dirs{"XDG_DATA_DIRS", dir / "system" + ":/usr/share"};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path()};
    ScopedEnv qpa{"QT_QPA_PLATFORM", std::string("offscreen")};
    ScopedEnv tz{"TZ", std::string("Asia/Tokyo")};
    const std::string data = dir / "system/Kestrel/Daymark";
};

TEST_F(Startup, FirstAndSecondStart) {
    ASSERT_EQ(RunDaymark(), 0);
    for (const char* sub : {"style", "image", "log"}) {
        EXPECT_TRUE(platform::IsDirectory(data + "/" + sub)) << sub;
    }
    const std::string ini = data + "/config.ini";
    EXPECT_EQ(platform::GetPrivateProfileInt("general", "boot_count", -1, ini), 1);
    EXPECT_EQ(platform::GetPrivateProfileString("date", "install", L"", 256, ini).size(), 15u);
    EXPECT_EQ(platform::GetPrivateProfileInt("debug", "http_log", -1, ini), 0);

    std::string log = AllLogs(data + "/log");
    // The start-up lines, in order.
    const std::array<std::string, 16> order{
        "[info] first boot\n",
        "[info] Boot (0,",
        std::string("[info] version:") + platform::kVersionText + "\n",
        "[info] cpu {arch:",
        "[info] memory load:",
        "[info] memory total{phy:",
        "[info] memory available{phy:",
        "[info] OS: linux ",
        "[info] display num:1 corner(",
        "[info] TZ result:0 (err:0) bias:-540\n",
        "[info] TZ(standard) JST bias:0\n",
        "[info] TZ(daylight) JST bias:0\n",
        "[info] UserDefault LCID:",
        "[info] SystemDefault LCID:",
        "[info] ready\n",
        ""};
    size_t pos = 0;
    for (const std::string& piece : order) {
        const size_t found = log.find(piece, pos);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << piece;
        pos = found + piece.size();
    }

    ASSERT_EQ(RunDaymark(), 0);
    EXPECT_EQ(platform::GetPrivateProfileInt("general", "boot_count", -1, ini), 2);
    log = AllLogs(data + "/log");
    EXPECT_NE(log.find("[info] Boot (1,"), std::string::npos);
    EXPECT_EQ(log.find("first boot"), log.rfind("first boot"));
}

TEST_F(Startup, ExistingUserFolderWins) {
    ASSERT_TRUE(platform::CreateFolderTree(dir / "home/Kestrel/Daymark"));
    ASSERT_EQ(RunDaymark(), 0);
    EXPECT_TRUE(platform::FileExists(dir / "home/Kestrel/Daymark/config.ini"));
    EXPECT_FALSE(platform::IsDirectory(data));
}

TEST_F(Startup, SecondCopyExitsAtOnceWithoutALogLine) {
    ASSERT_EQ(RunDaymark(), 0);
    const std::string before = AllLogs(data + "/log");
    platform::SingleInstanceLock running;
    ASSERT_EQ(running.Acquire("Daymark"), platform::SingleInstanceLock::Result::Acquired);
    ASSERT_EQ(RunDaymark(), 0);
    EXPECT_EQ(AllLogs(data + "/log"), before);
    EXPECT_EQ(platform::GetPrivateProfileInt("general", "boot_count", -1, data + "/config.ini"), 1);
}

TEST_F(Startup, DefaultStylesNeverOverwriteAnExistingStyle) {
    ASSERT_TRUE(platform::CreateFolderTree(data + "/style"));
    WriteFile(data + "/style/Blue.style.org", "default blue");
    WriteFile(data + "/style/Blue.style", "my own blue");
    WriteFile(data + "/style/Mine.style.org", "default mine");
    ASSERT_EQ(RunDaymark(), 0);
    EXPECT_EQ(ReadFile(data + "/style/Blue.style"), "my own blue");
    EXPECT_EQ(ReadFile(data + "/style/Mine.style"), "default mine");
}

TEST_F(Startup, NoUsableDataFolderStillStartsAndWritesNothing) {
    WriteFile(dir / "blocker", "a file where folders should be");
    ScopedEnv badHome("XDG_DATA_HOME", dir / "blocker/home");
    ScopedEnv badDirs("XDG_DATA_DIRS", dir / "blocker/system");
    // The single-instance lock and the user's home, each in a folder of its
    // own, so that everything else in the test folder is what the program
    // would have written.
    ASSERT_TRUE(platform::CreateFolderTree(dir / "run"));
    std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
    ASSERT_TRUE(platform::CreateFolderTree(dir / "user"));
    ScopedEnv runtimeDir("XDG_RUNTIME_DIR", dir / "run");
    ScopedEnv userHome("HOME", dir / "user");
    EXPECT_EQ(RunDaymark(), 0);
    std::vector<std::string> written;
    for (auto it = std::filesystem::recursive_directory_iterator(dir.path());
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        written.push_back(std::filesystem::relative(it->path(), dir.path()).string());
        if (written.back() == "run" || written.back() == "user") {
            it.disable_recursion_pending();
        }
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"blocker", "run", "user"}));
    EXPECT_EQ(ReadFile(dir / "blocker"), "a file where folders should be");
}

TEST_F(Startup, UnwritableLogFolderLosesLinesOnly) {
    ASSERT_TRUE(platform::CreateFolderTree(data));
    WriteFile(data + "/log", "a file where the log folder should be");
    ASSERT_EQ(RunDaymark(), 0);
    EXPECT_EQ(platform::GetPrivateProfileInt("general", "boot_count", -1, data + "/config.ini"), 1);
}

}  // namespace
