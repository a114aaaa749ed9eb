// The geometry rules of the calendar window registry, free of any window
// system: reading and writing the position file "calWnd.info", keeping a
// saved window on the virtual screen, where a new window goes, and lining
// windows up in columns and rows. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

namespace Model {

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One line of the position file.
struct WindowPlacement {
    int id = 0;
    int x = 0;
    int y = 0;
    int monthOffset = 0;
    int width = 200;
    int height = 150;
};

// At most this many windows are made from a position file; the rest of its
// lines are ignored (a damaged file must not cover the desktop).
inline constexpr size_t kMaxCalendarWindows = 32;

// The windows of a position file's text: lines with fewer than four decimal
// fields are ignored, missing width and height are 200 and 150, values out of
// the 32-bit range are clamped, a repeated id is ignored. When the file's
// first 256 bytes hold fewer than two line feeds, every month offset is 0 (a
// single window always shows the current month).
std::vector<WindowPlacement> ParsePositionFile(const std::string& text);
std::string FormatPositionFile(const std::vector<WindowPlacement>& windows);

// Moves a saved window back onto the virtual screen: it may hang up to 10
// pixels off the left or right edge; within 10 pixels of the top or bottom it
// snaps to that edge.
void KeepOnScreen(WindowPlacement& window, const ScreenRect& virtualScreen);

// Where a new window goes: 10 pixels up and left of the cursor when windows
// exist, else 320 pixels left of the virtual screen's right edge, 10 down.
void NewWindowPosition(bool windowsExist, int cursorX, int cursorY, const ScreenRect& virtualScreen,
                       int& x, int& y);

struct AlignItem {
    int x = 0;
    int y = 0;
};

// Lines windows up: columns and rows are found independently, each round
// taking the smallest unassigned x (y) and pulling every unassigned window
// within `width` (`height`) of it onto it. Rewrites the items' x and y.
void AlignWindows(std::vector<AlignItem>& items, int width, int height);

}  // namespace Model
