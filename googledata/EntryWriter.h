// The entry writers: the Atom entry texts the calendar service client sends.
// GenerateEventXML writes a new event (the body of the POST that adds it)
// from a template; GenerateUpdatedEventXML writes a changed event (the body
// of the PUT to its edit URI) by editing the entry the service sent earlier,
// which PrimitiveEvent::xml keeps. Both results are UTF-8 without an XML
// declaration. Neither sends text that XML 1.0 cannot carry (a control
// character, a broken UTF-8 sequence): such an event is refused.
//
// Called by the calendar service client on its thread (the second with its
// XmlContext); the first is a pure function any thread may call.
#pragma once

#include <string>

#include "googledata/PrimitiveEvent.h"

namespace googledata {

class XmlContext;

// Each value is written once, escaped, where the template has it. False (and
// `xml` unchanged) when FindUnsendableField names a field: such an event
// cannot be sent at all.
bool GenerateEventXML(const PrimitiveEvent& event, std::string& xml);
// False when a field cannot be sent (FindUnsendableField), or the stored
// entry is empty or unreadable, or lacks one of "updated", "title",
// "author", "gd:eventStatus" and "gd:where"; failures are logged through the
// context's log.
bool GenerateUpdatedEventXML(const PrimitiveEvent& event, XmlContext& context, std::string& xml);

// "&" "<" ">" escaped for the template, and CR as a reference (a reader
// turns it into LF). In a single-quoted attribute value also the apostrophe,
// and TAB and LF as references (a reader turns them into blanks).
std::string EscapeForTemplate(const std::string& text, bool inAttribute);

// True when `text` is valid UTF-8 and every character of it is one that
// XML 1.0 allows (no control characters but TAB, LF and CR, no U+FFFE or
// U+FFFF, no surrogates).
bool IsXmlText(const std::string& text);
// The name of the first field the writers would send ("title", "content",
// "place", ...) whose text is not IsXmlText, or null when all can be sent.
const char* FindUnsendableField(const PrimitiveEvent& event);

}  // namespace googledata
