#include "googledata/CalDavEvents.h"

#include <libical/ical.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "googledata/ICalendarText.h"
#include "googledata/PrimitiveTime.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace googledata {
namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// One VEVENT as plain text, taken out under the libical lock.
struct RawEvent {
    std::string uid, summary, description, location, status, transp, klass;
    int sequence = 0;
    std::string timeLines;  // DTSTART and DTEND or DURATION
    std::string ruleLines;  // RRULE, RDATE, EXDATE
    std::string recurrenceIdLine;
    std::string recurrenceIdValue;
    std::vector<PrimitiveReminder> reminders;
};

std::string Line(icalproperty* p) {
    // icalproperty_as_ical_string returns a ring-buffer string owned by libical.
    std::string text = icalproperty_as_ical_string(p);
    return text;
}

std::string TextOf(icalcomponent* c, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    if (!p) {
        return {};
    }
    const char* value = icalproperty_get_value_as_string(p);
    if (!value) {
        return {};
    }
    // The value as text, escapes undone (libical keeps "\n" and "\," escaped here).
    icalvalue* v = icalproperty_get_value(p);
    if (v && icalvalue_isa(v) == ICAL_TEXT_VALUE) {
        const char* raw = icalvalue_get_text(v);
        return raw ? raw : "";
    }
    return value;
}

RawEvent TakeEvent(icalcomponent* e) {
    RawEvent r;
    r.uid = TextOf(e, ICAL_UID_PROPERTY);
    r.summary = TextOf(e, ICAL_SUMMARY_PROPERTY);
    r.description = TextOf(e, ICAL_DESCRIPTION_PROPERTY);
    r.location = TextOf(e, ICAL_LOCATION_PROPERTY);
    r.status = TextOf(e, ICAL_STATUS_PROPERTY);
    r.transp = TextOf(e, ICAL_TRANSP_PROPERTY);
    r.klass = TextOf(e, ICAL_CLASS_PROPERTY);
    if (icalproperty* p = icalcomponent_get_first_property(e, ICAL_SEQUENCE_PROPERTY)) {
        r.sequence = icalproperty_get_sequence(p);
    }
    for (icalproperty* p = icalcomponent_get_first_property(e, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(e, ICAL_ANY_PROPERTY)) {
        switch (icalproperty_isa(p)) {
            case ICAL_DTSTART_PROPERTY:
            case ICAL_DTEND_PROPERTY:
            case ICAL_DURATION_PROPERTY:
                r.timeLines += Line(p);
                break;
            case ICAL_RRULE_PROPERTY:
            case ICAL_RDATE_PROPERTY:
            case ICAL_EXDATE_PROPERTY:
                r.ruleLines += Line(p);
                break;
            case ICAL_RECURRENCEID_PROPERTY: {
                r.recurrenceIdLine = Line(p);
                const char* v = icalproperty_get_value_as_string(p);
                r.recurrenceIdValue = v ? v : "";
                break;
            }
            default:
                break;
        }
    }
    for (icalcomponent* a = icalcomponent_get_first_component(e, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(e, ICAL_VALARM_COMPONENT)) {
        icalproperty* trigger = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
        if (!trigger) {
            continue;
        }
        const icaltriggertype t = icalproperty_get_trigger(trigger);
        if (!icaltime_is_null_time(t.time)) {
            continue;  // an alarm at a fixed time has no "minutes before"
        }
        const int seconds = icaldurationtype_as_int(t.duration);
        PrimitiveReminder reminder;
        icalproperty* action = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY);
        reminder.method =
            action && icalproperty_get_action(action) == ICAL_ACTION_EMAIL ? "email" : "alert";
        reminder.minutesBeforeAlarm = seconds < 0 ? -seconds / 60 : 0;
        r.reminders.push_back(reminder);
    }
    return r;
}

int32_t StatusOf(const std::string& s) {
    return s == "CANCELLED"   ? EVENT_STATUS_CANCELED
           : s == "TENTATIVE" ? EVENT_STATUS_TENTATIVE
                              : EVENT_STATUS_CONFIRMED;
}
int32_t VisibilityOf(const std::string& s) {
    return s == "PRIVATE"        ? VISIBILITY_PRIVATE
           : s == "PUBLIC"       ? VISIBILITY_PUBLIC
           : s == "CONFIDENTIAL" ? VISIBILITY_CONFIDENTIAL
                                 : VISIBILITY_DEFAULT;
}

std::string Unfolded(const std::string& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == '\r') {
            continue;
        }
        if (lines[i] == '\n' && i + 1 < lines.size() &&
            (lines[i + 1] == ' ' || lines[i + 1] == '\t')) {
            ++i;
            continue;
        }
        out += lines[i];
    }
    return out;
}

