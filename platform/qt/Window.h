// platform::CWindow: the base of every window of the program. It gives the
// window a process-unique handle that PostMessage (platform/WindowMessages.h)
// and SendMessage reach, and per-window timers keyed by the program's timer
// ids. Creating the first window installs the poster that delivers posted
// messages as queued Qt events.
//
// Windows are created, used and destroyed on the user-interface thread;
// PostMessage to their handle is safe from any thread and does nothing once
// the window is gone.
#pragma once

#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>

#include "platform/WindowMessages.h"

class QTimer;

namespace platform {

class CWindow : public QWidget {
    Q_OBJECT
public:
    explicit CWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~CWindow() override;

    WindowHandle Handle() const { return handle_; }

    // Starts (or restarts) timer `id` with the period in milliseconds.
    void SetTimer(uint32_t id, int milliseconds);
    void KillTimer(uint32_t id);
    bool HasTimer(uint32_t id) const;

    // The window of a handle; null when it is gone. User-interface thread.
    static CWindow* FromHandle(WindowHandle handle);

protected:
    // A posted or sent message. The return value is what SendMessage gives.
    virtual int64_t OnMessage(uint32_t message, WParam wParam, LParam lParam);
    // Timer `id` elapsed.
    virtual void OnTimer(uint32_t id);

    bool event(QEvent* event) override;

private:
    friend int64_t SendMessage(WindowHandle, uint32_t, WParam, LParam);

    WindowHandle handle_;
    std::map<uint32_t, std::unique_ptr<QTimer>> timers_;
};

// Calls the window's message handler directly and returns its result; 0
// when the window is gone. User-interface thread only.
int64_t SendMessage(WindowHandle window, uint32_t message, WParam wParam = 0, LParam lParam = 0);

}  // namespace platform
