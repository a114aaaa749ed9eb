// googledata::PrimitiveHoliday: one entry of the holiday feed, with UTF-8
// text. A plain copyable value.
#pragma once

#include <cstdint>
#include <string>

namespace googledata {

struct PrimitiveHoliday {
    std::string id;
    std::string title;
    std::string date;    // a date without time, e.g. 2011-05-03
    int32_t status = 0;  // EventStatus
};

}  // namespace googledata
