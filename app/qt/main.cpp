// The daymark program: the command line (--agenda, --help), else start-up,
// the event loop and shutdown of the application object.
#include <cstdlib>
#include <iostream>

#include "app/qt/DaymarkApp.h"
#include "controller/Agenda.h"
#include "controller/Icalendar.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
    platform::PinLocalZone();
    CIcalendar::Initialize();  // libical's zone table, before any other thread
    // The command line is answered before any Qt object or the single-instance
    // lock exists: the agenda starts fast and works while Daymark runs.
    if (const auto status = Controller::RunCommandLine(argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    // Wayland clients cannot place their own windows on the desktop: in a
    // Wayland session the calendar windows go through XWayland.
    if (std::getenv("WAYLAND_DISPLAY") != nullptr && std::getenv("DISPLAY") != nullptr &&
        std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    CDaymarkApp app(argc, argv);
    int result = 0;
    if (app.InitInstance()) {
        result = app.Run();
    }
    const int exitResult = app.ExitInstance();
    return result != 0 ? result : exitResult;
}
