// The setup wizard in the real program's parts: the dispatch window, the
// calendar manager and the calendar windows, against the stand-in calendar
// service, in an empty data folder. A first start through local calendar
// mode; an account run with the calendar choice, progress and the events
// arriving in the windows; a refused password and the way back; the double
// check box rules of the calendar list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <memory>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "app/StringTable.h"
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "dialogs/DoubleCheckListCtrl.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetupWizardDlg.h"
#include "dialogs/WizardPanels.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinSuite.h"
#include "tests/support/DispatchTestSupport.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/RadicaleServer.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWnd.h"

using testsupport::StandinServer;
using testsupport::TempDir;
using W = CSetupWizardDlg;

namespace {

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kPassword = "secret";
constexpr const char* kHolidayId = "ja.japanese#holiday@group.v.calendar.google.com";

using testsupport::App;

std::string Day(int day) {
    const platform::CTime today = platform::CTime::GetCurrentTime();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", today.GetYear(), today.GetMonth(), day);
    return text;
}

class SetupWizard : public testsupport::StandinSuite<> {
protected:
    static void SetUpTestSuite() {
        App();
        StandinSuite::SetUpTestSuite();
    }

    void SetUp() override {
        server->Reset();
        holidayFeed = server->PublicFeed(kHolidayId);
        server->AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kHolidayId) +
                         R"(,"title":"祝日","start":")" + Day(15) + R"(","end":")" + Day(16) +
                         R"("})");
        ASSERT_TRUE(platform::CreateFolderTree(dir / "log"));
        ASSERT_TRUE(platform::CreateFolderTree(dir / "style"));
        log.SetFolder(dir / "log");
        config = std::make_unique<Model::CConfigInfo>(dir / "config.ini");
        config->WriteString("general", "login_url", platform::Utf8ToWide(server->Base()));
        config->WriteString("debug", "ca_file", platform::Utf8ToWide(server->CaFile()));
        config->Load(dir / "config.ini");
        // Message boxes: OK to notices, Yes to questions, counted.
        dialogs::SetModalHook([this](QDialog& d) {
            boxes.push_back(d.objectName().toStdString());
            return d.objectName() == "questionBox" ? static_cast<int>(QMessageBox::Yes)
                                                   : static_cast<int>(QMessageBox::Ok);
        });
    }
    void TearDown() override {
        dialogs::SetModalHook({});
        wnd.reset();
    }

    void StartProgram() {
        Controller::CDispatchWnd::Setup setup =
            testsupport::DispatchSetup(*config, maniac, style, log, dir.path());
        // As the application does: reload the style named in the
        // configuration and hand it to the windows.
        setup.styleChanged = [this] {
            style.Load(platform::Utf8ToWide(dir / "style/") + config->GetStyleName());
            wnd->Windows().ApplyStyle(style);
        };
        wnd = std::make_unique<Controller::CDispatchWnd>(std::move(setup));
        ASSERT_TRUE(wnd->Create());
        ASSERT_NE(wnd->Wizard(), nullptr);
    }

    W& Wizard() { return *wnd->Wizard(); }
    template <typename T>
    T* Find(const char* name) {
        return Wizard().findChild<T*>(QString::fromLatin1(name));
    }
    void Next() {
        QPushButton* next = Find<QPushButton>("nextButton");
        ASSERT_TRUE(next->isEnabled()) << "state " << Wizard().GetState();
        next->click();
    }
    void Back() { Find<QPushButton>("backButton")->click(); }
    bool WaitState(int state, std::chrono::seconds deadline = std::chrono::seconds(30)) {
        return testsupport::WaitFor(
            [&] {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                return Wizard().GetState() == state;
            },
            deadline);
    }
    std::string LogText() const {
        return testsupport::ReadFile(log.FileNameFor(platform::NowSeconds()));
    }
    bool Requested(const std::string& part) {
        for (int i = 0; i < server->RequestCount(); ++i) {
            if (server->Request(i).target.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    testsupport::ScopedTz tz{"Asia/Tokyo"};
    TempDir dir;
    Utility::CMaintenanceLog log;
    std::unique_ptr<Model::CConfigInfo> config;
    Model::CManiacOption maniac;
    Model::CCalendarStyleInfo style;
    std::unique_ptr<Controller::CDispatchWnd> wnd;
    std::vector<std::string> boxes;
    std::string holidayFeed;
};

TEST_F(SetupWizard, FirstStartInLocalModeEndsOnTheEndPanelWithHolidays) {
    for (const char* name : {"Blue", "Night"}) {
        testsupport::WriteFile(dir / "style/" + name + ".style",
                               testsupport::ReadFile(std::string(DAYMARK_SOURCE_DIR) +
                                                     "/resources/style/" + name + ".style.org"));
    }
    Model::CCalendarStyleInfo night;
    night.Load(platform::Utf8ToWide(dir / "style/Night.style"));
    ASSERT_NE(night.windowBackground, Model::CCalendarStyleInfo().windowBackground);
    StartProgram();
    EXPECT_FALSE(wnd->BootDone());
    EXPECT_EQ(Wizard().GetState(), W::kStateTop);
    EXPECT_FALSE(Find<QPushButton>("backButton")->isEnabled());
    Next();
    EXPECT_EQ(Wizard().GetState(), W::kStateStyle);
    auto* styles = Find<QListWidget>("styleList");
    ASSERT_EQ(styles->count(), 2);
    // Blue's month number is white on a white header: its outline shows it.
    styles->setCurrentRow(0);
    const QImage preview = Find<QWidget>("stylePreview")->grab().toImage();
    int ink = 0;
    for (int y = 4; y < preview.height() * 18 / 100; ++y) {
        for (int x = 4; x < preview.width() - 4; ++x) {
            ink += qGray(preview.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 10);
    styles->setCurrentRow(1);  // Night
    Find<QCheckBox>("mondayFirstCheck")->setChecked(true);
    Next();
    EXPECT_EQ(Wizard().GetState(), W::kStateProxy);
    EXPECT_EQ(config->GetCalendarMode(), 1);  // no visit to the mode panel: account mode
    EXPECT_EQ(config->GetStyleName(), L"Night.style");
    EXPECT_EQ(config->GetInt("option", "monday_frist", 0), 1);
    Back();
    ASSERT_EQ(Wizard().GetState(), W::kStateCalendarMode);
    Find<QRadioButton>("localModeRadio")->click();
    Next();
    EXPECT_EQ(config->GetCalendarMode(), 2);
    ASSERT_EQ(Wizard().GetState(), W::kStateProxy);
    Next();
    EXPECT_EQ(Wizard().GetState(), W::kStateSyncing);
    EXPECT_FALSE(Find<QPushButton>("nextButton")->isEnabled());
    ASSERT_TRUE(WaitState(W::kStateEnd));

    EXPECT_EQ(config->GetCalendarMode(), 2);
    // Local mode computes its holidays: the wizard's holiday step asks the
    // network for nothing.
    EXPECT_FALSE(Requested("holiday%40group.v.calendar.google.com/public/full"));
    EXPECT_EQ(Find<QPushButton>("nextButton")->text(), QString::fromUtf8("完了"));
    EXPECT_FALSE(Find<QPushButton>("cancelButton")->isVisible());
    // The boot sequence follows the wizard's end; the windows show the holiday.
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return wnd->BootDone();
    }));
    const CCalendarWnd& cal = *wnd->Windows().Registry()->Windows().front();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return !cal.Cache().Holidays().empty();
    }));
    // The window took the chosen style.
    EXPECT_EQ(cal.Style().windowBackground, night.windowBackground);
    Next();
    EXPECT_FALSE(Wizard().isVisible());
    const std::string text = LogText();
    EXPECT_NE(text.find("[info] <wizard> started (0)"), std::string::npos);
    EXPECT_NE(text.find("[info] <wizard> state update (11)"), std::string::npos);

    // A reset of the local calendar goes straight to the holiday step, which
    // again needs no network.
    const int requests = server->RequestCount();
    platform::PostMessage(wnd->Handle(), Controller::kDispatchWizardRequest,
                          Controller::kWizardForReset);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return wnd->Wizard() && wnd->Wizard()->Mode() == W::kModeReset;
    }));
    ASSERT_TRUE(WaitState(W::kStateResetDone));
    EXPECT_EQ(server->RequestCount(), requests);
    EXPECT_EQ(config->GetCalendarMode(), 2);
}

