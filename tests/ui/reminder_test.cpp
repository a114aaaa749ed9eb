// Reminders on the desktop: the reminder service against a real local-mode
// calendar manager and a fake notification service on a private session bus
// (a dbus-daemon this test starts), with the replaceable clock. It fires at
// its minute with its text, once (across restarts too), missed ones after a
// sleep come once (and many as one summary), an edit arms anew, a weekly
// series' occurrence fires, and without a notification service a notice
// window of Daymark's own shows the reminder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QLabel>
#include <QObject>
#include <QVariantMap>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/OfflineHolidays.h"
#include "controller/ReminderSchedule.h"
#include "controller/qt/ReminderService.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/Time.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestSupport.h"

using Controller::CReminderService;
using platform::CTime;
using testsupport::TempDir;
using testsupport::WaitFor;

// The desktop's notification service, as far as Daymark uses it.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString summary;
        QString body;
        int64_t clock;  // Daymark's clock when it arrived
    };
    std::vector<Shown> shown;

public slots:
    uint Notify(const QString& app, uint /*replaces*/, const QString& /*icon*/,
                const QString& summary, const QString& body, const QStringList& /*actions*/,
                const QVariantMap& /*hints*/, int /*timeout*/) {
        if (app == QLatin1String("Daymark")) {
            shown.push_back({summary, body, platform::NowSeconds()});
        }
        return static_cast<uint>(shown.size());
    }
};

namespace {

// A session bus of the test's own: dbus-daemon started once for the
// program, its address in DBUS_SESSION_BUS_ADDRESS before Qt connects.
class PrivateBus {
public:
    PrivateBus() {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);  // nothing of the test's output is held open by the daemon
            ::close(null);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char buf[512];
        std::string text;
        ssize_t n = 0;
        while (text.find('\n') == std::string::npos && (n = ::read(out[0], buf, sizeof buf)) > 0) {
            text.append(buf, static_cast<size_t>(n));
        }
        ::close(out[0]);
        address_ = text.substr(0, text.find('\n'));
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

PrivateBus& Bus() {
    static PrivateBus bus;  // ended when the test program ends
    return bus;
}

QApplication& App() {
    Bus();
    return testsupport::App();
}

// The fake service, registered once on a connection of its own.
FakeNotifications& Fake() {
    static FakeNotifications* fake = [] {
        auto* f = new FakeNotifications;
        QDBusConnection bus =
            QDBusConnection::connectToBus(QString::fromStdString(Bus().Address()), "fake");
        bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), f,
                           QDBusConnection::ExportAllSlots);
        bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        return f;
    }();
    return *fake;
}

class Reminders : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_FALSE(Bus().Address().empty()) << "dbus-daemon did not start";
        Fake();
        Fake().shown.clear();
        ASSERT_TRUE(platform::CreateFolderTree(dir / "log"));
        log.SetFolder(dir / "log");
        platform::WritePrivateProfileString("general", "calendar_mode", "2", dir / "config.ini");
        manager = std::make_unique<Controller::CCalendarManager>(dir / "config.ini", dir.path());
        manager->Initialize(L"local", L"", &log);
        manager->CreateLocalDB(platform::Utf8ToWide(Controller::kOfflineHolidayCalendarURI));
    }
    void TearDown() override {
        service.reset();
        manager->Terminate();
    }

    std::unique_ptr<CReminderService> MakeService(
        const QString& bus = QStringLiteral("org.freedesktop.Notifications")) {
        CReminderService::Setup s;
        s.reader = [this](std::list<Model::Event>& events, int y, int m, int count) {
            return manager->GetEvents(events, y, m, count);
        };
        s.firedPath = dir / "reminders.txt";
        s.log = &log;
        s.busService = bus;
        return std::make_unique<CReminderService>(std::move(s));
    }

    // Daymark's clock reads `t` now and runs on with the real one.
    void SetClock(int64_t t) { shift = t - static_cast<int64_t>(::time(nullptr)); }

    Model::Event AddEvent(const std::wstring& title, const CTime& start, int minutes,
                          const std::wstring& method = L"alert") {
        Model::Event e;
        e.calendarURI = L"localEvent";
        e.title = title;
        e.place = L"会議室A";
        e.startTime = start;
        e.endTime = start + 3600;
        e.reminders = {{method, minutes}};
        manager->AddEvent(e);
        std::list<Model::Event> events;
        manager->GetEvents(events, start.GetYear(), start.GetMonth(), 1);
        for (const auto& stored : events) {
            if (stored.title == title) {
                return stored;
            }
        }
        return e;
    }

    // Runs the event loop for `ms` milliseconds.
    static void Pump(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    static bool PumpUntil(const std::function<bool()>& done) {
        return WaitFor([&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            return done();
        });
    }
    size_t Shown() const { return Fake().shown.size(); }

    testsupport::ScopedTz tz{"Asia/Tokyo"};
    int64_t shift = 0;
    platform::ScopedClock clock{[this] { return static_cast<int64_t>(::time(nullptr)) + shift; }};
    TempDir dir;
    Utility::CMaintenanceLog log;
    std::unique_ptr<Controller::CCalendarManager> manager;
    std::unique_ptr<CReminderService> service;
};

