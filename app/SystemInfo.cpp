#include "app/SystemInfo.h"

#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/TextConv.h"

namespace app {
namespace {

// "key : value" lines of /proc/cpuinfo for the first processor.
std::map<std::string, std::string> FirstCpu() {
    std::map<std::string, std::string> fields;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            if (!fields.empty())
                break;
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        fields.emplace(key, value);
    }
    return fields;
}

// /proc/meminfo values in bytes.
std::map<std::string, unsigned long> MemInfo() {
    std::map<std::string, unsigned long> values;
    std::ifstream in("/proc/meminfo");
    std::string key;
    unsigned long kb = 0;
    std::string unit;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        if (ss >> key >> kb) {
            if (!key.empty() && key.back() == ':')
                key.pop_back();
            values[key] = kb * 1024;
        }
    }
    return values;
}

unsigned long VmSizeBytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmSize:", 0) == 0) {
            return std::strtoul(line.c_str() + 7, nullptr, 10) * 1024;
        }
    }
    return 0;
}

std::string OsReleaseName() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            std::string v = line.substr(12);
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'')) {
                v = v.substr(1, v.size() - 2);
            }
            return v;
        }
    }
    return {};
}

// The locale the C library would use for a category, from the environment.
std::string EnvLocale(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        if (const char* v = std::getenv(name); v && *v)
            return v;
    }
    return "C";
}

std::string SystemLocale() {
    std::ifstream in("/etc/default/locale");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("LANG=", 0) == 0) {
            std::string v = line.substr(5);
            if (v.size() >= 2 && v.front() == '"')
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return "C";
}

// Standard and daylight offsets (seconds east of UTC) and names of the
// current year, taken from the zone data at January and July.
struct ZoneInfo {
    bool hasDaylight = false;
    bool inDaylight = false;
    long standardOffset = 0;
    long daylightOffset = 0;
    std::string standardName;
    std::string daylightName;
};

ZoneInfo CurrentZone() {
    ::tzset();
    ZoneInfo z;
    const std::time_t now = std::time(nullptr);
    std::tm nowTm{};
    localtime_r(&now, &nowTm);
    z.inDaylight = nowTm.tm_isdst > 0;
    bool haveStandard = false;
    for (int month : {0, 6}) {
        std::tm probe{};
        probe.tm_year = nowTm.tm_year;
        probe.tm_mon = month;
        probe.tm_mday = 1;
        probe.tm_hour = 12;
        probe.tm_isdst = -1;
        const std::time_t t = std::mktime(&probe);
        std::tm local{};
        localtime_r(&t, &local);
        if (local.tm_isdst > 0) {
            z.hasDaylight = true;
            z.daylightOffset = local.tm_gmtoff;
            z.daylightName = local.tm_zone ? local.tm_zone : "";
        } else if (!haveStandard) {
            haveStandard = true;
            z.standardOffset = local.tm_gmtoff;
            z.standardName = local.tm_zone ? local.tm_zone : "";
        }
    }
    if (!z.hasDaylight) {
        z.daylightName = z.standardName;
        z.daylightOffset = z.standardOffset;
    }
    return z;
}

int ArchitectureId(const std::string& machine) {
    if (machine == "x86_64")
        return 9;  // AMD64
    if (machine == "aarch64")
        return 12;
    if (machine.rfind("arm", 0) == 0)
        return 5;
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86")
        return 0;
    return 0xffff;  // unknown
}

}  // namespace

int LocaleIdOf(const std::string& posixLocale) {
    static const std::map<std::string, int> ids{
        {"ja_JP", 0x0411}, {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0c09},
        {"en_CA", 0x1009}, {"de_DE", 0x0407}, {"fr_FR", 0x040c}, {"es_ES", 0x0c0a},
        {"it_IT", 0x0410}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"nl_NL", 0x0413},
        {"ru_RU", 0x0419}, {"zh_CN", 0x0804}, {"zh_TW", 0x0404}, {"ko_KR", 0x0412},
        {"sv_SE", 0x041d}, {"pl_PL", 0x0415}, {"C", 0x007f},     {"POSIX", 0x007f},
    };
    std::string name = posixLocale;
    if (const size_t cut = name.find_first_of(".@"); cut != std::string::npos) {
        name.resize(cut);
    }
    const auto it = ids.find(name);
    return it == ids.end() ? 0 : it->second;
}

