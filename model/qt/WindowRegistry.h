// Model::CWindowRegistry<Wnd>: the registry of open month-calendar windows. It
// creates the windows from the position file "calWnd.info" (or one default
// window), creates and closes windows on request, saves their positions,
// lines them up, and forwards program-wide events (date change, new data,
// style and settings changes) to every window. It owns the windows and
// destroys them with itself. The rules without a window system (file format,
// on-screen check, new-window position, alignment) are those of
// model/WindowPositions.h; this class adds the screens and the windows.
//
// The window type is a parameter and the windows are made by a function its
// owner gives, so that the registry knows no view: the program's registry of
// calendar windows is Model::CCalendarWndManager
// (controller/qt/CalendarWndManager.h). A window type provides
// GetWindowNumber, GetMonthOffset, Left, Top, Width, Height, MoveTo(x, y),
// SetMonth(bool), UpdateHolidayCache, UpdateEventCache, UpdateClock,
// RebuildIconBar, Retire (hide before a later destruction) and Dump.
//
// Owned by the dispatch window; user-interface thread only.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/WindowPositions.h"

namespace Utility {
class CMaintenanceLog;
}

namespace Model {

// What every registry does without its windows: screens, the position file,
// window ids and the window dump.
class CWindowRegistryBase {
public:
    int NextWindowId() const { return nextWindowId_; }

    // The union of all screens' geometries.
    static ScreenRect VirtualScreen();
    // The geometry of every screen, the primary one first.
    static std::vector<ScreenRect> Screens();
    // Screens of different sizes leave parts of their bounding rectangle
    // that no screen shows: a window that shows no 20 × 20 pixel corner on
    // any of `screens` goes onto the first one (kept on it as on the
    // virtual screen). No screens: nothing changes.
    static void KeepOnAScreen(WindowPlacement& w, const std::vector<ScreenRect>& screens);

protected:
    CWindowRegistryBase() = default;
    ~CWindowRegistryBase() = default;

    // The windows of "<folder>/calWnd.info", each kept on a screen; none
    // (logged) when there is no such file.
    std::vector<WindowPlacement> ReadPositions(const std::string& folder) const;
    // False (logged) when the file could not be written.
    bool WritePositions(const std::string& folder,
                        const std::vector<WindowPlacement>& windows) const;
    // Where a new window goes (at the mouse cursor, or beside the others).
    WindowPlacement NewPlacement(bool windowsExist) const;
    // The id for a new window: the next one, or the lowest free one once the
    // next is taken (only after an id at the top of the range).
    int NewId(const std::set<int>& used) const;
    // Notes an id in use, so that new windows get larger ones.
    void UseId(int id);
    // With `write`, writes the windows' descriptions (the account masked) to
    // "<dataFolder>/log/calendars.txt", replacing it; without, deletes it.
    void WriteDump(bool write, const std::string& dataFolder,
                   const std::vector<std::string>& descriptions) const;

    Utility::CMaintenanceLog* log_ = nullptr;

private:
    int nextWindowId_ = 0;
};

template <class Wnd>
class CWindowRegistry : public CWindowRegistryBase {
public:
    // Makes window `id` at (x, y), showing the current month plus
    // `monthOffset`.
    using Factory = std::function<std::unique_ptr<Wnd>(int id, int x, int y, int monthOffset)>;

    CWindowRegistry() = default;
    virtual ~CWindowRegistry() = default;
    CWindowRegistry(const CWindowRegistry&) = delete;
    CWindowRegistry& operator=(const CWindowRegistry&) = delete;

    // Reads "<folder>/calWnd.info" and creates a window per line kept on the
    // virtual screen; creates one default window when none was made. New
    // windows are made by `make` from now on.
    void LoadAndCreate(const std::string& folder, Factory make, Utility::CMaintenanceLog* log) {
        make_ = std::move(make);
        log_ = log;
        for (const WindowPlacement& w : ReadPositions(folder)) {
            Create(w.id, w.x, w.y, w.monthOffset);
        }
        if (windows_.empty()) {
            NewWindow();
        }
    }
    // Writes the positions of the windows in list order; false when the file
    // could not be written.
    bool SavePositions(const std::string& folder) const {
        std::vector<WindowPlacement> placements;
        for (const auto& wnd : windows_) {
            placements.push_back(WindowPlacement{wnd->GetWindowNumber(), wnd->Left(), wnd->Top(),
                                                 wnd->GetMonthOffset(), wnd->Width(),
                                                 wnd->Height()});
        }
        return WritePositions(folder, placements);
    }

