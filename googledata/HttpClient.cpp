#include "googledata/HttpClient.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

#include "platform/Folders.h"
#include "platform/PrivateText.h"
#include "platform/Time.h"

namespace googledata {
namespace {

constexpr long kCommLogLimit = 524288;  // bytes; beyond this comm.log becomes comm.log.bak
constexpr const char* kAtomContentType = "Content-Type: application/atom+xml";
constexpr const char* kAtomContentTypeUtf8 = "Content-Type: application/atom+xml; charset=UTF-8";
constexpr const char* kPrivateLine = "**** THIS LINE INCLUDES PRIVATE INFO, SO REMOVED ****";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

// The process-wide libcurl trace.
std::atomic<int> g_curlLogLevel{0};
std::mutex g_curlLogLock;  // guards g_curlLogPath and the trace file's writes
std::string g_curlLogPath;

// The upload state of a PUT.
struct ReadState {
    const char* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

// Where a response goes: the caller's text, up to a limit of bytes.
struct ResponseSink {
    std::string* text = nullptr;
    size_t limit = 0;
    bool tooLarge = false;
};

size_t WriteResponse(char* data, size_t size, size_t count, void* out) {
    auto* sink = static_cast<ResponseSink*>(out);
    const size_t n = size * count;
    if (n > sink->limit - std::min(sink->limit, sink->text->size())) {
        sink->tooLarge = true;
        return 0;  // less than was given: libcurl ends the transfer
    }
    sink->text->append(data, n);
    return n;
}

size_t ReadBody(char* buffer, size_t size, size_t count, void* in) {
    auto* state = static_cast<ReadState*>(in);
    const size_t remaining = state->size - state->position;
    const size_t n = std::min(remaining, size * count);
    std::memcpy(buffer, state->data + state->position, n);
    state->position += n;
    return n;
}

int SeekBody(void* in, curl_off_t offset, int origin) {
    auto* state = static_cast<ReadState*>(in);
    if (origin != SEEK_SET || offset < 0 || static_cast<size_t>(offset) > state->size) {
        return CURL_SEEKFUNC_FAIL;
    }
    state->position = static_cast<size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

// The libcurl socket callbacks: every socket of a transfer is listed in the
// client's HttpLiveSockets while it is open, so Abort() can shut it down.
curl_socket_t OpenSocket(void* clientp, curlsocktype, curl_sockaddr* address) {
    auto* live = static_cast<HttpLiveSockets*>(clientp);
    std::lock_guard<std::mutex> guard(live->mutex);
    if (live->aborted) {
        return CURL_SOCKET_BAD;
    }
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd >= 0) {
        live->fds.insert(fd);
    }
    return fd >= 0 ? fd : CURL_SOCKET_BAD;
}

int CloseSocket(void* clientp, curl_socket_t fd) {
    auto* live = static_cast<HttpLiveSockets*>(clientp);
    std::lock_guard<std::mutex> guard(live->mutex);
    live->fds.erase(fd);
    return ::close(fd);
}

// Called by libcurl about once a second while a transfer waits, and at
// every progress: a non-zero answer ends the transfer.
int TransferProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<HttpLiveSockets*>(clientp)->aborted ? 1 : 0;
}

bool IsLoopbackHost(std::string host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    for (char& c : host) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

struct UrlFree {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// The lower-case scheme and the host of `url`; false when it does not read.
bool SchemeAndHost(const std::string& url, std::string& scheme, std::string& host) {
    std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* part = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &part, 0) != CURLUE_OK) {
        return false;
    }
    scheme = part;
    curl_free(part);
    part = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK) {
        return false;
    }
    host = part;
    curl_free(part);
    for (char& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return true;
}

}  // namespace

bool IsPermittedAddress(const std::string& url) {
    std::string scheme, host;
    if (!SchemeAndHost(url, scheme, host)) {
        return false;
    }
    return scheme == "https" || (scheme == "http" && IsLoopbackHost(host));
}

std::string MaskTraceText(std::string text) {
    if (text.find("Passwd") != std::string::npos) {
        text = kPrivateLine;
    }
    if (text.find("valueString") != std::string::npos) {
        text = kPrivateLine;
    }
    if (text.find("GoogleLogin auth=") != std::string::npos ||
        text.find("Authorization:") != std::string::npos) {
        text = kPrivateLine;
    }
    const auto at = text.find('@');
    if (at != std::string::npos) {
        const size_t first = at >= 9 ? at - 9 : 0;
        for (size_t i = first; i <= at; ++i) {
            text[i] = '*';
        }
    }
    if (text.size() >= 80) {
        text.resize(80);
    }
    return text;
}

namespace {

int CurlTrace(CURL*, curl_infotype type, char* data, size_t size, void* account) {
    // The account is masked at every level, in its "@" and "%40" forms.
    std::string text =
        platform::MaskAccount(std::string(data, size), *static_cast<const std::string*>(account));
    const int level = g_curlLogLevel.load();
    if (level == 1) {
        text = MaskTraceText(std::move(text));
    }
    std::tm tm{};
    platform::CTime(platform::NowSeconds()).GetLocalTm(tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "<%d> %02d:%02d:%02d.%03u ------\n", static_cast<int>(type),
                  tm.tm_hour, tm.tm_min, tm.tm_sec, platform::GetTickCount() % 1000);
    std::lock_guard<std::mutex> guard(g_curlLogLock);
    File f(std::fopen(g_curlLogPath.c_str(), "ab"));
    if (f) {
        std::fputs(stamp, f.get());
        std::fwrite(text.data(), 1, text.size(), f.get());
        std::fputc('\n', f.get());
    }
    return 0;
}

// The folder of the system's CA files that libcurl was built to use, for
// the case where an extra CA file takes the place of its default bundle.
std::string SystemCaPath() {
    static const std::string path = [] {
        const char* candidates[] = {"/etc/ssl/certs", "/etc/pki/tls/certs", "/etc/ssl"};
        for (const char* c : candidates) {
            if (platform::IsDirectory(c)) {
                return std::string(c);
            }
        }
        return std::string();
    }();
    return path;
}

}  // namespace

struct HttpClient::Handle {
    struct Cleanup {
        void operator()(CURL* c) const { curl_easy_cleanup(c); }
    };
    std::unique_ptr<CURL, Cleanup> curl;
};

HttpClient::HttpClient() : errorBuffer(new char[CURL_ERROR_SIZE]()), handle(new Handle) {
    curl_global_init(CURL_GLOBAL_ALL);
    handle->curl.reset(curl_easy_init());
}

HttpClient::~HttpClient() = default;

void HttpClient::ResetHandle() {
    handle->curl.reset();
    handle->curl.reset(curl_easy_init());
}

void HttpClient::Abort() {
    live.aborted = true;
    std::lock_guard<std::mutex> guard(live.mutex);
    for (const int fd : live.fds) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

void HttpClient::ClearAbort() {
    live.aborted = false;
}

void HttpClient::SetProxy(const std::string& p, const std::string& user,
                          const std::string& password) {
    proxy = p;
    proxyUser = user;
    proxyPassword = password;
}

void HttpClient::SetExtraCaFile(const std::string& path) {
    extraCaFile = path;
}

void HttpClient::SetTimeout(long seconds) {
    timeoutSeconds = seconds;
}

void HttpClient::SetResponseLimit(size_t bytes) {
    responseLimit = bytes;
}

void HttpClient::SetHttpLog(const std::string& path) {
    httpLogEnabled = true;
    httpLogPath = path;
}

void HttpClient::SetCurlLog(int level, const std::string& path) {
    std::lock_guard<std::mutex> guard(g_curlLogLock);
    g_curlLogLevel = level;
    g_curlLogPath = path;
    if (level > 0) {
        File f(std::fopen(path.c_str(), "wb"));
    }
}

void HttpClient::SetCommLogPath(const std::string& path) {
    commLogPath = path;
}

std::string HttpClient::GetCommLogPath() const {
    return commLogPath.empty() ? platform::GetDataFolder() + "/log/comm.log" : commLogPath;
}

std::string HttpClient::Escape(const std::string& text) {
    char* escaped =
        curl_easy_escape(handle->curl.get(), text.data(), static_cast<int>(text.size()));
    if (!escaped) {
        return {};
    }
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

void HttpClient::WriteCommLog(const std::string& message) {
    const std::string text = platform::MaskAccount(message, accountId);
    const std::string path = GetCommLogPath();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > kCommLogLimit) {
        // rename() replaces an old backup, so the log never takes more than
        // about twice the limit.
        std::rename(path.c_str(), (path + ".bak").c_str());
    }
    std::tm tm{};
    platform::CTime(platform::NowSeconds()).GetLocalTm(tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d %02d:%02d:%02d.%03ld", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<long>(platform::GetTickCount() % 1000));
    File f(std::fopen(path.c_str(), "ab"));
    if (!f) {
        return;
    }
    std::fputs(stamp, f.get());
    std::fwrite(text.data(), 1, text.size(), f.get());
    std::fputc('\n', f.get());
}

void HttpClient::WriteHttpLog(const char* label, const std::string& body, const std::string& url) {
    if (!httpLogEnabled) {
        return;
    }
    File f(std::fopen(httpLogPath.c_str(), "ab"));
    if (!f) {
        return;
    }
    std::fputs(label, f.get());
    std::fputs("-----------------------------------\n", f.get());
    std::fwrite(body.data(), 1, body.size(), f.get());
    std::fputc('\n', f.get());
    std::fwrite(url.data(), 1, url.size(), f.get());
    std::fputc('\n', f.get());
}

bool HttpClient::Request(const std::string& method, const std::string& url,
                         const std::vector<std::string>& headerLines, const RequestBody& body,
                         std::string& response, int& httpCode) {
    httpCode = 0;
    WriteCommLog(method + ": " + url);
    if (method != "GET" && method != "POST" && method != "PUT" && method != "DELETE") {
        return false;
    }
    if (live.aborted) {
        response = kAbortedText;
        return false;
    }
    // The password and the token must never travel in clear.
    if (!IsPermittedAddress(url)) {
        response = kRefusedAddressText + url;
        WriteCommLog(response);
        return false;
    }
    if (method == "POST" || method == "PUT") {
        // A fresh handle, so no state of an earlier upload carries over.
        ResetHandle();
    }
    CURL* curl = handle->curl.get();
    if (!curl) {
        response = "libcurl handle could not be created";
        return false;
    }
    errorBuffer[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer.get());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    // A redirect may not leave https (a plain-http loopback address, used by
    // tests, may go on to http).
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR,
                     url.compare(0, 6, "https:") == 0 ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &live);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &CloseSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &live);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &TransferProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &live);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    // The whole answer is held in memory and parsed: it is refused beyond
    // the limit, at once when its announced length is larger.
    ResponseSink sink;
    sink.text = &response;
    sink.limit = responseLimit;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(responseLimit));
    // The account password and token travel over this connection: the peer
    // and its host name are always verified.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!extraCaFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, extraCaFile.c_str());
        const std::string& systemPath = SystemCaPath();
        if (!systemPath.empty()) {
            curl_easy_setopt(curl, CURLOPT_CAPATH, systemPath.c_str());
        }
    }
    curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 0L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 20L);
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    if (!proxy.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH,
                         static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM));
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxyPassword.c_str());
    }
    if (g_curlLogLevel.load() > 0) {
        curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &CurlTrace);
        curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &accountId);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    }

    Slist list;
    auto append = [&list](const std::string& line) {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown) {
            (void)list.release();
            list.reset(grown);
        }
    };
    for (const auto& line : headerLines) {
        append(line);
    }

    std::string fileBuffer;
    ReadState readState;
    if (method == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        append(kAtomContentType);
    } else if (method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_302));
        const char* data = body.text;
        size_t size = data ? std::strlen(data) : 0;
        if (!data) {
            std::ifstream in(body.filePath, std::ios::binary);
            if (!in) {
                return false;
            }
            fileBuffer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            data = fileBuffer.data();
            size = fileBuffer.size();
        }
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, data);
    } else if (method == "PUT") {
        readState.data = body.text ? body.text : "";
        readState.size = std::strlen(readState.data);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &ReadBody);
        curl_easy_setopt(curl, CURLOPT_READDATA, &readState);
        curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, &SeekBody);
        curl_easy_setopt(curl, CURLOPT_SEEKDATA, &readState);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);  // an HTTP upload is a PUT
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(readState.size));
    } else {
        // Clears what an earlier upload on this handle left behind.
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
    }

    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list.get());
    const CURLcode rc = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    httpCode = static_cast<int>(code);
    // The list dies with this call; the handle must not keep pointing at it
    // (nor at the body) for its next use.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    if (method == "DELETE") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    }

    bool ok = true;
    const bool tooLarge = sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED;
    if (rc != CURLE_OK && live.aborted) {
        response = kAbortedText;
        ok = false;
    } else if (tooLarge) {
        response = "Response larger than " + std::to_string(responseLimit) + " bytes, refused";
        ok = false;
    } else if (rc != CURLE_OK) {
        response = errorBuffer[0] ? errorBuffer.get() : curl_easy_strerror(rc);
        ok = false;
    } else if (httpCode >= 400) {
        ok = false;
    }
    char result[64];
    std::snprintf(result, sizeof result, "curl:%d http:%d", static_cast<int>(rc), httpCode);
    WriteCommLog(httpCode >= 400 || tooLarge ? std::string(result) + "\n" + response
                                             : std::string(result));
    return ok;
}

