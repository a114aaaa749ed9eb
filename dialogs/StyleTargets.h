// IStyleTargets: how the style dialogs reach the look of the program: the
// application's style object that they load and edit, and the open calendar
// windows that show it. The program's (and the tests') implementation is
// CRegistryStyleTargets over the window registry
// (controller/qt/RegistryStyleTargets.h); each calendar window keeps its own
// copy of the style, which "apply" refreshes.
//
// User-interface thread only. The style object outlives the dialogs that use
// it.
#pragma once

#include "model/CalendarStyleInfo.h"

class IStyleTargets {
public:
    virtual ~IStyleTargets() = default;
    // The application's style object.
    virtual Model::CCalendarStyleInfo& AppStyle() = 0;
    // Every calendar window takes the application's style and options,
    // recomputes its layout and redraws at once.
    virtual void ApplyEverywhere() = 0;

    // Loads `file` into the application's style and applies it everywhere.
    void LoadAndApply(const std::wstring& file) {
        AppStyle().Load(file);
        ApplyEverywhere();
    }
};
