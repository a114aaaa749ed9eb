// Daymark on a real X11 desktop: an Xvfb server with the icewm window
// manager, both started by this test, and the real program. What is read
// back is what the X server and the window manager hold: the client list,
// each window's EWMH state and workspace, the stacking order of the root's
// children and the active window. Skips when Xvfb, icewm or xdotool is not
// installed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/ConfigInfo.h"
#include "app/StringTable.h"
#include "controller/CalendarManager.h"
#include "platform/TextConv.h"
#include "platform/qt/LayeredWindow.h"
#include "platform/qt/WndShadow.h"
#include "tests/support/DaymarkProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// The desktop: Xvfb and icewm, started once for the test program.

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (keepFd < 0) {
            ::dup2(null, 0);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

// Runs a command to its end; its exit code.
int RunCommand(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Desktop {
    std::string skipReason;
    pid_t server = -1;
    pid_t windowManager = -1;
};

Desktop& TheDesktop() {
    static Desktop desktop;
    return desktop;
}

// ---------------------------------------------------------------------------
// Reading the X server (a connection of the test's own).

class XServer {
public:
    XServer() {
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c_) == 0) {
            root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        }
    }
    ~XServer() { xcb_disconnect(c_); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    xcb_connection_t* c() const { return c_; }
    xcb_window_t Root() const { return root_; }

    xcb_atom_t Atom(const std::string& name) {
        auto it = atoms_.find(name);
        if (it != atoms_.end()) {
            return it->second;
        }
        auto* reply = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : 0;
        std::free(reply);
        return atoms_[name] = atom;
    }

    std::vector<uint32_t> Property32(xcb_window_t w, const std::string& name) {
        std::vector<uint32_t> values;
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
            nullptr);
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    std::string Text(xcb_window_t w, const std::string& name) {
        std::string text;
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
            nullptr);
        if (reply && reply->format == 8) {
            text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                        xcb_get_property_value_length(reply));
        }
        std::free(reply);
        return text;
    }

    bool HasState(xcb_window_t w, const std::string& state) {
        const auto states = Property32(w, "_NET_WM_STATE");
        return std::find(states.begin(), states.end(), Atom(state)) != states.end();
    }

    uint32_t Pid(xcb_window_t w) {
        const auto v = Property32(w, "_NET_WM_PID");
        return v.empty() ? 0 : v[0];
    }

    // The root's children, bottom to top.
    std::vector<xcb_window_t> Stacking() {
        std::vector<xcb_window_t> children;
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr);
        if (tree) {
            const xcb_window_t* data = xcb_query_tree_children(tree);
            children.assign(data, data + xcb_query_tree_children_length(tree));
        }
        std::free(tree);
        return children;
    }

    // The ancestor of `w` that is a child of the root (its frame).
    xcb_window_t Frame(xcb_window_t w) {
        for (int i = 0; i < 16 && w != 0; ++i) {
            auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
            if (!tree) {
                return 0;
            }
            const xcb_window_t parent = tree->parent;
            std::free(tree);
            if (parent == root_) {
                return w;
            }
            w = parent;
        }
        return 0;
    }

    int StackIndex(xcb_window_t w) {
        const auto all = Stacking();
        const auto it = std::find(all.begin(), all.end(), Frame(w));
        return it == all.end() ? -1 : static_cast<int>(it - all.begin());
    }

    struct Attributes {
        bool viewable = false;
        bool overrideRedirect = false;
    };
    Attributes Attrs(xcb_window_t w) {
        Attributes a;
        auto* reply =
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
        if (reply) {
            a.viewable = reply->map_state == XCB_MAP_STATE_VIEWABLE;
            a.overrideRedirect = reply->override_redirect != 0;
        }
        std::free(reply);
        return a;
    }

    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
        bool operator==(const Rect&) const = default;
    };
    Rect Geometry(xcb_window_t w) {
        Rect r;
        auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        auto* t = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0),
                                                  nullptr);
        if (g && t) {
            r = Rect{t->dst_x, t->dst_y, g->width, g->height};
        }
        std::free(g);
        std::free(t);
        return r;
    }

    void SendToRoot(xcb_window_t w, const std::string& type, std::vector<uint32_t> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = Atom(type);
        data.resize(5);
        std::copy(data.begin(), data.end(), event.data.data32);
        xcb_send_event(c_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c_);
    }

    // An ordinary application window of the test's own, mapped at `r`.
    xcb_window_t MakeNormalWindow(const Rect& r) {
        const xcb_window_t w = xcb_generate_id(c_);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        const uint32_t values[] = {screen->white_pixel};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, static_cast<int16_t>(r.x),
                          static_cast<int16_t>(r.y), static_cast<uint16_t>(r.w),
                          static_cast<uint16_t>(r.h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL, values);
        // A user-given position, so that the window manager keeps it.
        uint32_t hints[18] = {};
        hints[0] = 1 | 2;  // USPosition | USSize
        hints[1] = static_cast<uint32_t>(r.x);
        hints[2] = static_cast<uint32_t>(r.y);
        hints[3] = static_cast<uint32_t>(r.w);
        hints[4] = static_cast<uint32_t>(r.h);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        const char title[] = "other program";
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            sizeof title - 1, title);
        xcb_map_window(c_, w);
        xcb_flush(c_);
        return w;
    }

