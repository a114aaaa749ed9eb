#include "googledata/PrimitiveTime.h"

#include <cstdio>
#include <ctime>
#include <cwchar>
#include <cwctype>

#include "platform/TextConv.h"

namespace googledata {
namespace {

// Reads `count` characters from `pos` the way wcstol does: leading blanks and
// a sign allowed, reading stops at the first non-digit.
int32_t ReadNumber(const std::wstring& text, size_t pos, size_t count) {
    const std::wstring part = text.substr(pos, count);
    return static_cast<int32_t>(std::wcstol(part.c_str(), nullptr, 10));
}

// Seconds since 1970 of broken-down fields taken as UTC.
int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<int64_t>(::timegm(&tm));
}

// The standard offset in signed minutes east of UTC.
int32_t StandardOffsetMinutes() {
    return -PrimitiveTime::StandardBiasMinutes();
}

}  // namespace

int32_t PrimitiveTime::StandardBiasMinutes() {
    // glibc keeps the zone's standard (non-daylight) offset in `timezone`,
    // seconds west of UTC, refreshed from TZ by tzset().
    ::tzset();
    return static_cast<int32_t>(::timezone / 60);
}

bool PrimitiveTime::IsValid(const PrimitiveTime& v) {
    return v.year >= 1970 && v.year <= 3000 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
           v.day <= 31 && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 && v.minute <= 59 &&
           v.second >= 0 && v.second <= 59;
}

bool PrimitiveTime::Parse(const std::wstring& text, PrimitiveTime& out) {
    PrimitiveTime v;
    out = v;
    const size_t length = text.size();
    if (length < 8) {
        return false;
    }
    if (length <= 9) {
        // Basic form without separators: 20110501.
        v.year = ReadNumber(text, 0, 4);
        v.month = ReadNumber(text, 4, 2);
        v.day = ReadNumber(text, 6, 2);
        v.isDate = true;
    } else {
        if (text[4] != L'-' || text[7] != L'-') {
            return false;
        }
        v.year = ReadNumber(text, 0, 4);
        v.month = ReadNumber(text, 5, 2);
        v.day = ReadNumber(text, 8, 2);
        if (length < 19) {
            v.isDate = true;
        } else {
            if (text[10] != L'T' && text[10] != L' ') {
                return false;
            }
            v.hour = ReadNumber(text, 11, 2);
            v.minute = ReadNumber(text, 14, 2);
            v.second = ReadNumber(text, 17, 2);
            v.isDate = false;
            if (text[length - 1] != L'Z' && length >= 25) {
                const size_t at = length - 6;
                const wchar_t sign = text[at];
                if (sign == L'+' || sign == L'-') {
                    v.offsetSign = sign == L'+' ? 1 : -1;
                    v.offsetHours = ReadNumber(text, at + 1, 2);
                    v.offsetMinutes = ReadNumber(text, at + 4, 2);
                }
            }
        }
    }
    if (!IsValid(v)) {
        return false;
    }
    if (v.year == 1970 && v.month == 1 && v.day == 1 && v.hour == 0 && v.minute == 0) {
        // The very first minute of 1970 is moved to noon so that no local
        // conversion of it falls before the epoch.
        v.hour = 12;
    }
    out = v;
    return true;
}

std::wstring PrimitiveTime::Format(const PrimitiveTime& v, bool queryForm) {
    wchar_t suffix[32] = L"";
    if (v.offsetSign == 0) {
        std::swprintf(suffix, 32, L"Z");
    } else if (v.offsetSign == 1) {
        std::swprintf(suffix, 32, queryForm ? L"%%2b%02d:%02d" : L"+%02d:%02d", v.offsetHours,
                      v.offsetMinutes);
    } else if (v.offsetSign == -1) {
        std::swprintf(suffix, 32, queryForm ? L"%%2d%02d:%02d" : L"-%02d:%02d", v.offsetHours,
                      v.offsetMinutes);
    }
    wchar_t text[96];
    if (v.isDate) {
        std::swprintf(text, 96, L"%04d-%02d-%02d", v.year, v.month, v.day);
    } else {
        std::swprintf(text, 96, L"%04d-%02d-%02dT%02d:%02d:%02d.000%ls", v.year, v.month, v.day,
                      v.hour, v.minute, v.second, suffix);
    }
    return text;
}

std::string PrimitiveTime::FormatUtf8(const PrimitiveTime& v, bool queryForm) {
    return platform::WideToUtf8(Format(v, queryForm));
}