std::vector<std::string> HttpClient::ServiceHeaders(bool withAuth,
                                                    const std::string& extraHeader) const {
    std::vector<std::string> lines{"GData-Version: 2"};
    if (withAuth) {
        lines.push_back(authHeader);
    }
    if (!extraHeader.empty()) {
        lines.push_back(extraHeader);
    }
    return lines;
}

bool HttpClient::Get(const std::string& url, std::string& response, bool withAuth,
                     const std::string& extraHeader, int& httpCode) {
    WriteHttpLog("TX -GET", "", url);
    const bool ok =
        Request("GET", url, ServiceHeaders(withAuth, extraHeader), {}, response, httpCode);
    WriteHttpLog("RX -GET", response, url);
    return ok;
}

bool HttpClient::Post(const std::string& url, const std::string& body, std::string& response,
                      bool withAuth, const std::string& extraHeader, int& httpCode) {
    auto lines = ServiceHeaders(withAuth, extraHeader);
    lines.push_back(kAtomContentTypeUtf8);
    WriteHttpLog("TX -POST", body, url);
    RequestBody requestBody;
    requestBody.text = body.c_str();
    const bool ok = Request("POST", url, lines, requestBody, response, httpCode);
    WriteHttpLog("RX -POST", response, url);
    return ok;
}

