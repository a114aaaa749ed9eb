// googledata::CalendarEventDB: the local database of one account: its
// calendars, their events with reminders, and the holidays of the holiday
// calendar, in one SQLite file. Every operation builds complete SQL text and
// runs it through the owned WrenSQLite access object; rows come back as the
// service-side records.
//
// Owned by the calendar manager. Called from its worker thread (downloads,
// uploads) and from the user-interface thread (view reads, local edits); each
// statement is serialised by the access object's lock, an operation of
// several statements is not atomic. Public operations never throw: failures
// are logged and give false.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveEvent.h"
#include "googledata/PrimitiveHoliday.h"
#include "googledata/PrimitiveTime.h"
#include "googledata/WrenSQLite.h"

namespace Utility {
class CMaintenanceLog;
}

namespace googledata {

// Timing of one kind of operation, in milliseconds.
struct DbStatistics {
    uint32_t count = 0;
    uint32_t min = 0xFFFFFFFFu;
    uint32_t max = 0;
    uint32_t ave = 0;
    uint32_t total = 0;
    uint32_t samples = 0;

    // Adds one operation of `elapsed` ms; total and ave stop growing rather
    // than overflow.
    void Add(uint32_t elapsed);
};

class CalendarEventDB {
public:
    CalendarEventDB();
    ~CalendarEventDB();
    CalendarEventDB(const CalendarEventDB&) = delete;
    CalendarEventDB& operator=(const CalendarEventDB&) = delete;

    // Opens the file, creating it with the schema when it is missing; on an
    // existing file adds the lookup indexes that an older file lacks.
    bool Initialize(const std::string& path, Utility::CMaintenanceLog* log);
    // Opens an existing file for reading only: no schema, no indexes, no
    // statistics, nothing written. For another process that reads while the
    // program runs; only the Get operations may be used then.
    bool OpenReadOnly(const std::string& path, Utility::CMaintenanceLog* log);
    // Closes the connection and deletes the file.
    bool DeleteDatabase();
    // Closes the connection; every operation then fails until Initialize.
    void Close();

    // Takes the table statistics the query planner uses (ANALYZE). Called
    // after a download has changed many rows; a few milliseconds per
    // thousand events.
    bool UpdateQueryStatistics();

    bool BeginTransaction(const std::string& name);
    bool EndTransaction(const std::string& name);
    // Runs `body` (operations of this object) as one write transaction that
    // no statement of another thread comes between, and that waits for other
    // processes' writers: committed when the body returns true, else rolled
    // back whole (WrenSQLite::RunTransaction). False when nothing was kept.
    bool RunTransaction(const std::string& name, const std::function<bool()>& body);

    // Calendars.
    bool UpsertCalendar(const PrimitiveCalendar& calendar);
    bool UpdateCalendarVisibleWritable(const std::string& calendarURI, bool visible, bool writable);
    bool SetEventLastUpdatedTime(const std::string& calendarURI, const PrimitiveTime& time);
    bool GetEventLastUpdatedTime(const std::string& calendarURI, PrimitiveTime& time);
    bool GetCalendars(std::list<PrimitiveCalendar>& calendars);

    // Holidays.
    bool UpsertHoliday(const std::string& calendarURI, const PrimitiveTime& updated,
                       const PrimitiveHoliday& holiday);
    bool GetHolidays(const std::string& calendarURI, int year, int month,
                     std::list<PrimitiveHoliday>& holidays);
    bool HasHoliday(const std::string& calendarURI, int year);

