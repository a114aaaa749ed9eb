// CEventRegistWnd: the small window that opens over a day when the user
// clicks it: one line of input (a time and a title), a calendar to put the
// event in, and buttons to register, close or ask for the full detail
// dialog. Each calendar window owns one, created with it and reused.
//
// While it is open the process-wide flag CalendarWndFlags::registWndOpen is
// set. A details request is posted to the owner as its message
// (WM_USER + 102) with lParam 0; the owner then takes the request with
// TakeDetailRequest() and closes this window.
//
// The operations below are all the calendar window uses. User-interface
// thread only.
#pragma once

#include <QPoint>

#include "platform/Time.h"
#include "platform/qt/Window.h"
#include "view/CalendarWndHost.h"

class ICalendarWndSource;
namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

class CEventRegistWnd : public platform::CWindow {
    Q_OBJECT
public:
    // `source` (the calendar manager; may be null) outlives the window.
    CEventRegistWnd(QWidget* owner, platform::WindowHandle ownerHandle, uint32_t ownerMessage,
                    ICalendarWndSource* source, Model::CConfigInfo* options,
                    Utility::CMaintenanceLog* log);
    ~CEventRegistWnd() override;

    // Opens for the day `date` (local midnight), pointing at the screen point
    // `target` (the middle of the day cell).
    void OpenFor(const platform::CTime& date, const QPoint& target);
    // Closes the window (nothing when it is closed) and clears the flag.
    void Close();
    bool IsOpen() const { return open_; }
    platform::CTime Date() const { return date_; }

    // The details request last posted to the owner; reset afterwards.
    NewEventRequest TakeDetailRequest();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    platform::WindowHandle ownerHandle_;
    uint32_t ownerMessage_;
    ICalendarWndSource* source_;
    Model::CConfigInfo* options_;
    Utility::CMaintenanceLog* log_;
    platform::CTime date_;
    bool open_ = false;
    NewEventRequest detailRequest_;
};
