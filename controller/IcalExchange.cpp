#include "controller/IcalExchange.h"

#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <unordered_map>

#include "controller/CalendarManager.h"
#include "controller/RecurrenceExceptions.h"
#include "googledata/CalendarEventDB.h"
#include "googledata/ICalendarText.h"
#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveTime.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Guid.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace Controller {
namespace {

using googledata::InstantOf;
using googledata::PrimitiveCalendar;
using googledata::PrimitiveEvent;
using googledata::PrimitiveReminder;
using googledata::PrimitiveTime;

using enum googledata::EventStatus;
using enum googledata::Transparency;
using enum googledata::Visibility;
using enum googledata::RecurrenceType;

const char* const kProductId = "-//Kestrel//Daymark//JA";
// The UID an export gives an event made here (it has none of its own).
const char* const kLocalUidSuffix = "@daymark.local";
// Keeps a reminder method other than "alert" through a file.
const char* const kMethodProperty = "X-DAYMARK-METHOD";

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// ---------------------------------------------------------------------------
// Times

// The instant of stored time text; false for unreadable text. A date is
// its local midnight (the date as written, in every zone).
bool StoredInstant(const std::string& text, int64_t& instant, bool& isDate) {
    PrimitiveTime t;
    if (text.empty() || !PrimitiveTime::Parse(platform::Utf8ToWide(text), t)) {
        return false;
    }
    isDate = t.isDate;
    if (t.isDate) {
        instant = platform::CTime(t.year, t.month, t.day, 0, 0, 0).GetTime();
        return true;
    }
    try {
        instant = PrimitiveTime::ToLocalTime(t).GetTime();
    } catch (...) {
        return false;
    }
    return true;
}

std::string DateTextOf(const icaltimetype& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string LocalTimeText(int64_t instant) {
    return PrimitiveTime::FormatUtf8(PrimitiveTime::FromTime(platform::CTime(instant), false),
                                     false);
}

// Local date of an instant as an iCalendar date.
icaltimetype LocalDate(int64_t instant) {
    std::tm tm{};
    const time_t t = static_cast<time_t>(instant);
    localtime_r(&t, &tm);
    icaltimetype d = icaltime_null_time();
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.is_date = 1;
    return d;
}

icaltimetype LocalWallTime(int64_t instant) {
    std::tm tm{};
    const time_t t = static_cast<time_t>(instant);
    localtime_r(&t, &tm);
    icaltimetype w = icaltime_null_time();
    w.year = tm.tm_year + 1900;
    w.month = tm.tm_mon + 1;
    w.day = tm.tm_mday;
    w.hour = tm.tm_hour;
    w.minute = tm.tm_min;
    w.second = tm.tm_sec;
    return w;
}

// The Olson name of the machine's zone, or empty when it cannot be told.
std::string LocalZoneName() {
    std::string tz = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    if (!tz.empty() && tz[0] == ':') {
        tz.erase(0, 1);
    }
    if (tz.empty()) {
        tz = "/etc/localtime";
    }
    if (tz[0] == '/') {
        char target[512];
        const ssize_t n = ::readlink(tz.c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            tz = target;
        } else if (tz == "/etc/localtime") {
            std::ifstream in("/etc/timezone");
            std::string name;
            if (in >> name) {
                return name;
            }
        }
        const size_t at = tz.find("zoneinfo/");
        tz = at == std::string::npos ? std::string() : tz.substr(at + 9);
    }
    return tz;
}

// The built-in zone of an Olson name (also in libical's prefixed form).
icaltimezone* BuiltinZone(const std::string& tzid) {
    if (tzid.empty()) {
        return nullptr;
    }
    icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid.c_str());
    if (zone == nullptr) {
        zone = icaltimezone_get_builtin_timezone_from_tzid(tzid.c_str());
    }
    return zone;
}

// ---------------------------------------------------------------------------
// Export

class Exporter {
public:
    Exporter() : root_(icalcomponent_new(ICAL_VCALENDAR_COMPONENT)) {
        icalcomponent_add_property(root_.get(), icalproperty_new_prodid(kProductId));
        icalcomponent_add_property(root_.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(root_.get(), icalproperty_new_calscale("GREGORIAN"));
        const std::string name = LocalZoneName();
        if (BuiltinZone(name) != nullptr) {
            localZone_ = name;
        }
        stamp_ =
            icaltime_from_timet_with_zone(std::time(nullptr), 0, icaltimezone_get_utc_timezone());
    }

    void AddCalendar(const PrimitiveCalendar& calendar, const std::list<PrimitiveEvent>& events,
                     IcalExportCounts& counts) {
        // The overrides of each series, found as the views find them.
        ExceptionIndex overrides;
        for (const PrimitiveEvent& e : events) {
            if (e.recurrenceType == RECURRENCE_EXCEPTION) {
                overrides.Add(e);
            }
        }
        std::set<std::string> placed;  // local ids of overrides written with a series
        for (const PrimitiveEvent& e : events) {
            if (e.recurrenceType != RECURRENCE_ORIGINAL) {
                continue;
            }
            const auto found = overrides.Find(ExceptionKey(calendar.calendarURI, e.uid), e.id);
            for (const PrimitiveEvent* o : found) {
                placed.insert(o->localEventID);
            }
            if (e.eventStatus == EVENT_STATUS_CANCELED) {
                continue;  // the series and its overrides are gone
            }
            AddSeries(e, found, counts);
        }
        for (const PrimitiveEvent& e : events) {
            if (e.eventStatus == EVENT_STATUS_CANCELED || e.recurrenceType == RECURRENCE_ORIGINAL) {
                continue;
            }
            if (e.recurrenceType == RECURRENCE_EXCEPTION && placed.count(e.localEventID) == 0) {
                // An override whose series this store does not hold: kept as
                // an event of its own.
                if (icalcomponent* v = NewEvent(e, false)) {
                    AddToRoot(v, counts);
                }
                continue;
            }
            if (e.recurrenceType == RECURRENCE_NONE) {
                if (icalcomponent* v = NewEvent(e, false)) {
                    AddToRoot(v, counts);
                }
            }
        }
    }

    std::string Finish(IcalExportCounts& counts) {
        // Zones first, as readers that read in one pass want them.
        for (auto& [tzid, zone] : zones_) {
            icalcomponent_add_component(root_.get(), zone.release());
            ++counts.zones;
        }
        for (ComponentPtr& v : events_) {
            icalcomponent_add_component(root_.get(), v.release());
        }
        char* text = icalcomponent_as_ical_string_r(root_.get());
        std::string out = text != nullptr ? text : "";
        std::free(text);
        return out;
    }

private:
    void AddToRoot(icalcomponent* v, IcalExportCounts& counts) {
        events_.emplace_back(v);
        ++counts.events;
    }

    // Keeps one VTIMEZONE per TZID: the series text's own, else libical's.
    // False when neither knows the zone.
    bool UseZone(const std::string& tzid, icalcomponent* inlineZone) {
        if (zones_.count(tzid) != 0) {
            return true;
        }
        icalcomponent* copy = nullptr;
        if (inlineZone != nullptr) {
            copy = icalcomponent_new_clone(inlineZone);
        } else if (icaltimezone* zone = BuiltinZone(tzid)) {
            if (icalcomponent* c = icaltimezone_get_component(zone)) {
                copy = icalcomponent_new_clone(c);
            }
        }
        if (copy == nullptr) {
            return false;
        }
        // libical's own zones carry a prefixed TZID: name them as the events do.
        icalproperty* p = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY);
        if (p != nullptr) {
            icalproperty_set_tzid(p, tzid.c_str());
        } else {
            icalcomponent_add_property(copy, icalproperty_new_tzid(tzid.c_str()));
        }
        zones_[tzid] = ComponentPtr(copy);
        return true;
    }

