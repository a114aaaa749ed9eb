#include "controller/RecurrenceSeries.h"

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "app/MaintenanceLog.h"
#include "googledata/ICalendarText.h"

namespace Controller {
namespace {

using googledata::LibicalMutex;

constexpr int64_t kDay = 86400;
// Occurrences one Expand call yields, counted over all rules and RDATEs of the
// series; later ones in the range are cut, with one log line. The manager
// asks one month at a time, and the month view makes one event of each: an
// event every 15 minutes around the clock is 2,976 in a 31-day month, beyond
// anything a month cell can show. See docs/recurrence.md.
constexpr size_t kMaxOccurrencesPerRange = 3000;
// Instances kept by the rules of one series that cannot skip ahead (about 23
// years of an hourly series), counted over all its rules; a longer series is
// cut there with a log line.
constexpr size_t kMaxKeptInstances = 200000;
// Iterator steps allowed for the fills of all rules that can skip ahead, in
// one Expand call.
constexpr int kMaxStepsPerRange = 200000;
// RRULE lines read from one series (RFC 5545 expects one).
constexpr size_t kMaxRules = 64;
// No zone's offset changes by more than this around a range's start: an
// instance whose wall time is this much past the range start's wall time
// starts inside the range.
constexpr int64_t kZoneSlack = 3 * 3600;
// A fill of a rule that can skip ahead covers the asked range, the 40 days
// before it and up to a year after it, stopping early once it holds this
// many instances past the range.
constexpr int64_t kWindowBefore = 40 * kDay;
constexpr int64_t kWindowAfter = 366 * kDay;
constexpr size_t kWindowInstances = 120;

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
struct IteratorDeleter {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

void Warn(Utility::CMaintenanceLog* log, const std::string& message) {
    if (log != nullptr) {
        log->Write(Utility::kLogWarn, message);
    }
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = FloorDiv(y, 400);
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// A wall time as seconds: its fields read as if they were UTC.
int64_t WallOf(const icaltimetype& t) {
    const int64_t days =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    if (t.is_date) {
        return days * kDay;
    }
    return days * kDay + t.hour * 3600 + t.minute * 60 + t.second;
}

icaltimetype TimeOfWall(int64_t wall, bool isDate, const icaltimezone* zone) {
    const std::time_t t = static_cast<std::time_t>(wall);
    std::tm tm{};
    gmtime_r(&t, &tm);
    icaltimetype r = icaltime_null_time();
    r.year = tm.tm_year + 1900;
    r.month = tm.tm_mon + 1;
    r.day = tm.tm_mday;
    if (!isDate) {
        r.hour = tm.tm_hour;
        r.minute = tm.tm_min;
        r.second = tm.tm_sec;
    }
    r.is_date = isDate ? 1 : 0;
    r.zone = isDate ? nullptr : zone;
    return r;
}

// The instant of a wall time in a zone whose offset from UTC at any instant
// `offsetAt` gives. A wall time that occurs twice (autumn change) gives the
// first instant; one that does not occur (spring change) is read with the
// offset in force before the change, as RFC 5545 section 3.3.5 asks.
template <class OffsetAt>
int64_t InstantOfWall(int64_t wall, OffsetAt offsetAt) {
    const int64_t before = offsetAt(wall - kDay);
    const int64_t after = offsetAt(wall + kDay);
    const int64_t early = wall - before;
    if (before == after) {
        return early;
    }
    const int64_t late = wall - after;
    const bool earlyHolds = offsetAt(early) == before;
    const bool lateHolds = offsetAt(late) == after;
    if (earlyHolds && lateHolds) {
        return std::min(early, late);
    }
    if (lateHolds && !earlyHolds) {
        return late;
    }
    return early;
}

int64_t LocalOffset(int64_t instant) {
    const std::time_t t = static_cast<std::time_t>(instant);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) {
        return 0;
    }
    return tm.tm_gmtoff;
}

int64_t ZoneOffset(icaltimezone* zone, int64_t instant) {
    icaltimetype utc = TimeOfWall(instant, false, icaltimezone_get_utc_timezone());
    int isDaylight = 0;
    return icaltimezone_get_utc_offset_of_utc_time(zone, &utc, &isDaylight);
}

// A point in time as written in the text: a wall time and how to read it.
struct Stamp {
    int64_t wall = 0;
    icaltimezone* zone = nullptr;  // null: the process's local time
};

int64_t InstantOf(const Stamp& s) {
    if (s.zone == nullptr) {
        return InstantOfWall(s.wall, LocalOffset);
    }
    if (s.zone == icaltimezone_get_utc_timezone()) {
        return s.wall;
    }
    return InstantOfWall(s.wall, [&](int64_t t) { return ZoneOffset(s.zone, t); });
}

bool IsEveryPart(const short* values) {
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

std::string Excerpt(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    if (line.size() > 80) {
        line.resize(80);
    }
    return line;
}

struct Rule {
    icalrecurrencetype recur{};
    bool canSkip = false;        // set_start may be used
    bool keepTimeOfDay = false;  // put every instance back at DTSTART's time of day
    bool byWeekNo = false;
    std::optional<Stamp> until;  // checked here instead of by libical
    // Generated instances (wall times), sorted. A rule that cannot skip ahead
    // keeps every instance below knownBelow, generated by `iterator` so far;
    // one that can keeps those in [windowLow, windowHigh).
    std::vector<int64_t> kept;
    IteratorPtr iterator;
    int64_t knownBelow = INT64_MIN;
    int64_t windowLow = 0;
    int64_t windowHigh = 0;
    bool exhausted = false;
};

}  // namespace

struct CRecurrenceSeries::Impl {
    ComponentPtr root;
    icaltimetype dtstart{};
    Stamp start;  // DTSTART; zone null for all-day, floating and unknown zones
    bool allDay = false;
    std::vector<Rule> rules;
    std::vector<Stamp> rdates;
    std::vector<Stamp> exdates;         // sorted by wall time
    std::vector<int64_t> excludedDays;  // DATE exclusions of a timed series (wall days)
    Utility::CMaintenanceLog* log = nullptr;
    size_t keptTotal = 0;  // instances kept by the rules that cannot skip ahead
    int stepBudget = 0;    // iterator steps left to the fills of the current Expand
    bool cutLogged = false;
    bool tooLongLogged = false;
    bool stoppedEarlyLogged = false;

