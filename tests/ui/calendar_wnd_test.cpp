// The calendar window: its date and layout rules as plain functions (month
// grids for Sunday- and Monday-first weeks, week numbers, the day style
// choice, measuring and placement), and real windows on the offscreen
// platform fed by a fake data source: month offsets, roll-over, today's
// mark, holidays and booked days checked on the items and pixel by pixel in
// the back buffer, the manager's notifications and the dump.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <ctime>
#include <memory>
#include <set>
#include <string>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"
#include "platform/Time.h"
#include "platform/WindowMessages.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndLayout.h"
#include "view/CalendarWndSource.h"

namespace {

using CalendarLayout::Date;
using CalendarLayout::DayKind;

QApplication& App() {
    static int argc = 1;
    static char name[] = "calendar_wnd_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Delivers what is posted, and what the handlers post in turn.
void Pump() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// ---------------------------------------------------------------------------
// Date rules.

TEST(CalendarDates, MonthGridsForSundayAndMondayFirstWeeks) {
    struct Row {
        int year, month;
        bool mondayFirst;
        int leading, days, trailing, rowsFree;
    };
    const Row rows[] = {
        {2009, 2, false, 0, 28, 0, 4},  // February 2009 starts on a Sunday
        {2010, 2, true, 0, 28, 0, 4},   // February 2010 starts on a Monday
        {2015, 2, true, 6, 28, 1, 5},   // 1 February 2015 is a Sunday
        {2009, 3, false, 0, 31, 4, 5},  // 1 March 2009 is a Sunday ...
        {2009, 3, true, 6, 31, 5, 6},   // ... six leading cells on Monday-first weeks
        {2009, 5, false, 5, 31, 6, 6},  // six rows
        {2015, 8, true, 5, 31, 6, 6},  {2000, 2, false, 2, 29, 4, 5},  // leap century
        {1900, 2, false, 4, 28, 3, 5},                                 // not a leap year
        {2024, 12, true, 6, 31, 5, 6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.year) + "/" + std::to_string(r.month) +
                     (r.mondayFirst ? " Monday" : " Sunday"));
        const CalendarLayout::MonthGrid grid =
            CalendarLayout::GetMonthGrid(r.year, r.month, r.mondayFirst);
        EXPECT_EQ(grid.leading, r.leading);
        EXPECT_EQ(grid.days, r.days);
        EXPECT_EQ(grid.trailing, r.trailing);
        EXPECT_EQ(grid.Cells() % 7, 0);
        EXPECT_EQ(CalendarLayout::GridRows(grid, false), r.rowsFree);
        EXPECT_EQ(CalendarLayout::GridRows(grid, true), 6);
    }
    EXPECT_THROW(CalendarLayout::GetMonthGrid(1899, 12, false), std::invalid_argument);
    EXPECT_THROW(CalendarLayout::GetMonthGrid(2009, 13, false), std::invalid_argument);
    EXPECT_THROW(CalendarLayout::GetMonthGrid(2009, 0, false), std::invalid_argument);
}

TEST(CalendarDates, GridDatesRollOverTheYear) {
    // December 2024 starts on a Sunday.
    auto sunday = CalendarLayout::GridDates(2024, 12, false);
    EXPECT_EQ(sunday[0], (Date{2024, 12, 1}));
    EXPECT_EQ(sunday[30], (Date{2024, 12, 31}));
    EXPECT_EQ(sunday[31], (Date{2025, 1, 1}));
    EXPECT_EQ(sunday[41], (Date{2025, 1, 11}));
    auto monday = CalendarLayout::GridDates(2024, 12, true);
    EXPECT_EQ(monday[0], (Date{2024, 11, 25}));
    EXPECT_EQ(monday[6], (Date{2024, 12, 1}));
    // January: the leading cells come from December of the year before.
    auto january = CalendarLayout::GridDates(2009, 1, true);
    EXPECT_EQ(january[0], (Date{2008, 12, 29}));
    EXPECT_EQ(january[3], (Date{2009, 1, 1}));
    // Consecutive days, one weekday apart, across a leap day.
    auto march = CalendarLayout::GridDates(2024, 3, false);
    for (int i = 1; i < 42; ++i) {
        EXPECT_EQ(march[i], CalendarLayout::AddDays(march[i - 1], 1));
        EXPECT_EQ(CalendarLayout::Weekday(march[i]), i % 7);
    }
    EXPECT_EQ(march[4], (Date{2024, 2, 29}));
}

TEST(CalendarDates, MonthOffsets) {
    struct Row {
        int year, month, offset, wantYear, wantMonth;
    };
    const Row rows[] = {
        {2024, 12, 1, 2025, 1},   {2025, 1, -1, 2024, 12}, {2009, 2, 0, 2009, 2},
        {2009, 2, -14, 2007, 12}, {2009, 2, 23, 2011, 1},  {2009, 12, 12, 2010, 12},
        {2009, 1, -12, 2008, 1},
    };
    for (const Row& r : rows) {
        int y = r.year;
        int m = r.month;
        CalendarLayout::AddMonths(y, m, r.offset);
        EXPECT_EQ(y, r.wantYear) << r.offset;
        EXPECT_EQ(m, r.wantMonth) << r.offset;
    }
}

TEST(CalendarDates, WeekNumbers) {
    struct Row {
        Date date;
        int week;
    };
    const Row rows[] = {
        {{2008, 12, 29}, 53},                      // not carried over to week 1
        {{2009, 1, 5}, 2},    {{2010, 1, 1}, 53},  // the week of 31 December 2009
        {{2009, 1, 1}, 1},    {{2012, 2, 29}, 9}, {{2012, 3, 5}, 10},
        {{2016, 1, 3}, 53},  // a Sunday in week 0 of 2016 -> week of 31 Dec 2015
        {{2021, 1, 4}, 1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(CalendarLayout::WeekNumber(r.date), r.week)
            << r.date.year << "-" << r.date.month << "-" << r.date.day;
    }
}

TEST(CalendarDates, DayStyleChoice) {
    const Date today{2009, 2, 10};  // a Tuesday
    struct Row {
        Date cell;
        bool holiday;
        DayKind kind;
    };
    const Row rows[] = {
        {{2009, 2, 9}, false, DayKind::Weekday},
        {{2009, 2, 14}, false, DayKind::Saturday},
        {{2009, 2, 15}, false, DayKind::SundayHoliday},
        {{2009, 2, 14}, true, DayKind::SundayHoliday},  // a holiday on a Saturday
        {{2009, 2, 11}, true, DayKind::SundayHoliday},
        {{2009, 2, 10}, false, DayKind::Today},
        {{2009, 2, 10}, true, DayKind::Today},  // today wins over the holiday
        {{2009, 3, 1}, true, DayKind::OtherMonth},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(CalendarLayout::ChooseDayKind(r.cell, 2009, 2, r.holiday, today), r.kind)
            << r.cell.day;
    }
    // Today in the other-month part of the grid keeps the other-month style.
    EXPECT_EQ(CalendarLayout::ChooseDayKind({2009, 3, 1}, 2009, 2, false, {2009, 3, 1}),
              DayKind::OtherMonth);
    EXPECT_EQ(CalendarLayout::BookedFontStyle(true, false, true),
              Model::kFontBold | Model::kFontUnderline);
}

TEST(CalendarLayoutRules, MeasuringScale) {
    using CalendarLayout::Size;
    EXPECT_EQ(CalendarLayout::ScaleMeasured(10, 12.7, 9), (Size{14, 16}));  // 13 * 1.1
    EXPECT_EQ(CalendarLayout::ScaleMeasured(10, 12.7, 13), (Size{14, 16}));
    EXPECT_EQ(CalendarLayout::ScaleMeasured(7, 10, 14), (Size{12, 14}));  // 10 * 1.2
    EXPECT_EQ(CalendarLayout::ScaleMeasured(7, 10, 16), (Size{13, 14}));  // 10 * 1.3
    EXPECT_EQ(CalendarLayout::ScaleMeasured(7, 10, 23), (Size{13, 14}));
    EXPECT_EQ(CalendarLayout::ScaleMeasured(7, 10, 24), (Size{14, 14}));  // 10 * 1.4
}

// A measurer with round numbers: 7 pixels a character, font size + 2 high.
CalendarLayout::Size FakeMeasure(const Model::TextStyle& style, const std::wstring& text) {
    return {static_cast<int>(text.size()) * 7, style.fontSize + 2};
}

TEST(CalendarLayoutRules, DefaultStyleMeasuringAndPlacement) {
    Model::CCalendarStyleInfo style;
    const CalendarLayout::Layout l =
        CalendarLayout::CalcLayout(style, {2009, false, 6}, FakeMeasure);
    // Header: month texts 24 high + margins 4 + 4 + 1.
    EXPECT_EQ(l.header, (CalendarLayout::Rect{0, 0, 162, 33}));
    // Weekday row: "SUN" 21 x 11, top margin 1.
    EXPECT_EQ(l.weekRow, (CalendarLayout::Rect{0, 33, 162, 12}));
    // Cell: "28" 14 x 11 plus margins 2 each side = 18 x 15, widened to "SUN".
    EXPECT_EQ(l.cellWidthBeforeWeekdays, 18);
    EXPECT_EQ(l.cell, (CalendarLayout::Size{21, 15}));
    EXPECT_EQ(l.weekNumberColumn, (CalendarLayout::Size{0, 0}));
    EXPECT_EQ(l.grid, (CalendarLayout::Rect{0, 45, 162, 104}));
    EXPECT_EQ(l.bottomBar, (CalendarLayout::Rect{}));
    EXPECT_EQ(l.window, (CalendarLayout::Rect{0, 0, 162, 149}));

    EXPECT_EQ(CalendarLayout::DayCellRect(l, style, 0, 0), (CalendarLayout::Rect{4, 49, 21, 15}));
    EXPECT_EQ(CalendarLayout::DayCellRect(l, style, 5, 6),
              (CalendarLayout::Rect{136, 129, 21, 15}));
    EXPECT_EQ(CalendarLayout::WeekdayNameRect(l, style, 0), (CalendarLayout::Rect{4, 34, 22, 11}));
    EXPECT_EQ(CalendarLayout::HeaderTextRect(l, style), (CalendarLayout::Rect{4, 4, 154, 25}));

    // Four rows only.
    const CalendarLayout::Layout four =
        CalendarLayout::CalcLayout(style, {2009, false, 4}, FakeMeasure);
    EXPECT_EQ(four.grid.height, 16 * 4 + 8);
    EXPECT_EQ(four.window.height, l.window.height - 32);
}

TEST(CalendarLayoutRules, WeekNumbersAndBottomBarWidenTheWindow) {
    Model::CCalendarStyleInfo style;
    style.weekNumberText.visible = 1;  // "65" in 8 px: 14 x 10
    style.bottomBarShown = true;       // "12:30" in 11 px: 35 x 13
    const CalendarLayout::Layout l =
        CalendarLayout::CalcLayout(style, {2009, false, 6}, FakeMeasure);
    EXPECT_EQ(l.weekNumberColumn, (CalendarLayout::Size{14, 10}));
    EXPECT_EQ(l.grid.width, 176);
    EXPECT_EQ(l.bottomBar, (CalendarLayout::Rect{0, 149, 176, 16}));
    EXPECT_EQ(l.window, (CalendarLayout::Rect{0, 0, 176, 165}));
    EXPECT_EQ(CalendarLayout::ClockRect(l, style), (CalendarLayout::Rect{4, 152, 168, 11}));
    // Days and weekday names both start after the week number column.
    EXPECT_EQ(CalendarLayout::DayCellRect(l, style, 0, 0).x, 18);
    EXPECT_EQ(CalendarLayout::WeekdayNameRect(l, style, 0).x, 18);
    EXPECT_EQ(CalendarLayout::WeekdayNameRect(l, style, 3).x,
              CalendarLayout::DayCellRect(l, style, 2, 3).x);
    EXPECT_EQ(CalendarLayout::WeekNumberRect(l, style, 1), (CalendarLayout::Rect{0, 65, 14, 10}));
}

// ---------------------------------------------------------------------------
// Real windows.

class FakeSource : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>& out, int year, int month, int count) override {
        ++eventCalls;
        lastYear = year;
        lastMonth = month;
        lastCount = count;
        out.insert(out.end(), events.begin(), events.end());
        return true;
    }
    bool GetHolidays(std::list<Model::Holiday>& out, int, int, int,
                     const std::wstring& filter) override {
        ++holidayCalls;
        lastFilter = filter;
        out.insert(out.end(), holidays.begin(), holidays.end());
        return true;
    }
    void AddListener(platform::WindowHandle window, uint32_t message) override {
        listenerWindow = window;
        listenerMessage = message;
    }