    // A time property holding the instant in the local zone (or UTC).
    icalproperty* TimeProperty(icalproperty_kind kind, int64_t instant, bool isDate) {
        icalproperty* p = icalproperty_new(kind);
        if (isDate) {
            icalproperty_set_value(p, icalvalue_new_date(LocalDate(instant)));
            icalproperty_add_parameter(p, icalparameter_new_value(ICAL_VALUE_DATE));
        } else if (!localZone_.empty() && UseZone(localZone_, nullptr)) {
            icalproperty_set_value(p, icalvalue_new_datetime(LocalWallTime(instant)));
            icalproperty_add_parameter(p, icalparameter_new_tzid(localZone_.c_str()));
        } else {
            icalproperty_set_value(
                p, icalvalue_new_datetime(icaltime_from_timet_with_zone(
                       static_cast<time_t>(instant), 0, icaltimezone_get_utc_timezone())));
        }
        return p;
    }

    void AddText(icalcomponent* v, icalproperty* p, const std::string& text) {
        if (text.empty()) {
            icalproperty_free(p);
            return;
        }
        icalcomponent_add_property(v, p);
    }

    // The properties every exported event has; DTSTART/DTEND from the
    // stored times unless `timesFromSeries`.
    icalcomponent* NewEvent(const PrimitiveEvent& e, bool timesFromSeries) {
        icalcomponent* v = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        const std::string uid = e.uid.empty() ? e.localEventID + kLocalUidSuffix : e.uid;
        icalcomponent_add_property(v, icalproperty_new_uid(uid.c_str()));
        icalcomponent_add_property(v, icalproperty_new_dtstamp(stamp_));
        int64_t start = 0;
        bool startIsDate = false;
        if (!timesFromSeries) {
            if (!StoredInstant(e.startTime, start, startIsDate)) {
                icalcomponent_free(v);
                return nullptr;  // an event without a readable start
            }
            int64_t end = start;
            bool endIsDate = startIsDate;
            if (!StoredInstant(e.endTime, end, endIsDate) || end < start) {
                end = startIsDate ? start + 86400 : start;
            }
            icalcomponent_add_property(v, TimeProperty(ICAL_DTSTART_PROPERTY, start, startIsDate));
            icalcomponent_add_property(v, TimeProperty(ICAL_DTEND_PROPERTY, end, startIsDate));
        }
        AddText(v, icalproperty_new_summary(e.title.c_str()), e.title);
        AddText(v, icalproperty_new_description(e.content.c_str()), e.content);
        AddText(v, icalproperty_new_location(e.place.c_str()), e.place);
        if (!e.author_email.empty()) {
            icalproperty* organizer =
                icalproperty_new_organizer(("mailto:" + e.author_email).c_str());
            if (!e.author_name.empty()) {
                icalproperty_add_parameter(organizer, icalparameter_new_cn(e.author_name.c_str()));
            }
            icalcomponent_add_property(v, organizer);
        }
        icalcomponent_add_property(v,
                                   icalproperty_new_status(e.eventStatus == EVENT_STATUS_TENTATIVE
                                                               ? ICAL_STATUS_TENTATIVE
                                                               : ICAL_STATUS_CONFIRMED));
        icalcomponent_add_property(
            v, icalproperty_new_transp(e.transparency == TRANSPARENCY_TRANSPARENT
                                           ? ICAL_TRANSP_TRANSPARENT
                                           : ICAL_TRANSP_OPAQUE));
        if (e.visibility == VISIBILITY_CONFIDENTIAL) {
            icalcomponent_add_property(v, icalproperty_new_class(ICAL_CLASS_CONFIDENTIAL));
        } else if (e.visibility == VISIBILITY_PRIVATE) {
            icalcomponent_add_property(v, icalproperty_new_class(ICAL_CLASS_PRIVATE));
        } else if (e.visibility == VISIBILITY_PUBLIC) {
            icalcomponent_add_property(v, icalproperty_new_class(ICAL_CLASS_PUBLIC));
        }
        if (e.sequence > 0) {
            icalcomponent_add_property(v, icalproperty_new_sequence(e.sequence));
        }
        for (const PrimitiveReminder& r : e.reminders) {
            icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
            icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
            icalcomponent_add_property(
                alarm, icalproperty_new_description(e.title.empty() ? "Daymark" : e.title.c_str()));
            icaltriggertype trigger{};
            trigger.time = icaltime_null_time();
            trigger.duration = icaldurationtype_from_int(-r.minutesBeforeAlarm * 60);
            icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
            if (!r.method.empty() && r.method != "alert") {
                icalproperty* method = icalproperty_new_x(r.method.c_str());
                icalproperty_set_x_name(method, kMethodProperty);
                icalcomponent_add_property(alarm, method);
            }
            icalcomponent_add_component(v, alarm);
        }
        return v;
    }

