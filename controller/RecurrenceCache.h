// Controller::CRecurrenceCache: the parsed recurring series of the calendar
// manager, keyed by each series' local event id and checked against its
// recurrence text, so that a month view expands series without parsing them
// again (a series with an inline VTIMEZONE costs about 1.5 ms to parse).
//
// Owns the parsed series. Every member may be called from any thread: one
// mutex guards the entries and every use of a cached series, so the
// user-interface thread may expand series while the worker thread
// invalidates the ones it has just changed.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "controller/RecurrenceSeries.h"
#include "platform/Time.h"

namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class CRecurrenceCache {
public:
    // `log` (may be null) receives the lines of unusable recurrence texts.
    explicit CRecurrenceCache(Utility::CMaintenanceLog* log = nullptr);
    ~CRecurrenceCache();
    CRecurrenceCache(const CRecurrenceCache&) = delete;
    CRecurrenceCache& operator=(const CRecurrenceCache&) = delete;

    // Appends the start times of the occurrences of series `localId` in
    // [from, to), ascending. The series is parsed from `text` on first use and
    // again whenever `text` differs from the text it was parsed from. Returns
    // false when the text holds no usable series; that answer is kept too, so
    // an unusable text is parsed and logged once until it changes.
    bool GetOccurrences(const std::string& localId, const std::string& text,
                        const platform::CTime& from, const platform::CTime& to,
                        std::vector<platform::CTime>& out);

    // The start and end time text of series `localId` read from its DTSTART
    // and DTEND (for a series stored without them), kept with the parsed
    // series. False when the text has no readable DTSTART.
    bool GetSeriesTimes(const std::string& localId, const std::string& text, std::string& startTime,
                        std::string& endTime);

    // Forgets one series (changed or deleted) or all of them (another account,
    // a reset database). A change of the process's zone needs neither: cached
    // series keep wall times and convert them at each call.
    void Invalidate(const std::string& localId);
    void Clear();
    // Where the lines of series parsed from now on go (may be null).
    void SetLog(Utility::CMaintenanceLog* log);

    size_t GetSize() const;
    // How many times a text was parsed since the cache was made.
    size_t GetParseCount() const;

private:
    struct Entry {
        std::string text;
        std::unique_ptr<CRecurrenceSeries> series;  // null: the text is unusable
        bool timesRead = false;
        bool haveTimes = false;
        std::string startTime;
        std::string endTime;
    };
    // The entry of `localId` for `text`, parsed now when it is missing or
    // was parsed from another text. Called with mutex_ held.
    Entry& EntryFor(const std::string& localId, const std::string& text);
    // Beyond this many series the cache starts again empty.
    static constexpr size_t kMaxEntries = 20000;

    mutable std::mutex mutex_;  // guards log_, entries_, parseCount_ and every cached series
    Utility::CMaintenanceLog* log_;
    std::unordered_map<std::string, Entry> entries_;
    size_t parseCount_ = 0;
};

}  // namespace Controller
