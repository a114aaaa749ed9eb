// Fuzz target for the service's time text (googledata::PrimitiveTime): the
// input is the text, as UTF-8. A value Parse accepts must be valid, format to
// a text that parses back to the same value, and convert to UTC, to a store
// key and to local time without throwing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "googledata/PrimitiveTime.h"
#include "platform/TextConv.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool Same(const googledata::PrimitiveTime& a, const googledata::PrimitiveTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.isDate == b.isDate &&
           a.offsetSign == b.offsetSign && a.offsetHours == b.offsetHours &&
           a.offsetMinutes == b.offsetMinutes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool zoned = [] {
        // A zone with daylight saving time, where the conversions differ.
        ::setenv("TZ", "America/New_York", 1);
        ::tzset();
        return true;
    }();
    (void)zoned;
    const std::wstring text =
        platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    googledata::PrimitiveTime value;
    if (!googledata::PrimitiveTime::Parse(text, value)) {
        return 0;
    }
    Check(googledata::PrimitiveTime::IsValid(value));
    googledata::PrimitiveTime again;
    Check(googledata::PrimitiveTime::Parse(googledata::PrimitiveTime::Format(value, false), again));
    Check(Same(value, again));
    googledata::PrimitiveTime::PackedUtcKey(googledata::PrimitiveTime::ToUtc(value));
    googledata::PrimitiveTime::ToLocalTime(value);
    return 0;
}
