// Conversions between UTF-8 (the core's text) and wide text (what the views
// and the view-side records carry). Pure functions; any thread.
// Invalid UTF-8 bytes become U+FFFD; unpaired surrogates in wide text
// become U+FFFD in UTF-8.
#pragma once

#include <string>

namespace platform {

std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// UTF-16 code units of wide text, and back (the Windows wide encoding, where
// a format on disk depends on it).
std::u16string WideToUtf16(const std::wstring& wide);
std::wstring Utf16ToWide(const std::u16string& utf16);

}  // namespace platform
