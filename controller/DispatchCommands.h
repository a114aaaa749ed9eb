// The commands that windows send the dispatch window: the wParam of its
// command message, whose number each window is given at creation (the
// dispatch window's own messages are in controller/qt/DispatchMessages.h).
// Constants only; any thread.
#pragma once

#include <cstdint>

namespace Controller {

enum DispatchCommand : uint32_t {
    kCmdNewWindow = 1,
    kCmdCloseWindow = 2,  // lParam: the window id
    kCmdShowVersion = 3,
    kCmdAppExit = 4,
    kCmdWindowCount = 5,  // sent; lParam points to an int32_t that receives the count
    kCmdPosUpdate = 6,
    kCmdZOrderUpdate = 7,
    kCmdAlignWindow = 8,
    kCmdSetGoogle = 9,
    kCmdRebuildIconBar = 10,
};

}  // namespace Controller
