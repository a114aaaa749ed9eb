// Private-profile (INI) files with the behaviour of the Windows profile
// functions: every call reads or rewrites the whole file, a missing file,
// section or key gives the default, and a write keeps every other line of
// the file byte for byte. Files are UTF-8; section and key names match
// without regard to ASCII case; the first matching key wins.
//
// Thread-safe: writes are serialised by one process-wide mutex and replace the
// file atomically (write a temporary file, then rename), so a reader never
// sees half a file. A newly created file gets the mode given to the write
// (0600 by default: the configuration holds account values); an existing
// file keeps its mode.
#pragma once

#include <sys/types.h>
#include <string>

namespace platform {

// Leading decimal digits of the value (after blanks and an optional sign);
// the default when the key is absent or the value does not start with a digit.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path);

// The value without surrounding blanks or one pair of surrounding quotes,
// cut to bufferChars - 1 characters as a Windows buffer of that size would.
std::wstring GetPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::wstring& defaultValue, size_t bufferChars,
                                     const std::string& path);

// Same, UTF-8 in and out.
std::string GetPrivateProfileStringUtf8(const std::string& section, const std::string& key,
                                        const std::string& defaultValue, size_t bufferChars,
                                        const std::string& path);

// Creates the file, the section or the key as needed and replaces an
// existing value in place. Returns false when the file cannot be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               mode_t newFileMode = 0600);
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::wstring& value, const std::string& path,
                               mode_t newFileMode = 0600);

}  // namespace platform
