#include "googledata/EntryWriter.h"

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "app/MaintenanceLog.h"
#include "googledata/GDataNames.h"
#include "googledata/ProtocolNumbers.h"
#include "googledata/XercesSupport.h"

namespace googledata {
namespace {

using namespace xercesc;

const char* StatusText(int status) {
    switch (status) {
        case EVENT_STATUS_TENTATIVE:
            return "event.tentative";
        case EVENT_STATUS_CANCELED:
            return "event.canceled";
        default:
            return "event.confirmed";
    }
}

const char* TransparencyText(int transparency) {
    return transparency == TRANSPARENCY_TRANSPARENT ? "event.transparent" : "event.opaque";
}

const char* VisibilityText(int visibility) {
    switch (visibility) {
        case VISIBILITY_CONFIDENTIAL:
            return "event.confidential";
        case VISIBILITY_PRIVATE:
            return "event.private";
        case VISIBILITY_PUBLIC:
            return "event.public";
        default:
            return "event.default";
    }
}

const char* FlagText(int flags, int bit) {
    return (flags & bit) ? "true" : "false";
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
            // A reader turns a CR (and CRLF) into LF everywhere, and a TAB
            // or LF into a blank inside an attribute value: as references
            // they reach the service unchanged.
            case '\r':
                out += "&#xD;";
                break;
            case '\n':
                out += inAttribute ? "&#xA;" : "\n";
                break;
            case '\t':
                out += inAttribute ? "&#x9;" : "\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool IsXmlText(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        uint32_t c = 0;
        int length = 0;
        uint32_t least = 0;  // smallest code point of that length (no overlong forms)
        if (lead < 0x80) {
            c = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            length = 2;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            length = 3;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            length = 4;
            least = 0x10000;
        } else {
            return false;
        }
        if (end - p < length) {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (p[i] & 0x3F);
        }
        if (c < least) {
            return false;
        }
        // XML 1.0 Char: TAB, LF, CR, U+0020-U+D7FF, U+E000-U+FFFD,
        // U+10000-U+10FFFF (which excludes the surrogates).
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!allowed) {
            return false;
        }
        p += length;
    }
    return true;
}

const char* FindUnsendableField(const PrimitiveEvent& event) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"title", &event.title},
        {"content", &event.content},
        {"place", &event.place},
        {"recurrence", &event.recurrence},
        {"author_name", &event.author_name},
        {"author_email", &event.author_email},
        {"id", &event.id},
        {"updated", &event.updated},
        {"startTime", &event.startTime},
        {"endTime", &event.endTime},
    };
    for (const auto& [name, text] : fields) {
        if (!IsXmlText(*text)) {
            return name;
        }
    }
    for (const auto& reminder : event.reminders) {
        if (!IsXmlText(reminder.method)) {
            return "reminder";
        }
    }
    return nullptr;
}

bool GenerateEventXML(const PrimitiveEvent& event, std::string& xml) {
    if (FindUnsendableField(event)) {
        return false;
    }
    // Every value is placed once, in order, and never scanned again: a title
    // that holds text looking like a template marker stays as it is.
    auto text = [](const std::string& value) { return EscapeForTemplate(value, false); };
    auto attribute = [](const std::string& value) { return EscapeForTemplate(value, true); };
    const std::string gd = kGDataNamespace;
    std::string out = std::string("<entry xmlns='") + kAtomNamespace + "' xmlns:gd='" + gd +
                      "' xmlns:gCal='" + kGCalNamespace + "'>";
    out += "<category scheme='" + gd + "#kind' term='" + gd + "#event' />";
    out += "<id>" + text(event.id) + "</id>";
    out += "<title type='text'>" + text(event.title) + "</title>";
    out += "<content type='text'>" + text(event.content) + "</content>";
    out += "<gd:transparency value='" + gd + "#" + TransparencyText(event.transparency) + "'/>";
    out += "<gd:eventStatus value='" + gd + "#" + StatusText(event.eventStatus) + "'/>";
    out += "<gd:where valueString='" + attribute(event.place) + "'/>";
    out += std::string("<gCal:guestsCanInviteOthers value='") +
           FlagText(event.flags, kGuestCanInviteOthers) + "'/>";
    out += std::string("<gCal:guestsCanModify value='") + FlagText(event.flags, kGuestCanModify) +
           "'/>";
    out += std::string("<gCal:guestsCanSeeGuests value='") +
           FlagText(event.flags, kGuestCanSeeGuests) + "'/>";
    out += std::string("<gCal:anyoneCanAddSelf value='") +
           FlagText(event.flags, kGuestAnyoneCanAddSelf) + "'/>";
    std::string reminders;
    for (const auto& reminder : event.reminders) {
        if (reminder.method == "all") {
            reminders += "<gd:reminder />";
        } else {
            char minutes[16];
            std::snprintf(minutes, sizeof minutes, "%d", reminder.minutesBeforeAlarm);
            reminders += "<gd:reminder method='" + attribute(reminder.method) + "' minutes='" +
                         minutes + "' />";
        }
    }
    if (event.recurrence.empty()) {
        out += "<gd:when startTime='" + attribute(event.startTime) + "' endTime='" +
               attribute(event.endTime) + "'>" + reminders + "</gd:when></entry>";
    } else {
        // A series (made here, or imported) goes up as one: its rule text in
        // place of gd:when, which holds its first occurrence's times, and
        // its reminders in the entry, as the service sends a series.
        out += "<gd:recurrence>" + text(event.recurrence) + "</gd:recurrence>" + reminders +
               "</entry>";
    }
    xml = std::move(out);
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
    if (const char* field = FindUnsendableField(event)) {
        logError(std::string(who) + ": the event's " + field +
                 " holds characters that XML 1.0 cannot carry");
        return false;
    }
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
                const int bit = NameIs(e, "gCal:anyoneCanAddSelf")        ? kGuestAnyoneCanAddSelf
                                : NameIs(e, "gCal:guestsCanInviteOthers") ? kGuestCanInviteOthers
                                : NameIs(e, "gCal:guestsCanModify")       ? kGuestCanModify
                                                                          : kGuestCanSeeGuests;
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