TEST_F(SetupWizard, AccountRunDownloadsTheChosenCalendarsWithProgress) {
    server->AddAccount(kEmail, kPassword);
    const std::string mine = server->AddCalendar(
        R"({"id":"hanako.sato@example.com","title":"Hanako Sato","accesslevel":"owner"})");
    const std::string club = server->AddCalendar(
        R"({"id":"club@group.example.com","title":"Tennis club","accesslevel":"owner"})");
    server->AddEvent(
        R"({"calendar":"hanako.sato@example.com","title":"Bulk","count":700,"start":")" + Day(10) +
        R"(T12:00:00.000Z","end":")" + Day(10) + R"(T13:00:00.000Z"})");
    server->AddEvent(R"({"calendar":"club@group.example.com","title":"Match","start":")" + Day(20) +
                     R"(T12:00:00.000Z","end":")" + Day(20) + R"(T13:00:00.000Z"})");
    // Slow pages, so that the progress can be watched.
    server->ArmFault(
        R"({"kind":"slow","seconds":0.4,"count":-1,"path":"hanako.sato%40example.com/private"})");
    StartProgram();
    Next();
    Next();
    Next();
    ASSERT_EQ(Wizard().GetState(), W::kStateGoogle);
    Find<QLineEdit>("accountEdit")->setText(QString::fromLatin1(kEmail));
    Find<QLineEdit>("passwordEdit")->setText(QString::fromLatin1(kPassword));
    Next();
    EXPECT_EQ(Wizard().GetState(), W::kStateAccessing);
    ASSERT_TRUE(WaitState(W::kStateCalendars));
    EXPECT_EQ(config->GetAccountId(), platform::Utf8ToWide(kEmail));

    auto* list = Find<CDoubleCheckListCtrl>("calendarList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->RowCount(), 3);
    int clubRow = -1;
    for (int row = 0; row < list->RowCount(); ++row) {
        if (list->RowURI(row) == platform::Utf8ToWide(club)) {
            clubRow = row;
        }
    }
    ASSERT_GE(clubRow, 0);
    EXPECT_EQ(list->RowImage(clubRow), 3);
    // Untick both halves of the club's box with the mouse.
    const QRect box = list->ImageRect(clubRow);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(5, 5));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(30, 5));
    EXPECT_EQ(list->RowImage(clubRow), 0);

    Next();
    EXPECT_EQ(boxes, std::vector<std::string>{"noticeBox"});  // only 20 days back
    ASSERT_EQ(Wizard().GetState(), W::kStateSyncing);
    EXPECT_EQ(Wizard().TotalDownloads(), 2);  // the own calendar and the holidays
    int pagesSeen = 0;
    int pageMaximum = 0;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (Wizard().GetState() == W::kStateSyncing) {
                auto* pages = Find<QProgressBar>("pageProgress");
                pagesSeen = std::max(pagesSeen, pages->value());
                pageMaximum = std::max(pageMaximum, pages->maximum());
            }
            return Wizard().GetState() == W::kStateEnd;
        },
        std::chrono::seconds(60)));
    EXPECT_EQ(Wizard().DoneDownloads(), 2);
    EXPECT_EQ(pageMaximum, 700);
    EXPECT_GE(pagesSeen, 500);
    EXPECT_FALSE(Requested("club%40group.example.com"));

    const CCalendarWnd& cal = *wnd->Windows().Registry()->Windows().front();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return cal.Cache().Events().size() >= 700 && wnd->BootDone();
    }));
    for (const auto& e : cal.Cache().Events()) {
        EXPECT_NE(e.title, L"Match");
    }
    EXPECT_EQ(config->GetCalendarMode(), 1);
    const std::string text = LogText();
    EXPECT_NE(text.find("[info] <wizard> not sync target:Tennis club"), std::string::npos);
    EXPECT_NE(text.find("[ERR!] <wizard> total download (2)"), std::string::npos);
}

