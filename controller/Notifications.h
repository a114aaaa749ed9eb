// The notification codes the calendar manager posts to its listeners as the
// wParam of the listener's own message, and the message numbers the
// listeners register with.
#pragma once

#include <cstdint>

namespace Controller {

enum NotificationCode : uint32_t {
    NOTIFY_ACTIVITY = 0,  // lParam 1: a request was taken; 0: the queue ran empty
    NOTIFY_AUTH_FAILED = 1,
    NOTIFY_PROXY_FAILED = 2,
    NOTIFY_NET_SETTING_PROBLEM = 3,
    NOTIFY_ERROR = 4,
    NOTIFY_CALENDAR_UPDATED = 5,
    NOTIFY_HOLIDAY_UPDATED = 6,
    NOTIFY_EVENT_UPDATED = 7,
    NOTIFY_DOWNLOAD_PROGRESS = 9,  // lParam: (second counter << 16) | first counter
};

// Message numbers of the listeners (WM_USER + n).
inline constexpr uint32_t kWizardManagerMessage = 1124;
inline constexpr uint32_t kDispatchManagerMessage = 1125;
inline constexpr uint32_t kCalendarWndManagerMessage = 1128;

}  // namespace Controller
