// Helpers of the calendar manager for showing the occurrences of a series:
// which occurrences an exception of the series replaces, and where an
// occurrence is shown. Pure functions of their arguments (local time is the
// process's, TZ); any thread.
#pragma once

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "googledata/PrimitiveEvent.h"
#include "platform/Time.h"

namespace Controller {

// The last path segment of a reference to an event entry (an href or an
// entry id, with or without scheme and host; a query or fragment is not part
// of it): the service's event id, which names the event whatever form the
// reference takes.
std::string LastPathSegment(const std::string& reference);

// The exceptions of one calendar's series, found by the reference each
// carries to its series (`originalEvent`). Owns the exceptions.
class ExceptionIndex {
public:
    void Add(googledata::PrimitiveEvent exception);
    // The exceptions of the series whose key (built from the calendar URI and
    // the series uid) is `key`, then those whose reference ends in the last
    // path segment of `seriesId` (the series' entry id), each once. The key
    // alone misses references in another scheme or host, and series whose
    // uid is not their event id (imported events).
    std::vector<const googledata::PrimitiveEvent*> Find(const std::string& key,
                                                        const std::string& seriesId) const;
    bool Empty() const { return all_.empty(); }

private:
    std::list<googledata::PrimitiveEvent> all_;
    std::unordered_map<std::string, std::vector<const googledata::PrimitiveEvent*>> byReference_;
    std::unordered_map<std::string, std::vector<const googledata::PrimitiveEvent*>> bySegment_;
};

// For every occurrence start, the index in `originalStarts` (the original
// start times of the series' exceptions) of the exception that replaces it,
// or -1. An exception replaces the occurrence that starts exactly at its
// original start; when none does, the occurrence nearest to it on the same
// local date (so an exception whose original start was written in another
// zone or as a date still finds its occurrence). Each occurrence is replaced
// by at most one exception and each exception replaces at most one occurrence.
std::vector<int> MatchExceptions(const std::vector<platform::CTime>& occurrences,
                                 const std::vector<platform::CTime>& originalStarts);

struct OccurrenceSpan {
    platform::CTime start;
    platform::CTime end;
};

// Where the occurrence starting at `occurrence` of a series whose first event
// runs [seriesStart, seriesEnd) is shown. Timed: from the occurrence for the
// series' length in seconds. All-day: from local midnight of the occurrence's
// date to local midnight as many days later as the series lasts, so a
// daylight-saving change inside it does not move its end off midnight.
OccurrenceSpan PlaceOccurrence(const platform::CTime& occurrence,
                               const platform::CTime& seriesStart, const platform::CTime& seriesEnd,
                               bool allDay);

}  // namespace Controller
