// Fuzz target for the feed readers and the entry writer's reading of a stored
// entry: every input goes through ParseEvents, ParseCalendars, ParseHolidays
// and GenerateUpdatedEventXML. Any crash, sanitizer report, stall or memory
// blow-up is a fault. Built with libFuzzer (LLVMFuzzerTestOneInput), or with
// StandaloneMain.cpp to replay files (the seed corpus in corpus/).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "googledata/AtomReader.h"
#include "googledata/EntryWriter.h"
#include "googledata/XmlContext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static googledata::XmlContext xml(nullptr);
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::vector<googledata::PrimitiveEvent> events;
    std::string next;
    int startIndex = 0;
    int totalResults = 0;
    googledata::ParseEvents(xml, input, events, next, &startIndex, &totalResults);
    std::vector<googledata::PrimitiveCalendar> calendars;
    googledata::ParseCalendars(xml, input, calendars);
    std::vector<googledata::PrimitiveHoliday> holidays;
    googledata::ParseHolidays(xml, input, holidays);

    googledata::PrimitiveEvent stored;
    stored.xml = input;
    stored.title = "title";
    std::string body;
    googledata::GenerateUpdatedEventXML(stored, xml, body);
    return 0;
}
