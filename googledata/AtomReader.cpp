#include "googledata/AtomReader.h"

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/MaintenanceLog.h"
#include "googledata/GDataNames.h"
#include "googledata/ICalendarText.h"
#include "googledata/ProtocolNumbers.h"
#include "googledata/XercesSupport.h"

namespace googledata {
namespace {

using namespace xercesc;

// A decimal number the way strtol reads it: leading blanks and a sign
// allowed, reading stops at the first non-digit; 0 when there is none.
int ToInt(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

EventStatus StatusFromUri(const std::string& value) {
    if (value == kEventCanceled) {
        return EVENT_STATUS_CANCELED;
    }
    if (value == kEventConfirmed) {
        return EVENT_STATUS_CONFIRMED;
    }
    if (value == kEventTentative) {
        return EVENT_STATUS_TENTATIVE;
    }
    return EVENT_STATUS_INVALID;
}

Transparency TransparencyFromUri(const std::string& value) {
    if (value == kEventOpaque) {
        return TRANSPARENCY_OPAQUE;
    }
    if (value == kEventTransparent) {
        return TRANSPARENCY_TRANSPARENT;
    }
    return TRANSPARENCY_INVALID;
}

Visibility VisibilityFromUri(const std::string& value) {
    if (value == kEventConfidential) {
        return VISIBILITY_CONFIDENTIAL;
    }
    if (value == kEventDefault) {
        return VISIBILITY_DEFAULT;
    }
    if (value == kEventPrivate) {
        return VISIBILITY_PRIVATE;
    }
    if (value == kEventPublic) {
        return VISIBILITY_PUBLIC;
    }
    return VISIBILITY_INVALID;
}

AccessLevel AccessLevelFromText(const std::string& value) {
    struct Level {
        const char* text;
        AccessLevel level;
    };
    static constexpr Level kLevels[] = {
        {"none", ACCESS_NONE},     {"read", ACCESS_READ},   {"freebusy", ACCESS_FREEBUSY},
        {"editor", ACCESS_EDITOR}, {"owner", ACCESS_OWNER}, {"root", ACCESS_ROOT},
    };
    for (const Level& l : kLevels) {
        if (value == l.text) {
            return l.level;
        }
    }
    return ACCESS_NONE;
}

bool IsElement(const DOMNode* node) {
    return node->getNodeType() == DOMNode::ELEMENT_NODE;
}

PrimitiveReminder ReadReminder(const DOMElement* element) {
    PrimitiveReminder reminder;
    reminder.method = Attr(element, u"method");
    reminder.minutesBeforeAlarm = ToInt(Attr(element, u"minutes"));
    reminder.isAlarmed = false;
    return reminder;
}

// Calendar entry; false when it has too few of the counted elements.
bool ReadCalendar(const DOMElement* entry, PrimitiveCalendar& calendar) {
    int counted = 0;
    for (DOMNode* n = entry->getFirstChild(); n; n = n->getNextSibling()) {
        if (!IsElement(n)) {
            continue;
        }
        auto* e = static_cast<DOMElement*>(n);
        if (NameIs(e, "content")) {
            calendar.calendarURI = Attr(e, u"src");
            ++counted;
        } else if (NameIs(e, "id")) {
            calendar.id = Text(e);
            calendar.isHoliday = calendar.id.find("holiday") != std::string::npos;
        } else if (NameIs(e, "title")) {
            calendar.title = Text(e);
            ++counted;
        } else if (NameIs(e, "summary")) {
            calendar.summary = Text(e);
        } else if (NameIs(e, "author")) {
            calendar.author = Text(ChildElement(e, "name"));
        } else if (NameIs(e, "gCal:accesslevel")) {
            calendar.accesslevel = AccessLevelFromText(Attr(e, u"value"));
            ++counted;
        } else if (NameIs(e, "gCal:color")) {
            calendar.color = ColorFromText(Attr(e, u"value"));
        } else if (NameIs(e, "gCal:selected")) {
            calendar.selected = Attr(e, u"value") == "true";
        } else if (NameIs(e, "gCal:hidden")) {
            calendar.hidden = Attr(e, u"value") == "true";
        } else if (NameIs(e, "gCal:timezone")) {
            calendar.timezone = Attr(e, u"value");
        } else if (NameIs(e, "gd:where")) {
            calendar.place = Attr(e, u"valueString");
        } else if (NameIs(e, "updated")) {
            calendar.updated = Text(e);
            ++counted;
        }
    }
    if (counted < 4) {
        return false;
    }
    if (calendar.accesslevel != ACCESS_NONE) {
        calendar.flags |= kCalendarFlagShowEvents;
    } else {
        calendar.flags &= ~kCalendarFlagShowEvents;
    }
    if (calendar.accesslevel >= ACCESS_EDITOR && calendar.accesslevel <= ACCESS_ROOT) {
        calendar.flags |= kCalendarFlagWriteEvents;
    } else {
        calendar.flags &= ~kCalendarFlagWriteEvents;
    }
    return true;
}

bool ReadHoliday(const DOMElement* entry, PrimitiveHoliday& holiday) {
    int counted = 0;
    for (DOMNode* n = entry->getFirstChild(); n; n = n->getNextSibling()) {
        if (!IsElement(n)) {
            continue;
        }
        auto* e = static_cast<DOMElement*>(n);
        if (NameIs(e, "id")) {
            holiday.id = Text(e);
            ++counted;
        } else if (NameIs(e, "title")) {
            holiday.title = Text(e);
            ++counted;
        } else if (NameIs(e, "gd:when")) {
            holiday.date = Attr(e, u"startTime");
            ++counted;
        } else if (NameIs(e, "gd:eventStatus")) {
            holiday.status = StatusFromUri(Attr(e, u"value"));
            ++counted;
        }
    }
    return counted >= 3;
}

void SetFlag(PrimitiveEvent& event, const DOMElement* e, int bit) {
    if (Attr(e, u"value") == "true") {
        event.flags |= bit;
    }
}

bool ReadEvent(const DOMElement* entry, PrimitiveEvent& event) {
    event.flags = 0;
    int counted = 0;
    for (DOMNode* n = entry->getFirstChild(); n; n = n->getNextSibling()) {
        if (!IsElement(n)) {
            continue;
        }
        auto* e = static_cast<DOMElement*>(n);
        if (NameIs(e, "id")) {
            event.id = Text(e);
            ++counted;
        } else if (NameIs(e, "gCal:uid")) {
            event.uid = Attr(e, u"value");
            ++counted;
        } else if (NameIs(e, "link")) {
            if (Attr(e, u"rel") == "edit") {
                event.editURI = Attr(e, u"href");
            }
        } else if (NameIs(e, "published")) {
            event.published = Text(e);
            ++counted;
        } else if (NameIs(e, "updated")) {
            event.updated = Text(e);
            ++counted;
        } else if (NameIs(e, "title")) {
            event.title = Text(e);
            ++counted;
        } else if (NameIs(e, "author")) {
            event.author_name = Text(ChildElement(e, "name"));
            event.author_email = Text(ChildElement(e, "email"));
            ++counted;
        } else if (NameIs(e, "content")) {
            event.content = Text(e);
        } else if (NameIs(e, "gd:eventStatus")) {
            event.eventStatus = StatusFromUri(Attr(e, u"value"));
            ++counted;
        } else if (NameIs(e, "gd:where")) {
            event.place = Attr(e, u"valueString");
            ++counted;
        } else if (NameIs(e, "gd:when")) {
            if (event.startTime.empty()) {
                event.startTime = Attr(e, u"startTime");
                event.endTime = Attr(e, u"endTime");
                if (event.recurrence.empty()) {
                    for (DOMNode* r = e->getFirstChild(); r; r = r->getNextSibling()) {
                        if (IsElement(r) && NameIs(r, "gd:reminder")) {
                            event.reminders.push_back(ReadReminder(static_cast<DOMElement*>(r)));
                        }
                    }
                }
            }
        } else if (NameIs(e, "gd:transparency")) {
            event.transparency = TransparencyFromUri(Attr(e, u"value"));
        } else if (NameIs(e, "gd:visibility")) {
            event.visibility = VisibilityFromUri(Attr(e, u"value"));
        } else if (NameIs(e, "gCal:anyoneCanAddSelf")) {
            SetFlag(event, e, kGuestAnyoneCanAddSelf);
        } else if (NameIs(e, "gCal:guestsCanInviteOthers")) {
            SetFlag(event, e, kGuestCanInviteOthers);
        } else if (NameIs(e, "gCal:guestsCanModify")) {
            SetFlag(event, e, kGuestCanModify);
        } else if (NameIs(e, "gCal:guestsCanSeeGuests")) {
            SetFlag(event, e, kGuestCanSeeGuests);
        } else if (NameIs(e, "gCal:sequence")) {
            event.sequence = ToInt(Attr(e, u"value"));
        } else if (NameIs(e, "gd:recurrence")) {
            event.recurrence = Text(e);
        } else if (NameIs(e, "gd:originalEvent")) {
            event.originalEvent = Attr(e, u"href");
            if (event.originalEvent.empty()) {
                // Only the series' event id: it names the series as well.
                event.originalEvent = Attr(e, u"id");
            }
            if (const DOMElement* when = ChildElement(e, "gd:when")) {
                event.originalStartTime = Attr(when, u"startTime");
            }
        } else if (NameIs(e, "gd:reminder")) {
            event.reminders.push_back(ReadReminder(e));
        }
    }
    event.recurrenceType = !event.recurrence.empty()      ? RECURRENCE_ORIGINAL
                           : !event.originalEvent.empty() ? RECURRENCE_EXCEPTION
                                                          : RECURRENCE_NONE;
    if (event.recurrenceType == RECURRENCE_ORIGINAL && event.startTime.empty()) {
        // The service sends a series without "gd:when": its own DTSTART and
        // DTEND say when it runs, so the stored series shows its real times.
        ReadSeriesTimes(event.recurrence, event.startTime, event.endTime);
    }
    return counted >= 8;
}

// The frame common to the three readers: parse, walk the root's entries,
// and turn every exception into a logged false.
template <typename EntryFn, typename FeedFn>
bool ReadFeed(XmlContext& context, const std::string& response, const char* who, EntryFn onEntry,
              FeedFn onFeedChild) {
    Utility::CMaintenanceLog* log = context.Log();
    auto logError = [log](const std::string& text) {
        if (log) {
            log->Write(Utility::kLogError, text);
        }
    };
    try {
        DOMElement* root =
            ParseBuffer(context, response.data(), response.size(), false, "feed", who);
        if (!root) {
            return false;
        }
        for (DOMNode* n = root->getFirstChild(); n; n = n->getNextSibling()) {
            if (!IsElement(n)) {
                continue;
            }
            auto* e = static_cast<DOMElement*>(n);
            if (NameIs(e, "entry")) {
                onEntry(e);
            } else {
                onFeedChild(e);
            }
        }
        return true;
    } catch (const OutOfMemoryException&) {
        logError(std::string(who) + " memory exception");
    } catch (const std::bad_alloc&) {
        logError(std::string(who) + " memory exception");
    } catch (const XMLException& e) {
        logError(std::string(who) + " xml exception:" + ToUtf8(e.getMessage()));
    } catch (const DOMException& e) {
        logError(std::string(who) + " dom exception:" + ToUtf8(e.getMessage()));
    } catch (...) {
        logError(std::string(who) + " exception: other");
    }
    return false;
}

}  // namespace

int ColorFromText(const std::string& value) {
    if (value.size() != 7 || value[0] != '#') {
        return 0xFFFFFF;
    }
    auto part = [&value](size_t at) {
        const std::string two = value.substr(at, 2);
        return static_cast<int>(std::strtol(two.c_str(), nullptr, 16)) & 0xFF;
    };
    return part(1) | (part(3) << 8) | (part(5) << 16);
}

bool ParseCalendars(XmlContext& context, const std::string& response,
                    std::vector<PrimitiveCalendar>& calendars) {
    calendars.clear();
    return ReadFeed(
        context, response, "ParseCalendars",
        [&](const DOMElement* entry) {
            PrimitiveCalendar calendar;
            if (ReadCalendar(entry, calendar)) {
                calendars.push_back(std::move(calendar));
            }
        },
        [](const DOMElement*) {});
}

bool ParseHolidays(XmlContext& context, const std::string& response,
                   std::vector<PrimitiveHoliday>& holidays) {
    holidays.clear();
    return ReadFeed(
        context, response, "ParseHolidays",
        [&](const DOMElement* entry) {
            PrimitiveHoliday holiday;
            if (ReadHoliday(entry, holiday)) {
                holidays.push_back(std::move(holiday));
            }
        },
        [](const DOMElement*) {});
}

bool ParseEvents(XmlContext& context, const std::string& response,
                 std::vector<PrimitiveEvent>& events, std::string& nextLink, int* startIndex,
                 int* totalResults, std::string* feedUpdated) {
    events.clear();
    return ReadFeed(
        context, response, "ParseEvents",
        [&](const DOMElement* entry) {
            PrimitiveEvent event;
            if (ReadEvent(entry, event)) {
                event.xml =
                    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + Serialize(context, entry);
                events.push_back(std::move(event));
            }
        },
        [&](const DOMElement* e) {
            if (NameIs(e, "link")) {
                if (Attr(e, u"rel") == "next") {
                    nextLink = Attr(e, u"href");
                }
            } else if (NameIs(e, "openSearch:startIndex")) {
                if (startIndex) {
                    *startIndex = ToInt(Text(e));
                }
            } else if (NameIs(e, "openSearch:totalResults")) {
                if (totalResults) {
                    *totalResults = ToInt(Text(e));
                }
            } else if (NameIs(e, "updated")) {
                if (feedUpdated) {
                    *feedUpdated = Text(e);
                }
            }
        });
}

}  // namespace googledata
