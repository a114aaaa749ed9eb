// Helpers that write values into SQL text and read them back from result
// rows, shared by the store's statements. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "googledata/WrenSQLite.h"

namespace googledata::sql {

// A quoted literal: the text up to its first NUL byte (the engine reads C
// strings, so nothing after a NUL could be stored), single quotes doubled.
inline std::string Quote(const std::string& text) {
    const size_t end = text.find('\0');
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (size_t i = 0; i < text.size() && i != end; ++i) {
        if (text[i] == '\'') {
            out += '\'';
        }
        out += text[i];
    }
    out += '\'';
    return out;
}

inline std::string Num(long long value) {
    return std::to_string(value);
}
inline std::string Flag(bool value) {
    return value ? "1" : "0";
}

// column='text'
inline std::string SetText(const char* column, const std::string& text) {
    return std::string(column) + "=" + Quote(text);
}
// column=n
inline std::string SetNum(const char* column, long long value) {
    return std::string(column) + "=" + Num(value);
}

// Column i of a row, or empty text when the row is shorter.
inline const std::string& Text(const ResultRow& row, size_t i) {
    static const std::string empty;
    return i < row.size() ? row[i] : empty;
}

// A decimal integer the way strtol reads it; 0 for text that is no number.
inline int32_t Int(const ResultRow& row, size_t i) {
    return static_cast<int32_t>(std::strtol(Text(row, i).c_str(), nullptr, 10));
}

}  // namespace googledata::sql
