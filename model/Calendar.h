// Model::Calendar: one calendar of the account as the views see it (wide
// text, local CTime values), built from the store's service-side record.
// A plain copyable value; lists of it are owned by whoever asked for them.
#pragma once

#include <cstdint>
#include <string>

#include "googledata/PrimitiveCalendar.h"
#include "platform/Time.h"

namespace Model {

// Access level of a calendar (numbers stored in the database).
enum AccessLevel : int32_t {
    ACCESS_NONE = 0,
    ACCESS_READ = 1,
    ACCESS_FREEBUSY = 2,
    ACCESS_EDITOR = 3,
    ACCESS_OWNER = 4,
    ACCESS_ROOT = 5,
};

// Bits of the stored calendar flags.
inline constexpr int32_t kCalendarFlagShowEvents = 1;
inline constexpr int32_t kCalendarFlagWriteEvents = 2;

struct Calendar {
    std::wstring calendarURI;
    std::wstring title;
    std::wstring summary;
    std::wstring author;
    int32_t accesslevel = ACCESS_NONE;
    int32_t color = 0;  // COLORREF 0x00BBGGRR
    bool selected = false;
    bool hidden = false;
    bool isHoliday = false;
    platform::CTime updated;
    platform::CTime eventUpdated;  // start of the next incremental download
    bool showEvents = false;       // flags bit 0
    bool writeEvents = false;      // flags bit 1

    // The stored flags value (0 to 3) of the two booleans.
    int32_t Flags() const {
        return (showEvents ? kCalendarFlagShowEvents : 0) |
               (writeEvents ? kCalendarFlagWriteEvents : 0);
    }

    // Copies the record, parses `updated` and `eventUpdated` (a text that does
    // not parse gives 0) and splits `flags`. The service-side id is dropped.
    static Calendar FromPrimitive(const googledata::PrimitiveCalendar& source);
};

}  // namespace Model
