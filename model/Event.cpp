#include "model/Event.h"

#include <stdexcept>

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveTime.h"
#include "platform/TextConv.h"

namespace Model {
namespace {

using googledata::PrimitiveTime;
using platform::Utf8ToWide;

constexpr int64_t kDaySeconds = 86400;

}  // namespace

bool DateTextToLocal(const PrimitiveTime& value, platform::CTime& out) {
    if (value.isDate) {
        // A date names a day of the calendar, wherever the user is: its local
        // midnight (not the midnight of UTC, which lies on the day before
        // west of UTC).
        try {
            out = platform::CTime(value.year, value.month, value.day, 0, 0, 0);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }
    out = PrimitiveTime::ToLocalTime(value);
    return true;
}

namespace {

// Parses service time text into a local time; false when the text is rejected.
bool ParseLocal(const std::string& text, platform::CTime& out, bool* isDate = nullptr) {
    PrimitiveTime value;
    if (!PrimitiveTime::Parse(Utf8ToWide(text), value) || !DateTextToLocal(value, out)) {
        return false;
    }
    if (isDate != nullptr) {
        *isDate = value.isDate;
    }
    return true;
}

}  // namespace

Event Event::FromPrimitive(const googledata::PrimitiveEvent& source,
                           const googledata::PrimitiveCalendar& calendar) {
    Event e;
    e.localEventID = Utf8ToWide(source.localEventID);
    e.calendarURI = Utf8ToWide(calendar.calendarURI);

    bool isDate = false;
    if (!source.startTime.empty() && ParseLocal(source.startTime, e.startTime, &isDate)) {
        e.isAllDay = isDate;
        if (!ParseLocal(source.endTime, e.endTime)) {
            e.endTime = e.isAllDay ? e.startTime + kDaySeconds : e.startTime;
        }
    } else {
        // A missing start: the default date-time, local midnight of 2000-01-01.
        e.startTime = platform::CTime(2000, 1, 1, 0, 0, 0);
        e.endTime = e.startTime;
        e.isAllDay = true;
    }

    e.title = Utf8ToWide(source.title);
    e.content = Utf8ToWide(source.content);
    e.place = Utf8ToWide(source.place);
    e.author_name = Utf8ToWide(source.author_name);
    e.author_email = Utf8ToWide(source.author_email);
    e.recurrenceType = source.recurrenceType;
    e.recurrence = Utf8ToWide(source.recurrence);
    e.originalEvent = Utf8ToWide(source.originalEvent);
    if (source.recurrenceType == googledata::RECURRENCE_EXCEPTION) {
        ParseLocal(source.originalStartTime, e.originalStartTime);
    }
    e.eventStatus = source.eventStatus;
    e.transparency = source.transparency;
    e.visibility = source.visibility;
    e.sequence = source.sequence;
    e.flags = source.flags;
    e.reminders.clear();
    for (const googledata::PrimitiveReminder& r : source.reminders) {
        e.reminders.push_back(Reminder{Utf8ToWide(r.method), r.minutesBeforeAlarm});
    }
    e.color = calendar.color;
    return e;
}

bool Event::OccursOnDay(const platform::CTime& anyTimeOfDay) const {
    std::tm tm{};
    if (!anyTimeOfDay.GetLocalTm(tm)) {
        throw std::invalid_argument("Model::Event::OccursOnDay: time out of range");
    }
    // Throws for a date out of range, which a valid time never gives.
    return OccursInDay(platform::CTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 0, 0, 0));
}

bool Event::OccursInDay(const platform::CTime& dayStart) const {
    const platform::CTime dayEnd = dayStart + kDaySeconds;

    if (dayStart <= startTime && startTime < dayEnd) {
        return true;
    }
    if (dayStart < endTime && endTime < dayEnd) {
        return true;
    }
    // Covers the whole day. An end exactly at the next midnight still covers
    // it, for timed events as for all-day ones.
    return startTime <= dayStart && dayEnd <= endTime;
}

void AddEventWithoutDuplicates(std::list<Event>& list, const Event& event) {
    for (const Event& element : list) {
        const bool duplicate = event.recurrenceType == googledata::RECURRENCE_ORIGINAL
                                   ? element.localEventID == event.localEventID &&
                                         element.startTime == event.startTime &&
                                         element.endTime == event.endTime
                                   : element.localEventID == event.localEventID;
        if (duplicate) {
            return;
        }
    }
    list.push_back(event);
}

}  // namespace Model
