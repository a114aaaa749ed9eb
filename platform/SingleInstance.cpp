#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string SingleInstanceLock::LockPath(const std::string& name) {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || !*dir) {
        dir = std::getenv("TMPDIR");
    }
    if (!dir || !*dir) {
        dir = "/tmp";
    }
    // Per user, so that two users of one machine each run their own copy.
    return std::string(dir) + "/" + name + "-" + std::to_string(::getuid()) + ".lock";
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& name) {
    if (fd_ >= 0) {
        return Result::Acquired;
    }
    const std::string path = LockPath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? Result::AlreadyRunning : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

}  // namespace platform
