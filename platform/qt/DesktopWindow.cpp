#include "platform/qt/DesktopWindow.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace platform {
namespace {

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
XcbReply<T> Reply(T* reply) {
    return XcbReply<T>(reply, &std::free);
}

xcb_connection_t* Connection() {
    if (qGuiApp == nullptr) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t Root(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    auto reply = Reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The window-manager hints of a desktop widget (EWMH).
struct Atoms {
    xcb_atom_t state;
    xcb_atom_t skipTaskbar;
    xcb_atom_t skipPager;
    xcb_atom_t sticky;
    xcb_atom_t desktop;
    xcb_atom_t demandsAttention;
};

const Atoms& GetAtoms(xcb_connection_t* c) {
    static xcb_connection_t* for_ = nullptr;
    static Atoms atoms{};
    if (for_ != c) {
        atoms.state = Intern(c, "_NET_WM_STATE");
        atoms.skipTaskbar = Intern(c, "_NET_WM_STATE_SKIP_TASKBAR");
        atoms.skipPager = Intern(c, "_NET_WM_STATE_SKIP_PAGER");
        atoms.sticky = Intern(c, "_NET_WM_STATE_STICKY");
        atoms.desktop = Intern(c, "_NET_WM_DESKTOP");
        atoms.demandsAttention = Intern(c, "_NET_WM_STATE_DEMANDS_ATTENTION");
        for_ = c;
    }
    return atoms;
}

constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

bool IsMapped(xcb_connection_t* c, xcb_window_t window) {
    auto reply =
        Reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
}

// A window about to be mapped: the hints go into its properties, where the
// window manager reads them when it maps the window. Qt merges its own
// states into the property, keeping these.
void WriteHints(xcb_connection_t* c, xcb_window_t window) {
    const Atoms& a = GetAtoms(c);
    std::vector<xcb_atom_t> states;
    auto reply = Reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, a.state, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (xcb_atom_t wanted : {a.skipTaskbar, a.skipPager, a.sticky}) {
        if (std::find(states.begin(), states.end(), wanted) == states.end()) {
            states.push_back(wanted);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, a.state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, a.desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
}

// A mapped window: the window manager is asked by client messages.
void SendHints(xcb_connection_t* c, xcb_window_t window) {
    const Atoms& a = GetAtoms(c);
    constexpr uint32_t kAdd = 1;
    constexpr uint32_t kFromApplication = 1;
    auto send = [&](xcb_atom_t type, std::initializer_list<uint32_t> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        std::copy(data.begin(), data.end(), event.data.data32);
        xcb_send_event(c, 0, Root(c),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    };
    send(a.state, {kAdd, a.skipTaskbar, a.skipPager, kFromApplication, 0});
    send(a.state, {kAdd, a.sticky, 0, kFromApplication, 0});
    send(a.desktop, {kAllDesktops, kFromApplication, 0, 0, 0});
}

void ApplyHints(QWidget& widget) {
    xcb_connection_t* c = Connection();
    QWindow* handle = widget.windowHandle();
    if (c == nullptr || handle == nullptr) {
        return;
    }
    const auto window = static_cast<xcb_window_t>(handle->winId());
    if (IsMapped(c, window)) {
        SendHints(c, window);
    } else {
        WriteHints(c, window);
    }
    xcb_flush(c);
}

// Writes the hints when its window is shown: the show event comes after the
// native window exists and before it is mapped.
class DesktopHints : public QObject {
public:
    static constexpr const char* kName = "desktopHints";

    explicit DesktopHints(QWidget& window) : QObject(&window) {
        setObjectName(QLatin1String(kName));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            ApplyHints(*static_cast<QWidget*>(watched));
        }
        return false;
    }
};

// The window of `window`'s frame: its ancestor that is a child of the root
// (the window itself when no window manager framed it). 0 when gone.
xcb_window_t TopLevel(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = Reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree) {
            return 0;
        }
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE) {
            return window;
        }
        window = tree->parent;
    }
    return 0;
}

// Keeps the shadows directly below their windows. It watches the root's
// children (substructure notifications) and restacks after any of them is
// restacked or mapped; the events Qt did not ask for itself are kept from it.
class StackKeeper : public QAbstractNativeEventFilter {
public:
    static StackKeeper& Instance() {
        static StackKeeper keeper;
        return keeper;
    }

    void Keep(QWidget& lower, QWidget& upper) {
        Stop(lower);
        pairs_.push_back({&lower, &upper});
        Install();
        RestackAll();
    }

    void Stop(QWidget& lower) {
        pairs_.erase(std::remove_if(pairs_.begin(), pairs_.end(),
                                    [&](const Pair& p) { return p.lower == &lower; }),
                     pairs_.end());
    }

    void RestackAll() {
        xcb_connection_t* c = Connection();
        pairs_.erase(std::remove_if(pairs_.begin(), pairs_.end(),
                                    [](const Pair& p) { return !p.lower || !p.upper; }),
                     pairs_.end());
        if (c == nullptr || pairs_.empty()) {
            return;
        }
        const xcb_window_t root = Root(c);
        auto tree = Reply(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (!tree) {
            return;
        }
        // The root's children, bottom to top.
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        auto indexOf = [&](xcb_window_t w) {
            return static_cast<int>(std::find(children, children + count, w) - children);
        };
        std::vector<xcb_void_cookie_t> cookies;
        for (const Pair& p : pairs_) {
            if (!p.lower->isVisible() || !p.upper->isVisible() || !p.lower->windowHandle() ||
                !p.upper->windowHandle()) {
                continue;
            }
            const auto lower = static_cast<xcb_window_t>(p.lower->windowHandle()->winId());
            const xcb_window_t upper =
                TopLevel(c, static_cast<xcb_window_t>(p.upper->windowHandle()->winId()), root);
            const int lowerAt = indexOf(lower);
            const int upperAt = indexOf(upper);
            if (upper == 0 || lowerAt == count || upperAt == count || lowerAt + 1 == upperAt) {
                continue;  // gone, not yet a child of the root, or in place
            }
            const uint32_t values[] = {upper, XCB_STACK_MODE_BELOW};
            cookies.push_back(xcb_configure_window_checked(
                c, lower, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values));
        }
        // A window that went away meanwhile gives an error; it is dropped
        // here rather than reported by Qt.
        for (const xcb_void_cookie_t& cookie : cookies) {
            std::free(xcb_request_check(c, cookie));
        }
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || root_ == 0) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & 0x7f;
        switch (kind) {
            case XCB_CREATE_NOTIFY:
            case XCB_DESTROY_NOTIFY:
            case XCB_UNMAP_NOTIFY:
            case XCB_MAP_NOTIFY:
            case XCB_REPARENT_NOTIFY:
            case XCB_CONFIGURE_NOTIFY:
            case XCB_GRAVITY_NOTIFY:
            case XCB_CIRCULATE_NOTIFY:
                break;
            default:
                return false;
        }
        // Every one of these events names the window reported to (the
        // parent, for CreateNotify) and then the window concerned.
        uint32_t reportedTo = 0;
        uint32_t concerned = 0;
        std::memcpy(&reportedTo, reinterpret_cast<const char*>(event) + 4, 4);
        std::memcpy(&concerned, reinterpret_cast<const char*>(event) + 8, 4);
        if (reportedTo != root_ || concerned == root_) {
            return false;  // an event of Qt's own windows or of the root itself
        }
        const bool restacked = kind == XCB_CONFIGURE_NOTIFY || kind == XCB_CIRCULATE_NOTIFY;
        if ((restacked && !IsLower(concerned)) || kind == XCB_MAP_NOTIFY) {
            Schedule();
        }
        return consumeSubstructure_;
    }

private:
    struct Pair {
        QPointer<QWidget> lower;
        QPointer<QWidget> upper;
    };

    bool IsLower(xcb_window_t window) const {
        return std::any_of(pairs_.begin(), pairs_.end(), [&](const Pair& p) {
            return p.lower && p.lower->windowHandle() &&
                   static_cast<xcb_window_t>(p.lower->windowHandle()->winId()) == window;
        });
    }

    void Install() {
        xcb_connection_t* c = Connection();
        if (c == nullptr || installedOn_ == QCoreApplication::instance()) {
            return;
        }
        installedOn_ = QCoreApplication::instance();
        installedOn_->installNativeEventFilter(this);
        root_ = Root(c);
        auto attributes =
            Reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root_), nullptr));
        const uint32_t mask = attributes ? attributes->your_event_mask : 0;
        consumeSubstructure_ = (mask & XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY) == 0;
        const uint32_t wanted = mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &wanted);
        xcb_flush(c);
    }

    // One restack after a burst of events.
    void Schedule() {
        if (pending_) {
            return;
        }
        pending_ = true;
        QTimer::singleShot(0, installedOn_, [this] {
            pending_ = false;
            RestackAll();
        });
    }

    std::vector<Pair> pairs_;
    QPointer<QCoreApplication> installedOn_;
    xcb_window_t root_ = 0;
    bool consumeSubstructure_ = false;
    bool pending_ = false;
};

