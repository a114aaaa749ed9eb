// The dispatch window on the offscreen platform with recording stand-ins for
// the calendar manager and the window registry: commands, notifications, the
// boot sequence in each calendar mode, the initial download, the timers, the
// version check, suspend and resume, the tray icon's image and the close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <memory>
#include <vector>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "controller/qt/TrayIcon.h"
#include "controller/qt/VersionCheck.h"
#include "dialogs/AccountDialogs.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetupWizardDlg.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/Time.h"
#include "platform/Version.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWndSource.h"

using namespace Controller;
using testsupport::ReadFile;
using testsupport::ScopedTz;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "dispatch_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// What the dispatch window asked of the manager, in order.
struct ManagerCalls {
    std::vector<std::string> calls;
    std::list<Model::Calendar> calendars;
    bool calendarsOk = true;
    bool holidaysMissing = false;
    int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
};

class FakeManager : public IDispatchManager {
public:
    explicit FakeManager(ManagerCalls& c) : c(c) {}
    void Initialize(const std::wstring& account, const std::wstring&,
                    Utility::CMaintenanceLog*) override {
        c.calls.push_back("Initialize " + std::string(account.begin(), account.end()));
    }
    bool IsInitialized() const override { return true; }
    void Terminate() override { c.calls.push_back("Terminate"); }
    void Reset() override { c.calls.push_back("Reset"); }
    void RemoveListener(platform::WindowHandle) override {}
    void UpdateCalendar(const std::wstring&, bool, bool) override {}
    size_t GetPendingRequestCount() override { return 0; }
    void ChangeAccount(const std::wstring& account, const std::wstring&) override {
        c.calls.push_back("ChangeAccount " + std::string(account.begin(), account.end()));
    }
    void SetDisableSync(bool) override {}
    void SetProxy(bool, const std::wstring&, const std::wstring&, const std::wstring&) override {}
    void SetHttpLog(bool, const std::string&, bool) override {}
    void SetExtraCaFile(const std::string&) override {}
    void SetLoginUrl(const std::wstring&) override {}
    void AddListener(platform::WindowHandle, uint32_t message) override {
        c.calls.push_back("AddListener " + std::to_string(message));
    }
    void DownloadCalenar() override { c.calls.push_back("DownloadCalenar"); }
    void DownloadHoliday(const std::wstring&, int first, int last) override {
        c.calls.push_back("DownloadHoliday " + std::to_string(first) + "-" + std::to_string(last));
    }
    void DownloadAllEvent(const std::wstring& uri) override {
        c.calls.push_back("DownloadAllEvent " + std::string(uri.begin(), uri.end()));
    }
    void SyncEvents() override { c.calls.push_back("SyncEvents"); }
    void CreateLocalDB(const std::wstring&) override { c.calls.push_back("CreateLocalDB"); }
    bool GetCalendars(std::list<Model::Calendar>& out) override {
        out = c.calendars;
        return c.calendarsOk;
    }
    bool GetUnretrievedHolidayYears(const std::wstring&, int& first, int& last) override {
        first = 2025;
        last = 2027;
        return c.holidaysMissing;
    }
    std::wstring GetHolidayCalendarURI(const std::wstring&) override { return L"holiday-uri"; }
    std::wstring GetLastErrorDescription() const override { return L"description"; }
    std::wstring GetLastErrorText() const override { return L"text"; }

private:
    ManagerCalls& c;
};

struct WindowCalls {
    std::vector<std::string> calls;
    std::vector<int> ids{0};
    int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
};