private:
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
    std::map<std::string, xcb_atom_t> atoms_;
};

bool Poll(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 15s) {
    return testsupport::WaitFor(
        [&] {
            if (QCoreApplication::instance() != nullptr) {
                QCoreApplication::processEvents();
            }
            return condition();
        },
        deadline);
}

// True when `condition` holds at every look over `span` (the window manager
// is given the time to do what it would do).
bool HoldsFor(const std::function<bool()>& condition, std::chrono::milliseconds span = 1s) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents();
        }
        if (!condition()) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

// ---------------------------------------------------------------------------
// The program on that desktop, with a data folder of its own.

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TheDesktop().skipReason.empty()) {
            GTEST_SKIP() << TheDesktop().skipReason;
        }
        ASSERT_EQ(xcb_connection_has_error(x.c()), 0);
        std::filesystem::create_directories(dir / "data/Kestrel/Daymark");
        std::filesystem::create_directories(dir / "run");
        ::chmod((dir / "run").c_str(), 0700);
        data.emplace("XDG_DATA_HOME", dir / "data");
        runtime.emplace("XDG_RUNTIME_DIR", dir / "run");
    }

    std::string Folder() { return dir / "data/Kestrel/Daymark"; }

    // A program not set up yet (no network) with two calendar windows.
    void WriteSetup(bool alwaysBottom) {
        Model::CConfigInfo config(Folder() + "/config.ini");
        config.WriteInt("option", "always_bottom", alwaysBottom ? 1 : 0);
        // Set up in local calendar mode with the holidays at hand: no setup
        // wizard and nothing to download, so the calendar windows are all
        // the program shows.
        config.WriteInt("general", "calendar_mode", 2);
        Controller::CCalendarManager manager(Folder() + "/config.ini", Folder());
        manager.Initialize(L"local", L"", nullptr);
        const std::wstring uri =
            Controller::CCalendarManager::GetHolidayCalendarURI(config.GetLoginUrl());
        manager.CreateLocalDB(uri);
        const platform::CTime now = platform::CTime::GetCurrentTime();
        for (int year = now.GetYear() - 1; year <= now.GetYear() + 1; ++year) {
            googledata::PrimitiveHoliday holiday;
            holiday.id = "newyear" + std::to_string(year);
            holiday.title = "元日";
            holiday.date = std::to_string(year) + "-01-01";
            holiday.status = 2;
            manager.Database().UpsertHoliday(platform::WideToUtf8(uri),
                                             googledata::PrimitiveTime::FromTime(now, false),
                                             holiday);
        }
        manager.Terminate();
        testsupport::WriteFile(Folder() + "/calWnd.info",
                               "0,100,120,0,197,181\n1,600,120,1,197,181\n");
    }

    void Start() { process = std::make_unique<testsupport::DaymarkProcess>(); }

    // The program's windows in the window manager's client list.
    std::vector<xcb_window_t> Clients() {
        std::vector<xcb_window_t> ours;
        for (uint32_t w : x.Property32(x.Root(), "_NET_CLIENT_LIST")) {
            if (x.Pid(w) == static_cast<uint32_t>(process->Pid())) {
                ours.push_back(w);
            }
        }
        return ours;
    }

    std::vector<xcb_window_t> CalendarWindows() {
        std::vector<xcb_window_t> calendars;
        for (xcb_window_t w : Clients()) {
            if (x.Text(w, "_NET_WM_NAME") == Text(413).toStdString()) {
                calendars.push_back(w);
            }
        }
        return calendars;
    }

    // Mapped children of the root that the program made without a window
    // manager's frame: the shadows.
    std::vector<xcb_window_t> Unmanaged() {
        std::vector<xcb_window_t> found;
        for (xcb_window_t w : x.Stacking()) {
            if (x.Pid(w) == static_cast<uint32_t>(process->Pid()) && x.Attrs(w).viewable &&
                x.Attrs(w).overrideRedirect) {
                found.push_back(w);
            }
        }
        return found;
    }

    // Every calendar window has a shadow directly below its frame.
    bool ShadowsDirectlyBelow() {
        const auto stacking = x.Stacking();
        const auto shadows = Unmanaged();
        const auto calendars = CalendarWindows();
        if (calendars.empty()) {
            return false;
        }
        for (xcb_window_t cal : calendars) {
            const int at = x.StackIndex(cal);
            if (at <= 0 ||
                std::find(shadows.begin(), shadows.end(), stacking[at - 1]) == shadows.end()) {
                return false;
            }
        }
        return true;
    }

    // The program's windows that are mapped without a frame of their own
    // and carry the dispatch window's name.
    bool DispatchMapped() {
        for (xcb_window_t w : x.Stacking()) {
            if (x.Pid(w) == static_cast<uint32_t>(process->Pid()) &&
                x.Text(w, "WM_NAME") == "WrenDispatchWnd" && x.Attrs(w).viewable) {
                return true;
            }
        }
        return false;
    }

    void Click(int px, int py) {
        ASSERT_EQ(RunCommand({"xdotool", "mousemove", std::to_string(px), std::to_string(py),
                              "click", "1"}),
                  0);
    }

    void Drag(int px, int py, int dx, int dy) {
        ASSERT_EQ(RunCommand({"xdotool", "mousemove", std::to_string(px), std::to_string(py),
                              "mousedown", "1", "mousemove", std::to_string(px + dx / 2),
                              std::to_string(py + dy / 2), "mousemove", std::to_string(px + dx),
                              std::to_string(py + dy), "mouseup", "1"}),
                  0);
    }

    XServer x;
    testsupport::TempDir dir;
    std::optional<testsupport::ScopedEnv> data;
    std::optional<testsupport::ScopedEnv> runtime;
    std::unique_ptr<testsupport::DaymarkProcess> process;
};

