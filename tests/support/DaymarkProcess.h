// Starting the real program from a test: DaymarkProcess forks and executes
// DAYMARK_EXE with the test's environment, tells when it is up (its
// SIGTERM handler is installed, which start-up does once the dispatch window
// exists), ends it with a signal and collects its exit status; RunDaymark
// runs it once with arguments (the command-line uses) and collects its exit
// status and output. Test thread only; header-only so that every UI test
// program can include it.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSupport.h"

namespace testsupport {

class DaymarkProcess {
public:
    // Starts `exe` (the built program unless a test copied it elsewhere).
    explicit DaymarkProcess(const std::string& exe = DAYMARK_EXE) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~DaymarkProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    DaymarkProcess(const DaymarkProcess&) = delete;
    DaymarkProcess& operator=(const DaymarkProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // True once the program catches SIGTERM; false when it ended first or
    // the deadline passed.
    bool WaitUntilRunning(std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            if (HasExited()) {
                return false;
            }
            if (CatchesSigterm()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // True when the process has ended (its status is then kept).
    bool HasExited() {
        if (exited_) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
        }
        return exited_;
    }

    // Waits for the end; the exit code, or -1 when a signal ended it or the
    // deadline passed.
    int Wait(std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!HasExited()) {
            if (std::chrono::steady_clock::now() >= end) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // Sends `signal` once the program is up (or has ended) and waits for it.
    int Stop(int signal = SIGTERM) {
        if (WaitUntilRunning()) {
            ::kill(pid_, signal);
        }
        return Wait();
    }

private:
    bool CatchesSigterm() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("SigCgt:", 0) == 0) {
                const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
                return (mask >> (SIGTERM - 1)) & 1u;
            }
        }
        return false;
    }

    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

// Runs the program until it is up, then ends it with SIGTERM; a program that
// ends by itself (a second copy, a failed start) is just waited for. Returns
// its exit code.
inline int RunDaymarkUntilUp() {
    DaymarkProcess process;
    return process.Stop();
}

// The end of one run of the program with arguments.
struct ProgramRun {
    int status = -1;  // the exit code; -1 when a signal ended it
    std::string out;
    std::string err;
};

// Starts the program with `args` in the test's environment, its standard
// output and error going to the files `out` and `err`.
inline pid_t StartDaymark(const std::vector<std::string>& args, const std::string& out,
                          const std::string& err) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) {
            ::_exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(DAYMARK_EXE)};
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(DAYMARK_EXE, argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for the program StartDaymark started and reads what it wrote.
inline ProgramRun FinishDaymark(pid_t pid, const std::string& out, const std::string& err) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

// Runs the program with `args` to its end.
inline ProgramRun RunDaymark(const std::vector<std::string>& args) {
    const TempDir files;
    const std::string out = files / "stdout";
    const std::string err = files / "stderr";
    return FinishDaymark(StartDaymark(args, out, err), out, err);
}

}  // namespace testsupport
