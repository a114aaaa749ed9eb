// googledata::PrimitiveEvent and PrimitiveReminder: one event entry as the
// calendar service describes it, with UTF-8 text and the service's time text.
// Filled by the feed reader and the store, written back by the entry writer.
// Plain values, copied deeply (reminders included); not shared between threads
// without a copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "googledata/ProtocolNumbers.h"

namespace googledata {

struct PrimitiveReminder {
    std::string method;  // "alert", "email", ...; "all" = the calendar's defaults
    int32_t minutesBeforeAlarm = 0;
    bool isAlarmed = false;  // local state kept by the store
};

class PrimitiveEvent {
public:
    PrimitiveEvent() = default;
    PrimitiveEvent(const PrimitiveEvent&) = default;
    PrimitiveEvent(PrimitiveEvent&&) = default;
    PrimitiveEvent& operator=(const PrimitiveEvent&) = default;
    PrimitiveEvent& operator=(PrimitiveEvent&&) = default;
    virtual ~PrimitiveEvent() = default;

    std::string localEventID;  // key in the local store, assigned locally
    std::string id;            // service entry id; empty until the service knows it
    std::string uid;
    std::string editURI;
    std::string published;
    std::string updated;
    std::string startTime;  // date only for all-day events
    std::string endTime;    // exclusive end
    std::string title;
    std::string content;
    std::string place;
    std::string author_name;
    std::string author_email;  // stored in the column autohr_email
    std::string recurrence;
    std::string originalEvent;
    std::string originalStartTime;
    int32_t eventStatus = EVENT_STATUS_INVALID;   // EventStatus
    int32_t transparency = TRANSPARENCY_INVALID;  // Transparency
    int32_t visibility = VISIBILITY_INVALID;      // Visibility
    int32_t sequence = 0;
    int32_t flags = 0;  // kGuest* bits
    bool isSynced = false;
    std::vector<PrimitiveReminder> reminders;  // in document order
    std::string xml;                           // the entry's full XML text
    int32_t recurrenceType = RECURRENCE_NONE;  // RecurrenceType
    // The store's count of local edits of the row (read by GetUnsyncedEvents
    // only): an upload marks the row synced only when it is still the same.
    int64_t localRevision = 0;
};

}  // namespace googledata
