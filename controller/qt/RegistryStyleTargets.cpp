#include "controller/qt/RegistryStyleTargets.h"

#include "controller/qt/CalendarWndManager.h"

void CRegistryStyleTargets::ApplyEverywhere() {
    for (const auto& wnd : registry_.Windows()) {
        wnd->Style() = style_;
        // New dates and decoration (the week's first day may have changed),
        // then the whole pipeline at once so the preview shows while the
        // dialog still runs.
        wnd->SetMonth(true);
        wnd->Redraw();
    }
}
