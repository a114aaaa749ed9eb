// The calendar window registry on the offscreen platform: windows made from
// the position file (its edge cases and damaged forms), new, close and align,
// saving the positions, forwarding to every window and the window dump.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QCursor>
#include <memory>
#include <string>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/Notifications.h"
#include "controller/qt/CalendarWndManager.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWndSource.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "calendar_wnd_manager_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void Pump() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

class CountingSource : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>& out, int, int, int) override {
        ++eventCalls;
        out = events;
        return true;
    }
    std::list<Model::Event> events;
    bool GetHolidays(std::list<Model::Holiday>&, int, int, int, const std::wstring&) override {
        ++holidayCalls;
        return true;
    }
    void AddListener(platform::WindowHandle, uint32_t) override {}
    int eventCalls = 0;
    int holidayCalls = 0;
};

class Registry : public testing::Test {
protected:
    void SetUp() override {
        App();
        testsupport::WriteFile(dir_ / "config.ini", "[general]\ncalendar_mode=2\n");
        config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
        context_.source = &source_;
        context_.config = config_.get();
        screen_ = Model::CCalendarWndManager::VirtualScreen();
    }

    void Load(const std::string& positions) {
        testsupport::WriteFile(dir_ / "calWnd.info", positions);
        registry_.LoadAndCreate(dir_.path(), context_);
        Pump();
    }

    const CCalendarWnd& At(size_t i) const { return *registry_.Windows().at(i); }

    testsupport::ScopedTz tz_{"Asia/Tokyo"};
    platform::ScopedClock clock_{[] { return platform::CTime(2009, 2, 10, 12, 0, 0).GetTime(); }};
    testsupport::TempDir dir_;
    std::unique_ptr<Model::CConfigInfo> config_;
    CountingSource source_;
    CalendarWndContext context_;
    Model::ScreenRect screen_;
    Model::CCalendarWndManager registry_;
};

TEST_F(Registry, ASingleSavedWindowShowsTheCurrentMonth) {
    Load("3,100,100,2,200,150\n");
    ASSERT_EQ(registry_.WindowCount(), 1u);
    EXPECT_EQ(At(0).GetWindowNumber(), 3);
    EXPECT_EQ(At(0).Left(), 100);
    EXPECT_EQ(At(0).Top(), 100);
    EXPECT_EQ(At(0).GetMonthOffset(), 0);
    EXPECT_EQ(At(0).GetMonth(), 2);
    EXPECT_EQ(registry_.NewWindow()->GetWindowNumber(), 4);
}

TEST_F(Registry, SavedWindowsAreKeptOnTheVirtualScreen) {
    const int right = screen_.right;
    const int bottom = screen_.bottom;
    Load(
        "1,-5,100,1\n"
        "2,-20,100,-1\n"
        "3,50,5,0\n"
        "4," +
        std::to_string(right - 150) + ",200,0,200,150\n" +         // hangs 50 px off
        "5,60," + std::to_string(bottom - 145) + ",0,200,150\n");  // 5 px from the bottom
    ASSERT_EQ(registry_.WindowCount(), 5u);
    EXPECT_EQ(At(0).Left(), -5);  // up to 10 px off the left edge stays
    EXPECT_EQ(At(0).GetMonthOffset(), 1);
    EXPECT_EQ(At(0).GetMonth(), 3);
    EXPECT_EQ(At(1).Left(), screen_.left);
    EXPECT_EQ(At(1).GetMonth(), 1);
    EXPECT_EQ(At(2).Top(), screen_.top);  // snaps to the top
    EXPECT_EQ(At(3).Left(), right - 200);
    EXPECT_EQ(At(4).Top(), bottom - 150);
    EXPECT_EQ(registry_.NextWindowId(), 6);
}

