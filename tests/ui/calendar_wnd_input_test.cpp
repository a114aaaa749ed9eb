// Calendar windows under the mouse, on the offscreen platform: synthetic
// mouse events sent to real windows and their timers fired by id. Click
// against double click, a click on a booked day with and without the popup,
// dragging (locked, unlocked, from a day) with the position file, the wheel,
// the context menu (local mode, greying, checks), navigation across a year
// end with the holiday check, the icon bar (layouts, fade steps, full
// opacity under the mouse, staying up while its menu is open), the sync
// notice, the listener list after closing windows, and a window closed while
// its own menu is open.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchMessages.h"
#include "controller/qt/DispatchWnd.h"
#include "eventwnd/EventPopupWnd.h"
#include "eventwnd/EventRegistWnd.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Folders.h"
#include "platform/Time.h"
#include "platform/qt/Window.h"
#include "tests/support/CalendarWndProbe.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndFlags.h"
#include "view/CalendarWndHost.h"
#include "view/CalendarWndSource.h"
#include "view/FunctionWnd.h"
#include "view/NoticeWnd.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "calendar_wnd_input_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void Pump() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

const std::string kImages = std::string(DAYMARK_SOURCE_DIR) + "/resources/image/";

class FakeSource : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>& out, int, int, int) override {
        out.insert(out.end(), events.begin(), events.end());
        return true;
    }
    bool GetHolidays(std::list<Model::Holiday>& out, int, int, int, const std::wstring&) override {
        out.insert(out.end(), holidays.begin(), holidays.end());
        return true;
    }
    void AddListener(platform::WindowHandle window, uint32_t) override {
        listeners.push_back(window);
    }
    void RemoveListener(platform::WindowHandle window) override { std::erase(listeners, window); }
    bool HasHolidays(int year) override { return year <= 2009; }
    void RequestHolidays(int year) override { requestedYears.push_back(year); }
    void SyncEvents() override { ++syncs; }
    Controller::IcalFileResult ImportIcalendar(const std::string& path) override {
        icalendarCalls.push_back("import " + path);
        return icalendarResult;
    }
    Controller::IcalFileResult ExportIcalendar(const std::string& path) override {
        icalendarCalls.push_back("export " + path);
        return icalendarResult;
    }

    std::vector<std::string> icalendarCalls;
    Controller::IcalFileResult icalendarResult;
    std::list<Model::Event> events;
    std::list<Model::Holiday> holidays;
    std::vector<platform::WindowHandle> listeners;
    std::vector<int> requestedYears;
    int syncs = 0;
};

// Records what the windows ask of the world outside them.
class FakeHost : public ICalendarWndHost {
public:
    bool OpenOptionDialog(CCalendarWnd&) override { return Record("options"); }
    bool OpenStyleDialog(CCalendarWnd&, bool& weekStartChanged) override {
        weekStartChanged = false;
        return Record("style");
    }
    void OpenStyleEditor(CCalendarWnd&) override { Record("style editor"); }
    bool OpenCalendarSettings(CCalendarWnd&) override { return Record("calendar settings"); }
    bool OpenHolidaySettings(CCalendarWnd&) override { return Record("holiday settings"); }
    void OpenAboutBox(CCalendarWnd&) override { Record("about"); }
    bool OpenNewEvent(CCalendarWnd&, const NewEventRequest& request) override {
        detailFlagWhileOpen = CalendarWndFlags::detailDialogOpen;
        newEvents.push_back(request);
        return Record("new event");
    }
    bool OpenEventDetail(CCalendarWnd&, const Model::Event& event) override {
        edited.push_back(event.localEventID);
        return Record("event detail");
    }
    void OpenUrl(const std::string& url) override { urls.push_back(url); }
    void OpenHelp() override { Record("help"); }
    std::string ChooseIcalendarFile(CCalendarWnd&, bool forWriting) override {
        Record(forWriting ? "save file" : "open file");
        return chosenFile;
    }
    void ShowIcalendarResult(CCalendarWnd&, const std::wstring& text, bool failed) override {
        messages.push_back((failed ? L"! " : L"") + text);
    }
    std::string chosenFile;
    std::vector<std::wstring> messages;

    bool Record(const std::string& what) {
        calls.push_back(what);
        return false;
    }

    std::vector<std::string> calls;
    std::vector<NewEventRequest> newEvents;
    std::vector<std::wstring> edited;
    std::vector<std::string> urls;
    bool detailFlagWhileOpen = false;
};

// The dispatch window's command handling that the windows meet: it counts
// the windows of a registry, saves positions on command 6 and records the
// rest.
class FakeDispatch : public platform::CWindow {
public:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override {
        if (message != Controller::kDispatchCommand) {
            return 0;
        }
        commands.push_back(static_cast<int>(wParam));
        if (wParam == Controller::kCmdWindowCount) {
            *reinterpret_cast<int32_t*>(lParam) = count;
        } else if (wParam == Controller::kCmdPosUpdate && save) {
            save();
        }
        return 1;
    }
    int count = 1;
    std::function<void()> save;
    std::vector<int> commands;
};

QPoint Global(const CCalendarWnd& wnd, QPoint local) {
    return local + QPoint(wnd.Left(), wnd.Top());
}

