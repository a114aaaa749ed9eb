// The entry writers: the Atom entry texts the calendar service client sends.
// GenerateEventXML writes a new event (the body of the POST that adds it)
// from a template; GenerateUpdatedEventXML writes a changed event (the body
// of the PUT to its edit URI) by editing the entry the service sent earlier,
// which PrimitiveEvent::xml keeps. Both results are UTF-8 without an XML
// declaration.
//
// Called by the calendar service client on its thread (the second with its
// XmlContext); the first is a pure function any thread may call.
#pragma once

#include <string>

#include "googledata/PrimitiveEvent.h"

namespace googledata {

class XmlContext;

// Always true.
bool GenerateEventXML(const PrimitiveEvent& event, std::string& xml);
// False when the stored entry is empty or unreadable, or lacks one of
// "updated", "title", "author", "gd:eventStatus" and "gd:where"; failures are
// logged through the context's log.
bool GenerateUpdatedEventXML(const PrimitiveEvent& event, XmlContext& context, std::string& xml);

// "&" "<" ">" escaped for the template, and the apostrophe too when the text
// goes into a single-quoted attribute value.
std::string EscapeForTemplate(const std::string& text, bool inAttribute);

}  // namespace googledata
