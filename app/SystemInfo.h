// The block of system information lines that start-up writes to the log:
// processor, memory, operating system, displays, time zone and locales, in
// that order and in the log's fixed formats, filled from Linux sources
// (/proc/cpuinfo, /proc/meminfo, uname, /etc/os-release, the C library's
// zone data, the locale environment). Pure reads; any thread.
#pragma once

#include <string>
#include <vector>

namespace app {

// What the window system tells about the screens (filled by the Qt side).
struct DisplayInfo {
    int monitors = 0;
    int virtualLeft = 0, virtualTop = 0;
    int primaryWidth = 0, primaryHeight = 0;
    int virtualWidth = 0, virtualHeight = 0;
    int workLeft = 0, workTop = 0;
};

std::vector<std::string> SystemInfoLines(const DisplayInfo& display);

// Windows locale id of a POSIX locale name such as "ja_JP.UTF-8" (0 when
// unknown); exposed for tests.
int LocaleIdOf(const std::string& posixLocale);

}  // namespace app
