// Utility::CMaintenanceLog: the program's one diagnostic log, seven weekday
// files "Log1.txt" (Sunday) to "Log7.txt" (Saturday) in the log folder, each
// holding the lines of its most recent day.
//
// One instance, owned by the application object; components that cannot reach
// it are handed a pointer when they are created (a null pointer means "do not
// log"). Write() may be called from any thread at any time: every line opens,
// appends and closes its file under the log's own lock, and the choice between
// appending and starting the file anew is made under that lock too, so two
// threads writing the first lines of a day never both truncate the file.
// Nothing is ever reported to the caller; a line that cannot be written is lost.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace Utility {

// The four-character levels.
inline constexpr const char* kLogInfo = "info";
inline constexpr const char* kLogWarn = "warn";
inline constexpr const char* kLogError = "ERR!";
inline constexpr const char* kLogAction = "act ";

class CMaintenanceLog {
public:
    CMaintenanceLog() = default;
    ~CMaintenanceLog();
    CMaintenanceLog(const CMaintenanceLog&) = delete;
    CMaintenanceLog& operator=(const CMaintenanceLog&) = delete;

    // The log folder without a trailing slash; while it is empty every write
    // is ignored. Set by start-up once the folder exists.
    void SetFolder(const std::string& folder);
    std::string GetFolder() const;
    // The account (UTF-8, "@" or "%40" form) that every later line masks
    // (platform::MaskAccount); empty masks nothing. Set by the calendar
    // manager when it takes an account.
    void SetAccount(const std::string& account);
    // `text` with that account masked, for the other files that go into a
    // support bundle.
    std::string MaskAccount(const std::string& text) const;

    // Level and message are UTF-8.
    void Write(const std::string& level, const std::string& message);
    void Write(const std::string& level, const std::wstring& message);
    // "%s (%ld)", "%s (%ld,%ld)", "%s (%ld,%ld,%ld)" of the text and numbers.
    void Write(const std::string& level, const std::string& text, long n1);
    void Write(const std::string& level, const std::string& text, long n1, long n2);
    void Write(const std::string& level, const std::string& text, long n1, long n2, long n3);
    // "pix over (%ld,%ld,%ld,%ld)" at level "warn".
    void WritePixOver(long n1, long n2, long n3, long n4);

    // The file a write at local time `now` goes to ("<folder>/Log<n>.txt").
    std::string FileNameFor(int64_t now) const;

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    mutable std::mutex lock_;  // guards everything below and every file operation
    std::string folder_;
    std::string account_;
    std::unique_ptr<std::FILE, FileCloser> file_;  // the file of the last line
    std::string openFile_;
    int openDay_ = -1;
};

}  // namespace Utility
