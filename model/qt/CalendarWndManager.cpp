#include "model/qt/CalendarWndManager.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/MaintenanceLog.h"
#include "controller/Notifications.h"

namespace Model {
namespace {

constexpr const char* kPositionFile = "calWnd.info";
// More than any sane position file; the rest of a larger file is not read.
constexpr std::streamsize kMaxPositionFileBytes = 1 << 20;

}  // namespace

CCalendarWndManager::~CCalendarWndManager() = default;

void CCalendarWndManager::Log(const char* level, const std::string& message) const {
    if (context_.log != nullptr) {
        context_.log->Write(level, message);
    }
}

ScreenRect CCalendarWndManager::VirtualScreen() {
    QRect all;
    for (const QScreen* screen : QGuiApplication::screens()) {
        all = all.united(screen->geometry());
    }
    if (all.isEmpty()) {
        all = QRect(0, 0, 1024, 768);
    }
    return ScreenRect{all.left(), all.top(), all.left() + all.width(), all.top() + all.height()};
}

std::vector<ScreenRect> CCalendarWndManager::Screens() {
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

void CCalendarWndManager::KeepOnAScreen(WindowPlacement& w,
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

CCalendarWnd* CCalendarWndManager::Create(int id, int x, int y, int monthOffset) {
    windows_.push_back(std::make_unique<CCalendarWnd>(id, x, y, monthOffset, context_));
    if (id >= nextWindowId_) {
        nextWindowId_ = id == INT_MAX ? INT_MAX : id + 1;
    }
    return windows_.back().get();
}

void CCalendarWndManager::LoadAndCreate(const std::string& folder,
                                        const CalendarWndContext& context) {
    context_ = context;
    const std::string path = folder + "/" + kPositionFile;
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::string text(static_cast<size_t>(kMaxPositionFileBytes), '\0');
        in.read(text.data(), kMaxPositionFileBytes);
        text.resize(static_cast<size_t>(in.gcount()));
        const ScreenRect screen = VirtualScreen();
        for (WindowPlacement w : ParsePositionFile(text)) {
            KeepOnScreen(w, screen);
            KeepOnAScreen(w, Screens());
            Create(w.id, w.x, w.y, w.monthOffset);
        }
    } else {
        Log(Utility::kLogInfo, "<view> no window positions: " + path);
    }
    if (windows_.empty()) {
        NewWindow();
    }
}

bool CCalendarWndManager::SavePositions(const std::string& folder) const {
    std::vector<WindowPlacement> placements;
    for (const auto& wnd : windows_) {
        placements.push_back(WindowPlacement{wnd->GetWindowNumber(), wnd->Left(), wnd->Top(),
                                             wnd->GetMonthOffset(), wnd->Width(), wnd->Height()});
    }
    const std::string path = folder + "/" + kPositionFile;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        Log(Utility::kLogError, "<view> cannot write window positions: " + path);
        return false;
    }
    out << FormatPositionFile(placements);
    out.close();
    return !out.fail();
}

CCalendarWnd* CCalendarWndManager::NewWindow() {
    int id = nextWindowId_;
    if (FindWindow(id) != nullptr) {
        // Only after an id at the top of the range: take the lowest free one.
        std::set<int> used;
        for (const auto& wnd : windows_) {
            used.insert(wnd->GetWindowNumber());
        }
        id = 0;
        while (used.count(id) != 0) {
            ++id;
        }
    }
    int x = 0;
    int y = 0;
    const QPoint cursor = QCursor::pos();
    NewWindowPosition(!windows_.empty(), cursor.x(), cursor.y(), VirtualScreen(), x, y);
    WindowPlacement placement;
    placement.x = x;
    placement.y = y;
    KeepOnAScreen(placement, Screens());
    return Create(id, placement.x, placement.y, 0);
}

CCalendarWnd* CCalendarWndManager::FindWindow(int windowId) const {
    for (const auto& wnd : windows_) {
        if (wnd->GetWindowNumber() == windowId) {
            return wnd.get();
        }
    }
    return nullptr;
}

void CCalendarWndManager::CloseWindow(int windowId) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [windowId](const auto& wnd) {
        return wnd->GetWindowNumber() == windowId;
    });
    if (it == windows_.end()) {
        return;
    }
    windows_.erase(it);
}

std::unique_ptr<CCalendarWnd> CCalendarWndManager::TakeWindow(int windowId) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [windowId](const auto& wnd) {
        return wnd->GetWindowNumber() == windowId;
    });
    if (it == windows_.end()) {
        return nullptr;
    }
    std::unique_ptr<CCalendarWnd> wnd = std::move(*it);
    windows_.erase(it);
    wnd->Retire();
    return wnd;
}

void CCalendarWndManager::AlignWindows() {
    if (windows_.empty()) {
        return;
    }
    std::vector<AlignItem> items;
    for (const auto& wnd : windows_) {
        items.push_back(AlignItem{wnd->Left(), wnd->Top()});
    }
    const CCalendarWnd& last = *windows_.back();
    Model::AlignWindows(items, last.Width(), last.Height());
    for (size_t i = 0; i < windows_.size(); ++i) {
        windows_[i]->MoveTo(items[i].x, items[i].y);
    }
}

void CCalendarWndManager::ShowCurrentMonths() {
    for (const auto& wnd : windows_) {
        wnd->SetMonth(true);
    }
}

void CCalendarWndManager::RefreshAll() {
    for (const auto& wnd : windows_) {
        wnd->UpdateHolidayCache();
        wnd->UpdateEventCache();
        wnd->SetMonth(false);
    }
}

void CCalendarWndManager::DateChanged() {
    for (const auto& wnd : windows_) {
        wnd->UpdateClock();
    }
}

void CCalendarWndManager::ForwardEventUpdate() {
    for (const auto& wnd : windows_) {
        platform::PostMessage(wnd->Handle(), CCalendarWnd::kMsgCalendarManager,
                              Controller::NOTIFY_EVENT_UPDATED, 0);
    }
}

void CCalendarWndManager::RebuildIconBars() {
    for (const auto& wnd : windows_) {
        wnd->RebuildIconBar();
    }
}

void CCalendarWndManager::DumpWindows(bool write, const std::string& dataFolder) const {
    const std::string path = dataFolder + "/log/calendars.txt";
    if (!write) {
        std::remove(path.c_str());
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        Log(Utility::kLogError, "<view> cannot write " + path);
        return;
    }
    for (const auto& wnd : windows_) {
        // Calendar URIs carry the account: masked as in every support file.
        out << (context_.log != nullptr ? context_.log->MaskAccount(wnd->Dump()) : wnd->Dump());
    }
}

}  // namespace Model