    std::list<Model::Event> events;
    std::list<Model::Holiday> holidays;
    int eventCalls = 0, holidayCalls = 0;
    int lastYear = 0, lastMonth = 0, lastCount = 0;
    std::wstring lastFilter = L"unset";
    platform::WindowHandle listenerWindow = 0;
    uint32_t listenerMessage = 0;
};

Model::Event TimedEvent(int year, int month, int day, int hour, const std::wstring& title) {
    Model::Event e;
    e.localEventID = L"id-" + title;
    e.title = title;
    e.startTime = platform::CTime(year, month, day, hour, 0, 0);
    e.endTime = e.startTime + 3600;
    return e;
}

Model::Holiday MakeHoliday(int year, int month, int day) {
    Model::Holiday h;
    h.date = platform::CTime(year, month, day, 0, 0, 0);
    h.title = L"holiday";
    return h;
}

// Index of the cell that shows a date, or -1.
int CellOf(const CCalendarWnd& wnd, int year, int month, int day) {
    const int64_t midnight = platform::CTime(year, month, day, 0, 0, 0).GetTime();
    for (int i = 0; i < 42; ++i) {
        if (wnd.Day(i).Date() == midnight) {
            return i;
        }
    }
    return -1;
}

class CalendarWindow : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        App();
        tz_ = std::make_unique<testsupport::ScopedTz>(GetParam());
        SetToday(2009, 2, 10);
        WriteConfig("[general]\ncalendar_mode=2\n");
    }

    void SetToday(int year, int month, int day, int hour = 12) {
        now_ = platform::CTime(year, month, day, hour, 0, 0).GetTime();
    }

    void WriteConfig(const std::string& text) {
        testsupport::WriteFile(dir_ / "config.ini", text);
        config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
    }

    std::unique_ptr<CCalendarWnd> Open(int offset = 0) {
        CalendarWndContext context;
        context.source = &source_;
        context.config = config_.get();
        context.style = &style_;
        auto wnd = std::make_unique<CCalendarWnd>(1, 20, 30, offset, context);
        Pump();  // the first redraw is posted
        return wnd;
    }

    static QRgb CellPixel(const CCalendarWnd& wnd, int index) {
        const QRect r = wnd.Day(index).Rect();
        return wnd.BackBuffer().pixel(r.x() + 1, r.y() + r.height() / 2);
    }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::ScopedTz> tz_;
    int64_t now_ = 0;
    platform::ScopedClock clock_{[this] { return now_; }};
    std::unique_ptr<Model::CConfigInfo> config_;
    Model::CCalendarStyleInfo style_;
    FakeSource source_;
};

