#include "model/CalendarStyleInfo.h"

#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <fstream>
#include <memory>
#include <tuple>
#include <vector>

#include "model/StyleArchiver.h"
#include "model/StyleFields.h"
#include "platform/TextConv.h"

namespace Model {
namespace {

// A style file is a few kilobytes; anything past this is not read.
constexpr std::streamoff kMaxStyleFileBytes = 1 << 20;

TextStyle MakeText(const wchar_t* family, int size, ArgbColor color, int32_t alignment,
                   int32_t lineAlignment) {
    TextStyle s;
    s.fontFamily = family;
    s.fontSize = size;
    s.color = color;
    s.format = {alignment, lineAlignment};
    return s;
}

DayTextStyle MakeDay(ArgbColor color) {
    DayTextStyle s;
    static_cast<TextStyle&>(s) = MakeText(L"Arial", 9, color, kAlignCenter, kAlignCenter);
    return s;
}

// Text of the user's locale (LC_TIME from the environment), at most 64
// characters; empty when the locale or item is not available.
std::wstring LocaleItem(nl_item item) {
    struct LocaleDeleter {
        void operator()(locale_t l) const { freelocale(l); }
    };
    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter> loc(
        newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr)));
    if (!loc) {
        loc.reset(newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr)));
        if (!loc) {
            return {};
        }
    }
    const char* text = nl_langinfo_l(item, loc.get());
    if (text == nullptr) {
        return {};
    }
    const locale_t previous = uselocale(loc.get());
    std::mbstate_t state{};
    const char* src = text;
    std::wstring out(65, L'\0');
    const size_t n = std::mbsrtowcs(out.data(), &src, out.size() - 1, &state);
    uselocale(previous);
    if (n == static_cast<size_t>(-1)) {
        return platform::Utf8ToWide(text).substr(0, 64);
    }
    out.resize(std::min<size_t>(n, 64));
    return out;
}

nl_item LocaleMonthItem(int month) {
#ifdef ALTMON_1
    // The nominative form, as a calendar header shows it.
    static constexpr std::array<nl_item, 12> kItems = {ALTMON_1, ALTMON_2,  ALTMON_3,  ALTMON_4,
                                                       ALTMON_5, ALTMON_6,  ALTMON_7,  ALTMON_8,
                                                       ALTMON_9, ALTMON_10, ALTMON_11, ALTMON_12};
#else
    static constexpr std::array<nl_item, 12> kItems = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                                       MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
#endif
    return kItems[month - 1];
}

constexpr std::array<const wchar_t*, 12> kMonthFull = {
    L"January", L"February", L"March",     L"April",   L"May",      L"June",
    L"July",    L"August",   L"September", L"October", L"November", L"December"};
constexpr std::array<const wchar_t*, 12> kMonthShort = {
    L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jly", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
constexpr std::array<const wchar_t*, 7> kWeekFull = {
    L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
constexpr std::array<const wchar_t*, 7> kWeekShort = {L"Sun", L"Mon", L"Tue", L"Wed",
                                                      L"Thu", L"Fri", L"Sat"};
constexpr std::array<const wchar_t*, 7> kWeekLetter = {L"S", L"M", L"T", L"W", L"T", L"F", L"S"};

std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return s;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return s;
}

}  // namespace