    void AddSeries(const PrimitiveEvent& series, const std::vector<const PrimitiveEvent*>& found,
                   IcalExportCounts& counts) {
        const std::string text = googledata::NormalizeRecurrenceText(series.recurrence);
        const ComponentPtr parsed(icalparser_parse_string(text.c_str()));
        if (!parsed) {
            return;
        }
        icalcomponent* source = parsed.get();
        if (icalcomponent_isa(source) != ICAL_VEVENT_COMPONENT) {
            source = icalcomponent_get_first_component(source, ICAL_VEVENT_COMPONENT);
        }
        if (source == nullptr ||
            icalcomponent_get_first_property(source, ICAL_DTSTART_PROPERTY) == nullptr) {
            return;
        }
        // The text's own zones, by TZID.
        std::map<std::string, icalcomponent*> inlineZones;
        for (icalcomponent* z = icalcomponent_get_first_component(source, ICAL_VTIMEZONE_COMPONENT);
             z != nullptr; z = icalcomponent_get_next_component(source, ICAL_VTIMEZONE_COMPONENT)) {
            icalproperty* id = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
            if (id != nullptr && icalproperty_get_tzid(id) != nullptr) {
                inlineZones.emplace(icalproperty_get_tzid(id), z);
            }
        }
        icalcomponent* v = NewEvent(series, true);
        static const icalproperty_kind kKinds[] = {ICAL_DTSTART_PROPERTY,  ICAL_DTEND_PROPERTY,
                                                   ICAL_DURATION_PROPERTY, ICAL_RRULE_PROPERTY,
                                                   ICAL_RDATE_PROPERTY,    ICAL_EXDATE_PROPERTY};
        for (const icalproperty_kind kind : kKinds) {
            for (icalproperty* p = icalcomponent_get_first_property(source, kind); p != nullptr;
                 p = icalcomponent_get_next_property(source, kind)) {
                icalproperty* copy = icalproperty_new_clone(p);
                if (icalparameter* tz =
                        icalproperty_get_first_parameter(copy, ICAL_TZID_PARAMETER)) {
                    const std::string tzid = icalparameter_get_tzid(tz);
                    const auto in = inlineZones.find(tzid);
                    if (!UseZone(tzid, in == inlineZones.end() ? nullptr : in->second)) {
                        // Daymark reads a zone nothing knows as local time.
                        if (!localZone_.empty() && UseZone(localZone_, nullptr)) {
                            icalparameter_set_tzid(tz, localZone_.c_str());
                        } else {
                            icalproperty_remove_parameter_by_kind(copy, ICAL_TZID_PARAMETER);
                        }
                    }
                }
                icalcomponent_add_property(v, copy);
            }
        }
        // Occurrences moved or cancelled: the series' start says in which
        // zone and form their original starts are written.
        const icaltimetype seriesStart = icalcomponent_get_dtstart(source);
        icalproperty* startProperty =
            icalcomponent_get_first_property(source, ICAL_DTSTART_PROPERTY);
        icalparameter* startZone =
            icalproperty_get_first_parameter(startProperty, ICAL_TZID_PARAMETER);
        const std::string startTzid = startZone != nullptr ? icalparameter_get_tzid(startZone) : "";
        auto originalProperty = [&](icalproperty_kind kind,
                                    const PrimitiveEvent& e) -> icalproperty* {
            int64_t instant = 0;
            bool isDate = false;
            if (!StoredInstant(e.originalStartTime, instant, isDate)) {
                return nullptr;
            }
            icalproperty* p = icalproperty_new(kind);
            if (seriesStart.is_date) {
                icalproperty_set_value(p, icalvalue_new_date(LocalDate(instant)));
                icalproperty_add_parameter(p, icalparameter_new_value(ICAL_VALUE_DATE));
            } else if (icaltime_is_utc(seriesStart)) {
                icalproperty_set_value(
                    p, icalvalue_new_datetime(icaltime_from_timet_with_zone(
                           static_cast<time_t>(instant), 0, icaltimezone_get_utc_timezone())));
            } else if (seriesStart.zone != nullptr && !startTzid.empty() &&
                       zones_.count(startTzid) != 0) {
                icaltimetype wall = icaltime_from_timet_with_zone(
                    static_cast<time_t>(instant), 0, const_cast<icaltimezone*>(seriesStart.zone));
                wall.zone = nullptr;
                icalproperty_set_value(p, icalvalue_new_datetime(wall));
                icalproperty_add_parameter(p, icalparameter_new_tzid(startTzid.c_str()));
            } else {
                icalproperty_free(p);
                return TimeProperty(kind, instant, false);
            }
            return p;
        };
        std::vector<icalcomponent*> moved;
        for (const PrimitiveEvent* e : found) {
            if (e->eventStatus == EVENT_STATUS_CANCELED) {
                if (icalproperty* ex = originalProperty(ICAL_EXDATE_PROPERTY, *e)) {
                    icalcomponent_add_property(v, ex);
                }
                continue;
            }
            icalproperty* rid = originalProperty(ICAL_RECURRENCEID_PROPERTY, *e);
            icalcomponent* o = rid != nullptr ? NewEvent(*e, false) : nullptr;
            if (o == nullptr) {
                if (rid != nullptr) {
                    icalproperty_free(rid);
                }
                continue;
            }
            // An override carries its series' UID.
            icalproperty* uid = icalcomponent_get_first_property(o, ICAL_UID_PROPERTY);
            icalproperty_set_uid(uid, icalcomponent_get_uid(v));
            icalcomponent_add_property(o, rid);
            moved.push_back(o);
        }
        AddToRoot(v, counts);
        ++counts.series;
        for (icalcomponent* o : moved) {
            AddToRoot(o, counts);
            ++counts.overrides;
        }
    }