// Two screens side by side, the right one shorter: the lower right part of
// their bounding rectangle is on no screen, and a window there is lost.
TEST(RegistryScreens, AWindowInAGapBetweenScreensGoesOntoThePrimaryScreen) {
    const std::vector<Model::ScreenRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 3200, 720}};
    struct Case {
        int x, y;
        int wantX, wantY;
    } cases[] = {
        {2500, 800, 1720, 800},  // wholly in the gap: onto the primary screen
        {2500, 100, 2500, 100},  // on the right screen: stays
        {100, 900, 100, 900},    // on the primary screen: stays
        {2500, 690, 2500, 690},  // 30 px on the right screen: enough to grab
        {1800, 800, 1800, 800},  // its left part is on the primary screen: stays
    };
    for (const Case& c : cases) {
        Model::WindowPlacement w;
        w.x = c.x;
        w.y = c.y;
        Model::CCalendarWndManager::KeepOnAScreen(w, screens);
        EXPECT_EQ(w.x, c.wantX) << c.x << "," << c.y;
        EXPECT_EQ(w.y, c.wantY) << c.x << "," << c.y;
    }
    Model::WindowPlacement none;
    none.x = 5000;
    Model::CCalendarWndManager::KeepOnAScreen(none, {});
    EXPECT_EQ(none.x, 5000);
    // The real screens: the first is the primary one.
    App();
    ASSERT_FALSE(Model::CCalendarWndManager::Screens().empty());
}

