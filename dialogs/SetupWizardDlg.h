// CSetupWizardDlg: the setup wizard. On the first start (mode 0) it walks the
// user through style, calendar mode, proxy and account, then drives the
// calendar manager to log in, fetch the account's calendar list, let the
// user pick the calendars, and download their events and holidays (or, in
// local calendar mode, the holidays only) while it shows progress. In a reset
// (mode 1) or new-account run (mode 2) it starts at the account access with
// the stored account. What it collects goes straight into the configuration
// store; all network and database work is the manager's, and the wizard
// reacts only to the manager's notifications (it listens with
// kWizardManagerMessage).
//
// A modeless dialog window, created and owned by the dispatch window on the
// user-interface thread. It posts notifyMessage to notifyWindow when the
// downloads have ended, and closeMessage to mainWindow when the user cancels
// (which ends the program). Widgets carry object names for tests: the frame
// "setupWizardDlg", its buttons "nextButton", "backButton", "cancelButton"
// and the hidden "okButton", and each panel's own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/qt/Window.h"

class QPushButton;
class QVBoxLayout;
class CWizDialogBase;
class ISetupManager;

namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

class CSetupWizardDlg : public platform::CWindow {
    Q_OBJECT
public:
    // The panels' states; 2 and 4 are never entered.
    enum State : int {
        kStateTop = 0,
        kStateStyle = 1,
        kStateCalendarMode = 3,
        kStateProxy = 5,
        kStateGoogle = 6,
        kStateAccessing = 7,
        kStateCalendars = 8,
        kStateSyncing = 9,
        kStateError = 10,
        kStateEnd = 11,
        kStateResetDone = 12,
    };
    enum Mode : int { kModeFirstRun = 0, kModeReset = 1, kModeNewAccount = 2 };

    struct Setup {
        ISetupManager* manager = nullptr;
        Model::CConfigInfo* config = nullptr;
        Utility::CMaintenanceLog* log = nullptr;  // may be null
        int mode = kModeFirstRun;
        std::string styleFolder;
        std::string imageFolder;
        std::string dataFolder;  // where the HTTP traces go
        platform::WindowHandle notifyWindow = 0;
        uint32_t notifyMessage = 0;
        platform::WindowHandle mainWindow = 0;
        uint32_t closeMessage = 0;
        // The product's web site ("scheme://host"); the manual and the
        // support pages lie under it. Empty: no site, the buttons do nothing.
        std::string productSite;
        // Opens a web page; the desktop's browser when empty.
        std::function<void(const std::string& url)> openUrl;
    };

    explicit CSetupWizardDlg(Setup setup, QWidget* parent = nullptr);
    ~CSetupWizardDlg() override;

    // The opening: the first panel, or in a reset or new-account run the
    // account access. Call once, then show the window.
    void Start();

    // The buttons.
    void Next();
    void Back();
    void Cancel();

    int GetState() const { return state; }
    int Mode() const { return setup.mode; }
    // True from Start until the downloads have ended or the user cancelled.
    bool IsRunning() const { return running; }
    CWizDialogBase* Panel() const { return panel.get(); }
    int TotalDownloads() const { return totalDownloads; }
    int DoneDownloads() const { return doneDownloads; }

    // The product's web pages the end and error panels open (empty without
    // a site).
    std::string ManualUrl() const;
    std::string SupportUrl() const;

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnNotify(uint32_t code, platform::LParam lParam);
    void SetPanel(int newState, std::unique_ptr<CWizDialogBase> newPanel);
    void ShowTop();
    void ShowStyle();
    void ShowCalendarMode();
    void ShowProxy();
    void ShowGoogle();
    void ShowAccessing();
    void ShowCalendars();
    void ShowSyncing();
    void ShowError(int returnState);
    void StartLocalMode();
    void StartAccountAccess();
    void StartCalendarDownloads();
    void StartLocalDownload();
    void Finish();
    void EnableButtons(bool back, bool next);
    void ListenOnce();
    void ApplyProxy();
    void ApplyHttpLog();
    void OpenUrl(const std::string& url);
    void Log(const char* level, const std::string& text) const;
    void Log(const char* level, const std::string& text, long number) const;

    Setup setup;
    ISetupManager& manager;
    Model::CConfigInfo& config;
    int state = kStateTop;
    std::unique_ptr<CWizDialogBase> panel;
    int totalDownloads = 0;
    int doneDownloads = 0;
    bool running = false;
    bool listening = false;
    QVBoxLayout* panelArea = nullptr;
    QPushButton* backButton = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* okButton = nullptr;
};
