// Model::StyleFields: the stored fields of the style records, each record's
// fields described once, in file order, by a table of member pointers. The
// archiver reads and writes a record from its table, and the calendar style
// compares its stored fields with the same table, so a field added to a
// table is read, written and compared alike (docs/style-file.md).
//
// The tables are constants and the operations are stateless templates; any
// thread, on records it owns.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>

#include "model/StyleArchiver.h"
#include "model/StyleInfo.h"

namespace Model::StyleFields {

// One stored member. `since` is the first file version that holds it (0:
// every version); a file is always written whole, in the current version.
template <class Owner, class T>
struct Field {
    T Owner::*member;
    int32_t since = 0;
};

// Two numbers stored as one item (a pair): read whole or not at all.
template <class Owner>
struct PairField {
    int32_t Owner::*first;
    int32_t Owner::*second;
};

// A number kept at its place with no meaning: written as 0, skipped when
// read, not compared.
struct Reserved {};

// The file version: read and kept like a number (the fields after it with a
// `since` are read only from files that hold them), written as `current`.
template <class Owner>
struct Version {
    int32_t Owner::*member;
    int32_t current;
};

template <class Owner, class T>
constexpr Field<Owner, T> Stored(T Owner::*member, int32_t since = 0) {
    return {member, since};
}

template <class Owner>
constexpr PairField<Owner> StoredPair(int32_t Owner::*first, int32_t Owner::*second) {
    return {first, second};
}

// A text style: colour, visible, use position, position x and y; string
// format; font family; font size, font style, shadow, shadow thickness;
// shadow offset (pair); shadow colour, outline, outline thickness, outline
// colour.
inline constexpr auto kTextStyle = std::tuple{
    Stored(&TextStyle::color),
    Stored(&TextStyle::visible),
    Stored(&TextStyle::usePosition),
    Stored(&TextStyle::positionX),
    Stored(&TextStyle::positionY),
    Stored(&TextStyle::format),
    Stored(&TextStyle::fontFamily),
    Stored(&TextStyle::fontSize),
    Stored(&TextStyle::fontStyle),
    Stored(&TextStyle::shadow),
    Stored(&TextStyle::shadowThickness),
    StoredPair(&TextStyle::shadowOffsetX, &TextStyle::shadowOffsetY),
    Stored(&TextStyle::shadowColor),
    Stored(&TextStyle::outline),
    Stored(&TextStyle::outlineThickness),
    Stored(&TextStyle::outlineColor),
};

// What a day text style stores after its text style: the box, with the
// frame flag before the fill flag.
inline constexpr auto kDayTextStyleBox = std::tuple{
    Stored(&DayTextStyle::boxShape),      Stored(&DayTextStyle::boxFillColor),
    Stored(&DayTextStyle::boxFrameColor), Stored(&DayTextStyle::boxFrame),
    Stored(&DayTextStyle::boxFill),
};

namespace detail {

inline void ReadItem(CStyleArchiver& ar, int32_t& value) {
    value = ar.ReadInt();
}
inline void ReadItem(CStyleArchiver& ar, uint32_t& value) {
    value = ar.ReadUInt();
}
inline void ReadItem(CStyleArchiver& ar, std::wstring& value) {
    value = ar.ReadText();
}
inline void ReadItem(CStyleArchiver& ar, StyleMargins& value) {
    ar.ReadMargins(value);
}
inline void ReadItem(CStyleArchiver& ar, StringFormat& value) {
    ar.ReadFormat(value);
}
inline void ReadItem(CStyleArchiver& ar, TextStyle& value) {
    ar.ReadTextStyle(value);
}
inline void ReadItem(CStyleArchiver& ar, DayTextStyle& value) {
    ar.ReadDayTextStyle(value);
}

inline void WriteItem(CStyleArchiver& ar, int32_t value) {
    ar.WriteInt(value);
}
inline void WriteItem(CStyleArchiver& ar, uint32_t value) {
    ar.WriteUInt(value);
}
inline void WriteItem(CStyleArchiver& ar, const std::wstring& value) {
    ar.WriteText(value);
}
inline void WriteItem(CStyleArchiver& ar, const StyleMargins& value) {
    ar.WriteMargins(value);
}
inline void WriteItem(CStyleArchiver& ar, const StringFormat& value) {
    ar.WriteFormat(value);
}
inline void WriteItem(CStyleArchiver& ar, const TextStyle& value) {
    ar.WriteTextStyle(value);
}
inline void WriteItem(CStyleArchiver& ar, const DayTextStyle& value) {
    ar.WriteDayTextStyle(value);
}

template <class Owner, class T>
void ReadField(CStyleArchiver& ar, Owner& record, const Field<Owner, T>& field, int32_t& version) {
    if (field.since == 0 || version >= field.since) {
        ReadItem(ar, record.*field.member);
    }
}
template <class Owner>
void ReadField(CStyleArchiver& ar, Owner& record, const PairField<Owner>& field, int32_t&) {
    ar.ReadPair(record.*field.first, record.*field.second);
}
template <class Owner>
void ReadField(CStyleArchiver& ar, Owner&, const Reserved&, int32_t&) {
    ar.ReadInt();
}
template <class Owner>
void ReadField(CStyleArchiver& ar, Owner& record, const Version<Owner>& field, int32_t& version) {
    record.*field.member = ar.ReadInt();
    version = record.*field.member;
}

template <class Owner, class T>
void WriteField(CStyleArchiver& ar, const Owner& record, const Field<Owner, T>& field) {
    WriteItem(ar, record.*field.member);
}
template <class Owner>
void WriteField(CStyleArchiver& ar, const Owner& record, const PairField<Owner>& field) {
    ar.WritePair(record.*field.first, record.*field.second);
}
template <class Owner>
void WriteField(CStyleArchiver& ar, const Owner&, const Reserved&) {
    ar.WriteInt(0);
}
template <class Owner>
void WriteField(CStyleArchiver& ar, const Owner&, const Version<Owner>& field) {
    ar.WriteInt(field.current);
}

template <class Owner, class T>
bool SameField(const Owner& a, const Owner& b, const Field<Owner, T>& field) {
    return a.*field.member == b.*field.member;
}
template <class Owner>
bool SameField(const Owner& a, const Owner& b, const PairField<Owner>& field) {
    return a.*field.first == b.*field.first && a.*field.second == b.*field.second;
}
template <class Owner>
bool SameField(const Owner&, const Owner&, const Reserved&) {
    return true;
}
template <class Owner>
bool SameField(const Owner& a, const Owner& b, const Version<Owner>& field) {
    return a.*field.member == b.*field.member;
}

}  // namespace detail

// Reads the fields of `table` into `record`, in order. An archiver error
// ends the reading; the fields read before it keep their new values.
template <class Owner, class Table>
void Read(CStyleArchiver& ar, Owner& record, const Table& table) {
    int32_t version = 0;
    std::apply([&](const auto&... field) { (detail::ReadField(ar, record, field, version), ...); },
               table);
}

// Writes the fields of `table` from `record`, in order.
template <class Owner, class Table>
void Write(CStyleArchiver& ar, const Owner& record, const Table& table) {
    std::apply([&](const auto&... field) { (detail::WriteField(ar, record, field), ...); }, table);
}

// True when every field of `table` is equal in `a` and `b`.
template <class Owner, class Table>
bool Same(const Owner& a, const Owner& b, const Table& table) {
    return std::apply([&](const auto&... field) { return (detail::SameField(a, b, field) && ...); },
                      table);
}

}  // namespace Model::StyleFields
