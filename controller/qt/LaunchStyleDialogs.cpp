// CCalendarWndHost: the style dialog, the style editor and the about box
// (which starts the support bundle).
#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"

namespace Controller {

bool CCalendarWndHost::OpenStyleDialog(CCalendarWnd&, bool& weekStartChanged) {
    weekStartChanged = false;
    Log(Utility::kLogInfo, "<host> style dialog not available yet");
    return false;
}

void CCalendarWndHost::OpenStyleEditor(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> style editor not available yet");
}

void CCalendarWndHost::OpenAboutBox(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> about box not available yet");
}

}  // namespace Controller