TEST_F(DesktopTest, NoTaskbarEntriesShadowsUnmanagedEveryWorkspace) {
    WriteSetup(true);
    Start();
    ASSERT_TRUE(Poll([&] { return CalendarWindows().size() == 2 && Unmanaged().size() == 2; }))
        << "calendar windows: " << CalendarWindows().size() << ", shadows " << Unmanaged().size();

    // Nothing of the program in a taskbar, pager or window switcher.
    for (xcb_window_t w : Clients()) {
        SCOPED_TRACE(x.Text(w, "_NET_WM_NAME"));
        EXPECT_TRUE(x.HasState(w, "_NET_WM_STATE_SKIP_TASKBAR"));
        EXPECT_TRUE(x.HasState(w, "_NET_WM_STATE_SKIP_PAGER"));
    }
    // The shadows are not managed at all: not in the client list.
    const auto clients = x.Property32(x.Root(), "_NET_CLIENT_LIST");
    for (xcb_window_t shadow : Unmanaged()) {
        EXPECT_EQ(std::count(clients.begin(), clients.end(), shadow), 0);
    }
    EXPECT_TRUE(Poll([&] { return ShadowsDirectlyBelow(); }));

    // Calendar windows are on every workspace, in the bottom layer.
    std::map<xcb_window_t, XServer::Rect> where;
    for (xcb_window_t w : CalendarWindows()) {
        EXPECT_TRUE(x.HasState(w, "_NET_WM_STATE_STICKY"));
        EXPECT_TRUE(x.HasState(w, "_NET_WM_STATE_BELOW"));
        EXPECT_EQ(x.Property32(w, "_NET_WM_DESKTOP"), std::vector<uint32_t>{0xFFFFFFFFu});
        where[w] = x.Geometry(w);
    }
    // Another workspace: still shown, in the same place.
    x.SendToRoot(x.Root(), "_NET_CURRENT_DESKTOP", {1, 0});
    ASSERT_TRUE(
        Poll([&] { return x.Property32(x.Root(), "_NET_CURRENT_DESKTOP") == std::vector{1u}; }));
    EXPECT_TRUE(HoldsFor([&] {
        for (const auto& [w, rect] : where) {
            if (!x.Attrs(w).viewable || !(x.Geometry(w) == rect)) {
                return false;
            }
        }
        return Unmanaged().size() == 2;
    }));
    x.SendToRoot(x.Root(), "_NET_CURRENT_DESKTOP", {0, 0});

    EXPECT_FALSE(DispatchMapped());
    EXPECT_EQ(process->Stop(), 0);
}

