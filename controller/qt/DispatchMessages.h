// The private messages and timer ids of the dispatch window. Other windows
// post the command message (kDispatchCommand) with one of the command numbers
// of controller/DispatchCommands.h as wParam; the calendar manager posts
// kDispatchNotify with its notification code. Constants only; any thread.
#pragma once

#include <cstdint>

#include "controller/DispatchCommands.h"
#include "controller/Notifications.h"
#include "platform/WindowMessages.h"

namespace Controller {

// Messages of the dispatch window (WM_USER + n).
inline constexpr uint32_t kDispatchCommand = platform::kWmUser + 100;         // 1124
inline constexpr uint32_t kDispatchNotify = kDispatchManagerMessage;          // 1125
inline constexpr uint32_t kDispatchWizardRequest = platform::kWmUser + 102;   // 1126
inline constexpr uint32_t kDispatchBootSequence = platform::kWmUser + 103;    // 1127
inline constexpr uint32_t kDispatchWizardFinished = platform::kWmUser + 104;  // 1128
inline constexpr uint32_t kDispatchTrayIcon = platform::kWmUser + 105;        // 1129
// Our own: the version page arrived (or failed) on the checking thread.
inline constexpr uint32_t kDispatchVersionResult = platform::kWmUser + 106;  // 1130
// Our own: close as at the end of the session (SIGTERM, SIGINT).
inline constexpr uint32_t kDispatchEndSession = platform::kWmUser + 107;  // 1131
// Our own: a dialog has closed; show the account requests that waited for it.
inline constexpr uint32_t kDispatchPendingDialogs = platform::kWmUser + 108;  // 1132

// Wizard requests (wParam of kDispatchWizardRequest).
inline constexpr uint32_t kWizardForReset = 0;
inline constexpr uint32_t kWizardForNewAccount = 1;

// Timers.
enum DispatchTimer : uint32_t {
    kTimerCloseWindow = 1,  // 200 ms
    kTimerSync = 2,         // 60 s
    kTimerDate = 3,         // 60 s
    kTimerResume = 4,       // 30 s
    kTimerVersion = 5,      // first 60 s + (ticks mod 10) * 30 min, then a day
    kTimerBottomBar = 6,    // 10 s
    kTimerMouse = 7,        // 100 ms
};

// Power events (the wParam of the power broadcast).
inline constexpr int kPowerSuspend = 4;
inline constexpr int kPowerResumeAutomatic = 7;

// The notification-area icon's id and its mouse messages (lParam of
// kDispatchTrayIcon).
inline constexpr uint32_t kTrayIconId = 2000;
inline constexpr int64_t kTrayLeftButtonDown = 0x0201;
inline constexpr int64_t kTrayRightButtonUp = 0x0205;

}  // namespace Controller