void SendMouse(QWidget& target, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QCursor::setPos(global);
    QMouseEvent event(type, QPointF(global - target.geometry().topLeft()), QPointF(global), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

void MoveTo(QWidget& target, QPoint global, Qt::MouseButtons buttons = Qt::NoButton) {
    SendMouse(target, QEvent::MouseMove, global, Qt::NoButton, buttons);
}

void Press(QWidget& target, QPoint global, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(target, QEvent::MouseButtonPress, global, button, button);
}

void Release(QWidget& target, QPoint global, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(target, QEvent::MouseButtonRelease, global, button, Qt::NoButton);
}

void DoubleClick(QWidget& target, QPoint global) {
    SendMouse(target, QEvent::MouseButtonDblClick, global, Qt::LeftButton, Qt::LeftButton);
}

void Wheel(QWidget& target, int delta) {
    const QPoint global = target.geometry().center();
    QWheelEvent event(QPointF(global - target.geometry().topLeft()), QPointF(global), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &event);
}

using testsupport::CellOf;

QPoint CellCenter(const CCalendarWnd& wnd, int index) {
    return Global(wnd, wnd.Day(index).Rect().center());
}

// A point of the header, above the weekday row.
QPoint HeaderPoint(const CCalendarWnd& wnd) {
    const auto& l = wnd.GetLayout();
    return Global(wnd, QPoint(l.header.width / 2, l.header.y + 3));
}

// A point in the icon bar zone (the weekday row).
QPoint ZonePoint(const CCalendarWnd& wnd) {
    const auto& l = wnd.GetLayout();
    return Global(wnd, QPoint(5, l.weekRow.y + l.weekRow.height / 2));
}

QPoint Outside(const CCalendarWnd& wnd) {
    return QPoint(wnd.Left() + wnd.Width() + 300, wnd.Top() + wnd.Height() + 300);
}

Model::Event EventOn(int year, int month, int day, const std::wstring& id) {
    Model::Event e;
    e.localEventID = id;
    e.title = id;
    e.startTime = platform::CTime(year, month, day, 10, 0, 0);
    e.endTime = e.startTime + 3600;
    return e;
}

class Input : public testing::Test {
protected:
    void SetUp() override {
        App();
        platform::CreateFolderTree(dir_ / "log");
        log_.SetFolder(dir_ / "log");
        WriteConfig("[general]\ncalendar_mode=2\n");
        source_.events = {EventOn(2009, 2, 12, L"booked")};
        CalendarWndFlags::menuOpen = false;
        CalendarWndFlags::registWndOpen = false;
        CalendarWndFlags::detailDialogOpen = false;
    }
    void TearDown() override { CCalendarWnd::menuHook = nullptr; }

    void WriteConfig(const std::string& text) {
        testsupport::WriteFile(dir_ / "config.ini", text);
        config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
    }

    CalendarWndContext Context() {
        CalendarWndContext context;
        context.source = &source_;
        context.config = config_.get();
        context.log = &log_;
        context.host = &host_;
        context.imageFolder = kImages;
        context.dispatchWindow = dispatch_.Handle();
        context.commandMessage = Controller::kDispatchCommand;
        return context;
    }

    std::unique_ptr<CCalendarWnd> Open(int x = 200, int y = 150) {
        auto wnd = std::make_unique<CCalendarWnd>(1, x, y, 0, Context());
        Pump();
        return wnd;
    }

    std::string Log() const {
        std::string all;
        for (int day = 1; day <= 7; ++day) {
            all += testsupport::ReadFile(dir_ / ("log/Log" + std::to_string(day) + ".txt"));
        }
        return all;
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    bool app_ = (App(), true);  // before the first widget
    testsupport::ScopedTz tz_{"Asia/Tokyo"};
    int64_t now_ = platform::CTime(2009, 2, 10, 12, 0, 0).GetTime();
    platform::ScopedClock clock_{[this] { return now_; }};
    testsupport::TempDir dir_;
    Utility::CMaintenanceLog log_;
    std::unique_ptr<Model::CConfigInfo> config_;
    FakeSource source_;
    FakeHost host_;
    FakeDispatch dispatch_;
};

// ---------------------------------------------------------------------------
// Days.

TEST_F(Input, AClickOpensTheRegistrationWindowAndADoubleClickOnlyTheDetailDialog) {
    auto wnd = Open();
    const int day = CellOf(*wnd, 2009, 2, 17);
    ASSERT_GE(day, 0);
    MoveTo(*wnd, CellCenter(*wnd, day));
    EXPECT_EQ(wnd->HoveredDay(), day);

    // A click: the registration window opens only once timer 6 has run.
    Press(*wnd, CellCenter(*wnd, day));
    Release(*wnd, CellCenter(*wnd, day));
    EXPECT_TRUE(wnd->HasTimer(CCalendarWnd::kTimerClick));
    EXPECT_FALSE(wnd->RegistWnd()->IsOpen());
    wnd->FireTimer(CCalendarWnd::kTimerClick);
    EXPECT_TRUE(wnd->RegistWnd()->IsOpen());
    EXPECT_EQ(wnd->RegistWnd()->Date(), platform::CTime(2009, 2, 17, 0, 0, 0));
    EXPECT_TRUE(CalendarWndFlags::registWndOpen);
    EXPECT_TRUE(host_.newEvents.empty());
    EXPECT_TRUE(Logged("[info] <view> open evt reg wnd.\n"));
    wnd->RegistWnd()->Close();
    EXPECT_FALSE(CalendarWndFlags::registWndOpen);

    // A double click: press, release, double click, release.
    Press(*wnd, CellCenter(*wnd, day));
    Release(*wnd, CellCenter(*wnd, day));
    DoubleClick(*wnd, CellCenter(*wnd, day));
    EXPECT_FALSE(wnd->HasTimer(CCalendarWnd::kTimerClick));
    Release(*wnd, CellCenter(*wnd, day));
    EXPECT_FALSE(wnd->HasTimer(CCalendarWnd::kTimerClick));  // the closing release is no click
    ASSERT_EQ(host_.newEvents.size(), 1u);
    const NewEventRequest& r = host_.newEvents[0];
    EXPECT_EQ(r.start, platform::CTime(2009, 2, 17, 0, 0, 0));
    EXPECT_EQ(r.end.GetTime() - r.start.GetTime(), 86400);
    EXPECT_TRUE(r.allDay);
    EXPECT_TRUE(r.title.empty());
    EXPECT_TRUE(r.calendarURI.empty());
    EXPECT_TRUE(host_.detailFlagWhileOpen);
    EXPECT_FALSE(CalendarWndFlags::detailDialogOpen);
    EXPECT_FALSE(wnd->RegistWnd()->IsOpen());
    EXPECT_TRUE(Logged("[info] <view> mouse dbl-click\n"));

    // With the registration window open a double click opens nothing.
    wnd->RegistWnd()->OpenFor(platform::CTime(2009, 2, 17, 0, 0, 0), QPoint(0, 0));
    DoubleClick(*wnd, CellCenter(*wnd, day));
    EXPECT_EQ(host_.newEvents.size(), 1u);
}

TEST_F(Input, AClickOnABookedDayActivatesAShowingPopupAndOtherwiseOpensTheRegistration) {
    source_.holidays = {};
    auto wnd = Open();
    const int booked = CellOf(*wnd, 2009, 2, 12);
    ASSERT_TRUE(wnd->Day(booked).booked);

    // Without the popup: the registration window.
    MoveTo(*wnd, CellCenter(*wnd, booked));
    Release(*wnd, CellCenter(*wnd, booked));
    wnd->FireTimer(CCalendarWnd::kTimerClick);
    EXPECT_TRUE(wnd->RegistWnd()->IsOpen());
    EXPECT_FALSE(wnd->Popup()->IsShowing());
    wnd->RegistWnd()->Close();

    // The popup shows after the hover delay, beside the window; a click then
    // activates it.
    MoveTo(*wnd, CellCenter(*wnd, booked + 1));
    MoveTo(*wnd, CellCenter(*wnd, booked));
    EXPECT_TRUE(wnd->HasTimer(CCalendarWnd::kTimerPopup));
    wnd->FireTimer(CCalendarWnd::kTimerPopup);
    ASSERT_TRUE(wnd->Popup()->IsShowing());
    EXPECT_EQ(wnd->Popup()->Date(), platform::CTime(2009, 2, 12, 0, 0, 0));
    const QRect popup = wnd->Popup()->geometry();
    EXPECT_EQ(popup.top(), wnd->Top());
    EXPECT_EQ(popup.width(), std::max(wnd->Width(), 171));
    EXPECT_TRUE(popup.left() == wnd->Left() + wnd->Width() + 5 ||
                popup.right() + 1 == wnd->Left() - 5);
    Release(*wnd, CellCenter(*wnd, booked));
    wnd->FireTimer(CCalendarWnd::kTimerClick);
    EXPECT_TRUE(wnd->Popup()->IsActive());
    EXPECT_FALSE(wnd->RegistWnd()->IsOpen());
    EXPECT_TRUE(Logged("[info] <view> activate evt popup.\n"));
    EXPECT_TRUE(Logged("[act ] <view> show evt popup\n"));

    // A day without events or holidays shows no popup.
    wnd->Popup()->Hide();
    const int empty = CellOf(*wnd, 2009, 2, 18);
    MoveTo(*wnd, CellCenter(*wnd, empty));
    wnd->FireTimer(CCalendarWnd::kTimerPopup);
    EXPECT_FALSE(wnd->Popup()->IsShowing());

    // Leaving the window and the popup fades it (housekeeping).
    MoveTo(*wnd, CellCenter(*wnd, booked));
    wnd->FireTimer(CCalendarWnd::kTimerPopup);
    ASSERT_TRUE(wnd->Popup()->IsShowing());
    QCursor::setPos(Outside(*wnd));
    wnd->FireTimer(CCalendarWnd::kTimerHousekeeping);
    EXPECT_TRUE(wnd->Popup()->IsFading());
    EXPECT_EQ(wnd->HoveredDay(), -1);
    // The fade runs on the popup's own timer: after its grace ticks it hides.
    EXPECT_TRUE(testsupport::WaitFor(
        [&] {
            Pump();
            return !wnd->Popup()->IsShowing();
        },
        std::chrono::seconds(5)));
}

TEST_F(Input, PopupRowsOpenTheDetailDialogOrTheRegistrationWindow) {
    auto wnd = Open();
    const int booked = CellOf(*wnd, 2009, 2, 12);
    MoveTo(*wnd, CellCenter(*wnd, booked));
    wnd->FireTimer(CCalendarWnd::kTimerPopup);
    ASSERT_TRUE(wnd->Popup()->IsShowing());
    // An identifier the cache does not hold opens nothing.
    platform::SendMessage(wnd->Handle(), CCalendarWnd::kMsgEventPopupWnd,
                          CEventPopupWnd::kCodeEditEvent);
    EXPECT_TRUE(host_.edited.empty());
    EXPECT_TRUE(Logged("[act ] <view> edit event (2009,2,12)\n"));
    platform::SendMessage(wnd->Handle(), CCalendarWnd::kMsgEventPopupWnd,
                          CEventPopupWnd::kCodeAddEvent);
    EXPECT_TRUE(wnd->RegistWnd()->IsOpen());
    EXPECT_EQ(wnd->RegistWnd()->Date(), platform::CTime(2009, 2, 12, 0, 0, 0));
}

// ---------------------------------------------------------------------------
// Dragging and the wheel.

TEST_F(Input, DraggingByTheHeaderMovesAnUnlockedWindowAndSavesThePosition) {
    Model::CCalendarWndManager registry;
    dispatch_.save = [&] { registry.SavePositions(dir_.path()); };
    registry.LoadAndCreate(dir_.path(), Context());
    Pump();
    CCalendarWnd& wnd = *registry.Windows().front();
    wnd.MoveTo(300, 200);
    Pump();

    // From a day cell nothing moves.
    const QPoint day = CellCenter(wnd, CellOf(wnd, 2009, 2, 17));
    MoveTo(wnd, day);
    Press(wnd, day);
    MoveTo(wnd, day + QPoint(40, 30), Qt::LeftButton);
    EXPECT_FALSE(wnd.IsDragging());
    Release(wnd, day + QPoint(40, 30));
    EXPECT_EQ(wnd.Left(), 300);

    // Locked: nothing moves.
    config_->lock = 1;  // as the lock command leaves it
    const QPoint header = HeaderPoint(wnd);
    MoveTo(wnd, header);
    Press(wnd, header);
    MoveTo(wnd, header + QPoint(50, 40), Qt::LeftButton);
    Release(wnd, header + QPoint(50, 40));
    EXPECT_EQ(wnd.Left(), 300);
    EXPECT_EQ(wnd.Top(), 200);

    // Unlocked: the corner keeps its offset from the cursor; the release
    // asks for the positions to be saved.
    config_->lock = 0;
    dispatch_.commands.clear();
    MoveTo(wnd, header);
    Press(wnd, header);
    MoveTo(wnd, header + QPoint(50, 40), Qt::LeftButton);
    EXPECT_TRUE(wnd.IsDragging());
    MoveTo(wnd, header + QPoint(70, 45), Qt::LeftButton);
    Release(wnd, header + QPoint(70, 45));
    EXPECT_FALSE(wnd.IsDragging());
    EXPECT_EQ(wnd.Left(), 370);
    EXPECT_EQ(wnd.Top(), 245);
    EXPECT_EQ(wnd.geometry().topLeft(), QPoint(370, 245));
    Pump();
    EXPECT_EQ(dispatch_.commands, std::vector<int>{Controller::kCmdPosUpdate});
    const std::string saved = testsupport::ReadFile(dir_ / "calWnd.info");
    EXPECT_EQ(saved.rfind("0,370,245,0,", 0), 0u) << saved;
}

TEST_F(Input, TheWheelPagesMonthsOnlyWhenSwitchedOn) {
    WriteConfig("[general]\ncalendar_mode=2\n[option]\nuse_mouse_wheel=0\n");
    auto wnd = Open();
    Wheel(*wnd, 120);
    EXPECT_EQ(wnd->GetMonth(), 2);
    config_->WriteInt("option", "use_mouse_wheel", 1);  // read at each turn
    Wheel(*wnd, 120);
    EXPECT_EQ(wnd->GetMonth(), 3);
    EXPECT_EQ(wnd->GetMonthOffset(), 1);
    Wheel(*wnd, -120);
    Wheel(*wnd, -120);
    EXPECT_EQ(wnd->GetMonth(), 1);
    EXPECT_EQ(wnd->GetMonthOffset(), -1);
}

// ---------------------------------------------------------------------------
// The context menu and the commands.

struct MenuState {
    std::vector<int> ids;
    std::map<int, bool> enabled;
    std::map<int, bool> checked;
};

void Collect(const QMenu& menu, MenuState& state) {
    for (QAction* action : menu.actions()) {
        if (action->menu() != nullptr) {
            Collect(*action->menu(), state);
        } else if (!action->isSeparator()) {
            const int id = action->data().toInt();
            state.ids.push_back(id);
            state.enabled[id] = action->isEnabled();
            state.checked[id] = action->isChecked();
        }
    }
}

bool Has(const MenuState& s, int id) {
    return std::find(s.ids.begin(), s.ids.end(), id) != s.ids.end();
}

TEST_F(Input, MenuItemsFollowTheModeTheWindowCountAndTheOptions) {
    struct Case {
        const char* config;
        int windows;
        bool serviceItems, closeEnabled, lockChecked, summaryChecked;
    };
    const Case cases[] = {
        {"[general]\ncalendar_mode=2\n", 1, false, false, false, true},
        {"[general]\ncalendar_mode=1\nlock=1\n[option]\nuse_event_summary_wnd=0\n", 2, true, true,
         true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        WriteConfig(c.config);
        dispatch_.count = c.windows;
        auto wnd = Open();
        dispatch_.commands.clear();
        std::unique_ptr<QMenu> menu = wnd->BuildContextMenu();
        EXPECT_EQ(dispatch_.commands, std::vector<int>{Controller::kCmdWindowCount});
        MenuState s;
        Collect(*menu, s);
        using W = CCalendarWnd;
        for (int id : {W::ID_PREV_MONTH, W::ID_NEXT_MONTH, W::ID_PREV_YEAR, W::ID_NEXT_YEAR,
                       W::ID_NEW_WINDOW, W::ID_LOCK_WINDOW, W::ID_ALIGN_WINDOW, W::ID_CLOSE_WINDOW,
                       W::ID_EVENT_SUMMARY, W::ID_OPTION, W::ID_STYLE, W::ID_HELP, W::ID_VERSION,
                       W::ID_EXIT, W::ID_IMPORT_ICALENDAR, W::ID_EXPORT_ICALENDAR}) {
            EXPECT_TRUE(Has(s, id)) << id;
        }
        for (int id : {W::ID_SYNC, W::ID_WEB_CALENDAR, W::ID_CALENDAR_SETTINGS}) {
            EXPECT_EQ(Has(s, id), c.serviceItems) << id;
        }
        EXPECT_FALSE(Has(s, W::ID_HOLIDAY_SETTINGS));
        EXPECT_EQ(s.enabled[W::ID_CLOSE_WINDOW], c.closeEnabled);
        EXPECT_EQ(s.checked[W::ID_LOCK_WINDOW], c.lockChecked);
        EXPECT_EQ(s.checked[W::ID_EVENT_SUMMARY], c.summaryChecked);
        // The texts are the program's own.
        EXPECT_EQ(menu->actions().front()->text(), QString::fromUtf8(" 表示月の変更"));
    }
}

TEST_F(Input, ShowingTheMenuSuppressesHoverAndRunsTheChosenCommandAfterwards) {
    auto wnd = Open();
    CCalendarWnd::menuHook = [](QMenu& menu) {
        EXPECT_TRUE(CalendarWndFlags::menuOpen);
        QTimer::singleShot(0, &menu, [&menu] {
            for (QAction* a : menu.actions()) {
                if (a->data().toInt() == CCalendarWnd::ID_LOCK_WINDOW) {
                    a->trigger();
                }
                if (a->menu() != nullptr) {
                    for (QAction* b : a->menu()->actions()) {
                        if (b->data().toInt() == CCalendarWnd::ID_NEW_WINDOW) {
                            b->trigger();
                        }
                    }
                }
            }
            menu.close();
        });
    };
    wnd->ShowContextMenu(Global(*wnd, QPoint(10, 10)));
    EXPECT_FALSE(CalendarWndFlags::menuOpen);
    EXPECT_TRUE(wnd->IsMenuSuppressed());
    EXPECT_TRUE(wnd->HasTimer(CCalendarWnd::kTimerMenuSuppress));
    Pump();
    EXPECT_EQ(dispatch_.commands.back(), Controller::kCmdNewWindow);
    // Hover is off until timer 7 ends the suppression.
    const int day = CellOf(*wnd, 2009, 2, 17);
    MoveTo(*wnd, CellCenter(*wnd, day));
    EXPECT_EQ(wnd->HoveredDay(), -1);
    wnd->FireTimer(CCalendarWnd::kTimerMenuSuppress);
    EXPECT_FALSE(wnd->IsMenuSuppressed());
    MoveTo(*wnd, CellCenter(*wnd, day));
    EXPECT_EQ(wnd->HoveredDay(), day);
}

TEST_F(Input, CommandsReachTheHostTheDispatchWindowAndTheConfiguration) {
    WriteConfig("[general]\ncalendar_mode=1\naccount=me@example.test\n");
    config_->SetAccountId(L"me@example.test");
    auto wnd = Open();
    using W = CCalendarWnd;
    for (int id : {W::ID_OPTION, W::ID_STYLE, W::ID_EDIT_STYLE, W::ID_CALENDAR_SETTINGS,
                   W::ID_HOLIDAY_SETTINGS, W::ID_HELP, W::ID_VERSION, W::ID_NOTHING}) {
        wnd->RunCommand(id);
    }
    EXPECT_EQ(host_.calls,
              (std::vector<std::string>{"options", "style", "style editor", "calendar settings",
                                        "holiday settings", "help", "about"}));
    dispatch_.commands.clear();
    for (int id : {W::ID_NEW_WINDOW, W::ID_ALIGN_WINDOW, W::ID_CLOSE_WINDOW, W::ID_EXIT}) {
        wnd->RunCommand(id);
    }
    Pump();
    EXPECT_EQ(dispatch_.commands,
              (std::vector<int>{Controller::kCmdNewWindow, Controller::kCmdAlignWindow,
                                Controller::kCmdCloseWindow, Controller::kCmdAppExit}));

    wnd->RunCommand(W::ID_WEB_CALENDAR);
    ASSERT_EQ(host_.urls.size(), 1u);
    EXPECT_EQ(host_.urls[0], "https://www.google.com/calendar/?src=me%40example.test");

    wnd->RunCommand(W::ID_LOCK_WINDOW);
    EXPECT_EQ(config_->GetInt("general", "lock", 0), 1);
    EXPECT_EQ(config_->lock, 1);
    EXPECT_TRUE(Logged("[info] <view> lock window (1)\n"));
    wnd->RunCommand(W::ID_LOCK_WINDOW);
    EXPECT_EQ(config_->GetInt("general", "lock", 1), 0);

    wnd->RunCommand(W::ID_EVENT_SUMMARY);
    EXPECT_EQ(config_->GetInt("option", "use_event_summary_wnd", 1), 0);

    wnd->RunCommand(W::ID_SYNC);
    EXPECT_EQ(source_.syncs, 1);
    EXPECT_TRUE(wnd->IsSyncRequested());
}

TEST_F(Input, TheProgramsHostFindsTheManualBesideTheVersionPage) {
    Controller::CCalendarWndHost::Setup setup;
    setup.config = config_.get();
    setup.log = &log_;
    Controller::CCalendarWndHost host(setup);
    EXPECT_EQ(host.ProductSite(), "");
    host.OpenHelp();  // no site: logged, nothing opened
    EXPECT_TRUE(Logged("[info] <view> no product site for the manual\n"));
    config_->WriteString("debug", "version_check_url",
                         L"https://www.example.com:8443/version/version.html?x=1");
    EXPECT_EQ(host.ProductSite(), "https://www.example.com:8443");
}

class Navigation : public Input, public testing::WithParamInterface<const char*> {};

TEST_P(Navigation, MonthsAndYearsAcrossAYearEndWithTheHolidayCheck) {
    testsupport::ScopedTz zone(GetParam());
    now_ = platform::CTime(2009, 12, 10, 12, 0, 0).GetTime();
    auto wnd = Open();
    ASSERT_EQ(wnd->GetYear(), 2009);
    using W = CCalendarWnd;
    struct Step {
        int command, year, month, offset;
    };
    const Step steps[] = {
        {W::ID_NEXT_MONTH, 2010, 1, 1},   {W::ID_PREV_MONTH, 2009, 12, 0},
        {W::ID_NEXT_YEAR, 2010, 12, 12},  {W::ID_PREV_YEAR, 2009, 12, 0},
        {W::ID_PREV_YEAR, 2008, 12, -12}, {W::ID_NEXT_MONTH, 2009, 1, -11},
        {W::ID_THIS_MONTH, 2009, 12, 0},
    };
    for (const Step& s : steps) {
        wnd->RunCommand(s.command);
        EXPECT_EQ(wnd->GetYear(), s.year) << s.command;
        EXPECT_EQ(wnd->GetMonth(), s.month) << s.command;
        EXPECT_EQ(wnd->GetMonthOffset(), s.offset) << s.command;
        // The cells show the new month at once.
        EXPECT_GE(CellOf(*wnd, s.year, s.month, 15), 0) << s.command;
    }
    Pump();
    EXPECT_EQ(wnd->MonthNumberItem().GetText(), L"12");
    // The holidays of 2010 were missing: asked for twice (two visits).
    EXPECT_EQ(source_.requestedYears, (std::vector<int>{2010, 2010}));
    EXPECT_TRUE(Logged("[info] <view> holidays are not available\n"));
    EXPECT_TRUE(Logged("[act ] <view> next month (2009,12)\n"));

    // The icon bar's buttons navigate too.
    platform::SendMessage(wnd->Handle(), W::kMsgFunctionWnd, W::kFuncNextMonth);
    EXPECT_EQ(wnd->GetMonth(), 1);
    platform::SendMessage(wnd->Handle(), W::kMsgFunctionWnd, W::kFuncThisMonth);
    EXPECT_EQ(wnd->GetMonth(), 12);
}

INSTANTIATE_TEST_SUITE_P(Zones, Navigation, testing::Values("Asia/Tokyo", "America/New_York"));

// ---------------------------------------------------------------------------
// The icon bar.

TEST(IconBar, LayoutsImagesAndTips) {
    App();
    struct Case {
        bool vertical, local;
        QSize size;
        QPoint lock, menu;
    };
    const Case cases[] = {
        {false, false, {172, 28}, {122, 2}, {146, 2}},
        {false, true, {124, 28}, {74, 2}, {98, 2}},
        {true, false, {28, 165}, {2, 117}, {2, 140}},
        {true, true, {28, 119}, {2, 71}, {2, 94}},
    };
    for (const Case& c : cases) {
        CFunctionWnd::Options options;
        options.vertical = c.vertical;
        options.localMode = c.local;
        options.imageFolder = kImages;
        CFunctionWnd bar(nullptr, 0, 0, options, nullptr);
        EXPECT_EQ(QSize(bar.BarWidth(), bar.BarHeight()), c.size);
        EXPECT_EQ(bar.Button(CFunctionWnd::kLock).Rect().topLeft(), c.lock);
        EXPECT_EQ(bar.Button(CFunctionWnd::kMenu).Rect().topLeft(), c.menu);
        EXPECT_EQ(bar.Button(CFunctionWnd::kWeb).visible != 0, !c.local);
        EXPECT_EQ(bar.Button(CFunctionWnd::kSync).visible != 0, !c.local);
        EXPECT_EQ(bar.CurrentAlpha(), 192);
        EXPECT_FALSE(bar.Button(CFunctionWnd::kPrev).normalImage.isNull());
    }
    CFunctionWnd::Options options;
    options.imageFolder = kImages;
    CFunctionWnd bar(nullptr, 0, 0, options, nullptr);
    EXPECT_EQ(bar.Button(CFunctionWnd::kNext).Rect().topLeft(), QPoint(26, 2));
    EXPECT_EQ(bar.Button(CFunctionWnd::kToday).Rect().topLeft(), QPoint(50, 2));
    // The lock images follow the lock.
    const QImage unlocked = bar.Button(CFunctionWnd::kLock).normalImage;
    bar.SetLock(true);
    EXPECT_EQ(bar.Button(CFunctionWnd::kLock).normalImage,
              QImage(QString::fromStdString(kImages + "lock.png")));
    EXPECT_NE(bar.Button(CFunctionWnd::kLock).normalImage, unlocked);
    EXPECT_EQ(CFunctionWnd::Tooltip(CFunctionWnd::kMenu), QString::fromUtf8("メニューを開く"));
    EXPECT_EQ(CFunctionWnd::Tooltip(8), QString());
    // The bar's corners are rounded and see-through; its middle is white.
    bar.Show(10, 10);
    EXPECT_EQ(qAlpha(bar.BackBuffer().pixel(0, 0)), 0);
    EXPECT_EQ(bar.BackBuffer().pixel(bar.BarWidth() / 2, 1), qRgb(255, 255, 255));
    // A hovered button shows its tip after a rest.
    bar.OnMouseMove(QPoint(10 + 2 + 5, 10 + 2 + 5));
    EXPECT_EQ(bar.HoveredCode(), CFunctionWnd::kPrev);
    EXPECT_TRUE(bar.HasTimer(CFunctionWnd::kTimerTooltip));
    bar.FireTimer(CFunctionWnd::kTimerTooltip);
    EXPECT_TRUE(bar.TooltipShown());
    bar.OnMouseMove(QPoint(500, 500));
    EXPECT_FALSE(bar.TooltipShown());
    EXPECT_EQ(bar.HoveredCode(), 0u);
}

TEST_F(Input, TheIconBarAppearsInItsZoneFadesInStepsAndComesBackUnderTheMouse) {
    WriteConfig("[general]\ncalendar_mode=1\n");
    auto wnd = Open();
    CFunctionWnd* bar = wnd->FunctionWnd();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->BarWidth(), 172);

    // Outside the zone (a day) the bar does not come.
    MoveTo(*wnd, CellCenter(*wnd, CellOf(*wnd, 2009, 2, 17)));
    wnd->FireTimer(CCalendarWnd::kTimerIconBarShow);
    EXPECT_FALSE(bar->IsShowing());
    // In the zone it does, centred over the weekday row.
    MoveTo(*wnd, ZonePoint(*wnd));
    EXPECT_TRUE(wnd->HasTimer(CCalendarWnd::kTimerIconBarShow));
    wnd->FireTimer(CCalendarWnd::kTimerIconBarShow);
    ASSERT_TRUE(bar->IsShowing());
    EXPECT_EQ(bar->CurrentAlpha(), 255);
    EXPECT_EQ(bar->geometry().topLeft(),
              QPoint(wnd->Left() + wnd->Width() / 2 - 86, wnd->Top() + wnd->GetLayout().weekRow.y));
    EXPECT_TRUE(wnd->HasTimer(CCalendarWnd::kTimerIconBarHide));

    // In the zone or on the bar it stays.
    wnd->FireTimer(CCalendarWnd::kTimerIconBarHide);
    EXPECT_EQ(bar->CurrentAlpha(), 255);
    // The mouse leaves: 191, 127, 63, hidden.
    QCursor::setPos(Outside(*wnd));
    std::vector<int> steps;
    for (int i = 0; i < 4; ++i) {
        wnd->FireTimer(i % 2 == 0 ? CCalendarWnd::kTimerHousekeeping
                                  : CCalendarWnd::kTimerIconBarHide);
        steps.push_back(bar->IsShowing() ? bar->CurrentAlpha() : 0);
    }
    EXPECT_EQ(steps, (std::vector<int>{191, 127, 63, 0}));
    EXPECT_TRUE(Logged("[info] <view> funcwnd fade out1.\n"));

    // A fading bar turns opaque as soon as the mouse is on it (the dispatch
    // window's mouse tick).
    MoveTo(*wnd, ZonePoint(*wnd));
    wnd->FireTimer(CCalendarWnd::kTimerIconBarShow);
    ASSERT_TRUE(bar->IsShowing());
    QCursor::setPos(Outside(*wnd));
    wnd->FireTimer(CCalendarWnd::kTimerHousekeeping);
    EXPECT_EQ(bar->CurrentAlpha(), 191);
    QCursor::setPos(bar->geometry().center());
    wnd->CheckMouse();
    EXPECT_EQ(bar->CurrentAlpha(), 255);
}

TEST_F(Input, TheMenuButtonKeepsTheBarUpWhileItsMenuIsOpen) {
    WriteConfig("[general]\ncalendar_mode=1\n");
    auto wnd = Open();
    CFunctionWnd* bar = wnd->FunctionWnd();
    MoveTo(*wnd, ZonePoint(*wnd));
    wnd->FireTimer(CCalendarWnd::kTimerIconBarShow);
    ASSERT_TRUE(bar->IsShowing());

    static CCalendarWnd* target;
    static std::vector<int> alphas;
    target = wnd.get();
    alphas.clear();
    CCalendarWnd::menuHook = [](QMenu& menu) {
        QTimer::singleShot(0, &menu, [&menu] {
            // The mouse wanders off while the menu is open.
            QCursor::setPos(Outside(*target));
            for (int i = 0; i < 3; ++i) {
                target->FireTimer(CCalendarWnd::kTimerHousekeeping);
                target->FireTimer(CCalendarWnd::kTimerIconBarHide);
            }
            alphas.push_back(
                target->FunctionWnd()->IsShowing() ? target->FunctionWnd()->CurrentAlpha() : 0);
            menu.close();
        });
    };
    // The click on the menu button.
    const QRect b = bar->Button(CFunctionWnd::kMenu).Rect().translated(bar->geometry().topLeft());
    bar->OnLeftUp(b.center());
    Pump();  // the posted button code opens the menu
    EXPECT_EQ(alphas, std::vector<int>{255});
    EXPECT_TRUE(Logged("[info] <view> func wnd msg: (7)\n"));
    // Once the menu has closed the bar fades as usual.
    ASSERT_TRUE(bar->IsShowing());
    wnd->FireTimer(CCalendarWnd::kTimerIconBarHide);
    EXPECT_EQ(bar->CurrentAlpha(), 191);
}

TEST_F(Input, RebuildingTheIconBarFollowsTheOptions) {
    auto wnd = Open();
    EXPECT_EQ(wnd->FunctionWnd()->BarWidth(), 124);  // local mode
    config_->verticalIconBar = 1;                    // as the option dialog leaves it
    wnd->RebuildIconBar();
    EXPECT_EQ(wnd->FunctionWnd()->BarHeight(), 119);
    // A vertical bar sits left of the window.
    MoveTo(*wnd, ZonePoint(*wnd));
    wnd->FireTimer(CCalendarWnd::kTimerIconBarShow);
    EXPECT_EQ(wnd->FunctionWnd()->geometry().topLeft(), QPoint(wnd->Left() - 32, wnd->Top()));
    // With the icon bar off the timer never starts.
    config_->iconBar = 0;
    wnd->FunctionWnd()->Hide();
    wnd->FireTimer(CCalendarWnd::kTimerMenuSuppress);
    wnd->KillTimer(CCalendarWnd::kTimerIconBarShow);
    MoveTo(*wnd, ZonePoint(*wnd) + QPoint(1, 0));
    EXPECT_FALSE(wnd->HasTimer(CCalendarWnd::kTimerIconBarShow));
}

// ---------------------------------------------------------------------------
// Transparency under the mouse, the sync notice.

TEST_F(Input, AWindowTurnsOpaqueUnderTheMouseAndBackWhenItLeaves) {
    Model::CCalendarStyleInfo style;
    style.windowBackground = 0x80FFFFFF;
    CalendarWndContext context = Context();
    context.style = &style;
    context.disableTransparencyWhileMouseOver = true;
    QCursor::setPos(QPoint(5, 5));
    CCalendarWnd wnd(1, 200, 150, 0, context);
    Pump();
    // A pixel of the grid's margin shows the window background alone.
    const QPoint probe(wnd.Width() / 2, wnd.Height() - 2);
    const int translucent = qAlpha(wnd.BackBuffer().pixel(probe));
    EXPECT_LT(translucent, 255);
    QCursor::setPos(Global(wnd, probe));
    wnd.CheckMouse();
    EXPECT_TRUE(wnd.OpaqueWhileHovered());
    EXPECT_EQ(qAlpha(wnd.BackBuffer().pixel(probe)), 255);
    QCursor::setPos(Outside(wnd));
    wnd.CheckMouse();
    EXPECT_FALSE(wnd.OpaqueWhileHovered());
    EXPECT_EQ(qAlpha(wnd.BackBuffer().pixel(probe)), translucent);
}

TEST_F(Input, TheSyncNoticeShowsForTheWindowThatAskedAndFades) {
    WriteConfig("[general]\ncalendar_mode=1\n");
    auto wnd = Open();
    auto other = Open(600, 150);
    CNoticeWnd* notice = wnd->NoticeWnd();
    ASSERT_TRUE(notice->Exists());
    wnd->RunCommand(CCalendarWnd::ID_SYNC);
    for (CCalendarWnd* w : {wnd.get(), other.get()}) {
        platform::SendMessage(w->Handle(), CCalendarWnd::kMsgCalendarManager,
                              Controller::NOTIFY_ACTIVITY, 1);
    }
    ASSERT_TRUE(notice->IsShowing());
    EXPECT_FALSE(other->NoticeWnd()->IsShowing());
    const QRect g = notice->geometry();
    EXPECT_EQ(g.right() + 1, wnd->Left() + wnd->Width() - 10);
    EXPECT_EQ(g.bottom() + 1, wnd->Top() + wnd->Height() - 10);
    // While it shows, hover and clicks are off.
    const int day = CellOf(*wnd, 2009, 2, 17);
    MoveTo(*wnd, CellCenter(*wnd, day));
    EXPECT_EQ(wnd->HoveredDay(), -1);
    // The queue drained: it fades by 24 every 20 ms.
    platform::SendMessage(wnd->Handle(), CCalendarWnd::kMsgCalendarManager,
                          Controller::NOTIFY_ACTIVITY, 0);
    EXPECT_FALSE(wnd->IsSyncRequested());
    EXPECT_TRUE(notice->HasTimer(CNoticeWnd::kTimerFade));
    int steps = 0;
    while (!notice->FadeStep()) {
        ++steps;
        EXPECT_EQ(notice->CurrentAlpha(), 255 - 24 * steps);
    }
    EXPECT_EQ(steps, 10);
    EXPECT_FALSE(notice->IsShowing());
    EXPECT_FALSE(notice->isVisible());
    EXPECT_TRUE(Logged("[info] <view> update sync status\n"));
}

// ---------------------------------------------------------------------------
// Closing windows.

TEST_F(Input, ClosedWindowsLeaveTheManagersListenerList) {
    Controller::CCalendarManager manager(dir_ / "config.ini", dir_.path());
    CCalendarWndManagerSource source(manager);
    CalendarWndContext context = Context();
    context.source = &source;
    Model::CCalendarWndManager registry;
    testsupport::WriteFile(dir_ / "calWnd.info", "1,10,10,0\n2,300,10,0\n3,600,10,0\n");
    registry.LoadAndCreate(dir_.path(), context);
    Pump();
    EXPECT_EQ(manager.ListenerCount(), 3u);
    registry.CloseWindow(1);
    EXPECT_EQ(manager.ListenerCount(), 2u);
    std::unique_ptr<CCalendarWnd> taken = registry.TakeWindow(2);
    ASSERT_NE(taken, nullptr);
    EXPECT_FALSE(taken->isVisible());
    EXPECT_EQ(manager.ListenerCount(), 1u);  // out of the list before it is deleted
    taken.reset();
    EXPECT_EQ(manager.ListenerCount(), 1u);
    for (int i = 0; i < 5; ++i) {
        registry.CloseWindow(registry.NewWindow()->GetWindowNumber());
    }
    EXPECT_EQ(manager.ListenerCount(), 1u);
}

// The dispatch window's manager, doing nothing.
class IdleManager : public Controller::IDispatchManager {
public:
    void Initialize(const std::wstring&, const std::wstring&, Utility::CMaintenanceLog*) override {}
    void Terminate() override {}
    void ChangeAccount(const std::wstring&, const std::wstring&) override {}
    void SetDisableSync(bool) override {}
    void SetProxy(bool, const std::wstring&, const std::wstring&, const std::wstring&) override {}
    void SetHttpLog(bool, const std::string&, bool) override {}
    void SetExtraCaFile(const std::string&) override {}
    void SetLoginUrl(const std::wstring&) override {}
    void AddListener(platform::WindowHandle, uint32_t) override {}
    void DownloadCalenar() override {}
    void DownloadHoliday(const std::wstring&, int, int) override {}
    void DownloadAllEvent(const std::wstring&) override {}
    void SyncEvents() override {}
    void CreateLocalDB(const std::wstring&) override {}
    bool GetCalendars(std::list<Model::Calendar>&) override { return true; }
    bool GetUnretrievedHolidayYears(const std::wstring&, int&, int&) override { return false; }
    std::wstring GetHolidayCalendarURI(const std::wstring&) override { return L""; }
    std::wstring GetLastErrorDescription() const override { return L""; }
    std::wstring GetLastErrorText() const override { return L""; }
};

TEST_F(Input, AWindowClosedWhileItsMenuIsOpenIsDeletedOnlyAfterTheMenuReturns) {
    testsupport::WriteFile(dir_ / "calWnd.info", "1,10,10,0\n2,300,10,0\n");
    Model::CManiacOption maniac;
    IdleManager* idle = new IdleManager;
    Controller::CDispatchWnd::Setup setup;
    setup.config = config_.get();
    setup.maniac = &maniac;
    setup.log = &log_;
    setup.dataFolder = dir_.path();
    setup.programFolder = std::string(DAYMARK_BINARY_DIR) + "/bin";
    setup.windows = Controller::MakeCalendarWindows(*idle, *config_, maniac, nullptr, &log_);
    setup.manager.reset(idle);
    setup.watchSleep = false;
    Controller::CDispatchWnd dispatch(std::move(setup));
    ASSERT_TRUE(dispatch.Create());
    Pump();
    Model::CCalendarWndManager* registry = dispatch.Windows().Registry();
    ASSERT_NE(registry, nullptr);
    ASSERT_EQ(registry->WindowCount(), 2u);
    QPointer<CCalendarWnd> first = registry->Windows().front().get();

    static Controller::CDispatchWnd* hub;
    static QPointer<CCalendarWnd>* watched;
    static bool aliveInsideMenu;
    hub = &dispatch;
    watched = &first;
    aliveInsideMenu = false;
    CCalendarWnd::menuHook = [](QMenu& menu) {
        // The menu shows that closing is allowed (two windows).
        for (QAction* a : menu.actions()) {
            if (a->menu() != nullptr) {
                for (QAction* b : a->menu()->actions()) {
                    if (b->data().toInt() == CCalendarWnd::ID_CLOSE_WINDOW) {
                        EXPECT_TRUE(b->isEnabled());
                    }
                }
            }
        }
        QTimer::singleShot(0, &menu, [&menu] {
            // The close command and the deletion timer both run inside the
            // menu's loop.
            platform::SendMessage(hub->Handle(), Controller::kDispatchCommand,
                                  Controller::kCmdCloseWindow, 1);
            hub->OnTimer(Controller::kTimerCloseWindow);
            QCoreApplication::processEvents();
            aliveInsideMenu = !watched->isNull();
            menu.close();
        });
    };
    first->ShowContextMenu(QPoint(20, 20));
    EXPECT_TRUE(aliveInsideMenu);
    EXPECT_EQ(registry->WindowCount(), 1u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Pump();
    EXPECT_TRUE(first.isNull());
    dispatch.Close();
}

TEST_F(Input, IcalendarItemsAskTheHostForAFileAndTheSourceForTheWork) {
    auto wnd = Open();
    std::unique_ptr<QMenu> menu = wnd->BuildContextMenu();
    QStringList texts;
    for (QAction* a : menu->actions()) {
        texts << a->text();
    }
    EXPECT_TRUE(texts.contains(QString::fromUtf8("iCalendar ファイルから予定を取り込む...")));
    EXPECT_TRUE(texts.contains(QString::fromUtf8("予定を iCalendar ファイルに書き出す...")));

    // Cancelled: nothing happens.
    wnd->RunCommand(CCalendarWnd::ID_IMPORT_ICALENDAR);
    EXPECT_EQ(host_.calls.back(), "open file");
    EXPECT_TRUE(source_.icalendarCalls.empty());
    EXPECT_TRUE(host_.messages.empty());

    host_.chosenFile = "/tmp/week.ics";
    source_.icalendarResult.ok = true;
    source_.icalendarResult.imported.added = 3;
    source_.icalendarResult.imported.updated = 1;
    wnd->RunCommand(CCalendarWnd::ID_IMPORT_ICALENDAR);
    ASSERT_EQ(source_.icalendarCalls, std::vector<std::string>{"import /tmp/week.ics"});
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], L"3 件の予定を追加し、1 件を更新しました。\n/tmp/week.ics");

    // A refused file: the line and the reason, and that nothing came in.
    source_.icalendarResult = {};
    source_.icalendarResult.problem = {12, "RRULE の値が正しくありません (FREQ=X)"};
    wnd->RunCommand(CCalendarWnd::ID_IMPORT_ICALENDAR);
    EXPECT_EQ(host_.messages.back(),
              L"! 予定を取り込めませんでした。\n/tmp/week.ics の 12 行目\nRRULE "
              L"の値が正しくありません (FREQ=X)\n何も取り込んでいません。");

    host_.chosenFile = "/tmp/all.ics";
    source_.icalendarResult = {};
    source_.icalendarResult.ok = true;
    source_.icalendarResult.exported.events = 7;
    wnd->RunCommand(CCalendarWnd::ID_EXPORT_ICALENDAR);
    EXPECT_EQ(host_.calls.back(), "save file");
    EXPECT_EQ(source_.icalendarCalls.back(), "export /tmp/all.ics");
    EXPECT_EQ(host_.messages.back(), L"7 件の予定を書き出しました。\n/tmp/all.ics");
    EXPECT_FALSE(CalendarWndFlags::detailDialogOpen);
}

}  // namespace
