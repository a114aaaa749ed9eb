#include "controller/qt/DispatchWnd.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <exception>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/OfflineHolidays.h"
#include "controller/qt/ReminderService.h"
#include "controller/qt/SessionWatch.h"
#include "controller/qt/TrayIcon.h"
#include "controller/qt/VersionCheck.h"
#include "dialogs/AccountDialogs.h"
#include "dialogs/SetupWizardDlg.h"
#include "platform/TextConv.h"
#include "platform/Version.h"
#include "view/CalendarWndSource.h"

namespace Controller {

namespace {

constexpr int kCloseWindowPeriod = 200;
constexpr int kMinutePeriod = 60 * 1000;
constexpr int kResumePeriod = 30 * 1000;
constexpr int kBottomBarPeriod = 10 * 1000;
constexpr int kMousePeriod = 100;
constexpr int kVersionDayPeriod = 24 * 60 * 60 * 1000;
// Handler numbers of the timer handler's log lines.
constexpr long kTimerStdHandler = 311;
constexpr long kTimerOtherHandler = 312;

}  // namespace

CDispatchWnd::CDispatchWnd(Setup s)
    : setup(std::move(s)),
      config(setup.config),
      log(setup.log),
      manager(std::move(setup.manager)),
      windows(std::move(setup.windows)) {
    setObjectName(QStringLiteral("WrenDispatchWnd"));
    setWindowTitle(QStringLiteral("WrenDispatchWnd"));
    if (!setup.tickCount) {
        setup.tickCount = [] { return platform::GetTickCount(); };
    }
    versionChecker = std::make_unique<CVersionChecker>(setup.fetchPage);
}

CDispatchWnd::~CDispatchWnd() {
    if (!closed) {
        Close();
    }
    // A running wizard first, then the windows, then the manager.
    wizard.reset();
    closingWindow.reset();
    windows.reset();
    manager.reset();
}

bool CDispatchWnd::Create() {
    calendarMode = config->GetCalendarMode();
    // The transport settings go to the manager before its client is made.
    manager->SetDisableSync(config->GetInt("debug", "disable_sync", 0) != 0);
    manager->SetProxy(config->IsProxyEnabled() != 0, config->GetProxy(), config->GetProxyUser(),
                      config->GetProxyPassword());
    manager->SetHttpLog(config->httpLog != 0, setup.dataFolder, config->GetCurlLogLevel() > 0);
    manager->SetExtraCaFile(config->GetExtraCaFile());
    manager->SetLoginUrl(config->GetLoginUrl());
    if (calendarMode == googledata::kCalendarModeAccount && config->GetAccountId().empty()) {
        // A setup stopped half way (the program ended inside the wizard)
        // leaves the account mode without an account: set up again.
        Log(Utility::kLogInfo, "<dispatch> no account: setup again");
        calendarMode = googledata::kCalendarModeNotSetUp;
    }
    if (calendarMode == googledata::kCalendarModeAccount) {
        manager->Initialize(config->GetAccountId(), config->GetAccountPassword(), log);
    } else if (calendarMode == googledata::kCalendarModeLocal) {
        manager->Initialize(L"local", L"", log);
    } else {
        wizardDue = true;
    }
    manager->AddListener(Handle(), kDispatchNotify);
    windows->LoadAndCreate(setup.dataFolder, Handle(), kDispatchCommand);

    if (wizardDue) {
        // The boot sequence waits for the wizard's end.
        OpenWizard(CSetupWizardDlg::kModeFirstRun);
    } else {
        platform::PostMessage(Handle(), kDispatchBootSequence);
    }
    if (setup.maniac && setup.maniac->showBottomBar) {
        SetTimer(kTimerBottomBar, kBottomBarPeriod);
        windows->RefreshBottomBars();
    }
    SetTimer(kTimerMouse, kMousePeriod);
    if (setup.watchSleep) {
        sleepWatcher = std::make_unique<CSleepWatcher>([this](bool suspending) {
            OnPowerBroadcast(suspending ? kPowerSuspend : kPowerResumeAutomatic);
        });
    }
    return true;
}

void CDispatchWnd::EndSession() {
    if (closed) {
        return;
    }
    Log(Utility::kLogInfo, "windows shutdown");
    platform::PostMessage(Handle(), kDispatchEndSession);
}

void CDispatchWnd::Close() {
    if (closed) {
        return;
    }
    closed = true;
    if (openDialog) {
        openDialog->reject();  // a modal dialog's loop ends with the program
    }
    for (uint32_t id = kTimerCloseWindow; id <= kTimerMouse; ++id) {
        KillTimer(id);
    }
    Log(Utility::kLogInfo, "exit");
    if (wizard) {
        // Deleted with this window: it may be inside one of its own message
        // boxes, whose loop ends with the program's.
        wizard->hide();
    }
    sleepWatcher.reset();
    reminders.reset();
    manager->Terminate();
    try {
        if (!windows->SavePositions(setup.dataFolder)) {
            Log(Utility::kLogError, "wnd save failed");
        }
    } catch (...) {
        Log(Utility::kLogError, "wnd save exception");
    }
    RemoveTrayIcon();
    // exit, not quit: quit first closes every top-level window and is
    // cancelled when one stays shown (a registration window just opened by
    // a click), which left the program running after SIGTERM.
    QCoreApplication::exit(0);
}

int64_t CDispatchWnd::OnMessage(uint32_t message, platform::WParam wParam,
                                platform::LParam lParam) {
    if (closed) {
        return 0;
    }
    switch (message) {
        case kDispatchCommand:
            return OnCommand(static_cast<uint32_t>(wParam), lParam);
        case kDispatchNotify:
            OnNotify(static_cast<uint32_t>(wParam));
            return 0;
        case kDispatchWizardRequest:
            OnWizardRequest(static_cast<uint32_t>(wParam));
            return 0;
        case kDispatchBootSequence:
            BootSequence();
            return 0;
        case kDispatchWizardFinished:
            OnWizardFinished(wParam);
            return 0;
        case kDispatchTrayIcon:
            OnTrayIcon(static_cast<uint32_t>(wParam), lParam);
            return 0;
        case kDispatchVersionResult:
            OnVersionResult();
            return 0;
        case kDispatchEndSession:
            Close();
            return 0;
        case kDispatchPendingDialogs:
            ShowPendingDialogs();
            return 0;
        default:
            return platform::CWindow::OnMessage(message, wParam, lParam);
    }
}

int64_t CDispatchWnd::OnCommand(uint32_t command, platform::LParam lParam) {
    switch (command) {
        case kCmdNewWindow:
            Log(Utility::kLogInfo, "<menu>new window");
            windows->NewWindow();
            SavePositions();
            break;
        case kCmdCloseWindow: {
            Log(Utility::kLogInfo, "<menu>close window", static_cast<long>(lParam));
            std::unique_ptr<QObject> closed = windows->CloseWindow(static_cast<int>(lParam));
            if (closed) {
                closingWindow = std::move(closed);
            }
            SavePositions();
            SetTimer(kTimerCloseWindow, kCloseWindowPeriod);
            break;
        }
        case kCmdShowVersion:
            Log(Utility::kLogInfo, "<menu>show version");
            break;
        case kCmdAppExit:
            Log(Utility::kLogInfo, "<menu>app exit");
            platform::PostMessage(Handle(), kDispatchEndSession);
            break;
        case kCmdWindowCount:
            if (lParam != 0) {
                *reinterpret_cast<int32_t*>(lParam) = windows->Count();
            }
            break;
        case kCmdPosUpdate:
            Log(Utility::kLogInfo, "<dispatch> pos update");
            SavePositions();
            break;
        case kCmdZOrderUpdate:
            Log(Utility::kLogInfo, "<dispatch> z-order update");
            break;
        case kCmdAlignWindow:
            Log(Utility::kLogAction, "<menu>align window");
            windows->AlignWindows();
            SavePositions();
            break;
        case kCmdSetGoogle:
            ShowAccountDialog(false);
            break;
        case kCmdRebuildIconBar:
            windows->RebuildIconBars();
            break;
        default:
            break;
    }
    return 1;
}

void CDispatchWnd::OnNotify(uint32_t code) {
    // While the wizard runs, the manager works for it: the wizard shows the
    // errors and decides what to download.
    if (wizard && wizard->IsRunning()) {
        return;
    }
    switch (code) {
        case NOTIFY_AUTH_FAILED:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_AUTH_FAILED");
            ShowAuthDialog();
            break;
        case NOTIFY_PROXY_FAILED:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_PROXY_FAILED");
            ShowAccountDialog(true);
            break;
        case NOTIFY_NET_SETTING_PROBLEM:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_NET_SETTING_PROBLEM");
            ShowErrorDialog(true);
            break;
        case NOTIFY_ERROR:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_ERROR:");
            ShowErrorDialog(false);
            break;
        case NOTIFY_CALENDAR_UPDATED: {
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_CALENDAR_UPDATED");
            std::list<Model::Calendar> calendars;
            if (manager->GetCalendars(calendars)) {
                InitialDownload(calendars);
            }
            break;
        }
        case NOTIFY_HOLIDAY_UPDATED:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_HOLIDAY_UPDATED");
            break;
        case NOTIFY_EVENT_UPDATED:
            Log(Utility::kLogInfo, "<dispatch> NOTIFY_EVENT_UPDATED");
            if (reminders) {
                reminders->Rearm();
            }
            break;
        default:
            break;  // activity and progress are the calendar windows' business
    }
}

void CDispatchWnd::BootSequence() {
    // A first start's wizard has just written the mode.
    calendarMode = config->GetCalendarMode();
    bootDone = true;
    Log(Utility::kLogInfo, "<dispatch> boot sequence", calendarMode);
    bool fullDownload = false;
    std::list<Model::Calendar> calendars;
    if (!manager->GetCalendars(calendars)) {
        Log(Utility::kLogInfo, "get calendar error", static_cast<long>(errno));
    } else if (calendarMode == googledata::kCalendarModeAccount) {
        if (calendars.empty()) {
            manager->DownloadCalenar();
        } else {
            fullDownload = InitialDownload(calendars);
        }
    } else {
        calendars.clear();
        if (manager->GetCalendars(calendars)) {
            // Local mode keeps Daymark's own holiday calendar, computed
            // from the holiday rules without the network.
            const std::wstring holidayURI = platform::Utf8ToWide(kOfflineHolidayCalendarURI);
            if (calendars.empty()) {
                manager->CreateLocalDB(holidayURI);
            }
            int firstYear = 0;
            int lastYear = 0;
            if (manager->GetUnretrievedHolidayYears(holidayURI, firstYear, lastYear)) {
                manager->DownloadHoliday(holidayURI, firstYear, lastYear);
            }
            windows->ForwardEventUpdate();
        }
    }

    SetTimer(kTimerVersion, kMinutePeriod + static_cast<int>(Ticks() % 10) * 1800000);
    if (!setup.maniac || !setup.maniac->hideTaskTrayIcon) {
        AddTrayIcon();
    }
    if (calendarMode == googledata::kCalendarModeAccount) {
        SetTimer(kTimerSync, kMinutePeriod);
        if (Ticks() / 1000 > 300) {
            lastSyncTime = platform::CTime::GetCurrentTime();
            if (!fullDownload) {
                Log(Utility::kLogInfo, "<dispatch> initial sync");
                manager->SyncEvents();
            }
        }
    }
    lastDateTime = platform::CTime::GetCurrentTime();
    SetTimer(kTimerDate, kMinutePeriod);
    StartReminders();
    Log(Utility::kLogInfo, "<dispatch> boot sequence is done");
}

void CDispatchWnd::StartReminders() {
    ICalendarWndSource* source = manager->WindowSource();
    if (source == nullptr || reminders) {
        return;
    }
    CReminderService::Setup r;
    r.reader = [source](std::list<Model::Event>& events, int year, int month, int count) {
        return source->GetEvents(events, year, month, count);
    };
    r.firedPath = setup.dataFolder + "/reminders.txt";
    r.log = log;
    reminders = std::make_unique<CReminderService>(std::move(r));
    reminders->Rearm();  // also shows the ones missed while Daymark was not running
}

bool CDispatchWnd::InitialDownload(const std::list<Model::Calendar>& calendars) {
    Log(Utility::kLogInfo, "<dispatch> InitialDownload", static_cast<long>(calendars.size()));
    // Each calendar never downloaded gets its full download; the start-up
    // sync is left out only when that covers every calendar.
    bool fullDownload = false;
    bool othersToSync = false;
    for (const Model::Calendar& calendar : calendars) {
        if (!calendar.showEvents && !calendar.writeEvents) {
            continue;
        }
        if (calendar.isHoliday) {
            int firstYear = 0;
            int lastYear = 0;
            if (manager->GetUnretrievedHolidayYears(calendar.calendarURI, firstYear, lastYear)) {
                manager->DownloadHoliday(calendar.calendarURI, firstYear, lastYear);
            }
            continue;
        }
        // A calendar that never had its events stores no (or no readable)
        // time of its last download; older stores wrote a time in 1980.
        const bool neverDownloaded =
            calendar.eventUpdated.GetTime() <= 0 || calendar.eventUpdated.GetYear() == 1980;
        if (neverDownloaded) {
            Log(Utility::kLogInfo, "<dispatch> events are emtpy");
            manager->DownloadAllEvent(calendar.calendarURI);
        }
        fullDownload = fullDownload || neverDownloaded;
        othersToSync = othersToSync || !neverDownloaded;
    }
    return fullDownload && !othersToSync;
}

void CDispatchWnd::OnTimer(uint32_t id) {
    if (closed) {
        return;
    }
    try {
        switch (id) {
            case kTimerCloseWindow:
                // Deleted when the event loop is back at this level: a
                // window still inside its own menu or dialog loop lives on
                // until that loop has returned.
                if (closingWindow) {
                    closingWindow.release()->deleteLater();
                }
                KillTimer(kTimerCloseWindow);  // nothing more is pending
                break;
            case kTimerSync:
                PeriodicSyncCheck();
                break;
            case kTimerDate:
                DateChangeCheck();
                break;
            case kTimerResume:
                AfterResume();
                break;
            case kTimerVersion:
                if (!resumePending) {
                    SetTimer(kTimerVersion, kVersionDayPeriod);
                    StartVersionCheck();
                }
                break;
            case kTimerBottomBar:
                windows->RefreshBottomBars();
                break;
            case kTimerMouse:
                windows->CheckMouse();
                break;
            default:
                break;
        }
    } catch (const std::exception& e) {
        Log(Utility::kLogError, std::string("Controller::CDispatchWnd::OnTimer ") + e.what());
        if (log) {
            log->Write(Utility::kLogError, "Controller::CDispatchWnd::OnTimer", kTimerStdHandler,
                       static_cast<long>(id));
        }
    } catch (...) {
        if (log) {
            log->Write(Utility::kLogError, "Controller::CDispatchWnd::OnTimer", kTimerOtherHandler,
                       static_cast<long>(id));
        }
    }
}

void CDispatchWnd::PeriodicSyncCheck() {
    if (!awake || resumePending || Ticks() / 1000 <= 360) {
        Log(Utility::kLogInfo, "now power off");
        return;
    }
    const platform::CTime now = platform::CTime::GetCurrentTime();
    const int64_t period = static_cast<int64_t>(config->syncDuration) * 60;
    if (config->periodicSync && now - lastSyncTime >= period) {
        manager->SyncEvents();
        lastSyncTime = now;
    }
}

void CDispatchWnd::DateChangeCheck() {
    const platform::CTime now = platform::CTime::GetCurrentTime();
    if (now.GetDay() == lastDateTime.GetDay()) {
        return;
    }
    Log(Utility::kLogInfo, "date changed");
    windows->DateChanged();
    lastDateTime = now;
    if (!setup.maniac || !setup.maniac->hideTaskTrayIcon) {
        AddTrayIcon();
    }
}

void CDispatchWnd::AfterResume() {
    Log(Utility::kLogInfo, "post resume sync");
    lastSyncTime = platform::CTime::GetCurrentTime();
    KillTimer(kTimerResume);
    resumePending = 0;
    if (!setup.maniac || !setup.maniac->hideTaskTrayIcon) {
        AddTrayIcon();
    }
}

void CDispatchWnd::OnPowerBroadcast(int event) {
    if (closed) {
        return;
    }
    if (event == kPowerResumeAutomatic) {
        Log(Utility::kLogInfo, "resumed");
        windows->UpdateAll(1);
        SetTimer(kTimerResume, kResumePeriod);
        awake = 1;
        resumePending = 1;
        if (reminders) {
            reminders->Rearm();  // the reminders that fell while asleep, once
        }
    } else if (event == kPowerSuspend) {
        Log(Utility::kLogInfo, "suspended");
        awake = 0;
    }
}

void CDispatchWnd::StartVersionCheck() {
    const platform::CTime now = platform::CTime::GetCurrentTime();
    if (now.GetTime() < config->GetVersionCheckDate().GetTime() + 864000) {
        return;
    }
    const std::string url =
        VersionCheckUrl(platform::WideToUtf8(config->GetVersionCheckUrl()),
                        platform::WideToUtf8(config->GetInstallText()), calendarMode);
    if (url.empty()) {
        return;  // no version page configured
    }
    Log(Utility::kLogInfo, "checking version.");
    // The fetcher reads the configuration here, not on the checking thread.
    versionChecker->Start(url, Handle(), kDispatchVersionResult,
                          setup.makeFetcher ? setup.makeFetcher() : CVersionChecker::Fetcher());
}

void CDispatchWnd::OnVersionResult() {
    const CVersionChecker::Result result = versionChecker->TakeResult();
    if (!result.ok) {
        Log(Utility::kLogInfo, "can't get version (http code)", result.httpCode);
        return;
    }
    const std::string current = platform::kVersionText;
    const std::string latest = LatestVersionFromPage(result.body);
    const int latestNumber = VersionNumber(latest);
    if (latestNumber > VersionNumber(current)) {
        CVersionUpNoticeDlg dialog(current, latest, this);
        RunDialog(dialog);
        if (closed) {
            return;
        }
    }
    config->SetVersionCheckDate(platform::CTime::GetCurrentTime());
    Log(Utility::kLogInfo, "version:" + current, latestNumber);
}

void CDispatchWnd::OnTrayIcon(uint32_t iconId, int64_t mouseMessage) {
    if (iconId != kTrayIconId) {
        return;
    }
    if (mouseMessage == kTrayLeftButtonDown) {
        windows->BringAllToFront();
    } else if (mouseMessage == kTrayRightButtonUp && windows->Count() > 0) {
        windows->ShowFirstContextMenu(QCursor::pos());
    }
}

void CDispatchWnd::OnWizardRequest(uint32_t kind) {
    if (kind == kWizardForReset) {
        Log(Utility::kLogInfo, "<dispatch> REQ_OPEN_WIZARD_FOR_RESET");
    } else if (kind == kWizardForNewAccount) {
        Log(Utility::kLogInfo, "<dispatch> REQ_OPEN_WIZARD_FOR_NEW_ACCOUNT");
    } else {
        return;
    }
    OpenWizard(kind == kWizardForReset ? CSetupWizardDlg::kModeReset
                                       : CSetupWizardDlg::kModeNewAccount);
}

void CDispatchWnd::OpenWizard(int mode) {
    wizard.reset();
    CSetupWizardDlg::Setup s;
    s.manager = manager.get();
    s.config = config;
    s.log = log;
    s.mode = mode;
    s.styleFolder = setup.dataFolder.empty() ? std::string() : setup.dataFolder + "/style";
    s.imageFolder = setup.programFolder + "/image";
    s.dataFolder = setup.dataFolder;
    s.notifyWindow = Handle();
    s.notifyMessage = kDispatchWizardFinished;
    s.mainWindow = Handle();
    s.closeMessage = kDispatchEndSession;
    // The product's site is the host of the version page.
    const QUrl page(QString::fromStdWString(config->GetVersionCheckUrl()));
    if (page.isValid() && !page.host().isEmpty()) {
        s.productSite = page.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                            .toString()
                            .toStdString();
    }
    wizard = std::make_unique<CSetupWizardDlg>(std::move(s));
    wizard->Start();
    // In the middle of the primary screen (a window manager may place it
    // itself).
    wizard->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = wizard->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        wizard->move(frame.topLeft());
    }
    wizard->show();
    wizard->raise();
    wizard->activateWindow();
}

