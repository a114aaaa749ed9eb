// The program's folders on this platform. Free functions, computed afresh at
// every call; any thread.
//
// The data folder is "<per-user data home>/Kestrel/Daymark" when that
// exists, else "<first system data dir>/Kestrel/Daymark" (existing and
// writable by this user, or newly created); where the system folder cannot be
// created (an ordinary user) or exists but is not this user's to write, the
// per-user folder is created instead. The per-user home is $XDG_DATA_HOME
// (default ~/.local/share), the system one the first entry of
// $XDG_DATA_DIRS (default /usr/local/share). New data folders get mode 0700.
#pragma once

#include <string>

namespace platform {

std::string GetDataFolder();
// The data folder GetDataFolder would give when it exists already; empty
// when neither the per-user nor the system one exists. Creates nothing.
std::string FindDataFolder();
// Folder of the running program file, without a trailing slash; empty when
// it cannot be had.
std::string GetProgramFolder();
// Folder of the shipped default styles and images ("style", "image"): for an
// installed program the "share/daymark" folder beside its "bin" folder
// (../share/daymark from the program folder), else the program folder itself
// (the build tree). Empty when the program folder is unknown.
std::string GetResourceFolder();
// Creates every missing folder of `path` from the left; false at the first
// failure. `mode` applies to folders it creates.
bool CreateFolderTree(const std::string& path, unsigned mode = 0755);
bool IsDirectory(const std::string& path);
bool FileExists(const std::string& path);

// The per-user and the system data homes (no suffix), for start-up
// registration and tests.
std::string UserDataHome();
std::string SystemDataHome();
// $XDG_CONFIG_HOME (default ~/.config).
std::string UserConfigHome();

}  // namespace platform
