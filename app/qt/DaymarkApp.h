// CDaymarkApp: the application object. Owns the Qt application, the
// single-instance lock, the configuration store, the advanced options and the
// maintenance log, and knows the program's folders. InitInstance runs the
// start-up (single instance, folders, configuration, log, boot count, system
// information, default styles); ExitInstance tears it down.
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

class CDaymarkApp {
public:
    CDaymarkApp(int& argc, char** argv);
    ~CDaymarkApp();
    CDaymarkApp(const CDaymarkApp&) = delete;
    CDaymarkApp& operator=(const CDaymarkApp&) = delete;

    static CDaymarkApp* Instance();

    // False ends the program at once (another copy runs, or start-up failed).
    bool InitInstance();
    int ExitInstance();

    const std::string& GetDataFolderPath() const { return dataFolder; }
    const std::string& GetProgramFolderPath() const { return programFolder; }
    const std::string& GetStyleFolder() const { return styleFolder; }
    const std::string& GetImageFolder() const { return imageFolder; }
    Model::CConfigInfo& GetConfig() { return *config; }
    Model::CManiacOption& GetManiac() { return maniac; }
    Utility::CMaintenanceLog& GetLog() { return log; }

private:
    void CreateFolders();
    void CountBoot(int64_t startTime);
    void WriteSystemInformation();
    void InstallDefaultStyles();

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
};
