// The numbers Daymark stores, logs or exchanges, named in one place: the
// values of the service's event and calendar attributes as the database keeps
// them, the calendar mode and account kind of config.ini, and the kinds of
// the calendar manager's requests as its log lines show them.
//
// Every value here is written to a file (the database, config.ini, the log):
// never renumber one. Plain constants, usable from any layer above
// platform/ and from any thread.
#pragma once

#include <cstdint>

namespace googledata {

// [general] calendar_mode of config.ini.
enum CalendarMode : int {
    kCalendarModeNotSetUp = 0,  // the setup wizard has not finished
    kCalendarModeAccount = 1,   // an account of a calendar server
    kCalendarModeLocal = 2,     // no account: events only in the local database
};

// [general] account_kind of config.ini: the server of an account (calendar
// mode 1). A file without the key means the calendar service of the e-mail
// and password.
enum AccountKind : int {
    kAccountKindService = 0,
    kAccountKindCalDav = 1,
};

// The kind of a request in the calendar manager's queue (its log lines show
// the number: "pop msg: (3)").
enum RequestType : int32_t {
    kRequestDownloadCalendars = 0,
    kRequestDownloadHoliday = 1,
    kRequestDownloadAllEvents = 2,
    kRequestDownloadUpdatedEvents = 3,
    kRequestUploadEvents = 4,
};

// gd:eventStatus of an event (stored column eventStatus).
enum EventStatus : int32_t {
    EVENT_STATUS_INVALID = 0,
    EVENT_STATUS_TENTATIVE = 1,
    EVENT_STATUS_CONFIRMED = 2,
    EVENT_STATUS_CANCELED = 3,
};

// gd:transparency of an event (stored column transparency).
enum Transparency : int32_t {
    TRANSPARENCY_INVALID = 0,
    TRANSPARENCY_OPAQUE = 1,
    TRANSPARENCY_TRANSPARENT = 2,
};

// gd:visibility of an event (stored column visibility).
enum Visibility : int32_t {
    VISIBILITY_INVALID = 0,
    VISIBILITY_CONFIDENTIAL = 1,
    VISIBILITY_DEFAULT = 2,
    VISIBILITY_PRIVATE = 3,
    VISIBILITY_PUBLIC = 4,
};

// Where an event stands in a recurrence (stored column recurrenceType).
enum RecurrenceType : int32_t {
    RECURRENCE_NONE = 0,       // a single event
    RECURRENCE_ORIGINAL = 1,   // the master of a series (or one expanded occurrence)
    RECURRENCE_EXCEPTION = 2,  // a changed or cancelled occurrence
};

// gCal:accesslevel of a calendar (stored column accesslevel); the service's
// words "none" to "root" in this order.
enum AccessLevel : int32_t {
    ACCESS_NONE = 0,
    ACCESS_READ = 1,
    ACCESS_FREEBUSY = 2,
    ACCESS_EDITOR = 3,
    ACCESS_OWNER = 4,
    ACCESS_ROOT = 5,
};

}  // namespace googledata