CCalendarStyleInfo::CCalendarStyleInfo(std::function<bool()> bottomBarOption)
    : bottomBarOption_(std::move(bottomBarOption)) {
    yearText = MakeText(L"Arial", 10, 0xFF404040, kAlignFar, kAlignFar);
    monthNumText = MakeText(L"Arial Black", 22, 0xFFFFFFFF, kAlignNear, kAlignCenter);
    monthNumText.outline = 1;
    monthNumText.outlineThickness = 6;
    monthNumText.outlineColor = 0xFF404040;
    monthNameText = MakeText(L"Arial Black", 22, 0xFFFFFFFF, kAlignCenter, kAlignCenter);
    monthNameText.outline = 1;
    monthNameText.outlineThickness = 6;
    monthNameText.outlineColor = 0xFF404040;
    weekText = MakeText(L"Arial", 9, 0xFFFFFFFF, kAlignCenter, kAlignCenter);
    weekNumberText = MakeText(L"Arial", 8, 0xFFC0C0C0, kAlignCenter, kAlignNear);
    weekNumberText.visible = 0;
    weekdayDayText = MakeDay(0xFF404040);
    weekdayDayText.boxFillColor = 0xFFFF0000;
    weekdayDayText.boxFrameColor = 0xFF00FF00;
    saturdayDayText = MakeDay(0xFF4040C0);
    sundayDayText = MakeDay(0xFFC04040);
    todayDayText = MakeDay(0xFF20C020);
    otherMonthDayText = MakeDay(0xFFC0C0C0);
    listPrevText = MakeText(L"Arial", 9, 0xFFFFFFFF, kAlignNear, kAlignCenter);
    listNextText = MakeText(L"Arial", 9, 0xFFFFFFFF, kAlignFar, kAlignCenter);
    listTitleText = MakeText(L"Arial", 9, 0xFFFFFFFF, kAlignNear, kAlignCenter);
    listPrevLabel = L"<< 前の月";
    listNextLabel = L"次の月 >>";
    listTitleLabel = L"予定表";
    bookedTextColor = todayDayText.color;
    Derive();
}

void CCalendarStyleInfo::Derive() {
    popupDayText = MakeText(L"Arial", 18, monthNumText.color, kAlignNear, kAlignNear);
    popupDayText.fontStyle = kFontBold;
    popupDayText.outline = monthNumText.outline;
    popupDayText.outlineColor = monthNumText.outlineColor;
    popupDayText.outlineThickness = 3;
    popupWeekText = MakeText(L"Arial", 14, monthNumText.color, kAlignNear, kAlignNear);
    popupWeekText.fontStyle = kFontBold;
    popupWeekText.outline = monthNumText.outline;
    popupWeekText.outlineColor = monthNumText.outlineColor;
    popupWeekText.outlineThickness = 2;
    popupHeaderColor = headerBackground;
    bottomBarShown = bottomBarOption_ ? bottomBarOption_() : false;
    bottomBarBackground = windowBackground;
    bottomBarText = MakeText(L"Arial", 11, weekdayDayText.color, kAlignFar, kAlignFar);
    bottomBarMargins = {4, 4, 3, 2};
    spareColor1 = kSpareColor1;
    spareColor2 = kSpareColor2;
}

namespace {

using C = CCalendarStyleInfo;
using StyleFields::Reserved;
using StyleFields::Stored;
using StyleFields::StoredPair;
using StyleFields::Version;

// The stored fields of a calendar style, in file order: what Load reads,
// Save writes and SameStoredFields compares.
constexpr auto kStoredFields = std::tuple{
    Version<C>{&C::version, C::kVersion},
    Stored(&C::yearText),
    Stored(&C::monthNumText),
    Stored(&C::monthNameText),
    Stored(&C::monthNameFormat),
    Stored(&C::headerMargins),
    Stored(&C::headerSameAsWindow),
    Stored(&C::headerBackground),
    Stored(&C::weekText),
    Stored(&C::weekNameFormat),
    Stored(&C::weekRowShape),
    Stored(&C::weekRowMargins),
    Stored(&C::weekRowSameAsWindow),
    Stored(&C::weekRowFrame),
    Stored(&C::weekRowBackground),
    Stored(&C::weekRowFrameColor),
    Stored(&C::weekNumberText),
    Stored(&C::weekdayDayText),
    Stored(&C::saturdayDayText),
    Stored(&C::sundayDayText),
    Stored(&C::todayDayText),
    Stored(&C::spareColor1),
    Stored(&C::spareColor2),
    Reserved{},
    Stored(&C::otherMonthDayText),
    Stored(&C::cellGapX),
    Stored(&C::cellGapY),
    Stored(&C::dayTextMargins),
    Stored(&C::dayAreaFlag),
    Stored(&C::gridMargins),
    Stored(&C::listFlag),
    Stored(&C::listFrameColor),
    Stored(&C::listPrevText),
    Stored(&C::listNextText),
    Stored(&C::listTitleText),
    Stored(&C::listPrevLabel),
    Stored(&C::listNextLabel),
    Stored(&C::listTitleLabel),
    Stored(&C::listMargins),
    Stored(&C::listOption),
    Stored(&C::windowBackground),
    Stored(&C::windowFrameColor),
    Stored(&C::windowFrame),
    Stored(&C::backgroundImageOn),
    Stored(&C::backgroundImage),
    Stored(&C::windowShape),
    Stored(&C::windowAlpha),
    Stored(&C::dropShadow),
    Stored(&C::dropShadowMode),
    StoredPair(&C::dropShadowOffsetX, &C::dropShadowOffsetY),
    Stored(&C::bookedTextColorOn, 1001),
    Stored(&C::bookedTextColor, 1001),
    Stored(&C::bookedBackgroundOn, 1002),
    Stored(&C::bookedBackgroundColor, 1002),
};

}  // namespace

