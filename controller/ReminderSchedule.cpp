#include "controller/ReminderSchedule.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/TextConv.h"

namespace Controller {

using platform::CTime;

namespace {

constexpr int64_t kKeepAfterEnd = 86400;  // a fired entry is kept a day after its event

std::wstring DayText(const CTime& t) {
    static const wchar_t* const kWeekdays[] = {L"日", L"月", L"火", L"水", L"木", L"金", L"土"};
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%d年%d月%d日(%ls)", t.GetYear(), t.GetMonth(), t.GetDay(),
                  kWeekdays[(t.GetDayOfWeek() + 6) % 7]);
    return buf;
}

std::wstring ClockText(const CTime& t) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%d:%02d", t.GetHour(), t.GetMinute());
    return buf;
}

bool SameDay(const CTime& a, const CTime& b) {
    return a.GetYear() == b.GetYear() && a.GetMonth() == b.GetMonth() && a.GetDay() == b.GetDay();
}

// The event has not ended at `now`; an event without length lasts its
// first minute.
bool Running(const Model::Event& e, int64_t now) {
    return now < std::max(e.endTime.GetTime(), e.startTime.GetTime() + 60);
}

}  // namespace

bool IsDesktopReminder(const std::wstring& method) {
    return method == L"alert" || method == L"all";
}

std::string ReminderKey(const Model::Event& event, int32_t minutes) {
    return platform::WideToUtf8(event.calendarURI) + "|" +
           platform::WideToUtf8(event.localEventID) + "|" +
           std::to_string(event.startTime.GetTime()) + "|" + std::to_string(minutes);
}

int64_t ChooseReminders(const std::list<Model::Event>& events,
                        const std::map<std::string, int64_t>& fired, int64_t now,
                        std::vector<DueReminder>& due) {
    int64_t next = 0;
    for (const Model::Event& e : events) {
        for (const Model::Reminder& r : e.reminders) {
            if (!IsDesktopReminder(r.method)) {
                continue;
            }
            const int32_t minutes = std::max<int32_t>(r.minutes, 0);
            const int64_t fireAt = e.startTime.GetTime() - int64_t{minutes} * 60;
            if (fireAt <= now) {
                if (!Running(e, now)) {
                    continue;
                }
                std::string key = ReminderKey(e, minutes);
                if (fired.count(key) != 0) {
                    continue;
                }
                const bool seen = std::any_of(due.begin(), due.end(),
                                              [&](const DueReminder& d) { return d.key == key; });
                if (!seen) {
                    due.push_back(DueReminder{std::move(key), e, minutes, fireAt});
                }
            } else if (next == 0 || fireAt < next) {
                // Only a candidate for the next time costs a key.
                if (fired.count(ReminderKey(e, minutes)) == 0) {
                    next = fireAt;
                }
            }
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const DueReminder& a, const DueReminder& b) {
        return a.fireAt < b.fireAt;
    });
    return next;
}

ReminderText FormatReminder(const Model::Event& e) {
    ReminderText text;
    text.summary = e.title.empty() ? L"(無題)" : e.title;
    if (e.isAllDay) {
        const CTime last(e.endTime.GetTime() - 86400 >= e.startTime.GetTime()
                             ? e.endTime.GetTime() - 86400
                             : e.startTime.GetTime());
        text.body = DayText(e.startTime);
        if (!SameDay(last, e.startTime)) {
            text.body += L"〜" + DayText(last);
        }
        text.body += L" 終日";
    } else {
        text.body = DayText(e.startTime) + L" " + ClockText(e.startTime) + L"〜";
        if (!SameDay(e.startTime, e.endTime)) {
            text.body += DayText(e.endTime) + L" ";
        }
        text.body += ClockText(e.endTime);
    }
    if (!e.place.empty()) {
        text.body += L"\n場所: " + e.place;
    }
    return text;
}

ReminderText FormatReminderSummary(const std::vector<DueReminder>& due) {
    ReminderText text;
    text.summary = L"リマインダー " + std::to_wstring(due.size()) + L"件";
    constexpr size_t kListed = 8;
    for (size_t i = 0; i < due.size() && i < kListed; ++i) {
        const Model::Event& e = due[i].event;
        if (i > 0) {
            text.body += L"\n";
        }
        text.body += DayText(e.startTime) + L" " +
                     (e.isAllDay ? std::wstring(L"終日") : ClockText(e.startTime)) + L" " +
                     (e.title.empty() ? L"(無題)" : e.title);
    }
    if (due.size() > kListed) {
        text.body += L"\nほか" + std::to_wstring(due.size() - kListed) + L"件";
    }
    return text;
}

CReminderSchedule::CReminderSchedule(ReminderEventReader reader, std::string firedPath)
    : reader_(std::move(reader)), firedPath_(std::move(firedPath)) {
    Load();
}

CReminderSchedule::Plan CReminderSchedule::Check(int64_t now) {
    Plan plan;
    const CTime t(now);
    // From the month before now (events still running) to two months after
    // it; the look-ahead ends at the start of the second month after now,
    // which no reminder of a later event (lead at most four weeks) precedes.
    int index = t.GetYear() * 12 + (t.GetMonth() - 1) - 1;
    const int horizonIndex = index + 3;
    int64_t horizon = now + 86400;
    try {
        horizon = CTime(horizonIndex / 12, horizonIndex % 12 + 1, 1, 0, 0, 0).GetTime();
    } catch (...) {
    }
    std::list<Model::Event> events;
    if (reader_ && reader_(events, index / 12, index % 12 + 1, 4)) {
        const int64_t next = ChooseReminders(events, fired_, now, plan.due);
        plan.wakeAt = next != 0 ? std::min(next, horizon) : horizon;
    } else {
        plan.wakeAt = horizon;
    }
    if (plan.wakeAt <= now) {
        plan.wakeAt = now + 60;
    }
    return plan;
}

void CReminderSchedule::MarkFired(const std::vector<DueReminder>& due, int64_t now) {
    for (const DueReminder& d : due) {
        fired_[d.key] = std::max(d.event.endTime.GetTime(), d.event.startTime.GetTime());
    }
    Save(now);
}

void CReminderSchedule::Load() {
    std::ifstream in(firedPath_);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size()) {
            continue;  // a damaged line is dropped
        }
        try {
            fired_[line.substr(tab + 1)] = std::stoll(line.substr(0, tab));
        } catch (...) {
        }
    }
}

void CReminderSchedule::Save(int64_t now) {
    for (auto it = fired_.begin(); it != fired_.end();) {
        it = it->second + kKeepAfterEnd < now ? fired_.erase(it) : std::next(it);
    }
    const std::string temp = firedPath_ + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& [key, end] : fired_) {
            out << end << '\t' << key << '\n';
        }
        if (!out) {
            return;
        }
    }
    std::rename(temp.c_str(), firedPath_.c_str());
}

}  // namespace Controller
