// The calendar style and its ".style" file: defaults, the byte layout,
// older versions, damaged and hostile files, the naming tables.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>

#include "model/CalendarStyleInfo.h"
#include "model/StyleArchiver.h"
#include "platform/TextConv.h"
#include "tests/support/TestSupport.h"

using Model::CCalendarStyleInfo;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::wstring W(const std::string& s) {
    return platform::Utf8ToWide(s);
}

uint32_t U32At(const std::string& bytes, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 4);  // the test machine is little-endian
    return v;
}

void PutU32(std::string& bytes, size_t offset, uint32_t v) {
    std::memcpy(&bytes[offset], &v, 4);
}

// A style whose every stored field differs from the defaults where it can.
CCalendarStyleInfo Unusual() {
    CCalendarStyleInfo s;
    s.yearText.color = 0xFF112233;
    s.yearText.fontFamily = L"DejaVu Serif";
    s.yearText.format = {Model::kAlignCenter, Model::kAlignNear};
    s.monthNameFormat = 3;
    s.headerMargins = {1, 2, 3, 4};
    s.weekNumberText.visible = 1;
    s.weekdayDayText.boxFill = 1;
    s.weekdayDayText.boxFrame = 0;
    s.todayDayText.boxShape = Model::kShapeRoundRect;
    s.otherMonthDayText.shadow = 1;
    s.listTitleLabel = L"予定";
    s.windowBackground = 0xC0102030;
    s.backgroundImage = L"paper.png";
    s.dropShadow = 1;
    s.dropShadowOffsetX = -3;
    s.dropShadowOffsetY = 7;
    s.bookedTextColorOn = 1;
    s.bookedTextColor = 0xFF0000FF;
    s.bookedBackgroundOn = 1;
    s.bookedBackgroundColor = 0xFFFFEE00;
    return s;
}

std::string SaveBytes(CCalendarStyleInfo style, const TempDir& dir) {
    const std::string file = dir / "saved.style";
    EXPECT_TRUE(style.Save(W(file)));
    return ReadFile(file);
}

CCalendarStyleInfo LoadBytes(const std::string& bytes, const TempDir& dir) {
    const std::string file = dir / "loaded.style";
    WriteFile(file, bytes);
    CCalendarStyleInfo s;
    EXPECT_TRUE(s.Load(W(file)));
    return s;
}

// The stored tail after the background image name: shape, alpha, shadow,
// shadow mode, shadow offset pair, then the four booked-day numbers.
constexpr size_t kTailAfterImage = 10 * 4;
constexpr size_t kBookedBytes = 4 * 4;

TEST(StyleFile, NewStyleRoundTripsAndStartsWithTheVersion) {
    TempDir dir;
    const std::string bytes = SaveBytes(CCalendarStyleInfo(), dir);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xEA\x03\x00\x00", 4));
    const CCalendarStyleInfo loaded = LoadBytes(bytes, dir);
    EXPECT_TRUE(loaded.SameStoredFields(CCalendarStyleInfo()));
    EXPECT_EQ(loaded.path, W(dir / "loaded.style"));

    // An empty background image name is the byte count 0 alone.
    EXPECT_EQ(bytes.substr(bytes.size() - kTailAfterImage - 4, 4), std::string(4, '\0'));
}

TEST(StyleFile, EveryStoredFieldRoundTrips) {
    TempDir dir;
    const CCalendarStyleInfo source = Unusual();
    const std::string bytes = SaveBytes(source, dir);
    const CCalendarStyleInfo loaded = LoadBytes(bytes, dir);
    EXPECT_TRUE(loaded.SameStoredFields(source));
    EXPECT_FALSE(loaded.SameStoredFields(CCalendarStyleInfo()));
    // "paper.png" is 9 UTF-16 characters: the count is 18.
    EXPECT_EQ(U32At(bytes, bytes.size() - kTailAfterImage - 18 - 4), 18u);
    // Day text styles store the frame flag before the fill flag.
    CCalendarStyleInfo frameOnly;
    frameOnly.weekdayDayText.boxFrame = 1;
    EXPECT_EQ(LoadBytes(SaveBytes(frameOnly, dir), dir).weekdayDayText.boxFill, 0);
}

TEST(StyleFile, SaveWithoutNameWritesToTheLoadedPathAndFailsLoudly) {
    TempDir dir;
    CCalendarStyleInfo style = Unusual();
    const std::string file = dir / "a.style";
    WriteFile(file, "");
    style.Load(W(file));  // an empty file keeps every value
    EXPECT_TRUE(style.SameStoredFields(Unusual()));
    EXPECT_TRUE(style.Save(L""));
    EXPECT_TRUE(LoadBytes(ReadFile(file), dir).SameStoredFields(Unusual()));

    // A folder that does not exist: nothing written, and the caller is told.
    EXPECT_FALSE(style.Save(W(dir / "missing/b.style")));
}

