#include "model/qt/WindowRegistry.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <climits>
#include <cstdio>
#include <fstream>

#include "app/MaintenanceLog.h"

namespace Model {
namespace {

constexpr const char* kPositionFile = "calWnd.info";
// More than any sane position file; the rest of a larger file is not read.
constexpr std::streamsize kMaxPositionFileBytes = 1 << 20;

}  // namespace

ScreenRect CWindowRegistryBase::VirtualScreen() {
    QRect all;
    for (const QScreen* screen : QGuiApplication::screens()) {
        all = all.united(screen->geometry());
    }
    if (all.isEmpty()) {
        all = QRect(0, 0, 1024, 768);
    }
    return ScreenRect{all.left(), all.top(), all.left() + all.width(), all.top() + all.height()};
}

std::vector<ScreenRect> CWindowRegistryBase::Screens() {
    std::vector<ScreenRect> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&screens](const QScreen* screen) {
        const QRect g = screen->geometry();
        screens.push_back(
            ScreenRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    };
    if (primary != nullptr) {
        add(primary);
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            add(screen);
        }
    }
    return screens;
}

void CWindowRegistryBase::KeepOnAScreen(WindowPlacement& w,
                                        const std::vector<ScreenRect>& screens) {
    constexpr long long kVisible = 20;  // enough of the window to grab it
    const long long left = w.x, top = w.y;
    const long long right = left + std::max(w.width, 1), bottom = top + std::max(w.height, 1);
    for (const ScreenRect& s : screens) {
        const long long width =
            std::min<long long>(right, s.right) - std::max<long long>(left, s.left);
        const long long height =
            std::min<long long>(bottom, s.bottom) - std::max<long long>(top, s.top);
        if (width >= std::min(kVisible, right - left) &&
            height >= std::min(kVisible, bottom - top)) {
            return;
        }
    }
    if (!screens.empty()) {
        KeepOnScreen(w, screens.front());
    }
}

std::vector<WindowPlacement> CWindowRegistryBase::ReadPositions(const std::string& folder) const {
    const std::string path = folder + "/" + kPositionFile;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogInfo, "<view> no window positions: " + path);
        }
        return {};
    }
    std::string text(static_cast<size_t>(kMaxPositionFileBytes), '\0');
    in.read(text.data(), kMaxPositionFileBytes);
    text.resize(static_cast<size_t>(in.gcount()));
    const ScreenRect screen = VirtualScreen();
    std::vector<WindowPlacement> windows = ParsePositionFile(text);
    for (WindowPlacement& w : windows) {
        KeepOnScreen(w, screen);
        KeepOnAScreen(w, Screens());
    }
    return windows;
}

bool CWindowRegistryBase::WritePositions(const std::string& folder,
                                         const std::vector<WindowPlacement>& windows) const {
    const std::string path = folder + "/" + kPositionFile;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<view> cannot write window positions: " + path);
        }
        return false;
    }
    out << FormatPositionFile(windows);
    out.close();
    return !out.fail();
}

WindowPlacement CWindowRegistryBase::NewPlacement(bool windowsExist) const {
    const QPoint cursor = QCursor::pos();
    WindowPlacement placement;
    NewWindowPosition(windowsExist, cursor.x(), cursor.y(), VirtualScreen(), placement.x,
                      placement.y);
    KeepOnAScreen(placement, Screens());
    return placement;
}

int CWindowRegistryBase::NewId(const std::set<int>& used) const {
    if (used.count(nextWindowId_) == 0) {
        return nextWindowId_;
    }
    int id = 0;
    while (used.count(id) != 0) {
        ++id;
    }
    return id;
}

void CWindowRegistryBase::UseId(int id) {
    if (id >= nextWindowId_) {
        nextWindowId_ = id == INT_MAX ? INT_MAX : id + 1;
    }
}

void CWindowRegistryBase::WriteDump(bool write, const std::string& dataFolder,
                                    const std::vector<std::string>& descriptions) const {
    const std::string path = dataFolder + "/log/calendars.txt";
    if (!write) {
        std::remove(path.c_str());
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<view> cannot write " + path);
        }
        return;
    }
    for (const std::string& text : descriptions) {
        // Calendar URIs carry the account: masked as in every support file.
        out << (log_ != nullptr ? log_->MaskAccount(text) : text);
    }
}

}  // namespace Model
