// CIcalendar: the recurrence library's entry points. GetRecurrenceEvents
// expands one recurring series, given as iCalendar text, into the start times
// of its occurrences inside a time range.
//
// Owns nothing. Initialize() prepares libical's built-in zone table and should
// be called once by start-up before other threads run; every entry point also
// calls it lazily (once). Every function may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/Time.h"

namespace Utility {
class CMaintenanceLog;
}

class CIcalendar {
public:
    // Error codes of GetRecurrenceEvents' second integer out-argument.
    enum Error { kErrorNone = 0, kErrorUnusableText = 1 };

    // Prepares libical (built-in zone table, non-fatal errors). Idempotent.
    static void Initialize();

    // Parses `text` (the series' recurrence lines, with or without the
    // BEGIN:VEVENT/END:VEVENT wrapper) and appends to `occurrences` the start
    // times of its occurrences in [from, to), ascending. `occurrenceCount` is
    // set to the number appended and `error` to an Error code. Returns nonzero
    // on success, 0 when the text holds no usable series (logged at "warn"
    // when `log` is not null). Parses on every call: callers that expand a
    // series more than once use Controller::CRecurrenceCache.
    static int GetRecurrenceEvents(const std::string& text, const platform::CTime& from,
                                   const platform::CTime& to,
                                   std::vector<platform::CTime>& occurrences, int& occurrenceCount,
                                   int& error, Utility::CMaintenanceLog* log = nullptr);
};
