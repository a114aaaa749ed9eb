// The CalDAV state of CalendarEventDB: resources with their ETags and the
// collections' change tags and sync tokens, next to the EVENT rows they made.
#include "googledata/CalendarEventDB.h"
#include "googledata/EventColumns.h"
#include "googledata/ProtocolNumbers.h"
#include "googledata/SqlText.h"

namespace googledata {

using sql::Quote;

namespace {

enum Handler : long {
    kHandlerDavTables = 3401,
    kHandlerSetDavResource,
    kHandlerGetDavResources,
    kHandlerDeleteDavResource,
    kHandlerGetDavResourceEvents,
    kHandlerDeleteEventRow,
    kHandlerSetDavCollectionState,
    kHandlerGetDavCollectionState,
    kHandlerDeleteDavCalendar,
};

}  // namespace

bool CalendarEventDB::CreateDavTables() {
    return Guarded("googledata::CalendarEventDB::CreateDavTables", kHandlerDavTables, [&] {
        return access_->Execute(
                   "CREATE TABLE IF NOT EXISTS DAV_RESOURCE (calendarURI TEXT NOT NULL, href TEXT "
                   "NOT NULL, etag TEXT, PRIMARY KEY (calendarURI, href))") &&
               access_->Execute(
                   "CREATE TABLE IF NOT EXISTS DAV_COLLECTION (calendarURI TEXT PRIMARY KEY, "
                   "ctag TEXT, syncToken TEXT)") &&
               access_->Execute(
                   "CREATE INDEX IF NOT EXISTS EVENT_DAV_ORIGINAL ON "
                   "EVENT(calendarURI, originalEvent)");
    });
}

bool CalendarEventDB::SetDavResource(const std::string& uri, const std::string& href,
                                     const std::string& etag) {
    return CreateDavTables() &&
           Guarded("googledata::CalendarEventDB::SetDavResource", kHandlerSetDavResource, [&] {
               return access_->Execute(
                   "INSERT OR REPLACE INTO DAV_RESOURCE(calendarURI, href, etag) VALUES (" +
                   Quote(uri) + "," + Quote(href) + "," + Quote(etag) + ")");
           });
}

bool CalendarEventDB::GetDavResources(const std::string& uri,
                                      std::vector<std::pair<std::string, std::string>>& resources) {
    resources.clear();
    return CreateDavTables() &&
           Guarded("googledata::CalendarEventDB::GetDavResources", kHandlerGetDavResources, [&] {
               return access_->Execute(
                   "SELECT href, etag FROM DAV_RESOURCE WHERE calendarURI=" + Quote(uri),
                   [&](const ResultRow& row) {
                       resources.emplace_back(sql::Text(row, 0), sql::Text(row, 1));
                   });
           });
}

bool CalendarEventDB::DeleteDavResource(const std::string& uri, const std::string& href) {
    return CreateDavTables() &&
           Guarded("googledata::CalendarEventDB::DeleteDavResource", kHandlerDeleteDavResource,
                   [&] {
                       const std::string rows = " FROM EVENT WHERE calendarURI=" + Quote(uri) +
                                                " AND (id=" + Quote(href) +
                                                " OR originalEvent=" + Quote(href) + ")";
                       return access_->Execute(
                                  "DELETE FROM REMINDER WHERE localEventID IN (SELECT "
                                  "localEventID" +
                                  rows + ")") &&
                              access_->Execute("DELETE" + rows) &&
                              access_->Execute("DELETE FROM DAV_RESOURCE WHERE calendarURI=" +
                                               Quote(uri) + " AND href=" + Quote(href));
                   });
}

bool CalendarEventDB::GetDavResourceEvents(const std::string& uri, const std::string& href,
                                           std::list<PrimitiveEvent>& events) {
    events.clear();
    return CreateDavTables() &&
           Guarded("googledata::CalendarEventDB::GetDavResourceEvents",
                   kHandlerGetDavResourceEvents, [&] {
                       return SelectEvents(
                           "SELECT " + EventColumns::List() +
                               " FROM EVENT WHERE calendarURI=" + Quote(uri) +
                               " AND (id=" + Quote(href) + " OR originalEvent=" + Quote(href) +
                               ") ORDER BY recurrenceType=" + std::to_string(RECURRENCE_EXCEPTION) +
                               ", startTime",
                           events, nullptr);
                   });
}

bool CalendarEventDB::DeleteEventRow(const std::string& uri, const std::string& lid) {
    return Guarded("googledata::CalendarEventDB::DeleteEventRow", kHandlerDeleteEventRow, [&] {
        return DeleteReminders(lid) &&
               access_->Execute("DELETE FROM EVENT WHERE calendarURI=" + Quote(uri) +
                                " AND localEventID=" + Quote(lid));
    });
}

bool CalendarEventDB::SetDavCollectionState(const std::string& uri, const std::string& ctag,
                                            const std::string& syncToken) {
    return CreateDavTables() &&
           Guarded("googledata::CalendarEventDB::SetDavCollectionState",
                   kHandlerSetDavCollectionState, [&] {
                       return access_->Execute(
                           "INSERT OR REPLACE INTO DAV_COLLECTION(calendarURI, ctag, syncToken) "
                           "VALUES (" +
                           Quote(uri) + "," + Quote(ctag) + "," + Quote(syncToken) + ")");
                   });
}

bool CalendarEventDB::GetDavCollectionState(const std::string& uri, std::string& ctag,
                                            std::string& syncToken) {
    ctag.clear();
    syncToken.clear();
    return CreateDavTables() &&
           Guarded(
               "googledata::CalendarEventDB::GetDavCollectionState", kHandlerGetDavCollectionState,
               [&] {
                   return access_->Execute(
                       "SELECT ctag, syncToken FROM DAV_COLLECTION WHERE calendarURI=" + Quote(uri),
                       [&](const ResultRow& row) {
                           ctag = sql::Text(row, 0);
                           syncToken = sql::Text(row, 1);
                       });
               });
}

bool CalendarEventDB::DeleteDavCalendar(const std::string& uri) {
    if (!CreateDavTables()) {
        return false;
    }
    BeginTransaction("davcal");
    const bool ok =
        Guarded("googledata::CalendarEventDB::DeleteDavCalendar", kHandlerDeleteDavCalendar, [&] {
            const std::string where = " WHERE calendarURI=" + Quote(uri);
            const std::string events = "(SELECT localEventID FROM EVENT" + where + ")";
            return access_->Execute("DELETE FROM REMINDER WHERE localEventID IN " + events) &&
                   access_->Execute("DELETE FROM GUEST WHERE localEventID IN " + events) &&
                   access_->Execute("DELETE FROM EVENT" + where) &&
                   access_->Execute("DELETE FROM HOLIDAY" + where) &&
                   access_->Execute("DELETE FROM DAV_RESOURCE" + where) &&
                   access_->Execute("DELETE FROM DAV_COLLECTION" + where) &&
                   access_->Execute("DELETE FROM CALENDAR" + where);
        });
    EndTransaction("davcal");
    return ok;
}

}  // namespace googledata
