#include "controller/qt/VersionCheck.h"

#include <QByteArray>

namespace Controller {

int VersionNumber(const std::string& text) {
    if (text.size() < 7 || text[1] != '.' || text[3] != '.' || text[5] != '.') {
        return 0;
    }
    int number = 0;
    for (size_t pos : {0u, 2u, 4u, 6u}) {
        const char c = text[pos];
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string LatestVersionFromPage(const std::string& page) {
    static const std::string key = "version:";
    const size_t at = page.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const size_t start = at + key.size();
    const size_t end = page.find_first_of("\r\n", start);
    return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string VersionCheckUrl(const std::string& pageUrl, const std::string& installText,
                            int calendarMode) {
    if (pageUrl.empty()) {
        return {};
    }
    const QByteArray install = QByteArray::fromStdString(installText).toPercentEncoding();
    return pageUrl + (pageUrl.find('?') == std::string::npos ? "?" : "&") +
           "install=" + install.toStdString() + "&mode=" + std::to_string(calendarMode);
}

CVersionChecker::CVersionChecker(Fetcher fetcher) : fetcher_(std::move(fetcher)) {}

CVersionChecker::~CVersionChecker() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool CVersionChecker::Start(const std::string& url, platform::WindowHandle window, uint32_t message,
                            Fetcher fetcher) {
    if (!fetcher) {
        fetcher = fetcher_;
    }
    if (!fetcher) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (running_) {
            return false;
        }
        running_ = true;
    }
    if (thread_.joinable()) {
        thread_.join();  // the previous fetch has ended
    }
    thread_ = std::thread([this, url, window, message, fetcher = std::move(fetcher)] {
        Result result;
        try {
            result.ok = fetcher(url, result.body, result.httpCode);
        } catch (...) {
            result.ok = false;
        }
        {
            std::lock_guard lock(mutex_);
            result_ = std::move(result);
            running_ = false;
        }
        platform::PostMessage(window, message);
    });
    return true;
}

CVersionChecker::Result CVersionChecker::TakeResult() {
    std::lock_guard lock(mutex_);
    return std::move(result_);
}

}  // namespace Controller
