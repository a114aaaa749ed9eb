// The user's desktop folder, where the support bundle is proposed: the
// XDG_DESKTOP_DIR environment variable, else the XDG_DESKTOP_DIR line of
// "$XDG_CONFIG_HOME/user-dirs.dirs" (or "~/.config/user-dirs.dirs"), else
// the home folder. Only a folder that exists is taken. Any thread.
#pragma once

#include <string>

namespace platform {

std::string GetDesktopFolder();

}  // namespace platform
