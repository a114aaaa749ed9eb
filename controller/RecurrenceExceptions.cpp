#include "controller/RecurrenceExceptions.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace Controller {
namespace {

bool SameLocalDate(const platform::CTime& a, const platform::CTime& b) {
    std::tm ta{};
    std::tm tb{};
    if (!a.GetLocalTm(ta) || !b.GetLocalTm(tb)) {
        return false;
    }
    return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday;
}

// Local midnight `days` days after the local date of `t`.
platform::CTime MidnightAfter(const platform::CTime& t, int days) {
    std::tm tm{};
    t.GetLocalTm(tm);
    tm.tm_mday += days;
    tm.tm_hour = 0;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return platform::CTime(static_cast<int64_t>(std::mktime(&tm)));
}

}  // namespace

std::string LastPathSegment(const std::string& reference) {
    std::string path = reference.substr(0, reference.find_first_of("?#"));
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ExceptionIndex::Add(googledata::PrimitiveEvent exception) {
    all_.push_back(std::move(exception));
    const googledata::PrimitiveEvent* e = &all_.back();
    byReference_[e->originalEvent].push_back(e);
    const std::string segment = LastPathSegment(e->originalEvent);
    if (!segment.empty()) {
        bySegment_[segment].push_back(e);
    }
}

std::vector<const googledata::PrimitiveEvent*> ExceptionIndex::Find(
    const std::string& key, const std::string& seriesId) const {
    std::vector<const googledata::PrimitiveEvent*> found;
    if (const auto it = byReference_.find(key); it != byReference_.end()) {
        found = it->second;
    }
    const std::string segment = LastPathSegment(seriesId);
    if (segment.empty()) {
        return found;
    }
    if (const auto it = bySegment_.find(segment); it != bySegment_.end()) {
        for (const googledata::PrimitiveEvent* e : it->second) {
            if (std::find(found.begin(), found.end(), e) == found.end()) {
                found.push_back(e);
            }
        }
    }
    return found;
}

std::vector<int> MatchExceptions(const std::vector<platform::CTime>& occurrences,
                                 const std::vector<platform::CTime>& originalStarts) {
    std::vector<int> replacedBy(occurrences.size(), -1);
    std::vector<bool> used(originalStarts.size(), false);
    for (size_t e = 0; e < originalStarts.size(); ++e) {
        for (size_t o = 0; o < occurrences.size(); ++o) {
            if (replacedBy[o] < 0 && occurrences[o] == originalStarts[e]) {
                replacedBy[o] = static_cast<int>(e);
                used[e] = true;
                break;
            }
        }
    }
    for (size_t e = 0; e < originalStarts.size(); ++e) {
        if (used[e]) {
            continue;
        }
        int best = -1;
        for (size_t o = 0; o < occurrences.size(); ++o) {
            if (replacedBy[o] >= 0 || !SameLocalDate(occurrences[o], originalStarts[e])) {
                continue;
            }
            if (best < 0 || std::llabs(occurrences[o] - originalStarts[e]) <
                                std::llabs(occurrences[best] - originalStarts[e])) {
                best = static_cast<int>(o);
            }
        }
        if (best >= 0) {
            replacedBy[best] = static_cast<int>(e);
        }
    }
    return replacedBy;
}

OccurrenceSpan PlaceOccurrence(const platform::CTime& occurrence,
                               const platform::CTime& seriesStart, const platform::CTime& seriesEnd,
                               bool allDay) {
    if (!allDay) {
        return {occurrence, occurrence + (seriesEnd - seriesStart)};
    }
    const platform::CTime start = MidnightAfter(occurrence, 0);
    // Whole days between the two local dates (a day may last 23 or 25 hours).
    const int64_t seconds = seriesEnd - seriesStart;
    const int days = seconds <= 0 ? 0 : static_cast<int>((seconds + 43200) / 86400);
    return {start, MidnightAfter(occurrence, days)};
}

}  // namespace Controller
