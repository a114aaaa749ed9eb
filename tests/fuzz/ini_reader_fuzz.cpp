// Fuzz target for the INI reader: the input is an INI file. Reading keys must
// neither crash nor stall; a value written to a key must read back as
// written, and writing must keep the file readable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Profile.h"
#include "tests/fuzz/FuzzFile.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzsupport::ScratchFile file(".ini");
    const std::string& path = file.Write(data, size);

    // Names the seeds use, in other cases, and one no file has.
    for (const char* section : {"Config", "config", "DISPLAY", "none"}) {
        for (const char* key : {"mode", "Server", "font", "x"}) {
            platform::GetPrivateProfileInt(section, key, -7, path);
            platform::GetPrivateProfileStringUtf8(section, key, "default", 256, path);
            platform::GetPrivateProfileString(section, key, L"default", 8, path);
        }
    }
    // Names outside the file's control, so that the file cannot make an
    // earlier line of the same name win.
    Check(platform::WritePrivateProfileString("Fuzz Section", "fuzz.key", "written", path));
    Check(platform::GetPrivateProfileStringUtf8("Fuzz Section", "fuzz.key", "", 256, path) ==
          "written");
    return 0;
}