class FakeWindows : public ICalendarWindows {
public:
    explicit FakeWindows(WindowCalls& c) : c(c) {}
    void LoadAndCreate(const std::string&, platform::WindowHandle, uint32_t message) override {
        c.calls.push_back("LoadAndCreate " + std::to_string(message));
    }
    bool SavePositions(const std::string&) override {
        c.calls.push_back("SavePositions");
        return true;
    }
    void NewWindow() override {
        c.calls.push_back("NewWindow");
        c.ids.push_back(c.ids.empty() ? 0 : c.ids.back() + 1);
    }
    std::unique_ptr<QObject> CloseWindow(int id) override {
        c.calls.push_back("CloseWindow " + std::to_string(id));
        const auto it = std::find(c.ids.begin(), c.ids.end(), id);
        if (it == c.ids.end()) {
            return nullptr;
        }
        c.ids.erase(it);
        return std::make_unique<QObject>();
    }
    void AlignWindows() override { c.calls.push_back("AlignWindows"); }
    void ShowCurrentMonths() override {}
    void RefreshAll() override {}
    void DateChanged() override { c.calls.push_back("DateChanged"); }
    void ForwardEventUpdate() override { c.calls.push_back("ForwardEventUpdate"); }
    void RebuildIconBars() override { c.calls.push_back("RebuildIconBars"); }
    void DumpWindows(bool) override {}
    int Count() const override { return static_cast<int>(c.ids.size()); }
    void UpdateAll(int flag) override { c.calls.push_back("UpdateAll " + std::to_string(flag)); }
    void UpdateAllCaches() override {}
    void RefreshBottomBars() override { c.calls.push_back("RefreshBottomBars"); }
    void CheckMouse() override {}
    void BringAllToFront() override { c.calls.push_back("BringAllToFront"); }
    void ShowFirstContextMenu(const QPoint&) override { c.calls.push_back("ContextMenu"); }
    void OpenFirstSettings() override { c.calls.push_back("OpenFirstSettings"); }

private:
    WindowCalls& c;
};

Model::Calendar MakeCalendar(const std::wstring& uri, int64_t eventUpdated, bool holiday = false,
                             bool shown = true) {
    Model::Calendar calendar;
    calendar.calendarURI = uri;
    calendar.eventUpdated = platform::CTime(eventUpdated);
    calendar.isHoliday = holiday;
    calendar.showEvents = shown;
    return calendar;
}

// Nine in the morning of the real day: the log starts its weekday file anew
// when the file was last written on another day than the clock's.
int64_t MorningOfToday() {
    return platform::LocalMidnight(platform::CTime(::time(nullptr))).GetTime() + 9 * 3600;
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        platform::CreateFolderTree(dir / "log");
        log.SetFolder(dir / "log");
        config.syncDuration = 90;
        config.periodicSync = 1;
    }
    void TearDown() override { dialogs::SetModalHook({}); }

    // Makes and creates the window in `mode`; runs the boot sequence.
    void Start(int mode, bool withAccount = true) {
        config.WriteInt("general", "calendar_mode", mode);
        if (mode == 1 && !withAccount) {
            config.SetAccountId(L"");
        } else if (mode == 1 && config.GetAccountId().empty()) {
            config.SetAccountId(L"taro@example.com");
        }
        CDispatchWnd::Setup setup;
        setup.config = &config;
        setup.maniac = &maniac;
        setup.log = &log;
        setup.dataFolder = dir.path();
        setup.programFolder = std::string(DAYMARK_BINARY_DIR) + "/bin";
        setup.manager = std::make_unique<FakeManager>(manager);
        setup.windows = std::make_unique<FakeWindows>(windows);
        setup.tickCount = [this] { return ticks; };
        setup.fetchPage = [this](const std::string& url, std::string& body, int& code) {
            fetchedUrls.push_back(url);
            body = page;
            code = pageCode;
            return pageCode == 200;
        };
        setup.watchSleep = false;
        wnd = std::make_unique<CDispatchWnd>(std::move(setup));
        ASSERT_TRUE(wnd->Create());
        QCoreApplication::processEvents();  // the posted boot sequence
    }

    std::string Log() const {
        std::string all;
        for (int day = 1; day <= 7; ++day) {
            all += ReadFile(dir / ("log/Log" + std::to_string(day) + ".txt"));
        }
        return all;
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    void Timer(uint32_t id) {
        // The timer's handler, as the elapsed timer calls it.
        wnd->OnTimer(id);
    }

    ScopedTz tz{"Asia/Tokyo"};
    const int64_t kNow = MorningOfToday();
    int64_t now = kNow;
    platform::ScopedClock clock{[this] { return now; }};
    uint32_t ticks = 3600 * 1000;  // an hour after the system started
    TempDir dir;
    Model::CConfigInfo config{dir / "config.ini"};
    Model::CManiacOption maniac;
    Utility::CMaintenanceLog log;
    ManagerCalls manager;
    WindowCalls windows;
    std::string page;
    int pageCode = 200;
    std::vector<std::string> fetchedUrls;
    std::unique_ptr<CDispatchWnd> wnd;
};