TEST_P(CalendarWindow, ShowsTheMonthOfItsOffset) {
    struct Row {
        int offset, year, month, firstCellYear, firstCellMonth, firstCellDay;
    };
    const Row rows[] = {
        {0, 2009, 2, 2009, 2, 1},  // February 2009 starts on a Sunday
        {-2, 2008, 12, 2008, 11, 30},
        {10, 2009, 12, 2009, 11, 29},
        {11, 2010, 1, 2009, 12, 27},  // December -> January
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.offset);
        auto wnd = Open(r.offset);
        EXPECT_EQ(wnd->GetYear(), r.year);
        EXPECT_EQ(wnd->GetMonth(), r.month);
        EXPECT_EQ(wnd->GetMonthOffset(), r.offset);
        EXPECT_EQ(
            wnd->Day(0).Date(),
            platform::CTime(r.firstCellYear, r.firstCellMonth, r.firstCellDay, 0, 0, 0).GetTime());
        EXPECT_EQ(wnd->YearItem().GetText(), std::to_wstring(r.year));
        EXPECT_EQ(wnd->MonthNumberItem().GetText(), std::to_wstring(r.month));
        EXPECT_EQ(wnd->MonthNameItem().GetText(),
                  Model::CCalendarStyleInfo::GetMonthName(0, r.month));
        // The cache covers the months on screen, from the first one shown.
        EXPECT_EQ(source_.lastYear, r.firstCellYear);
        EXPECT_EQ(source_.lastMonth, r.firstCellMonth);
    }
}

