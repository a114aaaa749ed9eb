// CRegistryStyleTargets: the style dialogs' targets (dialogs/StyleTargets.h)
// in the program and the tests: the application's style object and the
// calendar windows of the window registry, each of which keeps its own copy
// of the style.
//
// User-interface thread only. The style object and the registry outlive the
// dialogs that use them.
#pragma once

#include "dialogs/StyleTargets.h"

namespace Model {
class CCalendarWndManager;
}

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