TEST_F(Dispatch, CloseWindowCommandForAnUnknownIdStillSavesPositions) {
    Start(2);
    windows.calls.clear();
    EXPECT_EQ(platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdCloseWindow, 42), 1);
    EXPECT_FALSE(wnd->HasClosingWindow());
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"CloseWindow 42", "SavePositions"}));
    EXPECT_TRUE(Logged("[info] <menu>close window (42)\n"));
}

TEST_F(Dispatch, ClosedWindowIsDeletedByTimerOne) {
    Start(2);
    ASSERT_EQ(platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdCloseWindow, 0), 1);
    ASSERT_TRUE(wnd->HasClosingWindow());
    EXPECT_TRUE(wnd->HasTimer(kTimerCloseWindow));
    Timer(kTimerCloseWindow);
    EXPECT_FALSE(wnd->HasClosingWindow());
    EXPECT_FALSE(wnd->HasTimer(kTimerCloseWindow));  // nothing more to delete: no idle wake-ups
}

TEST_F(Dispatch, CommandsTable) {
    Start(2);
    windows.calls.clear();
    int32_t count = -1;
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdWindowCount,
                          reinterpret_cast<platform::LParam>(&count));
    EXPECT_EQ(count, 1);
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdNewWindow, 0);
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdWindowCount,
                          reinterpret_cast<platform::LParam>(&count));
    EXPECT_EQ(count, 2);
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdAlignWindow, 0);
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdPosUpdate, 0);
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdRebuildIconBar, 0);
    EXPECT_EQ(platform::SendMessage(wnd->Handle(), kDispatchCommand, 77, 0), 1);
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"NewWindow", "SavePositions", "AlignWindows",
                                        "SavePositions", "SavePositions", "RebuildIconBars"}));
    const std::string text = Log();
    EXPECT_NE(text.find("[info] <menu>new window\n"), std::string::npos);
    EXPECT_NE(text.find("[act ] <menu>align window\n"), std::string::npos);
    EXPECT_NE(text.find("[info] <dispatch> pos update\n"), std::string::npos);
}

TEST_F(Dispatch, AccountModeBootSyncsAndPeriodicCheckFollowsSyncDuration) {
    manager.calendars = {MakeCalendar(L"cal-a", kNow - 3600)};
    Start(1);
    EXPECT_EQ(manager.calls.front(), "Initialize taro@example.com");
    EXPECT_EQ(manager.count("AddListener 1125"), 1);
    EXPECT_EQ(windows.count("LoadAndCreate 1124"), 1);
    EXPECT_TRUE(Logged("[info] <dispatch> boot sequence (1)\n"));
    EXPECT_TRUE(Logged("[info] <dispatch> initial sync\n"));
    EXPECT_TRUE(Logged("[info] <dispatch> boot sequence is done\n"));
    EXPECT_EQ(manager.count("SyncEvents"), 1);
    EXPECT_EQ(wnd->LastSyncTime(), kNow);
    for (uint32_t id : {kTimerSync, kTimerDate, kTimerVersion, kTimerMouse}) {
        EXPECT_TRUE(wnd->HasTimer(id)) << id;
    }
    // sync_duration 90: one hour and a half after the last synchronisation.
    struct Row {
        int64_t after;
        int syncs;
    };
    for (const Row& row : {Row{60 * 60, 1}, Row{89 * 60 + 59, 1}, Row{90 * 60, 2},
                           Row{90 * 60 + 60, 2}, Row{180 * 60, 3}}) {
        now = kNow + row.after;
        Timer(kTimerSync);
        EXPECT_EQ(manager.count("SyncEvents"), row.syncs) << row.after;
    }
    // Periodic synchronisation switched off.
    config.periodicSync = 0;
    now += 1000 * 60;
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 3);
}

TEST_F(Dispatch, EarlyStartSkipsInitialSyncAndSyncsAtOnceAfterSixMinutes) {
    ticks = 200 * 1000;
    Start(1);
    EXPECT_EQ(manager.count("SyncEvents"), 0);
    EXPECT_EQ(wnd->LastSyncTime(), 0);
    EXPECT_EQ(manager.count("DownloadCalenar"), 1);  // an empty calendar list
    Timer(kTimerSync);                               // 200 s of running time: too early
    EXPECT_EQ(manager.count("SyncEvents"), 0);
    EXPECT_TRUE(Logged("[info] now power off\n"));
    ticks = 361 * 1000;
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 1);
}

