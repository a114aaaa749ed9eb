// The daymark program: start-up, the event loop and shutdown of the
// application object.
#include <cstdlib>

#include "app/qt/DaymarkApp.h"
#include "controller/Icalendar.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
    platform::PinLocalZone();
    CIcalendar::Initialize();  // libical's zone table, before any other thread
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
