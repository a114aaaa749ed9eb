// Maintenance log: weekday files, the append-or-start-anew rule, the line
// format, the numeric forms and concurrent writers.
#include <gtest/gtest.h>
#include <utime.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "app/MaintenanceLog.h"
#include "platform/Folders.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using platform::CTime;
using testsupport::ReadFile;
using testsupport::ScopedTz;
using testsupport::TempDir;
using testsupport::WriteFile;
using Utility::CMaintenanceLog;

namespace {

void SetModified(const std::string& file, const CTime& t) {
    utimbuf times{static_cast<time_t>(t.GetTime()), static_cast<time_t>(t.GetTime())};
    ASSERT_EQ(::utime(file.c_str(), &times), 0);
}

size_t CountLines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(MaintenanceLog, WithoutFolderNothingIsWritten) {
    TempDir dir;
    CMaintenanceLog log;
    log.Write(Utility::kLogInfo, "lost");
    log.SetFolder(dir.path());
    log.Write(Utility::kLogInfo, "kept");
    const CTime now = CTime::GetCurrentTime();
    const std::string text = ReadFile(log.FileNameFor(now.GetTime()));
    EXPECT_EQ(text.find("lost"), std::string::npos);
    EXPECT_NE(text.find("kept"), std::string::npos);
}

TEST(MaintenanceLog, LineFormatWeekdayFileAndNumericForms) {
    ScopedTz tz("Asia/Tokyo");
    TempDir dir;
    // One fixed instant of today (the append rule compares with the file's
    // real modification time).
    const CTime now = CTime::GetCurrentTime();
    platform::ScopedClock clock([&] { return now.GetTime(); });
    CMaintenanceLog log;
    log.SetFolder(dir.path());
    log.Write(Utility::kLogInfo, "Boot", 3, 100);
    log.Write(Utility::kLogAction, "<menu> 日本語 🎉");
    log.Write(Utility::kLogError, "x", -1);
    log.Write(Utility::kLogWarn, "y", 1, 2, 3);
    log.WritePixOver(1, 2, 3, 4);
    const std::string stamp = now.Format("%Y/%m/%d %H:%M.%S");
    const std::string file = dir / ("Log" + std::to_string(now.GetDayOfWeek()) + ".txt");
    EXPECT_EQ(log.FileNameFor(now.GetTime()), file);
    EXPECT_EQ(ReadFile(file), stamp + " [info] Boot (3,100)\n" + stamp +
                                  " [act ] <menu> 日本語 🎉\n" + stamp + " [ERR!] x (-1)\n" + stamp +
                                  " [warn] y (1,2,3)\n" + stamp + " [warn] pix over (1,2,3,4)\n");
    EXPECT_EQ(CTime(2026, 12, 7, 8, 5, 7).Format("%Y/%m/%d %H:%M.%S"), "2026/12/07 08:05.07");
    EXPECT_EQ(CTime(2026, 12, 7, 8, 5, 7).GetDayOfWeek(), 2);  // Monday: Log2.txt
}

TEST(MaintenanceLog, FirstLineOfADayStartsTheWeekdayFileAnew) {
    for (const char* zone : {"Asia/Tokyo", "America/New_York"}) {
        ScopedTz tz(zone);
        TempDir dir;
        const CTime monday(2026, 12, 7, 9, 0, 0);
        platform::ScopedClock clock([&] { return monday.GetTime(); });
        CMaintenanceLog log;
        log.SetFolder(dir.path());

        // Written on the previous Monday: truncated by today's first line.
        WriteFile(dir / "Log2.txt", "old line\n");
        SetModified(dir / "Log2.txt", CTime(2026, 11, 30, 23, 59, 0));
        log.Write(Utility::kLogInfo, "first");
        EXPECT_EQ(ReadFile(dir / "Log2.txt").find("old line"), std::string::npos) << zone;

        // Written earlier the same day: appended to.
        SetModified(dir / "Log2.txt", CTime(2026, 12, 7, 0, 0, 1));
        log.Write(Utility::kLogInfo, "second");
        EXPECT_EQ(CountLines(ReadFile(dir / "Log2.txt")), 2u) << zone;
    }
}

TEST(MaintenanceLog, ConcurrentFirstLinesOfADayKeepEveryLine) {
    ScopedTz tz("Asia/Tokyo");
    TempDir dir;
    CMaintenanceLog log;
    log.SetFolder(dir.path());
    const CTime now = CTime::GetCurrentTime();
    const std::string file = log.FileNameFor(now.GetTime());
    WriteFile(file, "last week\n");
    SetModified(file, now - 7 * 86400);

    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                log.Write(Utility::kLogInfo, "thread", t, i);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.find("last week"), std::string::npos);
    EXPECT_EQ(CountLines(text), static_cast<size_t>(kThreads * kLines));
}

TEST(MaintenanceLog, UnwritableFolderLosesLinesQuietly) {
    TempDir dir;
    WriteFile(dir / "blocker", "a file where the log folder should be");
    ASSERT_TRUE(platform::CreateFolderTree(dir / "log"));
    for (const std::string& folder :
         {std::string("/nonexistent/daymark/log"), dir / "blocker/log", dir / "blocker"}) {
        SCOPED_TRACE(folder);
        CMaintenanceLog log;
        log.SetFolder(folder);
        EXPECT_NO_THROW(log.Write(Utility::kLogInfo, "nowhere"));
        EXPECT_NO_THROW(log.Write(Utility::kLogWarn, "still nowhere", 1, 2));
        EXPECT_FALSE(platform::FileExists(log.FileNameFor(CTime::GetCurrentTime().GetTime())));
        EXPECT_FALSE(platform::IsDirectory("/nonexistent"));
        EXPECT_EQ(ReadFile(dir / "blocker"), "a file where the log folder should be");
        // Given a folder it can write, the same log goes on at once.
        log.SetFolder(dir / "log");
        log.Write(Utility::kLogInfo, "kept");
        const std::string text = ReadFile(log.FileNameFor(CTime::GetCurrentTime().GetTime()));
        EXPECT_NE(text.find("[info] kept\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("nowhere"), std::string::npos) << text;
        std::remove(log.FileNameFor(CTime::GetCurrentTime().GetTime()).c_str());
    }
}

}  // namespace