TEST_F(Dispatch, InitialDownloadRequestsWhatIsMissing) {
    Start(1);
    manager.calls.clear();
    manager.holidaysMissing = true;
    // Never downloaded (no stored time, or a 1980 time), downloaded, hidden,
    // holiday.
    const std::list<Model::Calendar> calendars{
        MakeCalendar(L"never", 0),
        MakeCalendar(L"old-store", platform::CTime(1980, 1, 1, 0, 0, 0).GetTime()),
        MakeCalendar(L"hidden", 0, false, false),
        MakeCalendar(L"holidays", 0, true),
        MakeCalendar(L"recent", kNow - 600),
    };
    // True only when the full downloads cover every calendar with events,
    // whichever order they come in.
    EXPECT_FALSE(wnd->InitialDownload(calendars));
    EXPECT_EQ(manager.calls,
              (std::vector<std::string>{"DownloadAllEvent never", "DownloadAllEvent old-store",
                                        "DownloadHoliday 2025-2027"}));
    EXPECT_FALSE(wnd->InitialDownload({MakeCalendar(L"recent", kNow), MakeCalendar(L"new", 0)}));
    EXPECT_TRUE(wnd->InitialDownload({MakeCalendar(L"new", 0), MakeCalendar(L"new2", 0),
                                      MakeCalendar(L"hidden", 0, false, false)}));
    EXPECT_TRUE(Logged("[info] <dispatch> InitialDownload (5)\n"));
    EXPECT_TRUE(Logged("[info] <dispatch> events are emtpy\n"));
}

TEST_F(Dispatch, FullDownloadAtBootReplacesTheInitialSync) {
    manager.calendars = {MakeCalendar(L"never", 0)};
    Start(1);
    EXPECT_EQ(manager.count("DownloadAllEvent never"), 1);
    EXPECT_EQ(manager.count("SyncEvents"), 0);
    EXPECT_EQ(wnd->LastSyncTime(), kNow);
}

// A new calendar does not cost the others their start-up sync, whichever
// place it has in the list.
TEST_F(Dispatch, BootSyncStillRunsWhenOnlySomeCalendarsAreNew) {
    manager.calendars = {MakeCalendar(L"recent", kNow - 600), MakeCalendar(L"never", 0)};
    Start(1);
    EXPECT_EQ(manager.count("DownloadAllEvent never"), 1);
    EXPECT_EQ(manager.count("SyncEvents"), 1);
}

TEST_F(Dispatch, LocalModeWithAnEmptyStoreCreatesItAndAsksForHolidays) {
    manager.holidaysMissing = true;
    Start(2);
    EXPECT_EQ(manager.calls.front(), "Initialize local");
    EXPECT_EQ(manager.count("CreateLocalDB"), 1);
    EXPECT_EQ(manager.count("DownloadHoliday 2025-2027"), 1);
    EXPECT_EQ(windows.count("ForwardEventUpdate"), 1);
    EXPECT_FALSE(wnd->HasTimer(kTimerSync));
    EXPECT_TRUE(wnd->HasTimer(kTimerDate));
    EXPECT_TRUE(wnd->HasTimer(kTimerVersion));
}

TEST_F(Dispatch, ModeZeroOpensWindowsButRunsNoBootSequence) {
    Start(0);
    EXPECT_TRUE(wnd->WizardDue());
    EXPECT_EQ(manager.count("Initialize "), 0);
    EXPECT_EQ(windows.count("LoadAndCreate 1124"), 1);
    for (uint32_t id : {kTimerSync, kTimerDate, kTimerVersion}) {
        EXPECT_FALSE(wnd->HasTimer(id)) << id;
    }
    EXPECT_TRUE(wnd->HasTimer(kTimerMouse));
    EXPECT_FALSE(Logged("boot sequence"));
    // The wizard is open; its end starts the boot sequence.
    ASSERT_NE(wnd->Wizard(), nullptr);
    EXPECT_TRUE(wnd->Wizard()->isVisible());
    EXPECT_EQ(wnd->Wizard()->GetState(), CSetupWizardDlg::kStateTop);
    platform::PostMessage(wnd->Handle(), kDispatchWizardFinished, 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Logged("boot sequence"));
    EXPECT_TRUE(wnd->HasTimer(kTimerDate));
}

