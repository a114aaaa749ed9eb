// CDaymarkApp: the application object. Owns the Qt application, the
// single-instance lock, the configuration store, the advanced options, the
// maintenance log, the current style and the dispatch window, and knows the
// program's folders. InitInstance runs the start-up (single instance,
// folders, configuration, log, boot count, system information, default
// styles, the style, the dispatch window); Run runs the Qt event loop until
// the dispatch window closes; ExitInstance tears it down in reverse.
//
// One instance, created by main on the user-interface thread; Instance()
// gives it to components of that thread. The log and the configuration store
// it owns may be handed to other threads by pointer.
#pragma once

#include <memory>
#include <string>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "platform/SingleInstance.h"

class QApplication;
namespace Model {
class CCalendarStyleInfo;
}
namespace Controller {
class CDispatchWnd;
class CEndSessionWatcher;
}  // namespace Controller

class CDaymarkApp {
public:
    CDaymarkApp(int& argc, char** argv);
    ~CDaymarkApp();
    CDaymarkApp(const CDaymarkApp&) = delete;
    CDaymarkApp& operator=(const CDaymarkApp&) = delete;

    static CDaymarkApp* Instance();

    // False ends the program at once (another copy runs, or start-up failed).
    bool InitInstance();
    // The event loop; returns when the dispatch window has closed.
    int Run();
    int ExitInstance();

    // Every calendar window refills its holiday and event caches and
    // rebuilds itself. Never throws.
    void UpdateAllCalendarCache();
    // Every calendar window moves to today's month plus its offset and
    // redraws.
    void RedrawAllCalendars();

    const std::string& GetDataFolderPath() const { return dataFolder; }
    const std::string& GetProgramFolderPath() const { return programFolder; }
    const std::string& GetStyleFolder() const { return styleFolder; }
    const std::string& GetImageFolder() const { return imageFolder; }
    Model::CConfigInfo& GetConfig() { return *config; }
    Model::CManiacOption& GetManiac() { return maniac; }
    Utility::CMaintenanceLog& GetLog() { return log; }
    Model::CCalendarStyleInfo* GetStyle() { return style.get(); }
    Controller::CDispatchWnd* GetDispatchWnd() { return dispatch.get(); }

private:
    void CreateFolders();
    void CountBoot(int64_t startTime);
    void WriteSystemInformation();
    void InstallDefaultStyles();
    void LoadStyle();
    bool CreateDispatchWindow();

    int& argc_;
    char** argv_;
    platform::SingleInstanceLock instanceLock;
    std::unique_ptr<QApplication> qtApp;

    std::string dataFolder;
    std::string programFolder;
    std::string styleFolder;
    std::string imageFolder;
    std::unique_ptr<Model::CConfigInfo> config;
    Model::CManiacOption maniac;
    Utility::CMaintenanceLog log;
    std::unique_ptr<Model::CCalendarStyleInfo> style;
    std::unique_ptr<Controller::CDispatchWnd> dispatch;
    std::unique_ptr<Controller::CEndSessionWatcher> endSession;
};
