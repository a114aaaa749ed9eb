// The event popup of a busy day on the offscreen platform: 20 entries (two
// holidays, three all-day events, fifteen timed events with Japanese titles,
// some long enough to wrap) listed, measured, laid out, painted into a fresh
// back buffer and presented, as one show does; and a hover change, which
// repaints the popup.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "eventwnd/EventPopupWnd.h"
#include "model/CalendarStyleInfo.h"
#include "model/EventCache.h"
#include "platform/Time.h"

namespace {

struct BusyDay {
    platform::CTime day{2009, 2, 11, 0, 0, 0};
    Model::CEventCache cache;
    Model::CCalendarStyleInfo style;
    std::unique_ptr<CEventPopupWnd> popup;

    BusyDay() {
        for (const wchar_t* name : {L"建国記念の日", L"振替休日"}) {
            Model::Holiday h;
            h.date = day;
            h.title = name;
            cache.AddHoliday(h);
        }
        for (int i = 0; i < 3; ++i) {
            Model::Event e;
            e.localEventID = L"a" + std::to_wstring(i);
            e.title = L"出張（大阪支社）";
            e.startTime = day;
            e.endTime = day + 86400;
            e.isAllDay = true;
            e.color = 0x00E16941;
            cache.AddEvent(e);
        }
        for (int i = 0; i < 15; ++i) {
            Model::Event e;
            e.localEventID = L"t" + std::to_wstring(i);
            e.title = i % 4 == 0 ? L"国際会議場で開かれる年次総会と懇親会、そのあとの打ち上げ"
                                 : L"打合せ";
            e.startTime = day + 3600 * 8 + 1800 * i;
            e.endTime = e.startTime + 1800;
            e.color = 0x0000A0FF;
            cache.AddEvent(e);
        }
        popup = std::make_unique<CEventPopupWnd>(nullptr, 0, 0, cache, style, nullptr, nullptr);
    }
};

// Made on first use, destroyed before the application object.
std::unique_ptr<BusyDay> g_day;

BusyDay& Day() {
    if (!g_day) {
        g_day = std::make_unique<BusyDay>();
    }
    return *g_day;
}

void BM_EventPopupShow20(benchmark::State& state) {
    BusyDay& d = Day();
    for (auto _ : state) {
        d.popup->ShowFor(d.day, 300, 40, 200);
    }
    state.counters["entries"] = static_cast<double>(d.popup->Entries().size());
    state.counters["height"] = d.popup->ContentHeight();
}
BENCHMARK(BM_EventPopupShow20)->Unit(benchmark::kMicrosecond);

void BM_EventPopupHover(benchmark::State& state) {
    BusyDay& d = Day();
    d.popup->ShowFor(d.day, 300, 40, 200);
    const auto& rows = d.popup->Rows();
    size_t i = 0;
    for (auto _ : state) {
        const auto* row = rows[i++ % rows.size()];
        d.popup->OnMouseMove(QPoint(row->x + 3, row->y + 3));
    }
}
BENCHMARK(BM_EventPopupHover)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::PinLocalZone();  // as the program does at start-up
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_day.reset();
    return 0;
}