TEST_F(Dispatch, AccountModeWithoutAnAccountSetsUpAgain) {
    // The program was ended inside the wizard after it chose the mode.
    Start(1, false);
    EXPECT_TRUE(wnd->WizardDue());
    EXPECT_TRUE(Logged("[info] <dispatch> no account: setup again\n"));
    EXPECT_EQ(manager.count("Initialize "), 0);
    EXPECT_EQ(manager.count("SyncEvents"), 0);
    ASSERT_NE(wnd->Wizard(), nullptr);
    EXPECT_TRUE(wnd->Wizard()->isVisible());
}

TEST_F(Dispatch, FailedCalendarReadIsLoggedAndTimersStillStart) {
    manager.calendarsOk = false;
    Start(1);
    EXPECT_TRUE(Logged("[info] get calendar error ("));
    EXPECT_TRUE(wnd->HasTimer(kTimerSync));
    EXPECT_TRUE(wnd->HasTimer(kTimerDate));
}

TEST_F(Dispatch, SuspendAndResume) {
    manager.calendars = {MakeCalendar(L"cal", kNow)};
    Start(1);
    wnd->OnPowerBroadcast(kPowerSuspend);
    EXPECT_FALSE(wnd->IsAwake());
    now = kNow + 5 * 3600;
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 1);  // the initial one only
    wnd->OnPowerBroadcast(kPowerResumeAutomatic);
    EXPECT_TRUE(wnd->IsAwake());
    EXPECT_TRUE(wnd->IsResumePending());
    EXPECT_EQ(windows.count("UpdateAll 1"), 1);
    EXPECT_TRUE(wnd->HasTimer(kTimerResume));
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 1);
    Timer(kTimerResume);
    EXPECT_FALSE(wnd->IsResumePending());
    EXPECT_FALSE(wnd->HasTimer(kTimerResume));
    EXPECT_EQ(wnd->LastSyncTime(), now);
    const std::string text = Log();
    for (const char* line : {"[info] suspended\n", "[info] resumed\n", "[info] now power off\n",
                             "[info] post resume sync\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    // The next synchronisation follows sync_duration minutes after resume.
    now += 89 * 60;
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 1);
    now += 60;
    Timer(kTimerSync);
    EXPECT_EQ(manager.count("SyncEvents"), 2);
}

TEST_F(Dispatch, DateChangeUpdatesWindowsAndTrayIcon) {
    Start(2);
    ASSERT_NE(wnd->TrayIcon(), nullptr);
    const int day = platform::CTime(now).GetDay();
    EXPECT_EQ(wnd->TrayIcon()->Day(), day);
    Timer(kTimerDate);
    EXPECT_EQ(windows.count("DateChanged"), 0);
    now += 86400;
    Timer(kTimerDate);
    EXPECT_EQ(windows.count("DateChanged"), 1);
    EXPECT_EQ(wnd->TrayIcon()->Day(), platform::CTime(now).GetDay());
    EXPECT_TRUE(Logged("[info] date changed\n"));
}

TEST_F(Dispatch, HiddenTrayIconIsNeverAdded) {
    maniac.hideTaskTrayIcon = 1;
    Start(2);
    EXPECT_EQ(wnd->TrayIcon(), nullptr);
    now += 86400;
    Timer(kTimerDate);
    EXPECT_EQ(wnd->TrayIcon(), nullptr);
}

TEST_F(Dispatch, TrayClicks) {
    Start(2);
    platform::SendMessage(wnd->Handle(), kDispatchTrayIcon, kTrayIconId, kTrayLeftButtonDown);
    platform::SendMessage(wnd->Handle(), kDispatchTrayIcon, kTrayIconId, kTrayRightButtonUp);
    platform::SendMessage(wnd->Handle(), kDispatchTrayIcon, 1999, kTrayLeftButtonDown);
    windows.ids.clear();
    platform::SendMessage(wnd->Handle(), kDispatchTrayIcon, kTrayIconId, kTrayRightButtonUp);
    EXPECT_EQ(windows.count("BringAllToFront"), 1);
    EXPECT_EQ(windows.count("ContextMenu"), 1);
}

