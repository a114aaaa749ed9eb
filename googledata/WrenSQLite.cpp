#include "googledata/WrenSQLite.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/MaintenanceLog.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace googledata {
namespace {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

struct SqliteFree {
    void operator()(char* p) const { sqlite3_free(p); }
};

constexpr uint32_t kSlowStatementMs = 100;
constexpr size_t kHeadLength = 32;
// How long a statement waits for another process's writer (a command-line
// import) before it fails.
constexpr int kBusyTimeoutMs = 10000;

// The first 32 characters of a statement, for the log. A character takes at
// most four bytes, so only that many bytes of a long statement are converted.
std::string Head(const std::string& sql) {
    const std::wstring wide = platform::Utf8ToWide(sql.substr(0, kHeadLength * 4));
    return platform::WideToUtf8(wide.substr(0, kHeadLength));
}

void DebugOutput(const std::string& text) {
#ifndef NDEBUG
    std::fputs(text.c_str(), stderr);
#else
    (void)text;
#endif
}

int CollectRow(void* context, int columns, char** values, char** /*names*/) {
    auto* table = static_cast<ResultTable*>(context);
    ResultRow row;
    row.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        row.emplace_back(values[i] != nullptr ? values[i] : "");
    }
    table->push_back(std::move(row));
    return 0;
}

struct RowVisit {
    const std::function<void(const ResultRow&)>* visitor;
    ResultRow row;
};

int VisitRow(void* context, int columns, char** values, char** /*names*/) {
    auto* visit = static_cast<RowVisit*>(context);
    visit->row.resize(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        visit->row[static_cast<size_t>(i)].assign(values[i] != nullptr ? values[i] : "");
    }
    (*visit->visitor)(visit->row);
    return 0;
}

}  // namespace

struct WrenSQLite::Connection {
    std::unique_ptr<sqlite3, SqliteCloser> db;
};

std::mutex& WrenSQLite::Lock() {
    static std::mutex lock;
    return lock;
}

WrenSQLite::WrenSQLite() = default;

WrenSQLite::~WrenSQLite() {
    Close();
}

void WrenSQLite::Log(const char* level, const std::string& message) const {
    if (log_ != nullptr) {
        log_->Write(level, message);
    }
}

bool WrenSQLite::Open(const std::string& path, Utility::CMaintenanceLog* log, bool& isNewFile) {
    isNewFile = !platform::FileExists(path);
    log_ = log;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open(path.c_str(), &raw);
    // The handle is released even when the open failed.
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    if (rc != SQLITE_OK) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<db> open error", rc);
        }
        return false;
    }
    // Month views read the same pages again and again: keep them in memory
    // (a 16 MiB page cache and the file mapped for reading).
    sqlite3_exec(db.get(),
                 "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456; PRAGMA journal_mode=WAL; "
                 "PRAGMA synchronous=NORMAL;",
                 nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    std::lock_guard<std::mutex> guard(Lock());
    connection_ = std::make_unique<Connection>();
    connection_->db = std::move(db);
    isOpen_ = true;
    return true;
}

bool WrenSQLite::OpenReadOnly(const std::string& path, Utility::CMaintenanceLog* log) {
    log_ = log;
    sqlite3* raw = nullptr;
    // A file in WAL mode that no connection has open (no "-wal" file) would
    // make even a reading connection create its "-wal" and "-shm" files and
    // leave them behind: such a file is read as immutable instead. While the
    // program runs, its files are there and the reader takes part in them.
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    uri += platform::FileExists(path + "-wal") ? "?mode=ro" : "?mode=ro&immutable=1";
    const int rc =
        sqlite3_open_v2(uri.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    if (rc != SQLITE_OK) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<db> open error", rc);
        }
        return false;
    }
    sqlite3_exec(db.get(), "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456;", nullptr,
                 nullptr, nullptr);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    std::lock_guard<std::mutex> guard(Lock());
    connection_ = std::make_unique<Connection>();
    connection_->db = std::move(db);
    isOpen_ = true;
    return true;
}

