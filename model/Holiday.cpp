#include "model/Holiday.h"

#include "googledata/PrimitiveHoliday.h"
#include "googledata/PrimitiveTime.h"
#include "model/Event.h"
#include "platform/TextConv.h"

namespace Model {
namespace {

platform::CTime ParseOrZero(const std::string& text) {
    googledata::PrimitiveTime value;
    platform::CTime local;
    if (!googledata::PrimitiveTime::Parse(platform::Utf8ToWide(text), value) ||
        !DateTextToLocal(value, local)) {
        return platform::CTime(0);
    }
    return local;
}

}  // namespace

Holiday Holiday::FromPrimitive(const googledata::PrimitiveHoliday& source,
                               const std::string& calendarURI) {
    Holiday h;
    h.date = ParseOrZero(source.date);
    h.title = platform::Utf8ToWide(source.title);
    h.calendarURI = platform::Utf8ToWide(calendarURI);
    return h;
}

}  // namespace Model
