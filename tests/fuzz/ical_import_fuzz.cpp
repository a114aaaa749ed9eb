// Fuzz target for the iCalendar import (Controller::ParseIcalendar): the
// input is a whole .ics file. Refused or read, it must neither crash nor
// stall, and a refusal says where and why.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "controller/IcalExchange.h"
#include "googledata/PrimitiveEvent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool zoned = [] {
        ::setenv("TZ", "America/New_York", 1);
        ::tzset();
        return true;
    }();
    (void)zoned;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<googledata::PrimitiveEvent> events;
    Controller::IcalProblem problem;
    if (!Controller::ParseIcalendar(bytes, "local://fuzz", events, problem)) {
        if (problem.message.empty()) {
            std::abort();
        }
    }
    return 0;
}
