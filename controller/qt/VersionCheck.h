// The version check: reading the version page and comparing versions (plain
// functions), and CVersionChecker, which fetches the page on a thread of its
// own so that the user-interface thread never waits for the network.
//
// CVersionChecker is created, started and destroyed on the user-interface
// thread; its result is posted to the window given to Start and read there
// with TakeResult.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/WindowMessages.h"

namespace Controller {

// The number of a version text: "a.b.c.d" with one digit each gives
// a*1000 + b*100 + c*10 + d; any other text gives 0.
int VersionNumber(const std::string& text);

// The text after "version:" in the page, up to the first CR or LF; empty
// when the page has no "version:".
std::string LatestVersionFromPage(const std::string& page);

// The page address with the query keys install and mode; the install text is
// percent-encoded. Empty when `pageUrl` is empty (no check).
std::string VersionCheckUrl(const std::string& pageUrl, const std::string& installText,
                            int calendarMode);

class CVersionChecker {
public:
    using Fetcher = std::function<bool(const std::string& url, std::string& body, int& httpCode)>;
    struct Result {
        bool ok = false;
        int httpCode = 0;
        std::string body;
    };

    explicit CVersionChecker(Fetcher fetcher);
    // Waits for a running fetch to end (bounded by the fetcher's time-out).
    ~CVersionChecker();
    CVersionChecker(const CVersionChecker&) = delete;
    CVersionChecker& operator=(const CVersionChecker&) = delete;

    // Fetches `url` on the checking thread with `fetcher` (the one given to
    // the constructor when empty), then posts `message` to `window`. False
    // (and nothing posted) while a fetch runs or without a fetcher.
    bool Start(const std::string& url, platform::WindowHandle window, uint32_t message,
               Fetcher fetcher = {});
    Result TakeResult();

private:
    Fetcher fetcher_;
    std::thread thread_;
    std::mutex mutex_;  // guards result_ and running_
    Result result_;
    bool running_ = false;
};

}  // namespace Controller
