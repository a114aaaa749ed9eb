// testsupport::RadicaleServer: a real CalDAV server (Radicale, the Debian
// package) on a free 127.0.0.1 port over HTTPS with a CA made for the run,
// storage in a temporary folder, and two accounts from a plain htpasswd file:
// "alice" (the user under test, read-write in her own calendars except
// "holidays", which she may only read) and "admin" (everything, for seeding).
// Plain requests (Send) let a test change the server behind the client's back
// and read back what the client wrote. Stop() and Start() keep the storage.
//
// Owned by one test or fixture; every member runs on the test's thread.
// Header-only; needs libcurl, which every core test links.
#pragma once

#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSupport.h"

extern char** environ;

namespace testsupport {

struct DavAnswer {
    long code = 0;
    std::string body;
    std::string etag;
};

class RadicaleServer {
public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPassword = "alice-secret";

    RadicaleServer() {
        char pattern[] = "/tmp/daymark-radicale-XXXXXX";
        if (!mkdtemp(pattern)) {
            throw std::runtime_error("radicale: no temporary folder");
        }
        folder_ = pattern;
        MakeCertificates();
        Start();
    }
    ~RadicaleServer() {
        Stop();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    // "https://127.0.0.1:<port>".
    std::string Base() const { return "https://127.0.0.1:" + std::to_string(port_); }
    std::string CaFile() const { return folder_ + "/ca.pem"; }
    // The path of one of alice's calendars ("/alice/<name>/").
    static std::string CalendarPath(const std::string& name) {
        return std::string("/") + kUser + "/" + name + "/";
    }

    // A calendar of alice, made by the admin account so that read-only ones
    // can be made too. `color` "#RRGGBBAA" or empty.
    void MakeCalendar(const std::string& name, const std::string& displayName,
                      const std::string& color) {
        std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
            "xmlns:I=\"http://apple.com/ns/ical/\"><D:set><D:prop>"
            "<D:displayname>" +
            displayName + "</D:displayname>";
        if (!color.empty()) {
            body += "<I:calendar-color>" + color + "</I:calendar-color>";
        }
        body +=
            "<C:supported-calendar-component-set><C:comp name=\"VEVENT\"/>"
            "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>";
        Expect(Send("MKCALENDAR", CalendarPath(name), body, {}, true), 201, "MKCALENDAR");
    }
    // A PUT of a whole VCALENDAR text at /alice/<calendar>/<name>.
    DavAnswer PutEvent(const std::string& calendar, const std::string& name,
                       const std::string& ics) {
        DavAnswer a = Send("PUT", CalendarPath(calendar) + name, ics,
                           {"Content-Type: text/calendar; charset=utf-8"}, true);
        if (a.code != 201 && a.code != 204) {
            throw std::runtime_error("radicale: PUT " + name + " answered " +
                                     std::to_string(a.code) + " " + a.body);
        }
        return a;
    }

    // Many events at once, written straight into the storage folder (one
    // file per event, as Radicale keeps them): a calendar of thousands of
    // events seeded in a moment, which Radicale reads at the next request.
    void SeedCalendar(const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string path = folder_ + "/collections/collection-root/" + kUser + "/" + name;
        std::filesystem::create_directories(path);
        std::ofstream(path + "/.Radicale.props") << "{\"tag\": \"VCALENDAR\"}";
        for (const auto& [file, ics] : files) {
            std::ofstream(path + "/" + file, std::ios::binary) << ics;
        }
    }

    // One plain request, as alice (or as admin).
    DavAnswer Send(const std::string& method, const std::string& path, const std::string& body,
                   const std::vector<std::string>& headers, bool asAdmin = false) {
        std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
        DavAnswer answer;
        const std::string url = Base() + path;
        const std::string account =
            asAdmin ? std::string("admin:admin-secret") : std::string(kUser) + ":" + kPassword;
        curl_slist* list = nullptr;
        for (const auto& h : headers) {
            list = curl_slist_append(list, h.c_str());
        }
        std::unique_ptr<curl_slist, void (*)(curl_slist*)> owned(list, curl_slist_free_all);
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_CAINFO, CaFile().c_str());
        curl_easy_setopt(curl.get(), CURLOPT_USERPWD, account.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
        curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, method.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, owned.get());
        if (!body.empty()) {
            curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.c_str());
            curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        }
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer.body);
        curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, &ReadEtag);
        curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &answer.etag);
        const CURLcode rc = curl_easy_perform(curl.get());
        if (rc == CURLE_OK) {
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.code);
        }
        return answer;
    }

    // Stops the server (storage kept); Start() brings it back on the same port.
    void Stop() {
        End(gatePid_);
        End(pid_);
    }

    // Starts tests/standin/digest_gate.py in front of the server: plain HTTP
    // on loopback that lets only Digest-authenticated requests of kUser
    // through. Answers its address ("http://127.0.0.1:<port>"); stopped with
    // the server. GateLog() holds a "digest ok" line per accepted request.
    std::string StartDigestGate() {
        const int port = FreePort();
        std::vector<std::string> args = {
            "/usr/bin/python3",
            std::string(DAYMARK_SOURCE_DIR) + "/tests/standin/digest_gate.py",
            "--port",
            std::to_string(port),
            "--upstream",
            Base(),
            "--ca",
            CaFile(),
            "--user",
            kUser,
            "--password",
            kPassword};
        gatePid_ = Spawn(args, GateLog());
        const std::string base = "http://127.0.0.1:" + std::to_string(port);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Probe(base) != 401) {
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("digest gate did not start; see " + GateLog());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return base;
    }
    std::string GateLog() const { return folder_ + "/gate.log"; }
    void Start() {
        if (port_ == 0) {
            port_ = FreePort();
            WriteConfig();
        }
        const std::string logPath = folder_ + "/radicale.log";
        pid_ =
            Spawn({"/usr/bin/python3", "-m", "radicale", "--config", folder_ + "/config"}, logPath);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("radicale exited during start-up; see " + logPath);
            }
            if (Send("PROPFIND", "/", "", {"Depth: 0"}).code == 207) {
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("radicale did not start in time");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

private:
    // Starts a child whose output goes to `logPath`.
    static pid_t Spawn(std::vector<std::string> args, const std::string& logPath) {
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            throw std::runtime_error(args[0] + " could not be started");
        }
        return pid;
    }
    // Ends a child started by Spawn (SIGTERM, then SIGKILL after 10 s).
    static void End(pid_t& pid) {
        if (pid <= 0) {
            return;
        }
        kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid = -1;
    }
    // The status of an unauthenticated OPTIONS at `base` (0 without an answer).
    static long Probe(const std::string& base) {
        std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
        curl_easy_setopt(curl.get(), CURLOPT_URL, (base + "/").c_str());
        curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, "OPTIONS");
        curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 5L);
        long code = 0;
        if (curl_easy_perform(curl.get()) == CURLE_OK) {
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &code);
        }
        return code;
    }

    static void Expect(const DavAnswer& a, long code, const char* what) {
        if (a.code != code) {
            throw std::runtime_error(std::string("radicale: ") + what + " answered " +
                                     std::to_string(a.code) + " " + a.body);
        }
    }

    static int FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        close(s);
        return ntohs(address.sin_port);
    }

    void Run(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            throw std::runtime_error("radicale: openssl " + args[1] + " failed");
        }
    }

    void MakeCertificates() {
        if (const std::string made = TestCertificates(); !made.empty()) {
            for (const char* name : {"ca.pem", "server.pem", "server.key"}) {
                std::filesystem::copy_file(made + "/" + name, folder_ + "/" + name);
            }
            return;
        }
        const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
        auto with = [&](std::vector<std::string> head, std::vector<std::string> tail) {
            head.insert(head.end(), tail.begin(), tail.end());
            return head;
        };
        Run(with(with({"openssl", "req", "-x509"}, ec),
                 {"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                  "/CN=Daymark Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                  "keyUsage=critical,keyCertSign,cRLSign"}));
        Run(with(with({"openssl", "req"}, ec),
                 {"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}));
        std::ofstream(folder_ + "/server.ext")
            << "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
               "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n";
        Run({"openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"});
    }

    void WriteConfig() {
        std::ofstream(folder_ + "/users") << kUser << ":" << kPassword << "\nadmin:admin-secret\n";
        std::ofstream(folder_ + "/rights")
            << "[admin]\nuser: admin\ncollection: .*\npermissions: RrWw\n"
               "[readonly]\nuser: .+\ncollection: {user}/holidays\npermissions: r\n"
               "[principal]\nuser: .+\ncollection: {user}\npermissions: RW\n"
               "[calendars]\nuser: .+\ncollection: {user}/[^/]+\npermissions: rw\n"
               "[root]\nuser: .+\ncollection:\npermissions: R\n";
        std::ofstream(folder_ + "/config")
            << "[server]\nhosts = 127.0.0.1:" << port_ << "\nssl = True\ncertificate = " << folder_
            << "/server.pem\nkey = " << folder_ << "/server.key\n"
            << "[auth]\ntype = htpasswd\nhtpasswd_filename = " << folder_
            << "/users\nhtpasswd_encryption = plain\ndelay = 0\n"
            << "[rights]\ntype = from_file\nfile = " << folder_ << "/rights\n"
            << "[storage]\nfilesystem_folder = " << folder_ << "/collections\n"
            << "[logging]\nlevel = warning\n";
    }

    static size_t Append(char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    }
    static size_t ReadEtag(char* data, size_t size, size_t count, void* out) {
        const std::string line(data, size * count);
        if (line.size() > 5 && strncasecmp(line.c_str(), "etag:", 5) == 0) {
            std::string value = line.substr(5);
            const size_t b = value.find_first_not_of(" \t");
            const size_t e = value.find_last_not_of(" \t\r\n");
            *static_cast<std::string*>(out) =
                b == std::string::npos ? std::string() : value.substr(b, e - b + 1);
        }
        return size * count;
    }

    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
    pid_t gatePid_ = -1;
};

}  // namespace testsupport
