#include "controller/FailureClassifier.h"

#include <array>

#include "controller/Notifications.h"
#include "googledata/HttpClient.h"

namespace Controller {

FailureClass ClassifyFailure(long httpStatus, const std::string& text) {
    struct Row {
        const char* pattern;
        FailureClass result;
    };
    static const std::array<Row, 12> rows{{
        // A login address that is not https: the password is never sent, and
        // trying again cannot help.
        {googledata::kRefusedAddressText,
         {"<calmng> insecure address refused", 190, NOTIFY_ERROR, true}},
        {"BadAuthentication", {"<calmng> auth error", 140, NOTIFY_AUTH_FAILED, true}},
        {"AccountDisabled", {"<calmng> auth error", 140, NOTIFY_AUTH_FAILED, true}},
        {"Could not resolve proxy", {"<calmng> proxy error", 122, NOTIFY_PROXY_FAILED, true}},
        {"Could not resolve host", {"<calmng> net error", 120, NOTIFY_ERROR, false}},
        {"SSL read: error", {"<calmng> net error", 120, NOTIFY_ERROR, false}},
        {"couldn't connect to host",
         {"<calmng> net blocked", 121, NOTIFY_NET_SETTING_PROBLEM, true}},
        {"Received HTTP code 407 from proxy after CONNECT",
         {"<calmng> proxy problem2", 122, NOTIFY_PROXY_FAILED, true}},
        {"Recv failure: Connection was reset", {"<calmng> net error", 123, NOTIFY_ERROR, false}},
        {"Proxy CONNECT aborted due to timeout", {"<calmng> net error", 123, NOTIFY_ERROR, false}},
        // HttpClient's refusal of an answer beyond its size limit: the same
        // answer would come again, so the request is not repeated.
        {"Response larger than", {"<calmng> response too large", 146, NOTIFY_ERROR, true}},
        {nullptr, {}},
    }};
    for (const Row& row : rows) {
        if (row.pattern && text.find(row.pattern) != std::string::npos) {
            return row.result;
        }
    }
    if (httpStatus == 410) {
        return {"<calmng> got 410, updated-min is too far from now?", 167, NOTIFY_ERROR, true};
    }
    return {"<calmng> other net error", 146, NOTIFY_ERROR, false};
}

}  // namespace Controller
