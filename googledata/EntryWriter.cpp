#include "googledata/EntryWriter.h"

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include <cstdio>
#include <new>
#include <vector>

#include "app/MaintenanceLog.h"
#include "googledata/GDataNames.h"
#include "googledata/XercesSupport.h"

namespace googledata {
namespace {

using namespace xercesc;

const char* StatusText(int status) {
    switch (status) {
        case 1:
            return "event.tentative";
        case 3:
            return "event.canceled";
        default:
            return "event.confirmed";
    }
}

const char* TransparencyText(int transparency) {
    return transparency == 2 ? "event.transparent" : "event.opaque";
}

const char* VisibilityText(int visibility) {
    switch (visibility) {
        case 1:
            return "event.confidential";
        case 3:
            return "event.private";
        case 4:
            return "event.public";
        default:
            return "event.default";
    }
}

const char* FlagText(int flags, int bit) {
    return (flags & bit) ? "true" : "false";
}

// Replaces every `marker` in `text`, continuing after each inserted value.
void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size())) {
        text.replace(at, marker.size(), value);
    }
}

// Turns "&quot;" back into a double quote in element text. Inside tags
// (attribute values) it stays, so the result remains well-formed.
std::string UnquoteElementText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool inTag = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inTag) {
            if (quote) {
                if (c == quote) {
                    quote = 0;
                }
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                inTag = false;
            }
        } else if (c == '<') {
            inTag = true;
        } else if (c == '&' && text.compare(i, 6, "&quot;") == 0) {
            out += '"';
            i += 5;
            continue;
        }
        out += c;
    }
    return out;
}

void SetText(DOMElement* element, const std::string& text) {
    const std::u16string value = ToXml(text);
    element->setTextContent(value.c_str());
}

DOMElement* NewReminder(DOMDocument* document, const std::string& method, int minutes,
                        bool withMinutes) {
    static const XMLCh kReminder[] = u"gd:reminder";
    DOMElement* reminder = document->createElement(kReminder);
    SetAttr(reminder, "method", method);
    if (withMinutes) {
        SetAttr(reminder, "minutes", std::to_string(minutes));
    }
    return reminder;
}

}  // namespace

std::string EscapeForTemplate(const std::string& text, bool inAttribute) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '\'':
                out += inAttribute ? "&apos;" : "'";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool GenerateEventXML(const PrimitiveEvent& event, std::string& xml) {
    const std::string gd = kGDataNamespace;
    std::string text =
        std::string("<entry xmlns='") + kAtomNamespace + "' xmlns:gd='" + gd + "' xmlns:gCal='" +
        kGCalNamespace + "'>" + "<category scheme='" + gd + "#kind' term='" + gd + "#event' />" +
        "<id>[@ID]</id><title type='text'>[@0]</title><content "
        "type='text'>[@1]</content>" +
        "<gd:transparency value='" + gd + "#[@2]'/><gd:eventStatus value='" + gd + "#[@3]'/>" +
        "<gd:where valueString='[@4]'/><gCal:guestsCanInviteOthers "
        "value='[@5]'/><gCal:guestsCanModify value='[@6]'/><gCal:guestsCanSeeGuests "
        "value='[@7]'/><gCal:anyoneCanAddSelf value='[@8]'/>";
    ReplaceAll(text, "[@ID]", event.id);
    ReplaceAll(text, "[@0]", EscapeForTemplate(event.title, false));
    ReplaceAll(text, "[@1]", EscapeForTemplate(event.content, false));
    ReplaceAll(text, "[@2]", TransparencyText(event.transparency));
    ReplaceAll(text, "[@3]", StatusText(event.eventStatus));
    ReplaceAll(text, "[@4]", EscapeForTemplate(event.place, true));
    ReplaceAll(text, "[@5]", FlagText(event.flags, 2));
    ReplaceAll(text, "[@6]", FlagText(event.flags, 4));
    ReplaceAll(text, "[@7]", FlagText(event.flags, 8));
    ReplaceAll(text, "[@8]", FlagText(event.flags, 1));
    text += "<gd:when startTime='" + event.startTime + "' endTime='" + event.endTime + "'>";
    for (const auto& reminder : event.reminders) {
        if (reminder.method == "all") {
            text += "<gd:reminder />";
        } else {
            char minutes[16];
            std::snprintf(minutes, sizeof minutes, "%d", reminder.minutesBeforeAlarm);
            text += "<gd:reminder method='" + reminder.method + "' minutes='" + minutes + "' />";
        }
    }
    text += "</gd:when></entry>";
    xml = std::move(text);
    return true;
}