TEST(StyleFile, MissingFileKeepsTheValues) {
    TempDir dir;
    CCalendarStyleInfo style = Unusual();
    EXPECT_TRUE(style.Load(W(dir / "none.style")));
    EXPECT_TRUE(style.SameStoredFields(Unusual()));
}

TEST(StyleFile, OlderVersionsLoadWithoutTheBookedFields) {
    TempDir dir;
    const CCalendarStyleInfo source = Unusual();
    const std::string full = SaveBytes(source, dir);
    const CCalendarStyleInfo defaults;

    struct Row {
        uint32_t version;
        size_t cut;  // bytes removed from the end
        bool bookedTextLoaded;
        bool bookedBackgroundLoaded;
    };
    const Row rows[] = {
        {1000, kBookedBytes, false, false},
        {1001, 8, true, false},
        {1002, 0, true, true},
        // A 1002 file cut after the drop shadow offset stops at the booked
        // fields and keeps everything before them.
        {1002, kBookedBytes, false, false},
        {1001, kBookedBytes, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.version << " cut " << row.cut);
        std::string bytes = full.substr(0, full.size() - row.cut);
        PutU32(bytes, 0, row.version);
        const CCalendarStyleInfo s = LoadBytes(bytes, dir);
        EXPECT_EQ(s.version, static_cast<int32_t>(row.version));
        EXPECT_EQ(s.dropShadowOffsetX, source.dropShadowOffsetX);
        EXPECT_EQ(s.dropShadowOffsetY, source.dropShadowOffsetY);
        EXPECT_EQ(s.backgroundImage, source.backgroundImage);
        const CCalendarStyleInfo& text = row.bookedTextLoaded ? source : defaults;
        EXPECT_EQ(s.bookedTextColorOn, text.bookedTextColorOn);
        EXPECT_EQ(s.bookedTextColor, text.bookedTextColor);
        const CCalendarStyleInfo& back = row.bookedBackgroundLoaded ? source : defaults;
        EXPECT_EQ(s.bookedBackgroundOn, back.bookedBackgroundOn);
        EXPECT_EQ(s.bookedBackgroundColor, back.bookedBackgroundColor);
    }
}

TEST(StyleFile, SpareColoursInTheFileNeverTakeEffect) {
    TempDir dir;
    CCalendarStyleInfo source;
    source.spareColor1 = 0x01020304;
    source.spareColor2 = 0x05060708;
    const CCalendarStyleInfo loaded = LoadBytes(SaveBytes(source, dir), dir);
    EXPECT_EQ(loaded.spareColor1, CCalendarStyleInfo::kSpareColor1);
    EXPECT_EQ(loaded.spareColor2, CCalendarStyleInfo::kSpareColor2);
}

TEST(StyleFile, DerivedFieldsFollowTheLoadedStyle) {
    TempDir dir;
    CCalendarStyleInfo source;
    source.monthNumText.color = 0xFF123456;
    source.monthNumText.outline = 0;
    source.headerBackground = 0xFF654321;
    source.windowBackground = 0x80FFFFFF;
    source.weekdayDayText.color = 0xFF0A0B0C;
    const std::string file = dir / "d.style";
    source.Save(W(file));
    bool option = true;
    CCalendarStyleInfo s([&] { return option; });
    EXPECT_TRUE(s.bottomBarShown);
    option = false;
    s.Load(W(file));
    EXPECT_FALSE(s.bottomBarShown);
    EXPECT_EQ(s.popupDayText.color, 0xFF123456u);
    EXPECT_EQ(s.popupDayText.outline, 0);
    EXPECT_EQ(s.popupDayText.outlineThickness, 3);
    EXPECT_EQ(s.popupWeekText.fontSize, 14);
    EXPECT_EQ(s.popupHeaderColor, 0xFF654321u);
    EXPECT_EQ(s.bottomBarBackground, 0x80FFFFFFu);
    EXPECT_EQ(s.bottomBarText.color, 0xFF0A0B0Cu);
}

