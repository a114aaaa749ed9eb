// The layout and date decisions of a calendar window, as plain functions:
// the grid of a month (leading, trailing and total cells, rows), the dates of
// the 42 cells, week numbers, which day text style a cell takes, the text
// measuring rule, and the rectangles of the header, the weekday row, the
// grid, the week numbers, the day cells and the bottom bar.
//
// No window and no painter: CCalendarWnd calls these on the user-interface
// thread, and tests call them anywhere. Dates here are local calendar dates
// (year, month, day); only Today() reads the clock and the zone.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "model/CalendarStyleInfo.h"

namespace CalendarLayout {

// A local calendar date.
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const Date&) const = default;
};

// Days of a month (Gregorian leap years for February). Throws
// std::invalid_argument for a year before 1900 or a month outside 1-12.
int DaysInMonth(int year, int month);
// Weekday of a date: Sunday 0 ... Saturday 6.
int Weekday(const Date& date);
// The date `days` days after (before, when negative) `date`.
Date AddDays(const Date& date, int days);
// Moves (year, month) by `offset` months, keeping the month in 1-12.
void AddMonths(int& year, int& month, int offset);
// The offset from (year, month), cut so that the month it reaches lies in
// the years 1901 to 9998 (its grid then starts after 1900).
int ClampMonthOffset(int year, int month, int offset);
// Today's local date (the platform clock, the TZ zone).
Date Today();

// The cells a month needs in a week grid.
struct MonthGrid {
    int days = 0;
    int leading = 0;   // cells of the previous month in the first row
    int trailing = 0;  // cells of the next month after the last day
    int Cells() const { return leading + days + trailing; }
};
MonthGrid GetMonthGrid(int year, int month, bool mondayFirst);
// 6 with a fixed height, else the cells divided by 7, rounded up.
int GridRows(const MonthGrid& grid, bool fixHeight);

inline constexpr int kGridRows = 6;
inline constexpr int kGridCells = 42;
// The 42 cell dates of the month's grid, row by row, from the first cell
// (the 1st less the leading cells), one local day apart.
std::array<Date, kGridCells> GridDates(int year, int month, bool mondayFirst);

// The week number of a date: w = weekday (Monday 1 ... Sunday 7), n = day of
// the year, week = (n - w + 10) / 7; a week 0 is the week of 31 December of
// the previous year. A 53 is not carried over to week 1.
int WeekNumber(const Date& date);

// Which day text style a cell takes.
enum class DayKind { Weekday, Saturday, SundayHoliday, Today, OtherMonth };
// A day outside the shown month takes the other-month style (even today);
// otherwise a holiday or a Sunday the Sunday-and-holiday style, a Saturday
// the Saturday style, any other day the weekday style; today replaces any of
// these.
DayKind ChooseDayKind(const Date& cell, int shownYear, int shownMonth, bool holiday,
                      const Date& today);
const Model::DayTextStyle& DayStyleOf(const Model::CCalendarStyleInfo& style, DayKind kind);

// The booked font style bits from the three options.
int BookedFontStyle(bool bold, bool italic, bool underline);

// The measuring rule: a measured text of (width, height) at em size `emSize`
// takes (int)((width + 3) * f) by (int)height + 4, f being 1.1 below 14, 1.2
// below 16, 1.3 below 24 and 1.4 from 24 up.
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
Size ScaleMeasured(double width, double height, int emSize);

// Measures one text in one style (already scaled by ScaleMeasured).
using Measurer = std::function<Size(const Model::TextStyle&, const std::wstring&)>;

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// The result of measuring a window.
struct Layout {
    int rows = kGridRows;
    Size cell;
    Size weekNumberColumn;            // 0 x 0 when week numbers are hidden
    int cellWidthBeforeWeekdays = 0;  // the cell width before the weekday names widened it
    Rect header;
    Rect weekRow;
    Rect grid;
    Rect bottomBar;  // all 0 when the bottom bar is not shown
    Rect window;
};

struct LayoutOptions {
    int year = 2000;  // the year shown in the header
    bool mondayFirst = false;
    int rows = kGridRows;
};

// Measures every text the window may show (12 month numbers and names, 7
// weekday names, "65", "28" in bold underline, "12:30") and derives the
// rectangles. The bottom bar is shown when the style says so.
Layout CalcLayout(const Model::CCalendarStyleInfo& style, const LayoutOptions& options,
                  const Measurer& measure);

// Placement of the items in a measured window.
Rect DayCellRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int row, int column);
Rect WeekdayNameRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int column);
Rect WeekNumberRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int row);
// The header less its margins: where the year and month texts go.
Rect HeaderTextRect(const Layout& layout, const Model::CCalendarStyleInfo& style);
// The bottom bar less its margins: where the clock goes.
Rect ClockRect(const Layout& layout, const Model::CCalendarStyleInfo& style);

}  // namespace CalendarLayout
