// googledata::GoogleCalendarAPI: the calendar service client. Logs in, reads
// the calendar list, a holiday calendar, the events of a calendar (all, or
// those changed since a time), adds new events and updates changed ones; each
// operation is one HTTP exchange through its HttpClient, read by the feed
// readers or written by the entry writers, and traced in the maintenance log
// with "<api>" lines.
//
// Owned by the calendar manager and called only from its worker thread, one
// request at a time. Paging is the caller's loop: a reading operation reads
// one page of at most 500 entries and hands back the link to the next. No
// exception leaves an operation; after each, GetResponse() and GetHttpCode()
// tell what the service answered (code 0 when no answer arrived).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "googledata/HttpClient.h"
#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveHoliday.h"
#include "googledata/PrimitiveTime.h"
#include "googledata/XmlContext.h"

namespace Utility {
class CMaintenanceLog;
}

namespace googledata {

class GoogleCalendarAPI {
public:
    // `log` may be null; it is not owned.
    explicit GoogleCalendarAPI(Utility::CMaintenanceLog* log);
    ~GoogleCalendarAPI();
    GoogleCalendarAPI(const GoogleCalendarAPI&) = delete;
    GoogleCalendarAPI& operator=(const GoogleCalendarAPI&) = delete;

    // Logs in at `base` (scheme and host of the service, the configuration's
    // login_url) and remembers the base for the calendar list address.
    bool ClientLogin(const std::string& email, const std::string& password, const std::string& base,
                     std::string& response, int& httpCode);
    bool GetCalendars(std::vector<PrimitiveCalendar>& calendars);
    // The holidays from 1 January of `firstYear` to 1 December of `lastYear`.
    bool GetHolidays(const std::string& url, int firstYear, int lastYear,
                     std::vector<PrimitiveHoliday>& holidays);
    // `url` is the calendar's URI or a next link the service handed back.
    // `feedUpdated`, when given, receives the page's own "updated" time text
    // (left as it is when the page has none).
    bool GetAllEvents(const std::string& url, std::vector<PrimitiveEvent>& events,
                      std::string& nextLink, int& startIndex, int& totalResults,
                      std::string* feedUpdated = nullptr);
    bool GetEventUpdates(const std::string& url, const PrimitiveTime& updatedMin,
                         std::vector<PrimitiveEvent>& events, std::string& nextLink,
                         std::string* feedUpdated = nullptr);
    bool AddEvent(const std::string& url, const PrimitiveEvent& event);
    bool UpdateEvent(const PrimitiveEvent& event);

    const std::string& GetResponse() const { return response; }
    // True when the last AddEvent or UpdateEvent failed before any transfer
    // because the event could not be written as an entry.
    bool EntryUnwritable() const { return entryUnwritable; }
    int GetHttpCode() const { return httpCode; }

    // The service base ("https://host[:port]"); www.google.com's until a
    // login or a call here sets another.
    void SetServiceBase(const std::string& base) { serviceBase = base; }
    const std::string& GetServiceBase() const { return serviceBase; }
    // "https" + the service's host + "/calendar/feeds/default/allcalendars/full".
    std::string CalendarListUrl() const;
    // The public full feed of a calendar id (the holiday calendar).
    std::string PublicFeedUrl(const std::string& calendarId);

    HttpClient& Transport() { return transport; }
    XmlContext& Xml() { return xml; }

    // " cal:" and, for a URL longer than 40 characters, its four characters
    // from position 38 (the start of the calendar id in the service's form).
    static std::string CalendarTag(const std::string& url);

private:
    void LogInfo(const std::string& text);
    void LogHttpError();
    void LogException(const std::exception* e, const char* name, long mfcNumber, long otherNumber);

    HttpClient transport;
    XmlContext xml;
    Utility::CMaintenanceLog* log;
    std::string response;
    int httpCode = 0;
    bool entryUnwritable = false;
    std::string serviceBase;
};

}  // namespace googledata
