#include "model/EventInput.h"

#include <array>
#include <optional>
#include <string_view>

namespace Model {

namespace {

constexpr wchar_t kIdeographicSpace = 0x3000;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == kIdeographicSpace;
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The value of an ASCII or full-width digit, or -1.
int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= 0xFF10 && c <= 0xFF19) {  // "０" to "９"
        return c - 0xFF10;
    }
    return -1;
}

// Reads one or two digits from the front of `text`.
std::optional<int> TakeNumber(std::wstring_view& text) {
    int value = 0;
    size_t count = 0;
    while (count < text.size() && count < 2 && DigitValue(text[count]) >= 0) {
        value = value * 10 + DigitValue(text[count]);
        ++count;
    }
    if (count == 0 || (count < text.size() && DigitValue(text[count]) >= 0)) {
        return std::nullopt;  // no digit, or more than two
    }
    text.remove_prefix(count);
    return value;
}

struct Clock {
    int hour;
    int minute;
};

// A whole time text: "H:MM", "H：MM", "H時MM", "H時", "H時MM分".
std::optional<Clock> ReadTime(std::wstring_view text) {
    const std::optional<int> hour = TakeNumber(text);
    if (!hour || text.empty()) {
        return std::nullopt;
    }
    const wchar_t separator = text.front();
    text.remove_prefix(1);
    int minute = 0;
    if (separator == L':' || separator == 0xFF1A) {  // ":" or "："
        const std::optional<int> m = TakeNumber(text);
        if (!m || !text.empty()) {
            return std::nullopt;
        }
        minute = *m;
    } else if (separator == 0x6642) {  // "時"
        if (!text.empty()) {
            const std::optional<int> m = TakeNumber(text);
            if (!m) {
                return std::nullopt;
            }
            minute = *m;
            if (!text.empty() && text.front() == 0x5206) {  // "分"
                text.remove_prefix(1);
            }
            if (!text.empty()) {
                return std::nullopt;
            }
        }
    } else {
        return std::nullopt;
    }
    if (*hour > 23 || minute > 59) {
        return std::nullopt;
    }
    return Clock{*hour, minute};
}

// The separators between a start and an end.
constexpr std::array<std::wstring_view, 6> kRangeSeparators = {
    L"-",           L"\xFF0D" /* － */, L"\x30FC" /* ー */, L"\xFF5E" /* ～ */, L"\x301C" /* 〜 */,
    L"\x304B\x3089" /* から */};

struct Range {
    Clock start;
    std::optional<Clock> end;
};

// The time part: a start, or a start, a separator and an end (or nothing
// after the separator).
std::optional<Range> ReadRange(std::wstring_view part) {
    if (const std::optional<Clock> start = ReadTime(part)) {
        return Range{*start, std::nullopt};
    }
    // The first separator that splits the part into a valid start and a
    // valid (or empty) end.
    for (size_t pos = 1; pos < part.size(); ++pos) {
        for (std::wstring_view separator : kRangeSeparators) {
            if (part.substr(pos, separator.size()) != separator) {
                continue;
            }
            const std::optional<Clock> start = ReadTime(part.substr(0, pos));
            if (!start) {
                continue;
            }
            const std::wstring_view rest = part.substr(pos + separator.size());
            if (rest.empty()) {
                return Range{*start, std::nullopt};
            }
            if (const std::optional<Clock> end = ReadTime(rest)) {
                return Range{*start, *end};
            }
        }
    }
    return std::nullopt;
}

}  // namespace

ParsedInput ParseInput(const std::wstring& line) {
    ParsedInput result;
    const std::wstring_view text = Trim(line);
    result.title = std::wstring(text);

    size_t blank = 0;
    while (blank < text.size() && text[blank] != L' ' && text[blank] != kIdeographicSpace) {
        ++blank;
    }
    const std::optional<Range> range = ReadRange(text.substr(0, blank));
    if (!range) {
        return result;  // all title
    }
    result.startHour = range->start.hour;
    result.startMinute = range->start.minute;
    if (range->end) {
        result.endHour = range->end->hour;
        result.endMinute = range->end->minute;
    } else if (range->start.hour == 23) {
        result.endHour = 23;
        result.endMinute = range->start.minute;
    } else {
        result.endHour = range->start.hour + 1;
        result.endMinute = range->start.minute;
    }
    if (result.endHour * 60 + result.endMinute < result.startHour * 60 + result.startMinute) {
        result.error = true;
        result.startHour = result.startMinute = result.endHour = result.endMinute = 0;
        return result;  // the line stays whole
    }
    result.hasTime = true;
    result.title = std::wstring(Trim(blank < text.size() ? text.substr(blank + 1) : L""));
    return result;
}

}  // namespace Model
