// googledata::WrenSQLite: the connection to one SQLite database file and the
// only code that talks to the SQLite library. Runs complete SQL text and
// collects result rows as text, timing every statement and logging slow and
// failed ones to the maintenance log.
//
// Owned by one CalendarEventDB. Any thread may call Execute: every statement
// of every access object in the process runs under one process-wide lock (the
// "WrenSQLite" lock), so statements never interleave; a transaction is not
// held under the lock between its begin and its end, except one run by
// RunTransaction, which keeps the lock from its begin to its end. Writers of
// other processes (a command-line import) are waited for up to the busy
// time-out instead of failing at once.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Utility {
class CMaintenanceLog;
}

namespace googledata {

// Result rows in the engine's order; each row its column values as UTF-8
// text in column order (NULL reads as empty text).
using ResultRow = std::vector<std::string>;
using ResultTable = std::vector<ResultRow>;

class WrenSQLite {
public:
    WrenSQLite();
    ~WrenSQLite();
    WrenSQLite(const WrenSQLite&) = delete;
    WrenSQLite& operator=(const WrenSQLite&) = delete;

    // Opens (creating when missing) the file at `path`. `isNewFile` tells
    // whether no file existed there before, so that the caller creates the
    // schema. Logs "<db> open error (code)" and returns false on failure.
    bool Open(const std::string& path, Utility::CMaintenanceLog* log, bool& isNewFile);
    // Opens the existing file at `path` for reading only (the engine writes
    // nothing to it; a reader of a file in WAL mode sees what writers have
    // committed). Logs "<db> open error (code)" and returns false on failure.
    bool OpenReadOnly(const std::string& path, Utility::CMaintenanceLog* log);
    // Closes the connection under the lock; Execute then fails until reopened.
    void Close();
    bool IsOpen() const;

    // Runs one or more statements. Rows go to `table` when it is given and are
    // dropped otherwise. False when there is no connection or the engine
    // reported an error (logged with the first 32 characters of the text).
    // Text holding a NUL byte is refused.
    bool Execute(const std::string& sql, ResultTable* table = nullptr);
    // Same, handing each row to `visitor` as it arrives (one row buffer is
    // reused, so large results cost no table). The visitor runs under the
    // access lock and must not call back into the access object.
    bool Execute(const std::string& sql, const std::function<void(const ResultRow&)>& visitor);

    // Runs `body` as one write transaction (BEGIN IMMEDIATE) holding the
    // process-wide lock from its begin to its end, so no statement of another
    // thread comes between; the body's own Execute calls run on this thread.
    // Waits (up to the busy time-out) for a transaction another thread has
    // open on this connection, and for other processes' writers. Commits when
    // the body returns true, else rolls everything back. False when the
    // transaction could not begin, the body failed or the commit failed.
    bool RunTransaction(const std::function<bool()>& body);

    int LastResult() const { return lastResult_; }
    std::string LastError() const { return lastError_; }

    // The process-wide lock that every statement runs under.
    static std::mutex& Lock();

private:
    using RowCallback = int (*)(void*, int, char**, char**);
    bool ExecuteWith(const std::string& sql, RowCallback callback, void* context);

    struct Connection;
    void Log(const char* level, const std::string& message) const;

    int lastResult_ = 0;
    std::string lastError_;
    std::unique_ptr<Connection> connection_;  // guarded by Lock()
    bool isOpen_ = false;
    // The thread running RunTransaction's body (it holds Lock() already).
    std::atomic<std::thread::id> transactionThread_{};
    Utility::CMaintenanceLog* log_ = nullptr;
};

}  // namespace googledata
