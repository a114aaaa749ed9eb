// Platform layer: INI files, text conversion, local time, folders, the
// single-instance lock and GUIDs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "platform/Folders.h"
#include "platform/Guid.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "platform/TextConv.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using namespace platform;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(Profile, MissingFileSectionOrKeyGivesDefault) {
    TempDir dir;
    const std::string ini = dir / "config.ini";
    EXPECT_EQ(GetPrivateProfileInt("general", "boot_count", 7, ini), 7);
    EXPECT_EQ(GetPrivateProfileString("general", "style", L"Blue.style", 256, ini), L"Blue.style");
    WriteFile(ini, "[other]\nboot_count=3\n[general]\nstyle=Dark.style\n");
    EXPECT_EQ(GetPrivateProfileInt("general", "boot_count", 7, ini), 7);
    EXPECT_EQ(GetPrivateProfileString("general", "nokey", L"x", 256, ini), L"x");
}

TEST(Profile, IntegerReadsTakeLeadingDigits) {
    TempDir dir;
    const std::string ini = dir / "a.ini";
    struct Row {
        const char* value;
        int expected;
    };
    const std::array<Row, 9> rows{{{"42", 42},
                                   {"  17  ", 17},
                                   {"12abc", 12},
                                   {"abc", -1},
                                   {"", -1},
                                   {"-5", -5},
                                   {"+8", 8},
                                   {"99999999999", 2147483647},
                                   {"0x10", 0}}};
    for (const Row& r : rows) {
        WriteFile(ini, std::string("[s]\nk=") + r.value + "\n");
        EXPECT_EQ(GetPrivateProfileInt("s", "k", -1, ini), r.expected) << r.value;
    }
}

TEST(Profile, NamesMatchWithoutCaseAndFirstKeyWins) {
    TempDir dir;
    const std::string ini = dir / "a.ini";
    WriteFile(ini,
              "garbage line\r\n[General]\r\nno equals here\r\n Style = first.style \r\n"
              "style=second.style\r\n[general]\r\nstyle=third\r\nquoted=\"a b \"\r\n");
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "STYLE", L"", 256, ini), L"first.style");
    EXPECT_EQ(GetPrivateProfileString("general", "quoted", L"", 256, ini), L"a b ");
    // A key in a repeated section is still found.
    EXPECT_EQ(GetPrivateProfileString("general", "Quoted", L"", 256, ini), L"a b ");
}

TEST(Profile, StringReadsAreCutToTheBuffer) {
    TempDir dir;
    const std::string ini = dir / "a.ini";
    const std::wstring longJapanese(600, L'日');
    ASSERT_TRUE(WritePrivateProfileString("account", "uid", longJapanese, ini));
    EXPECT_EQ(GetPrivateProfileString("account", "uid", L"", 512, ini).size(), 511u);
    EXPECT_EQ(GetPrivateProfileString("account", "uid", L"", 256, ini),
              longJapanese.substr(0, 255));
}

TEST(Profile, WritesKeepEveryOtherLine) {
    TempDir dir;
    const std::string ini = dir / "a.ini";
    // CRLF lines, junk, binary bytes, duplicate keys, no final line end.
    const std::string before =
        "\x01\x02junk\xff\r\n[general]\r\n; comment\r\nstyle=Blue.style\r\nstyle=dup\r\n\r\n"
        "[option]\r\nweek_number=1";
    WriteFile(ini, before);
    ASSERT_TRUE(WritePrivateProfileString("general", "style", std::string("Dark.style"), ini));
    EXPECT_EQ(ReadFile(ini),
              "\x01\x02junk\xff\r\n[general]\r\n; comment\r\nstyle=Dark.style\r\nstyle=dup\r\n\r\n"
              "[option]\r\nweek_number=1");
    ASSERT_TRUE(WritePrivateProfileString("option", "icon_bar", std::string("0"), ini));
    EXPECT_EQ(ReadFile(ini),
              "\x01\x02junk\xff\r\n[general]\r\n; comment\r\nstyle=Dark.style\r\nstyle=dup\r\n\r\n"
              "[option]\r\nweek_number=1\r\nicon_bar=0\r\n");
    ASSERT_TRUE(WritePrivateProfileString("general", "boot_count", std::string("2"), ini));
    ASSERT_TRUE(WritePrivateProfileString("date", "install", std::string("x\ny"), ini));
    EXPECT_EQ(ReadFile(ini),
              "\x01\x02junk\xff\r\n[general]\r\n; comment\r\nstyle=Dark.style\r\nstyle=dup\r\n"
              "boot_count=2\r\n\r\n[option]\r\nweek_number=1\r\nicon_bar=0\r\n[date]\r\n"
              "install=x y\r\n");
    EXPECT_EQ(GetPrivateProfileInt("option", "week_number", 0, ini), 1);
}

