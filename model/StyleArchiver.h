// CStyleArchiver: a cursor over a memory buffer that reads or writes the
// items of a style file (little-endian 32-bit numbers, pairs, margins,
// UTF-16LE texts with a byte count, string formats and text styles).
//
// A read-mode archiver borrows the bytes it reads (they must outlive it); a
// write-mode archiver owns its buffer, which grows as items are added. Every
// item is checked before it is touched: a read that would run past the end
// throws CStyleArchiver::Error("CStyleArchiver overrun"), an operation of the
// other mode Error("Mode mismatch"), and a text whose byte count is odd
// Error("CStyleArchiver bad text"). Nothing is allocated beyond the size of
// the item being read, so a hostile count never costs more than the buffer.
// One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/StyleInfo.h"

namespace Model {

class CStyleArchiver {
public:
    enum Mode : int { kRead = 1, kWrite = 2 };

    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Read mode over `bytes`.
    explicit CStyleArchiver(std::span<const uint8_t> bytes);
    // Write mode over an empty buffer of `reserve` bytes' capacity.
    explicit CStyleArchiver(size_t reserve = 10240);

    Mode GetMode() const { return mode_; }
    size_t GetPosition() const { return position_; }
    size_t GetSize() const { return mode_ == kRead ? in_.size() : out_.size(); }
    // The bytes written so far (write mode).
    const std::vector<uint8_t>& GetBuffer() const { return out_; }

    int32_t ReadInt();
    uint32_t ReadUInt() { return static_cast<uint32_t>(ReadInt()); }
    void ReadPair(int32_t& first, int32_t& second);
    void ReadMargins(StyleMargins& margins);
    std::wstring ReadText();
    void ReadFormat(StringFormat& format);
    void ReadTextStyle(TextStyle& style);
    void ReadDayTextStyle(DayTextStyle& style);

    void WriteInt(int32_t value);
    void WriteUInt(uint32_t value) { WriteInt(static_cast<int32_t>(value)); }
    void WritePair(int32_t first, int32_t second);
    void WriteMargins(const StyleMargins& margins);
    void WriteText(const std::wstring& text);
    void WriteFormat(const StringFormat& format);
    void WriteTextStyle(const TextStyle& style);
    void WriteDayTextStyle(const DayTextStyle& style);

private:
    void Need(Mode mode, size_t bytes) const;

    Mode mode_;
    std::span<const uint8_t> in_;
    std::vector<uint8_t> out_;
    size_t position_ = 0;
};

}  // namespace Model
