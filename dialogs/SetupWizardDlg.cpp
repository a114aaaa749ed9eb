#include "dialogs/SetupWizardDlg.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <list>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/Notifications.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/SetupManager.h"
#include "dialogs/WizardPanels.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

using dialogs::Text;

namespace {

enum : int {
    kTextDone = 131,
    kTextResetCaption = 142,
    kTextCancelQuestion = 148,
    kTextPastEvents = 172,
    kTextCaption = 600,
    kTextNext = 601,
    kTextBack = 602,
    kTextCancel = 603,
    kTextOk = 604,
};

// The panel area's size: every panel is laid out in it.
constexpr int kPanelWidth = 480;
constexpr int kPanelHeight = 330;

}  // namespace

CSetupWizardDlg::CSetupWizardDlg(Setup s, QWidget* parent)
    : platform::CWindow(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      setup(std::move(s)),
      manager(*setup.manager),
      config(*setup.config) {
    setObjectName(QStringLiteral("setupWizardDlg"));
    setWindowTitle(Text(kTextCaption));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    panelArea = new QVBoxLayout;
    panelArea->setContentsMargins(0, 0, 0, 0);
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("panelArea"));
    area->setFixedSize(kPanelWidth, kPanelHeight);
    area->setLayout(panelArea);
    layout->addWidget(area);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    auto make = [this](int text, const char* name) {
        auto* b = new QPushButton(Text(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    backButton = make(kTextBack, "backButton");
    nextButton = make(kTextNext, "nextButton");
    nextButton->setDefault(true);
    cancelButton = make(kTextCancel, "cancelButton");
    okButton = make(kTextOk, "okButton");
    okButton->hide();
    buttons->addStretch(1);
    buttons->addWidget(backButton);
    buttons->addWidget(nextButton);
    buttons->addSpacing(12);
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(backButton, &QPushButton::clicked, this, [this] { Back(); });
    connect(nextButton, &QPushButton::clicked, this, [this] { Next(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { Cancel(); });
}

CSetupWizardDlg::~CSetupWizardDlg() {
    if (listening) {
        manager.RemoveListener(Handle());
    }
}

std::string CSetupWizardDlg::ManualUrl() const {
    return setup.productSite.empty() ? std::string() : setup.productSite + "/manual.html";
}

std::string CSetupWizardDlg::SupportUrl() const {
    return setup.productSite.empty() ? std::string() : setup.productSite + "/support.html";
}

void CSetupWizardDlg::Log(const char* level, const std::string& text) const {
    if (setup.log) {
        setup.log->Write(level, text);
    }
}

void CSetupWizardDlg::Log(const char* level, const std::string& text, long number) const {
    if (setup.log) {
        setup.log->Write(level, text, number);
    }
}

void CSetupWizardDlg::Start() {
    Log(Utility::kLogInfo, "<wizard> started", state);
    running = true;
    if ((setup.mode == kModeReset || setup.mode == kModeNewAccount) && !manager.IsInitialized()) {
        // Nothing was set up yet: there is nothing to reset.
        setup.mode = kModeFirstRun;
    }
    if (setup.mode == kModeReset || setup.mode == kModeNewAccount) {
        manager.Reset();
        setWindowTitle(Text(kTextResetCaption));
        // A local calendar has no account to access: it starts again at its
        // own download.
        state =
            config.GetCalendarMode() == googledata::kCalendarModeLocal ? kStateProxy : kStateGoogle;
        Next();
        return;
    }
    ShowTop();
}

void CSetupWizardDlg::EnableButtons(bool back, bool next) {
    backButton->setEnabled(back);
    nextButton->setEnabled(next);
}

void CSetupWizardDlg::SetPanel(int newState, std::unique_ptr<CWizDialogBase> newPanel) {
    panel = std::move(newPanel);
    state = newState;
    Log(Utility::kLogInfo, "<wizard> state update", state);
    if (panel) {
        panelArea->addWidget(panel.get());
        panel->show();
        // Tab order: the panel's fields, then Back, Next, Cancel.
        setTabOrder(panel.get(), backButton);
        setTabOrder(backButton, nextButton);
        setTabOrder(nextButton, cancelButton);
        // The first field of the panel takes the focus, else Next.
        QWidget* first = panel->nextInFocusChain();
        while (first && first != panel.get() && panel->isAncestorOf(first) &&
               !(first->focusPolicy() & Qt::TabFocus)) {
            first = first->nextInFocusChain();
        }
        if (first && panel->isAncestorOf(first)) {
            first->setFocus();
        } else {
            nextButton->setFocus();
        }
    }
}

void CSetupWizardDlg::ShowTop() {
    SetPanel(kStateTop, std::make_unique<CWizTopPanel>(setup.imageFolder, this));
    EnableButtons(false, true);
}

void CSetupWizardDlg::ShowStyle() {
    SetPanel(kStateStyle,
             std::make_unique<CWizStylePanel>(config, setup.styleFolder, setup.imageFolder, this));
    EnableButtons(true, true);
}

void CSetupWizardDlg::ShowCalendarMode() {
    SetPanel(kStateCalendarMode,
             std::make_unique<CWizCalendarModePanel>(config, setup.imageFolder, this));
    EnableButtons(true, true);
}

void CSetupWizardDlg::ShowProxy() {
    SetPanel(kStateProxy, std::make_unique<CWizProxyPanel>(config, setup.imageFolder, this));
    EnableButtons(true, true);
}

void CSetupWizardDlg::ShowGoogle() {
    SetPanel(kStateGoogle, std::make_unique<CWizGooglePanel>(config, setup.imageFolder, this));
    EnableButtons(true, true);
}

void CSetupWizardDlg::ShowAccessing() {
    SetPanel(kStateAccessing, std::make_unique<CWizAccesingPanel>(setup.imageFolder, this));
    EnableButtons(false, false);
}

void CSetupWizardDlg::ShowCalendars() {
    SetPanel(kStateCalendars,
             std::make_unique<CWizCalendarsPanel>(manager, setup.imageFolder, this));
    EnableButtons(false, true);
}

void CSetupWizardDlg::ShowSyncing() {
    SetPanel(kStateSyncing,
             std::make_unique<CWizSyncingPanel>(totalDownloads, setup.imageFolder, this));
    EnableButtons(false, false);
}

void CSetupWizardDlg::ShowError(int returnState) {
    panel.reset();
    auto error =
        std::make_unique<CWizErrorPanel>(returnState, manager.GetLastErrorDescription(),
                                         manager.GetLastErrorText(), setup.imageFolder, this);
    connect(error.get(), &CWizErrorPanel::SupportRequested, this,
            [this] { OpenUrl(SupportUrl()); });
    SetPanel(kStateError, std::move(error));
    EnableButtons(false, true);
}

void CSetupWizardDlg::Next() {
    Log(Utility::kLogInfo, "<wizard> next", state);
    if (panel) {
        panel->SetQuiet(false);
        if (!panel->ValidateAndStore()) {
            Log(Utility::kLogInfo, "<wizard> invalid input");
            return;
        }
    }
    if (state == kStateAccessing || state == kStateSyncing) {
        return;  // the manager's notifications move on from here
    }
    if (state == kStateEnd || state == kStateResetDone) {
        close();  // the "done" button
        return;
    }
    int returnState = -1;
    bool startOver = false;
    if (state == kStateError) {
        const auto* error = static_cast<const CWizErrorPanel*>(panel.get());
        returnState = error->ReturnState();
        startOver = error->StartOver();
    }
    panel.reset();
    switch (state) {
        case kStateTop:
            ShowStyle();
            break;
        case kStateStyle:
            // Without a visit to the calendar-mode panel the mode is the
            // account's.
            config.WriteInt("general", "calendar_mode", googledata::kCalendarModeAccount);
            ShowProxy();
            break;
        case kStateCalendarMode:
            ShowProxy();
            break;
        case kStateProxy:
            if (config.GetCalendarMode() == googledata::kCalendarModeAccount) {
                ShowGoogle();
            } else {
                StartLocalMode();
            }
            break;
        case kStateGoogle:
            StartAccountAccess();
            break;
        case kStateCalendars:
            // The calendar service tells changes of the last 20 days only; a
            // CalDAV server's sync token or ETags have no such window.
            if (config.GetAccountKind() != googledata::kAccountKindCalDav) {
                dialogs::ShowNotice(this, windowTitle(), Text(kTextPastEvents));
            }
            StartCalendarDownloads();
            ShowSyncing();
            if (totalDownloads == 0) {
                // Nothing to wait for: no notification would ever come.
                Finish();
            }
            break;
        case kStateError:
            if (startOver) {
                ShowTop();
                break;
            }
            switch (returnState) {
                case kStateProxy:
                    ShowProxy();
                    break;
                case kStateGoogle:
                    ShowGoogle();
                    break;
                case kStateAccessing:
                    ShowAccessing();
                    manager.DownloadCalenar();
                    break;
                case kStateSyncing:
                    ShowSyncing();
                    StartLocalDownload();
                    break;
                default:
                    Log(Utility::kLogError, "error");
                    ShowTop();
                    break;
            }
            break;
        default:
            break;
    }
}

void CSetupWizardDlg::Back() {
    Log(Utility::kLogInfo, "<wizard> prev");
    if (state != kStateStyle && state != kStateCalendarMode && state != kStateProxy &&
        state != kStateGoogle) {
        return;  // no panel before this one
    }
    if (panel) {
        // What was entered is kept; a panel that cannot store says nothing.
        panel->SetQuiet(true);
        panel->ValidateAndStore();
    }
    panel.reset();
    switch (state) {
        case kStateStyle:
            ShowTop();
            return;  // Back stays disabled on the first panel
        case kStateCalendarMode:
            ShowStyle();
            break;
        case kStateProxy:
            ShowCalendarMode();
            break;
        case kStateGoogle:
            ShowProxy();
            break;
        default:
            break;
    }
    EnableButtons(true, true);
}

void CSetupWizardDlg::Cancel() {
    if (!running) {
        close();
        return;
    }
    if (!dialogs::AskYesNo(this, windowTitle(), Text(kTextCancelQuestion))) {
        return;
    }
    Log(Utility::kLogInfo, "<wizard> cancel");
    running = false;
    manager.Terminate();
    config.WriteInt("general", "calendar_mode", googledata::kCalendarModeNotSetUp);
    if (setup.mainWindow != 0) {
        platform::PostMessage(setup.mainWindow, setup.closeMessage);
    }
    hide();
}

void CSetupWizardDlg::closeEvent(QCloseEvent* event) {
    if (running) {
        event->ignore();
        Cancel();  // the title bar's close button asks as "cancel" does
        return;
    }
    event->accept();
}

void CSetupWizardDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Cancel();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        nextButton->isEnabled()) {
        nextButton->click();
        return;
    }
    platform::CWindow::keyPressEvent(event);
}

void CSetupWizardDlg::ListenOnce() {
    if (!listening) {
        manager.AddListener(Handle(), Controller::kWizardManagerMessage);
        listening = true;
    }
}

void CSetupWizardDlg::ApplyProxy() {
    manager.SetProxy(config.IsProxyEnabled() != 0, config.GetProxy(), config.GetProxyUser(),
                     config.GetProxyPassword());
}

void CSetupWizardDlg::ApplyHttpLog() {
    manager.SetHttpLog(config.httpLog != 0, setup.dataFolder, config.GetCurlLogLevel() > 0);
}

void CSetupWizardDlg::StartLocalMode() {
    ShowSyncing();
    if (!manager.IsInitialized()) {
        manager.Initialize(L"local", L"", setup.log);
        ListenOnce();
        ApplyHttpLog();
        manager.Reset();
    } else {
        // An account may have been opened on an earlier pass: the local
        // calendar has its own database.
        manager.ChangeAccount(L"local", L"");
        ListenOnce();
    }
    ApplyProxy();
    manager.CreateLocalDB(manager.GetHolidayCalendarURI(config.GetLoginUrl()));
    StartLocalDownload();
}

void CSetupWizardDlg::StartAccountAccess() {
    ShowAccessing();
    const std::wstring account = config.GetAccountId();
    const std::wstring password = config.GetAccountPassword();
    if (!manager.IsInitialized()) {
        manager.Initialize(account, password, setup.log);
        ApplyHttpLog();
        manager.Reset();
    } else {
        manager.ChangeAccount(account, password);
    }
    ListenOnce();
    ApplyProxy();
    manager.DownloadCalenar();
}

void CSetupWizardDlg::StartCalendarDownloads() {
    totalDownloads = 0;
    doneDownloads = 0;
    std::list<Model::Calendar> calendars;
    manager.GetCalendars(calendars);
    const int year = platform::CTime::GetCurrentTime().GetYear();
    for (const Model::Calendar& c : calendars) {
        if (!c.showEvents && !c.writeEvents) {
            Log(Utility::kLogInfo, "<wizard> not sync target:" + platform::WideToUtf8(c.title));
            continue;
        }
        if (c.isHoliday) {
            manager.DownloadHoliday(c.calendarURI, year - 1, year + 1);
        } else {
            manager.DownloadAllEvent(c.calendarURI);
        }
        ++totalDownloads;
    }
    Log(Utility::kLogError, "<wizard> total download", totalDownloads);
}

void CSetupWizardDlg::StartLocalDownload() {
    totalDownloads = 3;
    doneDownloads = 0;
    if (auto* syncing = dynamic_cast<CWizSyncingPanel*>(panel.get())) {
        syncing->SetTotal(totalDownloads);
    }
    std::list<Model::Calendar> calendars;
    manager.GetCalendars(calendars);
    const Model::Calendar* holiday = nullptr;
    for (const Model::Calendar& c : calendars) {
        if (c.isHoliday) {
            holiday = &c;
            break;
        }
    }
    if (!holiday) {
        Finish();
        return;
    }
    const int year = platform::CTime::GetCurrentTime().GetYear();
    manager.DownloadHoliday(holiday->calendarURI, year - 1, year + 1);
}

int64_t CSetupWizardDlg::OnMessage(uint32_t message, platform::WParam wParam,
                                   platform::LParam lParam) {
    if (message == Controller::kWizardManagerMessage) {
        OnNotify(static_cast<uint32_t>(wParam), lParam);
        return 0;
    }
    return platform::CWindow::OnMessage(message, wParam, lParam);
}

void CSetupWizardDlg::OnNotify(uint32_t code, platform::LParam lParam) {
    if (!running) {
        return;  // finished or cancelled: late news changes nothing
    }
    switch (code) {
        case Controller::NOTIFY_ACTIVITY:
            break;
        case Controller::NOTIFY_AUTH_FAILED:
            Log(Utility::kLogError, "<wizard> auth error");
            ShowError(kStateGoogle);
            break;
        case Controller::NOTIFY_PROXY_FAILED:
            Log(Utility::kLogInfo, "<wizard> proxy error");
            ShowError(kStateProxy);
            break;
        case Controller::NOTIFY_NET_SETTING_PROBLEM:
            Log(Utility::kLogInfo, "<wizard> network error");
            ShowError(kStateProxy);
            break;
        case Controller::NOTIFY_ERROR:
            Log(Utility::kLogInfo, "<wizard> general error");
            ShowError(config.GetCalendarMode() == googledata::kCalendarModeAccount ? kStateAccessing
                                                                                   : kStateSyncing);
            break;
        case Controller::NOTIFY_CALENDAR_UPDATED:
            if (state == kStateAccessing) {
                panel.reset();
                ShowCalendars();
            } else if (state == kStateCalendars) {
                platform::PostMessage(panel->Handle(), kWizardPanelRefresh);
            } else {
                Log(Utility::kLogError, "<wizard> state mismatch", state);
            }
            break;
        case Controller::NOTIFY_HOLIDAY_UPDATED:
        case Controller::NOTIFY_EVENT_UPDATED:
            if (state == kStateSyncing) {
                ++doneDownloads;
                platform::PostMessage(panel->Handle(), kWizardPanelProgress,
                                      static_cast<platform::WParam>(doneDownloads));
                if (manager.GetPendingRequestCount() == 0 || doneDownloads >= totalDownloads) {
                    Finish();
                }
            }
            break;
        case Controller::NOTIFY_DOWNLOAD_PROGRESS:
            if (state == kStateSyncing) {
                platform::PostMessage(panel->Handle(), kWizardPanelPageProgress, 0, lParam);
            }
            break;
        default:
            if (setup.log) {
                setup.log->Write(Utility::kLogInfo, "<wizard> other msg", static_cast<long>(code),
                                 static_cast<long>(state));
            }
            break;
    }
}

void CSetupWizardDlg::Finish() {
    panel.reset();
    if (setup.mode == kModeFirstRun) {
        auto end = std::make_unique<CWizEndPanel>(setup.imageFolder, this);
        connect(end.get(), &CWizEndPanel::ManualRequested, this, [this] { OpenUrl(ManualUrl()); });
        SetPanel(kStateEnd, std::move(end));
    } else {
        SetPanel(kStateResetDone, std::make_unique<CWizResetDonePanel>(setup.imageFolder, this));
    }
    EnableButtons(false, true);
    nextButton->setText(Text(kTextDone));
    nextButton->setFocus();
    cancelButton->hide();
    cancelButton->setEnabled(false);
    running = false;
    if (setup.notifyWindow != 0) {
        platform::PostMessage(setup.notifyWindow, setup.notifyMessage);
    }
}

void CSetupWizardDlg::OpenUrl(const std::string& url) {
    if (url.empty()) {
        Log(Utility::kLogInfo, "<wizard> no product site");
        return;
    }
    if (setup.openUrl) {
        setup.openUrl(url);
    } else {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    }
}