TEST_F(DesktopTest, AlwaysAtTheBottomStaysBelowAfterClickAndDrag) {
    WriteSetup(true);
    Start();
    ASSERT_TRUE(Poll([&] { return CalendarWindows().size() == 2 && ShadowsDirectlyBelow(); }));
    const xcb_window_t calendar = CalendarWindows().front();
    const XServer::Rect cal = x.Geometry(calendar);

    // Another program's window over the left half of the calendar.
    const xcb_window_t other = x.MakeNormalWindow({cal.x - 50, cal.y - 20, cal.w / 2 + 50, 300});
    ASSERT_TRUE(Poll([&] { return x.Attrs(other).viewable && x.Frame(other) != other; }));
    auto otherAbove = [&] { return x.StackIndex(other) > x.StackIndex(calendar); };
    ASSERT_TRUE(Poll(otherAbove));

    // A click on the calendar's uncovered half, then a drag on it.
    Click(cal.x + cal.w * 3 / 4, cal.y + cal.h / 2);
    EXPECT_TRUE(HoldsFor(otherAbove));
    Drag(cal.x + cal.w * 3 / 4, cal.y + cal.h / 2, 30, 20);
    EXPECT_TRUE(HoldsFor(otherAbove));
    EXPECT_TRUE(Poll([&] { return ShadowsDirectlyBelow(); }));
    EXPECT_TRUE(x.HasState(calendar, "_NET_WM_STATE_BELOW"));

    xcb_destroy_window(x.c(), other);
    xcb_flush(x.c());
    EXPECT_EQ(process->Stop(), 0);
}

