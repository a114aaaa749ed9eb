// CCalendarWndHost: the option dialog, the calendar settings and the holiday
// settings, and what follows their OK.
#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"

namespace Controller {

bool CCalendarWndHost::OpenOptionDialog(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> option dialog not available yet");
    return false;
}

bool CCalendarWndHost::OpenCalendarSettings(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> calendar settings dialog not available yet");
    return false;
}

bool CCalendarWndHost::OpenHolidaySettings(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> holiday settings dialog not available yet");
    return false;
}

}  // namespace Controller
