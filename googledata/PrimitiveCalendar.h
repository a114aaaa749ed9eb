// googledata::PrimitiveCalendar: one entry of the service's calendar list,
// with UTF-8 text, as the CALENDAR table stores it. A plain copyable value.
#pragma once

#include <cstdint>
#include <string>

#include "googledata/ProtocolNumbers.h"

namespace googledata {

struct PrimitiveCalendar {
    std::string calendarURI;  // the calendar's event feed URI, its key
    std::string id;
    std::string title;
    std::string summary;
    std::string author;
    int32_t accesslevel = ACCESS_NONE;  // AccessLevel
    int32_t color = 0;                  // COLORREF 0x00BBGGRR
    bool selected = false;
    bool hidden = false;
    std::string timezone;
    std::string place;
    bool isHoliday = false;
    std::string updated;
    std::string eventUpdated;  // time text of the last event download
    int32_t flags = 0;         // kCalendarFlag* bits
};

}  // namespace googledata