    ComponentPtr root_;
    std::map<std::string, ComponentPtr> zones_;
    std::vector<ComponentPtr> events_;
    std::string localZone_;
    icaltimetype stamp_;
};

// ---------------------------------------------------------------------------
// Import: the file's lines

struct ContentLine {
    int line = 0;  // physical line where it starts
    std::string text;
    std::string name;  // upper case
};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// True when an upper-case RRULE value repeats yearly (FREQ=YEARLY).
bool IsYearlyRule(const std::string& rule) {
    size_t start = 0;
    while (start <= rule.size()) {
        size_t stop = rule.find(';', start);
        if (stop == std::string::npos) {
            stop = rule.size();
        }
        if (rule.compare(start, stop - start, "FREQ=YEARLY") == 0) {
            return true;
        }
        start = stop + 1;
    }
    return false;
}

// Checks that the bytes are UTF-8 text; the line of the first byte that is
// not, else 0.
int FirstBinaryLine(const std::string& bytes) {
    int line = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (c < 0x20 && c != '\t' && c != '\r') {
            return line;
        }
        if (c == 0x7F) {
            return line;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra = 0;
        if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return line;
        }
        if (i + extra >= n) {
            return line;  // cut short at the end
        }
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return line;
            }
        }
        i += extra + 1;
    }
    return 0;
}

// The value of a content line (after the first colon outside quotes).
std::string ValueOf(const std::string& text) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == ':' && !quoted) {
            return text.substr(i + 1);
        }
    }
    return std::string();
}

// The parameter text (between the name and the value), upper case.
std::string ParamsOf(const ContentLine& l) {
    const std::string value = ValueOf(l.text);
    const size_t end = l.text.size() - value.size() - 1;
    return end > l.name.size() ? Upper(l.text.substr(l.name.size(), end - l.name.size())) : "";
}

bool HasColonOutsideQuotes(const std::string& text) {
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ':' && !quoted) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    std::istringstream in(value);
    while (std::getline(in, item, ',')) {
        items.push_back(item);
    }
    return items;
}

bool GoodTime(const std::string& value, bool wantDate) {
    if (value.empty()) {
        return false;
    }
    const icaltimetype t = icaltime_from_string(value.c_str());
    // Years before 1900 are outside what the program's times can hold.
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t) || t.year < 1900 || t.month < 1 ||
        t.month > 12 || t.day < 1 || t.day > icaltime_days_in_month(t.month, t.year) ||
        t.hour > 23 || t.minute > 59 || t.second > 60) {
        return false;
    }
    return (t.is_date != 0) == wantDate;
}

bool GoodDuration(const std::string& value) {
    if (value.empty()) {
        return false;
    }
    return !icaldurationtype_is_bad_duration(icaldurationtype_from_string(value.c_str()));
}

