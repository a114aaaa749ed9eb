// Model::CCalendarWndManager: the registry of open month-calendar windows. It
// creates the windows from the position file "calWnd.info" (or one default
// window), creates and closes windows on request, saves their positions,
// lines them up, and forwards program-wide events (date change, new data,
// style and settings changes) to every window. It owns the windows and
// destroys them with itself. The rules without a window system (file format,
// on-screen check, new-window position, alignment) are those of
// model/WindowPositions.h; this class adds the screens and the windows.
//
// Created by start-up and owned by the dispatch window; user-interface thread
// only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/WindowPositions.h"
#include "view/CalendarWnd.h"

namespace Model {

class CCalendarWndManager {
public:
    CCalendarWndManager() = default;
    virtual ~CCalendarWndManager();
    CCalendarWndManager(const CCalendarWndManager&) = delete;
    CCalendarWndManager& operator=(const CCalendarWndManager&) = delete;

    // Reads "<folder>/calWnd.info" and creates a window per line kept on the
    // virtual screen; creates one default window when none was made.
    void LoadAndCreate(const std::string& folder, const CalendarWndContext& context);
    // Writes the positions of the windows in list order; false when the file
    // could not be written.
    bool SavePositions(const std::string& folder) const;

    // A window with the next id at the new-window position, month offset 0.
    CCalendarWnd* NewWindow();
    // Destroys the window with that id; no effect when none has it.
    void CloseWindow(int windowId);
    // Takes the window with that id out of the list and hides it; the caller
    // destroys it (later, outside the window's own handlers). Null when none
    // has the id.
    std::unique_ptr<CCalendarWnd> TakeWindow(int windowId);
    // Lines the windows up in columns and rows.
    void AlignWindows();

    // Every window shows the current month plus its offset, re-assigning its
    // dates.
    void ShowCurrentMonths();
    // Every window refills its holiday and event caches and redraws.
    void RefreshAll();
    // Every window updates its clock and moves to the current month plus its
    // offset.
    void DateChanged();
    // Posts the manager's "events updated" notification to every window.
    void ForwardEventUpdate();
    // Every window stops its icon bar timer and re-creates its icon bar
    // (after a change of the icon bar options or the calendar mode).
    void RebuildIconBars();
    // With `write`, writes every window's description to
    // "<dataFolder>/log/calendars.txt" (replacing it); without, deletes it.
    void DumpWindows(bool write, const std::string& dataFolder) const;

    size_t WindowCount() const { return windows_.size(); }
    const std::vector<std::unique_ptr<CCalendarWnd>>& Windows() const { return windows_; }
    CCalendarWnd* FindWindow(int windowId) const;
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

private:
    CCalendarWnd* Create(int id, int x, int y, int monthOffset);
    void Log(const char* level, const std::string& message) const;

    int nextWindowId_ = 0;
    CalendarWndContext context_;
    std::vector<std::unique_ptr<CCalendarWnd>> windows_;  // in creation order
};

}  // namespace Model
