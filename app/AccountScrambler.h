// The stored form of the account values in config.ini: lower-case hex of
// the value's UTF-16LE bytes, passed through three table-driven byte passes,
// behind a 16-character header that carries the pass digits. Pure functions;
// any thread. Stored values are readable only by a build with the same tables.
#pragma once

#include <cstdint>
#include <string>

namespace Model {

// Scrambles with digits taken from the current UTC minute, second and
// millisecond.
std::wstring ScrambleAccountValue(const std::wstring& value);
// Scrambles with the given digits (0-9); for tests.
std::wstring ScrambleAccountValue(const std::wstring& value, int a, int b, int c);
// Empty text when the stored form does not check out.
std::wstring UnscrambleAccountValue(const std::wstring& stored);

}  // namespace Model
