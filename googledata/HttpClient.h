// googledata::HttpClient: every HTTP(S) exchange of the program, over one
// libcurl easy handle: the account login, GETs of feeds, POSTs of new entries,
// PUTs of changed entries and plain GETs (version check). Keeps the
// authorisation header the login yields, applies the proxy settings and
// verifies the server's certificate and host name against the system's CA
// store (plus an optional extra CA file). Writes the always-on "comm.log",
// an optional HTTP trace and an optional libcurl trace with private data
// masked.
//
// Owns its libcurl handle. One instance per thread: the calendar service
// client's instance is used only by the sync worker, the dispatch window has
// its own; only Abort() and ClearAbort() may be called from another thread.
// The libcurl trace level and file are process-wide; set them with
// SetCurlLog() before any request runs.
//
// Only "https://" addresses are requested (a loopback host may also use
// "http://", for tests); any other address is refused before a connection
// is made, so the password never travels in clear.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace googledata {

// The body of a request: `text` when it is set, else the whole content of
// the file at `filePath`.
struct RequestBody {
    const char* text = nullptr;
    std::string filePath;
};

// The level-1 masking of one libcurl trace text: a text holding a password
// ("Passwd"), a place ("valueString") or an authorisation header (the login
// token, the proxy account) becomes a fixed notice; the "@" and up to nine characters before it
// become "*"; the result is cut to 80 bytes. Used by the trace writer; visible for tests.
std::string MaskTraceText(std::string text);

// True when `url` may be requested: an "https" address, or an "http" one whose
// host is a loopback address (127.0.0.0/8, ::1, localhost).
bool IsPermittedAddress(const std::string& url);

// The start of the failure text of a refused address.
inline constexpr const char* kRefusedAddressText = "Refused an address that is not https: ";
// The failure text of a transfer cut short by Abort().
inline constexpr const char* kAbortedText = "Transfer aborted: the program is closing";

// The open sockets of one client, so that Abort() can shut them down from
// another thread; filled and emptied by the libcurl socket callbacks.
struct HttpLiveSockets {
    std::mutex mutex;  // guards fds and the closing of every listed socket
    std::set<int> fds;
    std::atomic<bool> aborted{false};
};

class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // One exchange. `method` is "GET", "POST", "PUT", "DELETE", or one of
    // the WebDAV methods "PROPFIND" and "REPORT" (sent with the body like a
    // POST); anything else returns false without a transfer. `httpCode` is 0 when no response
    // arrived. On a transfer failure `response` holds libcurl's error text.
    // True when the transfer worked and the status is below 400.
    bool Request(const std::string& method, const std::string& url,
                 const std::vector<std::string>& headerLines, const RequestBody& body,
                 std::string& response, int& httpCode);

    // Service requests: "GData-Version: 2", the authorisation line when
    // `withAuth`, the extra line when not empty, then the content type lines
    // of POST and PUT (and "If-Match: *" for PUT).
    bool Get(const std::string& url, std::string& response, bool withAuth,
             const std::string& extraHeader, int& httpCode);
    bool Post(const std::string& url, const std::string& body, std::string& response, bool withAuth,
              const std::string& extraHeader, int& httpCode);
    bool Put(const std::string& url, const std::string& body, std::string& response, bool withAuth,
             const std::string& extraHeader, int& httpCode);
    // A request with no header lines of its own (the version check).
    bool PlainGet(const std::string& method, const std::string& url, std::string& response,
                  int& httpCode);

    // ClientLogin at `base` + "/accounts/ClientLogin". On success the
    // authorisation header is taken from the "Auth=" line; a failed login
    // keeps the previous one.
    bool ClientLogin(const std::string& email, const std::string& password, const std::string& base,
                     std::string& response, int& httpCode);

    // Ends the running transfer at once (its socket is shut down) and makes
    // every later request fail at once with kAbortedText, until ClearAbort().
    // Any thread.
    void Abort();
    void ClearAbort();

    // Server account for HTTP authentication (Basic or Digest, as the server
    // offers; libcurl negotiates). Empty user: no authentication is sent.
    void SetCredentials(const std::string& user, const std::string& password);
    // The response header lines of the last Request() ("Name: value", CR LF
    // removed), the status line and any redirect's lines included.
    const std::vector<std::string>& LastResponseHeaders() const { return responseHeaders; }
    // True when the last Request() ended without a whole response (libcurl
    // failed: connection, TLS, time-out, refused size), whatever status an
    // earlier round of it (an authentication probe) left.
    bool LastTransferFailed() const { return lastTransferFailed; }
    // The value of the last response's header `name` (case-insensitive),
    // empty when it had none.
    std::string LastResponseHeader(const std::string& name) const;

    // URL-escapes the whole text.
    std::string Escape(const std::string& text);

    // Proxy address as libcurl takes it ("host" or "host:port"); empty means
    // no proxy.
    void SetProxy(const std::string& proxy, const std::string& user, const std::string& password);
    // An extra PEM CA file trusted besides the system's CA store (self-hosted
    // servers, tests). Empty: the system's store only.
    void SetExtraCaFile(const std::string& path);
    // Whole-transfer time-out in seconds (60 unless a test shortens it).
    void SetTimeout(long seconds);
    // The largest response accepted, in bytes (kResponseLimit unless a test
    // lowers it). A larger one fails the request: false, the status that
    // arrived, and the response text "Response larger than N bytes, refused",
    // which comm.log also receives.
    void SetResponseLimit(size_t bytes);
    // 64 MiB: a page of 500 entries is about 1 MB.
    static constexpr size_t kResponseLimit = 64u * 1024 * 1024;

    // HTTP trace of request and response bodies into `path` (appended).
    void SetHttpLog(const std::string& path);
    // Process-wide libcurl trace: level 0 off, 1 masked and cut, 2 and above
    // everything. At a level above 0 the file is emptied at once.
    static void SetCurlLog(int level, const std::string& path);

    // Appends one stamped line to comm.log, the account masked.
    void WriteCommLog(const std::string& text);
    // comm.log's path; by default "<data folder>/log/comm.log".
    void SetCommLogPath(const std::string& path);
    std::string GetCommLogPath() const;

    const std::string& GetAuthHeader() const { return authHeader; }
    const std::string& GetAccountId() const { return accountId; }

private:
    struct Handle;
    void WriteHttpLog(const char* label, const std::string& body, const std::string& url);
    std::vector<std::string> ServiceHeaders(bool withAuth, const std::string& extraHeader) const;
    void ResetHandle();

    // Declared first: the handle's connections close through it.
    HttpLiveSockets live;
    std::unique_ptr<char[]> errorBuffer;
    std::unique_ptr<Handle> handle;
    std::string proxy;
    std::string proxyUser;
    std::string proxyPassword;
    std::string accountId;
    std::string authHeader;
    bool httpLogEnabled = false;
    std::string httpLogPath;
    std::string extraCaFile;
    long timeoutSeconds = 60;
    size_t responseLimit = kResponseLimit;
    std::string commLogPath;
    std::string serverUser;
    std::string serverPassword;
    std::vector<std::string> responseHeaders;
    bool lastTransferFailed = false;
};

}  // namespace googledata
