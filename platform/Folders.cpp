#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

constexpr const char* kSuffix = "/Kestrel/Daymark";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return {};
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

}  // namespace

std::string UserDataHome() {
    const std::string home = HomeFolder();
    return EnvOr("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
}

std::string SystemDataHome() {
    std::string dirs = EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    const size_t colon = dirs.find(':');
    if (colon != std::string::npos) {
        dirs.resize(colon);
    }
    return dirs.empty() ? std::string("/usr/local/share") : dirs;
}

std::string UserConfigHome() {
    const std::string home = HomeFolder();
    return EnvOr("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CreateFolderTree(const std::string& path, unsigned mode) {
    if (path.empty()) {
        return false;
    }
    std::string p = path;
    if (p.back() != '/') {
        p += '/';
    }
    for (size_t slash = p.find('/', 1); slash != std::string::npos;
         slash = p.find('/', slash + 1)) {
        const std::string part = p.substr(0, slash);
        if (IsDirectory(part)) {
            continue;
        }
        if (::mkdir(part.c_str(), mode) != 0 && !(errno == EEXIST && IsDirectory(part))) {
            return false;
        }
    }
    return true;
}

std::string GetDataFolder() {
    const std::string userHome = UserDataHome();
    const std::string user = userHome.empty() ? std::string() : userHome + kSuffix;
    if (IsDirectory(user)) {
        return user;
    }
    const std::string system = SystemDataHome() + kSuffix;
    // An existing all-users folder serves only a user who may write in it
    // (one made once by root, say, serves no one else): otherwise nothing
    // would persist, so the per-user folder is made instead.
    const bool systemExists = IsDirectory(system);
    if (systemExists && ::access(system.c_str(), W_OK | X_OK) == 0) {
        return system;
    }
    // The folder holds the account: only its owner may enter it.
    if (!systemExists && CreateFolderTree(system, 0700)) {
        ::chmod(system.c_str(), 0700);
        return system;
    }
    if (!user.empty() && CreateFolderTree(user, 0700)) {
        ::chmod(user.c_str(), 0700);
        return user;
    }
    return {};
}

std::string FindDataFolder() {
    const std::string userHome = UserDataHome();
    const std::string user = userHome.empty() ? std::string() : userHome + kSuffix;
    if (IsDirectory(user)) {
        return user;
    }
    // An all-users folder this user may not write in holds no data of his.
    const std::string system = SystemDataHome() + kSuffix;
    return IsDirectory(system) && ::access(system.c_str(), W_OK | X_OK) == 0 ? system
                                                                             : std::string();
}

std::string GetProgramFolder() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        return {};
    }
    std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string GetResourceFolder() {
    const std::string program = GetProgramFolder();
    const size_t slash = program.rfind('/');
    if (slash != std::string::npos) {
        const std::string shared = program.substr(0, slash) + "/share/daymark";
        if (IsDirectory(shared + "/image") || IsDirectory(shared + "/style")) {
            return shared;
        }
    }
    return program;
}

}  // namespace platform
