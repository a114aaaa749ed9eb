// The registration window's one-line input: times with ASCII and full-width
// digits, the three time separators, the range separators, the blanks that
// split the time from the title, refused ranges and stray lines that stay
// whole titles.
#include <gtest/gtest.h>

#include <string>

#include "model/EventInput.h"
#include "platform/TextConv.h"

namespace {

struct Case {
    const wchar_t* line;
    bool error;
    bool hasTime;
    int startHour, startMinute, endHour, endMinute;
    const wchar_t* title;
};

TEST(ParseInput, TableOfLines) {
    const Case cases[] = {
        // A start alone: the end is an hour later, or the same at 23.
        {L"10:00 歯医者", false, true, 10, 0, 11, 0, L"歯医者"},
        {L"23:30 終電", false, true, 23, 30, 23, 30, L"終電"},
        {L"0:05 深夜", false, true, 0, 5, 1, 5, L"深夜"},
        {L"9:15\x3000面談", false, true, 9, 15, 10, 15, L"面談"},  // ideographic space
        // Full-width digits, "時" and "：", every range separator.
        {L"１０時００－１２時３０ 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"１０：００－１２：３０ 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10:00-12:30 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10:00ー12:30 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10:00～12:30 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10:00〜12:30 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10:00から12:30 会議", false, true, 10, 0, 12, 30, L"会議"},
        {L"10時-11時 散歩", false, true, 10, 0, 11, 0, L"散歩"},
        {L"10時30分から11時 散歩", false, true, 10, 30, 11, 0, L"散歩"},
        // A separator with nothing after it leaves the start alone.
        {L"10時から 打合せ", false, true, 10, 0, 11, 0, L"打合せ"},
        {L"10:00- 打合せ", false, true, 10, 0, 11, 0, L"打合せ"},
        {L"10時から", false, true, 10, 0, 11, 0, L""},
        {L"10:00-", false, true, 10, 0, 11, 0, L""},
        // Equal ends are accepted; an end before the start refuses the line.
        {L"12:00-12:00 点呼", false, true, 12, 0, 12, 0, L"点呼"},
        {L"12:00-11:00 会議", true, false, 0, 0, 0, 0, L"12:00-11:00 会議"},
        {L"12:30-12:29 会議", true, false, 0, 0, 0, 0, L"12:30-12:29 会議"},
        {L"  12:00-11:00 会議  ", true, false, 0, 0, 0, 0, L"12:00-11:00 会議"},
        // No valid time part: the whole line is the title of an all-day event.
        {L"誕生日", false, false, 0, 0, 0, 0, L"誕生日"},
        {L"25:00 会議", false, false, 0, 0, 0, 0, L"25:00 会議"},
        {L"10:60 会議", false, false, 0, 0, 0, 0, L"10:60 会議"},
        {L"24:00", false, false, 0, 0, 0, 0, L"24:00"},
        {L"10:00-25:00 会議", false, false, 0, 0, 0, 0, L"10:00-25:00 会議"},
        {L"100:00 会議", false, false, 0, 0, 0, 0, L"100:00 会議"},
        {L"10: 会議", false, false, 0, 0, 0, 0, L"10: 会議"},
        {L"10 会議", false, false, 0, 0, 0, 0, L"10 会議"},
        {L":30 会議", false, false, 0, 0, 0, 0, L":30 会議"},
        {L"-10:00 会議", false, false, 0, 0, 0, 0, L"-10:00 会議"},
        {L"10:00/11:00 会議", false, false, 0, 0, 0, 0, L"10:00/11:00 会議"},
        {L"会議 10:00", false, false, 0, 0, 0, 0, L"会議 10:00"},
        // Blanks.
        {L"   10:00    歯医者  ", false, true, 10, 0, 11, 0, L"歯医者"},
        {L"10:00 歯医者 と 買い物", false, true, 10, 0, 11, 0, L"歯医者 と 買い物"},
        {L"", false, false, 0, 0, 0, 0, L""},
        {L"    ", false, false, 0, 0, 0, 0, L""},
        {L"\x3000\x3000", false, false, 0, 0, 0, 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::WideToUtf8(c.line));
        const Model::ParsedInput p = Model::ParseInput(c.line);
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.hasTime, c.hasTime);
        EXPECT_EQ(p.title, c.title);
        if (c.hasTime) {
            EXPECT_EQ(p.startHour, c.startHour);
            EXPECT_EQ(p.startMinute, c.startMinute);
            EXPECT_EQ(p.endHour, c.endHour);
            EXPECT_EQ(p.endMinute, c.endMinute);
        }
    }
}

}  // namespace