    // Events. The calendar URI of every statement is the one given here.
    // UpsertEvent stores an entry from the service. It never overwrites a
    // row that holds an unsynced local edit: such a row is only linked to the
    // entry (LinkServiceEntry), and the edit is uploaded next.
    bool UpsertEvent(PrimitiveEvent& event, const std::string& calendarURI);
    bool AddEvent(const std::string& calendarURI, PrimitiveEvent& event, bool writeLog);
    bool UpdateEventFromGoogleSide(PrimitiveEvent& event, const std::string& calendarURI);
    bool UpdateEventFromLocalSide(PrimitiveEvent& event, const std::string& calendarURI);
    bool SetSyncDone(const std::string& calendarURI, const std::string& localEventID);
    // Marks the row synced only while its local revision is still `revision`
    // (no edit was made since the upload read it).
    bool SetSyncDone(const std::string& calendarURI, const std::string& localEventID,
                     int64_t revision);
    // The row's local revision and synced mark; false when there is no row.
    bool GetLocalState(const std::string& calendarURI, const std::string& localEventID,
                       int64_t& revision, bool& synced);
    // Links a local row to the service's entry: writes only the columns the
    // service owns (id, uid, edit URI, published, updated, author, XML) and
    // keeps the local fields, the reminders and the synced mark.
    bool LinkServiceEntry(const PrimitiveEvent& entry, const std::string& calendarURI,
                          const std::string& localEventID);
    // The account whose events were made here: an offline-made event (no
    // service id yet) is matched to an incoming entry by title and start only
    // when that entry's author is this account. Empty: never matched so.
    void SetAccountEmail(const std::string& email);
    // The single events of one calendar that touch the month.
    bool GetNormalEvents(const std::string& calendarURI, int year, int month,
                         std::list<PrimitiveEvent>& events);
    bool GetRecurrenceOriginalEvents(const std::string& calendarURI,
                                     std::list<PrimitiveEvent>& events);
    bool GetRecurrenceExceptionEvents(const std::string& calendarURI,
                                      const std::string& originalEvent,
                                      std::list<PrimitiveEvent>& events);
    // Every exception of every series of the calendar (one query for a view
    // that expands many series).
    bool GetAllRecurrenceExceptionEvents(const std::string& calendarURI,
                                         std::list<PrimitiveEvent>& events);
    // Every event of the calendar, singles, series and exceptions, with
    // their reminders (an export).
    bool GetAllEvents(const std::string& calendarURI, std::list<PrimitiveEvent>& events);
    bool GetUnsyncedEvents(const std::string& calendarURI, std::list<PrimitiveEvent>& events);
    // True when the query ran; `synced` is false for an unknown local id.
    bool IsSynced(const std::string& calendarURI, const std::string& localEventID, bool& synced);

    // CalDAV state (CalendarEventDBCalDav.cpp; docs/caldav.md): each
    // resource's href and ETag (table DAV_RESOURCE) and each calendar's
    // getctag and sync token (table DAV_COLLECTION), both made on first use.
    // The events of a resource are EVENT rows whose id is the href (the
    // master or single event) or "href#RECURRENCE-ID" (its overrides, whose
    // originalEvent is the href).
    bool SetDavResource(const std::string& calendarURI, const std::string& href,
                        const std::string& etag);
    // href -> ETag of every resource of the calendar.
    bool GetDavResources(const std::string& calendarURI,
                         std::vector<std::pair<std::string, std::string>>& resources);
    // Removes the resource's row, its events and their reminders.
    bool DeleteDavResource(const std::string& calendarURI, const std::string& href);
    // The event rows of one resource (master or single first, then overrides).
    bool GetDavResourceEvents(const std::string& calendarURI, const std::string& href,
                              std::list<PrimitiveEvent>& events);
    // Removes one event row (and its reminders) by local id.
    bool DeleteEventRow(const std::string& calendarURI, const std::string& localEventID);
    bool SetDavCollectionState(const std::string& calendarURI, const std::string& ctag,
                               const std::string& syncToken);
    bool GetDavCollectionState(const std::string& calendarURI, std::string& ctag,
                               std::string& syncToken);
    // Removes a calendar the server no longer has: its CALENDAR row, its
    // events with their reminders and guests, and its CalDAV state, in one
    // transaction.
    bool DeleteDavCalendar(const std::string& calendarURI);

    // Writes a plain-text picture of the database for support, without
    // titles, descriptions, places, authors or XML, and with the account name
    // replaced by "[user_id]".
    void DumpToFile(const std::string& path, const std::string& account);

    const DbStatistics& UpdateStatistics() const { return updateStats_; }
    const DbStatistics& QueryStatistics() const { return queryStats_; }
    uint32_t ErrorCount() const { return errorCount_; }
    const std::string& Path() const { return path_; }

private:
    bool CreateDavTables();
    bool CreateTables();
    bool CreateLookupIndexes(bool ifNotExists);
    // Adds the localRevision column to a file written before it existed.
    bool AddRevisionColumn();
    void Log(const char* level, const std::string& message) const;
    // Runs `body`, turning any exception into a logged failure.
    bool Guarded(const char* name, long handler, const std::function<bool()>& body);

    std::string FindLocalIdById(const std::string& calendarURI, const PrimitiveEvent& event);
    std::string FindLocalIdByUid(const std::string& calendarURI, const PrimitiveEvent& event);
    std::string FindLocalIdByTitleAndStart(const std::string& calendarURI,
                                           const PrimitiveEvent& event);
    void InsertReminders(const PrimitiveEvent& event);
    bool DeleteReminders(const std::string& localEventID);
    bool GetReminders(PrimitiveEvent& event);
    bool GetReminders(std::list<PrimitiveEvent>& events);
    bool SelectEvents(const std::string& sql, std::list<PrimitiveEvent>& events,
                      DbStatistics* stats);

    std::unique_ptr<WrenSQLite> access_;
    Utility::CMaintenanceLog* log_ = nullptr;
    std::string path_;
    std::string accountEmail_;  // lower case, "%40" read as "@"
    uint32_t errorCount_ = 0;
    DbStatistics updateStats_;
    DbStatistics queryStats_;
};

}  // namespace googledata
