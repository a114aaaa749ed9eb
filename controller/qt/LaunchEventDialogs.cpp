// CCalendarWndHost: the event detail dialog, for a new event (a double click
// on a day, the registration window's details request) and for an existing
// event (a row of the event popup).
#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "eventwnd/EventDetailDlg.h"
// The dialog has no parent: the calendar window is a frameless window kept
// at the bottom of the desktop, which a dialog must not be tied to.

namespace Controller {

bool CCalendarWndHost::OpenNewEvent(CCalendarWnd&, const NewEventRequest& request) {
    if (setup_.source == nullptr || CEventDetailDlg::IsOpen()) {
        return false;
    }
    CEventDetailDlg dialog(*setup_.source, setup_.config, setup_.log, request.calendarURI,
                           request.title, request.start, request.end, request.allDay);
    return dialog.Run() == QDialog::Accepted;
}

bool CCalendarWndHost::OpenEventDetail(CCalendarWnd&, const Model::Event& event) {
    if (setup_.source == nullptr || CEventDetailDlg::IsOpen()) {
        return false;
    }
    CEventDetailDlg dialog(*setup_.source, setup_.config, setup_.log, event);
    return dialog.Run() == QDialog::Accepted;
}

}  // namespace Controller
