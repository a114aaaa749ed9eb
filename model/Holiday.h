// Model::Holiday: one public holiday as the views see it. A plain copyable
// value.
#pragma once

#include <string>

#include "platform/Time.h"

namespace googledata {
struct PrimitiveHoliday;
}

namespace Model {

struct Holiday {
    platform::CTime date;  // local midnight of the holiday
    std::wstring title;
    std::wstring calendarURI;  // the holiday calendar it came from

    // Parses the row's date text (a text that does not parse gives 0) and
    // copies the title; `calendarURI` is the UTF-8 URI of the holiday calendar.
    static Holiday FromPrimitive(const googledata::PrimitiveHoliday& source,
                                 const std::string& calendarURI);
};

}  // namespace Model