// The account panel switched to a CalDAV server: the kind and the server are
// stored, and the run against a real Radicale lists the server's calendars
// and downloads them up to the end panel.
TEST_F(SetupWizard, CalDavAccountRunListsAndDownloadsTheServersCalendars) {
    testsupport::RadicaleServer dav;
    dav.MakeCalendar("work", "仕事", "#3366ccff");
    dav.MakeCalendar("club", "Tennis club", "");
    const std::string start = Day(12);
    std::string date = start;
    date.erase(std::remove(date.begin(), date.end(), '-'), date.end());
    dav.PutEvent("work", "a.ics",
                 "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\n"
                 "UID:a\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Review\r\nDTSTART:" +
                     date + "T030000Z\r\nDTEND:" + date +
                     "T040000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    config->WriteString("debug", "ca_file", platform::Utf8ToWide(dav.CaFile()));
    StartProgram();
    Next();
    Next();
    Next();
    ASSERT_EQ(Wizard().GetState(), W::kStateGoogle);
    auto* serverEdit = Find<QLineEdit>("serverEdit");
    EXPECT_FALSE(serverEdit->isVisible());  // the calendar service is the default
    Find<QRadioButton>("caldavKindRadio")->click();
    EXPECT_TRUE(serverEdit->isVisible());
    EXPECT_EQ(Find<QLabel>("message")->text(), QString::fromWCharArray(app::LoadStringText(908)));
    // A server address must name its scheme; the panel stays.
    serverEdit->setText(QStringLiteral("caldav.example.com"));
    Find<QLineEdit>("accountEdit")
        ->setText(QString::fromLatin1(testsupport::RadicaleServer::kUser));
    Find<QLineEdit>("passwordEdit")
        ->setText(QString::fromLatin1(testsupport::RadicaleServer::kPassword));
    Next();
    EXPECT_EQ(Wizard().GetState(), W::kStateGoogle);
    EXPECT_EQ(boxes, std::vector<std::string>{"noticeBox"});
    boxes.clear();
    serverEdit->setText(QString::fromStdString(dav.Base()));
    Next();
    EXPECT_EQ(config->GetAccountKind(), googledata::kAccountKindCalDav);
    EXPECT_EQ(config->GetInt("general", "account_kind", -1), 1);
    EXPECT_EQ(config->GetString("general", "caldav_server", L""), platform::Utf8ToWide(dav.Base()));
    EXPECT_EQ(config->GetAccountId(), L"alice");  // a user name, no mail address needed
    ASSERT_TRUE(WaitState(W::kStateCalendars));

    auto* list = Find<CDoubleCheckListCtrl>("calendarList");
    ASSERT_NE(list, nullptr);
    std::vector<std::wstring> uris;
    for (int row = 0; row < list->RowCount(); ++row) {
        uris.push_back(list->RowURI(row));
    }
    auto listed = [&](const std::string& name) {
        const std::wstring url =
            platform::Utf8ToWide(dav.Base() + testsupport::RadicaleServer::CalendarPath(name));
        return std::find(uris.begin(), uris.end(), url) != uris.end();
    };
    EXPECT_TRUE(listed("work"));
    EXPECT_TRUE(listed("club"));

    Next();
    // No "only 20 days back" notice: that window is the calendar service's.
    EXPECT_TRUE(boxes.empty());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return Wizard().GetState() == W::kStateEnd;
        },
        std::chrono::seconds(60)));
    EXPECT_EQ(config->GetCalendarMode(), 1);
    const CCalendarWnd& cal = *wnd->Windows().Registry()->Windows().front();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        for (const auto& e : cal.Cache().Events()) {
            if (e.title == L"Review") {
                return wnd->BootDone();
            }
        }
        return false;
    }));
}

