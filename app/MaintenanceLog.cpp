#include "app/MaintenanceLog.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

#include "platform/PrivateText.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace Utility {
namespace {

// Weekday number of the local time, Sunday = 1; 0 when it cannot be had.
int WeekdayNumber(int64_t now) {
    std::tm tm{};
    return platform::CTime(now).GetLocalTm(tm) ? tm.tm_wday + 1 : 0;
}

// True when the file exists and was last modified on the same month and day
// (local time) as `now`; the year is not compared.
bool WrittenToday(const std::string& file, int64_t now) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return false;
    }
    std::tm modified{};
    std::tm today{};
    if (!platform::CTime(st.st_mtime).GetLocalTm(modified) ||
        !platform::CTime(now).GetLocalTm(today)) {
        return false;
    }
    return modified.tm_mon == today.tm_mon && modified.tm_mday == today.tm_mday;
}

}  // namespace

CMaintenanceLog::~CMaintenanceLog() = default;

void CMaintenanceLog::SetFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(lock_);
    folder_ = folder;
    file_.reset();
}

std::string CMaintenanceLog::GetFolder() const {
    std::lock_guard<std::mutex> guard(lock_);
    return folder_;
}

void CMaintenanceLog::SetAccount(const std::string& account) {
    std::lock_guard<std::mutex> guard(lock_);
    account_ = account;
}

std::string CMaintenanceLog::MaskAccount(const std::string& text) const {
    std::lock_guard<std::mutex> guard(lock_);
    return platform::MaskAccount(text, account_);
}

std::string CMaintenanceLog::FileNameFor(int64_t now) const {
    std::lock_guard<std::mutex> guard(lock_);
    return folder_ + "/Log" + std::to_string(WeekdayNumber(now)) + ".txt";
}

void CMaintenanceLog::Write(const std::string& level, const std::string& message) {
    // One instant serves for the stamp, the file name and the append decision.
    const int64_t now = platform::NowSeconds();
    const platform::CTime time(now);
    std::string line = time.Format("%Y/%m/%d %H:%M.%S");
    line += " [" + level + "] " + message + "\n";
    const std::string name = "/Log" + std::to_string(WeekdayNumber(now)) + ".txt";

    std::lock_guard<std::mutex> guard(lock_);
    if (folder_.empty()) {
        return;
    }
    line = platform::MaskAccount(std::move(line), account_);
#ifndef NDEBUG
    std::fputs(line.c_str(), stderr);
#endif
    // The file stays open while the lines go to the same file on the same
    // day; the first line of a day (or of another file) decides afresh
    // between appending and starting the file anew.
    const std::string file = folder_ + name;
    std::tm today{};
    time.GetLocalTm(today);
    const int day = today.tm_year * 400 + today.tm_yday;
    if (!file_ || file != openFile_ || day != openDay_) {
        file_.reset();
        const char* mode = WrittenToday(file, now) ? "ab" : "wb";
        file_.reset(std::fopen(file.c_str(), mode));
        openFile_ = file;
        openDay_ = day;
        if (!file_) {
            return;
        }
    }
    // Every line is handed to the system before the call returns.
    if (std::fwrite(line.data(), 1, line.size(), file_.get()) != line.size() ||
        std::fflush(file_.get()) != 0) {
        file_.reset();
    }
}

void CMaintenanceLog::Write(const std::string& level, const std::wstring& message) {
    Write(level, platform::WideToUtf8(message));
}

void CMaintenanceLog::Write(const std::string& level, const std::string& text, long n1) {
    Write(level, text + " (" + std::to_string(n1) + ")");
}

void CMaintenanceLog::Write(const std::string& level, const std::string& text, long n1, long n2) {
    Write(level, text + " (" + std::to_string(n1) + "," + std::to_string(n2) + ")");
}

void CMaintenanceLog::Write(const std::string& level, const std::string& text, long n1, long n2,
                            long n3) {
    Write(level, text + " (" + std::to_string(n1) + "," + std::to_string(n2) + "," +
                     std::to_string(n3) + ")");
}

void CMaintenanceLog::WritePixOver(long n1, long n2, long n3, long n4) {
    Write(kLogWarn, "pix over (" + std::to_string(n1) + "," + std::to_string(n2) + "," +
                        std::to_string(n3) + "," + std::to_string(n4) + ")");
}

}  // namespace Utility
