// Model::CCalendarWndManager: the program's registry of calendar windows,
// the window registry (model/qt/WindowRegistry.h) over CCalendarWnd. It
// makes every window with the context it was loaded with and forwards the
// manager's "events updated" notification to the windows.
//
// Created by start-up and owned by the dispatch window; user-interface thread
// only.
#pragma once

#include <string>

#include "model/qt/WindowRegistry.h"
#include "view/CalendarWnd.h"

namespace Model {

class CCalendarWndManager : public CWindowRegistry<CCalendarWnd> {
public:
    // Reads "<folder>/calWnd.info" and creates a window per line kept on the
    // virtual screen; creates one default window when none was made. Every
    // window, also those made later, is made with `context`.
    void LoadAndCreate(const std::string& folder, const CalendarWndContext& context);
    // Posts the manager's "events updated" notification to every window.
    void ForwardEventUpdate();
};

}  // namespace Model