// A configuration without account_kind and caldav_server is an account of
// the calendar service, as files written before CalDAV were.
TEST(ConfigAccountKind, MissingKeysMeanTheCalendarService) {
    TempDir dir;
    Model::CConfigInfo config(dir / "config.ini");
    config.WriteInt("general", "calendar_mode", 1);
    EXPECT_EQ(config.GetAccountKind(), googledata::kAccountKindService);
    EXPECT_EQ(config.GetCalDavServer(), L"");
    config.SetAccountKind(googledata::kAccountKindCalDav);
    config.SetCalDavServer(L"https://dav.example.com/");
    EXPECT_EQ(Model::CConfigInfo(dir / "config.ini").GetAccountKind(),
              googledata::kAccountKindCalDav);
    EXPECT_EQ(config.GetCalendarMode(), 1);
}

TEST_F(SetupWizard, RefusedPasswordLeadsToTheErrorPanelAndBackToTheAccount) {
    server->AddAccount(kEmail, kPassword);
    StartProgram();
    Next();
    Next();
    Next();
    Find<QLineEdit>("accountEdit")->setText(QString::fromLatin1(kEmail));
    Find<QLineEdit>("passwordEdit")->setText(QStringLiteral("wrong"));
    Next();
    ASSERT_TRUE(WaitState(W::kStateError));
    EXPECT_FALSE(Find<QPushButton>("backButton")->isEnabled());
    auto* description = Find<QLabel>("description");
    ASSERT_NE(description, nullptr);
    EXPECT_FALSE(description->text().isEmpty());
    // The description of the failure and the service's own text.
    EXPECT_EQ(description->text(), QString::fromWCharArray(app::LoadStringText(140)));
    auto* detail = Find<QLabel>("errorText");
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(detail->text().contains(QStringLiteral("BadAuthentication")));
    Next();
    ASSERT_EQ(Wizard().GetState(), W::kStateGoogle);
    EXPECT_EQ(Find<QLineEdit>("accountEdit")->text(), QString::fromLatin1(kEmail));
    // With the right password the run goes on.
    Find<QLineEdit>("passwordEdit")->setText(QString::fromLatin1(kPassword));
    Next();
    ASSERT_TRUE(WaitState(W::kStateCalendars));
    EXPECT_NE(LogText().find("[ERR!] <wizard> auth error"), std::string::npos);

    // Every calendar unticked: nothing to download, the wizard ends at once.
    auto* list = Find<CDoubleCheckListCtrl>("calendarList");
    ASSERT_GT(list->RowCount(), 0);
    for (int row = 0; row < list->RowCount(); ++row) {
        const QRect box = list->ImageRect(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(5, 5));
        if (list->RowWrite(row)) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(30, 5));
        }
        EXPECT_EQ(list->RowImage(row) % 4, 0) << row;
    }
    Next();
    EXPECT_EQ(Wizard().TotalDownloads(), 0);
    EXPECT_EQ(Wizard().GetState(), W::kStateEnd);
}