// Takes the demands-attention state off the program's windows: a window
// manager sets it when it refuses a window the focus (a dialog shown while
// the user works elsewhere), and the program never asks for attention.
// Only the program's own windows report their property changes to it.
class AttentionGuard : public QAbstractNativeEventFilter {
public:
    static void Install() {
        static AttentionGuard guard;
        if (Connection() != nullptr && guard.installedOn_ != QCoreApplication::instance()) {
            guard.installedOn_ = QCoreApplication::instance();
            guard.installedOn_->installNativeEventFilter(&guard);
        }
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
            return false;
        }
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        xcb_connection_t* c = Connection();
        if (c == nullptr || change->state != XCB_PROPERTY_NEW_VALUE ||
            change->atom != GetAtoms(c).state || change->window == Root(c)) {
            return false;
        }
        const Atoms& a = GetAtoms(c);
        auto reply = Reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, change->window, a.state, XCB_ATOM_ATOM, 0, 1024), nullptr));
        if (!reply || reply->format != 32) {
            return false;
        }
        const auto* states = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        if (std::find(states, states + count, a.demandsAttention) != states + count) {
            xcb_client_message_event_t remove{};
            remove.response_type = XCB_CLIENT_MESSAGE;
            remove.format = 32;
            remove.window = change->window;
            remove.type = a.state;
            remove.data.data32[0] = 0;  // remove
            remove.data.data32[1] = a.demandsAttention;
            remove.data.data32[3] = 1;  // from an application
            xcb_send_event(
                c, 0, Root(c),
                XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                reinterpret_cast<const char*>(&remove));
            xcb_flush(c);
        }
        return false;
    }

private:
    QPointer<QCoreApplication> installedOn_;
};

}  // namespace

bool IsX11() {
    return Connection() != nullptr;
}

void KeepFromDemandingAttention() {
    AttentionGuard::Install();
}

void MakeDesktopWidget(QWidget& window) {
    AttentionGuard::Install();
    if (!IsX11() || window.findChild<QObject*>(QLatin1String(DesktopHints::kName),
                                               Qt::FindDirectChildrenOnly)) {
        return;
    }
    new DesktopHints(window);  // owned by the window
    if (window.isVisible()) {
        ApplyHints(window);
    }
}

void KeepDirectlyBelow(QWidget& lower, QWidget& upper) {
    if (IsX11()) {
        StackKeeper::Instance().Keep(lower, upper);
    }
}

void StopKeepingBelow(QWidget& lower) {
    StackKeeper::Instance().Stop(lower);
}

void RestackKeptWindows() {
    if (IsX11()) {
        StackKeeper::Instance().RestackAll();
    }
}

}  // namespace platform
