// CTime: a point in time as 64-bit seconds since 1970, read in local time.
// The zone is the C library's (TZ decides). A value type; any thread may use it.
// The clock behind GetCurrentTime() is a seam tests can replace.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace platform {

class CTime {
public:
    CTime() = default;
    explicit CTime(int64_t seconds) : seconds_(seconds) {}
    // Local wall time; throws std::invalid_argument for fields out of range
    // (year before 1900, month outside 1-12, day outside 1-31, hour 0-23,
    // minute and second 0-59).
    CTime(int year, int month, int day, int hour, int minute, int second);

    static CTime GetCurrentTime();

    int64_t GetTime() const { return seconds_; }
    int GetYear() const { return Local().tm_year + 1900; }
    int GetMonth() const { return Local().tm_mon + 1; }
    int GetDay() const { return Local().tm_mday; }
    int GetHour() const { return Local().tm_hour; }
    int GetMinute() const { return Local().tm_min; }
    int GetSecond() const { return Local().tm_sec; }
    // 1 = Sunday ... 7 = Saturday.
    int GetDayOfWeek() const { return Local().tm_wday + 1; }

    // strftime of the local time (UTF-8).
    std::string Format(const char* format) const;
    // strftime of the UTC time.
    std::string FormatGmt(const char* format) const;

    // Broken-down local time; false when the conversion fails.
    bool GetLocalTm(std::tm& out) const;
    bool GetGmtTm(std::tm& out) const;

    auto operator<=>(const CTime&) const = default;
    CTime operator+(int64_t seconds) const { return CTime(seconds_ + seconds); }
    CTime operator-(int64_t seconds) const { return CTime(seconds_ - seconds); }
    int64_t operator-(const CTime& other) const { return seconds_ - other.seconds_; }

private:
    std::tm Local() const;
    int64_t seconds_ = 0;
};

// Seconds since 1970 from the clock in use (the system clock unless a test
// installed another one).
int64_t NowSeconds();

// Replaces the clock for the life of the object (tests only; not thread-safe
// against concurrent readers while it is being installed or removed).
class ScopedClock {
public:
    explicit ScopedClock(std::function<int64_t()> clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    std::function<int64_t()> previous_;
};

// Milliseconds of a monotonic clock since boot (GetTickCount).
uint32_t GetTickCount();

// Names the system's zone file in TZ when TZ is not set. Without it the C
// library looks at /etc/localtime again (a stat call) at every local-time
// conversion, which a month of events makes by the thousand. Call once at
// start-up, before other threads run.
void PinLocalZone();

// Midnight at the start of the local day that holds `t`.
CTime LocalMidnight(const CTime& t);

}  // namespace platform
