// CCalendarWndHost: the event detail dialog, for a new event (a double click
// on a day, the registration window's details request) and for an existing
// event (a row of the event popup).
#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"

namespace Controller {

bool CCalendarWndHost::OpenNewEvent(CCalendarWnd&, const NewEventRequest&) {
    Log(Utility::kLogInfo, "<host> event detail dialog (new) not available yet");
    return false;
}

bool CCalendarWndHost::OpenEventDetail(CCalendarWnd&, const Model::Event&) {
    Log(Utility::kLogInfo, "<host> event detail dialog not available yet");
    return false;
}

}  // namespace Controller