bool HttpClient::Put(const std::string& url, const std::string& body, std::string& response,
                     bool withAuth, const std::string& extraHeader, int& httpCode) {
    auto lines = ServiceHeaders(withAuth, extraHeader);
    lines.push_back(kAtomContentTypeUtf8);
    lines.push_back("If-Match: *");
    WriteHttpLog("TX -PUT", body, url);
    RequestBody requestBody;
    requestBody.text = body.c_str();
    const bool ok = Request("PUT", url, lines, requestBody, response, httpCode);
    WriteHttpLog("RX -PUT", response, url);
    return ok;
}

bool HttpClient::PlainGet(const std::string& method, const std::string& url, std::string& response,
                          int& httpCode) {
    return Request(method, url, {}, {}, response, httpCode);
}

bool HttpClient::ClientLogin(const std::string& email, const std::string& password,
                             const std::string& base, std::string& response, int& httpCode) {
    accountId.clear();
    for (char c : email) {
        if (c == '@') {
            accountId += "%40";
        } else {
            accountId += c;
        }
    }
    const std::string form = "Email=" + Escape(email) + "&Passwd=" + Escape(password) +
                             "&accountType=" + "HOSTED_OR_GOOGLE" + "&source=wren" + "&service=cl";
    RequestBody body;
    body.text = form.c_str();
    const bool ok = Request("POST", base + "/accounts/ClientLogin", {}, body, response, httpCode);
    if (ok) {
        const auto at = response.find("Auth=");
        if (at != std::string::npos) {
            const size_t begin = at + 5;
            const size_t end = response.empty() ? begin : response.size() - 1;
            authHeader = "Authorization: GoogleLogin auth=" +
                         (end > begin ? response.substr(begin, end - begin) : std::string());
        }
    }
    return ok;
}

}  // namespace googledata
