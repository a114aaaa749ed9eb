// The calendar settings dialog and the option dialog on the offscreen
// platform: widgets found by object name, message boxes answered from the
// test; applying the options against a recording manager, and once against
// the real manager and the stand-in service (a new login without the wizard).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/ConfigInfo.h"
#include "controller/Notifications.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchMessages.h"
#include "controller/qt/DispatchPorts.h"
#include "dialogs/DoubleCheckListCtrl.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetCalendarDlg.h"
#include "dialogs/SetManiacOptionDlg.h"
#include "dialogs/SetupManager.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;

namespace {

using testsupport::App;

constexpr platform::WindowHandle kDispatch = 4242;

std::string Narrow(const std::wstring& text) {
    return platform::WideToUtf8(text);
}

class RecordingManager : public ISetupManager {
public:
    std::vector<std::string> calls;
    std::list<Model::Calendar> calendars;
    size_t pending = 0;

    bool IsInitialized() const override { return true; }
    void Initialize(const std::wstring&, const std::wstring&, Utility::CMaintenanceLog*) override {}
    void Terminate() override {}
    void ChangeAccount(const std::wstring& account, const std::wstring& password) override {
        calls.push_back("ChangeAccount " + Narrow(account) + " " + Narrow(password));
    }
    void Reset() override { calls.push_back("Reset"); }
    void SetProxy(bool enabled, const std::wstring& proxy, const std::wstring&,
                  const std::wstring& password) override {
        calls.push_back("SetProxy " + std::to_string(enabled) + " " + Narrow(proxy) + " " +
                        Narrow(password));
    }
    void SetHttpLog(bool, const std::string&, bool) override {}
    void AddListener(platform::WindowHandle, uint32_t) override {}
    void RemoveListener(platform::WindowHandle) override {}
    void DownloadCalenar() override {}
    void DownloadHoliday(const std::wstring&, int, int) override {}
    void DownloadAllEvent(const std::wstring&) override {}
    void SyncEvents() override { calls.push_back("SyncEvents"); }
    void CreateLocalDB(const std::wstring&) override {}
    void UpdateCalendar(const std::wstring& uri, bool show, bool write) override {
        calls.push_back("UpdateCalendar " + Narrow(uri) + " " + std::to_string(show) +
                        std::to_string(write));
    }
    bool GetCalendars(std::list<Model::Calendar>& out) override {
        out = calendars;
        return true;
    }
    std::wstring GetHolidayCalendarURI(const std::wstring&) override { return L""; }
    size_t GetPendingRequestCount() override { return pending; }
    std::wstring GetLastErrorDescription() const override { return L""; }
    std::wstring GetLastErrorText() const override { return L""; }
};

Model::Calendar MakeCalendar(const std::wstring& uri, int level, bool show, bool write) {
    Model::Calendar c;
    c.calendarURI = uri;
    c.title = uri;
    c.accesslevel = level;
    c.showEvents = show;
    c.writeEvents = write;
    return c;
}

class SettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        config = std::make_unique<Model::CConfigInfo>(dir / "config.ini");
        config->WriteInt("general", "calendar_mode", 1);
        config->SetAccountId(L"hanako.sato@example.com");
        config->SetAccountPassword(L"secret");
        config->Load(dir / "config.ini");
        poster.AddWindow(kDispatch);
        dialogs::SetModalHook([this](QDialog& d) {
            boxes.push_back(d.objectName().toStdString());
            return d.objectName() == "questionBox" ? static_cast<int>(QMessageBox::Yes)
                                                   : static_cast<int>(QMessageBox::Ok);
        });
    }
    void TearDown() override { dialogs::SetModalHook({}); }

    ManiacApplyTarget Target() const {
        ManiacApplyTarget t;
        t.dispatchWindow = kDispatch;
        t.commandMessage = Controller::kDispatchCommand;
        t.rebuildIconBarCommand = Controller::kCmdRebuildIconBar;
        t.wizardRequest = Controller::kDispatchWizardRequest;
        t.newAccountKind = Controller::kWizardForNewAccount;
        return t;
    }
    int Posted(uint32_t message, platform::WParam wParam) const {
        int n = 0;
        for (const auto& m : poster.Messages()) {
            n += m.window == kDispatch && m.message == message && m.wParam == wParam;
        }
        return n;
    }

    TempDir dir;
    testsupport::ScopedEnv xdg{"XDG_CONFIG_HOME", dir / "xdg"};
    std::unique_ptr<Model::CConfigInfo> config;
    platform::CRecordingPoster poster;
    platform::ScopedMessagePoster scopedPoster{&poster};
    RecordingManager manager;
    std::vector<std::string> boxes;
};

