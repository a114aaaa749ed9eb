// Controller::CRecurrenceSeries: one recurring series read from the
// recurrence text the service stores for it (DTSTART, DTEND, RRULE, EXDATE
// and RDATE lines, optionally a VTIMEZONE block), ready to be expanded into
// any time range.
//
// Owns the parsed libical component (an inline time zone lives inside it)
// and generated instances: for rules that cannot skip ahead (COUNT, BYWEEKNO,
// HOURLY and finer) all generated so far, for the others a window around the
// last range asked for, so neighbouring months need no libical iterator.
//
// Not thread-safe: one thread at a time may use an object (CRecurrenceCache
// serialises its callers). Every libical call is made under one process-wide
// libical lock, so series used on different threads never race on libical's
// shared zone table.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Time.h"

namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class CRecurrenceSeries {
public:
    // The series of `text`, or nullptr after a "warn" line in `log` (may be
    // null) when the text holds no usable series. The text may be the bare
    // property lines or already wrapped in BEGIN:VEVENT/END:VEVENT; "\r\n" and
    // blank lines are accepted.
    static std::unique_ptr<CRecurrenceSeries> Parse(const std::string& text,
                                                    Utility::CMaintenanceLog* log);
    ~CRecurrenceSeries();
    CRecurrenceSeries(const CRecurrenceSeries&) = delete;
    CRecurrenceSeries& operator=(const CRecurrenceSeries&) = delete;

    // Appends the start times of the occurrences that start in [from, to), in
    // ascending order and without duplicates: at most the first 3,000, counted
    // over all rules (more are cut with one "warn" line per series; the
    // manager asks one month at a time). Timed occurrences are exact instants
    // of the series' zone; all-day and floating ones are read in the process's
    // local zone (TZ) at the time of the call. The work of one call is bounded
    // too (docs/recurrence.md, "Bounds").
    void Expand(const platform::CTime& from, const platform::CTime& to,
                std::vector<platform::CTime>& out);

    // True when DTSTART is a date without a time.
    bool IsAllDay() const;

private:
    struct Impl;
    explicit CRecurrenceSeries(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace Controller