TEST(VersionCheck, VersionNumbers) {
    struct Row {
        const char* text;
        int number;
    };
    for (const Row& row : {Row{"2.0.2.0", 2020}, Row{"2.0.1.6", 2016}, Row{"2.0.10.1", 0},
                           Row{"0.1.0.0", 100}, Row{"9.9.9.9", 9999}, Row{"2.0.1", 0}, Row{"", 0},
                           Row{"a.b.c.d", 0}, Row{"2-0-1-6", 0}, Row{"2.0.1.6 beta", 2016}}) {
        EXPECT_EQ(VersionNumber(row.text), row.number) << row.text;
    }
    EXPECT_EQ(LatestVersionFromPage("<p>version:2.0.2.0\r\nrest"), "2.0.2.0");
    EXPECT_EQ(LatestVersionFromPage("version:2.0.2.0"), "2.0.2.0");
    EXPECT_EQ(LatestVersionFromPage("no version here"), "");
    EXPECT_EQ(VersionCheckUrl("", "20250101_000000", 1), "");
    EXPECT_EQ(VersionCheckUrl("https://example.test/version/version.html", "2025 01&x", 2),
              "https://example.test/version/version.html?install=2025%2001%26x&mode=2");
}

TEST_F(Dispatch, VersionCheckShowsTheNoticeForANewerVersionOnly) {
    config.WriteString("debug", "version_check_url", L"https://example.test/version/version.html");
    config.WriteString("date", "install", L"20250101_120000");
    Start(1);
    std::vector<std::string> shown;
    dialogs::SetModalHook([&](QDialog& dialog) {
        shown.push_back(dialog.objectName().toStdString());
        return int(QDialog::Accepted);
    });
    page = "<html>version:9.9.9.9\nmore";
    Timer(kTimerVersion);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents();
        return !shown.empty();
    }));
    ASSERT_EQ(fetchedUrls.size(), 1u);
    EXPECT_EQ(fetchedUrls[0],
              "https://example.test/version/version.html?install=20250101_120000&mode=1");
    EXPECT_EQ(shown, std::vector<std::string>{"versionUpNoticeDlg"});
    EXPECT_TRUE(Logged(std::string("[info] version:") + platform::kVersionText + " (9999)\n"));
    EXPECT_EQ(config.GetVersionCheckDate().Format("%Y/%m/%d"),
              platform::CTime(now).Format("%Y/%m/%d"));
    EXPECT_TRUE(wnd->HasTimer(kTimerVersion));

    // Within ten days of the last check nothing is asked.
    now += 9 * 86400;
    Timer(kTimerVersion);
    QCoreApplication::processEvents();
    EXPECT_EQ(fetchedUrls.size(), 1u);

    // An older or unreadable version shows nothing; a failure is only logged.
    now += 2 * 86400;
    page = "version:0.0.0.1\n";
    Timer(kTimerVersion);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents();
        return Logged(std::string("[info] version:") + platform::kVersionText + " (1)\n");
    }));
    now += 11 * 86400;
    pageCode = 404;
    Timer(kTimerVersion);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents();
        return Logged("[info] can't get version (http code) (404)\n");
    }));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(config.GetVersionCheckDate().Format("%Y/%m/%d"),
              platform::CTime(now - 11 * 86400).Format("%Y/%m/%d"));
}

// The fetcher takes the proxy and CA settings when it is made (on the
// user-interface thread as a check starts) and reads no configuration on the
// checking thread.
TEST_F(Dispatch, VersionPageFetcherTakesTheSettingsWhenMade) {
    testsupport::StandinServer server;
    Model::CConfigInfo settings(dir / "fetch.ini");
    settings.WriteString("debug", "ca_file", platform::Utf8ToWide(server.CaFile()));
    const auto before = MakeVersionPageFetcher(settings, dir.path());
    settings.WriteInt("general", "enable_proxy", 1);
    settings.WriteString("general", "proxy", L"http://127.0.0.1:1");  // nothing listens there
    const auto after = MakeVersionPageFetcher(settings, dir.path());
    std::string body;
    int code = 0;
    EXPECT_TRUE(before(server.Base() + "/_control/ping", body, code));
    EXPECT_EQ(body, "ok");
    EXPECT_FALSE(after(server.Base() + "/_control/ping", body, code));
}

