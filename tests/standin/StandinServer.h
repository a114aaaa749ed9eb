// testsupport::StandinServer: starts tests/standin/standin.py (a stand-in for
// the calendar service over HTTPS on 127.0.0.1, with the test CA the build
// made once), seeds it and arms its faults through its /_control/ interface,
// and stops it.
//
// Under CTest the cases of a test program that shares one stand-in run as
// processes of their own one after another; CTest starts that stand-in
// before the first and stops it after the last (tests/standin/standin.py
// --detach, --stop) and names its folder in DAYMARK_STANDIN_SHARED. A
// StandinServer made then attaches to it instead of starting one, and finds
// it and leaves it reset (no seeds, no faults, no recorded requests).
//
// Owned by one test (or a test fixture); every member is called from the
// test's thread. Header-only so that any test program can include it; it needs
// libcurl, which every core test links. Seeds and faults are JSON
// objects, written inline by the tests; docs/standin-service.md lists their
// keys.
#pragma once

#include <curl/curl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/TestSupport.h"

extern char** environ;

namespace testsupport {

// One request as the stand-in received it: the request line's method and
// target, the header lines in arrival order, the body.
struct RecordedRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The header lines as "Name: value", leaving out those that libcurl
    // adds for the transport itself (Host, Accept, User-Agent, Content-Length,
    // Expect, Transfer-Encoding).
    std::vector<std::string> ClientHeaderLines() const {
        static const char* const kTransport[] = {
            "Host", "Accept", "User-Agent", "Expect", "Transfer-Encoding", "Content-Length"};
        std::vector<std::string> lines;
        for (const auto& [name, value] : headers) {
            bool transport = false;
            for (const char* t : kTransport) {
                transport = transport || name == t;
            }
            if (!transport) {
                lines.push_back(name + ": " + value);
            }
        }
        return lines;
    }
    std::string Header(const std::string& name) const {
        for (const auto& [n, v] : headers) {
            if (n == name) {
                return v;
            }
        }
        return {};
    }
};

class StandinServer {
public:
    StandinServer() { Start(); }
    ~StandinServer() { Stop(); }
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // "https://127.0.0.1:<port>": the service base (login_url) of the stand-in.
    const std::string& Base() const { return base_; }
    // The CA file a client must trust to talk to the stand-in.
    std::string CaFile() const { return certs_ + "/ca.pem"; }
    const std::string& Folder() const { return folder_; }
    int Port() const { return port_; }

    // --- seeding -------------------------------------------------------
    void Reset() { Control("POST", "reset", "{}"); }
    void AddAccount(const std::string& email, const std::string& password) {
        Control("POST", "account",
                "{\"email\":" + Quote(email) + ",\"password\":" + Quote(password) + "}");
    }
    // seed: {"id":..., "title", "color", "accesslevel", "timezone", "selected",
    // "hidden", "summary", "where", "public", "version"}. Returns the private
    // event feed URL.
    std::string AddCalendar(const std::string& seed) {
        return JsonString(Control("POST", "calendar", seed), "feed");
    }
    // The public feed URL of a calendar (holiday calendars).
    std::string PublicFeed(const std::string& calendarId) {
        return JsonString(
            Control("POST", "calendar", "{\"id\":" + Quote(calendarId) + ",\"public\":true}"),
            "public");
    }
    // seed: {"calendar":..., "title", "content", "where", "start", "end",
    // "status", "transparency", "visibility", "flags", "sequence",
    // "recurrence", "reminders":[["alert",10]], "original_eid",
    // "original_start", "published", "updated", "uid", "eid", "count"}.
    // Returns the edit URL of the (last) event made.
    std::string AddEvent(const std::string& seed) {
        return JsonString(Control("POST", "event", seed), "edit");
    }
    // The stored events of a calendar as the stand-in's JSON list.
    std::string EventsJson(const std::string& calendarId) {
        return Control("GET", "events?calendar=" + Escape(calendarId), "");
    }

    // --- faults and behaviour ------------------------------------------
    // seed: {"kind": "401" | "expire" | "500" | "cut" | "slow" | "stall" |
    // "status" | "conflict", "count" (default 1, -1 = always), "path"
    // (substring of the request target), "method", "seconds" (slow, stall),
    // "code" (status, conflict), "body", "body_file", "content_type"
    // (status)}.
    void ArmFault(const std::string& seed) { Control("POST", "fault", seed); }
    void ClearFaults() { Control("POST", "clear-faults", "{}"); }
    // updated-min earlier than this time is answered 410; empty switches off.
    void SetHorizon(const std::string& updatedMin) {
        Control("POST", "horizon", "{\"updated_min\":" + Quote(updatedMin) + "}");
    }
    void SetRedirect(bool enabled) {
        Control("POST", "redirect", enabled ? "{\"enabled\":true}" : "{\"enabled\":false}");
    }
    // Fixes the server's clock (each use advances it one second); empty
    // returns to the real clock.
    void SetClock(const std::string& now) {
        Control("POST", "clock", "{\"now\":" + Quote(now) + "}");
    }