TEST_F(Registry, MissingOrDamagedFilesStillGiveWindows) {
    struct Case {
        const char* name;
        std::string text;  // empty: no file
        size_t windows;
    };
    std::string many;
    for (int i = 0; i < 10000; ++i) {
        many += std::to_string(i) + "," + std::to_string(i % 700) + ",40," + std::to_string(i % 5) +
                ",200,150\n";
    }
    const Case cases[] = {
        {"missing", "", 1},
        {"garbage", "abc\n\n1,2\n,,,\nxyz,1,2,3\n\x01\x02\xff\n", 1},
        {"one good line among garbage", "junk\n5,50,60,0\n;;;\n", 1},
        {"negative and huge",
         "7,-99999999999,99999999999,99999999999,-5,-5\n"
         "8,2147483647,-2147483648,-2147483648,99999999999,0\n",
         2},
        {"10000 lines", many, Model::kMaxCalendarWindows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Model::CCalendarWndManager registry;
        testsupport::TempDir dir;
        if (!c.text.empty()) {
            testsupport::WriteFile(dir / "calWnd.info", c.text);
        }
        registry.LoadAndCreate(dir.path(), context_);
        Pump();
        ASSERT_EQ(registry.WindowCount(), c.windows);
        for (const auto& wnd : registry.Windows()) {
            EXPECT_GE(wnd->GetYear(), 1901);
            EXPECT_LE(wnd->GetYear(), 9998);
            EXPECT_GT(wnd->RedrawCount(), 0);
        }
    }
    // Without a file: one window near the top-right corner.
    Model::CCalendarWndManager fresh;
    testsupport::TempDir empty;
    fresh.LoadAndCreate(empty.path(), context_);
    ASSERT_EQ(fresh.WindowCount(), 1u);
    EXPECT_EQ(fresh.Windows()[0]->Left(), screen_.right - 320);
    EXPECT_EQ(fresh.Windows()[0]->Top(), 10);
    EXPECT_EQ(fresh.Windows()[0]->GetWindowNumber(), 0);
    EXPECT_EQ(fresh.NextWindowId(), 1);
}

TEST_F(Registry, TheLargestIdDoesNotOverflow) {
    Load("2147483647,10,40,0\n0,300,40,0\n");
    CCalendarWnd* added = registry_.NewWindow();
    EXPECT_EQ(added->GetWindowNumber(), 1);  // the lowest free id
    EXPECT_EQ(registry_.WindowCount(), 3u);
}

TEST_F(Registry, NewCloseAndSave) {
    Load("0,10,40,0\n1,300,40,1\n");
    CCalendarWnd* added = registry_.NewWindow();
    const QPoint cursor = QCursor::pos();
    EXPECT_EQ(added->GetWindowNumber(), 2);
    EXPECT_EQ(added->Left(), cursor.x() - 10);
    EXPECT_EQ(added->Top(), cursor.y() - 10);
    EXPECT_EQ(added->GetMonthOffset(), 0);
    Pump();

    // An unknown id changes nothing; a known one goes, with its handle.
    registry_.CloseWindow(42);
    EXPECT_EQ(registry_.WindowCount(), 3u);
    const platform::WindowHandle handle = At(0).Handle();
    registry_.CloseWindow(0);
    ASSERT_EQ(registry_.WindowCount(), 2u);
    EXPECT_EQ(At(0).GetWindowNumber(), 1);
    EXPECT_FALSE(platform::PostMessage(handle, CCalendarWnd::kMsgRedraw));

    ASSERT_TRUE(registry_.SavePositions(dir_.path()));
    const std::string saved = testsupport::ReadFile(dir_ / "calWnd.info");
    const std::string want =
        "1,300,40,1," + std::to_string(At(0).Width()) + "," + std::to_string(At(0).Height()) +
        "\n2," + std::to_string(added->Left()) + "," + std::to_string(added->Top()) + ",0," +
        std::to_string(added->Width()) + "," + std::to_string(added->Height()) + "\n";
    EXPECT_EQ(saved, want);
    EXPECT_GT(At(0).Width(), 100);  // the real size from the style, not 200 x 150

    // Read back: the same windows.
    Model::CCalendarWndManager again;
    again.LoadAndCreate(dir_.path(), context_);
    ASSERT_EQ(again.WindowCount(), 2u);
    EXPECT_EQ(again.Windows()[0]->GetMonthOffset(), 1);
    EXPECT_EQ(again.Windows()[1]->GetWindowNumber(), 2);

    EXPECT_FALSE(registry_.SavePositions(dir_ / "no/such/folder"));
}

TEST_F(Registry, AlignLinesWindowsUpInColumnsAndRows) {
    Load("0,10,100,0\n1,60,120,0\n2,400,300,0\n");
    const int width = At(2).Width();
    ASSERT_LT(width, 390);  // 60 lies within one window width of 10, 400 does not
    registry_.AlignWindows();
    Pump();
    EXPECT_EQ(At(0).Left(), 10);
    EXPECT_EQ(At(1).Left(), 10);
    EXPECT_EQ(At(2).Left(), 400);
    EXPECT_EQ(At(0).Top(), 100);
    EXPECT_EQ(At(1).Top(), 100);
    EXPECT_EQ(At(2).Top(), 300);
    EXPECT_EQ(At(1).geometry().topLeft(), QPoint(10, 100));
}

TEST_F(Registry, ForwardsToEveryWindow) {
    Load("0,10,40,0\n1,300,40,-1\n");
    const int before = source_.eventCalls;
    registry_.ForwardEventUpdate();
    Pump();
    EXPECT_EQ(source_.eventCalls, before + 2);

    const int holidays = source_.holidayCalls;
    registry_.RefreshAll();
    Pump();
    EXPECT_EQ(source_.holidayCalls, holidays + 2);

    // The next month comes: every window follows with its offset.
    platform::ScopedClock march([] { return platform::CTime(2009, 3, 1, 0, 0, 5).GetTime(); });
    registry_.DateChanged();
    Pump();
    EXPECT_EQ(At(0).GetMonth(), 3);
    EXPECT_EQ(At(1).GetMonth(), 2);
    registry_.ShowCurrentMonths();
    Pump();
    EXPECT_EQ(At(1).GetMonth(), 2);
}

TEST_F(Registry, DumpWritesAndRemovesTheWindowFile) {
    // An exception of an event of the account's calendar: its original's id
    // holds the account, URL-encoded.
    Model::Event e;
    e.title = L"dentist";
    e.startTime = platform::CTime(2009, 2, 20, 10, 0, 0);
    e.endTime = e.startTime + 3600;
    e.recurrenceType = Model::RECURRENCE_EXCEPTION;
    e.originalEvent = L"https://www.google.com/calendar/feeds/hanako%40example.com/private/full/o1";
    source_.events = {e};
    Utility::CMaintenanceLog log;
    log.SetAccount("hanako@example.com");
    context_.log = &log;
    Load("0,10,40,0\n1,300,40,2\n");
    testsupport::TempDir data;
    ASSERT_EQ(::mkdir((data / "log").c_str(), 0700), 0);
    registry_.DumpWindows(true, data.path());
    const std::string text = testsupport::ReadFile(data / "log/calendars.txt");
    EXPECT_EQ(text.rfind("------- 0.0 (2009,2,", 0), 0u) << text;
    EXPECT_NE(text.find("------- 1.2 (2009,4,"), std::string::npos);
    EXPECT_NE(text.find(" 2009/02/20 10:00 col:"), std::string::npos) << text;
    EXPECT_NE(text.find("org:https://www.google.com/calendar/feeds/[user_id]/private/full/o1"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("hanako"), std::string::npos);
    EXPECT_EQ(text.find("dentist"), std::string::npos);
    registry_.DumpWindows(false, data.path());
    EXPECT_FALSE(testsupport::ReadFile(data / "log/calendars.txt").size() > 0);
}

}  // namespace
