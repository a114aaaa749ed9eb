// How a failed login or request is told to the user: the first matching row
// of a fixed table of error-text patterns (then the HTTP status 410) decides
// the notification to post, the description kept for the dialogs, and whether
// the request counts as handled (dropped at once) or is retried. A pure
// function; any thread.
#pragma once

#include <string>

namespace Controller {

struct FailureClass {
    const char* logTag;  // logged at "ERR!"
    int descriptionId;   // string-table id of the user-facing description
    int notification;    // notification code posted to every listener
    bool handled;        // true: drop the request; false: retry it
};

FailureClass ClassifyFailure(long httpStatus, const std::string& errorText);

}  // namespace Controller
