// Shared by the offscreen user-interface tests: the dispatch window's set-up
// as the application makes it, and a local-mode calendar (the real manager
// over a database file, one calendar window showing it). Header-only; the
// offscreen test programs only, on their UI thread.
#pragma once

#include <string>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/CalendarManager.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "model/CalendarStyleInfo.h"
#include "view/CalendarWnd.h"

namespace testsupport {

// The set-up the application hands its dispatch window: the real manager of
// `dataFolder` and the calendar windows over it, the built program's folder,
// no watch for the machine's sleep. A test adds what it needs before it
// makes the window.
inline Controller::CDispatchWnd::Setup DispatchSetup(Model::CConfigInfo& config,
                                                     Model::CManiacOption& maniac,
                                                     Model::CCalendarStyleInfo& style,
                                                     Utility::CMaintenanceLog& log,
                                                     const std::string& dataFolder) {
    Controller::CDispatchWnd::Setup setup;
    setup.config = &config;
    setup.maniac = &maniac;
    setup.log = &log;
    setup.dataFolder = dataFolder;
    setup.programFolder = std::string(DAYMARK_BINARY_DIR) + "/bin";
    setup.manager = Controller::MakeDispatchManager(config.GetPath(), dataFolder);
    setup.windows = Controller::MakeCalendarWindows(*setup.manager, config, maniac, &style, &log);
    setup.watchSleep = false;
    return setup;
}

// The local-mode manager of `folder` (its database made) and calendar
// window 1 at (20, 30) showing the current month from it.
class LocalCalendar {
public:
    LocalCalendar(const std::string& folder, Model::CConfigInfo* config)
        : manager(folder + "/config.ini", folder),
          source(Opened(manager)),
          wnd(1, 20, 30, 0, Context(config)) {}

    Controller::CCalendarManager manager;
    CCalendarWndManagerSource source;
    Model::CCalendarStyleInfo style;
    CCalendarWnd wnd;

private:
    static Controller::CCalendarManager& Opened(Controller::CCalendarManager& m) {
        m.Initialize(L"local", L"", nullptr);
        m.CreateLocalDB(L"https://example.invalid/holidays/public/full");
        return m;
    }
    CalendarWndContext Context(Model::CConfigInfo* config) {
        CalendarWndContext context;
        context.source = &source;
        context.config = config;
        context.style = &style;
        return context;
    }
};

}  // namespace testsupport
