// Looking into a calendar window from the user-interface tests: which cell
// shows a date. Header-only; included by the offscreen test programs only.
#pragma once

#include <cstdint>

#include "platform/Time.h"
#include "view/CalendarWnd.h"

namespace testsupport {

// The index of the day cell that shows the local midnight `midnight`, or -1
// when the window does not show that day.
inline int CellOf(const CCalendarWnd& wnd, int64_t midnight) {
    for (int i = 0; i < CalendarLayout::kGridCells; ++i) {
        if (wnd.Day(i).Date() == midnight) {
            return i;
        }
    }
    return -1;
}

inline int CellOf(const CCalendarWnd& wnd, int year, int month, int day) {
    return CellOf(wnd, platform::CTime(year, month, day, 0, 0, 0).GetTime());
}

}  // namespace testsupport
