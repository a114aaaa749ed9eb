#include "app/AccountScrambler.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/TextConv.h"

namespace Model {
namespace {

// Byte table: the row is a digit, the column the byte's index modulo 10.
constexpr uint8_t kTable[10][10] = {
    {0x93, 0xbf, 0xd6, 0x8d, 0xa9, 0x0c, 0x7b, 0x62, 0x62, 0x75},
    {0x7e, 0x50, 0x86, 0x5d, 0xdb, 0x16, 0x8c, 0xca, 0xdf, 0x80},
    {0xd2, 0x8a, 0x7a, 0xd8, 0x4d, 0xe4, 0x39, 0x33, 0x6c, 0xc1},
    {0x9d, 0x12, 0x1d, 0x58, 0x04, 0x36, 0x60, 0xae, 0x61, 0xbd},
    {0x29, 0x92, 0xc8, 0x42, 0x55, 0xfe, 0x8e, 0x37, 0x63, 0x87},
    {0xc5, 0x53, 0x14, 0x48, 0xb7, 0xb2, 0xef, 0x41, 0x98, 0x66},
    {0x8e, 0xeb, 0xa2, 0xa8, 0x1b, 0x88, 0x21, 0x81, 0x3d, 0x52},
    {0x7a, 0x71, 0x69, 0xeb, 0x35, 0x67, 0xd8, 0x23, 0xc4, 0xc7},
    {0x6b, 0x29, 0x8a, 0x70, 0xad, 0xc2, 0x0f, 0xbf, 0x85, 0xd1},
    {0xea, 0xf8, 0x79, 0x18, 0xd5, 0x3b, 0xab, 0x34, 0xe4, 0xc0},
};

// Swap table: 1 swaps the two halves of the byte.
constexpr uint8_t kSwap[10][10] = {
    {1, 1, 0, 0, 0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 1, 0, 1, 0, 0, 0}, {0, 1, 1, 1, 1, 1, 0, 1, 1, 0},
    {1, 0, 0, 0, 0, 1, 0, 1, 0, 1}, {1, 1, 1, 0, 0, 0, 0, 1, 1, 1}, {0, 1, 0, 1, 0, 1, 0, 0, 1, 1},
    {1, 1, 1, 1, 0, 0, 1, 0, 1, 1}, {1, 0, 0, 0, 0, 0, 1, 1, 1, 1}, {1, 1, 0, 1, 1, 1, 1, 1, 0, 1},
    {0, 1, 0, 0, 1, 1, 0, 1, 0, 0},
};

constexpr uint8_t kMarker = 0xac;

void XorPass(std::vector<uint8_t>& bytes, int digit) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] ^= static_cast<uint8_t>(kTable[digit][i % 10] + digit);
    }
}

void SwapPass(std::vector<uint8_t>& bytes, int digit) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (kSwap[digit][i % 10] == 1) {
            bytes[i] = static_cast<uint8_t>((bytes[i] << 4) | (bytes[i] >> 4));
        }
    }
}

// A small linear congruential generator: the filler bytes only need to vary
// with the seed, the same way on every build.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed) {}
    uint32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7fff;
    }

private:
    uint32_t state_;
};

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Hex number of the given count of digits at pos, or -1.
long Hex(const std::wstring& s, size_t pos, size_t count) {
    if (pos + count > s.size()) {
        return -1;
    }
    long n = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        const int v = HexValue(s[i]);
        if (v < 0) {
            return -1;
        }
        n = n * 16 + v;
    }
    return n;
}

}  // namespace

std::wstring ScrambleAccountValue(const std::wstring& value) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    const long long seconds = ms / 1000;
    return ScrambleAccountValue(value, static_cast<int>((seconds / 60 % 60) % 10),
                                static_cast<int>((seconds % 60) % 10),
                                static_cast<int>((ms % 1000) % 10));
}

std::wstring ScrambleAccountValue(const std::wstring& value, int a, int b, int c) {
    const std::u16string utf16 = platform::WideToUtf16(value);
    std::vector<uint8_t> bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t u : utf16) {
        bytes.push_back(static_cast<uint8_t>(u & 0xff));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    XorPass(bytes, a);
    SwapPass(bytes, c);
    XorPass(bytes, b);

    Random random(static_cast<uint32_t>(b + 324));
    uint8_t r1 = static_cast<uint8_t>(random.Next() & 0xff);
    uint8_t r2 = static_cast<uint8_t>(random.Next() & 0xff);
    if (r1 == 0)
        r1 = 1;
    if (r2 == 0)
        r2 = 1;

    const unsigned n = static_cast<unsigned>(bytes.size());
    char header[32];
    std::snprintf(header, sizeof header, "%02x%02x%02x%02x%02x%02x%04x", r2, r1 ^ 0x5e, kMarker,
                  c ^ r1, a ^ r1, b ^ r1, n ^ r1);
    std::string out = header;
    for (uint8_t byte : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        out += hex;
    }
    return platform::Utf8ToWide(out);
}

std::wstring UnscrambleAccountValue(const std::wstring& stored) {
    if (stored.size() <= 16 || stored.compare(4, 2, L"ac") != 0) {
        return {};
    }
    const long field = Hex(stored, 2, 2);
    const long cx = Hex(stored, 6, 2), ax = Hex(stored, 8, 2), bx = Hex(stored, 10, 2);
    const long nx = Hex(stored, 12, 4);
    if (field < 0 || cx < 0 || ax < 0 || bx < 0 || nx < 0) {
        return {};
    }
    const long r1 = field ^ 0x5e;
    const long c = cx ^ r1, a = ax ^ r1, b = bx ^ r1;
    const size_t n = static_cast<size_t>(nx ^ r1);
    // Digits outside the tables or a count beyond the text: not ours.
    if (a < 0 || a > 9 || b < 0 || b > 9 || c < 0 || c > 9 || n % 2 != 0 ||
        16 + 2 * n > stored.size()) {
        return {};
    }
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        const long v = Hex(stored, 16 + 2 * i, 2);
        if (v < 0) {
            return {};
        }
        bytes[i] = static_cast<uint8_t>(v);
    }
    XorPass(bytes, static_cast<int>(b));
    SwapPass(bytes, static_cast<int>(c));
    XorPass(bytes, static_cast<int>(a));
    std::u16string utf16;
    for (size_t i = 0; i + 1 < n; i += 2) {
        utf16 += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    return platform::Utf16ToWide(utf16);
}

}  // namespace Model
