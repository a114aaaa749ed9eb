// Fuzz target for the one-line parser of the event registration window
// (Model::ParseInput): the input is the typed line, as UTF-8. The times it
// returns must be times of the day, and an accepted range must not end before
// it starts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/EventInput.h"
#include "platform/TextConv.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring line =
        platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    const Model::ParsedInput parsed = Model::ParseInput(line);
    if (parsed.error || !parsed.hasTime) {
        Check(!parsed.hasTime);
        return 0;
    }
    Check(parsed.startHour >= 0 && parsed.startHour <= 23);
    Check(parsed.endHour >= 0 && parsed.endHour <= 23);
    Check(parsed.startMinute >= 0 && parsed.startMinute <= 59);
    Check(parsed.endMinute >= 0 && parsed.endMinute <= 59);
    Check(parsed.startHour * 60 + parsed.startMinute <= parsed.endHour * 60 + parsed.endMinute);
    Check(parsed.title.size() <= line.size());
    return 0;
}