    icaltimezone* ResolveZone(icalcomponent* event, icalproperty* dtstartProp, const char* tzid);
    Stamp StampOf(const icaltimetype& t) const;
    int64_t RuleWall(const Rule& rule, const icaltimetype& t) const;
    int64_t WallOfInstant(int64_t instant) const;
    void Extend(Rule& rule, int64_t needWall, int64_t countFrom);
    void FillWindow(Rule& rule, int64_t lowWall, int64_t highWall, int64_t countFrom);
    template <class Take>
    void Collect(Rule& rule, int64_t lowWall, int64_t highWall, int64_t countFrom, Take take);
    void Expand(int64_t from, int64_t to, std::vector<platform::CTime>& out);
};

icaltimezone* CRecurrenceSeries::Impl::ResolveZone(icalcomponent* event, icalproperty* dtstartProp,
                                                   const char* tzid) {
    if (tzid == nullptr) {
        return nullptr;
    }
    if (start.zone != nullptr && dtstartProp != nullptr) {
        const char* startTzid = icalproperty_get_parameter_as_string(dtstartProp, "TZID");
        if (startTzid != nullptr && std::strcmp(startTzid, tzid) == 0) {
            return start.zone;
        }
    }
    if (icaltimezone* inline_zone = icalcomponent_get_timezone(event, tzid)) {
        return inline_zone;
    }
    if (icaltimezone* builtin = icaltimezone_get_builtin_timezone(tzid)) {
        return builtin;
    }
    return icaltimezone_get_builtin_timezone_from_tzid(tzid);
}

Stamp CRecurrenceSeries::Impl::StampOf(const icaltimetype& t) const {
    Stamp s;
    s.wall = WallOf(t);
    if (t.is_date) {
        s.zone = nullptr;
    } else if (t.zone != nullptr) {
        s.zone = const_cast<icaltimezone*>(t.zone);
    } else {
        s.zone = start.zone;  // floating: read like the series' start
    }
    return s;
}

int64_t CRecurrenceSeries::Impl::RuleWall(const Rule& rule, const icaltimetype& t) const {
    int64_t wall = WallOf(t);
    if (rule.keepTimeOfDay) {
        // libical keeps instances after a spring-forward gap an hour late.
        wall = FloorDiv(wall, kDay) * kDay + (start.wall - FloorDiv(start.wall, kDay) * kDay);
    }
    return wall;
}

// The wall time of the series' zone at an instant (local time for all-day
// and floating series).
int64_t CRecurrenceSeries::Impl::WallOfInstant(int64_t instant) const {
    if (start.zone == nullptr) {
        return instant + LocalOffset(instant);
    }
    if (start.zone == icaltimezone_get_utc_timezone()) {
        return instant;
    }
    return instant + ZoneOffset(start.zone, instant);
}

// Generates the rule's instances until they are known up to `needWall`, or
// until it has kMaxOccurrencesPerRange instances from `countFrom` on: no
// later one could be shown in this range.
void CRecurrenceSeries::Impl::Extend(Rule& rule, int64_t needWall, int64_t countFrom) {
    if (rule.exhausted || rule.knownBelow > needWall) {
        return;
    }
    size_t counted = static_cast<size_t>(
        rule.kept.end() - std::lower_bound(rule.kept.begin(), rule.kept.end(), countFrom));
    if (counted >= kMaxOccurrencesPerRange) {
        return;
    }
    if (!rule.iterator) {
        rule.iterator.reset(icalrecur_iterator_new(rule.recur, dtstart));
        if (!rule.iterator) {
            rule.exhausted = true;
            return;
        }
    }
    const size_t before = rule.kept.size();
    while (rule.knownBelow <= needWall && counted < kMaxOccurrencesPerRange) {
        const icaltimetype t = icalrecur_iterator_next(rule.iterator.get());
        if (icaltime_is_null_time(t)) {
            rule.exhausted = true;
            break;
        }
        if (keptTotal + (rule.kept.size() - before) >= kMaxKeptInstances) {
            if (!tooLongLogged) {
                Warn(log, "<ical> recurrence too long, later occurrences are not shown");
                tooLongLogged = true;
            }
            rule.exhausted = true;
            break;
        }
        const int64_t wall = RuleWall(rule, t);
        rule.kept.push_back(wall);
        if (wall >= countFrom) {
            ++counted;
        }
        if (rule.byWeekNo) {
            // Week-numbered rules return the days around New Year out of order:
            // a year is complete once the year after next has begun.
            const int64_t yearStart = DaysFromCivil(t.year - 1, 1, 1) * kDay;
            rule.knownBelow = std::max(rule.knownBelow, yearStart);
        } else {
            rule.knownBelow = std::max(rule.knownBelow, wall);
        }
    }
    if (rule.exhausted) {
        rule.iterator.reset();
        rule.knownBelow = INT64_MAX;
    }
    if (rule.kept.size() != before) {
        if (!std::is_sorted(rule.kept.begin(), rule.kept.end())) {
            std::sort(rule.kept.begin(), rule.kept.end());
        }
        rule.kept.erase(std::unique(rule.kept.begin(), rule.kept.end()), rule.kept.end());
        keptTotal += rule.kept.size() - std::min(before, rule.kept.size());
    }
}

template <class Take>
void CRecurrenceSeries::Impl::Collect(Rule& rule, int64_t lowWall, int64_t highWall,
                                      int64_t countFrom, Take take) {
    if (!rule.canSkip) {
        Extend(rule, highWall, countFrom);
    } else if (lowWall < rule.windowLow || highWall >= rule.windowHigh) {
        FillWindow(rule, lowWall, highWall, countFrom);
    }
    auto it = std::lower_bound(rule.kept.begin(), rule.kept.end(), lowWall);
    for (; it != rule.kept.end() && *it <= highWall; ++it) {
        take(*it);
    }
}

void CRecurrenceSeries::Impl::FillWindow(Rule& rule, int64_t lowWall, int64_t highWall,
                                         int64_t countFrom) {
    // Creating and stepping an iterator is the costly part (libical's calendar
    // arithmetic runs on ICU), so one fill serves the month before and the
    // months after the range too: neighbouring months come from memory.
    int64_t fillLow = lowWall - kWindowBefore;
    const int64_t fillHigh = highWall + kWindowAfter;
    rule.kept.clear();
    rule.windowLow = fillLow;
    rule.windowHigh = fillLow;
    IteratorPtr iterator;
    auto startAt = [&](int64_t wall) {
        iterator.reset(icalrecur_iterator_new(rule.recur, dtstart));
        if (iterator && wall > start.wall) {
            // Built with the zone already set: libical's own conversion from
            // seconds labels the zone's wall time as UTC.
            const icaltimetype skipTo = TimeOfWall(wall, allDay, dtstart.zone);
            icalrecur_iterator_set_start(iterator.get(), skipTo);
        }
        return iterator != nullptr;
    };
    if (!startAt(fillLow)) {
        return;
    }
    size_t beforeRange = 0;
    size_t counted = 0;
    while (stepBudget > 0) {
        --stepBudget;
        const icaltimetype t = icalrecur_iterator_next(iterator.get());
        if (icaltime_is_null_time(t)) {
            rule.windowHigh = INT64_MAX;
            return;
        }
        const int64_t wall = RuleWall(rule, t);
        if (wall < fillLow) {
            continue;
        }
        if (wall < lowWall && ++beforeRange > kMaxOccurrencesPerRange &&
            fillLow < countFrom - 2 * kZoneSlack) {
            // A rule this dense (BYHOUR, BYMINUTE, BYSECOND lists) is filled
            // only from just before the range, which then needs a new fill.
            fillLow = countFrom - 2 * kZoneSlack;
            rule.kept.clear();
            rule.windowLow = fillLow;
            rule.windowHigh = fillLow;
            if (!startAt(fillLow)) {
                return;
            }
            continue;
        }
        rule.kept.push_back(wall);
        if (wall >= countFrom && ++counted >= kMaxOccurrencesPerRange) {
            // No later instance could be shown in this range.
            rule.windowHigh = wall;
            return;
        }
        // Past the range, stop at the window's end or after enough instances
        // (a daily series need not be filled a year ahead).
        if (wall > fillHigh || (wall > highWall && rule.kept.size() >= kWindowInstances)) {
            rule.windowHigh = wall;
            return;
        }
    }
    rule.windowHigh = rule.kept.empty() ? fillLow : rule.kept.back();
    if (!stoppedEarlyLogged) {
        Warn(log, "<ical> recurrence expansion stopped early");
        stoppedEarlyLogged = true;
    }
}

void CRecurrenceSeries::Impl::Expand(int64_t from, int64_t to, std::vector<platform::CTime>& out) {
    // No zone is more than a day away from UTC, so wall times within a day of
    // the range hold every instance inside it.
    const int64_t lowWall = from - 2 * kDay;
    const int64_t highWall = to + 2 * kDay;
    // Instances from here on surely start in the range; kMaxOccurrencesPerRange
    // of them from every rule are enough to find the range's first ones.
    const int64_t countFrom = WallOfInstant(from) + kZoneSlack;
    stepBudget = kMaxStepsPerRange;
    std::vector<int64_t> found;
    auto excludedDay = [&](int64_t wall) {
        return !excludedDays.empty() &&
               std::binary_search(excludedDays.begin(), excludedDays.end(), FloorDiv(wall, kDay));
    };
    auto keep = [&](int64_t instant) {
        if (instant >= from && instant < to) {
            found.push_back(instant);
        }
    };
    for (Rule& rule : rules) {
        std::optional<int64_t> until;
        if (rule.until) {
            until = InstantOf(*rule.until);
        }
        Collect(rule, lowWall, highWall, countFrom, [&](int64_t wall) {
            if (excludedDay(wall)) {
                return;
            }
            const int64_t instant = InstantOf(Stamp{wall, start.zone});
            if (!until || instant <= *until) {
                keep(instant);
            }
        });
    }
    // DTSTART is always the first instance, whether or not the rule matches it.
    if (start.wall >= lowWall && start.wall <= highWall && !excludedDay(start.wall)) {
        keep(InstantOf(start));
    }
    for (const Stamp& rdate : rdates) {
        if (rdate.wall >= lowWall && rdate.wall <= highWall) {
            keep(InstantOf(rdate));
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    auto ex = std::lower_bound(exdates.begin(), exdates.end(), lowWall,
                               [](const Stamp& s, int64_t wall) { return s.wall < wall; });
    for (; ex != exdates.end() && ex->wall <= highWall; ++ex) {
        const int64_t instant = InstantOf(*ex);
        found.erase(std::remove(found.begin(), found.end(), instant), found.end());
    }
    if (found.size() > kMaxOccurrencesPerRange) {
        found.resize(kMaxOccurrencesPerRange);
        if (!cutLogged) {
            Warn(log, "<ical> more than " + std::to_string(kMaxOccurrencesPerRange) +
                          " occurrences in one range, the later ones are not shown");
            cutLogged = true;
        }
    }
    for (int64_t instant : found) {
        out.emplace_back(instant);
    }
}

CRecurrenceSeries::CRecurrenceSeries(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

CRecurrenceSeries::~CRecurrenceSeries() {
    std::lock_guard<std::mutex> lock(LibicalMutex());
    impl_.reset();
}

bool CRecurrenceSeries::IsAllDay() const {
    return impl_->allDay;
}

void CRecurrenceSeries::Expand(const platform::CTime& from, const platform::CTime& to,
                               std::vector<platform::CTime>& out) {
    if (to <= from) {
        return;
    }
    std::lock_guard<std::mutex> lock(LibicalMutex());
    impl_->Expand(from.GetTime(), to.GetTime(), out);
}

std::unique_ptr<CRecurrenceSeries> CRecurrenceSeries::Parse(const std::string& text,
                                                            Utility::CMaintenanceLog* log) {
    googledata::InitializeLibical();
    const std::string normalized = googledata::NormalizeRecurrenceText(text);
    std::lock_guard<std::mutex> lock(LibicalMutex());
    auto impl = std::make_unique<Impl>();
    impl->log = log;
    auto fail = [&](const std::string& why) {
        Warn(log, "<ical> " + why + ": " + Excerpt(text));
        return nullptr;
    };

    impl->root.reset(icalparser_parse_string(normalized.c_str()));
    if (!impl->root) {
        return fail("unreadable recurrence text");
    }
    if (googledata::HasNonYearlyZoneRule(impl->root.get())) {
        return fail("time zone rule that is not yearly");
    }
    icalcomponent* event = impl->root.get();
    if (icalcomponent_isa(event) != ICAL_VEVENT_COMPONENT) {
        event = icalcomponent_get_first_component(event, ICAL_VEVENT_COMPONENT);
    }
    if (event == nullptr) {
        return fail("recurrence text without an event");
    }
    // libical drops a property it cannot read and leaves an X-LIC-ERROR in
    // its place. Without its RRULE a series would show as one event.
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_XLICERROR_PROPERTY)) {
        const char* what = icalproperty_get_xlicerror(p);
        const std::string message = what != nullptr ? what : "";
        if (message.find(" in RRULE property") != std::string::npos) {
            return fail("unreadable RRULE");
        }
        Warn(log, "<ical> " + message);
    }
    icalproperty* dtstartProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (dtstartProp == nullptr) {
        return fail("recurrence without DTSTART");
    }
    impl->dtstart = icalcomponent_get_dtstart(event);
    if (icaltime_is_null_time(impl->dtstart) || !icaltime_is_valid_time(impl->dtstart)) {
        return fail("unreadable DTSTART");
    }
    icaltimetype& dtstart = impl->dtstart;
    impl->allDay = dtstart.is_date != 0;
    if (dtstart.is_date) {
        dtstart.zone = nullptr;
    } else if (dtstart.zone == nullptr) {
        if (const char* tzid = icalproperty_get_parameter_as_string(dtstartProp, "TZID")) {
            Warn(log, std::string("<ical> unknown time zone ") + tzid + ", read as local time");
        }
    }
    impl->start.wall = WallOf(dtstart);
    impl->start.zone = const_cast<icaltimezone*>(dtstart.zone);

    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
        if (impl->rules.size() >= kMaxRules) {
            Warn(log, "<ical> more than " + std::to_string(kMaxRules) +
                          " RRULE lines, the rest are ignored: " + Excerpt(text));
            break;
        }
        Rule rule;
        rule.recur = icalproperty_get_rrule(p);
        icalrecurrencetype& r = rule.recur;
        if (r.freq == ICAL_NO_RECURRENCE) {
            return fail("unreadable RRULE");
        }
        if (r.freq == ICAL_HOURLY_RECURRENCE || r.freq == ICAL_MINUTELY_RECURRENCE ||
            r.freq == ICAL_SECONDLY_RECURRENCE) {
            // A numbered weekday ("1SU") belongs to monthly and yearly rules;
            // libical searched seconds for it in an hourly one.
            for (int i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
                if (icalrecurrencetype_day_position(r.by_day[i]) != 0) {
                    return fail("numbered weekday in a rule finer than daily");
                }
            }
        }
        if (!icaltime_is_null_time(r.until)) {
            if (!dtstart.is_date && r.until.is_date) {
                // A date UNTIL on a timed series: the whole UNTIL day counts.
                r.until.is_date = 0;
                r.until.hour = 23;
                r.until.minute = 59;
                r.until.second = 59;
                r.until.zone = dtstart.zone;
            } else if (dtstart.is_date && !r.until.is_date) {
                // A timed UNTIL on an all-day series: compared as instants here.
                Stamp until;
                until.wall = WallOf(r.until);
                until.zone = const_cast<icaltimezone*>(r.until.zone);
                rule.until = until;
                r.until = icaltime_null_time();
            }
        }
        rule.byWeekNo = !IsEveryPart(r.by_week_no);
        const bool dailyOrCoarser =
            r.freq == ICAL_DAILY_RECURRENCE || r.freq == ICAL_WEEKLY_RECURRENCE ||
            r.freq == ICAL_MONTHLY_RECURRENCE || r.freq == ICAL_YEARLY_RECURRENCE;
        rule.canSkip = dailyOrCoarser && r.count == 0 && !rule.byWeekNo;
        rule.keepTimeOfDay = dailyOrCoarser && !dtstart.is_date && IsEveryPart(r.by_hour) &&
                             IsEveryPart(r.by_minute) && IsEveryPart(r.by_second);
        IteratorPtr probe(icalrecur_iterator_new(r, dtstart));
        if (!probe) {
            return fail("unusable RRULE");
        }
        impl->rules.push_back(std::move(rule));
    }

    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_datetime_with_component(p, event);
        if (icaltime_is_null_time(t)) {
            Warn(log, "<ical> unreadable EXDATE ignored: " + Excerpt(text));
            continue;
        }
        if (t.is_date && !dtstart.is_date) {
            impl->excludedDays.push_back(FloorDiv(WallOf(t), kDay));
        } else {
            impl->exdates.push_back(impl->StampOf(t));
        }
    }
    std::sort(impl->exdates.begin(), impl->exdates.end(),
              [](const Stamp& a, const Stamp& b) { return a.wall < b.wall; });
    std::sort(impl->excludedDays.begin(), impl->excludedDays.end());

    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
        icaltimetype t = icaltime_is_null_time(value.time) ? value.period.start : value.time;
        if (icaltime_is_null_time(t)) {
            Warn(log, "<ical> unreadable RDATE ignored: " + Excerpt(text));
            continue;
        }
        if (!t.is_date && t.zone == nullptr) {
            // libical drops the TZID of RDATE values.
            const char* tzid = icalproperty_get_parameter_as_string(p, "TZID");
            t.zone = impl->ResolveZone(event, dtstartProp, tzid);
            if (tzid != nullptr && t.zone == nullptr) {
                Warn(log, std::string("<ical> unknown time zone ") + tzid + ", read as local time");
            }
        }
        if (t.is_date && !dtstart.is_date) {
            // A date added to a timed series starts at the series' time of day.
            t.is_date = 0;
            t.hour = dtstart.hour;
            t.minute = dtstart.minute;
            t.second = dtstart.second;
            t.zone = dtstart.zone;
        }
        impl->rdates.push_back(impl->StampOf(t));
    }

    return std::unique_ptr<CRecurrenceSeries>(new CRecurrenceSeries(std::move(impl)));
}

}  // namespace Controller