TEST_F(SettingsDialogs, CalendarSettingsHandTheFlagsToTheManager) {
    manager.calendars = {MakeCalendar(L"mine", googledata::ACCESS_OWNER, true, true),
                         MakeCalendar(L"shared", googledata::ACCESS_READ, true, false),
                         MakeCalendar(L"hidden", googledata::ACCESS_NONE, false, false)};
    CSetCalendarDlg dialog(manager, std::string(DAYMARK_BINARY_DIR) + "/bin/image", kDispatch,
                           Controller::kDispatchWizardRequest);
    EXPECT_TRUE(CSetCalendarDlg::IsOpen());
    dialog.show();
    CDoubleCheckListCtrl* list = dialog.findChild<CDoubleCheckListCtrl*>("calendarList");
    ASSERT_EQ(list->RowCount(), 2);
    // "mine": write off; "shared": its right half leaves write off.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->ImageRect(0).topLeft() + QPoint(30, 8));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->ImageRect(1).topLeft() + QPoint(30, 8));
    dialog.findChild<QPushButton*>("okButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(manager.calls,
              (std::vector<std::string>{"UpdateCalendar mine 10", "UpdateCalendar shared 10"}));
}

TEST_F(SettingsDialogs, CalendarSettingsKeepOkOffWhileASyncRunsAndResetAsksTheWizard) {
    manager.calendars = {MakeCalendar(L"mine", googledata::ACCESS_OWNER, true, true)};
    manager.pending = 2;
    {
        CSetCalendarDlg dialog(manager, "", kDispatch, Controller::kDispatchWizardRequest);
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        EXPECT_FALSE(ok->isEnabled());
        manager.pending = 0;  // stays off for the life of the dialog
        dialog.accept();
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(manager.calls.empty());

        dialog.findChild<QPushButton*>("resetButton")->click();
        EXPECT_EQ(boxes, std::vector<std::string>{"questionBox"});
        EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForReset), 1);
    }
    EXPECT_FALSE(CSetCalendarDlg::IsOpen());
}