// A reset from the calendar settings: the wizard starts at the account
// access with the stored account, under its own caption, and ends on the
// reset-done panel with the calendars downloaded again.
TEST_F(SetupWizard, ResetRunStartsAtTheAccountAccessAndEndsOnResetDone) {
    server->AddAccount(kEmail, kPassword);
    server->AddCalendar(
        R"({"id":"hanako.sato@example.com","title":"Hanako Sato","accesslevel":"owner"})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Dentist","start":")" +
                     Day(12) + R"(T12:00:00.000Z","end":")" + Day(12) + R"(T13:00:00.000Z"})");
    config->WriteInt("general", "calendar_mode", 1);
    config->SetAccountId(platform::Utf8ToWide(kEmail));
    config->SetAccountPassword(platform::Utf8ToWide(kPassword));
    wnd = std::make_unique<Controller::CDispatchWnd>(
        testsupport::DispatchSetup(*config, maniac, style, log, dir.path()));
    ASSERT_TRUE(wnd->Create());
    EXPECT_EQ(wnd->Wizard(), nullptr);
    const CCalendarWnd& cal = *wnd->Windows().Registry()->Windows().front();
    auto hasDentist = [&] {
        for (const auto& e : cal.Cache().Events()) {
            if (e.title == L"Dentist") {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return hasDentist();
    }));

    platform::PostMessage(wnd->Handle(), Controller::kDispatchWizardRequest,
                          Controller::kWizardForReset);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return wnd->Wizard() != nullptr;
    }));
    EXPECT_EQ(Wizard().windowTitle(), QString::fromUtf8("Daymarkのリセット"));
    ASSERT_TRUE(WaitState(W::kStateCalendars));
    Next();
    ASSERT_TRUE(WaitState(W::kStateResetDone));
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return hasDentist();
    }));
    EXPECT_EQ(config->GetCalendarMode(), 1);
    EXPECT_NE(LogText().find("[info] <dispatch> REQ_OPEN_WIZARD_FOR_RESET"), std::string::npos);
}

