// Controller::CDispatchWnd: the program's hidden main window. It owns the
// calendar manager and the registry of calendar windows, receives the
// commands of the calendar windows and menus (kDispatchCommand) and the
// manager's notifications (kDispatchNotify), runs the boot sequence and the
// initial download, keeps the periodic timers (synchronisation, date change,
// version check, window upkeep), follows suspend and resume, keeps the
// notification-area icon with today's day, and saves the window positions
// when it closes.
//
// Created, driven and destroyed on the user-interface thread. Other threads
// reach it only through platform::PostMessage to Handle().
#pragma once

#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "controller/qt/DispatchMessages.h"
#include "controller/qt/DispatchPorts.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Time.h"
#include "platform/qt/Window.h"

class QDialog;
class CSetupWizardDlg;

namespace Model {
class CConfigInfo;
class CManiacOption;
}  // namespace Model
namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class CTrayIcon;
class CVersionChecker;
class CSleepWatcher;
class CReminderService;

class CDispatchWnd : public platform::CWindow {
    Q_OBJECT
public:
    struct Setup {
        Model::CConfigInfo* config = nullptr;
        const Model::CManiacOption* maniac = nullptr;
        Utility::CMaintenanceLog* log = nullptr;  // may be null
        std::string dataFolder;
        std::string programFolder;
        std::unique_ptr<IDispatchManager> manager;
        std::unique_ptr<ICalendarWindows> windows;
        // Milliseconds since the system started (tests replace it).
        std::function<uint32_t()> tickCount;
        // Fetches the version page: true and the body, or false and the
        // HTTP status (0 when nothing arrived). Called on a worker thread.
        std::function<bool(const std::string& url, std::string& body, int& httpCode)> fetchPage;
        // When set, makes the fetcher for each check as it starts, on the
        // user-interface thread (so that it reads the configuration there);
        // it then takes the place of fetchPage.
        std::function<std::function<bool(const std::string&, std::string&, int&)>()> makeFetcher;
        // The style file in the configuration may have changed (the setup
        // wizard): the application reloads its style and gives it to the
        // windows. May be empty.
        std::function<void()> styleChanged;
        // Watch logind for suspend and resume (off in unit tests).
        bool watchSleep = true;
    };

    explicit CDispatchWnd(Setup setup);
    ~CDispatchWnd() override;

    // The creation handler: manager, listener, windows, boot sequence or
    // wizard, timers 6 and 7. True when the window is ready.
    bool Create();
    // WM_CLOSE: the destruction work (timers, manager stop, positions, tray
    // icon) and the end of the event loop. Runs once.
    void Close();
    bool IsClosed() const { return closed; }

    // The end of the user's session (SIGTERM, SIGINT, the session manager's
    // quit): log it and close.
    void EndSession();

    // A power event (kPowerSuspend, kPowerResumeAutomatic).
    void OnPowerBroadcast(int event);

    // The initial download over `calendars`: a full download of the events of
    // every calendar never downloaded. True when that covers every calendar
    // with events, so no start-up sync is needed.
    bool InitialDownload(const std::list<Model::Calendar>& calendars);

    ICalendarWindows& Windows() { return *windows; }
    IDispatchManager& Manager() { return *manager; }

    // State the tests look at.
    bool HasClosingWindow() const { return closingWindow != nullptr; }
    int64_t LastSyncTime() const { return lastSyncTime.GetTime(); }
    bool IsAwake() const { return awake != 0; }
    bool IsResumePending() const { return resumePending != 0; }
    bool WizardDue() const { return wizardDue; }
    // The setup wizard while one exists (running or showing its end).
    CSetupWizardDlg* Wizard() const { return wizard.get(); }
    bool BootDone() const { return bootDone; }
    CTrayIcon* TrayIcon() const { return trayIcon.get(); }
    CReminderService* Reminders() const { return reminders.get(); }

    // Timer `id` elapsed (public so that tests can run a tick at a chosen
    // time).
    void OnTimer(uint32_t id) override;

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override;

private:
    int64_t OnCommand(uint32_t command, platform::LParam lParam);
    void OnNotify(uint32_t code);
    void BootSequence();
    void StartReminders();
    void OnTrayIcon(uint32_t iconId, int64_t mouseMessage);
    void OnWizardRequest(uint32_t kind);
    // Replaces a running wizard by a new one in `mode` and shows it.
    void OpenWizard(int mode);
    void OnWizardFinished(platform::WParam result);

    void PeriodicSyncCheck();
    void DateChangeCheck();
    void AfterResume();
    void StartVersionCheck();
    void OnVersionResult();

    void ShowAuthDialog();
    void ShowAccountDialog(bool proxy);
    void ShowErrorDialog(bool settingsOffer);
    // An authentication or account request that comes while another dialog
    // is open waits for it to close.
    enum class PendingDialog { kAuth, kAccount, kAccountProxy };
    void DeferDialog(PendingDialog kind);
    void ShowPendingDialogs();
    // Runs `dialog` modally (through the test hook when one is set) and
    // remembers it so that closing the program can end it.
    int RunDialog(QDialog& dialog);

    void AddTrayIcon();
    void RemoveTrayIcon();
    void SavePositions();
    void Log(const char* level, const std::string& text) const;
    void Log(const char* level, const std::string& text, long number) const;
    uint32_t Ticks() const;
    std::string ImageFolder() const;

    Setup setup;
    Model::CConfigInfo* config;
    Utility::CMaintenanceLog* log;
    // Destroyed in reverse order: the windows before the manager.
    std::unique_ptr<IDispatchManager> manager;
    std::unique_ptr<ICalendarWindows> windows;
    std::unique_ptr<QObject> closingWindow;
    std::unique_ptr<CSetupWizardDlg> wizard;
    platform::CTime lastSyncTime;
    platform::CTime lastDateTime;
    int awake = 1;
    int resumePending = 0;
    googledata::CalendarMode calendarMode = googledata::kCalendarModeNotSetUp;
    bool wizardDue = false;
    bool bootDone = false;
    bool closed = false;
    bool errorDialogOpen = false;
    QPointer<QDialog> openDialog;
    std::deque<PendingDialog> pendingDialogs;
    std::unique_ptr<CTrayIcon> trayIcon;
    std::unique_ptr<CVersionChecker> versionChecker;
    std::unique_ptr<CSleepWatcher> sleepWatcher;
    std::unique_ptr<CReminderService> reminders;
};

}  // namespace Controller
