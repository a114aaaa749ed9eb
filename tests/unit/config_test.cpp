// Configuration store: defaults, loaded fields, derived proxy switch, dates,
// scrambled account values, maniac options and start-at-logon entries.
#include <gtest/gtest.h>

#include <array>

#include "app/AccountScrambler.h"
#include "app/ConfigInfo.h"
#include "app/ManiacOption.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "tests/support/TestSupport.h"

using Model::CConfigInfo;
using platform::CTime;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::ScopedTz;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(Config, EmptyFolderGivesDefaultsAndOnlyHttpLogIsWritten) {
    ScopedTz tz("Asia/Tokyo");
    TempDir dir;
    CConfigInfo config(dir / "config.ini");
    EXPECT_EQ(ReadFile(dir / "config.ini"), "[debug]\nhttp_log=0\n");
    EXPECT_EQ(config.GetCalendarMode(), 0);
    EXPECT_EQ(config.GetStyleName(), L"Blue.style");
    EXPECT_EQ(config.GetLoginUrl(), Model::kDefaultLoginUrl);
    EXPECT_EQ(config.GetAccountId(), L"");
    EXPECT_EQ(config.GetProxy(), L"");
    EXPECT_EQ(config.GetCurlLogLevel(), 0);
    EXPECT_EQ(config.periodicSync, 1);
    EXPECT_EQ(config.bookedBold, 1);
    EXPECT_EQ(config.fixCalHeight, 1);
    EXPECT_EQ(config.alwaysBottom, 1);
    EXPECT_EQ(config.iconBar, 1);
    EXPECT_EQ(config.mondayFirst, 0);
    EXPECT_EQ(config.syncDuration, 60);
    CTime t;
    EXPECT_FALSE(config.GetInstallDate(t));
    EXPECT_EQ(t, CTime(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(config.GetVersionCheckDate(), CTime(2000, 1, 1, 0, 0, 0));
}

TEST(Config, LoadedFieldsComeFromTheirOwnKeys) {
    TempDir dir;
    WriteFile(dir / "config.ini",
              "[general]\r\nsync_duration=5\r\nlock=1\r\n[option]\r\nmonday_first=1\r\n"
              "booked_bold=0\r\n[general]\r\nmonday_frist=1\r\n");
    CConfigInfo config(dir / "config.ini");
    EXPECT_EQ(config.syncDuration, 10);
    EXPECT_EQ(config.lock, 1);
    EXPECT_EQ(config.bookedBold, 0);
    EXPECT_EQ(config.mondayFirst, 0);  // only option/monday_frist counts
    WriteFile(dir / "config.ini", "[option]\nmonday_frist=1\n[general]\nsync_duration=90\n");
    config.Load(dir / "config.ini");
    EXPECT_EQ(config.mondayFirst, 1);
    EXPECT_EQ(config.syncDuration, 90);
    EXPECT_EQ(ReadFile(dir / "config.ini"),
              "[option]\nmonday_frist=1\n[general]\nsync_duration=90\n[debug]\nhttp_log=0\n");
}

TEST(Config, ProxySwitchIsDerivedOnceFromTheAddress) {
    TempDir dir;
    WriteFile(dir / "config.ini", "[general]\nproxy=http://proxy:8080\n");
    CConfigInfo config(dir / "config.ini");
    EXPECT_EQ(config.IsProxyEnabled(), 1);
    EXPECT_NE(ReadFile(dir / "config.ini").find("enable_proxy=1"), std::string::npos);
    config.WriteInt("general", "enable_proxy", 0);
    EXPECT_EQ(config.IsProxyEnabled(), 0);

    WriteFile(dir / "config.ini", "");
    EXPECT_EQ(config.IsProxyEnabled(), 0);
    EXPECT_NE(ReadFile(dir / "config.ini").find("enable_proxy=0"), std::string::npos);
}

TEST(Config, InstallAndVersionCheckDates) {
    for (const char* zone : {"Asia/Tokyo", "America/New_York"}) {
        ScopedTz tz(zone);
        TempDir dir;
        CConfigInfo config(dir / "config.ini");
        EXPECT_EQ(config.GetInstallText(), L"");
        config.SetInstallDate(CTime(2010, 5, 1, 9, 5, 7));
        EXPECT_EQ(config.GetInstallText(), L"20100501_090507");
        CTime t;
        EXPECT_TRUE(config.GetInstallDate(t));
        EXPECT_EQ(t, CTime(2010, 5, 1, 9, 5, 7));
        config.SetVersionCheckDate(CTime(2026, 12, 9, 22, 0, 0));
        EXPECT_EQ(config.GetVersionCheckDate(), CTime(2026, 12, 9, 0, 0, 0));

        // Wrong length, the word "invalid", fields out of range or not digits.
        const std::array<const char*, 7> badInstall{
            "invalid",         "20100501_09050",  "18990501_090507", "20101301_090507",
            "20100532_090507", "20100501_250507", "2010O501_090507"};
        for (const char* bad : badInstall) {
            WriteFile(dir / "config.ini", std::string("[date]\ninstall=") + bad + "\n");
            EXPECT_FALSE(config.GetInstallDate(t)) << bad;
            EXPECT_EQ(t, CTime(2000, 1, 1, 0, 0, 0)) << bad;
        }
        for (const char* bad : {"2026/12/0", "2026/13/01", "0000/01/01", "abcd/ef/gh"}) {
            WriteFile(dir / "config.ini", std::string("[date]\nversioncheck=") + bad + "\n");
            EXPECT_EQ(config.GetVersionCheckDate(), CTime(2000, 1, 1, 0, 0, 0)) << bad;
        }
    }
}

TEST(AccountScrambling, RoundTripsAndVariesWithTheClockDigits) {
    const std::array<std::wstring, 5> values{L"user@example.com", L"p@ss'w\"rd;--",
                                             L"日本語のアカウント", L"🎉x", L"a"};
    for (const auto& v : values) {
        const std::wstring s1 = Model::ScrambleAccountValue(v, 1, 2, 3);
        const std::wstring s2 = Model::ScrambleAccountValue(v, 7, 4, 9);
        EXPECT_NE(s1, s2);
        EXPECT_EQ(s1.substr(4, 2), L"ac");
        EXPECT_EQ(s1.size(), 16 + 4 * platform::WideToUtf16(v).size());
        EXPECT_EQ(Model::UnscrambleAccountValue(s1), v);
        EXPECT_EQ(Model::UnscrambleAccountValue(s2), v);
        EXPECT_EQ(s1.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    }
}

TEST(AccountScrambling, DamagedValuesReadAsEmpty) {
    const std::wstring good = Model::ScrambleAccountValue(L"user", 1, 2, 3);
    const std::array<std::wstring, 6> bad{
        L"",
        good.substr(0, 16),                           // 16 characters or fewer
        good.substr(0, 4) + L"ad" + good.substr(6),   // no marker
        good.substr(0, 20),                           // count runs past the end
        good.substr(0, 8) + L"zz" + good.substr(10),  // not hex
        good.substr(0, 6) + L"ff" + good.substr(8),   // digit outside the tables
    };
    for (const auto& v : bad) {
        EXPECT_EQ(Model::UnscrambleAccountValue(v), L"") << platform::WideToUtf8(v);
    }
}

TEST(Config, AccountValuesAreStoredScrambled) {
    TempDir dir;
    CConfigInfo config(dir / "config.ini");
    config.SetAccountId(L"someone@example.com");
    config.SetAccountPassword(L"secret");
    EXPECT_EQ(config.GetAccountId(), L"someone@example.com");
    EXPECT_EQ(config.GetAccountPassword(), L"secret");
    const std::string file = ReadFile(dir / "config.ini");
    EXPECT_EQ(file.find("someone"), std::string::npos);
    EXPECT_EQ(file.find("secret"), std::string::npos);
    WriteFile(dir / "config.ini", "[account]\npsw=0123ac4567890123\n");
    EXPECT_EQ(config.GetAccountPassword(), L"");
}

TEST(ManiacOption, LoadsItsThreeSwitches) {
    TempDir dir;
    Model::CManiacOption maniac;
    maniac.Load(dir / "maniac.ini");
    EXPECT_EQ(
        maniac.hideTaskTrayIcon + maniac.showBottomBar + maniac.disableTransparencyWhileMouseOver,
        0);
    WriteFile(dir / "maniac.ini",
              "[option]\nhide_task_tray_icon=1\nshow_bottom_bar=1\n"
              "disable_transparency_while_mouse_over=1\n");
    maniac.Load(dir / "maniac.ini");
    EXPECT_EQ(maniac.hideTaskTrayIcon, 1);
    EXPECT_EQ(maniac.showBottomBar, 1);
    EXPECT_EQ(maniac.disableTransparencyWhileMouseOver, 1);
    EXPECT_FALSE(platform::FileExists(dir / "config.ini"));
}

TEST(Config, StartupEntryIsAnXdgAutostartFile) {
    TempDir dir;
    ScopedEnv user("XDG_CONFIG_HOME", dir / "user");
    ScopedEnv system("XDG_CONFIG_DIRS", dir / "system");
    CConfigInfo config(dir / "config.ini");
    bool allUsers = true;
    EXPECT_FALSE(config.IsStartupRegistered(&allUsers));
    config.SetStartup(true);
    EXPECT_TRUE(config.IsStartupRegistered(&allUsers));
    EXPECT_FALSE(allUsers);
    const std::string entry = ReadFile(dir / "user/autostart/Daymark.desktop");
    EXPECT_NE(entry.find("Name=Daymark\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"/"), std::string::npos);
    config.SetStartup(false);
    EXPECT_FALSE(config.IsStartupRegistered());

    // Registered for all users: found second, and removed from there.
    ASSERT_TRUE(platform::CreateFolderTree(dir / "system/autostart"));
    WriteFile(dir / "system/autostart/Daymark.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(config.IsStartupRegistered(&allUsers));
    EXPECT_TRUE(allUsers);
    config.SetStartup(false);
    EXPECT_FALSE(platform::FileExists(dir / "system/autostart/Daymark.desktop"));
}

}  // namespace