void CCalendarStyleInfo::Read(CStyleArchiver& ar) {
    StyleFields::Read(ar, *this, kStoredFields);
}

void CCalendarStyleInfo::Write(CStyleArchiver& ar) const {
    StyleFields::Write(ar, *this, kStoredFields);
}

namespace {

enum class FileRead { kOk, kUnreadable, kTooLarge };

// The file's bytes, at most kMaxStyleFileBytes of them.
FileRead ReadStyleBytes(const std::wstring& fileName, std::vector<uint8_t>& bytes) {
    // Only a regular file: opening a pipe or a device named "*.style" could
    // block or never end.
    struct stat st {};
    const std::string name = platform::WideToUtf8(fileName);
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return FileRead::kUnreadable;
    }
    std::ifstream in(name, std::ios::binary | std::ios::ate);
    if (!in) {
        return FileRead::kUnreadable;
    }
    const std::streamoff end = in.tellg();
    const std::streamoff length = end < 0 ? 0 : std::min(end, kMaxStyleFileBytes);
    bytes.assign(static_cast<size_t>(length), 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), length);
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (in.bad()) {
        return FileRead::kUnreadable;
    }
    return end > kMaxStyleFileBytes ? FileRead::kTooLarge : FileRead::kOk;
}

bool In(int32_t value, int32_t low, int32_t high) {
    return value >= low && value <= high;
}

bool PlausibleText(const TextStyle& t) {
    return In(t.fontSize, 1, 400) && In(t.fontStyle, 0, 15) && In(t.format.alignment, 0, 2) &&
           In(t.format.lineAlignment, 0, 2) && In(t.outlineThickness, 0, 100) &&
           In(t.shadowThickness, 0, 100) && In(t.shadowOffsetX, -100, 100) &&
           In(t.shadowOffsetY, -100, 100) && In(t.positionX, -4000, 4000) &&
           In(t.positionY, -4000, 4000) && t.fontFamily.size() <= 256;
}

bool PlausibleDay(const DayTextStyle& d) {
    return PlausibleText(d) && In(d.boxShape, 0, 2);
}

bool PlausibleMargins(const StyleMargins& m) {
    return In(m.left, -100, 1000) && In(m.right, -100, 1000) && In(m.top, -100, 1000) &&
           In(m.bottom, -100, 1000);
}

}  // namespace

bool CCalendarStyleInfo::IsPlausible() const {
    for (const TextStyle* t : {&yearText, &monthNumText, &monthNameText, &weekText, &weekNumberText,
                               &listPrevText, &listNextText, &listTitleText}) {
        if (!PlausibleText(*t)) {
            return false;
        }
    }
    for (const DayTextStyle* d :
         {&weekdayDayText, &saturdayDayText, &sundayDayText, &todayDayText, &otherMonthDayText}) {
        if (!PlausibleDay(*d)) {
            return false;
        }
    }
    for (const StyleMargins* m :
         {&headerMargins, &weekRowMargins, &dayTextMargins, &gridMargins, &listMargins}) {
        if (!PlausibleMargins(*m)) {
            return false;
        }
    }
    return In(weekRowShape, 0, 2) && In(windowShape, 0, 2) && In(cellGapX, 0, 200) &&
           In(cellGapY, 0, 200) && In(windowAlpha, 0, 255) && backgroundImage.size() <= 4096 &&
           listPrevLabel.size() <= 1024 && listNextLabel.size() <= 1024 &&
           listTitleLabel.size() <= 1024;
}