TEST_P(CalendarWindow, CellsAreConsecutiveLocalDaysAcrossDaylightSavingChanges) {
    // November 2024 (New York falls back on the 3rd) and March 2024 (springs
    // forward on the 10th).
    for (int month : {3, 11}) {
        SetToday(2024, month, 15);
        auto wnd = Open();
        const auto dates = CalendarLayout::GridDates(2024, month, false);
        for (int i = 0; i < 42; ++i) {
            const platform::CTime day(wnd->Day(i).Date());
            EXPECT_EQ(day.GetDay(), dates[i].day) << month << " cell " << i;
            EXPECT_EQ(day.GetHour(), 0);
            EXPECT_EQ(wnd->Day(i).GetText(), std::to_wstring(dates[i].day));
        }
    }
}

TEST_P(CalendarWindow, RowsFollowTheFixedHeightOption) {
    // February 2009 on Sunday-first weeks fits in four rows.
    WriteConfig("[general]\ncalendar_mode=2\n[option]\nfix_cal_height=0\n");
    auto free = Open();
    EXPECT_EQ(free->GetLayout().rows, 4);
    EXPECT_TRUE(free->Day(27).visible);
    EXPECT_FALSE(free->Day(28).visible);
    EXPECT_FALSE(free->Day(41).visible);

    WriteConfig("[general]\ncalendar_mode=2\n");
    auto fixed = Open();
    EXPECT_EQ(fixed->GetLayout().rows, 6);
    EXPECT_TRUE(fixed->Day(41).visible);
    EXPECT_EQ(fixed->Day(41).GetText(), L"14");  // trailing March days fill the rows
    EXPECT_GT(fixed->Height(), free->Height());
    EXPECT_EQ(fixed->Width(), free->Width());
}

TEST_P(CalendarWindow, MondayFirstWeeksAndWeekNumbers) {
    SetToday(2009, 1, 15);
    WriteConfig("[general]\ncalendar_mode=2\n[option]\nmonday_frist=1\n");
    style_.weekNumberText.visible = 1;
    auto wnd = Open();
    EXPECT_EQ(wnd->Day(0).Date(), platform::CTime(2008, 12, 29, 0, 0, 0).GetTime());
    EXPECT_EQ(wnd->WeekNameItem(0).GetText(), L"MON");
    EXPECT_EQ(wnd->WeekNameItem(6).GetText(), L"SUN");
    EXPECT_EQ(wnd->WeekNumberItem(0).GetText(), L"53");
    EXPECT_EQ(wnd->WeekNumberItem(1).GetText(), L"2");
    EXPECT_TRUE(wnd->WeekNumberItem(0).visible);
    EXPECT_GT(wnd->GetLayout().weekNumberColumn.width, 0);
    // The weekday names stand over their columns.
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(wnd->WeekNameItem(c).x, wnd->Day(c).x) << c;
    }
}