// The program's calendar windows reach the manager through the adapter's
// window source: an iCalendar import and export from a window are the
// manager's, not the source's do-nothing defaults.
TEST(DispatchAdapters, TheWindowSourceImportsAndExportsThroughTheManager) {
    ScopedTz tz("Asia/Tokyo");
    TempDir data;
    platform::CreateFolderTree(data / "log");
    platform::WritePrivateProfileString("general", "calendar_mode", "2", data / "config.ini");
    const auto manager = MakeDispatchManager(data / "config.ini", data.path());
    manager->Initialize(L"local", L"", nullptr);
    manager->CreateLocalDB(L"https://127.0.0.1:9/holidays/full");
    ICalendarWndSource* source = manager->WindowSource();
    ASSERT_NE(source, nullptr);
    WriteFile(data / "in.ics",
              "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\n"
              "UID:dentist@example.com\r\nDTSTART:20260701T000000Z\r\n"
              "DTEND:20260701T003000Z\r\nSUMMARY:Dentist\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    const IcalFileResult imported = source->ImportIcalendar(data / "in.ics");
    EXPECT_TRUE(imported.ok) << imported.problem.message;
    EXPECT_EQ(imported.imported.added, 1);
    const IcalFileResult exported = source->ExportIcalendar(data / "out.ics");
    EXPECT_TRUE(exported.ok) << exported.problem.message;
    EXPECT_EQ(exported.exported.events, 1);
    EXPECT_NE(ReadFile(data / "out.ics").find("SUMMARY:Dentist"), std::string::npos);
    manager->Terminate();
}

TEST_F(Dispatch, NoVersionPageConfiguredMeansNoCheck) {
    Start(2);
    Timer(kTimerVersion);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fetchedUrls.empty());
    EXPECT_FALSE(Logged("checking version."));
}

TEST_F(Dispatch, AuthenticationDialogChangesAccountOrAsksForTheWizard) {
    config.SetAccountId(L"me@example.test");
    manager.calendars = {MakeCalendar(L"cal", kNow)};
    Start(1);
    manager.calls.clear();
    std::wstring typed = L"me@example.test";
    dialogs::SetModalHook([&](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), "authErrorDlg");
        auto* account = dialog.findChild<QLineEdit*>("accountEdit");
        EXPECT_EQ(account->text(), "me@example.test");
        account->setText(QString::fromStdWString(typed));
        dialog.findChild<QLineEdit*>("passwordEdit")->setText("secret");
        return int(QDialog::Accepted);
    });
    platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_AUTH_FAILED);
    EXPECT_EQ(manager.calls,
              (std::vector<std::string>{"ChangeAccount me@example.test", "SyncEvents"}));
    EXPECT_EQ(config.GetAccountPassword(), L"secret");

    typed = L"other@example.test";
    platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_AUTH_FAILED);
    QCoreApplication::processEvents();
    EXPECT_EQ(config.GetAccountId(), L"other@example.test");
    EXPECT_TRUE(Logged("[info] <dispatch> REQ_OPEN_WIZARD_FOR_RESET\n"));
}

TEST_F(Dispatch, ErrorDialogOffersTheSettingsForNetworkProblemsOnly) {
    Start(2);
    int opened = 0;
    dialogs::SetModalHook([&](QDialog& dialog) {
        ++opened;
        EXPECT_EQ(dialog.objectName(), "errorDlg");
        return int(QDialog::Accepted);
    });
    platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_ERROR);
    EXPECT_EQ(windows.count("OpenFirstSettings"), 0);
    platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_NET_SETTING_PROBLEM);
    EXPECT_EQ(windows.count("OpenFirstSettings"), 1);
    // Codes outside 1 to 7 are ignored.
    platform::SendMessage(wnd->Handle(), kDispatchNotify, 0);
    platform::SendMessage(wnd->Handle(), kDispatchNotify, 99);
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(Logged("[info] <dispatch> NOTIFY_ERROR:\n"));
}

TEST_F(Dispatch, AccountDialogStoresProxySettings) {
    Start(1);
    manager.calls.clear();
    dialogs::SetModalHook([&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("proxyEdit")->setText("proxy.test:8080");
        dialog.accept();
        return int(QDialog::Accepted);
    });
    platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_PROXY_FAILED);
    EXPECT_EQ(config.GetProxy(), L"proxy.test:8080");
    EXPECT_EQ(manager.calls,
              (std::vector<std::string>{"ChangeAccount taro@example.com", "SyncEvents"}));
    EXPECT_TRUE(Logged("[act ] set google\n"));
}

