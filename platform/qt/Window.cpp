#include "platform/qt/Window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(uint32_t message, WParam wParam, LParam lParam)
        : QEvent(kMessageEvent), message(message), wParam(wParam), lParam(lParam) {}
    uint32_t message;
    WParam wParam;
    LParam lParam;
};

// The open windows by handle. A window leaves the map (under the mutex)
// before it is destroyed, and Qt drops the events still queued for a
// destroyed object, so a post never reaches a dead window.
class WindowRegistry : public IMessagePoster {
public:
    static WindowRegistry& Instance() {
        static WindowRegistry registry;
        return registry;
    }

    void Add(WindowHandle handle, CWindow* window) {
        std::lock_guard lock(mutex_);
        windows_[handle] = window;
    }
    void Remove(WindowHandle handle) {
        std::lock_guard lock(mutex_);
        windows_.erase(handle);
    }
    CWindow* Find(WindowHandle handle) {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(handle);
        return it == windows_.end() ? nullptr : it->second;
    }

    bool Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end()) {
            return false;
        }
        QCoreApplication::postEvent(it->second, new MessageEvent(message, wParam, lParam));
        return true;
    }

private:
    std::mutex mutex_;  // guards windows_
    std::unordered_map<WindowHandle, CWindow*> windows_;
};

std::atomic<WindowHandle> nextHandle{1};

}  // namespace

CWindow::CWindow(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), handle_(nextHandle++) {
    static std::once_flag installed;
    std::call_once(installed, [] { SetMessagePoster(&WindowRegistry::Instance()); });
    WindowRegistry::Instance().Add(handle_, this);
}

CWindow::~CWindow() {
    WindowRegistry::Instance().Remove(handle_);
    timers_.clear();
}

CWindow* CWindow::FromHandle(WindowHandle handle) {
    return WindowRegistry::Instance().Find(handle);
}

void CWindow::SetTimer(uint32_t id, int milliseconds) {
    auto& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
}

void CWindow::KillTimer(uint32_t id) {
    auto it = timers_.find(id);
    if (it != timers_.end()) {
        // The timer may be the one whose timeout is running: delete it later.
        it->second->stop();
        it->second.release()->deleteLater();
        timers_.erase(it);
    }
}

bool CWindow::HasTimer(uint32_t id) const {
    return timers_.count(id) != 0;
}

int64_t CWindow::OnMessage(uint32_t, WParam, LParam) {
    return 0;
}

void CWindow::OnTimer(uint32_t) {}

bool CWindow::event(QEvent* event) {
    if (event->type() == kMessageEvent) {
        auto* m = static_cast<MessageEvent*>(event);
        OnMessage(m->message, m->wParam, m->lParam);
        return true;
    }
    return QWidget::event(event);
}

int64_t SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    CWindow* target = CWindow::FromHandle(window);
    return target ? target->OnMessage(message, wParam, lParam) : 0;
}

}  // namespace platform
