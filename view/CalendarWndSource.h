// ICalendarWndSource: what a calendar window and its event windows need of
// the calendar manager: the events and holidays of a range of months, a place
// in its listener list, the few requests its commands make (synchronise,
// fetch a year's holidays), the calendars, and the local edits of events
// (which the manager stores at once and queues for upload). The operations
// after the first three have harmless defaults so that a fake needs only what
// its test uses. The program hands the window the manager through a thin
// adapter (controller/qt/CalendarWndManagerSource.h); tests hand it a fake that returns
// prepared records. Windows read through this and nothing else: they hold no
// SQL and no HTTP.
//
// Called on the user-interface thread only.
#pragma once

#include <list>
#include <string>

#include "controller/IcalExchange.h"
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
    // Takes every entry of `window` out of the listener list.
    virtual void RemoveListener(platform::WindowHandle /*window*/) {}

    // True when the holidays of `year` are in the store.
    virtual bool HasHolidays(int /*year*/) { return true; }
    // Queues the download of the holidays of `year`.
    virtual void RequestHolidays(int /*year*/) {}
    // Queues a synchronisation of every shown calendar.
    virtual void SyncEvents() {}
    // The stored calendars, in stored order (the event windows' choice of
    // calendars). A source without calendars (the default) has none.
    virtual bool GetCalendars(std::list<Model::Calendar>& calendars) {
        calendars.clear();
        return false;
    }
    // Stores a new event and queues its upload.
    virtual void AddEvent(const Model::Event& /*event*/) {}
    // Stores a changed event (with the status CANCELED: its deletion) and
    // queues its upload.
    virtual void UpdateEvent(const Model::Event& /*event*/) {}
    // Adds or updates the events of an iCalendar file in the default
    // writable calendar, or writes every calendar's events to one
    // (controller/IcalExchange.h).
    virtual Controller::IcalFileResult ImportIcalendar(const std::string& /*path*/) { return {}; }
    virtual Controller::IcalFileResult ExportIcalendar(const std::string& /*path*/) { return {}; }
    // Whether the stored event has been uploaded (no upload of it pending),
    // so that it may be edited now.
    virtual bool IsEventSynced(const std::wstring& /*calendarURI*/,
                               const std::wstring& /*localEventID*/) {
        return true;
    }
};