// Cutting the file after every byte never crashes, and every cut keeps
// exactly the fields that lie wholly before it.
TEST(StyleFile, TruncatedAtEveryByteKeepsWhatWasRead) {
    TempDir dir;
    const CCalendarStyleInfo source = Unusual();
    const std::string full = SaveBytes(source, dir);
    const CCalendarStyleInfo defaults;
    // The year text's colour ends at byte 8; its font family (the first
    // text) starts at byte 32; the drop shadow offset ends 16 bytes before
    // the end.
    for (size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        const CCalendarStyleInfo s = LoadBytes(full.substr(0, n), dir);
        EXPECT_EQ(s.yearText.color, n >= 8 ? source.yearText.color : defaults.yearText.color);
        const size_t familyEnd = 32 + 4 + source.yearText.fontFamily.size() * 2;
        EXPECT_EQ(s.yearText.fontFamily,
                  n >= familyEnd ? source.yearText.fontFamily : defaults.yearText.fontFamily);
        const bool tail = n >= full.size() - kBookedBytes;
        EXPECT_EQ(s.dropShadowOffsetY,
                  tail ? source.dropShadowOffsetY : defaults.dropShadowOffsetY);
        EXPECT_EQ(s.bookedBackgroundColor,
                  n == full.size() ? source.bookedBackgroundColor : defaults.bookedBackgroundColor);
    }
}

TEST(StyleFile, HostileTextCountsStopReadingAtTheText) {
    TempDir dir;
    const CCalendarStyleInfo source = Unusual();
    const std::string full = SaveBytes(source, dir);
    const CCalendarStyleInfo defaults;
    constexpr size_t kFamilyCount = 32;  // the year text's font family count
    for (uint32_t count :
         {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 3u, 1u, static_cast<uint32_t>(full.size())}) {
        SCOPED_TRACE(count);
        std::string bytes = full;
        PutU32(bytes, kFamilyCount, count);
        const CCalendarStyleInfo s = LoadBytes(bytes, dir);
        EXPECT_EQ(s.yearText.color, source.yearText.color);              // read before the fault
        EXPECT_EQ(s.yearText.format, source.yearText.format);            // read before the fault
        EXPECT_EQ(s.yearText.fontFamily, defaults.yearText.fontFamily);  // the faulty text
        EXPECT_EQ(s.yearText.fontSize, defaults.yearText.fontSize);      // after it
        EXPECT_EQ(s.windowBackground, defaults.windowBackground);
    }
}

TEST(StyleFile, RandomAndHugeFilesNeverCrash) {
    TempDir dir;
    std::mt19937 random(20240601);
    const std::string full = SaveBytes(Unusual(), dir);
    for (int i = 0; i < 300; ++i) {
        std::string bytes(random() % 2048, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        if (i % 2 == 1 && bytes.size() >= 4) {
            PutU32(bytes, 0, 1002);  // a plausible start, then noise
        }
        LoadBytes(bytes, dir);
        // Flip one byte of a real file.
        std::string flipped = full;
        flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
        LoadBytes(flipped, dir);
    }
    // Several megabytes of a repeated valid style: the first one loads.
    std::string huge;
    while (huge.size() < (3u << 20)) {
        huge += full;
    }
    EXPECT_TRUE(LoadBytes(huge, dir).SameStoredFields(Unusual()));
}

TEST(StyleFile, CheckFileRefusesDamagedHostileAndForeignFiles) {
    using Model::StyleFileCheck;
    TempDir dir;
    const std::string full = SaveBytes(Unusual(), dir);
    const size_t yearFontSize = 32 + 4 + Unusual().yearText.fontFamily.size() * 2;
    std::string hugeFont = full;
    PutU32(hugeFont, yearFontSize, 0x7FFFFFFF);
    std::string foreignVersion = full;
    PutU32(foreignVersion, 0, 7);
    std::string tooLarge = full;
    tooLarge.resize((1u << 20) + 1, '\0');
    std::string oldVersion = full.substr(0, full.size() - kBookedBytes);
    PutU32(oldVersion, 0, 1000);
    const struct {
        const char* name;
        std::string bytes;
        StyleFileCheck expected;
    } cases[] = {
        {"whole", full, StyleFileCheck::kOk},
        {"version 1000", oldVersion, StyleFileCheck::kOk},
        {"truncated", full.substr(0, full.size() - 1), StyleFileCheck::kDamaged},
        {"empty", "", StyleFileCheck::kDamaged},
        {"odd text count",
         [&] {
             std::string b = full;
             PutU32(b, 32, 3);
             return b;
         }(),
         StyleFileCheck::kDamaged},
        {"foreign version", foreignVersion, StyleFileCheck::kUnknownVersion},
        {"huge font", hugeFont, StyleFileCheck::kImplausible},
        {"too large", tooLarge, StyleFileCheck::kTooLarge},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "checked.style", c.bytes);
        EXPECT_EQ(CCalendarStyleInfo::CheckFile(W(dir / "checked.style")), c.expected) << c.name;
    }
    EXPECT_EQ(CCalendarStyleInfo::CheckFile(W(dir / "missing.style")), StyleFileCheck::kUnreadable);

    // Loading the hostile file changes nothing: a window would be gigabytes.
    CCalendarStyleInfo style = Unusual();
    WriteFile(dir / "hostile.style", hugeFont);
    style.Load(W(dir / "hostile.style"));
    EXPECT_TRUE(style.SameStoredFields(Unusual()));
}

