// googledata::CalDavSync: a CalDAV account's calendars and events brought
// into the local store and local edits sent back: discovery into the
// CALENDAR table, a full download (PROPFIND of hrefs and ETags, then
// calendar-multiget in batches), the incremental sync (sync-collection with
// the stored token; else getctag and ETag comparison), and the upload of
// unsynced events (PUT with If-None-Match / If-Match, DELETE with If-Match)
// with conflict copies on 412. docs/caldav.md says how a request flows.
//
// Uses (does not own) a CalDavClient and the account's CalendarEventDB; one
// thread at a time (the sync worker, or a test). The optional `storeLock` is
// held around each write to the store (a stored batch, the marking of a sent
// resource), never across a network call, so local edits made by another
// thread never join those transactions.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "googledata/CalDavClient.h"

namespace Utility {
class CMaintenanceLog;
}

namespace googledata {

class CalendarEventDB;
struct PrimitiveCalendar;
class PrimitiveEvent;

// A local change the server refused because its copy had changed.
struct CalDavConflict {
    std::string title;        // the event's title as the user wrote it
    std::string copyLocalId;  // the conflict copy's local id; empty for a deletion
    bool deletion = false;    // the user deleted an event changed on the server
};

class CalDavSync {
public:
    CalDavSync(CalDavClient& client, CalendarEventDB& db, Utility::CMaintenanceLog* log,
               std::mutex* storeLock = nullptr);

    // Told after each stored multiget batch: the index (from 1) of the
    // batch's first resource among those to fetch, and their count.
    void SetProgress(std::function<void(size_t first, size_t total)> progress) {
        progress_ = std::move(progress);
    }

    // Discovers the calendars and stores each (calendarURI = its URL). A
    // stored calendar of the same server that discovery no longer finds is
    // removed with its events and CalDAV state.
    CalDavStatus DownloadCalendars(std::vector<PrimitiveCalendar>* found = nullptr);
    // Every resource of the calendar; resources no longer on the server are
    // removed locally. Local edits not yet uploaded are kept.
    CalDavStatus DownloadAll(const std::string& calendarURI);
    // Only what changed since the last download (a full one when there was
    // none or the server no longer knows the sync token).
    CalDavStatus Sync(const std::string& calendarURI);
    // Sends the calendar's unsynced events. A 412 keeps the server's copy and
    // the local edit as a new event whose title ends with `conflictMark`,
    // uploaded too; each such case is appended to `conflicts`.
    CalDavStatus Upload(const std::string& calendarURI, const std::string& conflictMark,
                        std::vector<CalDavConflict>* conflicts);

    // Resources fetched (multiget or GET) and removed by the last
    // DownloadAll or Sync: what the transfer cost.
    size_t LastFetched() const { return fetched_; }
    size_t LastRemoved() const { return removed_; }
    // Resources asked for in one calendar-multiget (kMultigetBatch unless a
    // test makes it smaller).
    static constexpr size_t kMultigetBatch = 200;
    void SetBatchSize(size_t count) { batch_ = count > 0 ? count : 1; }

private:
    CalDavStatus FetchAndStore(const std::string& calendarURI,
                               const std::vector<std::string>& hrefs);
    // Stores one resource's events unless the calendar holds unsent local
    // edits of it (then they win until their upload).
    bool StoreResource(const std::string& calendarURI, const std::string& href,
                       const std::string& etag, const std::string& ics, bool force);
    bool HasLocalEdits(const std::string& calendarURI, const std::string& href);
    void RemoveResource(const std::string& calendarURI, const std::string& href);
    CalDavStatus UploadResource(const std::string& calendarURI, const std::string& href,
                                const std::string& etag, const std::string& conflictMark,
                                std::vector<CalDavConflict>* conflicts);
    void Log(const char* level, const std::string& text) const;
    std::unique_lock<std::mutex> LockStore();

    CalDavClient& client_;
    CalendarEventDB& db_;
    Utility::CMaintenanceLog* log_;
    std::mutex* storeLock_;
    std::function<void(size_t, size_t)> progress_;
    size_t fetched_ = 0;
    size_t removed_ = 0;
    size_t batch_ = kMultigetBatch;
};

// COLORREF (0x00BBGGRR) of "#RRGGBB" or "#RRGGBBAA"; `fallback` when unreadable.
int32_t CalDavColor(const std::string& text, int32_t fallback);

}  // namespace googledata