// Whether the value of a property the events use can be read; `why` says
// what is wrong when not.
bool CheckValue(const ContentLine& l, std::string& why) {
    const std::string params = ParamsOf(l);
    const std::string value = ValueOf(l.text);
    const bool date = params.find("VALUE=DATE") != std::string::npos &&
                      params.find("VALUE=DATE-TIME") == std::string::npos;
    const bool period = params.find("VALUE=PERIOD") != std::string::npos;
    if (l.name == "DTSTART" || l.name == "DTEND" || l.name == "RECURRENCE-ID") {
        if (!GoodTime(value, date)) {
            why = l.name + " の日時が正しくありません";
            return false;
        }
    } else if (l.name == "EXDATE" || l.name == "RDATE") {
        for (const std::string& item : SplitList(value)) {
            bool ok = false;
            if (period) {
                const size_t slash = item.find('/');
                ok = slash != std::string::npos && GoodTime(item.substr(0, slash), false) &&
                     (GoodTime(item.substr(slash + 1), false) ||
                      GoodDuration(item.substr(slash + 1)));
            } else {
                ok = GoodTime(item, date);
            }
            if (!ok) {
                why = l.name + " の日時が正しくありません";
                return false;
            }
        }
    } else if (l.name == "DURATION") {
        if (!GoodDuration(value)) {
            why = "DURATION の値が正しくありません";
            return false;
        }
    } else if (l.name == "TRIGGER") {
        const bool absolute = params.find("VALUE=DATE-TIME") != std::string::npos;
        if (absolute ? !GoodTime(value, false) : !GoodDuration(value)) {
            why = "TRIGGER の値が正しくありません";
            return false;
        }
    } else if (l.name == "RRULE") {
        // libical skips parts it cannot read: check each one it knows.
        icalerror_clear_errno();
        const icalrecurrencetype r = icalrecurrencetype_from_string(value.c_str());
        bool ok = r.freq != ICAL_NO_RECURRENCE && icalerrno == ICAL_NO_ERROR;
        if (ok) {
            std::istringstream in(value);
            std::string part;
            while (ok && std::getline(in, part, ';')) {
                const size_t eq = part.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == part.size()) {
                    ok = false;
                }
                const std::string key = Upper(part.substr(0, eq));
                if (key == "UNTIL") {
                    const std::string until = part.substr(eq + 1);
                    ok = ok && (GoodTime(until, true) || GoodTime(until, false));
                } else if (key == "COUNT" || key == "INTERVAL") {
                    const std::string n = part.substr(eq + 1);
                    ok = ok && !n.empty() && n.find_first_not_of("0123456789") == std::string::npos;
                }
            }
        }
        if (!ok) {
            why = "RRULE の値が正しくありません (" + value + ")";
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Import: events

struct EventBlock {
    int beginLine = 0;
    std::vector<const ContentLine*> lines;  // the VEVENT's own lines (not its VALARMs)
};

std::string NewUid() {
    std::string id;
    for (const char c : platform::CreateGuidText()) {
        if (c != '{' && c != '}') {
            id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return id + kLocalUidSuffix;
}

// A time of property `p` of `v` with the zone its TZID names (libical
// resolves it for DTSTART and DTEND only): the file's VTIMEZONE, else a
// built-in zone; none leaves local time.
icaltimetype WithZone(icalcomponent* v, icalproperty* p, icaltimetype t) {
    if (t.is_date || t.zone != nullptr || icaltime_is_utc(t)) {
        return t;
    }
    icalparameter* tz = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    const char* tzid = tz != nullptr ? icalparameter_get_tzid(tz) : nullptr;
    if (tzid == nullptr) {
        return t;
    }
    icaltimezone* zone = nullptr;
    for (icalcomponent* c = v; c != nullptr && zone == nullptr; c = icalcomponent_get_parent(c)) {
        zone = icalcomponent_get_timezone(c, tzid);
    }
    if (zone == nullptr) {
        zone = BuiltinZone(tzid);
    }
    t.zone = zone;
    return t;
}

// The stored text of a start or end: a date, or local time with its offset.
std::string StoredText(const icaltimetype& t) {
    return t.is_date ? DateTextOf(t) : LocalTimeText(InstantOf(t));
}

class Importer {
public:
    Importer(std::string calendarURI, const std::vector<ContentLine>& zoneLines)
        : calendarURI_(std::move(calendarURI)) {
        // The file's VTIMEZONE blocks, as text, by TZID.
        std::string current;
        std::string tzid;
        for (const ContentLine& l : zoneLines) {
            current += l.text + "\n";
            if (l.name == "TZID" && tzid.empty()) {
                tzid = ValueOf(l.text);
            }
            if (l.name == "END" && Upper(ValueOf(l.text)) == "VTIMEZONE") {
                if (!tzid.empty()) {
                    zoneTexts_.emplace(tzid, current);
                }
                current.clear();
                tzid.clear();
            }
        }
    }

    bool Convert(icalcomponent* v, const EventBlock& block, PrimitiveEvent& e,
                 IcalProblem& problem) {
        const char* uid = icalcomponent_get_uid(v);
        e.uid = uid != nullptr && *uid != '\0' ? uid : NewUid();
        if (icalcomponent_get_first_property(v, ICAL_DTSTART_PROPERTY) == nullptr) {
            problem = {block.beginLine, "VEVENT に DTSTART がありません"};
            return false;
        }
        const icaltimetype start = icalcomponent_get_dtstart(v);
        icaltimetype end = icaltime_null_time();
        if (icalcomponent_get_first_property(v, ICAL_DTEND_PROPERTY) != nullptr) {
            end = icalcomponent_get_dtend(v);
        } else if (icalproperty* d = icalcomponent_get_first_property(v, ICAL_DURATION_PROPERTY)) {
            end = icaltime_add(start, icalproperty_get_duration(d));
        }
        if (!start.is_date && start.zone == nullptr) {
            if (icalproperty_get_first_parameter(
                    icalcomponent_get_first_property(v, ICAL_DTSTART_PROPERTY),
                    ICAL_TZID_PARAMETER) != nullptr) {
                ++unknownZones_;  // read as local time, as the series expansion does
            }
        }
        int64_t startInstant = start.is_date ? 0 : InstantOf(start);
        if (start.is_date) {
            icaltimetype last = start;
            if (icaltime_is_null_time(end) || !end.is_date ||
                icaltime_compare_date_only(end, start) <= 0) {
                last = start;
                icaltime_adjust(&last, 1, 0, 0, 0);
            } else {
                last = end;
            }
            e.startTime = DateTextOf(start);
            e.endTime = DateTextOf(last);
            startInstant = platform::CTime(start.year, start.month, start.day, 0, 0, 0).GetTime();
        } else {
            int64_t endInstant = icaltime_is_null_time(end) ? startInstant : InstantOf(end);
            if (endInstant < startInstant) {
                endInstant = startInstant;
            }
            e.startTime = LocalTimeText(startInstant);
            e.endTime = LocalTimeText(endInstant);
        }
        const char* summary = icalcomponent_get_summary(v);
        e.title = summary != nullptr ? summary : "";
        const char* description = icalcomponent_get_description(v);
        e.content = description != nullptr ? description : "";
        const char* location = icalcomponent_get_location(v);
        e.place = location != nullptr ? location : "";
        if (icalproperty* o = icalcomponent_get_first_property(v, ICAL_ORGANIZER_PROPERTY)) {
            std::string address =
                icalproperty_get_organizer(o) != nullptr ? icalproperty_get_organizer(o) : "";
            if (Upper(address.substr(0, 7)) == "MAILTO:") {
                address = address.substr(7);
            }
            e.author_email = address;
            if (icalparameter* cn = icalproperty_get_first_parameter(o, ICAL_CN_PARAMETER)) {
                e.author_name = icalparameter_get_cn(cn) != nullptr ? icalparameter_get_cn(cn) : "";
            }
        }
        switch (icalcomponent_get_status(v)) {
            case ICAL_STATUS_TENTATIVE:
                e.eventStatus = EVENT_STATUS_TENTATIVE;
                break;
            case ICAL_STATUS_CANCELLED:
                e.eventStatus = EVENT_STATUS_CANCELED;
                break;
            default:
                e.eventStatus = EVENT_STATUS_CONFIRMED;
                break;
        }
        e.transparency = TRANSPARENCY_OPAQUE;
        if (icalproperty* t = icalcomponent_get_first_property(v, ICAL_TRANSP_PROPERTY)) {
            if (icalproperty_get_transp(t) == ICAL_TRANSP_TRANSPARENT) {
                e.transparency = TRANSPARENCY_TRANSPARENT;
            }
        }
        e.visibility = VISIBILITY_DEFAULT;
        if (icalproperty* c = icalcomponent_get_first_property(v, ICAL_CLASS_PROPERTY)) {
            switch (icalproperty_get_class(c)) {
                case ICAL_CLASS_PUBLIC:
                    e.visibility = VISIBILITY_PUBLIC;
                    break;
                case ICAL_CLASS_PRIVATE:
                    e.visibility = VISIBILITY_PRIVATE;
                    break;
                case ICAL_CLASS_CONFIDENTIAL:
                    e.visibility = VISIBILITY_CONFIDENTIAL;
                    break;
                default:
                    break;
            }
        }
        if (icalproperty* s = icalcomponent_get_first_property(v, ICAL_SEQUENCE_PROPERTY)) {
            e.sequence = std::max(0, icalproperty_get_sequence(s));
        }
        e.isSynced = false;

        // Recurrence: the file's own lines, with the zones they name.
        const bool isSeries = icalcomponent_get_first_property(v, ICAL_RRULE_PROPERTY) != nullptr ||
                              icalcomponent_get_first_property(v, ICAL_RDATE_PROPERTY) != nullptr;
        icalproperty* rid = icalcomponent_get_first_property(v, ICAL_RECURRENCEID_PROPERTY);
        if (rid != nullptr) {
            e.recurrenceType = RECURRENCE_EXCEPTION;
            e.originalEvent = ExceptionKey(calendarURI_, e.uid);
            e.originalStartTime = StoredText(WithZone(v, rid, icalproperty_get_recurrenceid(rid)));
        } else if (isSeries) {
            e.recurrenceType = RECURRENCE_ORIGINAL;
            std::string text;
            std::set<std::string> zones;
            for (const ContentLine* l : block.lines) {
                if (l->name == "DTSTART" || l->name == "DTEND" || l->name == "DURATION" ||
                    l->name == "RRULE" || l->name == "RDATE" || l->name == "EXDATE") {
                    text += l->text + "\n";
                    const std::string params =
                        l->text.substr(0, l->text.size() - ValueOf(l->text).size());
                    const size_t at = Upper(params).find(";TZID=");
                    if (at != std::string::npos) {
                        std::string tzid = params.substr(at + 6);
                        tzid = tzid.substr(0, tzid.find_first_of(";:"));
                        if (tzid.size() >= 2 && tzid.front() == '"' && tzid.back() == '"') {
                            tzid = tzid.substr(1, tzid.size() - 2);
                        }
                        zones.insert(tzid);
                    }
                }
            }
            for (const std::string& tzid : zones) {
                const auto z = zoneTexts_.find(tzid);
                if (z != zoneTexts_.end()) {
                    text += z->second;
                }
            }
            e.recurrence = text;  // its times are read after the libical lock is left
        } else {
            e.recurrenceType = RECURRENCE_NONE;
        }

        // Reminders: alarms before the start (or before the end, or at a
        // time) become minutes before the start; later ones are dropped.
        int64_t endInstant = startInstant;
        {
            bool isDate = false;
            StoredInstant(e.endTime, endInstant, isDate);
        }
        for (icalcomponent* a = icalcomponent_get_first_component(v, ICAL_VALARM_COMPONENT);
             a != nullptr; a = icalcomponent_get_next_component(v, ICAL_VALARM_COMPONENT)) {
            icalproperty* tp = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
            if (tp == nullptr) {
                continue;
            }
            const icaltriggertype trigger = icalproperty_get_trigger(tp);
            int64_t alarm = 0;
            if (!icaltime_is_null_time(trigger.time)) {
                alarm = InstantOf(WithZone(a, tp, trigger.time));
            } else {
                icalparameter* related =
                    icalproperty_get_first_parameter(tp, ICAL_RELATED_PARAMETER);
                const bool fromEnd =
                    related != nullptr && icalparameter_get_related(related) == ICAL_RELATED_END;
                alarm = (fromEnd ? endInstant : startInstant) +
                        icaldurationtype_as_int(trigger.duration);
            }
            if (alarm > startInstant) {
                continue;
            }
            PrimitiveReminder r;
            r.minutesBeforeAlarm = static_cast<int32_t>((startInstant - alarm) / 60);
            r.method = "alert";
            if (icalproperty* act = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY)) {
                if (icalproperty_get_action(act) == ICAL_ACTION_EMAIL) {
                    r.method = "email";
                }
            }
            for (icalproperty* x = icalcomponent_get_first_property(a, ICAL_X_PROPERTY);
                 x != nullptr; x = icalcomponent_get_next_property(a, ICAL_X_PROPERTY)) {
                const char* name = icalproperty_get_x_name(x);
                const char* value = icalproperty_get_x(x);
                if (name != nullptr && value != nullptr && Upper(name) == kMethodProperty &&
                    *value) {
                    r.method = value;
                }
            }
            e.reminders.push_back(r);
        }
        return true;
    }

    int UnknownZones() const { return unknownZones_; }

private:
    std::string calendarURI_;
    std::map<std::string, std::string> zoneTexts_;
    int unknownZones_ = 0;
};

// The key that finds an event again: its UID, and for an override the
// instant of its original start.
std::string MatchKey(const PrimitiveEvent& e) {
    std::string key = e.uid + "\x1F" +
                      std::to_string(e.recurrenceType == RECURRENCE_EXCEPTION ? RECURRENCE_EXCEPTION
                                                                              : RECURRENCE_NONE);
    if (e.recurrenceType == RECURRENCE_EXCEPTION) {
        int64_t instant = 0;
        bool isDate = false;
        key += "\x1F";
        key += StoredInstant(e.originalStartTime, instant, isDate) ? std::to_string(instant)
                                                                   : e.originalStartTime;
    }
    return key;
}

}  // namespace

bool ExportIcalendar(googledata::CalendarEventDB& db, const std::list<PrimitiveCalendar>& calendars,
                     std::string& text, IcalExportCounts& counts) {
    googledata::InitializeLibical();
    counts = IcalExportCounts{};
    std::vector<std::pair<const PrimitiveCalendar*, std::list<PrimitiveEvent>>> all;
    for (const PrimitiveCalendar& c : calendars) {
        if (c.isHoliday) {
            continue;
        }
        all.emplace_back(&c, std::list<PrimitiveEvent>());
        if (!db.GetAllEvents(c.calendarURI, all.back().second)) {
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(googledata::LibicalMutex());
    Exporter exporter;
    for (const auto& [calendar, events] : all) {
        exporter.AddCalendar(*calendar, events, counts);
    }
    text = exporter.Finish(counts);
    return true;
}

bool ParseIcalendar(const std::string& input, const std::string& calendarURI,
                    std::vector<PrimitiveEvent>& events, IcalProblem& problem) {
    googledata::InitializeLibical();
    events.clear();
    problem = IcalProblem{};
    std::string bytes = input;
    if (bytes.size() > kMaxIcalendarFileBytes) {
        problem = {0, "ファイルが大きすぎます (上限 " +
                          std::to_string(kMaxIcalendarFileBytes / (1024 * 1024)) + " MB)"};
        return false;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bytes.erase(0, 3);
    }
    if (const int bad = FirstBinaryLine(bytes)) {
        problem = {bad, "テキストではないバイトがあります (UTF-8 の iCalendar ではありません)"};
        return false;
    }

    // Content lines, unfolded, each with the line it starts on.
    std::vector<ContentLine> lines;
    {
        int number = 0;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find('\n', pos);
            if (end == std::string::npos) {
                end = bytes.size();
            }
            std::string line = bytes.substr(pos, end - pos);
            pos = end + 1;
            ++number;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
                if (lines.empty()) {
                    problem = {number, "続きの行の前に行がありません"};
                    return false;
                }
                lines.back().text += line.substr(1);
                continue;
            }
            if (line.find_first_not_of(" \t") == std::string::npos) {
                continue;  // blank lines some programs leave
            }
            lines.push_back({number, std::move(line), ""});
        }
    }
    if (lines.empty()) {
        problem = {0, "ファイルが空です"};
        return false;
    }

    // Structure: names, BEGIN/END pairs, one VCALENDAR.
    struct Open {
        std::string name;
        int line;
    };
    std::vector<Open> stack;
    std::vector<EventBlock> blocks;
    std::vector<ContentLine> zoneLines;
    bool calendarDone = false;
    for (ContentLine& l : lines) {
        size_t nameEnd = l.text.find_first_of(";:");
        if (nameEnd == std::string::npos || nameEnd == 0 || !HasColonOutsideQuotes(l.text)) {
            problem = {l.line, "iCalendar のプロパティの行ではありません"};
            return false;
        }
        l.name = Upper(l.text.substr(0, nameEnd));
        if (l.name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-") !=
            std::string::npos) {
            problem = {l.line, "プロパティ名が正しくありません"};
            return false;
        }
        if (calendarDone) {
            problem = {l.line, "END:VCALENDAR の後に行があります"};
            return false;
        }
        const std::string value = Upper(ValueOf(l.text));
        if (stack.empty() && !(l.name == "BEGIN" && value == "VCALENDAR")) {
            problem = {l.line, "BEGIN:VCALENDAR で始まっていません"};
            return false;
        }
        const bool inZone = std::any_of(stack.begin(), stack.end(),
                                        [](const Open& o) { return o.name == "VTIMEZONE"; });
        if (l.name == "BEGIN") {
            if (value.empty()) {
                problem = {l.line, "BEGIN に名前がありません"};
                return false;
            }
            if (value == "VCALENDAR" && !stack.empty()) {
                problem = {l.line, "VCALENDAR の中に VCALENDAR があります"};
                return false;
            }
            stack.push_back({value, l.line});
            if (value == "VEVENT" && stack.size() == 2) {
                blocks.push_back({l.line, {}});
            }
            if (value == "VTIMEZONE" || inZone) {
                zoneLines.push_back(l);
            }
            continue;
        }
        if (l.name == "END") {
            if (stack.back().name != value) {
                problem = {l.line,
                           "END:" + ValueOf(l.text) + " は " + std::to_string(stack.back().line) +
                               " 行目の BEGIN:" + stack.back().name + " と対になっていません"};
                return false;
            }
            stack.pop_back();
            if (inZone) {
                zoneLines.push_back(l);
            }
            if (stack.empty()) {
                calendarDone = true;
            }
            continue;
        }
        if (inZone) {
            // Zone changes repeat yearly; libical expands a finer rule change
            // by change up to the year it is asked about (an hourly one took
            // many seconds), so any other rule refuses the file.
            if (l.name == "RRULE" && !IsYearlyRule(Upper(ValueOf(l.text)))) {
                problem = {l.line, "タイムゾーンの RRULE は FREQ=YEARLY でなければなりません"};
                return false;
            }
            zoneLines.push_back(l);
        }
        const std::string& owner = stack.back().name;
        if (owner == "VEVENT" || owner == "VALARM") {
            std::string why;
            if (!CheckValue(l, why)) {
                problem = {l.line, why};
                return false;
            }
            if (owner == "VEVENT" && stack.size() == 2) {
                blocks.back().lines.push_back(&l);
            }
        }
    }
    if (!stack.empty()) {
        problem = {lines.back().line, "ファイルの終わりまでに END:" + stack.back().name +
                                          " がありません (" + std::to_string(stack.back().line) +
                                          " 行目の BEGIN:" + stack.back().name + ")"};
        return false;
    }

    // libical reads the checked lines.
    std::string text;
    text.reserve(bytes.size());
    for (const ContentLine& l : lines) {
        text += l.text;
        text += "\r\n";
    }
    {
        std::lock_guard<std::mutex> lock(googledata::LibicalMutex());
        const ComponentPtr root(icalparser_parse_string(text.c_str()));
        if (!root || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT) {
            problem = {lines.front().line, "iCalendar として読めません"};
            return false;
        }
        Importer importer(calendarURI, zoneLines);
        size_t index = 0;
        for (icalcomponent* v =
                 icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT);
             v != nullptr;
             v = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT), ++index) {
            if (index >= blocks.size()) {
                problem = {0, "VEVENT の数が合いません"};
                events.clear();
                return false;
            }
            PrimitiveEvent e;
            if (!importer.Convert(v, blocks[index], e, problem)) {
                events.clear();
                return false;
            }
            events.push_back(std::move(e));
        }
    }
    // A series' own start and end, as the feed reader stores them.
    for (PrimitiveEvent& e : events) {
        if (e.recurrenceType == RECURRENCE_ORIGINAL) {
            googledata::ReadSeriesTimes(e.recurrence, e.startTime, e.endTime);
        }
    }
    return true;
}