TEST(StyleArchiver, ModeAndOverrunChecks) {
    Model::CStyleArchiver writer;
    writer.WriteInt(7);
    EXPECT_THROW(writer.ReadInt(), Model::CStyleArchiver::Error);
    const uint8_t bytes[] = {1, 0, 0, 0, 2, 0};
    Model::CStyleArchiver reader(bytes);
    EXPECT_EQ(reader.ReadInt(), 1);
    EXPECT_THROW(reader.WriteInt(1), Model::CStyleArchiver::Error);
    try {
        reader.ReadInt();
        ADD_FAILURE() << "no overrun";
    } catch (const Model::CStyleArchiver::Error& e) {
        EXPECT_STREQ(e.what(), "CStyleArchiver overrun");
    }
    EXPECT_EQ(reader.GetPosition(), 4u);
}

TEST(StyleNames, Tables) {
    struct Row {
        int format;
        int month;
        const wchar_t* name;
    };
    const Row months[] = {{0, 1, L"January"}, {1, 2, L"FEBRUARY"}, {2, 12, L"december"},
                          {3, 7, L"Jly"},     {4, 7, L"JLY"},      {5, 7, L"jly"},
                          {6, 10, L"10"},     {8, 1, L""},         {-1, 1, L""},
                          {0, 13, L""},       {0, 0, L""}};
    for (const Row& r : months) {
        EXPECT_EQ(CCalendarStyleInfo::GetMonthName(r.format, r.month), r.name)
            << r.format << "/" << r.month;
    }
    struct WeekRow {
        int format;
        int column;
        bool mondayFirst;
        const wchar_t* name;
    };
    const WeekRow weeks[] = {
        {0, 0, false, L"Sunday"}, {1, 6, false, L"SATURDAY"}, {2, 1, false, L"monday"},
        {3, 3, false, L"Wed"},    {4, 0, false, L"SUN"},      {5, 5, false, L"fri"},
        {6, 4, false, L"T"},      {7, 0, false, L"s"},        {3, 0, true, L"Mon"},
        {3, 5, true, L"Sat"},     {3, 6, true, L"Sun"},       {9, 0, false, L""},
        {3, 7, false, L""},
    };
    for (const WeekRow& r : weeks) {
        EXPECT_EQ(CCalendarStyleInfo::GetWeekName(r.format, r.column, r.mondayFirst), r.name)
            << r.format << "/" << r.column << "/" << r.mondayFirst;
    }
}

TEST(StyleNames, LocaleFormatsFollowTheUserLocale) {
    ScopedEnv all("LC_ALL", std::string("C.UTF-8"));
    EXPECT_EQ(CCalendarStyleInfo::GetMonthName(7, 1), L"January");
    EXPECT_EQ(CCalendarStyleInfo::GetMonthName(7, 12), L"December");
    EXPECT_EQ(CCalendarStyleInfo::GetWeekName(8, 0, false), L"Sun");
    EXPECT_EQ(CCalendarStyleInfo::GetWeekName(8, 6, true), L"Sun");
    EXPECT_EQ(CCalendarStyleInfo::GetWeekName(8, 0, true), L"Mon");
}

}  // namespace

namespace {

// The styles shipped with the program load as version 1002 and save back to
// the very same bytes.
TEST(ShippedStyles, LoadAndSaveBackByteForByte) {
    TempDir dir;
    for (const char* name : {"Blue", "Night", "Paper", "Amber"}) {
        SCOPED_TRACE(name);
        const std::string file =
            std::string(DAYMARK_SOURCE_DIR) + "/resources/style/" + name + ".style.org";
        const std::string original = ReadFile(file);
        ASSERT_GT(original.size(), 4u);
        CCalendarStyleInfo style;
        style.Load(W(file));
        EXPECT_EQ(style.version, CCalendarStyleInfo::kVersion);
        EXPECT_TRUE(style.Save(W(dir / "copy.style")));
        EXPECT_EQ(ReadFile(dir / "copy.style"), original);
    }
}

}  // namespace
