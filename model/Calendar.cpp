#include "model/Calendar.h"

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveTime.h"
#include "platform/TextConv.h"

namespace Model {
namespace {

platform::CTime ParseOrZero(const std::string& text) {
    googledata::PrimitiveTime value;
    if (!googledata::PrimitiveTime::Parse(platform::Utf8ToWide(text), value)) {
        return platform::CTime(0);
    }
    return googledata::PrimitiveTime::ToLocalTime(value);
}

}  // namespace

Calendar Calendar::FromPrimitive(const googledata::PrimitiveCalendar& source) {
    using platform::Utf8ToWide;
    Calendar c;
    c.calendarURI = Utf8ToWide(source.calendarURI);
    c.title = Utf8ToWide(source.title);
    c.summary = Utf8ToWide(source.summary);
    c.author = Utf8ToWide(source.author);
    c.accesslevel = source.accesslevel;
    c.color = source.color;
    c.selected = source.selected;
    c.hidden = source.hidden;
    c.isHoliday = source.isHoliday;
    c.updated = ParseOrZero(source.updated);
    c.eventUpdated = ParseOrZero(source.eventUpdated);
    c.showEvents = (source.flags & googledata::kCalendarFlagShowEvents) != 0;
    c.writeEvents = (source.flags & googledata::kCalendarFlagWriteEvents) != 0;
    return c;
}

}  // namespace Model
