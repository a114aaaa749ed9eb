// Conversions between UTF-8 (the core's text) and wide text (what the views
// and the view-side records carry). Pure functions; any thread.
// Invalid UTF-8 bytes become U+FFFD; unpaired surrogates in wide text
// become U+FFFD in UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting into a string of whatever length it needs (log
// lines and short texts; `format` is always a literal of the caller).
template <typename... Args>
std::string FormatText(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// UTF-16 code units of wide text, and back (the Windows wide encoding, where
// a format on disk depends on it).
std::u16string WideToUtf16(const std::wstring& wide);
std::wstring Utf16ToWide(const std::u16string& utf16);

// UTF-16 straight to UTF-8 and back (the XML parser's text), with the same
// replacement rules.
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u16string Utf8ToUtf16(const std::string& utf8);

}  // namespace platform
