#include "model/StyleArchiver.h"

#include "model/StyleFields.h"
#include "platform/TextConv.h"

namespace Model {

CStyleArchiver::CStyleArchiver(std::span<const uint8_t> bytes) : mode_(kRead), in_(bytes) {}

CStyleArchiver::CStyleArchiver(size_t reserve) : mode_(kWrite) {
    out_.reserve(reserve);
}

void CStyleArchiver::Need(Mode mode, size_t bytes) const {
    if (mode_ != mode) {
        throw Error("Mode mismatch");
    }
    if (mode == kRead && (position_ > in_.size() || bytes > in_.size() - position_)) {
        throw Error("CStyleArchiver overrun");
    }
}

int32_t CStyleArchiver::ReadInt() {
    Need(kRead, 4);
    const uint8_t* p = in_.data() + position_;
    const uint32_t value =
        uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    position_ += 4;
    return static_cast<int32_t>(value);
}

void CStyleArchiver::ReadPair(int32_t& first, int32_t& second) {
    Need(kRead, 8);
    first = ReadInt();
    second = ReadInt();
}

void CStyleArchiver::ReadMargins(StyleMargins& margins) {
    Need(kRead, 16);
    margins.left = ReadInt();
    margins.right = ReadInt();
    margins.top = ReadInt();
    margins.bottom = ReadInt();
}

std::wstring CStyleArchiver::ReadText() {
    Need(kRead, 4);
    const uint32_t count = static_cast<uint32_t>(ReadInt());
    // The count is checked against what is left before anything is allocated.
    if (count > in_.size() - position_) {
        position_ -= 4;
        throw Error("CStyleArchiver overrun");
    }
    if (count % 2 != 0) {
        position_ -= 4;
        throw Error("CStyleArchiver bad text");
    }
    std::u16string utf16(count / 2, u'\0');
    const uint8_t* p = in_.data() + position_;
    for (size_t i = 0; i < utf16.size(); ++i) {
        utf16[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    position_ += count;
    return platform::Utf16ToWide(utf16);
}

void CStyleArchiver::ReadFormat(StringFormat& format) {
    Need(kRead, 8);
    ReadPair(format.alignment, format.lineAlignment);
}

void CStyleArchiver::ReadTextStyle(TextStyle& style) {
    // Fields read before a fault keep their new values, like every other field.
    StyleFields::Read(*this, style, StyleFields::kTextStyle);
}

void CStyleArchiver::ReadDayTextStyle(DayTextStyle& style) {
    ReadTextStyle(style);
    StyleFields::Read(*this, style, StyleFields::kDayTextStyleBox);
}

void CStyleArchiver::WriteInt(int32_t value) {
    Need(kWrite, 4);
    const uint32_t v = static_cast<uint32_t>(value);
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
    out_.push_back(static_cast<uint8_t>(v >> 16));
    out_.push_back(static_cast<uint8_t>(v >> 24));
    position_ += 4;
}

void CStyleArchiver::WritePair(int32_t first, int32_t second) {
    WriteInt(first);
    WriteInt(second);
}

void CStyleArchiver::WriteMargins(const StyleMargins& margins) {
    WriteInt(margins.left);
    WriteInt(margins.right);
    WriteInt(margins.top);
    WriteInt(margins.bottom);
}

void CStyleArchiver::WriteText(const std::wstring& text) {
    Need(kWrite, 4);
    const std::u16string utf16 = platform::WideToUtf16(text);
    WriteInt(static_cast<int32_t>(utf16.size() * 2));
    for (char16_t c : utf16) {
        out_.push_back(static_cast<uint8_t>(c));
        out_.push_back(static_cast<uint8_t>(c >> 8));
    }
    position_ += utf16.size() * 2;
}

void CStyleArchiver::WriteFormat(const StringFormat& format) {
    WritePair(format.alignment, format.lineAlignment);
}

void CStyleArchiver::WriteTextStyle(const TextStyle& style) {
    StyleFields::Write(*this, style, StyleFields::kTextStyle);
}

void CStyleArchiver::WriteDayTextStyle(const DayTextStyle& style) {
    WriteTextStyle(style);
    StyleFields::Write(*this, style, StyleFields::kDayTextStyleBox);
}

}  // namespace Model
