// The panels of the setup wizard (CSetupWizardDlg). Each is a child window of
// the wizard frame with a banner picture on top, created when its state is
// entered and destroyed when the state changes. ValidateAndStore() is called
// when the user presses Next (and Back): false keeps the panel (after the
// panel's own message), true means its values are in the configuration
// store. Panels without values return true.
//
// Panels are windows (platform::CWindow) so that the wizard can post to them:
// the calendar panel refreshes its list on kWizardPanelRefresh, the syncing
// panel shows progress on kWizardPanelProgress and kWizardPanelPageProgress.
// Widgets carry object names for tests. User-interface thread only.
#pragma once

#include <QString>
#include <string>

#include "platform/qt/Window.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class CDoubleCheckListCtrl;
class CStylePreview;
class ISetupManager;

namespace Model {
class CConfigInfo;
}

// Messages the wizard posts to its panels (WM_USER + 100 and the next).
inline constexpr uint32_t kWizardPanelRefresh = platform::kWmUser + 100;  // 1124
// wParam: downloads done.
inline constexpr uint32_t kWizardPanelProgress = platform::kWmUser + 100;  // 1124
// lParam: (events in the feed << 16) | first event of the page.
inline constexpr uint32_t kWizardPanelPageProgress = platform::kWmUser + 101;

class CWizDialogBase : public platform::CWindow {
    Q_OBJECT
public:
    // `banner` is a picture in `imageFolder`.
    CWizDialogBase(const std::string& imageFolder, const char* banner, QWidget* parent);
    virtual bool ValidateAndStore() { return true; }
    // Quiet: a failed validation shows no message (the Back button).
    void SetQuiet(bool on) { quiet = on; }
    bool Quiet() const { return quiet; }

protected:
    // The panel's own widgets go here, below the banner.
    QVBoxLayout* Body() const { return body; }
    QLabel* AddMessage(const QString& text, const char* name);

private:
    QVBoxLayout* body;
    bool quiet = false;
};

class CWizTopPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizTopPanel(const std::string& imageFolder, QWidget* parent);
};

class CWizStylePanel : public CWizDialogBase {
    Q_OBJECT
public:
    // The list shows the "*.style" files of `styleFolder`.
    CWizStylePanel(Model::CConfigInfo& config, const std::string& styleFolder,
                   const std::string& imageFolder, QWidget* parent);
    bool ValidateAndStore() override;

private:
    void ShowPreview();

    Model::CConfigInfo& config;
    std::string styleFolder;
    QListWidget* styleList;
    CStylePreview* preview;
    QCheckBox* mondayFirst;
    QCheckBox* underline;
};

class CWizCalendarModePanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizCalendarModePanel(Model::CConfigInfo& config, const std::string& imageFolder,
                          QWidget* parent);
    bool ValidateAndStore() override;

private:
    Model::CConfigInfo& config;
    QRadioButton* googleMode;
    QRadioButton* localMode;
};

class CWizProxyPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizProxyPanel(Model::CConfigInfo& config, const std::string& imageFolder, QWidget* parent);
    bool ValidateAndStore() override;

private:
    void EnableFields();

    Model::CConfigInfo& config;
    QCheckBox* proxyCheck;
    QLineEdit* proxyEdit;
    QLineEdit* userEdit;
    QLineEdit* passwordEdit;
};

class CWizGooglePanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizGooglePanel(Model::CConfigInfo& config, const std::string& imageFolder, QWidget* parent);
    bool ValidateAndStore() override;

private:
    // Shows the server row only for a CalDAV account.
    void EnableFields();

    Model::CConfigInfo& config;
    QLabel* title;
    QRadioButton* serviceKind;
    QRadioButton* caldavKind;
    QLabel* serverLabel;
    QLineEdit* serverEdit;
    QLabel* accountLabel;
    QLineEdit* accountEdit;
    QLineEdit* passwordEdit;
};

class CWizAccesingPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizAccesingPanel(const std::string& imageFolder, QWidget* parent);
};

class CWizCalendarsPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizCalendarsPanel(ISetupManager& manager, const std::string& imageFolder, QWidget* parent);
    // Hands every row's flags to the manager.
    bool ValidateAndStore() override;
    CDoubleCheckListCtrl* List() const { return list; }

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override;

private:
    void Refresh();

    ISetupManager& manager;
    CDoubleCheckListCtrl* list;
};

class CWizSyncingPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizSyncingPanel(int totalDownloads, const std::string& imageFolder, QWidget* parent);
    void SetTotal(int totalDownloads);
    QProgressBar* Downloads() const { return downloads; }
    QProgressBar* Pages() const { return pages; }

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override;

private:
    int total;
    QProgressBar* downloads;
    QLabel* downloadsText;
    QProgressBar* pages;
    QLabel* pagesText;
};

class CWizErrorPanel : public CWizDialogBase {
    Q_OBJECT
public:
    // `returnState`: the state Next goes back to. `openUrl` opens the support
    // page.
    CWizErrorPanel(int returnState, const std::wstring& description, const std::wstring& text,
                   const std::string& imageFolder, QWidget* parent);
    int ReturnState() const { return returnState; }
    bool StartOver() const;

signals:
    void SupportRequested();

private:
    int returnState;
    QCheckBox* startOver;
};

class CWizEndPanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizEndPanel(const std::string& imageFolder, QWidget* parent);

signals:
    void ManualRequested();
};

class CWizResetDonePanel : public CWizDialogBase {
    Q_OBJECT
public:
    CWizResetDonePanel(const std::string& imageFolder, QWidget* parent);
};