StyleFileCheck CCalendarStyleInfo::CheckFile(const std::wstring& fileName) {
    std::vector<uint8_t> bytes;
    switch (ReadStyleBytes(fileName, bytes)) {
        case FileRead::kUnreadable:
            return StyleFileCheck::kUnreadable;
        case FileRead::kTooLarge:
            return StyleFileCheck::kTooLarge;
        case FileRead::kOk:
            break;
    }
    CCalendarStyleInfo style;
    CStyleArchiver ar(bytes);
    try {
        style.version = ar.ReadInt();
        if (!In(style.version, 1000, kVersion)) {
            return StyleFileCheck::kUnknownVersion;
        }
        CStyleArchiver whole(bytes);
        style.Read(whole);
    } catch (const CStyleArchiver::Error&) {
        return StyleFileCheck::kDamaged;
    }
    return style.IsPlausible() ? StyleFileCheck::kOk : StyleFileCheck::kImplausible;
}

bool CCalendarStyleInfo::Load(const std::wstring& fileName) {
    path = fileName;
    std::vector<uint8_t> bytes;
    if (ReadStyleBytes(fileName, bytes) != FileRead::kUnreadable) {
        // Read into a copy: values no window can be drawn with are not taken.
        CCalendarStyleInfo read(*this);
        CStyleArchiver ar(bytes);
        try {
            read.Read(ar);
        } catch (const CStyleArchiver::Error&) {
            // A short or damaged file: what was read before stays.
        }
        if (read.IsPlausible()) {
            *this = std::move(read);
        }
    }
    Derive();
    return true;
}

bool CCalendarStyleInfo::Save(const std::wstring& fileName) {
    const std::string target = platform::WideToUtf8(fileName.empty() ? path : fileName);
    if (target.empty()) {
        return false;
    }
    CStyleArchiver ar;
    Write(ar);
    // Written beside the target and moved over it, so a failed write never
    // leaves a half style in place of a whole one.
    const std::string temp = target + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        const auto& buffer = ar.GetBuffer();
        out.write(reinterpret_cast<const char*>(buffer.data()),
                  static_cast<std::streamsize>(buffer.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool CCalendarStyleInfo::SameStoredFields(const CCalendarStyleInfo& other) const {
    return StyleFields::Same(*this, other, kStoredFields);
}

std::wstring CCalendarStyleInfo::GetMonthName(int format, int month) {
    if (month < 1 || month > 12) {
        return {};
    }
    const int i = month - 1;
    switch (format) {
        case 0:
            return kMonthFull[i];
        case 1:
            return Upper(kMonthFull[i]);
        case 2:
            return Lower(kMonthFull[i]);
        case 3:
            return kMonthShort[i];
        case 4:
            return Upper(kMonthShort[i]);
        case 5:
            return Lower(kMonthShort[i]);
        case 6:
            return std::to_wstring(month);
        case 7:
            return LocaleItem(LocaleMonthItem(month));
        default:
            return {};
    }
}

std::wstring CCalendarStyleInfo::GetWeekName(int format, int column, bool mondayFirst) {
    if (column < 0 || column > 6) {
        return {};
    }
    // Index 0 is Sunday.
    const int day = mondayFirst ? (column + 1) % 7 : column;
    switch (format) {
        case 0:
            return kWeekFull[day];
        case 1:
            return Upper(kWeekFull[day]);
        case 2:
            return Lower(kWeekFull[day]);
        case 3:
            return kWeekShort[day];
        case 4:
            return Upper(kWeekShort[day]);
        case 5:
            return Lower(kWeekShort[day]);
        case 6:
            return kWeekLetter[day];
        case 7:
            return Lower(kWeekLetter[day]);
        case 8: {
            static constexpr std::array<nl_item, 7> kItems = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                                              ABDAY_5, ABDAY_6, ABDAY_7};
            return LocaleItem(kItems[day]);
        }
        default:
            return {};
    }
}

}  // namespace Model
