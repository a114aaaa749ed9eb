// The program's parts end to end, in this process: the real dispatch window,
// calendar manager and calendar windows against the stand-in calendar
// service. Calendars, holidays and events arrive after start-up and the days
// holding events are drawn booked.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "model/CalendarStyleInfo.h"
#include "model/qt/CalendarWndManager.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"

using testsupport::StandinServer;
using testsupport::TempDir;

namespace {

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kPassword = "secret";
constexpr const char* kHolidayId = "ja.japanese#holiday@group.v.calendar.google.com";

QApplication& App() {
    static int argc = 1;
    static char name[] = "endtoend_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::string Day(const platform::CTime& month, int day) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", month.GetYear(), month.GetMonth(), day);
    return text;
}

class EndToEnd : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(platform::CreateFolderTree(dir / "log"));
        log.SetFolder(dir / "log");
    }

    const Draw::CDrawDayItem* DayItem(const CCalendarWnd& wnd, const platform::CTime& date) {
        for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
            if (wnd.Day(i).Date() == platform::LocalMidnight(date).GetTime()) {
                return &wnd.Day(i);
            }
        }
        return nullptr;
    }

    TempDir dir;
    Utility::CMaintenanceLog log;
};

TEST_P(EndToEnd, AccountDataArrivesAndBookedDaysAreDrawn) {
    testsupport::ScopedTz tz(GetParam());
    StandinServer server;
    server.AddAccount(kEmail, kPassword);
    server.AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
        "color":"#2952A3","accesslevel":"owner","timezone":"Asia/Tokyo"})");
    server.AddCalendar(std::string("{\"id\":") + StandinServer::Quote(kHolidayId) +
                       ",\"title\":\"日本の祝日\",\"accesslevel\":\"read\"}");
    const platform::CTime today = platform::CTime::GetCurrentTime();
    const platform::CTime month(today.GetYear(), today.GetMonth(), 1, 0, 0, 0);
    // Noon UTC lies on the same day in Tokyo and New York.
    server.AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Dentist","start":")" +
                    Day(month, 10) + R"(T12:00:00.000Z","end":")" + Day(month, 10) +
                    R"(T13:00:00.000Z"})");
    server.AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Trip","start":")" +
                    Day(month, 20) + R"(","end":")" + Day(month, 21) + R"("})");
    server.AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kHolidayId) +
                    R"(,"title":"祝日","start":")" + Day(month, 15) + R"(","end":")" +
                    Day(month, 16) + R"("})");

    Model::CConfigInfo config(dir / "config.ini");
    config.WriteInt("general", "calendar_mode", 1);
    config.WriteString("general", "login_url", platform::Utf8ToWide(server.Base()));
    config.WriteString("debug", "ca_file", platform::Utf8ToWide(server.CaFile()));
    config.SetAccountId(platform::Utf8ToWide(kEmail));
    config.SetAccountPassword(platform::Utf8ToWide(kPassword));
    config.Load(dir / "config.ini");
    Model::CManiacOption maniac;
    Model::CCalendarStyleInfo style;

    Controller::CDispatchWnd::Setup setup;
    setup.config = &config;
    setup.maniac = &maniac;
    setup.log = &log;
    setup.dataFolder = dir.path();
    setup.programFolder = std::string(DAYMARK_BINARY_DIR) + "/bin";
    setup.manager = Controller::MakeDispatchManager(config.GetPath(), dir.path());
    setup.windows = Controller::MakeCalendarWindows(*setup.manager, config, maniac, &style, &log);
    setup.watchSleep = false;
    auto wnd = std::make_unique<Controller::CDispatchWnd>(std::move(setup));
    ASSERT_TRUE(wnd->Create());
    Model::CCalendarWndManager* registry = wnd->Windows().Registry();
    ASSERT_NE(registry, nullptr);
    ASSERT_EQ(registry->WindowCount(), 1u);
    const CCalendarWnd& cal = *registry->Windows().front();

    const platform::CTime dentist(month.GetYear(), month.GetMonth(), 10, 12, 0, 0);
    const platform::CTime trip(month.GetYear(), month.GetMonth(), 20, 12, 0, 0);
    const platform::CTime holiday(month.GetYear(), month.GetMonth(), 15, 12, 0, 0);
    const platform::CTime free(month.GetYear(), month.GetMonth(), 12, 12, 0, 0);
    // All-day events and holidays keep their calendar date in every zone
    // (west of UTC too).
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            const auto* a = DayItem(cal, dentist);
            const auto* b = DayItem(cal, trip);
            return a && b && a->booked && b->booked && !cal.Cache().Holidays().empty();
        },
        std::chrono::seconds(30)));
    EXPECT_FALSE(DayItem(cal, free)->booked);
    EXPECT_FALSE(DayItem(cal, trip - 86400)->booked);
    EXPECT_TRUE(cal.Cache().IsHoliday(platform::LocalMidnight(holiday)));
    EXPECT_FALSE(cal.Cache().IsHoliday(platform::LocalMidnight(holiday - 86400)));

    const std::string text = testsupport::ReadFile(log.FileNameFor(platform::NowSeconds()));
    EXPECT_NE(text.find("[info] <dispatch> NOTIFY_CALENDAR_UPDATED\n"), std::string::npos);
    EXPECT_NE(text.find("[info] <dispatch> events are emtpy\n"), std::string::npos);

    platform::PostMessage(wnd->Handle(), Controller::kDispatchCommand, Controller::kCmdAppExit);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents();
        return wnd->IsClosed();
    }));
    wnd.reset();
    EXPECT_FALSE(testsupport::ReadFile(dir / "calWnd.info").empty());
}

INSTANTIATE_TEST_SUITE_P(Zones, EndToEnd, ::testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
