// The iCalendar text of one CalDAV resource (a VCALENDAR with the VEVENTs of
// one UID and the VTIMEZONEs they use) read into the store's event records
// and written back from them, with libical.
//
// Reading: a VEVENT with RRULE, RDATE or EXDATE (and no RECURRENCE-ID) is a
// series whose `recurrence` text holds its DTSTART, DTEND or DURATION, rule
// lines and the calendar's VTIMEZONEs, the text the recurrence expander
// reads; a VEVENT with RECURRENCE-ID is an exception of that series; any other
// is a single event. VALARMs become reminders, STATUS the event status
// (CANCELLED: cancelled). Ids follow CalendarEventDB's CalDAV rows (the href;
// "href#RECURRENCE-ID" for exceptions).
//
// Free functions; any thread (libical is called under its process-wide lock).
#pragma once

#include <string>
#include <vector>

#include "googledata/PrimitiveEvent.h"

namespace googledata {

// The events of a resource, master or single event first. False (nothing
// appended) when the text holds no readable VEVENT.
bool ReadCalDavResource(const std::string& ics, const std::string& href,
                        std::vector<PrimitiveEvent>& out);

// The VCALENDAR text of a resource: `main` (a single event or a series) and
// the exceptions of the series. The UID is `main.uid`. When `main.xml` holds
// the resource as last downloaded, what Daymark does not edit (attendees,
// organizer, categories, X- properties, ...) is written back unchanged.
std::string WriteCalDavResource(const PrimitiveEvent& main,
                                const std::vector<PrimitiveEvent>& exceptions);

}  // namespace googledata