// --- writing ------------------------------------------------------------------

icaltimetype TimeFromText(const std::string& text, bool& ok) {
    PrimitiveTime t;
    ok = PrimitiveTime::Parse(platform::Utf8ToWide(text), t);
    if (!ok) {
        return icaltime_null_time();
    }
    if (t.isDate) {
        icaltimetype d = icaltime_null_date();
        d.year = t.year;
        d.month = t.month;
        d.day = t.day;
        return d;
    }
    const platform::CTime local = PrimitiveTime::ToLocalTime(t);
    return icaltime_from_timet_with_zone(static_cast<time_t>(local.GetTime()), 0,
                                         icaltimezone_get_utc_timezone());
}

void AddAlarms(icalcomponent* event, const std::vector<PrimitiveReminder>& reminders,
               const std::string& summary) {
    for (const PrimitiveReminder& r : reminders) {
        if (r.method == "all") {
            continue;
        }
        icalcomponent* alarm = icalcomponent_new_valarm();
        icaltriggertype trigger{};
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_from_int(-60 * r.minutesBeforeAlarm);
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        const bool email = r.method == "email";
        icalcomponent_add_property(
            alarm, icalproperty_new_action(email ? ICAL_ACTION_EMAIL : ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(alarm, icalproperty_new_description(summary.c_str()));
        if (email) {
            icalcomponent_add_property(alarm, icalproperty_new_summary(summary.c_str()));
        }
        icalcomponent_add_component(event, alarm);
    }
}

icalcomponent* BuildEvent(const PrimitiveEvent& e, icalcomponent* calendar,
                          const std::string& uid) {
    icalcomponent* event = icalcomponent_new_vevent();
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(
                                          static_cast<time_t>(platform::NowSeconds()), 0,
                                          icaltimezone_get_utc_timezone())));
    icalcomponent_add_property(event, icalproperty_new_sequence(e.sequence));
    icalcomponent_add_property(event, icalproperty_new_summary(e.title.c_str()));
    if (!e.content.empty()) {
        icalcomponent_add_property(event, icalproperty_new_description(e.content.c_str()));
    }
    if (!e.place.empty()) {
        icalcomponent_add_property(event, icalproperty_new_location(e.place.c_str()));
    }
    icalcomponent_add_property(
        event,
        icalproperty_new_status(e.eventStatus == EVENT_STATUS_CANCELED    ? ICAL_STATUS_CANCELLED
                                : e.eventStatus == EVENT_STATUS_TENTATIVE ? ICAL_STATUS_TENTATIVE
                                                                          : ICAL_STATUS_CONFIRMED));
    if (e.transparency == TRANSPARENCY_TRANSPARENT) {
        icalcomponent_add_property(event, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    }
    if (e.visibility == VISIBILITY_PRIVATE || e.visibility == VISIBILITY_PUBLIC ||
        e.visibility == VISIBILITY_CONFIDENTIAL) {
        icalcomponent_add_property(
            event,
            icalproperty_new_class(e.visibility == VISIBILITY_PRIVATE  ? ICAL_CLASS_PRIVATE
                                   : e.visibility == VISIBILITY_PUBLIC ? ICAL_CLASS_PUBLIC
                                                                       : ICAL_CLASS_CONFIDENTIAL));
    }
    bool fromRecurrence = false;
    if (e.recurrenceType == RECURRENCE_ORIGINAL && !e.recurrence.empty()) {
        // The series' own lines (with their zones), as the expander reads them.
        const std::string text = NormalizeRecurrenceText(e.recurrence);
        ComponentPtr parsed(icalparser_parse_string(text.c_str()));
        if (parsed) {
            icalcomponent* source = parsed.get();
            for (icalproperty* p = icalcomponent_get_first_property(source, ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(source, ICAL_ANY_PROPERTY)) {
                const icalproperty_kind k = icalproperty_isa(p);
                if (k == ICAL_DTSTART_PROPERTY || k == ICAL_DTEND_PROPERTY ||
                    k == ICAL_DURATION_PROPERTY || k == ICAL_RRULE_PROPERTY ||
                    k == ICAL_RDATE_PROPERTY || k == ICAL_EXDATE_PROPERTY) {
                    fromRecurrence = fromRecurrence || k == ICAL_DTSTART_PROPERTY;
                    icalcomponent_add_property(event, icalproperty_new_clone(p));
                }
            }
            for (icalcomponent* z =
                     icalcomponent_get_first_component(source, ICAL_VTIMEZONE_COMPONENT);
                 z; z = icalcomponent_get_next_component(source, ICAL_VTIMEZONE_COMPONENT)) {
                icalcomponent_add_component(calendar, icalcomponent_new_clone(z));
            }
        }
    }
    if (!fromRecurrence) {
        bool ok = false;
        const icaltimetype start = TimeFromText(e.startTime, ok);
        if (ok) {
            icalcomponent_add_property(event, icalproperty_new_dtstart(start));
        }
        const icaltimetype end = TimeFromText(e.endTime, ok);
        if (ok) {
            icalcomponent_add_property(event, icalproperty_new_dtend(end));
        }
    }
    if (e.recurrenceType == RECURRENCE_EXCEPTION && !e.originalStartTime.empty()) {
        bool ok = false;
        const icaltimetype original = TimeFromText(e.originalStartTime, ok);
        if (ok) {
            icalcomponent_add_property(event, icalproperty_new_recurrenceid(original));
        }
    }
    AddAlarms(event, e.reminders, e.title);
    return event;
}

// The properties Daymark writes itself; every other property of the stored
// VEVENT (ATTENDEE, ORGANIZER, CATEGORIES, URL, X-...) and its components
// other than alarms go back to the server unchanged.
bool Managed(icalproperty_kind kind) {
    switch (kind) {
        case ICAL_UID_PROPERTY:
        case ICAL_DTSTAMP_PROPERTY:
        case ICAL_SEQUENCE_PROPERTY:
        case ICAL_SUMMARY_PROPERTY:
        case ICAL_DESCRIPTION_PROPERTY:
        case ICAL_LOCATION_PROPERTY:
        case ICAL_STATUS_PROPERTY:
        case ICAL_TRANSP_PROPERTY:
        case ICAL_CLASS_PROPERTY:
        case ICAL_DTSTART_PROPERTY:
        case ICAL_DTEND_PROPERTY:
        case ICAL_DURATION_PROPERTY:
        case ICAL_RRULE_PROPERTY:
        case ICAL_RDATE_PROPERTY:
        case ICAL_EXDATE_PROPERTY:
        case ICAL_RECURRENCEID_PROPERTY:
        case ICAL_LASTMODIFIED_PROPERTY:
            return true;
        default:
            return false;
    }
}

// The instant of a VEVENT's RECURRENCE-ID, 0 when it has none.
time_t RecurrenceInstant(icalcomponent* event) {
    icalproperty* p = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
    if (!p) {
        return 0;
    }
    const icaltimetype t = icalproperty_get_recurrenceid(p);
    return t.zone ? icaltime_as_timet_with_zone(t, t.zone) : icaltime_as_timet(t);
}

// Copies what Daymark does not own from the VEVENT of `original` that
// matches `built` (the same RECURRENCE-ID instant, or both without one).
void KeepForeignParts(icalcomponent* built, icalcomponent* original) {
    if (!original) {
        return;
    }
    const time_t wanted = RecurrenceInstant(built);
    for (icalcomponent* e = icalcomponent_get_first_component(original, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(original, ICAL_VEVENT_COMPONENT)) {
        if (RecurrenceInstant(e) != wanted) {
            continue;
        }
        for (icalproperty* p = icalcomponent_get_first_property(e, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(e, ICAL_ANY_PROPERTY)) {
            if (!Managed(icalproperty_isa(p))) {
                icalcomponent_add_property(built, icalproperty_new_clone(p));
            }
        }
        for (icalcomponent* c = icalcomponent_get_first_component(e, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(e, ICAL_ANY_COMPONENT)) {
            if (icalcomponent_isa(c) != ICAL_VALARM_COMPONENT) {
                icalcomponent_add_component(built, icalcomponent_new_clone(c));
            }
        }
        return;
    }
}

}  // namespace

bool ReadCalDavResource(const std::string& ics, const std::string& href,
                        std::vector<PrimitiveEvent>& out) {
    InitializeLibical();
    std::vector<RawEvent> raws;
    std::string zones;
    {
        std::lock_guard<std::mutex> lock(LibicalMutex());
        ComponentPtr root(icalparser_parse_string(ics.c_str()));
        if (!root) {
            return false;
        }
        icalcomponent* calendar = root.get();
        for (icalcomponent* z =
                 icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT);
             z; z = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
            char* text = icalcomponent_as_ical_string_r(z);
            if (text) {
                zones += text;
                free(text);
            }
        }
        if (icalcomponent_isa(calendar) == ICAL_VEVENT_COMPONENT) {
            raws.push_back(TakeEvent(calendar));
        }
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
             e; e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            raws.push_back(TakeEvent(e));
        }
    }
    std::vector<PrimitiveEvent> events;
    for (const RawEvent& r : raws) {
        PrimitiveEvent e;
        e.uid = r.uid;
        e.editURI = href;
        e.title = r.summary;
        e.content = r.description;
        e.place = r.location;
        e.eventStatus = StatusOf(r.status);
        e.transparency = r.transp == "TRANSPARENT" ? TRANSPARENCY_TRANSPARENT : TRANSPARENCY_OPAQUE;
        e.visibility = VisibilityOf(r.klass);
        e.sequence = r.sequence;
        e.isSynced = true;
        e.reminders = r.reminders;
        const std::string times = Unfolded(r.timeLines) + zones;
        if (!ReadSeriesTimes(times, e.startTime, e.endTime)) {
            continue;  // no DTSTART: nothing to show
        }
        if (!r.recurrenceIdLine.empty()) {
            e.recurrenceType = RECURRENCE_EXCEPTION;
            e.id = href + "#" + r.recurrenceIdValue;
            e.originalEvent = href;
            std::string line = Unfolded(r.recurrenceIdLine);
            line.replace(0, std::string("RECURRENCE-ID").size(), "DTSTART");
            std::string ignored;
            ReadSeriesTimes(line + zones, e.originalStartTime, ignored);
        } else if (!r.ruleLines.empty()) {
            e.recurrenceType = RECURRENCE_ORIGINAL;
            e.id = href;
            e.recurrence = Unfolded(r.timeLines + r.ruleLines) + zones;
            e.xml = ics;
        } else {
            e.recurrenceType = RECURRENCE_NONE;
            e.id = href;
            e.xml = ics;
        }
        events.push_back(std::move(e));
    }
    if (events.empty()) {
        return false;
    }
    // The master or single event first.
    std::stable_partition(events.begin(), events.end(), [](const PrimitiveEvent& e) {
        return e.recurrenceType != RECURRENCE_EXCEPTION;
    });
    for (auto& e : events) {
        out.push_back(std::move(e));
    }
    return true;
}

std::string WriteCalDavResource(const PrimitiveEvent& main,
                                const std::vector<PrimitiveEvent>& exceptions) {
    InitializeLibical();
    std::lock_guard<std::mutex> lock(LibicalMutex());
    ComponentPtr calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Daymark//CalDAV//JA"));
    // The resource as the server last sent it, whose other properties stay.
    ComponentPtr original(main.xml.empty() ? nullptr : icalparser_parse_string(main.xml.c_str()));
    auto add = [&](const PrimitiveEvent& e) {
        icalcomponent* built = BuildEvent(e, calendar.get(), main.uid);
        KeepForeignParts(built, original.get());
        icalcomponent_add_component(calendar.get(), built);
    };
    add(main);
    for (const PrimitiveEvent& e : exceptions) {
        add(e);
    }
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    std::string out = text ? text : "";
    free(text);
    return out;
}

}  // namespace googledata
