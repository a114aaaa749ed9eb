// Model::Calendar: one calendar of the account as the views see it (wide
// text, local CTime values), built from the store's service-side record.
// A plain copyable value; lists of it are owned by whoever asked for them.
#pragma once

#include <cstdint>
#include <string>

#include "googledata/ProtocolNumbers.h"
#include "platform/Time.h"

namespace googledata {
struct PrimitiveCalendar;
}

namespace Model {

struct Calendar {
    std::wstring calendarURI;
    std::wstring title;
    std::wstring summary;
    std::wstring author;
    int32_t accesslevel = googledata::ACCESS_NONE;
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
        return (showEvents ? googledata::kCalendarFlagShowEvents : 0) |
               (writeEvents ? googledata::kCalendarFlagWriteEvents : 0);
    }

    // Copies the record, parses `updated` and `eventUpdated` (a text that does
    // not parse gives 0) and splits `flags`. The service-side id is dropped.
    static Calendar FromPrimitive(const googledata::PrimitiveCalendar& source);
};

}  // namespace Model
