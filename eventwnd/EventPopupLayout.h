// The decisions of the event popup as plain functions: which entries a day
// lists and in which order and colour, the popup's height rule, the header's
// weekday name and place, and the row font. The popup window
// (eventwnd/EventPopupWnd.h) measures and paints what these decide.
// User-interface thread only (the font needs the application).
#pragma once

#include <QFont>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Time.h"

namespace Model {
class CEventCache;
}

namespace PopupLayout {

// The colour of a holiday entry, COLORREF 0x00BBGGRR (crimson, drawn as
// 0xFFDC143C).
inline constexpr uint32_t kHolidayColorRef = 0x3C14DC;
// Rows start below the header at this height.
inline constexpr int kRowsTop = 29;
inline constexpr int kHeaderHeight = 25;
inline constexpr int kMinRowHeight = 18;
inline constexpr int kAddRowHeight = 18;
// Rows take the width less this margin (colour box and the right edge).
inline constexpr int kRowMargin = 18;
// The window is this much taller than its content.
inline constexpr int kWindowExtra = 8;

struct EntrySource {
    std::wstring id;  // the event's local id; empty for a holiday
    std::wstring text;
    uint32_t colorRef = 0;  // 0x00BBGGRR
};

// The entries of the local day holding `date`: its holidays, then its
// all-day events by title, then its timed events as "%02d:%02d %s" (start
// hour and minute, -1 for both when the start is no local time), each group
// in the cache's order; events in their calendar's colour.
std::vector<EntrySource> EntriesOfDay(const Model::CEventCache& cache, const platform::CTime& date);

// The content height for entries of `entriesHeight` pixels in all: that + 29
// above 72, else 101; 18 more when the popup is active (the add row).
int ContentHeight(int entriesHeight, bool active);

// "sun" ... "sat" for 1 (Sunday) ... 7 (Saturday).
const wchar_t* WeekdayName(int dayOfWeek);
// Where the weekday name starts: after a one-digit or a two-digit day.
int WeekdayNameX(int day);

// The row font: the family of string 154 when it is installed, else an
// installed Japanese sans-serif (IPA P Gothic, IPA Gothic), else the
// generic sans-serif; 11 pixels (8 points at 96 dots per inch).
QFont RowFont();

}  // namespace PopupLayout