void WrenSQLite::Close() {
    std::lock_guard<std::mutex> guard(Lock());
    connection_.reset();
    isOpen_ = false;
}

bool WrenSQLite::IsOpen() const {
    std::lock_guard<std::mutex> guard(Lock());
    return isOpen_;
}

bool WrenSQLite::Execute(const std::string& sql, ResultTable* table) {
    return ExecuteWith(sql, table != nullptr ? CollectRow : nullptr, table);
}

bool WrenSQLite::Execute(const std::string& sql,
                         const std::function<void(const ResultRow&)>& visitor) {
    RowVisit visit{&visitor, {}};
    return ExecuteWith(sql, VisitRow, &visit);
}

bool WrenSQLite::ExecuteWith(const std::string& sql, RowCallback callback, void* context) {
    // The body of RunTransaction holds the lock already.
    std::unique_lock<std::mutex> guard(Lock(), std::defer_lock);
    if (transactionThread_.load() != std::this_thread::get_id()) {
        guard.lock();
    }
    if (!connection_ || !connection_->db) {
        return false;
    }
    if (sql.find('\0') != std::string::npos) {
        // The engine reads C strings: a NUL would cut the statement short.
        Log(Utility::kLogError, "<db> sql error:statement holds a NUL byte");
        Log(Utility::kLogError, Head(sql));
        lastResult_ = SQLITE_MISUSE;
        return false;
    }

    const uint32_t start = platform::GetTickCount();
    char* rawMessage = nullptr;
    lastResult_ = sqlite3_exec(connection_->db.get(), sql.c_str(), callback, context, &rawMessage);
    std::unique_ptr<char, SqliteFree> message(rawMessage);
    const uint32_t elapsed = platform::GetTickCount() - start;

    if (elapsed >= kSlowStatementMs && log_ != nullptr) {
        log_->Write(Utility::kLogInfo, "<db> sql tick " + Head(sql), static_cast<long>(elapsed));
    }
    if (lastResult_ == SQLITE_OK) {
        return true;
    }
    DebugOutput("*** SQL Execute error!!\n");
    if (!message) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<db> sql error:", static_cast<long>(lastResult_));
        }
    } else {
        lastError_ = message.get();
        DebugOutput(lastError_ + "\n");
        Log(Utility::kLogError, "<db> sql error:" + lastError_);
    }
    Log(Utility::kLogError, Head(sql));
    return false;
}

bool WrenSQLite::RunTransaction(const std::function<bool()>& body) {
    if (transactionThread_.load() == std::this_thread::get_id()) {
        return false;  // no nesting
    }
    // Another thread of this process may be between the begin and the end of
    // its own transaction on this connection: wait for it to end.
    const uint32_t started = platform::GetTickCount();
    std::unique_lock<std::mutex> guard(Lock());
    while (connection_ && connection_->db && sqlite3_get_autocommit(connection_->db.get()) == 0) {
        guard.unlock();
        if (platform::GetTickCount() - started > static_cast<uint32_t>(kBusyTimeoutMs)) {
            Log(Utility::kLogError, "<db> transaction: the connection stays busy");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        guard.lock();
    }
    transactionThread_ = std::this_thread::get_id();
    struct Release {
        std::atomic<std::thread::id>& owner;
        ~Release() { owner = std::thread::id(); }
    } release{transactionThread_};
    if (!ExecuteWith("BEGIN IMMEDIATE TRANSACTION", nullptr, nullptr)) {
        return false;
    }
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        ok = false;
    }
    if (ok && ExecuteWith("COMMIT TRANSACTION", nullptr, nullptr)) {
        return true;
    }
    ExecuteWith("ROLLBACK TRANSACTION", nullptr, nullptr);
    return false;
}

}  // namespace googledata