TEST_P(CalendarWindow, TodayHolidaysAndBookedDays) {
    source_.holidays = {MakeHoliday(2009, 2, 11)};
    Model::Event trip;  // all day, 23 to 25 February: the end day is not booked
    trip.isAllDay = true;
    trip.startTime = platform::CTime(2009, 2, 23, 0, 0, 0);
    trip.endTime = platform::CTime(2009, 2, 26, 0, 0, 0);
    Model::Event night = TimedEvent(2009, 2, 5, 22, L"night");  // 22:00 to 01:00
    night.endTime = night.startTime + 3 * 3600;
    source_.events = {TimedEvent(2009, 2, 20, 10, L"dentist"),
                      TimedEvent(2009, 3, 2, 23, L"next month"), trip, night,
                      TimedEvent(2009, 5, 2, 23, L"off screen")};
    style_.bookedBackgroundOn = 1;
    style_.bookedBackgroundColor = 0xFFFF00FF;
    style_.bookedTextColorOn = 1;
    style_.bookedTextColor = 0xFF0000FF;
    WriteConfig("[general]\ncalendar_mode=2\n[option]\nbooked_underline=1\n");
    auto wnd = Open();
    const Model::CCalendarStyleInfo& s = wnd->Style();

    const int today = CellOf(*wnd, 2009, 2, 10);
    const int holiday = CellOf(*wnd, 2009, 2, 11);
    const int booked = CellOf(*wnd, 2009, 2, 20);
    const int saturday = CellOf(*wnd, 2009, 2, 21);
    const int plain = CellOf(*wnd, 2009, 2, 19);
    const int nextMonth = CellOf(*wnd, 2009, 3, 2);
    ASSERT_GE(nextMonth, 0);
    EXPECT_EQ(wnd->Day(today).style, &s.todayDayText);
    EXPECT_EQ(wnd->Day(holiday).style, &s.sundayDayText);
    EXPECT_EQ(wnd->Day(saturday).style, &s.saturdayDayText);
    EXPECT_EQ(wnd->Day(plain).style, &s.weekdayDayText);
    EXPECT_EQ(wnd->Day(nextMonth).style, &s.otherMonthDayText);
    EXPECT_EQ(wnd->Day(0).style, &s.sundayDayText);  // 1 February, a Sunday

    // Booked: the day of each event, nothing else.
    const std::set<int> bookedCells = {booked,
                                       nextMonth,
                                       CellOf(*wnd, 2009, 2, 23),
                                       CellOf(*wnd, 2009, 2, 24),
                                       CellOf(*wnd, 2009, 2, 25),
                                       CellOf(*wnd, 2009, 2, 5),
                                       CellOf(*wnd, 2009, 2, 6)};
    for (int i = 0; i < 42; ++i) {
        EXPECT_EQ(wnd->Day(i).booked, bookedCells.count(i) ? 1 : 0) << i;
    }
    EXPECT_EQ(wnd->Day(booked).bookedFontStyle, Model::kFontBold | Model::kFontUnderline);
    EXPECT_EQ(wnd->Day(booked).bookedTextColor, 0xFF0000FFu);
    EXPECT_EQ(wnd->Day(today).bookedTextColor, s.todayDayText.color);

    // In the back buffer: the booked box behind the booked day, the window
    // background behind a plain one.
    EXPECT_EQ(CellPixel(*wnd, booked), 0xFFFF00FFu);
    EXPECT_EQ(CellPixel(*wnd, plain), s.windowBackground);
    // The booked number is drawn in the booked text colour.
    const QRect r = wnd->Day(booked).Rect();
    int blue = 0;
    for (int y = r.top(); y < r.bottom(); ++y) {
        for (int x = r.left(); x < r.right(); ++x) {
            const QRgb p = wnd->BackBuffer().pixel(x, y);
            blue += qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80 ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 5);
    EXPECT_EQ(source_.lastFilter, L"");

    // Today's number in the today colour (green), a plain day's not.
    auto greenIn = [&](int index) {
        const QRect c = wnd->Day(index).Rect();
        int n = 0;
        for (int y = c.top(); y < c.bottom(); ++y) {
            for (int x = c.left(); x < c.right(); ++x) {
                const QRgb p = wnd->BackBuffer().pixel(x, y);
                n += qGreen(p) > 150 && qRed(p) < 100 && qBlue(p) < 100 ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(greenIn(today), 5);
    EXPECT_EQ(greenIn(plain), 0);
}

TEST_P(CalendarWindow, OpaqueWhileTheMouseIsOver) {
    style_.windowBackground = 0x80F4F4F4;  // half transparent
    CalendarWndContext context;
    context.config = config_.get();
    context.style = &style_;
    context.disableTransparencyWhileMouseOver = true;
    CCalendarWnd wnd(1, 20, 30, 0, context);
    Pump();
    QCursor::setPos(500, 500);
    wnd.Redraw();
    if (QCursor::pos() != QPoint(500, 500)) {
        GTEST_SKIP() << "the platform does not move the cursor";
    }
    const CalendarLayout::Layout& l = wnd.GetLayout();
    const QPoint margin(2, l.grid.y + l.grid.height / 2);
    EXPECT_FALSE(wnd.OpaqueWhileHovered());
    EXPECT_EQ(qAlpha(wnd.BackBuffer().pixel(margin)), 0x80);
    QCursor::setPos(wnd.Left() + 5, wnd.Top() + 5);
    wnd.Redraw();
    EXPECT_TRUE(wnd.OpaqueWhileHovered());
    EXPECT_EQ(qAlpha(wnd.BackBuffer().pixel(margin)), 0xFF);
}

TEST_P(CalendarWindow, PaintsTheStyleIntoTheBackBuffer) {
    style_.windowShape = Model::kShapeRectangle;
    style_.windowBackground = 0xFF102030;
    style_.headerBackground = 0xFFFFFFFF;
    auto wnd = Open();
    const QImage& image = wnd->BackBuffer();
    ASSERT_EQ(image.width(), wnd->Width());
    ASSERT_EQ(image.height(), wnd->Height());
    const CalendarLayout::Layout& l = wnd->GetLayout();
    // Frame on the outermost pixels, header, weekday row and its top line.
    EXPECT_EQ(image.pixel(0, l.window.height / 2), style_.windowFrameColor);
    EXPECT_EQ(image.pixel(l.window.width - 1, l.window.height - 1), style_.windowFrameColor);
    EXPECT_EQ(image.pixel(l.window.width - 3, l.header.height / 2), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(2, l.weekRow.y + l.weekRow.height / 2), style_.weekRowBackground);
    EXPECT_EQ(image.pixel(10, l.weekRow.y), style_.weekRowFrameColor);
    // Window background in the grid margin.
    EXPECT_EQ(image.pixel(2, l.grid.y + l.grid.height / 2), 0xFF102030u);
    // A rectangular window has no shape.
    EXPECT_TRUE(wnd->Shape().isEmpty());
    // The items lie inside the window and the cells do not overlap.
    for (int i = 0; i < 42; ++i) {
        const QRect cell = wnd->Day(i).Rect();
        EXPECT_TRUE(QRect(0, 0, wnd->Width(), wnd->Height()).contains(cell)) << i;
        if (i % 7 != 6) {
            EXPECT_LT(cell.right(), wnd->Day(i + 1).Rect().left());
        }
    }
    // Only day cells answer hit tests.
    const QRect third = wnd->Day(3).Rect();
    EXPECT_EQ(wnd->HitTest(third.x(), third.y()), &wnd->Day(3));
    EXPECT_EQ(wnd->HitTest(2, 2), nullptr);

    // A rounded window is cut to its shape.
    style_.windowShape = Model::kShapeRoundRect;
    auto round = Open();
    EXPECT_FALSE(round->Shape().contains(QPoint(0, 0)));
    EXPECT_TRUE(round->Shape().contains(QPoint(round->Width() / 2, round->Height() / 2)));
}

TEST_P(CalendarWindow, BottomBarShowsTheClock) {
    style_.bottomBarShown = true;
    auto wnd = Open();
    SetToday(2009, 2, 10, 7);
    now_ += 5 * 60;
    wnd->UpdateClock();
    Pump();
    EXPECT_EQ(wnd->ClockText(), L"07:05");
    EXPECT_EQ(wnd->ClockItem().GetText(), L"07:05");
    EXPECT_TRUE(wnd->ClockItem().visible);
    EXPECT_GT(wnd->GetLayout().bottomBar.height, 0);
    EXPECT_EQ(wnd->Height(), wnd->GetLayout().grid.y + wnd->GetLayout().grid.height +
                                 wnd->GetLayout().bottomBar.height);
}

TEST_P(CalendarWindow, ManagerNotificationsRefillTheCaches) {
    auto wnd = Open();
    EXPECT_EQ(source_.listenerWindow, wnd->Handle());
    EXPECT_EQ(source_.listenerMessage, Controller::kCalendarWndManagerMessage);
    const int events = source_.eventCalls;
    const int holidays = source_.holidayCalls;
    const int booked = CellOf(*wnd, 2009, 2, 25);
    EXPECT_EQ(wnd->Day(booked).booked, 0);

    // A month that is not on screen: ignored.
    source_.events = {TimedEvent(2009, 2, 25, 9, L"new")};
    platform::PostMessage(wnd->Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_EVENT_UPDATED, 2009 * 65536 + 6);
    Pump();
    EXPECT_EQ(source_.eventCalls, events);
    EXPECT_EQ(wnd->Day(booked).booked, 0);

    // The shown month: refilled, booked and repainted.
    const int paints = wnd->RedrawCount();
    platform::PostMessage(wnd->Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_EVENT_UPDATED, 2009 * 65536 + 2);
    Pump();
    EXPECT_EQ(source_.eventCalls, events + 1);
    EXPECT_EQ(wnd->Day(booked).booked, 1);
    EXPECT_GT(wnd->RedrawCount(), paints);

    // 0: every window refills.
    platform::PostMessage(wnd->Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_EVENT_UPDATED, 0);
    Pump();
    EXPECT_EQ(source_.eventCalls, events + 2);

    // Holidays.
    source_.holidays = {MakeHoliday(2009, 2, 12)};
    platform::PostMessage(wnd->Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_HOLIDAY_UPDATED, 0);
    Pump();
    EXPECT_GT(source_.holidayCalls, holidays);
    EXPECT_EQ(wnd->Day(CellOf(*wnd, 2009, 2, 12)).style, &wnd->Style().sundayDayText);
}

TEST_P(CalendarWindow, NoDataIsReadBeforeSetUp) {
    WriteConfig("[general]\ncalendar_mode=0\n");
    source_.events = {TimedEvent(2009, 2, 20, 10, L"x")};
    auto wnd = Open();
    platform::PostMessage(wnd->Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_EVENT_UPDATED, 0);
    Pump();
    EXPECT_EQ(source_.eventCalls, 0);
    EXPECT_EQ(source_.holidayCalls, 0);
    EXPECT_GT(wnd->RedrawCount(), 0);  // the calendar is still drawn
}

TEST_P(CalendarWindow, ANewDayMovesTodaysMarkAndANewMonthTheDates) {
    auto wnd = Open();
    const int tenth = CellOf(*wnd, 2009, 2, 10);
    EXPECT_EQ(wnd->Day(tenth).style, &wnd->Style().todayDayText);
    SetToday(2009, 2, 11);
    wnd->UpdateClock();
    Pump();
    EXPECT_EQ(wnd->Day(tenth).style, &wnd->Style().weekdayDayText);
    EXPECT_EQ(wnd->Day(tenth + 1).style, &wnd->Style().todayDayText);

    // Midnight at the month's end: the new month, its dates and its events.
    source_.events = {TimedEvent(2009, 3, 31, 10, L"march")};
    SetToday(2009, 3, 1);
    wnd->UpdateClock();
    Pump();
    EXPECT_EQ(wnd->GetMonth(), 3);
    EXPECT_EQ(source_.lastMonth, 3);
    EXPECT_EQ(wnd->Day(CellOf(*wnd, 2009, 3, 31)).booked, 1);
}

TEST_P(CalendarWindow, DumpListsTheCachedRecords) {
    source_.holidays = {MakeHoliday(2009, 2, 11)};
    Model::Event e = TimedEvent(2009, 2, 20, 10, L"dentist");
    e.color = 0x1234ab;
    e.visibility = Model::VISIBILITY_PRIVATE;
    e.transparency = Model::TRANSPARENCY_OPAQUE;
    e.recurrenceType = Model::RECURRENCE_EXCEPTION;
    e.originalEvent = L"orig";
    source_.events = {e};
    auto wnd = Open(0);
    const std::string dump = wnd->Dump();
    EXPECT_EQ(dump.rfind("------- 1.0 (2009,2,", 0), 0u) << dump;
    EXPECT_NE(dump.find("pos x(20,"), std::string::npos);
    EXPECT_NE(dump.find(" 2009/02/20 10:00 col:1234ab PRIVATE OPAQUR CONFIRMED recur:"
                        "EXCEPTION org:orig\r\n"),
              std::string::npos)
        << dump;
    EXPECT_EQ(dump.find("dentist"), std::string::npos);  // no event content
    EXPECT_NE(dump.find("holiday 2/11\r\n"), std::string::npos);
}

TEST_P(CalendarWindow, ExtremeMonthOffsetsStayDrawable) {
    for (int offset : {INT32_MIN, -100000, 100000, INT32_MAX}) {
        auto wnd = Open(offset);
        EXPECT_GE(wnd->GetYear(), 1901) << offset;
        EXPECT_LE(wnd->GetYear(), 9998) << offset;
        EXPECT_GT(wnd->RedrawCount(), 0);
    }
}

TEST_P(CalendarWindow, DropShadowFollowsTheStyle) {
    auto plain = Open();
    EXPECT_FALSE(plain->Shadow().IsCreated());  // no companion window without a shadow

    style_.dropShadow = 1;
    style_.dropShadowOffsetX = 4;
    style_.dropShadowOffsetY = -3;
    auto shadowed = Open();
    ASSERT_TRUE(shadowed->Shadow().IsCreated());
    EXPECT_EQ(shadowed->Shadow().OffsetX(), 4);
    EXPECT_EQ(shadowed->Shadow().OffsetY(), -3);
    EXPECT_TRUE(shadowed->Shadow().Status() & Utility::CWndShadow::kVisible);
    EXPECT_FALSE(shadowed->Shadow().Image().isNull());

    // Offsets outside -20..20 are not applied; switching the shadow off hides it.
    shadowed->Style().dropShadowOffsetX = 21;
    shadowed->Style().dropShadow = 0;
    shadowed->Redraw();
    EXPECT_EQ(shadowed->Shadow().OffsetX(), 4);
    EXPECT_FALSE(shadowed->Shadow().Status() & Utility::CWndShadow::kVisible);
}

// A window whose per-pixel presentation fails, as on a display without an
// alpha visual.
class NoAlphaWnd : public CCalendarWnd {
public:
    using CCalendarWnd::CCalendarWnd;
    int tries = 0;

protected:
    bool UpdateLayered() override {
        ++tries;
        return false;
    }
};

TEST_P(CalendarWindow, LogsItsLifeAndFallsBackWhenPresentationFails) {
    // The log starts a weekday file afresh unless it was written today, so
    // this test runs on the real clock.
    now_ = static_cast<int64_t>(std::time(nullptr));
    const platform::CTime today(now_);
    Utility::CMaintenanceLog log;
    log.SetFolder(dir_.path());
    source_.events = {TimedEvent(today.GetYear(), today.GetMonth(), 15, 10, L"dentist")};
    CalendarWndContext context;
    context.source = &source_;
    context.config = config_.get();
    context.log = &log;
    NoAlphaWnd wnd(7, 20, 30, 0, context);
    Pump();
    wnd.Redraw();
    EXPECT_TRUE(wnd.PresentationFailed());
    EXPECT_EQ(wnd.tries, 1);  // never tried again
    EXPECT_TRUE(wnd.isVisible());

    const long shown = today.GetYear() * 65536L + today.GetMonth();
    platform::PostMessage(wnd.Handle(), Controller::kCalendarWndManagerMessage,
                          Controller::NOTIFY_EVENT_UPDATED, shown);
    Pump();
    const std::string ym = std::to_string(today.GetYear()) + "," + std::to_string(today.GetMonth());
    const std::string text = testsupport::ReadFile(log.FileNameFor(now_));
    const std::string lines[] = {
        "[info] <view> Calander x:20 y:30 offset:0 year:" + std::to_string(today.GetYear()) +
            " month:" + std::to_string(today.GetMonth()) + ")",
        "<view> wnd init done",
        "<view> update holiday cache (",
        "<view> update event cache (",
        "[ERR!] <view> UpdateLayeredWindow failed:0",
        "<view> cal mng event-enter (7)",
        "<view> update view (7," + ym + ")",
        "<view> cal mng event-leave",
    };
    for (const std::string& line : lines) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

// The real calendar manager in local mode behind the window: a local edit is
// stored, announced to the window as a listener, and drawn booked; stored
// holidays take the holiday style.
TEST_P(CalendarWindow, ReadsThroughTheCalendarManager) {
    const std::wstring holidayFeed = L"https://example.invalid/holidays/public/full";
    Controller::CCalendarManager manager(dir_ / "config.ini", dir_.path());
    manager.Initialize(L"local", L"", nullptr);
    manager.CreateLocalDB(holidayFeed);
    googledata::PrimitiveHoliday holiday;
    holiday.id = "h1";
    holiday.title = "National Foundation Day";
    holiday.date = "2009-02-20";
    holiday.status = Model::EVENT_STATUS_CONFIRMED;
    ASSERT_TRUE(manager.Database().UpsertHoliday(platform::WideToUtf8(holidayFeed),
                                                 googledata::PrimitiveTime(), holiday));

    CCalendarWndManagerSource source(manager);
    CalendarWndContext context;
    context.source = &source;
    context.config = config_.get();
    context.style = &style_;
    CCalendarWnd wnd(1, 20, 30, 0, context);
    Pump();
    // The holiday falls on the local date its record gives (in New York the
    // day before: a date-only holiday is read as a UTC midnight).
    const platform::CTime holidayDate =
        Model::Holiday::FromPrimitive(holiday, platform::WideToUtf8(holidayFeed)).date;
    EXPECT_EQ(wnd.Day(CellOf(wnd, 2009, 2, holidayDate.GetDay())).style,
              &wnd.Style().sundayDayText);
    const int day = CellOf(wnd, 2009, 2, 18);
    EXPECT_EQ(wnd.Day(day).booked, 0);

    Model::Event e;
    e.calendarURI = L"localEvent";
    e.title = L"Local only";
    e.startTime = platform::CTime(2009, 2, 18, 9, 0, 0);
    e.endTime = platform::CTime(2009, 2, 18, 10, 0, 0);
    manager.AddEvent(e);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        Pump();
        return wnd.Day(day).booked == 1;
    }));
    EXPECT_EQ(wnd.Cache().Events().size(), 1u);
    manager.Terminate();
}

TEST_P(CalendarWindow, AStyleChangeIsMeasuredAgain) {
    auto wnd = Open();
    const CalendarLayout::Layout before = wnd->GetLayout();
    wnd->Style().weekdayDayText.fontSize = 20;
    wnd->Style().monthNumText.outlineThickness = 12;
    wnd->Redraw();
    EXPECT_GT(wnd->GetLayout().cell.height, before.cell.height);
    EXPECT_GT(wnd->GetLayout().header.height, before.header.height);
    EXPECT_EQ(wnd->Height(), wnd->GetLayout().window.height);
    wnd->Style().weekdayDayText.fontSize = 9;
    wnd->Style().monthNumText.outlineThickness = 6;
    wnd->Redraw();
    EXPECT_EQ(wnd->GetLayout().cell, before.cell);
    EXPECT_EQ(wnd->GetLayout().window, before.window);
}

INSTANTIATE_TEST_SUITE_P(Zones, CalendarWindow, testing::Values("Asia/Tokyo", "America/New_York"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 4) == "Asia" ? "Tokyo"
                                                                                   : "NewYork";
                         });

}  // namespace
