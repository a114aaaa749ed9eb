// Model::Event: one event, or one occurrence of a recurring event, as the
// views see it (wide text, local CTime values), built from the store's
// service-side records. A value type copied whole into lists; the caller owns
// its lists. Any thread may use its own copies.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "googledata/ProtocolNumbers.h"
#include "platform/Time.h"

// The store's records, known here only by name: the views that include this
// header never see them.
namespace googledata {
struct PrimitiveCalendar;
class PrimitiveEvent;
struct PrimitiveTime;
}  // namespace googledata

namespace Model {

struct Reminder {
    std::wstring method;
    int32_t minutes = 0;

    bool operator==(const Reminder&) const = default;
};

class Event {
public:
    Event() = default;
    Event(const Event&) = default;
    Event(Event&&) = default;
    Event& operator=(const Event&) = default;
    Event& operator=(Event&&) = default;
    virtual ~Event() = default;

    std::wstring localEventID;
    std::wstring calendarURI;
    platform::CTime startTime;  // all-day: local midnight of the first day
    platform::CTime endTime;    // all-day: local midnight after the last day
    bool isAllDay = false;
    std::wstring title;
    std::wstring content;
    std::wstring place;
    std::wstring author_name;
    std::wstring author_email;
    int32_t recurrenceType = googledata::RECURRENCE_NONE;
    std::wstring recurrence;
    std::wstring originalEvent;
    platform::CTime originalStartTime;  // EXCEPTION only
    int32_t eventStatus = googledata::EVENT_STATUS_CONFIRMED;
    int32_t transparency = googledata::TRANSPARENCY_OPAQUE;
    int32_t visibility = googledata::VISIBILITY_DEFAULT;
    int32_t sequence = 0;
    int32_t flags = googledata::kGuestCanInviteOthers | googledata::kGuestCanSeeGuests;
    std::vector<Reminder> reminders;
    int32_t color = 0;  // the colour of the event's calendar

    // Builds the view record from a stored event and the calendar that holds
    // it. An empty or unreadable start gives an all-day event at local
    // midnight of 2000-01-01 (start and end); an unreadable end gives the
    // start (timed) or the start plus one day (all-day).
    static Event FromPrimitive(const googledata::PrimitiveEvent& source,
                               const googledata::PrimitiveCalendar& calendar);

    // Whether the event is shown on the local day that holds `anyTimeOfDay`.
    // An event that ends exactly at the day's start is not; one that covers
    // the whole day (ending at or after the next midnight) is.
    bool OccursOnDay(const platform::CTime& anyTimeOfDay) const;
    // The same test for the day that starts at `dayStart` (a local
    // midnight), for callers that test many events against the same days.
    bool OccursInDay(const platform::CTime& dayStart) const;
};

// The local time of parsed service time text: a date alone is the local
// midnight of that calendar day; a date-time is converted as the service
// record says. False for a date that cannot be a local time.
bool DateTextToLocal(const googledata::PrimitiveTime& value, platform::CTime& out);

// Appends a copy of `event` unless the list already holds it: for an
// expanded occurrence of a series (ORIGINAL) the same local id, start and
// end; for any other event the same local id.
void AddEventWithoutDuplicates(std::list<Event>& list, const Event& event);

}  // namespace Model
