// IStyleTargets: how the style dialogs reach the look of the program: the
// application's style object that they load and edit, and the open calendar
// windows that show it. CRegistryStyleTargets is the program's (and the
// tests') implementation over the window registry; each calendar window keeps
// its own copy of the style, which "apply" refreshes.
//
// User-interface thread only. The style object and the registry outlive the
// dialogs that use them.
#pragma once

#include "model/CalendarStyleInfo.h"

namespace Model {
class CCalendarWndManager;
}

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

class CRegistryStyleTargets : public IStyleTargets {
public:
    CRegistryStyleTargets(Model::CCalendarWndManager& registry, Model::CCalendarStyleInfo& style)
        : registry_(registry), style_(style) {}
    Model::CCalendarStyleInfo& AppStyle() override { return style_; }
    void ApplyEverywhere() override;

private:
    Model::CCalendarWndManager& registry_;
    Model::CCalendarStyleInfo& style_;
};
