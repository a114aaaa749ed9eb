// Posting messages to windows without knowing what a window is.
//
// Every window of the program has a process-unique WindowHandle (0 is no
// window). PostMessage queues (message, wParam, lParam) for the window and
// returns at once; it may be called from any thread and does nothing (and
// returns false) when the window is gone. The Qt window base installs the
// poster that delivers to real windows on the user-interface thread; core
// code (the sync engine) and its tests need only this header, and a test can
// install a CRecordingPoster to collect what was posted.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

using WindowHandle = uint64_t;
using WParam = uint64_t;
using LParam = int64_t;

// The first private message number (WM_USER).
inline constexpr uint32_t kWmUser = 0x0400;

// Delivers posted messages. Post must be thread-safe.
class IMessagePoster {
public:
    virtual ~IMessagePoster() = default;
    virtual bool Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) = 0;
};

// Posts through the installed poster; false when none is installed or the
// window is gone. Any thread.
bool PostMessage(WindowHandle window, uint32_t message, WParam wParam = 0, LParam lParam = 0);

// Installs `poster` (null removes it) and returns the one it replaces. The
// poster must outlive its installation; a call in progress finishes before
// the replacement returns.
IMessagePoster* SetMessagePoster(IMessagePoster* poster);

// Installs a poster for the object's life and restores the previous one.
class ScopedMessagePoster {
public:
    explicit ScopedMessagePoster(IMessagePoster* poster) : previous_(SetMessagePoster(poster)) {}
    ~ScopedMessagePoster() { SetMessagePoster(previous_); }
    ScopedMessagePoster(const ScopedMessagePoster&) = delete;
    ScopedMessagePoster& operator=(const ScopedMessagePoster&) = delete;

private:
    IMessagePoster* previous_;
};

// A poster for tests: records every message posted to a handle it knows.
class CRecordingPoster : public IMessagePoster {
public:
    struct Message {
        WindowHandle window;
        uint32_t message;
        WParam wParam;
        LParam lParam;
        bool operator==(const Message&) const = default;
    };

    // Handles that count as open windows; posts to others return false.
    void AddWindow(WindowHandle window);
    void RemoveWindow(WindowHandle window);

    bool Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    std::vector<Message> Messages() const;
    void Clear();

private:
    mutable std::mutex mutex_;  // guards the two lists
    std::vector<WindowHandle> windows_;
    std::vector<Message> messages_;
};

}  // namespace platform
