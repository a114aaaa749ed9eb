#include "platform/WindowMessages.h"

#include <algorithm>
#include <shared_mutex>

namespace platform {
namespace {

std::shared_mutex& PosterMutex() {
    static std::shared_mutex mutex;
    return mutex;
}

IMessagePoster*& Poster() {
    static IMessagePoster* poster = nullptr;  // guarded by PosterMutex()
    return poster;
}

}  // namespace

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (window == 0) {
        return false;
    }
    std::shared_lock lock(PosterMutex());
    IMessagePoster* poster = Poster();
    return poster != nullptr && poster->Post(window, message, wParam, lParam);
}

IMessagePoster* SetMessagePoster(IMessagePoster* poster) {
    std::unique_lock lock(PosterMutex());
    IMessagePoster* previous = Poster();
    Poster() = poster;
    return previous;
}

void CRecordingPoster::AddWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    windows_.push_back(window);
}

void CRecordingPoster::RemoveWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    std::erase(windows_, window);
}

bool CRecordingPoster::Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    std::lock_guard lock(mutex_);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) {
        return false;
    }
    messages_.push_back({window, message, wParam, lParam});
    return true;
}

std::vector<CRecordingPoster::Message> CRecordingPoster::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

void CRecordingPoster::Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

}  // namespace platform
