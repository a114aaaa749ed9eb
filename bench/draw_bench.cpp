// Painting the display list of a full month window (window background and
// frame, header with year, month number and month name, weekday row with
// seven names and two lines, six week numbers, 42 day cells, bottom bar and
// clock) with outline text into a 300 × 250 back buffer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "model/CalendarStyleInfo.h"
#include "view/DrawBackgroundItem.h"
#include "view/DrawBoxItem.h"
#include "view/DrawDayItem.h"
#include "view/DrawLineItem.h"
#include "view/DrawTextItem.h"

namespace {

struct MonthWindow {
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 250;

    Model::CCalendarStyleInfo style;
    Draw::CDrawBackgroundItem background;
    Draw::CDrawBoxItem frame;
    Draw::CDrawBoxItem header;
    Draw::CDrawTextItem year, monthNum, monthName;
    Draw::CDrawBoxItem weekRow;
    std::array<Draw::CDrawTextItem, 7> weekNames;
    Draw::CDrawLineItem topLine, bottomLine;
    std::array<Draw::CDrawTextItem, 6> weekNumbers;
    std::array<Draw::CDrawDayItem, 42> days;
    Draw::CDrawBoxItem bottomBar;
    Draw::CDrawTextItem clock;
    std::vector<Draw::CDrawItem*> list;

    MonthWindow() {
        style.weekNumberText.visible = 1;
        style.todayDayText.boxFill = 1;
        style.todayDayText.boxShape = Model::kShapeRoundRect;
        style.bookedBackgroundOn = 1;
        style.bookedBackgroundColor = 0xFFFFF4D0;

        background.SetRect(0, 0, kWidth, kHeight);
        background.Relayout();
        background.fillColor = style.windowBackground;
        background.frameWidth = 0;
        background.shape = style.windowShape;
        background.cornerRadius = 8;
        frame.SetRect(0, 0, kWidth - 1, kHeight - 1);
        frame.noFill = 1;
        frame.frameColor = style.windowFrameColor;
        frame.shape = style.windowShape;
        frame.cornerRadius = 8;

        header.SetRect(0, 0, kWidth, 40);
        header.fillColor = header.frameColor = style.headerBackground;
        const QRect inner(4, 4, kWidth - 8, 32);
        for (auto* t : {&year, &monthNum, &monthName}) {
            t->SetRect(inner.x(), inner.y(), inner.width(), inner.height());
        }
        year.SetStyle(style.yearText);
        year.SetText(L"2009");
        monthNum.SetStyle(style.monthNumText);
        monthNum.SetText(L"2");
        monthName.SetStyle(style.monthNameText);
        monthName.SetText(Model::CCalendarStyleInfo::GetMonthName(style.monthNameFormat, 2));

        weekRow.SetRect(0, 40, kWidth, 16);
        weekRow.fillColor = weekRow.frameColor = style.weekRowBackground;
        weekRow.shape = style.weekRowShape;
        const int cellW = 38, cellH = 28, left = 4 + 22;
        for (int i = 0; i < 7; ++i) {
            weekNames[i].SetRect(left + i * (cellW + 1), 41, cellW + 1, 15);
            weekNames[i].SetStyle(style.weekText);
            weekNames[i].SetText(
                Model::CCalendarStyleInfo::GetWeekName(style.weekNameFormat, i, false));
        }
        topLine.SetRect(0, 40, kWidth, 0);
        bottomLine.SetRect(0, 56, kWidth, 0);
        topLine.color = bottomLine.color = style.weekRowFrameColor;
        for (int r = 0; r < 6; ++r) {
            weekNumbers[r].SetRect(0, 60 + r * (cellH + 1), 22, 16);
            weekNumbers[r].SetStyle(style.weekNumberText);
            weekNumbers[r].SetText(std::to_wstring(5 + r));
        }
        for (int i = 0; i < 42; ++i) {
            Draw::CDrawDayItem& d = days[i];
            const int r = i / 7, c = i % 7;
            d.SetRect(left + c * (cellW + 1), 60 + r * (cellH + 1), cellW, cellH);
            d.Relayout();
            d.background = &background;
            const bool other = i < 0 || i >= 28;
            d.style = other     ? &style.otherMonthDayText
                      : c == 0  ? &style.sundayDayText
                      : c == 6  ? &style.saturdayDayText
                      : i == 17 ? &style.todayDayText
                                : &style.weekdayDayText;
            d.SetDate(2009, other ? 3 : 2, other ? i - 27 : i + 1);
            d.booked = (i % 5 == 0) ? 1 : 0;
            d.bookedFontStyle = Model::kFontBold;
            d.bookedBackgroundOn = style.bookedBackgroundOn;
            d.bookedBackgroundColor = style.bookedBackgroundColor;
        }
        bottomBar.SetRect(0, 234, kWidth, 16);
        bottomBar.fillColor = style.windowBackground;
        bottomBar.frameWidth = 0;
        clock.SetRect(4, 237, kWidth - 8, 11);
        clock.SetStyle(style.bottomBarText);
        clock.SetText(L"12:30");

        list = {&background, &year, &header, &year, &monthNum, &monthName, &weekRow};
        for (auto& w : weekNames) {
            list.push_back(&w);
        }
        list.push_back(&topLine);
        list.push_back(&bottomLine);
        for (auto& w : weekNumbers) {
            list.push_back(&w);
        }
        for (auto& d : days) {
            list.push_back(&d);
        }
        list.push_back(&bottomBar);
        list.push_back(&clock);
        list.push_back(&frame);
    }

    // The redraw: a fresh back buffer at the screen's pixel ratio (run with
    // QT_SCALE_FACTOR=2 for a high-density screen), every item painted in
    // order.
    QImage Paint() {
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        QImage buffer(static_cast<int>(std::ceil(kWidth * ratio)),
                      static_cast<int>(std::ceil(kHeight * ratio)),
                      QImage::Format_ARGB32_Premultiplied);
        buffer.setDevicePixelRatio(ratio);
        buffer.fill(Qt::transparent);
        QPainter painter(&buffer);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        for (Draw::CDrawItem* item : list) {
            item->Draw(painter, false);
        }
        return buffer;
    }
};

QApplication& App() {
    static int argc = 1;
    static char name[] = "draw_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void BM_PaintMonthWindow(benchmark::State& state) {
    App();
    MonthWindow window;
    window.Paint();  // fonts resolved once, as after the window's first redraw
    for (auto _ : state) {
        QImage image = window.Paint();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["items"] = static_cast<double>(window.list.size());
}
BENCHMARK(BM_PaintMonthWindow)->Unit(benchmark::kMillisecond);

// The first paint of a fresh window: every glyph path and text image is
// built (as after a restyle or a change of month).
void BM_PaintMonthWindowCold(benchmark::State& state) {
    App();
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<MonthWindow>();
        state.ResumeTiming();
        QImage image = window->Paint();
        benchmark::DoNotOptimize(image.constBits());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PaintMonthWindowCold)->Unit(benchmark::kMillisecond);

// A change of month: every day gets a new date and number, then the redraw.
void BM_PaintMonthWindowMonthChange(benchmark::State& state) {
    App();
    MonthWindow window;
    window.Paint();
    int n = 0;
    for (auto _ : state) {
        const int month = (++n % 2) ? 3 : 2;
        for (int i = 0; i < 42; ++i) {
            window.days[i].SetDate(2009, month, 1 + (i + n) % 28);
        }
        QImage image = window.Paint();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintMonthWindowMonthChange)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