TEST_F(DesktopTest, WithoutTheBottomLayerANormalWindowThatTakesNoFocusWhenShown) {
    WriteSetup(false);
    // The user works in another program.
    // Over the left part of the first calendar once raised.
    const xcb_window_t other = x.MakeNormalWindow({20, 20, 150, 500});
    ASSERT_TRUE(Poll([&] { return x.Attrs(other).viewable && x.Frame(other) != other; }));
    x.SendToRoot(other, "_NET_ACTIVE_WINDOW", {2, 0, 0});
    ASSERT_TRUE(
        Poll([&] { return x.Property32(x.Root(), "_NET_ACTIVE_WINDOW") == std::vector{other}; }));

    Start();
    ASSERT_TRUE(Poll([&] { return CalendarWindows().size() == 2 && ShadowsDirectlyBelow(); }));
    // Shown without taking the focus.
    EXPECT_TRUE(HoldsFor(
        [&] { return x.Property32(x.Root(), "_NET_ACTIVE_WINDOW") == std::vector{other}; }));
    const xcb_window_t calendar = CalendarWindows().front();
    EXPECT_FALSE(x.HasState(calendar, "_NET_WM_STATE_BELOW"));

    // The calendar overlaps the other window. A click on the other window
    // raises it; one on the calendar raises the calendar like any window,
    // with its shadow.
    const XServer::Rect cal = x.Geometry(calendar);
    Click(50, cal.y + cal.h / 2);
    ASSERT_TRUE(Poll([&] { return x.StackIndex(calendar) < x.StackIndex(other); }));
    Click(cal.x + cal.w * 3 / 4, cal.y + cal.h / 2);
    EXPECT_TRUE(Poll([&] { return x.StackIndex(calendar) > x.StackIndex(other); }));
    EXPECT_TRUE(Poll([&] { return ShadowsDirectlyBelow(); }));

    xcb_destroy_window(x.c(), other);
    xcb_flush(x.c());
    EXPECT_EQ(process->Stop(), 0);
}

TEST_F(DesktopTest, AnErrorBoxDemandsNoAttentionAndOpensOnTheScreensMiddle) {
    {
        Model::CConfigInfo config(Folder() + "/config.ini");
        config.WriteInt("general", "calendar_mode", 1);
        // Nothing listens there: the connection is refused.
        config.WriteString("general", "login_url", L"https://127.0.0.1:1");
        config.SetAccountId(L"hanako.sato@example.com");
        config.SetAccountPassword(L"secret");
    }
    const std::string errorTitle = Text(408).toStdString();
    Start();
    xcb_window_t box = 0;
    ASSERT_TRUE(Poll(
        [&] {
            for (xcb_window_t w : Clients()) {
                if (x.Text(w, "_NET_WM_NAME").rfind(errorTitle, 0) == 0 && x.Attrs(w).viewable) {
                    box = w;
                    return true;
                }
            }
            return false;
        },
        60s));
    HoldsFor([] { return true; });
    EXPECT_TRUE(Poll(
        [&] {
            for (xcb_window_t w : Clients()) {
                if (x.HasState(w, "_NET_WM_STATE_DEMANDS_ATTENTION")) {
                    return false;
                }
            }
            return true;
        },
        1s));
    // Opened by the hidden dispatch window, it belongs to no window and
    // opens in the middle of the screen.
    const XServer::Rect r = x.Geometry(box);
    const XServer::Rect screen = x.Geometry(x.Root());
    EXPECT_NEAR(r.x + r.w / 2, screen.w / 2, 40);
    EXPECT_NEAR(r.y + r.h / 2, screen.h / 2, 60);
    EXPECT_FALSE(DispatchMapped());
    EXPECT_EQ(process->Stop(), 0);
}