// CR, LF and CRLF each end a line for the reader and the writer alike: a
// written key always reads back and every other key keeps its value, however
// the file's lines end (a last line ending in a bare CR used to swallow the
// next key written into it).
TEST(Profile, EveryLineEndEndsALineForReaderAndWriter) {
    struct Key {
        const char* section;
        const char* key;
        const char* value;
    };
    const std::array<Key, 4> keys{{
        {"Sec", "x", "1"},
        {"Sec", "y", "two words"},
        {"Other", "z", "3"},
        {"Other", "w", ""},
    }};
    // The file's lines, joined by one line end (or a mix), with and without
    // one after the last line.
    const std::array<std::array<const char*, 6>, 4> ends{{
        {"\n", "\n", "\n", "\n", "\n", "\n"},
        {"\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n"},
        {"\r", "\r", "\r", "\r", "\r", "\r"},
        {"\r", "\n", "\r\n", "\r", "\r\n", "\n"},
    }};
    const std::array<const char*, 6> lines{{"[Sec]", "x=1", "y=two words", "[Other]", "z=3", "w="}};
    struct Write {
        const char* section;
        const char* key;
        const char* value;
    };
    const std::array<Write, 4> writes{{
        {"Sec", "k", "v"},    // new key after the section's last line
        {"Other", "k", "v"},  // new key after the file's last line
        {"New", "k", "v"},    // new section at the end
        {"Sec", "x", "9"},    // a key replaced in place
    }};
    TempDir dir;
    const std::string ini = dir / "a.ini";
    for (size_t e = 0; e < ends.size(); ++e) {
        for (bool finalEnd : {true, false}) {
            for (const auto& write : writes) {
                std::string text;
                for (size_t i = 0; i < lines.size(); ++i) {
                    text += lines[i];
                    if (i + 1 < lines.size() || finalEnd) {
                        text += ends[e][i];
                    }
                }
                SCOPED_TRACE(::testing::PrintToString(text) + " + " + write.section + "/" +
                             write.key);
                WriteFile(ini, text);
                ASSERT_TRUE(WritePrivateProfileString(write.section, write.key,
                                                      std::string(write.value), ini));
                EXPECT_EQ(GetPrivateProfileStringUtf8(write.section, write.key, "?", 256, ini),
                          write.value)
                    << ::testing::PrintToString(ReadFile(ini));
                for (const auto& k : keys) {
                    if (std::string(k.section) == write.section &&
                        std::string(k.key) == write.key) {
                        continue;
                    }
                    EXPECT_EQ(GetPrivateProfileStringUtf8(k.section, k.key, "?", 256, ini), k.value)
                        << k.key << " in " << ::testing::PrintToString(ReadFile(ini));
                }
            }
        }
    }
    // The two reported cases, byte for byte.
    WriteFile(ini, "[Sec]\r");
    ASSERT_TRUE(WritePrivateProfileString("Sec", "Key", std::string("v"), ini));
    EXPECT_EQ(ReadFile(ini), "[Sec]\rKey=v\r");
    EXPECT_EQ(GetPrivateProfileStringUtf8("Sec", "Key", "", 256, ini), "v");
    WriteFile(ini, "[Sec]\nx=1\r");
    ASSERT_TRUE(WritePrivateProfileString("Sec", "k", std::string("v"), ini));
    EXPECT_EQ(GetPrivateProfileStringUtf8("Sec", "x", "", 256, ini), "1");
    EXPECT_EQ(GetPrivateProfileStringUtf8("Sec", "k", "", 256, ini), "v");
}

TEST(Profile, NewFileIsPrivateAndExistingModeIsKept) {
    TempDir dir;
    const std::string ini = dir / "config.ini";
    ASSERT_TRUE(WritePrivateProfileString("debug", "http_log", std::string("0"), ini));
    EXPECT_EQ(ReadFile(ini), "[debug]\nhttp_log=0\n");
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(ini.c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString("debug", "http_log", std::string("1"), ini));
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Profile, UnwritableFolderFailsQuietly) {
    EXPECT_FALSE(WritePrivateProfileString("a", "b", std::string("c"), "/nonexistent/dir/x.ini"));
    EXPECT_EQ(GetPrivateProfileInt("a", "b", 3, "/nonexistent/dir/x.ini"), 3);
}

