// The service's time text: parsing, formatting, UTC keys and local
// conversions, in a zone east of UTC (Tokyo) and west of it (New York).
#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <string>

#include "googledata/PrimitiveTime.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using googledata::PrimitiveTime;
using platform::CTime;
using testsupport::ScopedTz;

namespace {

struct ParseRow {
    const wchar_t* text;
    bool accepted;
    int year, month, day, hour, minute, second;
    bool isDate;
    int sign, offsetHours, offsetMinutes;
};

TEST(PrimitiveTimeParse, AcceptsAndRejectsTheServiceForms) {
    const std::array<ParseRow, 22> rows{{
        {L"2011-05-01", true, 2011, 5, 1, 0, 0, 0, true, 0, 0, 0},
        {L"20110501", true, 2011, 5, 1, 0, 0, 0, true, 0, 0, 0},
        {L"201105019", true, 2011, 5, 1, 0, 0, 0, true, 0, 0, 0},
        {L"2011-05-01T10:0", true, 2011, 5, 1, 0, 0, 0, true, 0, 0, 0},  // 10-18: a date
        {L"2011-05-01T10:00:00.000+09:00", true, 2011, 5, 1, 10, 0, 0, false, 1, 9, 0},
        {L"2011-05-01T10:20:30.000-05:30", true, 2011, 5, 1, 10, 20, 30, false, -1, 5, 30},
        {L"2011-05-01T10:00:00+09:00", true, 2011, 5, 1, 10, 0, 0, false, 1, 9, 0},
        {L"2011-05-01T10:00:00Z", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"2011-05-01T10:00:00.000Z", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"2011-05-01T10:00:00", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"2011-05-01T10:00:00.000", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"2011-05-01 10:00:00", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"2011-05-01T10:00:00.000*09:00", true, 2011, 5, 1, 10, 0, 0, false, 0, 0, 0},
        {L"1970-01-01T00:00:00Z", true, 1970, 1, 1, 12, 0, 0, false, 0, 0, 0},
        {L"3000-12-31", true, 3000, 12, 31, 0, 0, 0, true, 0, 0, 0},
        {L"2011-05-01X10:00:00", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"2011/05/01", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"1969-12-31", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"3001-01-01", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"2011-13-01", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"2011-05-01T24:00:00Z", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
        {L"2011-5", false, 0, 0, 0, 0, 0, 0, false, 0, 0, 0},
    }};
    for (const ParseRow& r : rows) {
        PrimitiveTime v;
        v.year = 1999;  // must be reset either way
        const bool accepted = PrimitiveTime::Parse(r.text, v);
        const std::string label(r.text, r.text + std::wcslen(r.text));
        ASSERT_EQ(accepted, r.accepted) << label;
        if (!r.accepted) {
            EXPECT_EQ(v.year, 2000) << label;
            EXPECT_EQ(v.month, 1) << label;
            EXPECT_EQ(v.day, 1) << label;
            EXPECT_FALSE(v.isDate) << label;
            continue;
        }
        EXPECT_EQ(v.year, r.year) << label;
        EXPECT_EQ(v.month, r.month) << label;
        EXPECT_EQ(v.day, r.day) << label;
        EXPECT_EQ(v.hour, r.hour) << label;
        EXPECT_EQ(v.minute, r.minute) << label;
        EXPECT_EQ(v.second, r.second) << label;
        EXPECT_EQ(v.isDate, r.isDate) << label;
        EXPECT_FALSE(v.isUtc) << label;
        EXPECT_EQ(v.offsetSign, r.sign) << label;
        EXPECT_EQ(v.offsetHours, r.offsetHours) << label;
        EXPECT_EQ(v.offsetMinutes, r.offsetMinutes) << label;
    }
}

TEST(PrimitiveTimeParse, ShortAndEmptyTextIsRejected) {
    PrimitiveTime v;
    EXPECT_FALSE(PrimitiveTime::Parse(L"", v));
    EXPECT_FALSE(PrimitiveTime::Parse(L"2011051", v));
}

TEST(PrimitiveTimeFormat, PlainAndQueryForms) {
    struct Row {
        const wchar_t* text;
        const wchar_t* plain;
        const wchar_t* query;
    };
    const std::array<Row, 6> rows{{
        {L"2011-05-01", L"2011-05-01", L"2011-05-01"},
        {L"20110501", L"2011-05-01", L"2011-05-01"},
        {L"2011-05-01T10:00:00.000+09:00", L"2011-05-01T10:00:00.000+09:00",
         L"2011-05-01T10:00:00.000%2b09:00"},
        {L"2011-05-01T10:00:00.000-05:00", L"2011-05-01T10:00:00.000-05:00",
         L"2011-05-01T10:00:00.000%2d05:00"},
        {L"2011-05-01T10:00:00Z", L"2011-05-01T10:00:00.000Z", L"2011-05-01T10:00:00.000Z"},
        {L"2011-05-01T10:00:00", L"2011-05-01T10:00:00.000Z", L"2011-05-01T10:00:00.000Z"},
    }};
    for (const Row& r : rows) {
        PrimitiveTime v;
        ASSERT_TRUE(PrimitiveTime::Parse(r.text, v));
        EXPECT_EQ(PrimitiveTime::Format(v, false), r.plain);
        EXPECT_EQ(PrimitiveTime::Format(v, true), r.query);
    }
    PrimitiveTime odd;
    odd.offsetSign = 5;
    EXPECT_EQ(PrimitiveTime::Format(odd, false), L"2000-01-01T00:00:00.000");
    PrimitiveTime utf8;
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T10:00:00.000+09:00", utf8));
    EXPECT_EQ(PrimitiveTime::FormatUtf8(utf8, true), "2011-05-01T10:00:00.000%2b09:00");
}

TEST(PrimitiveTimeUtc, PackedKeyOrdersByUtcMinute) {
    PrimitiveTime tokyo, utc, later, early, newYork;
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T10:00:00.000+09:00", tokyo));
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T01:00:59.000Z", utc));
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-05-01T01:01:00.000Z", later));
    ASSERT_TRUE(PrimitiveTime::Parse(L"1999-12-31T23:59:00Z", early));
    ASSERT_TRUE(PrimitiveTime::Parse(L"2011-04-30T21:00:00.000-04:00", newYork));
    EXPECT_EQ(PrimitiveTime::PackedUtcKey(tokyo), 11864128);
    EXPECT_EQ(PrimitiveTime::PackedUtcKey(utc), 11864128);
    EXPECT_EQ(PrimitiveTime::PackedUtcKey(newYork), 11864128);
    EXPECT_GT(PrimitiveTime::PackedUtcKey(later), PrimitiveTime::PackedUtcKey(utc));
    EXPECT_EQ(PrimitiveTime::PackedUtcKey(early) >> 20, 0);
    EXPECT_EQ(PrimitiveTime::PackedUtcKey(early), (12 << 16) | (31 << 11) | (23 << 6) | 59);

    // ToUtc crosses day, month and year boundaries by calendar arithmetic.
    PrimitiveTime newYear;
    ASSERT_TRUE(PrimitiveTime::Parse(L"2012-01-01T05:30:45.000+09:00", newYear));
    const PrimitiveTime u = PrimitiveTime::ToUtc(newYear);
    EXPECT_EQ(u.year, 2011);
    EXPECT_EQ(u.month, 12);
    EXPECT_EQ(u.day, 31);
    EXPECT_EQ(u.hour, 20);
    EXPECT_EQ(u.minute, 30);
    EXPECT_EQ(u.second, 0);
    EXPECT_TRUE(u.isUtc);
    EXPECT_FALSE(u.isDate);
    EXPECT_EQ(u.offsetSign, 0);
}

// Local conversions depend on the zone: one row per zone.
struct ZoneCase {
    const char* zone;
    int bias;                 // standard offset as the Windows Bias
    const char* queryOffset;  // LocalOffsetForQuery
    int summerBias;           // the offset in force in July, as a Bias
};

class PrimitiveTimeZone : public ::testing::TestWithParam<ZoneCase> {};

int BiasOf(const PrimitiveTime& v) {
    return -v.offsetSign * (v.offsetHours * 60 + v.offsetMinutes);
}

// Text made from a local time names that instant: a summer time carries the
// daylight offset, so the service reads the hour the user meant.
TEST_P(PrimitiveTimeZone, TimeTextCarriesTheOffsetInForce) {
    ScopedTz tz(GetParam().zone);
    EXPECT_EQ(PrimitiveTime::StandardBiasMinutes(), GetParam().bias);
    EXPECT_EQ(PrimitiveTime::LocalOffsetForQuery(), GetParam().queryOffset);
    const PrimitiveTime summer = PrimitiveTime::FromTime(CTime(2011, 7, 15, 9, 30, 15), false);
    EXPECT_EQ(summer.year, 2011);
    EXPECT_EQ(summer.month, 7);
    EXPECT_EQ(summer.day, 15);
    EXPECT_EQ(summer.hour, 9);
    EXPECT_EQ(summer.minute, 30);
    EXPECT_EQ(summer.second, 15);
    EXPECT_EQ(BiasOf(summer), GetParam().summerBias);
    const PrimitiveTime winter = PrimitiveTime::FromTime(CTime(2011, 1, 15, 23, 5, 0), false);
    EXPECT_EQ(BiasOf(winter), GetParam().bias);
    // FromTime and ToLocalTime round-trip, in summer and in winter, and the
    // text's UTC form is the instant itself.
    for (const CTime t : {CTime(2011, 7, 15, 9, 30, 0), CTime(2011, 1, 15, 23, 5, 0)}) {
        const PrimitiveTime v = PrimitiveTime::FromTime(t, false);
        EXPECT_EQ(PrimitiveTime::ToLocalTime(v), t);
        std::tm utc{};
        t.GetGmtTm(utc);
        const PrimitiveTime u = PrimitiveTime::ToUtc(v);
        EXPECT_EQ(u.hour, utc.tm_hour);
        EXPECT_EQ(u.day, utc.tm_mday);
    }
    // SetLocalOffset gives the offset of the value's own wall time.
    PrimitiveTime july;
    july.year = 2011;
    july.month = 7;
    july.day = 1;
    july.hour = 7;
    PrimitiveTime::SetLocalOffset(july);
    EXPECT_EQ(july.hour, 7);
    EXPECT_EQ(BiasOf(july), GetParam().summerBias);
    PrimitiveTime january;
    january.hour = 7;
    PrimitiveTime::SetLocalOffset(january);
    EXPECT_EQ(BiasOf(january), GetParam().bias);
}

INSTANTIATE_TEST_SUITE_P(Zones, PrimitiveTimeZone,
                         ::testing::Values(ZoneCase{"Asia/Tokyo", -540, "%2b09:00", -540},
                                           ZoneCase{"America/New_York", 300, "%2d05:00", 240},
                                           ZoneCase{"Asia/Kolkata", -330, "%2b05:30", -330},
                                           ZoneCase{"UTC", 0, "+00:00", 0}));

CTime ToLocal(const wchar_t* text) {
    PrimitiveTime v;
    EXPECT_TRUE(PrimitiveTime::Parse(text, v));
    return PrimitiveTime::ToLocalTime(v);
}

TEST(PrimitiveTimeLocal, TokyoKeepsDatesOnTheirDay) {
    ScopedTz tz("Asia/Tokyo");
    EXPECT_EQ(ToLocal(L"2011-05-01"), CTime(2011, 5, 1, 0, 0, 0));
    EXPECT_EQ(ToLocal(L"20111231"), CTime(2011, 12, 31, 0, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-05-01T10:00:00.000+09:00"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-05-01T01:00:00.000Z"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-04-30T20:00:00.000-05:00"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"1970-01-01T00:00:00Z"), CTime(1970, 1, 1, 21, 0, 0));
}

TEST(PrimitiveTimeLocal, NewYorkPutsDatesOnTheDayBefore) {
    ScopedTz tz("America/New_York");
    // A date is midnight UTC, which is the evening before in New York.
    EXPECT_EQ(ToLocal(L"2011-05-01"), CTime(2011, 4, 30, 0, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-01-01"), CTime(2010, 12, 31, 0, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-03-01"), CTime(2011, 2, 28, 0, 0, 0));
    // Daylight time text converts through UTC.
    EXPECT_EQ(ToLocal(L"2011-05-01T10:00:00.000-04:00"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-05-01T14:00:00.000Z"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-01-15T10:00:00Z"), CTime(2011, 1, 15, 5, 0, 0));
    // Text with the standard offset is read as local wall-clock time.
    EXPECT_EQ(ToLocal(L"2011-05-01T10:00:00.000-05:00"), CTime(2011, 5, 1, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-01-15T10:00:00.000-05:00"), CTime(2011, 1, 15, 10, 0, 0));
    EXPECT_EQ(ToLocal(L"2011-05-01T10:00:00.000+09:00"), CTime(2011, 4, 30, 21, 0, 0));
}

}  // namespace
