// The feed readers: turn the calendar service's Atom feeds (UTF-8 response
// texts) into the service-side records. ParseCalendars reads the calendar
// list, ParseHolidays a holiday calendar's feed, ParseEvents one page of an
// event feed with its paging data. They never touch the network or the store.
//
// Called by the calendar service client on its thread with its XmlContext.
// Each empties its output list first and returns true when a complete
// document with a root element was read; entries that lack required elements
// are dropped, unknown elements ignored. Parser complaints and exceptions are
// logged at "ERR!" through the context's log.
#pragma once

#include <string>
#include <vector>

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveHoliday.h"

namespace googledata {

class XmlContext;

bool ParseCalendars(XmlContext& context, const std::string& response,
                    std::vector<PrimitiveCalendar>& calendars);
bool ParseHolidays(XmlContext& context, const std::string& response,
                   std::vector<PrimitiveHoliday>& holidays);
// `nextLink` is set only when the page has a link rel="next" (the caller
// empties it first); `startIndex`, `totalResults` and `feedUpdated` (the
// feed's own "updated": the service's time of the answer) are written only
// when the page has them and the pointer is not null. A series entry without
// "gd:when" takes its start and end from its recurrence text; an exception
// whose "gd:originalEvent" has no href keeps the element's id attribute.
bool ParseEvents(XmlContext& context, const std::string& response,
                 std::vector<PrimitiveEvent>& events, std::string& nextLink,
                 int* startIndex = nullptr, int* totalResults = nullptr,
                 std::string* feedUpdated = nullptr);

// The COLORREF (0x00BBGGRR) of a "gCal:color" value: "#RRGGBB" gives the
// colour, anything else 0xFFFFFF.
int ColorFromText(const std::string& value);

}  // namespace googledata
