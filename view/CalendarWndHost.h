// ICalendarWndHost: everything outside a calendar window that the window's
// commands open: the dialogs (options, style, style editor, calendar and
// holiday settings, about box with the support bundle, event detail), the
// web pages (the service's calendar, the manual) and the requests that go to
// the application (update every window's caches). A calendar window calls
// these and nothing else for them; the program plugs in
// controller/qt/CalendarWndHostImpl.h, tests a recording fake.
//
// Each Open* call runs its dialog to the end (modally) and returns true when
// the user confirmed it (OK). What follows the OK inside the dialog's own
// family (writing the configuration, the start-up entry, an account change)
// is the host's work; what the window itself must redraw is the window's.
// The window sets the process-wide flags (view/CalendarWndFlags.h) around
// the calls that need them.
//
// Called on the user-interface thread only. The host outlives every window.
#pragma once

#include <string>

#include "model/Event.h"
#include "platform/Time.h"

class CCalendarWnd;

// A new event asked for from a calendar window: a double click on a day
// (all day, no calendar chosen) or the registration window's details
// request (its parsed line and chosen calendar).
struct NewEventRequest {
    platform::CTime start;
    platform::CTime end;
    bool allDay = true;
    std::wstring title;
    std::wstring calendarURI;  // empty: no calendar chosen
};

class ICalendarWndHost {
public:
    virtual ~ICalendarWndHost() = default;

    // Option dialog; on OK the host applies its result (configuration,
    // start-up entry, icon bar rebuild, account change with the wizard
    // request or a synchronisation, redraw of all windows).
    virtual bool OpenOptionDialog(CCalendarWnd& wnd) = 0;
    // Style dialog. On OK `weekStartChanged` tells whether the week's first
    // day changed (the window then re-assigns its dates and refills).
    virtual bool OpenStyleDialog(CCalendarWnd& wnd, bool& weekStartChanged) = 0;
    // The style editor (the "edit style" command).
    virtual void OpenStyleEditor(CCalendarWnd& wnd) = 0;
    // Calendar settings; on OK the host updates every window's caches.
    virtual bool OpenCalendarSettings(CCalendarWnd& wnd) = 0;
    // Holiday settings (no menu item shows it); on OK as the calendar
    // settings.
    virtual bool OpenHolidaySettings(CCalendarWnd& wnd) = 0;
    // The about box (version information; it starts the support bundle).
    virtual void OpenAboutBox(CCalendarWnd& wnd) = 0;
    // The event detail dialog for a new event.
    virtual bool OpenNewEvent(CCalendarWnd& wnd, const NewEventRequest& request) = 0;
    // The event detail dialog for an existing event (found in the window's
    // event cache).
    virtual bool OpenEventDetail(CCalendarWnd& wnd, const Model::Event& event) = 0;
    // Opens a web page (UTF-8 address) in the user's browser.
    virtual void OpenUrl(const std::string& url) = 0;
    // The product's manual page.
    virtual void OpenHelp() = 0;
    // A file dialog for an iCalendar file to read (`forWriting` false) or
    // to write; the chosen path (UTF-8), empty when cancelled.
    virtual std::string ChooseIcalendarFile(CCalendarWnd& /*wnd*/, bool /*forWriting*/) {
        return {};
    }
    // Tells the user how an import or export went (a message box).
    virtual void ShowIcalendarResult(CCalendarWnd& /*wnd*/, const std::wstring& /*text*/,
                                     bool /*failed*/) {}
};
