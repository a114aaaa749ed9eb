// The daymark program: start-up, the event loop and shutdown of the
// application object.
#include "app/qt/DaymarkApp.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
    platform::PinLocalZone();
    CDaymarkApp app(argc, argv);
    int result = 0;
    if (app.InitInstance()) {
        result = app.Run();
    }
    const int exitResult = app.ExitInstance();
    return result != 0 ? result : exitResult;
}