std::vector<std::string> SystemInfoLines(const DisplayInfo& display) {
    std::vector<std::string> lines;

    utsname uts{};
    const bool haveUname = ::uname(&uts) == 0;
    const std::string machine = haveUname ? uts.machine : "";
    auto cpu = FirstCpu();
    const int family = std::atoi(cpu["cpu family"].c_str());
    const int model = std::atoi(cpu["model"].c_str());
    const int stepping = std::atoi(cpu["stepping"].c_str());
    const int type = machine == "x86_64" ? 8664 : (ArchitectureId(machine) == 0 ? 586 : 0);
    lines.push_back(platform::FormatText(
        "cpu {arch:%d num:%d type:%d level:%d rev:%d}", ArchitectureId(machine),
        static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN)), type, family, (model << 8) | stepping));

    auto mem = MemInfo();
    const unsigned long phy = mem["MemTotal"];
    const unsigned long phyFree = mem.count("MemAvailable") ? mem["MemAvailable"] : mem["MemFree"];
    const unsigned long page = phy + mem["SwapTotal"];
    const unsigned long pageFree = phyFree + mem["SwapFree"];
    rlimit as{};
    unsigned long virt = 1UL << 47;  // the user address space of x86-64 and arm64
    if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) {
        virt = static_cast<unsigned long>(as.rlim_cur);
    }
    const unsigned long used = VmSizeBytes();
    const unsigned long virtFree = virt > used ? virt - used : 0;
    lines.push_back(platform::FormatText("memory load:%d%%",
                                         phy ? static_cast<int>((phy - phyFree) * 100 / phy) : 0));
    lines.push_back(
        platform::FormatText("memory total{phy:%lu page:%lu virtual:%lu}", phy, page, virt));
    lines.push_back(platform::FormatText("memory available{phy:%lu page:%lu virtual:%lu}", phyFree,
                                         pageFree, virtFree));

    if (haveUname) {
        int major = 0, minor = 0, patch = 0;
        std::sscanf(uts.release, "%d.%d.%d", &major, &minor, &patch);
        const std::string distribution = OsReleaseName();
        lines.push_back(
            platform::FormatText("OS: linux %s - %s (%d.%d.%d)",
                                 distribution.empty() ? uts.sysname : distribution.c_str(),
                                 uts.release, major, minor, patch));
    }

    lines.push_back(platform::FormatText(
        "display num:%d corner(%d,%d) primary(%d,%d) virtual(%d,%d) work(%d,%d)", display.monitors,
        display.virtualLeft, display.virtualTop, display.primaryWidth, display.primaryHeight,
        display.virtualWidth, display.virtualHeight, display.workLeft, display.workTop));

    // Biases in minutes as Windows gives them: UTC = local time + bias.
    const ZoneInfo zone = CurrentZone();
    const int result = !zone.hasDaylight ? 0 : (zone.inDaylight ? 2 : 1);
    const int bias = static_cast<int>(-zone.standardOffset / 60);
    const int daylightBias = static_cast<int>(-(zone.daylightOffset - zone.standardOffset) / 60);
    lines.push_back(platform::FormatText("TZ result:%d (err:%d) bias:%d", result, 0, bias));
    lines.push_back(platform::FormatText("TZ(standard) %s bias:%d", zone.standardName.c_str(), 0));
    lines.push_back(
        platform::FormatText("TZ(daylight) %s bias:%d", zone.daylightName.c_str(), daylightBias));

    const int user = LocaleIdOf(EnvLocale("LC_CTYPE"));
    const int userUi = LocaleIdOf(EnvLocale("LC_MESSAGES"));
    const int system = LocaleIdOf(SystemLocale());
    lines.push_back(platform::FormatText("UserDefault LCID:%d LangID:%d UILanguage:%d", user,
                                         user & 0xffff, userUi & 0xffff));
    lines.push_back(platform::FormatText("SystemDefault LCID:%d LangID:%d UILanguage:%d", system,
                                         system & 0xffff, system & 0xffff));
    return lines;
}

}  // namespace app
