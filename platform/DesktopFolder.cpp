#include "platform/DesktopFolder.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in user-dirs.dirs.
std::string FromUserDirs(const std::string& home) {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty()) {
        config = home + "/.config";
    }
    std::ifstream in(config + "/user-dirs.dirs");
    for (std::string line; std::getline(in, line);) {
        const std::string key = "XDG_DESKTOP_DIR=";
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        }
        return value;
    }
    return {};
}

}  // namespace

std::string GetDesktopFolder() {
    const std::string home = Env("HOME");
    const std::string fromEnv = Env("XDG_DESKTOP_DIR");
    if (IsFolder(fromEnv)) {
        return fromEnv;
    }
    const std::string fromFile = FromUserDirs(home);
    if (IsFolder(fromFile)) {
        return fromFile;
    }
    return home.empty() ? std::string(".") : home;
}

}  // namespace platform
