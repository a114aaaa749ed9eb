#include "googledata/ICalendarText.h"

#include <libical/ical.h>

#include <ctime>
#include <memory>
#include <vector>

#include "googledata/PrimitiveTime.h"
#include "platform/Time.h"

namespace googledata {
namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

std::string DateText(const icaltimetype& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string DateTimeText(int64_t instant) {
    return PrimitiveTime::FormatUtf8(PrimitiveTime::FromTime(platform::CTime(instant), false),
                                     false);
}

}  // namespace

std::mutex& LibicalMutex() {
    static std::mutex mutex;
    return mutex;
}

void InitializeLibical() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::lock_guard<std::mutex> lock(LibicalMutex());
        icalerror_set_errors_are_fatal(0);
        icaltimezone_get_builtin_timezone("UTC");
        icaltimezone_get_utc_timezone();
    });
}

std::string NormalizeRecurrenceText(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        pos = end + 1;
    }
    static const std::string kEnd = "END:VEVENT";
    if (!lines.empty() && lines.back() != kEnd && lines.back().size() > kEnd.size() &&
        lines.back().compare(lines.back().size() - kEnd.size(), kEnd.size(), kEnd) == 0) {
        lines.back().resize(lines.back().size() - kEnd.size());
        lines.push_back(kEnd);
    }
    const bool wrapped =
        !lines.empty() && (lines.front() == "BEGIN:VEVENT" || lines.front() == "BEGIN:VCALENDAR");
    std::string out = wrapped ? "" : "BEGIN:VEVENT\n";
    for (const auto& line : lines) {
        out += line;
        out += '\n';
    }
    if (!wrapped) {
        out += "END:VEVENT\n";
    } else if (lines.front() == "BEGIN:VEVENT" && lines.back() != kEnd) {
        out += "END:VEVENT\n";
    }
    return out;
}

int64_t InstantOf(const icaltimetype& t) {
    if (icaltime_is_utc(t)) {
        return static_cast<int64_t>(
            icaltime_as_timet_with_zone(t, icaltimezone_get_utc_timezone()));
    }
    if (t.zone != nullptr) {
        return static_cast<int64_t>(icaltime_as_timet_with_zone(t, t.zone));
    }
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

bool HasNonYearlyZoneRule(icalcomponent* c) {
    if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
        for (icalcomponent* part = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT);
             part != nullptr; part = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
            for (icalproperty* p = icalcomponent_get_first_property(part, ICAL_RRULE_PROPERTY);
                 p != nullptr; p = icalcomponent_get_next_property(part, ICAL_RRULE_PROPERTY)) {
                if (icalproperty_get_rrule(p).freq != ICAL_YEARLY_RECURRENCE) {
                    return true;
                }
            }
        }
        return false;
    }
    for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT);
         child != nullptr; child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
        if (HasNonYearlyZoneRule(child)) {
            return true;
        }
    }
    return false;
}

bool ReadSeriesTimes(const std::string& recurrence, std::string& startTime, std::string& endTime) {
    InitializeLibical();
    const std::string text = NormalizeRecurrenceText(recurrence);
    std::lock_guard<std::mutex> lock(LibicalMutex());
    const ComponentPtr root(icalparser_parse_string(text.c_str()));
    if (!root || HasNonYearlyZoneRule(root.get())) {
        return false;
    }
    icalcomponent* event = root.get();
    if (icalcomponent_isa(event) != ICAL_VEVENT_COMPONENT) {
        event = icalcomponent_get_first_component(event, ICAL_VEVENT_COMPONENT);
    }
    if (event == nullptr ||
        icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY) == nullptr) {
        return false;
    }
    const icaltimetype start = icalcomponent_get_dtstart(event);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
        return false;
    }
    // DTEND, or DTSTART plus DURATION; a null time when the text has neither.
    const icaltimetype end = icalcomponent_get_dtend(event);
    const bool haveEnd = !icaltime_is_null_time(end) && icaltime_is_valid_time(end);
    if (start.is_date) {
        icaltimetype last = start;
        if (haveEnd && end.is_date && icaltime_compare_date_only(end, start) > 0) {
            last = end;
        } else {
            icaltime_adjust(&last, 1, 0, 0, 0);
        }
        startTime = DateText(start);
        endTime = DateText(last);
        return true;
    }
    // Converted while the component lives: a zone from the text's own
    // VTIMEZONE belongs to it.
    const int64_t from = InstantOf(start);
    int64_t to = haveEnd && !end.is_date ? InstantOf(end) : from;
    if (to < from) {
        to = from;
    }
    startTime = DateTimeText(from);
    endTime = DateTimeText(to);
    return true;
}

}  // namespace googledata