TEST_F(Reminders, FiresAtItsMinuteWithItsTextAndOnlyOnce) {
    const CTime start(2026, 12, 20, 10, 0, 0);  // a Sunday
    AddEvent(L"定例会議", start, 10);
    AddEvent(L"メールだけ", start, 10, L"email");  // the service's business
    const int64_t fireAt = start.GetTime() - 600;
    SetClock(fireAt - 2);
    service = MakeService();
    service->Rearm();
    EXPECT_EQ(service->WakeAt(), fireAt);
    EXPECT_TRUE(service->TimerActive());
    Pump(1000);
    EXPECT_EQ(Shown(), 0u);  // not before its minute
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 1; }));
    const auto& n = Fake().shown.front();
    EXPECT_GE(n.clock, fireAt);
    EXPECT_LT(n.clock, fireAt + 5);
    EXPECT_EQ(n.summary, QStringLiteral("定例会議"));
    EXPECT_EQ(n.body, QStringLiteral("2026年12月20日(日) 10:00〜11:00\n場所: 会議室A"));

    // Once: not again now, nor after a restart.
    service->Rearm();
    service = MakeService();
    service->Rearm();
    Pump(500);
    EXPECT_EQ(Shown(), 1u);
    EXPECT_GT(service->WakeAt(), platform::NowSeconds());
    EXPECT_NE(testsupport::ReadFile(dir / "reminders.txt").find("|10\n"), std::string::npos);
}

TEST_F(Reminders, MissedWhileAsleepComeOnceAndManyAsOneSummary) {
    const CTime base(2026, 12, 21, 9, 0, 0);
    AddEvent(L"朝会", base + 3600, 30);            // 10:00, reminder 9:30
    AddEvent(L"終わった打合せ", base + 1800, 15);  // 9:30-10:30, ended by 10:45
    AddEvent(L"昼の予定", base + 3 * 3600, 120);   // 12:00, reminder 10:00
    SetClock(base.GetTime());
    service = MakeService();
    service->Rearm();
    Pump(200);
    EXPECT_EQ(Shown(), 0u);
    EXPECT_EQ(service->WakeAt(), base.GetTime() + 900);  // 9:15, for the 9:30 meeting

    // Asleep from 9:00 to 10:45: on resume the reminders of the events not
    // yet ended, each once.
    SetClock(base.GetTime() + 6300);
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 2; }));
    Pump(300);
    ASSERT_EQ(Shown(), 2u);
    EXPECT_EQ(Fake().shown[0].summary, QStringLiteral("朝会"));
    EXPECT_EQ(Fake().shown[1].summary, QStringLiteral("昼の予定"));
    service->Rearm();
    Pump(200);
    EXPECT_EQ(Shown(), 2u);

    // Five missed at once (Daymark not running): one summary.
    const CTime evening(2026, 12, 21, 18, 0, 0);
    for (int i = 0; i < 5; ++i) {
        AddEvent(L"夕方" + std::to_wstring(i), evening + i * 600, 60);
    }
    service.reset();
    SetClock(evening.GetTime() - 60);
    service = MakeService();
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 3; }));
    Pump(300);
    ASSERT_EQ(Shown(), 3u);
    EXPECT_EQ(Fake().shown[2].summary, QStringLiteral("リマインダー 5件"));
    EXPECT_TRUE(Fake().shown[2].body.startsWith(QStringLiteral("2026年12月21日(月) 18:00 夕方0")))
        << Fake().shown[2].body.toStdString();
}

