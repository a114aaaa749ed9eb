// googledata::CalDavClient: the requests of a CalDAV server (RFC 4791 over
// WebDAV): discovery of the account's calendars (RFC 6764 well-known address,
// current-user-principal, calendar-home-set, a depth-1 PROPFIND of the home),
// the listing of a calendar's resources with their ETags, calendar-multiget,
// sync-collection (RFC 6578), and the PUT and DELETE of one resource with its
// ETag precondition. It speaks HTTP only; what the answers mean for the local
// store is CalDavSync's business.
//
// Uses (does not own) an HttpClient and an XmlContext; like them it is used by
// one thread at a time (the sync worker, or a test).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "googledata/ProtocolNumbers.h"

namespace googledata {

class HttpClient;
class XmlContext;

// The outcome of one CalDAV exchange.
enum class CalDavStatus {
    kOk = 0,
    kAuthFailed,          // 401: wrong user name or password
    kInsecure,            // plain HTTP to a host that is not a loopback address
    kTransport,           // no answer (connection, TLS, time-out)
    kServerError,         // any other status of 400 and above
    kBadResponse,         // an answer that is not the WebDAV document expected
    kPreconditionFailed,  // 412: the resource changed on the server
    kInvalidSyncToken,    // the server no longer knows the sync token
    kNotFound,            // 404 (or 410) of a resource
};

// One calendar collection of the account.
struct CalDavCalendar {
    std::string url;          // absolute URL of the collection, ending in "/"
    std::string displayName;  // may be empty
    std::string color;        // "#RRGGBB" or "#RRGGBBAA" as the server keeps it; may be empty
    std::string timezone;     // the VCALENDAR text of calendar-timezone; may be empty
    int32_t accessLevel = ACCESS_READ;  // ACCESS_READ or ACCESS_OWNER
    std::string ctag;                   // getctag; may be empty
    std::string syncToken;              // sync-token; may be empty
};

// One resource of a calendar: its address (a path as the server wrote it),
// its ETag (quotes kept) and, when fetched, its iCalendar text.
struct CalDavResource {
    std::string href;
    std::string etag;
    std::string calendarData;
};

class CalDavClient {
public:
    CalDavClient(HttpClient& http, XmlContext& xml);

    // The server address ("https://host[:port][/path]"), the account. The
    // address must be HTTPS unless its host is a loopback address; otherwise
    // every request fails with kInsecure and nothing is sent.
    void SetAccount(const std::string& server, const std::string& user,
                    const std::string& password);

    // The calendar collections that hold events, found from the server
    // address. An address that already names a principal or a calendar home
    // works too (the well-known address is tried first, then the address).
    CalDavStatus Discover(std::vector<CalDavCalendar>& calendars);

    // Depth-1 PROPFIND of a calendar: its members' hrefs and ETags, and the
    // collection's own getctag and sync-token.
    CalDavStatus ListResources(const std::string& calendarUrl, std::vector<CalDavResource>& out,
                               std::string& ctag, std::string& syncToken);
    // calendar-multiget of the hrefs; `out` receives those the server sent
    // (a member gone meanwhile is left out).
    CalDavStatus Multiget(const std::string& calendarUrl, const std::vector<std::string>& hrefs,
                          std::vector<CalDavResource>& out);
    // sync-collection since `token` (empty: the whole collection). `changed`
    // gets hrefs and ETags of new and changed members, `removed` the hrefs of
    // deleted ones, `newToken` the token to store. kInvalidSyncToken when
    // the server refuses the token: the caller downloads everything.
    CalDavStatus SyncCollection(const std::string& calendarUrl, const std::string& token,
                                std::vector<CalDavResource>& changed,
                                std::vector<std::string>& removed, std::string& newToken);
    // PUT of iCalendar text. An empty `ifMatch` creates the resource
    // ("If-None-Match: *"), else it replaces the version with that ETag.
    // `newEtag` is the ETag the server answered with (may be empty: the
    // server did not say; the next listing gives it).
    CalDavStatus Put(const std::string& href, const std::string& ics, const std::string& ifMatch,
                     std::string& newEtag);
    // DELETE of the version with that ETag (empty: any version). A resource
    // already gone counts as deleted.
    CalDavStatus Delete(const std::string& href, const std::string& ifMatch);
    // A plain GET of one resource (its text and ETag).
    CalDavStatus Get(const std::string& href, CalDavResource& out);

    // The absolute URL of an href (a path, or already absolute).
    std::string Absolute(const std::string& href) const;
    // The status and text of the last failed exchange, for the log.
    int LastHttpStatus() const { return lastStatus_; }
    const std::string& LastError() const { return lastError_; }

private:
    CalDavStatus Exchange(const std::string& method, const std::string& url, const char* depth,
                          const std::string& body, const std::vector<std::string>& extraHeaders,
                          std::string& response);
    CalDavStatus Propfind(const std::string& url, const char* depth, const std::string& body,
                          std::string& response);
    bool FindHref(const std::string& url, const char* property, std::string& href);

    HttpClient& http_;
    XmlContext& xml_;
    std::string server_;  // scheme://host[:port], no path
    std::string start_;   // the address as given
    bool secure_ = false;
    int lastStatus_ = 0;
    std::string lastError_;
};

}  // namespace googledata