TEST_F(Dispatch, CloseStopsTheManagerSavesPositionsOnce) {
    Start(2);
    manager.calls.clear();
    windows.calls.clear();
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdAppExit, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(wnd->IsClosed());
    EXPECT_FALSE(wnd->HasTimer(kTimerMouse));
    wnd.reset();
    EXPECT_EQ(manager.calls, std::vector<std::string>{"Terminate"});
    EXPECT_EQ(windows.calls, std::vector<std::string>{"SavePositions"});
    EXPECT_TRUE(Logged("[info] <menu>app exit\n"));
    EXPECT_TRUE(Logged("[info] exit\n"));
}

TEST_F(Dispatch, AccountRequestsWaitForAnOpenDialogAndOnlyErrorsAreDropped) {
    Start(1);
    std::vector<std::string> shown;
    int errorsInside = 0;
    dialogs::SetModalHook([&](QDialog& dialog) {
        shown.push_back(dialog.objectName().toStdString());
        if (shown.size() == 1) {
            // While the account dialog is open: an authentication failure
            // (twice), a proxy failure and two errors arrive.
            platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_AUTH_FAILED);
            platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_AUTH_FAILED);
            platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_PROXY_FAILED);
            platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_ERROR);
            errorsInside = static_cast<int>(shown.size());
        } else if (dialog.objectName() == "errorDlg") {
            // An error while the error dialog is open is not asked twice.
            platform::SendMessage(wnd->Handle(), kDispatchNotify, NOTIFY_ERROR);
        }
        return int(QDialog::Rejected);
    });
    platform::SendMessage(wnd->Handle(), kDispatchCommand, kCmdSetGoogle, 0);
    // The error dialog opened over the account dialog at once.
    EXPECT_EQ(errorsInside, 2);
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"setGoogleAccountDlg", "errorDlg", "authErrorDlg",
                                               "setGoogleAccountDlg"}));
}

TEST_F(Dispatch, ATrayThatAppearsLaterGetsTheIcon) {
    bool available = false;
    CTrayIcon::TrayAvailable() = [&available] { return available; };
    Start(2);
    ASSERT_NE(wnd->TrayIcon(), nullptr);
    EXPECT_TRUE(wnd->TrayIcon()->IsAdded());
    EXPECT_FALSE(wnd->TrayIcon()->IsShown());
    EXPECT_TRUE(wnd->TrayIcon()->IsWaitingForTray());
    wnd->TrayIcon()->CheckTray();
    EXPECT_FALSE(wnd->TrayIcon()->IsShown());
    available = true;  // the panel has started
    wnd->TrayIcon()->CheckTray();
    EXPECT_TRUE(wnd->TrayIcon()->IsShown());
    EXPECT_FALSE(wnd->TrayIcon()->IsWaitingForTray());
    CTrayIcon::TrayAvailable() = [] { return false; };
}

TEST(TrayIcon, DayIsDrawnInDarkGreyOverTheImage) {
    App();
    QImage base(16, 16, QImage::Format_ARGB32);
    base.fill(QColor(255, 255, 255));
    const QImage one = DrawTrayDayImage(base, 8);
    const QImage two = DrawTrayDayImage(base, 28);
    EXPECT_EQ(one.size(), QSize(16, 16));
    EXPECT_NE(one, two);
    int dark = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QColor c = two.pixelColor(x, y);
            EXPECT_EQ(c.alpha(), 255);
            if (c.red() < 160 && c.red() == c.green() && c.green() == c.blue()) {
                ++dark;
            }
        }
    }
    EXPECT_GT(dark, 4);
    EXPECT_EQ(two.pixelColor(0, 0), QColor(255, 255, 255));  // the corner stays the image's
    // Without the image the digits still show, on a transparent ground.
    const QImage bare = DrawTrayDayImage(QImage(), 5);
    EXPECT_EQ(bare.pixelColor(0, 0).alpha(), 0);
    // The shipped image loads.
    EXPECT_FALSE(QImage(QString(DAYMARK_SOURCE_DIR) + "/resources/image/smallIcon.png").isNull());
}

}  // namespace
