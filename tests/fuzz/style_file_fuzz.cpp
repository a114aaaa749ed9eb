// Fuzz target for the style loader: the input is a style file. The strict
// check and the load must neither crash nor stall, and whatever a load keeps
// must still be a style a window can be drawn with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzsupport::ScratchFile file(".style");
    const std::wstring path = platform::Utf8ToWide(file.Write(data, size));

    Model::CCalendarStyleInfo::CheckFile(path);
    Model::CCalendarStyleInfo style;
    style.Load(path);
    if (!style.IsPlausible()) {
        std::abort();
    }
    return 0;
}