void CDispatchWnd::OnWizardFinished(platform::WParam result) {
    if (result != 0) {
        return;
    }
    // The style, the week's first day and the underline of booked days the
    // wizard may have changed.
    if (setup.styleChanged) {
        setup.styleChanged();
    }
    windows->RebuildIconBars();
    // The windows show what the wizard brought.
    windows->UpdateAllCaches();
    if (!bootDone) {
        // The first start: the boot sequence (timers, tray icon) follows
        // the wizard.
        platform::PostMessage(Handle(), kDispatchBootSequence);
    }
}

void CDispatchWnd::AddTrayIcon() {
    if (!trayIcon) {
        trayIcon = std::make_unique<CTrayIcon>(
            QString::fromStdString(ImageFolder() + "smallIcon.png"), Handle());
    }
    trayIcon->Add(platform::CTime::GetCurrentTime().GetDay());
}

void CDispatchWnd::RemoveTrayIcon() {
    if (trayIcon) {
        trayIcon->Remove();
    }
}

void CDispatchWnd::SavePositions() {
    windows->SavePositions(setup.dataFolder);
}

void CDispatchWnd::Log(const char* level, const std::string& text) const {
    if (log) {
        log->Write(level, text);
    }
}

void CDispatchWnd::Log(const char* level, const std::string& text, long number) const {
    if (log) {
        log->Write(level, text, number);
    }
}

uint32_t CDispatchWnd::Ticks() const {
    return setup.tickCount();
}

std::string CDispatchWnd::ImageFolder() const {
    return setup.programFolder + "/image/";
}

}  // namespace Controller
