#include "googledata/CalDavClient.h"

#include <cstring>
#include <functional>
#include <map>

#include "app/MaintenanceLog.h"
#include "googledata/HttpClient.h"
#include "googledata/XercesSupport.h"

namespace googledata {
namespace {

using xercesc::DOMElement;
using xercesc::DOMNode;

// The parser runs with namespaces off (the readers share it), so elements
// are matched by the local part of their name: every name read here is unique
// between the DAV:, CalDAV, CalendarServer and Apple namespaces.
bool LocalIs(const DOMNode* node, const char* local) {
    const std::string name = ToUtf8(node->getNodeName());
    const size_t colon = name.find(':');
    return (colon == std::string::npos ? name : name.substr(colon + 1)) == local;
}

void ForEachChild(const DOMNode* node, const char* local,
                  const std::function<void(const DOMElement*)>& visit) {
    for (DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) {
        if (c->getNodeType() == DOMNode::ELEMENT_NODE && (!local || LocalIs(c, local))) {
            visit(static_cast<const DOMElement*>(c));
        }
    }
}

const DOMElement* Child(const DOMNode* node, const char* local) {
    const DOMElement* found = nullptr;
    ForEachChild(node, local, [&](const DOMElement* e) {
        if (!found) {
            found = e;
        }
    });
    return found;
}

bool HasDescendant(const DOMNode* node, const char* local) {
    bool found = false;
    ForEachChild(node, nullptr, [&](const DOMElement* e) {
        found = found || LocalIs(e, local) || HasDescendant(e, local);
    });
    return found;
}

std::string Trimmed(std::string text) {
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when unreadable.
int StatusCode(const std::string& line) {
    const size_t blank = line.find(' ');
    return blank == std::string::npos ? 0 : std::atoi(line.c_str() + blank + 1);
}

// One DAV:response of a multistatus, with the properties the client reads
// (only those of a propstat whose status is 200).
struct DavResponse {
    std::string href;
    int status = 200;  // the response's own status, when it has one
    bool isCalendar = false;
    bool hasComponentSet = false;
    bool holdsEvents = false;
    bool writable = false;
    std::string displayName, color, timezone, ctag, syncToken, etag, calendarData;
    std::string principal, home;
};

struct Multistatus {
    std::vector<DavResponse> responses;
    std::string syncToken;  // the document's own (sync-collection)
};

bool ReadMultistatus(XmlContext& xml, const std::string& text, Multistatus& out) {
    const DOMElement* root =
        ParseBuffer(xml, text.data(), text.size(), false, nullptr, "<caldav> multistatus");
    if (!root || !LocalIs(root, "multistatus")) {
        if (root && xml.Log()) {
            xml.Log()->Write(Utility::kLogError, "<caldav> the answer is no multistatus");
        }
        return false;
    }
    if (const DOMElement* token = Child(root, "sync-token")) {
        out.syncToken = Trimmed(Text(token));
    }
    ForEachChild(root, "response", [&](const DOMElement* r) {
        DavResponse d;
        if (const DOMElement* href = Child(r, "href")) {
            d.href = Trimmed(Text(href));
        }
        if (const DOMElement* status = Child(r, "status")) {
            d.status = StatusCode(Trimmed(Text(status)));
        }
        ForEachChild(r, "propstat", [&](const DOMElement* ps) {
            const DOMElement* status = Child(ps, "status");
            if (status && StatusCode(Trimmed(Text(status))) != 200) {
                return;
            }
            const DOMElement* prop = Child(ps, "prop");
            if (!prop) {
                return;
            }
            ForEachChild(prop, nullptr, [&](const DOMElement* p) {
                if (LocalIs(p, "resourcetype")) {
                    d.isCalendar = Child(p, "calendar") != nullptr;
                } else if (LocalIs(p, "supported-calendar-component-set")) {
                    d.hasComponentSet = true;
                    ForEachChild(p, "comp", [&](const DOMElement* comp) {
                        d.holdsEvents = d.holdsEvents || Attr(comp, u"name") == "VEVENT";
                    });
                } else if (LocalIs(p, "current-user-privilege-set")) {
                    d.writable = HasDescendant(p, "write") || HasDescendant(p, "all") ||
                                 HasDescendant(p, "write-content");
                } else if (LocalIs(p, "displayname")) {
                    d.displayName = Trimmed(Text(p));
                } else if (LocalIs(p, "calendar-color")) {
                    d.color = Trimmed(Text(p));
                } else if (LocalIs(p, "calendar-timezone")) {
                    d.timezone = Text(p);
                } else if (LocalIs(p, "getctag")) {
                    d.ctag = Trimmed(Text(p));
                } else if (LocalIs(p, "sync-token")) {
                    d.syncToken = Trimmed(Text(p));
                } else if (LocalIs(p, "getetag")) {
                    d.etag = Trimmed(Text(p));
                } else if (LocalIs(p, "calendar-data")) {
                    d.calendarData = Text(p);
                } else if (LocalIs(p, "current-user-principal")) {
                    if (const DOMElement* h = Child(p, "href")) {
                        d.principal = Trimmed(Text(h));
                    }
                } else if (LocalIs(p, "calendar-home-set")) {
                    if (const DOMElement* h = Child(p, "href")) {
                        d.home = Trimmed(Text(h));
                    }
                }
            });
        });
        out.responses.push_back(std::move(d));
    });
    return true;
}

// The path of an absolute URL or href, without a trailing "/".
std::string PathOf(const std::string& url) {
    std::string path = url;
    const size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        const size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

}  // namespace

CalDavClient::CalDavClient(HttpClient& http, XmlContext& xml) : http_(http), xml_(xml) {}

void CalDavClient::SetAccount(const std::string& server, const std::string& user,
                              const std::string& password) {
    start_ = server;
    const size_t scheme = server.find("://");
    const size_t hostBegin = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = server.find('/', hostBegin);
    server_ = slash == std::string::npos ? server : server.substr(0, slash);
    // The same rule as every request of HttpClient: https, or http to a
    // loopback host.
    secure_ = IsPermittedAddress(server_ + "/");
    http_.SetCredentials(secure_ ? user : std::string(), secure_ ? password : std::string());
}

std::string CalDavClient::Absolute(const std::string& href) const {
    if (href.find("://") != std::string::npos) {
        return href;
    }
    return server_ + (href.empty() || href[0] != '/' ? "/" : "") + href;
}

CalDavStatus CalDavClient::Exchange(const std::string& method, const std::string& url,
                                    const char* depth, const std::string& body,
                                    const std::vector<std::string>& extraHeaders,
                                    std::string& response) {
    response.clear();
    lastStatus_ = 0;
    lastError_.clear();
    if (!secure_) {
        // The password would travel in the clear.
        lastError_ = "CalDAV server address is not https: " + start_;
        return CalDavStatus::kInsecure;
    }
    std::vector<std::string> headers = extraHeaders;
    if (depth) {
        headers.push_back(std::string("Depth: ") + depth);
    }
    if (!body.empty()) {
        headers.push_back(method == "PUT" ? "Content-Type: text/calendar; charset=utf-8"
                                          : "Content-Type: application/xml; charset=utf-8");
    }
    RequestBody requestBody;
    requestBody.text = body.c_str();
    int code = 0;
    const bool ok = http_.Request(method, url, headers, requestBody, response, code);
    lastStatus_ = code;
    if (ok) {
        return CalDavStatus::kOk;
    }
    lastError_ = method + " " + url + ": " + std::to_string(code) + " " + response.substr(0, 200);
    if (code == 0 || http_.LastTransferFailed()) {
        return CalDavStatus::kTransport;
    }
    if (code == 401) {
        return CalDavStatus::kAuthFailed;
    }
    if (code == 412) {
        return CalDavStatus::kPreconditionFailed;
    }
    if (code == 404 || code == 410) {
        return CalDavStatus::kNotFound;
    }
    return CalDavStatus::kServerError;
}

CalDavStatus CalDavClient::Propfind(const std::string& url, const char* depth,
                                    const std::string& body, std::string& response) {
    return Exchange("PROPFIND", url, depth, body, {}, response);
}

bool CalDavClient::FindHref(const std::string& url, const char* property, std::string& href) {
    const std::string body = std::string(kXmlHead) +
                             "<d:propfind xmlns:d=\"DAV:\" "
                             "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>"
                             "<d:current-user-principal/><c:calendar-home-set/>"
                             "</d:prop></d:propfind>";
    std::string response;
    if (Propfind(url, "0", body, response) != CalDavStatus::kOk) {
        return false;
    }
    Multistatus ms;
    if (!ReadMultistatus(xml_, response, ms)) {
        return false;
    }
    for (const DavResponse& r : ms.responses) {
        const std::string& value =
            std::strcmp(property, "current-user-principal") == 0 ? r.principal : r.home;
        if (!value.empty()) {
            href = value;
            return true;
        }
    }
    return false;
}

CalDavStatus CalDavClient::Discover(std::vector<CalDavCalendar>& calendars) {
    calendars.clear();
    // RFC 6764: the well-known address leads to the context path; a server
    // without it is asked at the address as given.
    std::string principal;
    for (const std::string& start : {server_ + "/.well-known/caldav", start_}) {
        if (FindHref(start, "current-user-principal", principal)) {
            break;
        }
        if (lastStatus_ == 401) {
            return CalDavStatus::kAuthFailed;
        }
        if (!secure_) {
            return CalDavStatus::kInsecure;
        }
    }
    std::string home;
    if (principal.empty() || !FindHref(Absolute(principal), "calendar-home-set", home)) {
        // An address that is itself the calendar home.
        if (lastStatus_ == 401) {
            return CalDavStatus::kAuthFailed;
        }
        if (lastStatus_ == 0) {
            return CalDavStatus::kTransport;
        }
        home = PathOf(start_) + "/";
    }
    const std::string body =
        std::string(kXmlHead) +
        "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
        "xmlns:cs=\"http://calendarserver.org/ns/\" xmlns:ic=\"http://apple.com/ns/ical/\">"
        "<d:prop><d:resourcetype/><d:displayname/><ic:calendar-color/><c:calendar-timezone/>"
        "<c:supported-calendar-component-set/><d:current-user-privilege-set/><cs:getctag/>"
        "<d:sync-token/></d:prop></d:propfind>";
    std::string response;
    const CalDavStatus status = Propfind(Absolute(home), "1", body, response);
    if (status != CalDavStatus::kOk) {
        return status;
    }
    Multistatus ms;
    if (!ReadMultistatus(xml_, response, ms)) {
        return CalDavStatus::kBadResponse;
    }
    for (const DavResponse& r : ms.responses) {
        if (!r.isCalendar || (r.hasComponentSet && !r.holdsEvents)) {
            continue;
        }
        CalDavCalendar c;
        c.url = Absolute(r.href);
        if (c.url.back() != '/') {
            c.url += '/';
        }
        c.displayName = r.displayName;
        c.color = r.color;
        c.timezone = r.timezone;
        c.accessLevel = r.writable ? ACCESS_OWNER : ACCESS_READ;
        c.ctag = r.ctag;
        c.syncToken = r.syncToken;
        calendars.push_back(std::move(c));
    }
    return CalDavStatus::kOk;
}

CalDavStatus CalDavClient::ListResources(const std::string& calendarUrl,
                                         std::vector<CalDavResource>& out, std::string& ctag,
                                         std::string& syncToken) {
    out.clear();
    const std::string body = std::string(kXmlHead) +
                             "<d:propfind xmlns:d=\"DAV:\" "
                             "xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop>"
                             "<d:resourcetype/><d:getetag/><cs:getctag/><d:sync-token/>"
                             "</d:prop></d:propfind>";
    std::string response;
    const CalDavStatus status = Propfind(calendarUrl, "1", body, response);
    if (status != CalDavStatus::kOk) {
        return status;
    }
    Multistatus ms;
    if (!ReadMultistatus(xml_, response, ms)) {
        return CalDavStatus::kBadResponse;
    }
    const std::string self = PathOf(calendarUrl);
    for (const DavResponse& r : ms.responses) {
        if (PathOf(r.href) == self) {
            ctag = r.ctag;
            syncToken = r.syncToken;
        } else if (r.status == 200 && !r.etag.empty()) {
            out.push_back({r.href, r.etag, {}});
        }
    }
    return CalDavStatus::kOk;
}

CalDavStatus CalDavClient::Multiget(const std::string& calendarUrl,
                                    const std::vector<std::string>& hrefs,
                                    std::vector<CalDavResource>& out) {
    std::string body = std::string(kXmlHead) +
                       "<c:calendar-multiget xmlns:d=\"DAV:\" "
                       "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop><d:getetag/>"
                       "<c:calendar-data/></d:prop>";
    for (const std::string& href : hrefs) {
        body += "<d:href>" + XmlEscape(href) + "</d:href>";
    }
    body += "</c:calendar-multiget>";
    std::string response;
    const CalDavStatus status = Exchange("REPORT", calendarUrl, "1", body, {}, response);
    if (status != CalDavStatus::kOk) {
        return status;
    }
    Multistatus ms;
    if (!ReadMultistatus(xml_, response, ms)) {
        return CalDavStatus::kBadResponse;
    }
    for (DavResponse& r : ms.responses) {
        if (r.status == 200 && !r.calendarData.empty()) {
            out.push_back({r.href, r.etag, std::move(r.calendarData)});
        }
    }
    return CalDavStatus::kOk;
}

CalDavStatus CalDavClient::SyncCollection(const std::string& calendarUrl, const std::string& token,
                                          std::vector<CalDavResource>& changed,
                                          std::vector<std::string>& removed,
                                          std::string& newToken) {
    changed.clear();
    removed.clear();
    const std::string body = std::string(kXmlHead) +
                             "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
                             XmlEscape(token) +
                             "</d:sync-token><d:sync-level>1</d:sync-level>"
                             "<d:prop><d:getetag/></d:prop></d:sync-collection>";
    std::string response;
    const CalDavStatus status = Exchange("REPORT", calendarUrl, "0", body, {}, response);
    if (status != CalDavStatus::kOk) {
        // RFC 6578: an unknown token is refused with DAV:valid-sync-token.
        if (!token.empty() && (lastStatus_ == 403 || lastStatus_ == 409 || lastStatus_ == 410) &&
            (response.find("valid-sync-token") != std::string::npos || lastStatus_ != 403)) {
            return CalDavStatus::kInvalidSyncToken;
        }
        return status;
    }
    Multistatus ms;
    if (!ReadMultistatus(xml_, response, ms)) {
        return CalDavStatus::kBadResponse;
    }
    const std::string self = PathOf(calendarUrl);
    for (const DavResponse& r : ms.responses) {
        if (PathOf(r.href) == self) {
            continue;
        }
        if (r.status == 404) {
            removed.push_back(r.href);
        } else if (!r.etag.empty()) {
            changed.push_back({r.href, r.etag, {}});
        }
    }
    newToken = ms.syncToken;
    return CalDavStatus::kOk;
}

CalDavStatus CalDavClient::Put(const std::string& href, const std::string& ics,
                               const std::string& ifMatch, std::string& newEtag) {
    newEtag.clear();
    std::string response;
    const CalDavStatus status =
        Exchange("PUT", Absolute(href), nullptr, ics,
                 {ifMatch.empty() ? "If-None-Match: *" : "If-Match: " + ifMatch}, response);
    if (status == CalDavStatus::kOk) {
        newEtag = http_.LastResponseHeader("ETag");
    }
    return status;
}

CalDavStatus CalDavClient::Delete(const std::string& href, const std::string& ifMatch) {
    std::string response;
    std::vector<std::string> headers;
    if (!ifMatch.empty()) {
        headers.push_back("If-Match: " + ifMatch);
    }
    const CalDavStatus status = Exchange("DELETE", Absolute(href), nullptr, "", headers, response);
    return status == CalDavStatus::kNotFound ? CalDavStatus::kOk : status;
}

CalDavStatus CalDavClient::Get(const std::string& href, CalDavResource& out) {
    std::string response;
    const CalDavStatus status = Exchange("GET", Absolute(href), nullptr, "", {}, response);
    if (status == CalDavStatus::kOk) {
        out.href = href;
        out.etag = http_.LastResponseHeader("ETag");
        out.calendarData = std::move(response);
    }
    return status;
}

}  // namespace googledata
