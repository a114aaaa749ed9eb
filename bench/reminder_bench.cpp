// Choosing the next reminder: 10,000 single events and the occurrences of
// 100 weekly series over the four months the reminder schedule reads, each
// with an alert and an e-mail reminder, a few already fired. The target:
// under 5 ms for one choice.
#include <benchmark/benchmark.h>

#include <list>
#include <map>
#include <vector>

#include "controller/ReminderSchedule.h"
#include "platform/Time.h"

namespace {

std::list<Model::Event> MakeEvents(int64_t from) {
    std::list<Model::Event> events;
    for (int i = 0; i < 10000; ++i) {
        Model::Event e;
        e.calendarURI = L"localEvent";
        e.localEventID = L"event-" + std::to_wstring(i);
        e.title = L"予定";
        e.startTime = platform::CTime(from + static_cast<int64_t>(i) * 1000);
        e.endTime = e.startTime + 3600;
        e.reminders = {{L"alert", 10}, {L"email", 30}};
        events.push_back(std::move(e));
    }
    for (int s = 0; s < 100; ++s) {
        for (int week = 0; week < 17; ++week) {
            Model::Event e;
            e.calendarURI = L"localEvent";
            e.localEventID = L"series-" + std::to_wstring(s);
            e.recurrenceType = googledata::RECURRENCE_ORIGINAL;
            e.title = L"週次";
            e.startTime = platform::CTime(from + week * 7 * 86400 + s * 600);
            e.endTime = e.startTime + 1800;
            e.reminders = {{L"alert", 15}};
            events.push_back(std::move(e));
        }
    }
    return events;
}

void BM_ChooseNextReminder(benchmark::State& state) {
    const int64_t from = platform::CTime(2026, 11, 1, 0, 0, 0).GetTime();
    const std::list<Model::Event> events = MakeEvents(from);
    const int64_t now = from + 45 * 86400;  // the middle of the range
    std::map<std::string, int64_t> fired;
    std::vector<Controller::DueReminder> due;
    Controller::ChooseReminders(events, fired, now, due);
    for (const auto& d : due) {
        fired[d.key] = d.event.endTime.GetTime();
    }
    for (auto _ : state) {
        due.clear();
        benchmark::DoNotOptimize(Controller::ChooseReminders(events, fired, now, due));
    }
    state.counters["reminders"] = static_cast<double>(events.size());
}
BENCHMARK(BM_ChooseNextReminder)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