namespace {

// Sets the offset fields from signed minutes east of UTC.
void SetOffsetMinutes(PrimitiveTime& v, int32_t minutesEast) {
    const int32_t magnitude = minutesEast < 0 ? -minutesEast : minutesEast;
    v.offsetSign = minutesEast == 0 ? 0 : (minutesEast > 0 ? 1 : -1);
    v.offsetHours = magnitude / 60;
    v.offsetMinutes = magnitude % 60;
}

}  // namespace

void PrimitiveTime::SetLocalOffset(PrimitiveTime& v) {
    // The offset local time has at the value's own wall time: the daylight
    // one in summer (a wall time in the spring gap or the autumn overlap gets
    // the offset the C library picks for it).
    std::tm tm{};
    tm.tm_year = v.year - 1900;
    tm.tm_mon = v.month - 1;
    tm.tm_mday = v.day;
    tm.tm_hour = v.hour;
    tm.tm_min = v.minute;
    tm.tm_sec = v.second;
    tm.tm_isdst = -1;
    if (std::mktime(&tm) == static_cast<std::time_t>(-1) && tm.tm_gmtoff == 0) {
        SetOffsetMinutes(v, StandardOffsetMinutes());
        return;
    }
    SetOffsetMinutes(v, static_cast<int32_t>(tm.tm_gmtoff / 60));
}

PrimitiveTime PrimitiveTime::FromTime(const platform::CTime& t, bool isDate) {
    PrimitiveTime v;
    std::tm tm{};
    if (t.GetLocalTm(tm)) {
        v.year = tm.tm_year + 1900;
        v.month = tm.tm_mon + 1;
        v.day = tm.tm_mday;
        v.hour = tm.tm_hour;
        v.minute = tm.tm_min;
        v.second = tm.tm_sec;
        // The offset of this very instant, so the text names it exactly
        // (also in the hour an autumn change repeats).
        SetOffsetMinutes(v, static_cast<int32_t>(tm.tm_gmtoff / 60));
    } else {
        SetOffsetMinutes(v, StandardOffsetMinutes());
    }
    v.isDate = isDate;
    v.isUtc = false;
    return v;
}

PrimitiveTime PrimitiveTime::ToUtc(const PrimitiveTime& v) {
    const int64_t offsetSeconds =
        static_cast<int64_t>(v.offsetSign) * (v.offsetHours * 60 + v.offsetMinutes) * 60;
    const std::time_t utc = static_cast<std::time_t>(
        UtcSeconds(v.year, v.month, v.day, v.hour, v.minute, v.second) - offsetSeconds);
    std::tm tm{};
    gmtime_r(&utc, &tm);
    PrimitiveTime u;
    u.year = tm.tm_year + 1900;
    u.month = tm.tm_mon + 1;
    u.day = tm.tm_mday;
    u.hour = tm.tm_hour;
    u.minute = tm.tm_min;
    u.second = 0;
    u.isDate = false;
    u.isUtc = true;
    return u;
}

int32_t PrimitiveTime::PackedUtcKey(const PrimitiveTime& v) {
    const PrimitiveTime u = ToUtc(v);
    const uint32_t year = u.year >= 2000 ? static_cast<uint32_t>(u.year - 2000) & 0xFF : 0;
    uint32_t key = year;
    key = (key << 4) | (static_cast<uint32_t>(u.month) & 0xF);
    key = (key << 5) | (static_cast<uint32_t>(u.day) & 0x1F);
    key = (key << 5) | (static_cast<uint32_t>(u.hour) & 0x1F);
    key = (key << 6) | (static_cast<uint32_t>(u.minute) & 0x3F);
    return static_cast<int32_t>(key);
}

platform::CTime PrimitiveTime::ToLocalTime(const PrimitiveTime& v) {
    const int32_t valueOffset = v.offsetSign * (v.offsetHours * 60 + v.offsetMinutes);
    if (valueOffset == StandardOffsetMinutes()) {
        return platform::CTime(v.year, v.month, v.day, v.hour, v.minute, v.second);
    }
    const PrimitiveTime u = ToUtc(v);
    const std::time_t instant =
        static_cast<std::time_t>(UtcSeconds(u.year, u.month, u.day, u.hour, u.minute, v.second));
    std::tm local{};
    localtime_r(&instant, &local);
    if (v.isDate) {
        return platform::CTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0);
    }
    return platform::CTime(static_cast<int64_t>(instant));
}

std::string PrimitiveTime::LocalOffsetForQuery() {
    PrimitiveTime v;
    SetLocalOffset(v);
    if (v.offsetSign == 0) {
        return "+00:00";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%s%02d:%02d", v.offsetSign > 0 ? "%2b" : "%2d", v.offsetHours,
                  v.offsetMinutes);
    return text;
}

}  // namespace googledata