TEST_F(Reminders, AnEditThatMovesTheEventArmsItAnew) {
    const CTime start(2026, 12, 22, 15, 0, 0);
    Model::Event e = AddEvent(L"面談", start, 5);
    SetClock(start.GetTime() - 300);
    service = MakeService();
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 1; }));

    e.startTime = start + 86400;
    e.endTime = start + 86400 + 3600;
    manager->UpdateEvent(e);
    service->Rearm();  // as the dispatch window does on NOTIFY_EVENT_UPDATED
    EXPECT_EQ(service->WakeAt(), start.GetTime() + 86400 - 300);
    SetClock(start.GetTime() + 86400 - 300 - 1);
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 2; }));
    EXPECT_EQ(Fake().shown[1].body,
              QStringLiteral("2026年12月23日(水) 15:00〜16:00\n場所: 会議室A"));
}

TEST_F(Reminders, AnOccurrenceOfAWeeklySeriesFires) {
    googledata::PrimitiveEvent series;
    series.title = "週次レビュー";
    series.uid = "weekly1@example.com";
    series.recurrence =
        "DTSTART;TZID=Asia/Tokyo:20261207T100000\nDTEND;TZID=Asia/Tokyo:20261207T113000\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO\n";
    series.startTime = "2026-12-07T10:00:00.000+09:00";
    series.endTime = "2026-12-07T11:30:00.000+09:00";
    series.eventStatus = 2;
    series.recurrenceType = 1;
    series.reminders = {{"alert", 15, false}};
    ASSERT_TRUE(manager->Database().AddEvent("localEvent", series, true));

    // After the first two Mondays: the next is 21 December, its reminder 9:45.
    const int64_t fireAt = CTime(2026, 12, 21, 9, 45, 0).GetTime();
    SetClock(CTime(2026, 12, 14, 12, 0, 0).GetTime());
    service = MakeService();
    service->Rearm();
    Pump(200);
    EXPECT_EQ(Shown(), 0u);  // the 14th's occurrence has ended
    EXPECT_EQ(service->WakeAt(), fireAt);
    SetClock(fireAt - 1);
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 1; }));
    EXPECT_EQ(Fake().shown[0].summary, QStringLiteral("週次レビュー"));
    EXPECT_EQ(Fake().shown[0].body, QStringLiteral("2026年12月21日(月) 10:00〜11:30"));
    // The next occurrence is armed next.
    EXPECT_EQ(service->WakeAt(), CTime(2026, 12, 28, 9, 45, 0).GetTime());
}

TEST_F(Reminders, WithoutANotificationServiceANoticeWindowShowsIt) {
    const CTime start(2026, 12, 24, 19, 0, 0);
    AddEvent(L"夕食会", start, 0);
    SetClock(start.GetTime());
    service = MakeService(QStringLiteral("org.example.NoSuchNotifications"));
    service->Rearm();
    ASSERT_TRUE(PumpUntil([&] { return !service->Notices().empty(); }));
    QWidget* notice = service->Notices().front();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->objectName(), QStringLiteral("ReminderNotice"));
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->findChild<QLabel*>("summary")->text(), QStringLiteral("夕食会"));
    EXPECT_EQ(notice->findChild<QLabel*>("body")->text(),
              QStringLiteral("2026年12月24日(木) 19:00〜20:00\n場所: 会議室A"));
    EXPECT_EQ(Shown(), 0u);
}

}  // namespace

#include "reminder_test.moc"
