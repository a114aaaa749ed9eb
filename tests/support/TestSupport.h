// Helpers shared by the tests: temporary folders, environment and time-zone
// overrides, file reading. Test threads only.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets (or with nullopt unsets) an environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Sets TZ and calls tzset(), restoring both at the end.
class ScopedTz {
public:
    explicit ScopedTz(const std::string& zone);
    ~ScopedTz();
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<ScopedEnv> env_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// The folder of the test CA (ca.pem) and the certificate for 127.0.0.1 it
// signed (server.pem, server.key), made once per build; empty when the build
// made none (a server then makes its own).
std::string TestCertificates();

// The calendar manager's retry pause and idle poll in tests
// (CCalendarManager::SetWorkerTimings): short, so that a test of the retry
// rule waits a fraction of the program's one second a try.
inline constexpr int kTestRetryPauseMs = 100;
inline constexpr int kTestIdlePollMs = 10;

// How many times slower a sanitizer build runs (scripts/sanitize.sh): the
// deadlines of the waits grow by it, so a busy machine does not fail a test
// that only waits for a condition.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kSanitizerSlowdown = 6;
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif

// Polls `condition` until it holds or the deadline passes (times
// kSanitizerSlowdown).
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Runs the program args[0] with args[1...] and its standard output sent to
// /dev/null, waits for it and returns its exit status (-1 when it could not
// start or did not exit).
int RunQuietly(const std::vector<std::string>& args);

}  // namespace testsupport
