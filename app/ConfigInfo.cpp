#include "app/ConfigInfo.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/AccountScrambler.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"

namespace Model {
namespace {

constexpr size_t kAccountBuffer = 512;

// Reads "%Y...": `count` decimal digits at `pos`, or -1.
int Digits(const std::wstring& s, size_t pos, size_t count) {
    if (pos + count > s.size()) {
        return -1;
    }
    int n = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (s[i] < L'0' || s[i] > L'9') {
            return -1;
        }
        n = n * 10 + static_cast<int>(s[i] - L'0');
    }
    return n;
}

// The local time of the fields, or 2000-01-01 00:00:00 when any field is
// out of range (the same fallback as for a value of the wrong length).
bool MakeLocal(int y, int mo, int d, int h, int mi, int s, platform::CTime& out) {
    try {
        out = platform::CTime(y, mo, d, h, mi, s);
        return true;
    } catch (const std::exception&) {
        out = platform::CTime(2000, 1, 1, 0, 0, 0);
        return false;
    }
}

std::string AutostartFile(const std::string& folder) {
    return folder.empty() ? std::string() : folder + "/autostart/Daymark.desktop";
}

std::string SystemConfigHome() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string first = dirs && *dirs ? dirs : "/etc/xdg";
    if (const size_t colon = first.find(':'); colon != std::string::npos) {
        first.resize(colon);
    }
    return first.empty() ? std::string("/etc/xdg") : first;
}

std::string ProgramFile() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// A desktop-entry Exec value: the path in double quotes with the reserved
// characters escaped.
std::string QuoteExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += "\\\\";
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

CConfigInfo::CConfigInfo() : CConfigInfo(platform::GetDataFolder() + "/config.ini") {}

CConfigInfo::CConfigInfo(const std::string& configPath) {
    Load(configPath);
}

void CConfigInfo::Load(const std::string& newPath) {
    path = newPath;
    lock = GetInt("general", "lock", 0);
    periodicSync = GetInt("general", "periodic_sync", 1);
    maniacOption = GetInt("option", "maniac_option", 0);
    weekNumber = GetInt("option", "week_number", 0);
    mondayFirst = GetInt("option", "monday_frist", 0);
    bookedBold = GetInt("option", "booked_bold", 1);
    bookedItalic = GetInt("option", "booked_italic", 0);
    bookedUnderline = GetInt("option", "booked_underline", 0);
    fixCalHeight = GetInt("option", "fix_cal_height", 1);
    alwaysBottom = GetInt("option", "always_bottom", 1);
    httpLog = GetInt("debug", "http_log", 0);
    iconBar = GetInt("option", "icon_bar", 1);
    verticalIconBar = GetInt("option", "vertical_icon_bar", 0);
    syncDuration = GetInt("general", "sync_duration", 60);
    if (syncDuration < 10) {
        syncDuration = 10;
    }
    WriteInt("debug", "http_log", httpLog);
}

int CConfigInfo::GetInt(const std::string& section, const std::string& key,
                        int defaultValue) const {
    return platform::GetPrivateProfileInt(section, key, defaultValue, path);
}

std::wstring CConfigInfo::GetString(const std::string& section, const std::string& key,
                                    const std::wstring& defaultValue, size_t bufferChars) const {
    return platform::GetPrivateProfileString(section, key, defaultValue, bufferChars, path);
}

void CConfigInfo::WriteInt(const std::string& section, const std::string& key, int value) {
    platform::WritePrivateProfileString(section, key, std::to_string(value), path);
}

void CConfigInfo::WriteString(const std::string& section, const std::string& key,
                              const std::wstring& value) {
    platform::WritePrivateProfileString(section, key, value, path);
}

googledata::CalendarMode CConfigInfo::GetCalendarMode() const {
    return static_cast<googledata::CalendarMode>(
        GetInt("general", "calendar_mode", googledata::kCalendarModeNotSetUp));
}

googledata::AccountKind CConfigInfo::GetAccountKind() const {
    using googledata::kAccountKindCalDav;
    using googledata::kAccountKindService;
    return GetInt("general", "account_kind", kAccountKindService) == kAccountKindCalDav
               ? kAccountKindCalDav
               : kAccountKindService;
}

void CConfigInfo::SetAccountKind(googledata::AccountKind kind) {
    using googledata::kAccountKindCalDav;
    using googledata::kAccountKindService;
    WriteInt("general", "account_kind",
             kind == kAccountKindCalDav ? kAccountKindCalDav : kAccountKindService);
}

std::wstring CConfigInfo::GetCalDavServer() const {
    return GetString("general", "caldav_server", L"", 1024);
}

void CConfigInfo::SetCalDavServer(const std::wstring& server) {
    WriteString("general", "caldav_server", server);
}

