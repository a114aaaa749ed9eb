#include "view/CalendarWndLayout.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/Time.h"

namespace CalendarLayout {
namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

void CheckMonth(int year, int month) {
    if (year < 1900 || month < 1 || month > 12) {
        throw std::invalid_argument("calendar date out of range: " + std::to_string(year) + "/" +
                                    std::to_string(month));
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), so that date steps need no time zone.
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

Date CivilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return Date{static_cast<int>(y + (m <= 2 ? 1 : 0)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr int kDaysBefore[2][12] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

int RawWeekNumber(const Date& date) {
    const int weekday = Weekday(date);
    const int w = weekday == 0 ? 7 : weekday;
    const int n = kDaysBefore[IsLeapYear(date.year) ? 1 : 0][date.month - 1] + date.day;
    return (n - w + 10) / 7;
}

}  // namespace

int DaysInMonth(int year, int month) {
    CheckMonth(year, month);
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        default:
            return 31;
    }
}

int Weekday(const Date& date) {
    const long long days = DaysFromCivil(date.year, date.month, date.day);
    // 1970-01-01 was a Thursday (4).
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

Date AddDays(const Date& date, int days) {
    return CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days);
}

void AddMonths(int& year, int& month, int offset) {
    const long long total = static_cast<long long>(year) * 12 + (month - 1) + offset;
    long long y = total / 12;
    long long m = total % 12;
    if (m < 0) {
        m += 12;
        y -= 1;
    }
    year = static_cast<int>(y);
    month = static_cast<int>(m) + 1;
}

int ClampMonthOffset(int year, int month, int offset) {
    const long long base = static_cast<long long>(year) * 12 + (month - 1);
    const long long target = std::clamp<long long>(base + offset, 1901LL * 12, 9998LL * 12 + 11);
    return static_cast<int>(target - base);
}

Date Today() {
    const platform::CTime now(platform::NowSeconds());
    std::tm tm{};
    if (!now.GetLocalTm(tm)) {
        return Date{1970, 1, 1};
    }
    return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

MonthGrid GetMonthGrid(int year, int month, bool mondayFirst) {
    MonthGrid grid;
    grid.days = DaysInMonth(year, month);
    const int first = Weekday(Date{year, month, 1});
    const int last = Weekday(Date{year, month, grid.days});
    if (mondayFirst) {
        grid.leading = first == 0 ? 6 : first - 1;
        grid.trailing = last == 0 ? 0 : 7 - last;
    } else {
        grid.leading = first;
        grid.trailing = 6 - last;
    }
    return grid;
}

int GridRows(const MonthGrid& grid, bool fixHeight) {
    if (fixHeight) {
        return kGridRows;
    }
    return std::min(kGridRows, (grid.Cells() + 6) / 7);
}

std::array<Date, kGridCells> GridDates(int year, int month, bool mondayFirst) {
    const MonthGrid grid = GetMonthGrid(year, month, mondayFirst);
    std::array<Date, kGridCells> dates;
    const long long first = DaysFromCivil(year, month, 1) - grid.leading;
    for (int i = 0; i < kGridCells; ++i) {
        dates[i] = CivilFromDays(first + i);
    }
    return dates;
}

int WeekNumber(const Date& date) {
    const int week = RawWeekNumber(date);
    if (week == 0) {
        return RawWeekNumber(Date{date.year - 1, 12, 31});
    }
    return week;
}

DayKind ChooseDayKind(const Date& cell, int shownYear, int shownMonth, bool holiday,
                      const Date& today) {
    if (cell.year != shownYear || cell.month != shownMonth) {
        return DayKind::OtherMonth;
    }
    if (cell == today) {
        return DayKind::Today;
    }
    const int weekday = Weekday(cell);
    if (holiday || weekday == 0) {
        return DayKind::SundayHoliday;
    }
    return weekday == 6 ? DayKind::Saturday : DayKind::Weekday;
}

const Model::DayTextStyle& DayStyleOf(const Model::CCalendarStyleInfo& style, DayKind kind) {
    switch (kind) {
        case DayKind::Saturday:
            return style.saturdayDayText;
        case DayKind::SundayHoliday:
            return style.sundayDayText;
        case DayKind::Today:
            return style.todayDayText;
        case DayKind::OtherMonth:
            return style.otherMonthDayText;
        case DayKind::Weekday:
            break;
    }
    return style.weekdayDayText;
}

int BookedFontStyle(bool bold, bool italic, bool underline) {
    return (bold ? Model::kFontBold : 0) | (italic ? Model::kFontItalic : 0) |
           (underline ? Model::kFontUnderline : 0);
}

Size ScaleMeasured(double width, double height, int emSize) {
    const double f = emSize < 14 ? 1.1 : emSize < 16 ? 1.2 : emSize < 24 ? 1.3 : 1.4;
    return Size{static_cast<int>((width + 3.0) * f), static_cast<int>(height) + 4};
}

Layout CalcLayout(const Model::CCalendarStyleInfo& style, const LayoutOptions& options,
                  const Measurer& measure) {
    Layout layout;
    layout.rows = std::clamp(options.rows, 1, kGridRows);

    // 1-5: the texts.
    const Size year = measure(style.yearText, std::to_wstring(options.year));
    Size monthNum, monthName;
    for (int m = 1; m <= 12; ++m) {
        const Size n = measure(style.monthNumText, std::to_wstring(m));
        const Size t = measure(style.monthNameText,
                               Model::CCalendarStyleInfo::GetMonthName(style.monthNameFormat, m));
        monthNum = {std::max(monthNum.width, n.width), std::max(monthNum.height, n.height)};
        monthName = {std::max(monthName.width, t.width), std::max(monthName.height, t.height)};
    }
    Size weekday;
    for (int c = 0; c < 7; ++c) {
        const Size s = measure(style.weekText, Model::CCalendarStyleInfo::GetWeekName(
                                                   style.weekNameFormat, c, options.mondayFirst));
        weekday = {std::max(weekday.width, s.width), std::max(weekday.height, s.height)};
    }
    const Size weekNumber = measure(style.weekNumberText, L"65");
    Model::TextStyle dayStyle = style.weekdayDayText;
    dayStyle.fontStyle = Model::kFontBold | Model::kFontUnderline;
    const Size day = measure(dayStyle, L"28");

    // 6. Header.
    const Model::StyleMargins& hm = style.headerMargins;
    layout.header.height =
        std::max({year.height, monthNum.height, monthName.height}) + hm.top + hm.bottom + 1;

    // 7. Weekday row. With the weekday names hidden the row keeps the
    // measured height and the cells are sized by their margins alone.
    const Model::StyleMargins& wm = style.weekRowMargins;
    layout.weekRow.y = layout.header.y + layout.header.height;
    layout.weekRow.height = wm.top + wm.bottom + weekday.height;
    int dayWidthPart = 0;
    int dayHeightPart = 0;
    if (style.weekText.visible) {
        dayWidthPart = day.width + wm.left + wm.right;
        dayHeightPart = day.height;
    }

    // 8. Week number column.
    if (style.weekNumberText.visible) {
        layout.weekNumberColumn = weekNumber;
    }

    // 9. Cell.
    const Model::StyleMargins& dm = style.dayTextMargins;
    layout.cell.width = dm.left + dm.right + dayWidthPart;
    layout.cell.height = dm.top + dm.bottom + dayHeightPart;
    layout.cellWidthBeforeWeekdays = layout.cell.width;
    if (weekday.width > layout.cell.width) {
        layout.cell.width = weekday.width;
    }

    // 11. Grid.
    const Model::StyleMargins& gm = style.gridMargins;
    layout.grid.y = layout.weekRow.y + layout.weekRow.height;
    layout.grid.height = (style.cellGapY + layout.cell.height) * layout.rows + gm.top + gm.bottom;
    layout.grid.width = gm.left + gm.right + 7 * (style.cellGapX + layout.cell.width) +
                        layout.weekNumberColumn.width;
    layout.header.width = layout.grid.width;
    if (style.weekText.visible) {
        layout.weekRow.width = layout.grid.width;
    }

    // 12. Bottom bar.
    if (style.bottomBarShown) {
        const Size clock = measure(style.bottomBarText, L"12:30");
        layout.bottomBar = Rect{0, layout.grid.y + layout.grid.height, layout.grid.width,
                                style.bottomBarMargins.top + clock.height};
    }

    // 13. Window.
    layout.window =
        Rect{0, 0, layout.grid.width, layout.bottomBar.height + layout.grid.y + layout.grid.height};
    return layout;
}

Rect DayCellRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int row,
                 int column) {
    return Rect{layout.grid.x + style.gridMargins.left + layout.weekNumberColumn.width +
                    column * (style.cellGapX + layout.cell.width),
                layout.grid.y + style.gridMargins.top + row * (style.cellGapY + layout.cell.height),
                layout.cell.width, layout.cell.height};
}

Rect WeekdayNameRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int column) {
    // The names stand over their day columns, so they start after the week
    // number column as the days do.
    const Model::StyleMargins& wm = style.weekRowMargins;
    return Rect{layout.weekRow.x + style.gridMargins.left + wm.left +
                    layout.weekNumberColumn.width + column * (layout.cell.width + style.cellGapX),
                layout.weekRow.y + wm.top, layout.cell.width + style.cellGapX,
                layout.weekRow.height - wm.top - wm.bottom};
}

Rect WeekNumberRect(const Layout& layout, const Model::CCalendarStyleInfo& style, int row) {
    return Rect{layout.weekRow.x,
                layout.grid.y + style.gridMargins.top + row * (style.cellGapY + layout.cell.height),
                layout.weekNumberColumn.width, layout.weekNumberColumn.height};
}

Rect HeaderTextRect(const Layout& layout, const Model::CCalendarStyleInfo& style) {
    const Model::StyleMargins& m = style.headerMargins;
    return Rect{layout.header.x + m.left, layout.header.y + m.top,
                layout.header.width - m.left - m.right, layout.header.height - m.top - m.bottom};
}

Rect ClockRect(const Layout& layout, const Model::CCalendarStyleInfo& style) {
    const Model::StyleMargins& m = style.bottomBarMargins;
    return Rect{layout.bottomBar.x + m.left, layout.bottomBar.y + m.top,
                layout.bottomBar.width - m.left - m.right,
                layout.bottomBar.height - m.top - m.bottom};
}

}  // namespace CalendarLayout
