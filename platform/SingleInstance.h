// The single-instance lock: an exclusive flock on "<name>.lock" in
// $XDG_RUNTIME_DIR (else the temporary folder), held for the life of the
// object. Created once by start-up on the user-interface thread.
#pragma once

#include <string>

namespace platform {

class SingleInstanceLock {
public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Result Acquire(const std::string& name);
    static std::string LockPath(const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace platform
