// A plain first version: the window opens as an empty box beside the day
// and closes on request; the input line, the calendars and the buttons come
// with the event windows.
#include "eventwnd/EventRegistWnd.h"

#include <QCloseEvent>

#include "view/CalendarWndFlags.h"

CEventRegistWnd::CEventRegistWnd(QWidget* owner, platform::WindowHandle ownerHandle,
                                 uint32_t ownerMessage, ICalendarWndSource* source,
                                 Model::CConfigInfo* options, Utility::CMaintenanceLog* log)
    : platform::CWindow(owner, Qt::Tool | Qt::FramelessWindowHint),
      ownerHandle_(ownerHandle),
      ownerMessage_(ownerMessage),
      source_(source),
      options_(options),
      log_(log) {
    setObjectName(QStringLiteral("EventRegistWnd"));
    setWindowTitle(QStringLiteral("EventRegistWnd"));
    resize(240, 90);
}

CEventRegistWnd::~CEventRegistWnd() {
    Close();
}

void CEventRegistWnd::OpenFor(const platform::CTime& date, const QPoint& target) {
    date_ = date;
    move(target.x() - width() / 2, target.y() + 8);
    open_ = true;
    CalendarWndFlags::registWndOpen = true;
    show();
}

void CEventRegistWnd::Close() {
    if (!open_) {
        return;
    }
    open_ = false;
    CalendarWndFlags::registWndOpen = false;
    hide();
}

void CEventRegistWnd::closeEvent(QCloseEvent* event) {
    Close();
    event->ignore();  // reused: hidden, not destroyed
}

NewEventRequest CEventRegistWnd::TakeDetailRequest() {
    NewEventRequest request = detailRequest_;
    detailRequest_ = NewEventRequest();
    return request;
}