    // --- what arrived ----------------------------------------------------
    int RequestCount() { return std::stoi(Control("GET", "count", "")); }
    // The requests a "slow" or "stall" fault holds at this moment (for a
    // "stall", its headers and half its body are sent).
    int HeldCount() { return std::stoi(Control("GET", "held", "")); }
    void ClearRequests() { Control("DELETE", "requests", ""); }
    // index counts from 0; negative counts from the end (-1 = the last).
    RecordedRequest Request(int index = -1) {
        const std::string text = Control("GET", "request?index=" + std::to_string(index), "");
        RecordedRequest r;
        std::istringstream in(text);
        std::string line;
        std::getline(in, line);
        const auto blank = line.find(' ');
        r.method = line.substr(0, blank);
        r.target = line.substr(blank + 1);
        while (std::getline(in, line) && !line.empty()) {
            const auto colon = line.find(": ");
            r.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
        const auto bodyAt = text.find("\n\n");
        r.body = bodyAt == std::string::npos ? std::string() : text.substr(bodyAt + 2);
        return r;
    }

    // Sends one control request; throws std::runtime_error unless it is
    // answered with 200.
    std::string Control(const std::string& method, const std::string& name,
                        const std::string& body) {
        std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
        std::string response;
        const std::string url = base_ + "/_control/" + name;
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_CAINFO, CaFile().c_str());
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
        curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, method.c_str());
        if (!body.empty()) {
            curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.c_str());
            curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        }
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response);
        const CURLcode rc = curl_easy_perform(curl.get());
        long code = 0;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &code);
        if (rc != CURLE_OK || code != 200) {
            throw std::runtime_error("stand-in control " + name + " failed: curl " +
                                     std::to_string(rc) + " http " + std::to_string(code) + " " +
                                     response);
        }
        return response;
    }

    static std::string Quote(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

private:
    // Attaches to the stand-in CTest started for the program, if any.
    bool Attach() {
        const char* shared = std::getenv("DAYMARK_STANDIN_SHARED");
        if (shared == nullptr || *shared == '\0') {
            return false;
        }
        const std::string folder = shared;
        std::ifstream portFile(folder + "/port");
        int port = 0;
        if (!(portFile >> port) || port <= 0) {
            throw std::runtime_error("stand-in: no shared stand-in in " + folder);
        }
        folder_ = folder;
        certs_ = TestCertificates();
        if (certs_.empty()) {
            throw std::runtime_error("stand-in: the shared stand-in needs the build's test CA");
        }
        port_ = port;
        base_ = "https://127.0.0.1:" + std::to_string(port_);
        shared_ = true;
        Reset();
        return true;
    }

    void Start() {
        if (Attach()) {
            return;
        }
        char pattern[] = "/tmp/daymark-standin-XXXXXX";
        if (!mkdtemp(pattern)) {
            throw std::runtime_error("stand-in: no temporary folder");
        }
        folder_ = pattern;
        certs_ = TestCertificates();
        if (certs_.empty()) {
            certs_ = folder_;
        }
        const std::string script = std::string(DAYMARK_SOURCE_DIR) + "/tests/standin/standin.py";
        std::vector<std::string> args = {"python3", script, "--dir", folder_, "--certs", certs_};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "python3", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            throw std::runtime_error("stand-in: python3 could not be started");
        }
        const std::string portFile = folder_ + "/port";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(portFile)) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("stand-in exited during start-up");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("stand-in did not start in time");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::ifstream(portFile) >> port_;
        base_ = "https://127.0.0.1:" + std::to_string(port_);
        Control("GET", "ping", "");
    }

    void Stop() {
        if (shared_) {
            try {
                Reset();
            } catch (const std::exception&) {
                // The next case resets it again when it attaches.
            }
            return;
        }
        if (pid_ > 0) {
            try {
                Control("POST", "shutdown", "");
            } catch (const std::exception&) {
                kill(pid_, SIGTERM);
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            pid_ = -1;
        }
        if (!folder_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(folder_, ec);
        }
    }

    static size_t Append(char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    }

    static std::string Escape(const std::string& text) {
        std::string out;
        static const char* hex = "0123456789ABCDEF";
        for (unsigned char c : text) {
            if (isalnum(c) || c == '-' || c == '_' || c == '.') {
                out += static_cast<char>(c);
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        return out;
    }

    // The string value of a top-level key of a flat JSON object.
    static std::string JsonString(const std::string& json, const std::string& key) {
        const std::string needle = "\"" + key + "\": \"";
        const auto at = json.find(needle);
        if (at == std::string::npos) {
            throw std::runtime_error("stand-in answer lacks " + key + ": " + json);
        }
        const auto begin = at + needle.size();
        return json.substr(begin, json.find('"', begin) - begin);
    }

    std::string folder_;
    std::string certs_;
    std::string base_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool shared_ = false;  // CTest's stand-in: left running
};

}  // namespace testsupport
