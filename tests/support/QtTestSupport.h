// The offscreen test programs' Qt basics: their one application object and
// the pump that delivers what is posted. Header-only; UI thread only.
#pragma once

#include <errno.h>

#include <QApplication>
#include <QCoreApplication>

namespace testsupport {

// The program's QApplication, made on first use (named after the test
// program) and never destroyed, so that the windows of any test may outlive
// the test that made them.
inline QApplication& App() {
    static int argc = 1;
    static char* argv[] = {program_invocation_short_name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Delivers what is posted, and what the handlers post in turn.
inline void Pump() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace testsupport