TEST(TextConv, RoundTripsAndReplacesInvalidBytes) {
    const std::string text = "Bob's 予定 🎉";
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
    EXPECT_EQ(Utf8ToWide("a\xff"
                         "b"),
              L"a\xFFFD"
              L"b");
    EXPECT_EQ(Utf8ToWide("\xe6\x97"), L"\xFFFD");
    EXPECT_EQ(Utf8ToWide("\xc0\xaf"), L"\xFFFD");  // overlong
    EXPECT_EQ(Utf16ToWide(WideToUtf16(L"🎉x")), L"🎉x");
    EXPECT_EQ(WideToUtf16(L"🎉").size(), 2u);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    EXPECT_EQ(Utf8ToUtf16("a\xff"), u"a\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // unpaired surrogate
}

class TimeInZone : public ::testing::TestWithParam<const char*> {};

TEST_P(TimeInZone, LocalFieldsRoundTrip) {
    testsupport::ScopedTz tz(GetParam());
    const CTime t(2010, 5, 1, 9, 5, 7);
    EXPECT_EQ(t.Format("%Y/%m/%d %H:%M.%S"), "2010/05/01 09:05.07");
    EXPECT_EQ(t.GetDayOfWeek(), 7);  // a Saturday
    EXPECT_EQ(LocalMidnight(t), CTime(2010, 5, 1, 0, 0, 0));
    EXPECT_THROW(CTime(1899, 1, 1, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(CTime(2000, 13, 1, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(CTime(2000, 1, 1, 24, 0, 0), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeInZone,
                         ::testing::Values("Asia/Tokyo", "America/New_York", "UTC"));

TEST(Time, ScopedClockReplacesNow) {
    ScopedClock clock([] { return int64_t{1234}; });
    EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 1234);
}

TEST(Folders, DataFolderPrefersExistingUserFolder) {
    TempDir dir;
    testsupport::ScopedEnv home("XDG_DATA_HOME", dir / "home");
    testsupport::ScopedEnv dirs("XDG_DATA_DIRS", dir / "sys" + ":/usr/share");
    // Fresh: the system folder is created, private to its owner.
    const std::string sys = dir / "sys/Kestrel/Daymark";
    EXPECT_EQ(GetDataFolder(), sys);
    struct stat st {};
    ASSERT_EQ(::stat(sys.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // An existing per-user folder wins.
    ASSERT_TRUE(CreateFolderTree(dir / "home/Kestrel/Daymark"));
    EXPECT_EQ(GetDataFolder(), dir / "home/Kestrel/Daymark");
}

TEST(Folders, FallsBackToUserFolderWhenSystemFolderCannotBeMade) {
    TempDir dir;
    WriteFile(dir / "file", "x");  // a file where a folder should be
    testsupport::ScopedEnv home("XDG_DATA_HOME", dir / "home");
    testsupport::ScopedEnv dirs("XDG_DATA_DIRS", dir / "file/sub");
    EXPECT_EQ(GetDataFolder(), dir / "home/Kestrel/Daymark");
    EXPECT_FALSE(CreateFolderTree(dir / "file/sub"));
    EXPECT_FALSE(GetProgramFolder().empty());
}

// An all-users folder that exists but belongs to someone else (made once by
// root) is not used: nothing could be saved in it.
TEST(Folders, SystemFolderThisUserCannotWriteIsPassedOver) {
    TempDir dir;
    const std::string sys = dir / "sys/Kestrel/Daymark";
    ASSERT_TRUE(CreateFolderTree(sys, 0700));
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(CreateFolderTree(dir / "home"));
    ::chmod((dir / "home").c_str(), 0777);
    testsupport::ScopedEnv home("XDG_DATA_HOME", dir / "home");
    testsupport::ScopedEnv dirs("XDG_DATA_DIRS", dir / "sys");
    // Looked at as another user: as root, a child that becomes "nobody";
    // otherwise the folder is made read-only for its owner.
    const bool root = ::geteuid() == 0;
    for (const std::string& part : {dir / "sys", dir / "sys/Kestrel", sys}) {
        ::chmod(part.c_str(), 0755);  // readable by all, writable by its owner
    }
    if (!root) {
        ::chmod(sys.c_str(), 0555);
    }
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        const std::string folder = GetDataFolder();
        const bool wrote = ::write(pipeFds[1], folder.data(), folder.size()) >= 0;
        ::_exit(wrote ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string folder;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) {
        folder.append(buf, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(sys.c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(folder, dir / "home/Kestrel/Daymark");
    // Its owner (without a per-user folder) still gets it.
    std::filesystem::remove_all(dir / "home/Kestrel");
    EXPECT_EQ(GetDataFolder(), sys);
}

TEST(SingleInstance, SecondLockInAnotherProcessFails) {
    TempDir dir;
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
    SingleInstanceLock lock;
    ASSERT_EQ(lock.Acquire("DaymarkTest"), SingleInstanceLock::Result::Acquired);
    const pid_t pid = ::fork();
    if (pid == 0) {
        SingleInstanceLock other;
        ::_exit(other.Acquire("DaymarkTest") == SingleInstanceLock::Result::AlreadyRunning ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Guid, IsRegistryFormAndUnique) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string g = CreateGuidText();
        ASSERT_EQ(g.size(), 38u);
        EXPECT_EQ(g.front(), '{');
        EXPECT_EQ(g[9], '-');
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
