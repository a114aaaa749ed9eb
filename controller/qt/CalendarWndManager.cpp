#include "controller/qt/CalendarWndManager.h"

#include "controller/Notifications.h"

namespace Model {

void CCalendarWndManager::LoadAndCreate(const std::string& folder,
                                        const CalendarWndContext& context) {
    CWindowRegistry::LoadAndCreate(
        folder,
        [context](int id, int x, int y, int monthOffset) {
            return std::make_unique<CCalendarWnd>(id, x, y, monthOffset, context);
        },
        context.log);
}

void CCalendarWndManager::ForwardEventUpdate() {
    for (const auto& wnd : Windows()) {
        platform::PostMessage(wnd->Handle(), CCalendarWnd::kMsgCalendarManager,
                              Controller::NOTIFY_EVENT_UPDATED, 0);
    }
}

}  // namespace Model
