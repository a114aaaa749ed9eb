// ICalendarWndSource: what a calendar window and its event windows need of
// the calendar manager: the events and holidays of a range of months, a place
// in its listener list, the calendars, and the local edits of events (which
// the manager stores at once and queues for upload). The program hands the window the manager
// through a thin adapter (view/CalendarWndManagerSource.h); tests hand it a fake that returns
// prepared records. Windows read through this and nothing else: they hold no
// SQL and no HTTP.
//
// Called on the user-interface thread only.
#pragma once

#include <list>
#include <string>

#include "model/Calendar.h"
#include "model/Event.h"
#include "model/Holiday.h"
#include "platform/WindowMessages.h"

class ICalendarWndSource {
public:
    virtual ~ICalendarWndSource() = default;

    // The events of `count` months from (year, month), recurrences expanded.
    virtual bool GetEvents(std::list<Model::Event>& events, int year, int month, int count) = 0;
    // The holidays of `count` months from (year, month); an empty filter
    // means every holiday calendar.
    virtual bool GetHolidays(std::list<Model::Holiday>& holidays, int year, int month, int count,
                             const std::wstring& calendarFilter) = 0;
    // Posts `message` to `window` with a notification code as wParam from
    // now on.
    virtual void AddListener(platform::WindowHandle window, uint32_t message) = 0;

    // The stored calendars, in stored order. A source without calendars
    // (the default) has none.
    virtual bool GetCalendars(std::list<Model::Calendar>& calendars) {
        calendars.clear();
        return false;
    }
    // A new event, and a change to (or, with the status CANCELED, the
    // deletion of) a stored one. The default source keeps nothing.
    virtual void AddEvent(const Model::Event& /*event*/) {}
    virtual void UpdateEvent(const Model::Event& /*event*/) {}
    // Whether the stored event has been uploaded (no upload of it pending),
    // so that it may be edited now.
    virtual bool IsEventSynced(const std::wstring& /*calendarURI*/,
                               const std::wstring& /*localEventID*/) {
        return true;
    }
};