TEST_F(SetupWizard, AccountPanelRefusesWhatIsNoMailAddress) {
    StartProgram();
    Next();
    Next();
    Next();
    // Tab goes through the panel's fields (the kind of account first; the
    // server field is hidden for the calendar service), then Back, Next and
    // Cancel.
    std::vector<std::string> order;
    QWidget* w = Find<QRadioButton>("serviceKindRadio");
    for (int i = 0; i < 8; ++i) {
        order.push_back(w->objectName().toStdString());
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() || !w->isEnabled());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"serviceKindRadio", "caldavKindRadio", "accountEdit",
                                               "passwordEdit", "backButton", "nextButton",
                                               "cancelButton", "serviceKindRadio"}));
    const struct {
        const char* account;
        const char* password;
    } cases[] = {{"", "x"}, {"hanako", "x"}, {"hanako@example.com", ""}};
    for (const auto& c : cases) {
        boxes.clear();
        Find<QLineEdit>("accountEdit")->setText(QString::fromLatin1(c.account));
        Find<QLineEdit>("passwordEdit")->setText(QString::fromLatin1(c.password));
        Next();
        EXPECT_EQ(Wizard().GetState(), W::kStateGoogle) << c.account;
        EXPECT_EQ(boxes, std::vector<std::string>{"noticeBox"}) << c.account;
    }
    // Back keeps the panel's values without a message.
    boxes.clear();
    Back();
    EXPECT_EQ(Wizard().GetState(), W::kStateProxy);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SetupWizard, CancelEndsTheProgramAndLeavesTheSetUpUndone) {
    StartProgram();
    Next();
    Find<QPushButton>("cancelButton")->click();
    EXPECT_EQ(boxes, std::vector<std::string>{"questionBox"});
    EXPECT_EQ(config->GetCalendarMode(), 0);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return wnd->IsClosed();
    }));
}

// The rules of the double check box, and the list applying them to clicks.
TEST(DoubleCheck, ClicksFollowTheCalendarKind) {
    const struct {
        int image;
        bool writable;
        int x;
        int expected;
    } cases[] = {
        {0, true, 3, 1},   {1, true, 30, 3}, {3, true, 21, 2}, {3, true, 22, 1},
        {2, true, 40, 0},  {4, false, 3, 5}, {5, false, 3, 4}, {5, false, 30, 5},
        {4, false, 30, 4}, {0, false, 3, 5},  // a stored image 0 of a read-only calendar
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DoubleCheck::Click(c.image, c.writable, c.x), c.expected)
            << c.image << " " << c.writable << " " << c.x;
    }
    for (int level = googledata::ACCESS_NONE; level <= googledata::ACCESS_ROOT; ++level) {
        EXPECT_EQ(DoubleCheck::IsWritableKind(level), level >= googledata::ACCESS_EDITOR) << level;
    }
}

TEST(DoubleCheck, ReadOnlyCalendarNeverBecomesWritable) {
    App();
    CDoubleCheckListCtrl list(std::string(DAYMARK_BINARY_DIR) + "/bin/image");
    list.resize(600, 200);
    list.show();
    Model::Calendar none, reader, owner;
    none.accesslevel = googledata::ACCESS_NONE;
    none.calendarURI = L"none";
    reader.accesslevel = googledata::ACCESS_READ;
    reader.calendarURI = L"reader";
    reader.showEvents = true;
    reader.writeEvents = true;  // a damaged store: still read only
    owner.accesslevel = googledata::ACCESS_OWNER;
    owner.calendarURI = L"owner";
    list.SetCalendars({none, reader, owner});
    ASSERT_EQ(list.RowCount(), 2);  // NONE is not listed
    EXPECT_EQ(list.RowImage(0), 5);
    EXPECT_FALSE(list.RowWrite(0));
    EXPECT_FALSE(list.Image(5).isNull());
    const QRect box = list.ImageRect(0);
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(33, 8));
        EXPECT_FALSE(list.RowWrite(0));
    }
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(5, 8));
    EXPECT_EQ(list.RowImage(0), 4);
    // The keyboard: Space turns show over, Shift+Space write.
    list.setCurrentItem(list.topLevelItem(1));
    QTest::keyClick(&list, Qt::Key_Space);
    QTest::keyClick(&list, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(list.RowImage(1), 3);
    // The image's magenta ground is transparent.
    const QImage image = list.Image(0).toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

}  // namespace
