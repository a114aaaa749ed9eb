// Model::CConfigInfo: the configuration store over "config.ini" in the data
// folder. A few settings are loaded into public fields by Load(); every other
// key is read from the file at each call, so a value written by one component
// is seen by the next reader.
//
// Owned by the application object; the dispatch window, the calendar manager,
// the views and the dialogs get a pointer. Getters may be called from any
// thread (each is one read of the file). The loaded fields are written only by
// the user-interface thread.
#pragma once

#include <string>

#include "googledata/ProtocolNumbers.h"
#include "platform/Time.h"

namespace Model {

class CConfigInfo {
public:
    // Sets the loaded fields to their defaults and loads the data folder's
    // "config.ini".
    CConfigInfo();
    // Same over the given file (tests and tools).
    explicit CConfigInfo(const std::string& path);

    // Stores the path, reads the loaded fields, then writes debug/http_log
    // back so the key is always present.
    void Load(const std::string& path);
    const std::string& GetPath() const { return path; }

    // general/calendar_mode (the setup wizard writes it).
    googledata::CalendarMode GetCalendarMode() const;
    std::wstring GetStyleName() const;
    std::wstring GetLoginUrl() const;
    std::wstring GetAccountId() const;
    void SetAccountId(const std::wstring& id);
    std::wstring GetAccountPassword() const;
    void SetAccountPassword(const std::wstring& password);
    // general/account_kind: a file without the key, or with a number of no
    // kind, is an account of the calendar service.
    googledata::AccountKind GetAccountKind() const;
    void SetAccountKind(googledata::AccountKind kind);
    // general/caldav_server: the CalDAV server's address (empty when unset).
    std::wstring GetCalDavServer() const;
    void SetCalDavServer(const std::wstring& server);
    std::wstring GetProxy() const;
    std::wstring GetProxyUser() const;
    std::wstring GetProxyPassword() const;
    int IsProxyEnabled() const;
    std::wstring GetInstallText() const;
    void SetInstallDate(const platform::CTime& time);
    bool GetInstallDate(platform::CTime& out) const;
    platform::CTime GetVersionCheckDate() const;
    void SetVersionCheckDate(const platform::CTime& time);
    int GetCurlLogLevel() const;
    // debug/ca_file: an extra CA bundle (PEM) trusted besides the system's
    // store, for self-hosted servers and tests. Empty when not set.
    std::string GetExtraCaFile() const;
    // debug/version_check_url: the page the version check asks.
    std::wstring GetVersionCheckUrl() const;

    // Raw access for the keys read on demand.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::wstring GetString(const std::string& section, const std::string& key,
                           const std::wstring& defaultValue, size_t bufferChars = 256) const;
    void WriteInt(const std::string& section, const std::string& key, int value);
    void WriteString(const std::string& section, const std::string& key, const std::wstring& value);

    // Start at logon: an XDG autostart entry "Daymark.desktop" in the user's
    // autostart folder, or failing that in the system one (`allUsers` tells
    // which).
    bool IsStartupRegistered(bool* allUsers = nullptr) const;
    void SetStartup(bool on);

    // Loaded fields.
    std::string path;
    int lock = 0;
    int periodicSync = 0;
    int maniacOption = 0;
    int weekNumber = 0;
    int mondayFirst = 0;
    int bookedBold = 0;
    int bookedItalic = 0;
    int bookedUnderline = 0;
    int fixCalHeight = 0;
    int alwaysBottom = 0;
    int httpLog = 0;
    int iconBar = 0;
    int verticalIconBar = 0;
    int syncDuration = 60;
};

// The default service base address (general/login_url).
inline constexpr const wchar_t* kDefaultLoginUrl = L"https://www.google.com";

}  // namespace Model