std::wstring CConfigInfo::GetStyleName() const {
    return GetString("general", "style", L"Blue.style");
}

std::wstring CConfigInfo::GetLoginUrl() const {
    return GetString("general", "login_url", kDefaultLoginUrl);
}

std::wstring CConfigInfo::GetAccountId() const {
    return UnscrambleAccountValue(GetString("account", "uid", L"", kAccountBuffer));
}

void CConfigInfo::SetAccountId(const std::wstring& id) {
    WriteString("account", "uid", ScrambleAccountValue(id));
}

std::wstring CConfigInfo::GetAccountPassword() const {
    return UnscrambleAccountValue(GetString("account", "psw", L"", kAccountBuffer));
}

void CConfigInfo::SetAccountPassword(const std::wstring& password) {
    WriteString("account", "psw", ScrambleAccountValue(password));
}

std::wstring CConfigInfo::GetProxy() const {
    return GetString("general", "proxy", L"", kAccountBuffer);
}

std::wstring CConfigInfo::GetProxyUser() const {
    return GetString("general", "proxy_uid", L"", kAccountBuffer);
}

std::wstring CConfigInfo::GetProxyPassword() const {
    return GetString("general", "proxy_psw", L"", kAccountBuffer);
}

int CConfigInfo::IsProxyEnabled() const {
    const std::wstring kAbsent = L"\x01";
    if (GetString("general", "enable_proxy", kAbsent) != kAbsent) {
        return GetInt("general", "enable_proxy", 0);
    }
    // Not stored yet: derive it from the proxy address and remember it.
    const int derived = GetProxy().empty() ? 0 : 1;
    platform::WritePrivateProfileString("general", "enable_proxy", std::to_string(derived), path);
    return derived;
}

std::wstring CConfigInfo::GetInstallText() const {
    return GetString("date", "install", L"");
}

void CConfigInfo::SetInstallDate(const platform::CTime& time) {
    WriteString("date", "install", platform::Utf8ToWide(time.Format("%Y%m%d_%H%M%S")));
}

bool CConfigInfo::GetInstallDate(platform::CTime& out) const {
    const std::wstring s = GetInstallText();
    if (s.size() != 15 || s == L"invalid" || s[8] != L'_') {
        MakeLocal(2000, 1, 1, 0, 0, 0, out);
        return false;
    }
    return MakeLocal(Digits(s, 0, 4), Digits(s, 4, 2), Digits(s, 6, 2), Digits(s, 9, 2),
                     Digits(s, 11, 2), Digits(s, 13, 2), out);
}

platform::CTime CConfigInfo::GetVersionCheckDate() const {
    const std::wstring s = GetString("date", "versioncheck", L"");
    platform::CTime t;
    if (s.size() < 10) {
        MakeLocal(2000, 1, 1, 0, 0, 0, t);
    } else {
        MakeLocal(Digits(s, 0, 4), Digits(s, 5, 2), Digits(s, 8, 2), 0, 0, 0, t);
    }
    return t;
}

void CConfigInfo::SetVersionCheckDate(const platform::CTime& time) {
    WriteString("date", "versioncheck", platform::Utf8ToWide(time.Format("%Y/%m/%d")));
}

int CConfigInfo::GetCurlLogLevel() const {
    return GetInt("debug", "curl_log_level", 0);
}

std::string CConfigInfo::GetExtraCaFile() const {
    return platform::WideToUtf8(GetString("debug", "ca_file", L"", kAccountBuffer));
}

std::wstring CConfigInfo::GetVersionCheckUrl() const {
    return GetString("debug", "version_check_url", L"", kAccountBuffer);
}

bool CConfigInfo::IsStartupRegistered(bool* allUsers) const {
    if (allUsers) {
        *allUsers = false;
    }
    if (platform::FileExists(AutostartFile(platform::UserConfigHome()))) {
        return true;
    }
    if (platform::FileExists(AutostartFile(SystemConfigHome()))) {
        if (allUsers) {
            *allUsers = true;
        }
        return true;
    }
    return false;
}

void CConfigInfo::SetStartup(bool on) {
    bool allUsers = false;
    if (IsStartupRegistered(&allUsers) == on) {
        return;
    }
    if (!on) {
        const std::string file =
            AutostartFile(allUsers ? SystemConfigHome() : platform::UserConfigHome());
        std::remove(file.c_str());
        return;
    }
    const std::string home = platform::UserConfigHome();
    if (home.empty() || !platform::CreateFolderTree(home + "/autostart")) {
        return;
    }
    std::ofstream out(AutostartFile(home), std::ios::binary | std::ios::trunc);
    out << "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Daymark\n"
           "Exec="
        << QuoteExec(ProgramFile())
        << "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace Model
