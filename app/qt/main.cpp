// The daymark program: start-up and shutdown of the application object.
#include "app/qt/DaymarkApp.h"

int main(int argc, char** argv) {
    CDaymarkApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();
}
