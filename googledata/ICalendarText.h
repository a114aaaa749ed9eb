// The iCalendar text the service sends for a recurring series (the text of
// "gd:recurrence": DTSTART, DTEND or DURATION, RRULE, EXDATE, RDATE lines and
// often a VTIMEZONE block) as libical reads it: the one process-wide lock
// every libical call is made under, the text normalised for libical's parser,
// and the series' own start and end, which the service sends nowhere else (a
// series entry has no "gd:when").
//
// Free functions; any thread. Every libical call in the process, here and in
// the recurrence expansion of the calendar manager, holds LibicalMutex():
// libical fills its built-in zone table lazily without a lock, and zones
// extend their tables of changes as times are converted.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// libical's component (icalcomponent) and time, declared here without its
// header.
struct icalcomponent_impl;
struct icaltimetype;

namespace googledata {

// The lock held around every libical call.
std::mutex& LibicalMutex();

// Prepares libical once per process: fills the built-in zone table and makes
// its errors non-fatal. Call it at start-up before other threads use libical;
// the functions here call it too.
void InitializeLibical();

// The text as the parser wants it: bare property lines wrapped in
// BEGIN:VEVENT/END:VEVENT, line ends made "\n", blank lines dropped, and an
// "END:VEVENT" glued to the last property line put on its own line.
std::string NormalizeRecurrenceText(const std::string& text);

// The start and the exclusive end of the series' first occurrence, from its
// DTSTART and its DTEND (or DURATION), as the service's time text: a date
// ("2026-01-05") for a DTSTART with VALUE=DATE, else the local date-time of
// that instant with the offset local time has then
// ("2026-01-06T03:00:00.000+09:00" for 10:00 in Los Angeles seen from Tokyo).
// DTSTART's TZID is resolved from the text's own VTIMEZONE first, then from
// libical's built-in zones; without one the time is local. A missing end is
// the start (timed) or the day after (all-day). False, with both outputs
// untouched, when the text has no readable DTSTART or its own zone changes by
// a rule finer than yearly (see HasNonYearlyZoneRule).
bool ReadSeriesTimes(const std::string& recurrence, std::string& startTime, std::string& endTime);

// Seconds since 1970 of a date-time: UTC, through its zone, or as local time
// when it has none (floating time, or a TZID nothing resolves). Call under
// LibicalMutex().
int64_t InstantOf(const icaltimetype& time);

// True when a VTIMEZONE in or under `component` has a change rule that is not
// yearly. Zones change once or twice a year; libical expands a finer rule
// change by change up to the year a time is converted in, which takes seconds
// for an hourly one, so such a zone is refused. Call under LibicalMutex().
bool HasNonYearlyZoneRule(icalcomponent_impl* component);

}  // namespace googledata