bool GenerateUpdatedEventXML(const PrimitiveEvent& event, XmlContext& context, std::string& xml) {
    Utility::CMaintenanceLog* log = context.Log();
    auto logError = [log](const std::string& text) {
        if (log) {
            log->Write(Utility::kLogError, text);
        }
    };
    const char* who = "GenerateUpdatedEventXML";
    try {
        // The stored text declares UTF-16 but holds UTF-8 bytes: read it as
        // what it is.
        DOMElement* entry =
            ParseBuffer(context, event.xml.data(), event.xml.size(), true, "entry", who);
        if (!entry) {
            return false;
        }
        DOMDocument* document = entry->getOwnerDocument();
        SetAttr(entry, "xmlns", kAtomNamespace);
        SetAttr(entry, "xmlns:gd", kGDataNamespace);
        SetAttr(entry, "xmlns:gCal", kGCalNamespace);
        const std::string gd = kGDataNamespace;

        int counted = 0;
        DOMNode* next = nullptr;
        for (DOMNode* n = entry->getFirstChild(); n; n = next) {
            next = n->getNextSibling();  // taken first: n may be removed below
            if (n->getNodeType() != DOMNode::ELEMENT_NODE) {
                continue;
            }
            auto* e = static_cast<DOMElement*>(n);
            if (NameIs(e, "updated")) {
                SetText(e, event.updated);
                ++counted;
            } else if (NameIs(e, "title")) {
                SetText(e, event.title);
                ++counted;
            } else if (NameIs(e, "author")) {
                if (DOMElement* name = ChildElement(e, "name")) {
                    SetText(name, event.author_name);
                }
                if (DOMElement* email = ChildElement(e, "email")) {
                    SetText(email, event.author_email);
                }
                ++counted;
            } else if (NameIs(e, "content")) {
                SetText(e, event.content);
            } else if (NameIs(e, "gd:eventStatus")) {
                if (HasAttr(e, u"value")) {
                    SetAttr(e, "value", gd + "#" + StatusText(event.eventStatus));
                }
                ++counted;
            } else if (NameIs(e, "gd:where")) {
                if (HasAttr(e, u"valueString")) {
                    SetAttr(e, "valueString", event.place);
                }
                ++counted;
            } else if (NameIs(e, "gd:when")) {
                if (HasAttr(e, u"startTime")) {
                    SetAttr(e, "startTime", event.startTime);
                }
                if (HasAttr(e, u"endTime")) {
                    SetAttr(e, "endTime", event.endTime);
                }
                while (DOMNode* last = e->getLastChild()) {
                    e->removeChild(last)->release();
                }
                if (event.reminders.empty()) {
                    e->appendChild(NewReminder(document, "none", 0, false));
                } else {
                    for (const auto& r : event.reminders) {
                        e->appendChild(NewReminder(document, r.method, r.minutesBeforeAlarm, true));
                    }
                }
            } else if (NameIs(e, "gd:transparency")) {
                if (HasAttr(e, u"value")) {
                    SetAttr(e, "value", gd + "#" + TransparencyText(event.transparency));
                }
            } else if (NameIs(e, "gd:visibility")) {
                if (HasAttr(e, u"value")) {
                    SetAttr(e, "value", gd + "#" + VisibilityText(event.visibility));
                }
            } else if (NameIs(e, "gCal:anyoneCanAddSelf") ||
                       NameIs(e, "gCal:guestsCanInviteOthers") ||
                       NameIs(e, "gCal:guestsCanModify") || NameIs(e, "gCal:guestsCanSeeGuests")) {
                const int bit = NameIs(e, "gCal:anyoneCanAddSelf")        ? 1
                                : NameIs(e, "gCal:guestsCanInviteOthers") ? 2
                                : NameIs(e, "gCal:guestsCanModify")       ? 4
                                                                          : 8;
                if (HasAttr(e, u"value")) {
                    SetAttr(e, "value", FlagText(event.flags, bit));
                }
            } else if (NameIs(e, "gCal:sequence")) {
                if (HasAttr(e, u"value")) {
                    SetAttr(e, "value", std::to_string(event.sequence));
                }
            } else if (NameIs(e, "gd:recurrence")) {
                SetText(e, event.recurrence);
            } else if (NameIs(e, "app:edited") || NameIs(e, "gd:reminder")) {
                entry->removeChild(e)->release();
            }
        }
        if (!event.recurrence.empty()) {
            // A series has no gd:when; its reminders stand in the entry.
            for (const auto& r : event.reminders) {
                entry->appendChild(NewReminder(document, r.method, r.minutesBeforeAlarm, true));
            }
        }
        if (counted < 5) {
            logError(std::string(who) + ": the stored entry lacks required elements");
            return false;
        }
        const std::string text = Serialize(context, entry);
        const auto at = text.find("<entry");
        if (at == std::string::npos) {
            return false;
        }
        xml = UnquoteElementText(text.substr(at));
        return true;
    } catch (const OutOfMemoryException&) {
        logError("GenerateUpdatedEventXML memory exception");
    } catch (const std::bad_alloc&) {
        logError("GenerateUpdatedEventXML memory exception");
    } catch (const XMLException& e) {
        logError("GenerateUpdatedEventXML xml exception:" + ToUtf8(e.getMessage()));
    } catch (const DOMException& e) {
        logError("GenerateUpdatedEventXML dom exception:" + ToUtf8(e.getMessage()));
    } catch (...) {
        logError("GenerateUpdatedEventXML exception: other");
    }
    return false;
}

}  // namespace googledata
