#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/TextConv.h"

namespace platform {
namespace {

std::mutex& WriteMutex() {
    static std::mutex m;
    return m;
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return true;
}

// One line of the file: its text without the line end, and where it lies.
// CR, LF and CRLF each end a line, so that what the reader sees as one line
// the writer also treats as one (a key written after a line ending in a bare
// CR stays on a line of its own).
struct Line {
    size_t begin;  // offset of the first byte
    size_t end;    // offset just past the text (before its "\r\n", "\n" or "\r")
    size_t next;   // offset of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t pos = 0;
    // A UTF-8 byte-order mark belongs to no name.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        pos = 3;
    }
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        size_t next = end;
        if (next < text.size()) {
            next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        }
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

struct Found {
    bool sectionFound = false;
    size_t sectionLastLine = 0;  // index of the last non-blank line of the first matching section
    std::optional<size_t> keyLine;
    std::string_view value;
};

Found Find(const std::string& text, const std::vector<Line>& lines, std::string_view section,
           std::string_view key) {
    Found f;
    bool inSection = false;
    bool inFirstSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
        if (auto name = SectionName(line)) {
            inSection = EqualsNoCase(*name, section);
            inFirstSection = inSection && !f.sectionFound;
            if (inSection && !f.sectionFound) {
                f.sectionFound = true;
                f.sectionLastLine = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (inFirstSection && !Trim(line).empty()) {
            f.sectionLastLine = i;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        if (EqualsNoCase(Trim(line.substr(0, eq)), key)) {
            f.keyLine = i;
            f.value = Trim(line.substr(eq + 1));
            return f;
        }
    }
    return f;
}

std::optional<std::string> ReadValue(const std::string& section, const std::string& key,
                                     const std::string& path) {
    std::string text;
    if (!ReadFile(path, text)) {
        return std::nullopt;
    }
    const auto lines = SplitLines(text);
    const Found f = Find(text, lines, section, key);
    if (!f.keyLine) {
        return std::nullopt;
    }
    std::string_view v = f.value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

bool WriteWhole(const std::string& path, const std::string& text, mode_t newFileMode) {
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : newFileMode;
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    ::fchmod(fd, mode);
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path) {
    const auto value = ReadValue(section, key, path);
    if (!value) {
        return defaultValue;
    }
    std::string_view v = Trim(*value);
    bool negative = false;
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty() || v.front() < '0' || v.front() > '9') {
        return defaultValue;
    }
    long long n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') {
            break;
        }
        n = n * 10 + (c - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) {
            n = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        n = -n;
    }
    if (n > INT_MAX)
        n = INT_MAX;
    if (n < INT_MIN)
        n = INT_MIN;
    return static_cast<int>(n);
}

std::wstring GetPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::wstring& defaultValue, size_t bufferChars,
                                     const std::string& path) {
    const auto value = ReadValue(section, key, path);
    std::wstring w = value ? Utf8ToWide(*value) : defaultValue;
    const size_t max = bufferChars == 0 ? 0 : bufferChars - 1;
    if (w.size() > max) {
        w.resize(max);
    }
    return w;
}

std::string GetPrivateProfileStringUtf8(const std::string& section, const std::string& key,
                                        const std::string& defaultValue, size_t bufferChars,
                                        const std::string& path) {
    return WideToUtf8(
        GetPrivateProfileString(section, key, Utf8ToWide(defaultValue), bufferChars, path));
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               mode_t newFileMode) {
    if (path.empty()) {
        return false;  // no data folder: nothing is written anywhere
    }
    std::lock_guard<std::mutex> guard(WriteMutex());
    std::string text;
    ReadFile(path, text);  // a missing file is an empty one
    const auto lines = SplitLines(text);
    const Found f = Find(text, lines, section, key);
    // New lines follow the file's own line end (that of its first line).
    const std::string eol = (!lines.empty() && lines[0].next > lines[0].end)
                                ? text.substr(lines[0].end, lines[0].next - lines[0].end)
                                : std::string("\n");
    // A value is one line: a line end or NUL inside it would cut the file.
    std::string clean = value;
    for (char& c : clean) {
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    }
    const std::string keyLine = key + "=" + clean;

    std::string out;
    if (f.keyLine) {
        const Line& l = lines[*f.keyLine];
        out = text.substr(0, l.begin) + keyLine + text.substr(l.end);
    } else if (f.sectionFound) {
        const Line& l = lines[f.sectionLastLine];
        const bool hasEol = l.next > l.end;
        out = text.substr(0, l.end) + (hasEol ? text.substr(l.end, l.next - l.end) : eol) +
              keyLine + (hasEol ? eol : "") + text.substr(l.next);
        if (!hasEol) {
            out += eol;
        }
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r') {
            out += eol;
        }
        out += "[" + section + "]" + eol + keyLine + eol;
    }
    return WriteWhole(path, out, newFileMode);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::wstring& value, const std::string& path,
                               mode_t newFileMode) {
    return WritePrivateProfileString(section, key, WideToUtf8(value), path, newFileMode);
}

}  // namespace platform
