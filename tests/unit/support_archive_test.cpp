// The support bundle's archive writer and the account masking shared by the
// diagnostic files: archives checked with unzip and Python's zipfile.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MaintenanceLog.h"
#include "app/SupportArchive.h"
#include "platform/DesktopFolder.h"
#include "platform/PrivateText.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Runs a shell command; its exit status and its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    if (output) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "name method year-month-day hour:minute:second size" per entry, as
// Python's zipfile reads the archive (testzip checks every CRC).
std::string PythonListing(const std::string& zip) {
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    print(i.filename, i.compress_type, '%04d-%02d-%02d %02d:%02d:%02d'"
        " % i.date_time, i.file_size)\n";
    TempDir dir;
    WriteFile(dir / "list.py", script);
    std::string out;
    EXPECT_EQ(RunCommand("python3 " + dir / "list.py" + " " + zip, &out), 0) << out;
    return out;
}

void SetMtime(const std::string& path, time_t when) {
    struct utimbuf times {
        when, when
    };
    ::utime(path.c_str(), &times);
}

TEST(SupportArchive, StoredExtensionsIgnoreLetterCase) {
    for (const char* name :
         {"X.ZIP", "a.zip", "b.Z", "c.z", "d.zoo", "e.ARC", "f.lzh", "g.arj", "h.gz", "i.TGZ"}) {
        EXPECT_TRUE(app::IsStoredInArchive(name)) << name;
    }
    for (const char* name : {"Log1.txt", "comm.log", "zip", "a.zip.txt", "db.txt", "a.gzip", ""}) {
        EXPECT_FALSE(app::IsStoredInArchive(name)) << name;
    }
}

TEST(SupportArchive, OneEntryPerFileNoFoldersDosTimesAndCompressionByName) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    TempDir dir;
    const std::string log = dir / "log";
    ::mkdir(log.c_str(), 0700);
    std::string logText;
    for (int i = 0; i < 200; ++i) {
        logText += "2026/12/10 09:00.00 [info] <calmng> GetEvents (2026,12,3)\r\n";
    }
    WriteFile(log + "/Log5.txt", logText);
    WriteFile(log + "/comm.log", "12/10 09:00:00.000GET: https://127.0.0.1/feeds\n");
    WriteFile(log + "/X.ZIP", std::string(300, 'z'));
    WriteFile(log + "/empty.txt", "");
    ::mkdir((log + "/sub").c_str(), 0700);
    WriteFile(log + "/sub/inner.txt", "not packed");
    // Not a regular file: it cannot be read as one and is left out.
    ::mkfifo((log + "/pipe.log").c_str(), 0600);
    // A link is not followed out of the folder.
    WriteFile(dir / "private.txt", "not for support");
    ::symlink((dir / "private.txt").c_str(), (log + "/link.txt").c_str());
    // 2011-05-01 12:34:56 in Tokyo; DOS times have two-second steps.
    SetMtime(log + "/Log5.txt", 1304220896);

    const std::string zip = dir / "WrenSupport.zip";
    WriteFile(zip, "an old file that is replaced");
    app::SupportArchiveResult result = app::WriteSupportArchive(log, zip);
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.entries.size(), 4u);
    std::sort(result.skipped.begin(), result.skipped.end());
    EXPECT_EQ(result.skipped, (std::vector<std::string>{"link.txt", "pipe.log"}));

    std::string out;
    EXPECT_EQ(RunCommand("unzip -t " + zip, &out), 0) << out;
    const std::string listing = PythonListing(zip);
    // compress_type 0 stored, 8 deflated.
    EXPECT_NE(listing.find("Log5.txt 8 2011-05-01 12:34:56 " + std::to_string(logText.size())),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("X.ZIP 0 "), std::string::npos) << listing;
    EXPECT_NE(listing.find("comm.log 8 "), std::string::npos) << listing;
    EXPECT_NE(listing.find("empty.txt "), std::string::npos) << listing;
    EXPECT_EQ(listing.find('/'), std::string::npos) << listing;
    EXPECT_EQ(listing.find("inner"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("pipe"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("link"), std::string::npos) << listing;

    EXPECT_EQ(RunCommand("unzip -p " + zip + " Log5.txt", &out), 0);
    EXPECT_EQ(out, logText);
}

TEST(SupportArchive, EmptyFolderGivesAValidEmptyArchiveAndABadPathFails) {
    TempDir dir;
    ::mkdir((dir / "log").c_str(), 0700);
    const app::SupportArchiveResult empty = app::WriteSupportArchive(dir / "log", dir / "e.zip");
    ASSERT_TRUE(empty.written) << empty.error;
    EXPECT_EQ(PythonListing(dir / "e.zip"), "");

    WriteFile(dir / "log/Log1.txt", "x");
    const app::SupportArchiveResult bad =
        app::WriteSupportArchive(dir / "log", dir / "no/such/folder/s.zip");
    EXPECT_FALSE(bad.written);
    EXPECT_FALSE(bad.error.empty());
}

TEST(SupportArchive, TheDesktopFolderComesFromXdgElseHome) {
    TempDir dir;
    ::mkdir((dir / "Desk").c_str(), 0700);
    ::mkdir((dir / "config").c_str(), 0700);
    ::mkdir((dir / "Schreibtisch").c_str(), 0700);
    testsupport::ScopedEnv home("HOME", dir.path());
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
    {
        testsupport::ScopedEnv desktop("XDG_DESKTOP_DIR", dir / "Desk");
        EXPECT_EQ(platform::GetDesktopFolder(), dir / "Desk");
    }
    testsupport::ScopedEnv desktop("XDG_DESKTOP_DIR", std::nullopt);
    EXPECT_EQ(platform::GetDesktopFolder(), dir.path());  // no user-dirs.dirs
    WriteFile(dir / "config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(platform::GetDesktopFolder(), dir / "Schreibtisch");
    // A folder that does not exist is not proposed.
    WriteFile(dir / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Gone\"\n");
    EXPECT_EQ(platform::GetDesktopFolder(), dir.path());
}

TEST(AccountMasking, BothFormsAnyCaseAndNothingElse) {
    const std::string account = "hanako.sato@example.com";
    struct Case {
        const char* text;
        const char* masked;
    } cases[] = {
        {"login hanako.sato@example.com ok", "login [user_id] ok"},
        {"/feeds/hanako.sato%40example.com/private/full", "/feeds/[user_id]/private/full"},
        {"Hanako.Sato@Example.COM and hanako.sato%40EXAMPLE.com", "[user_id] and [user_id]"},
        {"taro@example.com hanako.sato", "taro@example.com hanako.sato"},
        {"hanako.sato@example.comhanako.sato@example.com", "[user_id][user_id]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::MaskAccount(c.text, account), c.masked) << c.text;
        // The account may be given in its URL-encoded form too.
        EXPECT_EQ(platform::MaskAccount(c.text, "hanako.sato%40example.com"), c.masked) << c.text;
    }
    EXPECT_EQ(platform::MaskAccount("local calendar", "local"), "local calendar");
    EXPECT_EQ(platform::MaskAccount("a@b", ""), "a@b");
}

TEST(AccountMasking, MaintenanceLogMasksTheAccount) {
    TempDir dir;
    Utility::CMaintenanceLog log;
    log.SetFolder(dir.path());
    log.SetAccount("hanako.sato@example.com");
    log.Write(Utility::kLogInfo, "<api> GET /feeds/hanako.sato%40example.com/private/full");
    log.Write(Utility::kLogInfo, "account hanako.sato@example.com");
    std::string all;
    for (int day = 0; day <= 7; ++day) {
        all += ReadFile(dir / ("Log" + std::to_string(day) + ".txt"));
    }
    EXPECT_EQ(all.find("hanako"), std::string::npos) << all;
    EXPECT_NE(all.find("/feeds/[user_id]/private/full"), std::string::npos) << all;
}

}  // namespace
