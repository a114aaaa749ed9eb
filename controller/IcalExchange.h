// iCalendar (RFC 5545) files in and out of the local store: the text of the
// events of some calendars for an export, and the events of a file for an
// import, read and checked whole before anything is stored and then stored
// in one transaction as local changes that the next synchronisation uploads.
//
// Qt-free; libical stays in the .cpp. Free functions, run on the calling
// thread; every libical call holds googledata::LibicalMutex(). The stores
// use the database's own locking (CalendarEventDB::RunTransaction), so an
// import may run in another process while Daymark runs.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <vector>

// The store and its records are named only: the views that include this
// header for IcalFileResult never see them.
namespace googledata {
class CalendarEventDB;
struct PrimitiveCalendar;
class PrimitiveEvent;
}  // namespace googledata

namespace Controller {

// The largest file an import reads; a larger one is refused unread.
constexpr size_t kMaxIcalendarFileBytes = 32u * 1024u * 1024u;

// Why a file was refused: the line (1-based, counted in the file as it is;
// 0 when the fault is the file as a whole) and a Japanese message.
struct IcalProblem {
    int line = 0;
    std::string message;
};

struct IcalExportCounts {
    int events = 0;     // VEVENTs written (series and overrides included)
    int series = 0;     // of them with RRULE/RDATE
    int overrides = 0;  // of them with RECURRENCE-ID
    int zones = 0;      // VTIMEZONEs written
};

// The VCALENDAR text (CRLF lines, folded at 75 octets) of every event of
// `calendars`, holiday calendars skipped: single events, series with their
// RRULE/RDATE/EXDATE, overrides with RECURRENCE-ID (a cancelled override
// becomes an EXDATE of its series), all-day events as VALUE=DATE, reminders
// as VALARM, and one VTIMEZONE per zone used. Cancelled events are left
// out. Timed events are written in the machine's zone when libical knows it,
// else in UTC. False when the store cannot be read.
bool ExportIcalendar(googledata::CalendarEventDB& db,
                     const std::list<googledata::PrimitiveCalendar>& calendars, std::string& text,
                     IcalExportCounts& counts);

// Reads and checks a whole file's bytes (a UTF-8 BOM, CRLF or LF line ends
// and folded lines accepted; X- properties ignored) and turns its VEVENTs
// into events of `calendarURI`: series (RRULE/RDATE) keep their recurrence
// lines and the VTIMEZONEs they name as the recurrence text, overrides
// (RECURRENCE-ID) refer to their series. False with `problem` on the first
// fault: bytes that are not UTF-8 text, a broken structure (a BEGIN without
// its END), a line that is no property, or an unreadable value of a property
// the events use (dates and times, RRULE, DURATION, TRIGGER).
bool ParseIcalendar(const std::string& bytes, const std::string& calendarURI,
                    std::vector<googledata::PrimitiveEvent>& events, IcalProblem& problem);

struct IcalImportCounts {
    int added = 0;
    int updated = 0;
    int skipped = 0;  // cancelled events that were not there to cancel
};

// Stores parsed events in calendar `calendarURI` in one transaction, each
// unsynced: an event whose UID (and RECURRENCE-ID) the calendar holds
// already is updated in place, any other added. All or nothing: false, with
// the store unchanged, when any write fails.
bool StoreImportedEvents(googledata::CalendarEventDB& db, const std::string& calendarURI,
                         std::vector<googledata::PrimitiveEvent>& events, IcalImportCounts& counts);

// What an export or import through the calendar manager did.
struct IcalFileResult {
    bool ok = false;
    IcalProblem problem;  // when not ok: the line (0: none) and the message
    IcalExportCounts exported;
    IcalImportCounts imported;
    std::string calendarURI;      // the calendar imported into
    bool noSuchCalendar = false;  // --calendar names none, or one not writable
};

// Reads a file whole; refuses a missing or unreadable file and one larger
// than kMaxIcalendarFileBytes without reading it.
bool ReadIcalendarFile(const std::string& path, std::string& bytes, IcalProblem& problem);
// Writes `text` to `path` through a temporary file in the same folder, so a
// failed write leaves any earlier file whole. False with `error` set.
bool WriteIcalendarFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace Controller
