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
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "model/CalendarStyleInfo.h"
#include "model/JapaneseHolidays.h"
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
            return a && b && a->booked && b->booked &&
                   cal.Cache().IsHoliday(platform::LocalMidnight(holiday));
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

// Local mode with no network at all (the service's address is a closed
// port): the holiday calendar is Daymark's own, its days computed, drawn in
// the holiday colour, and nothing is fetched or reported as an error.
TEST_P(EndToEnd, LocalModeShowsHolidaysWithoutTheNetwork) {
    testsupport::ScopedTz tz(GetParam());
    // A month from now on that has a holiday on a weekday.
    const platform::CTime today = platform::CTime::GetCurrentTime();
    int offset = 0;
    Model::NationalHoliday holiday;
    for (; offset < 12; ++offset) {
        const int index = today.GetYear() * 12 + today.GetMonth() - 1 + offset;
        bool found = false;
        for (const auto& h : Model::JapaneseHolidays(index / 12)) {
            const platform::CTime day(h.year, h.month, h.day, 12, 0, 0);
            if (h.month == index % 12 + 1 && day.GetDayOfWeek() >= 2 && day.GetDayOfWeek() <= 6 &&
                platform::LocalMidnight(day) != platform::LocalMidnight(today)) {
                holiday = h;
                found = true;
                break;
            }
        }
        if (found) {
            break;
        }
    }
    ASSERT_LT(offset, 12);
    testsupport::WriteFile(dir / "calWnd.info",
                           "1,0,0,0,300,240\n2,320,0," + std::to_string(offset) + ",300,240\n");
    Model::CConfigInfo config(dir / "config.ini");
    config.WriteInt("general", "calendar_mode", 2);
    config.WriteString("general", "login_url", L"https://127.0.0.1:9");
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
    ASSERT_EQ(registry->WindowCount(), 2u);
    const CCalendarWnd& cal = *registry->Windows().back();

    const platform::CTime noon(holiday.year, holiday.month, holiday.day, 12, 0, 0);
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return cal.Cache().IsHoliday(platform::LocalMidnight(noon));
        },
        std::chrono::seconds(20)));
    // A second of quiet: nothing else is asked for.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < quiet) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    const Draw::CDrawDayItem* day = DayItem(cal, noon);
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(day->style, &cal.Style().sundayDayText);
    const Draw::CDrawDayItem* before = DayItem(cal, noon - 86400);
    // The number in the holiday colour (a red), in the back buffer: the
    // anti-aliased pixels of the number lean to red as that colour does.
    auto inHolidayColour = [&](const Draw::CDrawDayItem& item) {
        const QRect r = item.Rect();
        int n = 0;
        for (int y = r.top(); y < r.bottom(); ++y) {
            for (int x = r.left(); x < r.right(); ++x) {
                const QRgb p = cal.BackBuffer().pixel(x, y);
                n += qRed(p) > qGreen(p) + 40 && qRed(p) > qBlue(p) + 40 ? 1 : 0;
            }
        }
        return n;
    };
    ASSERT_GT(qRed(cal.Style().sundayDayText.color), qGreen(cal.Style().sundayDayText.color) + 40);
    EXPECT_GT(inHolidayColour(*day), 5);
    if (before != nullptr && !cal.Cache().IsHoliday(platform::LocalMidnight(noon - 86400)) &&
        before->style == &cal.Style().weekdayDayText) {
        EXPECT_EQ(inHolidayColour(*before), 0);
    }

    const std::string text = testsupport::ReadFile(log.FileNameFor(platform::NowSeconds()));
    EXPECT_NE(text.find("<calmng> create local DB"), std::string::npos);
    EXPECT_NE(text.find("daymark:holidays/ja"), std::string::npos);
    EXPECT_NE(text.find("<calmng> unretrieved holiday is nothing"), std::string::npos);
    for (const char* bad : {"request holiday", "Sync error", "NOTIFY_ERROR",
                            "NOTIFY_NET_SETTING_PROBLEM", "[ERR!]"}) {
        EXPECT_EQ(text.find(bad), std::string::npos) << bad << "\n" << text;
    }
    platform::PostMessage(wnd->Handle(), Controller::kDispatchCommand, Controller::kCmdAppExit);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QCoreApplication::processEvents();
        return wnd->IsClosed();
    }));
}

INSTANTIATE_TEST_SUITE_P(Zones, EndToEnd, ::testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
