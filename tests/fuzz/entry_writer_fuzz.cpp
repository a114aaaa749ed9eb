// Fuzz target for the entry writers: the input is split at its first two NUL
// bytes into a title, a description and a place. Text that XML 1.0 can carry
// must come back unchanged from both writers through the feed reader; any
// other text must be refused by both. A difference aborts (a finding).
// Built like atom_reader_fuzz.cpp (tests/fuzz/README.md).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "googledata/AtomReader.h"
#include "googledata/EntryWriter.h"
#include "googledata/XmlContext.h"

namespace {

// A stored entry as the service sends it, with the elements the reader counts.
const char* const kStored =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
    "<entry><id>http://www.google.com/calendar/feeds/default/events/e1</id>"
    "<published>2026-01-01T00:00:00.000Z</published><updated>2026-01-01T00:00:00.000Z</updated>"
    "<title type=\"text\">t</title><content type=\"text\">c</content>"
    "<author><name>n</name><email>n@example.com</email></author>"
    "<gd:eventStatus value=\"http://schemas.google.com/g/2005#event.confirmed\"/>"
    "<gd:where valueString=\"p\"/><gCal:uid value=\"e1@google.com\"/>"
    "<gd:when startTime=\"2026-01-01T09:00:00.000+09:00\" "
    "endTime=\"2026-01-01T10:00:00.000+09:00\"/></entry>";

const char* const kServiceElements =
    "<gCal:uid value='u'/><published>p</published><updated>u</updated>"
    "<author><name>n</name></author>";

googledata::PrimitiveEvent ReadOne(googledata::XmlContext& xml, const std::string& entry) {
    std::vector<googledata::PrimitiveEvent> events;
    std::string next;
    if (!googledata::ParseEvents(xml, "<feed>" + entry + "</feed>", events, next) ||
        events.size() != 1) {
        std::abort();
    }
    return events[0];
}

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static googledata::XmlContext xml(nullptr);
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t first = input.find('\0');
    const size_t second = first == std::string::npos ? first : input.find('\0', first + 1);
    googledata::PrimitiveEvent e;
    e.xml = kStored;
    e.updated = "2026-01-01T00:00:00.000Z";
    e.startTime = "2026-01-01T09:00:00.000+09:00";
    e.endTime = "2026-01-01T10:00:00.000+09:00";
    e.title = input.substr(0, first);
    if (first != std::string::npos) {
        e.content =
            input.substr(first + 1, second == std::string::npos ? second : second - first - 1);
    }
    if (second != std::string::npos) {
        e.place = input.substr(second + 1);
    }
    const bool sendable = googledata::IsXmlText(e.title) && googledata::IsXmlText(e.content) &&
                          googledata::IsXmlText(e.place);

    std::string added;
    Check(googledata::GenerateEventXML(e, added) == sendable);
    std::string updated;
    Check(googledata::GenerateUpdatedEventXML(e, xml, updated) == sendable);
    if (!sendable) {
        return 0;
    }
    std::string complete = added;
    complete.insert(complete.rfind("</entry>"), kServiceElements);
    for (const std::string& entry : {complete, updated}) {
        const googledata::PrimitiveEvent back = ReadOne(xml, entry);
        Check(back.title == e.title && back.content == e.content && back.place == e.place);
    }
    return 0;
}
