#include "platform/Time.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace platform {
namespace {

std::function<int64_t()>& Clock() {
    static std::function<int64_t()> clock;
    return clock;
}

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        throw std::invalid_argument("CTime: field out of range");
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11)) {
        throw std::invalid_argument("CTime: time cannot be represented");
    }
    seconds_ = static_cast<int64_t>(t);
}

CTime CTime::GetCurrentTime() {
    return CTime(NowSeconds());
}

bool CTime::GetLocalTm(std::tm& out) const {
    const std::time_t t = static_cast<std::time_t>(seconds_);
    return localtime_r(&t, &out) != nullptr;
}

bool CTime::GetGmtTm(std::tm& out) const {
    const std::time_t t = static_cast<std::time_t>(seconds_);
    return gmtime_r(&t, &out) != nullptr;
}

std::tm CTime::Local() const {
    std::tm tm{};
    GetLocalTm(tm);
    return tm;
}

static std::string FormatTm(const std::tm& tm, const char* format) {
    char buf[256];
    const size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

std::string CTime::Format(const char* format) const {
    return FormatTm(Local(), format);
}

std::string CTime::FormatGmt(const char* format) const {
    std::tm tm{};
    GetGmtTm(tm);
    return FormatTm(tm, format);
}

int64_t NowSeconds() {
    if (const auto& clock = Clock()) {
        return clock();
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

ScopedClock::ScopedClock(std::function<int64_t()> clock) : previous_(Clock()) {
    Clock() = std::move(clock);
}

ScopedClock::~ScopedClock() {
    Clock() = std::move(previous_);
}

uint32_t GetTickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<uint32_t>(ms);
}

void PinLocalZone() {
    if (std::getenv("TZ") == nullptr) {
        ::setenv("TZ", ":/etc/localtime", 0);
    }
    ::tzset();
}

CTime LocalMidnight(const CTime& t) {
    std::tm tm{};
    t.GetLocalTm(tm);
    tm.tm_hour = 0;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return CTime(static_cast<int64_t>(std::mktime(&tm)));
}

}  // namespace platform