    // A window with the next id at the new-window position, month offset 0.
    Wnd* NewWindow() {
        std::set<int> used;
        for (const auto& wnd : windows_) {
            used.insert(wnd->GetWindowNumber());
        }
        const WindowPlacement at = NewPlacement(!windows_.empty());
        return Create(NewId(used), at.x, at.y, 0);
    }
    // Destroys the window with that id; no effect when none has it.
    void CloseWindow(int windowId) {
        const auto it = Find(windowId);
        if (it != windows_.end()) {
            windows_.erase(it);
        }
    }
    // Takes the window with that id out of the list and hides it; the caller
    // destroys it (later, outside the window's own handlers). Null when none
    // has the id.
    std::unique_ptr<Wnd> TakeWindow(int windowId) {
        const auto it = Find(windowId);
        if (it == windows_.end()) {
            return nullptr;
        }
        std::unique_ptr<Wnd> wnd = std::move(*it);
        windows_.erase(it);
        wnd->Retire();
        return wnd;
    }
    // Lines the windows up in columns and rows.
    void AlignWindows() {
        if (windows_.empty()) {
            return;
        }
        std::vector<AlignItem> items;
        for (const auto& wnd : windows_) {
            items.push_back(AlignItem{wnd->Left(), wnd->Top()});
        }
        const Wnd& last = *windows_.back();
        Model::AlignWindows(items, last.Width(), last.Height());
        for (size_t i = 0; i < windows_.size(); ++i) {
            windows_[i]->MoveTo(items[i].x, items[i].y);
        }
    }

    // Every window shows the current month plus its offset, re-assigning its
    // dates.
    void ShowCurrentMonths() {
        for (const auto& wnd : windows_) {
            wnd->SetMonth(true);
        }
    }
    // Every window refills its holiday and event caches and redraws.
    void RefreshAll() {
        for (const auto& wnd : windows_) {
            wnd->UpdateHolidayCache();
            wnd->UpdateEventCache();
            wnd->SetMonth(false);
        }
    }
    // Every window updates its clock and moves to the current month plus its
    // offset.
    void DateChanged() {
        for (const auto& wnd : windows_) {
            wnd->UpdateClock();
        }
    }
    // Every window stops its icon bar timer and re-creates its icon bar
    // (after a change of the icon bar options or the calendar mode).
    void RebuildIconBars() {
        for (const auto& wnd : windows_) {
            wnd->RebuildIconBar();
        }
    }
    // With `write`, writes every window's description to
    // "<dataFolder>/log/calendars.txt" (replacing it); without, deletes it.
    void DumpWindows(bool write, const std::string& dataFolder) const {
        std::vector<std::string> descriptions;
        for (const auto& wnd : windows_) {
            descriptions.push_back(wnd->Dump());
        }
        WriteDump(write, dataFolder, descriptions);
    }

    size_t WindowCount() const { return windows_.size(); }
    const std::vector<std::unique_ptr<Wnd>>& Windows() const { return windows_; }
    Wnd* FindWindow(int windowId) const {
        const auto it = Find(windowId);
        return it == windows_.end() ? nullptr : it->get();
    }

private:
    Wnd* Create(int id, int x, int y, int monthOffset) {
        windows_.push_back(make_(id, x, y, monthOffset));
        UseId(id);
        return windows_.back().get();
    }
    auto Find(int windowId) const {
        return std::find_if(windows_.begin(), windows_.end(), [windowId](const auto& wnd) {
            return wnd->GetWindowNumber() == windowId;
        });
    }
    auto Find(int windowId) {
        return std::find_if(windows_.begin(), windows_.end(), [windowId](const auto& wnd) {
            return wnd->GetWindowNumber() == windowId;
        });
    }

    Factory make_;
    std::vector<std::unique_ptr<Wnd>> windows_;  // in creation order
};

}  // namespace Model
