// A full month calendar window on the offscreen platform: the whole redraw
// pipeline (measuring every text, placing the items, painting the display
// list into a fresh back buffer, shape, presentation), measuring and placing
// alone (building the display list's positions), and a month change (dates,
// decoration, both caches refilled from the data source, redraw), the idle
// mouse ticks (the dispatch window's 100 ms check and the window's 200 ms
// housekeeping with the mouse elsewhere) and a hover from one day to the
// next with its repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <list>
#include <memory>

#include "app/ConfigInfo.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndSource.h"

namespace {

// Two events a day over three months, and a few holidays.
class BusySource : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>& out, int year, int month, int count) override {
        for (int i = 0; i < count; ++i) {
            for (int day = 1; day <= 28; ++day) {
                for (int hour : {9, 15}) {
                    Model::Event e;
                    e.title = L"meeting";
                    e.startTime = platform::CTime(year, month, day, hour, 0, 0);
                    e.endTime = e.startTime + 3600;
                    out.push_back(e);
                }
            }
            month = month == 12 ? 1 : month + 1;
            year = month == 1 ? year + 1 : year;
        }
        return true;
    }
    bool GetHolidays(std::list<Model::Holiday>& out, int year, int month, int,
                     const std::wstring&) override {
        Model::Holiday h;
        h.date = platform::CTime(year, month, 11, 0, 0, 0);
        out.push_back(h);
        return true;
    }
    void AddListener(platform::WindowHandle, uint32_t) override {}
};

struct Fixture {
    testsupport::TempDir dir;
    std::unique_ptr<Model::CConfigInfo> config;
    Model::CCalendarStyleInfo style;
    BusySource source;
    std::unique_ptr<CCalendarWnd> wnd;

    Fixture() {
        testsupport::WriteFile(dir / "config.ini",
                               "[general]\ncalendar_mode=2\n[option]\nmonday_frist=1\n");
        config = std::make_unique<Model::CConfigInfo>(dir / "config.ini");
        style.weekNumberText.visible = 1;
        style.todayDayText.boxFill = 1;
        style.todayDayText.boxShape = Model::kShapeRoundRect;
        style.bookedBackgroundOn = 1;
        style.bookedBackgroundColor = 0xFFFFF4D0;
        style.bottomBarShown = true;
        CalendarWndContext context;
        context.source = &source;
        context.config = config.get();
        context.style = &style;
        wnd = std::make_unique<CCalendarWnd>(0, 40, 40, 0, context);
        QCoreApplication::processEvents();
    }
};

Fixture& Window() {
    static Fixture fixture;
    return fixture;
}

void BM_CalendarWndRedraw(benchmark::State& state) {
    Fixture& f = Window();
    for (auto _ : state) {
        f.wnd->Redraw();
        benchmark::DoNotOptimize(f.wnd->BackBuffer().constBits());
    }
    state.counters["width"] = f.wnd->Width();
    state.counters["height"] = f.wnd->Height();
}
BENCHMARK(BM_CalendarWndRedraw)->Unit(benchmark::kMicrosecond);

void BM_CalendarWndMeasureAndPlace(benchmark::State& state) {
    Fixture& f = Window();
    for (auto _ : state) {
        f.wnd->CalcLayout();
        f.wnd->PlaceItems();
        benchmark::DoNotOptimize(f.wnd->GetLayout().window.width);
    }
}
BENCHMARK(BM_CalendarWndMeasureAndPlace)->Unit(benchmark::kMicrosecond);

void BM_CalendarWndMonthChange(benchmark::State& state) {
    Fixture& f = Window();
    int offset = 0;
    for (auto _ : state) {
        offset = offset == 0 ? 1 : 0;
        f.wnd->SetMonthOffset(offset);
        f.wnd->Redraw();  // new dates, both caches refilled, repainted
    }
}
BENCHMARK(BM_CalendarWndMonthChange)->Unit(benchmark::kMicrosecond);

void BM_CalendarWndIdleMouseTicks(benchmark::State& state) {
    Fixture& f = Window();
    QCursor::setPos(QPoint(2000, 2000));
    for (auto _ : state) {
        f.wnd->CheckMouse();
        f.wnd->FireTimer(CCalendarWnd::kTimerHousekeeping);
    }
}
BENCHMARK(BM_CalendarWndIdleMouseTicks)->Unit(benchmark::kMicrosecond);

void BM_CalendarWndHoverNextDay(benchmark::State& state) {
    Fixture& f = Window();
    const QPoint corner(f.wnd->Left(), f.wnd->Top());
    const QPoint cells[2] = {f.wnd->Day(15).Rect().center() + corner,
                             f.wnd->Day(16).Rect().center() + corner};
    int i = 0;
    for (auto _ : state) {
        const QPoint global = cells[i++ % 2];
        QMouseEvent move(QEvent::MouseMove, QPointF(global - corner), QPointF(global), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(f.wnd.get(), &move);
        f.wnd->Redraw();  // what the posted redraw does
    }
}
BENCHMARK(BM_CalendarWndHoverNextDay)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