// Windows made in this process: a window kept at the bottom with its
// shadow, and a dialog it opens, which must not sink with it.
TEST_F(DesktopTest, ADialogOfABottomWindowIsTransientCentredAndAboveOthers) {
    platform::CLayeredWindow window;
    window.setGeometry(300, 200, 200, 160);
    window.SetAlwaysAtBottom(true);
    window.show();
    Utility::CWndShadow shadow;
    shadow.Create(&window);
    shadow.Show(true);
    const auto windowId = static_cast<xcb_window_t>(window.winId());
    ASSERT_TRUE(Poll([&] { return x.Frame(windowId) != windowId && x.Attrs(windowId).viewable; }));
    const auto shadowId = static_cast<xcb_window_t>(shadow.Window()->winId());
    auto shadowBelow = [&] {
        const auto s = x.Stacking();
        const int at = x.StackIndex(windowId);
        return at > 0 && s[at - 1] == shadowId;
    };
    EXPECT_TRUE(Poll(shadowBelow));
    EXPECT_TRUE(x.HasState(windowId, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(x.Attrs(shadowId).overrideRedirect);

    const xcb_window_t other = x.MakeNormalWindow({250, 150, 300, 260});
    ASSERT_TRUE(Poll([&] { return x.StackIndex(other) > x.StackIndex(windowId); }));

    QMessageBox box(QMessageBox::Warning, Text(408), QStringLiteral("!"), QMessageBox::Ok, &window);
    box.show();
    const auto boxId = static_cast<xcb_window_t>(box.winId());
    ASSERT_TRUE(Poll([&] { return x.Attrs(boxId).viewable && x.Frame(boxId) != boxId; }));
    EXPECT_EQ(x.Property32(boxId, "WM_TRANSIENT_FOR"), std::vector<uint32_t>{windowId});
    EXPECT_TRUE(Poll([&] { return x.StackIndex(boxId) > x.StackIndex(other); }));
    const XServer::Rect r = x.Geometry(boxId);
    EXPECT_NEAR(r.x + r.w / 2, 400, 30);
    EXPECT_NEAR(r.y + r.h / 2, 280, 40);
    // A window manager may flag a dialog it did not focus; the flag does
    // not stay.
    auto calm = [&] {
        return !x.HasState(windowId, "_NET_WM_STATE_DEMANDS_ATTENTION") &&
               !x.HasState(boxId, "_NET_WM_STATE_DEMANDS_ATTENTION");
    };
    HoldsFor([] { return true; });
    EXPECT_TRUE(Poll(calm, 1s)) << "window "
                                << !x.HasState(windowId, "_NET_WM_STATE_DEMANDS_ATTENTION")
                                << " box " << !x.HasState(boxId, "_NET_WM_STATE_DEMANDS_ATTENTION");
    EXPECT_TRUE(Poll(shadowBelow));
    box.hide();
    xcb_destroy_window(x.c(), other);
    xcb_flush(x.c());
}

}  // namespace

// Starts the desktop (unless only listing the tests), runs the tests, and
// stops what it started.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    Desktop& desktop = TheDesktop();
    std::unique_ptr<QApplication> app;
    if (!listing) {
        for (const char* tool : {"Xvfb", "icewm", "xdotool"}) {
            if (!OnPath(tool)) {
                desktop.skipReason = std::string(tool) + " is not installed";
            }
        }
    }
    if (!listing && desktop.skipReason.empty()) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return 1;
        }
        desktop.server = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                "1024x768x24", "-nolisten", "tcp"},
                               fds[1]);
        ::close(fds[1]);
        std::string number;
        char ch = 0;
        while (::read(fds[0], &ch, 1) == 1 && ch != '\n') {
            number += ch;
        }
        ::close(fds[0]);
        if (number.empty()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            Stop(desktop.server);
            return 1;
        }
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("LANG", "C", 1);
        desktop.windowManager = Spawn({"icewm"});
        {
            XServer x;
            if (!Poll([&] { return !x.Property32(x.Root(), "_NET_SUPPORTING_WM_CHECK").empty(); },
                      20s)) {
                std::fprintf(stderr, "icewm did not start\n");
            }
        }
        static int qtArgc = 1;
        static char name[] = "desktop_test";
        static char* qtArgv[] = {name, nullptr};
        app = std::make_unique<QApplication>(qtArgc, qtArgv);
    }
    const int result = RUN_ALL_TESTS();
    app.reset();
    Stop(desktop.windowManager);
    Stop(desktop.server);
    return result;
}
