// googledata::PrimitiveTime: one parsed RFC 3339 time value of the calendar
// service (2011-05-01T10:00:00.000+09:00, or a date such as 2011-05-01), and
// the conversions between it, its text, local CTime values and the packed UTC
// minute keys that the store indexes.
//
// A plain value; every operation is a pure function of its arguments and of
// the machine's time zone (TZ), so any thread may call them. Text made here
// carries the offset local time really has at that instant (the daylight one
// in summer), so the service reads the instant the user meant; only
// LocalOffsetForQuery and the test of ToLocalTime use the zone's standard
// offset.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Time.h"

namespace googledata {

struct PrimitiveTime {
    int32_t year = 2000;
    int32_t month = 1;
    int32_t day = 1;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    bool isDate = false;     // a date without a time of day (all-day)
    bool isUtc = false;      // the UTC form made by ToUtc
    int32_t offsetSign = 0;  // +1 east of UTC, -1 west, 0 UTC or none
    int32_t offsetHours = 0;
    int32_t offsetMinutes = 0;

    // Reads service time text. On rejection `out` holds the default value
    // (2000-01-01 00:00:00, offset 0) and the result is false.
    static bool Parse(const std::wstring& text, PrimitiveTime& out);
    // "2011-05-01" for a date, else "2011-05-01T10:00:00.000+09:00"; the query
    // form escapes the offset sign as "%2b" / "%2d" for use in a URL query.
    static std::wstring Format(const PrimitiveTime& value, bool queryForm);
    static std::string FormatUtf8(const PrimitiveTime& value, bool queryForm);
    // The local wall-clock fields of `t` with the offset local time has at
    // that instant.
    static PrimitiveTime FromTime(const platform::CTime& t, bool isDate);
    // Sets the three offset fields to the offset local time has at the
    // value's own wall time.
    static void SetLocalOffset(PrimitiveTime& value);
    // The same instant in UTC, to the minute (second 0), not a date.
    static PrimitiveTime ToUtc(const PrimitiveTime& value);
    // The UTC minute as a 28-bit key: year-2000 at bits 20-27, month 16-19,
    // day 11-15, hour 6-10, minute 0-5. Years before 2000 give 0 year bits.
    static int32_t PackedUtcKey(const PrimitiveTime& value);
    // The instant as a local CTime. A value whose offset is the machine's
    // standard offset is read as local wall-clock time; any other value is
    // converted through UTC, and a date lands on local midnight of the local
    // date of its UTC midnight. Throws std::invalid_argument only for values
    // that Parse and FromTime never make.
    static platform::CTime ToLocalTime(const PrimitiveTime& value);
    // The machine's standard offset for a URL query: "%2b09:00", "%2d05:00",
    // or "+00:00" at UTC.
    static std::string LocalOffsetForQuery();
    static bool IsValid(const PrimitiveTime& value);

    // The machine's standard offset as the Windows time-zone Bias: minutes
    // with UTC = local + Bias (Tokyo -540, New York 300).
    static int32_t StandardBiasMinutes();
};

}  // namespace googledata