bool StoreImportedEvents(googledata::CalendarEventDB& db, const std::string& calendarURI,
                         std::vector<PrimitiveEvent>& events, IcalImportCounts& counts) {
    counts = IcalImportCounts{};
    IcalImportCounts done;
    const bool ok = db.RunTransaction("import", [&] {
        // What the calendar holds, read inside the transaction.
        std::list<PrimitiveEvent> existing;
        if (!db.GetAllEvents(calendarURI, existing)) {
            return false;
        }
        std::unordered_map<std::string, PrimitiveEvent*> byKey;
        for (PrimitiveEvent& e : existing) {
            if (e.uid.empty()) {
                // An event made here has no UID: an export names it so.
                PrimitiveEvent named = e;
                named.uid = e.localEventID + kLocalUidSuffix;
                byKey.emplace(MatchKey(named), &e);
            } else {
                byKey.emplace(MatchKey(e), &e);
            }
        }
        for (PrimitiveEvent& e : events) {
            const std::string key = MatchKey(e);
            const auto found = byKey.find(key);
            if (found == byKey.end()) {
                if (e.eventStatus == EVENT_STATUS_CANCELED &&
                    e.recurrenceType != RECURRENCE_EXCEPTION) {
                    ++done.skipped;  // nothing to cancel
                    continue;
                }
                e.localEventID.clear();
                if (!db.AddEvent(calendarURI, e, false)) {
                    return false;
                }
                ++done.added;
                existing.push_back(e);
                byKey.emplace(key, &existing.back());
                continue;
            }
            PrimitiveEvent& old = *found->second;
            e.localEventID = old.localEventID;
            e.sequence = std::max(e.sequence, old.sequence + 1);
            e.isSynced = false;
            if (!db.UpdateEventFromLocalSide(e, calendarURI)) {
                return false;
            }
            ++done.updated;
            old.sequence = e.sequence;
        }
        return true;
    });
    if (ok) {
        counts = done;
    }
    return ok;
}

bool ReadIcalendarFile(const std::string& path, std::string& bytes, IcalProblem& problem) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = {0, "ファイルを開けません"};
        return false;
    }
    if (static_cast<unsigned long long>(info.st_size) > kMaxIcalendarFileBytes) {
        char size[32];
        std::snprintf(size, sizeof size, "%.1f", info.st_size / (1024.0 * 1024.0));
        problem = {0, std::string("ファイルが大きすぎます (") + size + " MB、上限 " +
                          std::to_string(kMaxIcalendarFileBytes / (1024 * 1024)) + " MB)"};
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = {0, "ファイルを開けません"};
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = buffer.str();
    if (bytes.size() > kMaxIcalendarFileBytes) {
        problem = {0, "ファイルが大きすぎます"};
        return false;
    }
    return true;
}

bool WriteIcalendarFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "ファイルに書けません";
            return false;
        }
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            error = "ファイルに書けません";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "ファイルに書けません";
        return false;
    }
    return true;
}

}  // namespace Controller