TEST_F(SettingsDialogs, OptionDialogRaisesTheIntervalAndRefusesAnAccountWithoutAt) {
    CSetManiacOptionDlg dialog(ManiacOptions::FromConfig(*config), false);
    auto* interval = dialog.findChild<QComboBox*>("intervalCombo");
    interval->setEditText(QStringLiteral("3"));
    auto* account = dialog.findChild<QLineEdit*>("accountEdit");
    account->setText(QStringLiteral("hanako"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(boxes, std::vector<std::string>{"noticeBox"});
    account->setText(QStringLiteral("hanako.sato@example.com"));
    dialog.findChild<QCheckBox*>("periodicCheck")->setChecked(false);
    EXPECT_FALSE(interval->isEnabled());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Values().syncDuration, 10);
    // A file without account_kind is an account of the calendar service.
    EXPECT_EQ(dialog.Values().accountKind, googledata::kAccountKindService);

    EXPECT_EQ(ApplyManiacOptions(dialog.Values(), *config, manager, Target(), {}),
              ManiacApplyResult::kStored);
    EXPECT_EQ(config->GetInt("general", "sync_duration", 0), 10);
    EXPECT_EQ(config->GetInt("general", "periodic_sync", 1), 0);
    EXPECT_EQ(config->syncDuration, 10);
    EXPECT_TRUE(manager.calls.empty());  // nothing of the network changed
}

TEST_F(SettingsDialogs, OptionDialogInLocalModeLocksAccountAndProxy) {
    CSetManiacOptionDlg dialog(ManiacOptions::FromConfig(*config), true);
    for (const char* name : {"accountEdit", "passwordEdit", "proxyCheck", "proxyEdit",
                             "proxyUserEdit", "proxyPasswordEdit"}) {
        EXPECT_FALSE(dialog.findChild<QWidget*>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(dialog.findChild<QWidget*>("periodicCheck")->isEnabled());
}

TEST_F(SettingsDialogs, ApplyingAnotherAccountAsksTheWizardAndDoesNotSync) {
    ManiacOptions v = ManiacOptions::FromConfig(*config);
    v.account = L"taro.yamada@example.com";
    v.password = L"other";
    v.verticalIconBar = !v.verticalIconBar;
    v.startup = true;
    bool redrawn = false;
    EXPECT_EQ(ApplyManiacOptions(v, *config, manager, Target(), [&] { redrawn = true; }),
              ManiacApplyResult::kNewAccount);
    EXPECT_EQ(manager.calls, (std::vector<std::string>{
                                 "ChangeAccount taro.yamada@example.com other", "SetProxy 0  "}));
    EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForNewAccount), 1);
    EXPECT_EQ(Posted(Controller::kDispatchCommand, Controller::kCmdRebuildIconBar), 1);
    EXPECT_FALSE(redrawn);
    EXPECT_EQ(config->GetAccountId(), L"taro.yamada@example.com");
    EXPECT_TRUE(config->IsStartupRegistered());
    EXPECT_NE(testsupport::ReadFile(dir / "xdg/autostart/Daymark.desktop").find("Exec="),
              std::string::npos);
}

// Switching the account to a CalDAV server in the dialog: the server needs its
// scheme; applied, the kind and the server are stored and the wizard is asked
// for as for another account.
TEST_F(SettingsDialogs, SwitchingToACalDavServerAsksTheWizardAsANewAccountDoes) {
    CSetManiacOptionDlg dialog(ManiacOptions::FromConfig(*config), false);
    auto* kind = dialog.findChild<QComboBox*>("kindCombo");
    auto* server = dialog.findChild<QLineEdit*>("serverEdit");
    EXPECT_FALSE(server->isEnabled());
    kind->setCurrentIndex(googledata::kAccountKindCalDav);
    EXPECT_TRUE(server->isEnabled());
    server->setText(QStringLiteral("dav.example.com"));
    dialog.findChild<QLineEdit*>("accountEdit")->setText(QStringLiteral("hanako"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(boxes, std::vector<std::string>{"noticeBox"});
    server->setText(QStringLiteral("https://dav.example.com/"));
    dialog.accept();  // a user name without "@" is fine for a CalDAV server
    ASSERT_EQ(dialog.result(), QDialog::Accepted);

    EXPECT_EQ(ApplyManiacOptions(dialog.Values(), *config, manager, Target(), {}),
              ManiacApplyResult::kNewAccount);
    EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForNewAccount), 1);
    EXPECT_EQ(config->GetInt("general", "account_kind", -1), googledata::kAccountKindCalDav);
    EXPECT_EQ(config->GetString("general", "caldav_server", L""), L"https://dav.example.com/");
    EXPECT_EQ(config->GetCalendarMode(), 1);

    // The same account on another server is a new account too; only the
    // password is not.
    ManiacOptions v = ManiacOptions::FromConfig(*config);
    v.caldavServer = L"https://other.example.com/";
    EXPECT_EQ(ApplyManiacOptions(v, *config, manager, Target(), {}),
              ManiacApplyResult::kNewAccount);
    EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForNewAccount), 2);
    v.password = L"changed";
    EXPECT_EQ(ApplyManiacOptions(v, *config, manager, Target(), {}),
              ManiacApplyResult::kSynchronised);
    EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForNewAccount), 2);
}

// Only the proxy password changes: the real manager logs in again and
// synchronises; no wizard is asked for.
TEST_F(SettingsDialogs, ProxyPasswordChangeLogsInAgainWithoutTheWizard) {
    testsupport::StandinServer server;
    server.AddAccount("hanako.sato@example.com", "secret");
    server.AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako"})");
    auto real = Controller::MakeDispatchManager(config->GetPath(), dir.path());
    real->SetLoginUrl(platform::Utf8ToWide(server.Base()));
    real->SetExtraCaFile(server.CaFile());
    real->AddListener(kDispatch, Controller::kDispatchManagerMessage);
    real->Initialize(L"hanako.sato@example.com", L"secret", nullptr);
    real->DownloadCalenar();
    auto logins = [&] {
        int n = 0;
        for (int i = 0; i < server.RequestCount(); ++i) {
            n += server.Request(i).target.find("ClientLogin") != std::string::npos;
        }
        return n;
    };
    ASSERT_TRUE(testsupport::WaitFor([&] {
        return Posted(Controller::kDispatchManagerMessage, Controller::NOTIFY_CALENDAR_UPDATED) ==
               1;
    }));
    EXPECT_EQ(logins(), 1);

    ManiacOptions v = ManiacOptions::FromConfig(*config);
    v.proxyPassword = L"new proxy password";
    EXPECT_EQ(ApplyManiacOptions(v, *config, *real, Target(), {}),
              ManiacApplyResult::kSynchronised);
    EXPECT_EQ(Posted(Controller::kDispatchWizardRequest, Controller::kWizardForNewAccount), 0);
    EXPECT_TRUE(testsupport::WaitFor([&] { return logins() == 2; }));
    EXPECT_EQ(config->GetProxyPassword(), L"new proxy password");
    real->Terminate();
}

}  // namespace
