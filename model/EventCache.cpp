#include "model/EventCache.h"

namespace Model {
namespace {

bool SameLocalDate(const platform::CTime& a, const platform::CTime& b) {
    std::tm x{}, y{};
    return a.GetLocalTm(x) && b.GetLocalTm(y) && x.tm_year == y.tm_year && x.tm_mon == y.tm_mon &&
           x.tm_mday == y.tm_mday;
}

}  // namespace

bool CEventCache::HasEventOnDay(const platform::CTime& day) const {
    for (const Event& e : events_) {
        if (e.OccursOnDay(day)) {
            return true;
        }
    }
    return false;
}

bool CEventCache::IsHoliday(const platform::CTime& day) const {
    for (const Holiday& h : holidays_) {
        if (SameLocalDate(h.date, day)) {
            return true;
        }
    }
    return false;
}

size_t CEventCache::GetEventsOfDay(const platform::CTime& day, std::vector<Event>& out) const {
    for (const Event& e : events_) {
        if (e.OccursOnDay(day)) {
            out.push_back(e);
        }
    }
    return out.size();
}

size_t CEventCache::GetHolidaysOfDay(const platform::CTime& day, std::vector<Holiday>& out) const {
    for (const Holiday& h : holidays_) {
        if (SameLocalDate(h.date, day)) {
            out.push_back(h);
        }
    }
    return out.size();
}

bool CEventCache::FindEventOfDay(const platform::CTime& day, const std::wstring& localEventID,
                                 Event& out) const {
    for (const Event& e : events_) {
        if (e.localEventID == localEventID && e.OccursOnDay(day)) {
            out = e;
            return true;
        }
    }
    return false;
}

MonthRange MonthsOfGrid(int year, int month, const platform::CTime& gridStart) {
    MonthRange range{year, month, 1};
    if (gridStart < platform::CTime(year, month, 1, 0, 0, 0)) {
        range.count = 2;
        range.month = month == 1 ? 12 : month - 1;
        range.year = month == 1 ? year - 1 : year;
    }
    // The last cell: 41 days after the first (local days, whatever the
    // daylight-saving changes in between).
    std::tm last{};
    gridStart.GetLocalTm(last);
    last.tm_mday += 41;
    last.tm_hour = 12;
    last.tm_isdst = -1;
    const platform::CTime lastCell(static_cast<int64_t>(std::mktime(&last)));
    const int nextYear = month == 12 ? year + 1 : year;
    const int nextMonth = month == 12 ? 1 : month + 1;
    if (lastCell >= platform::CTime(nextYear, nextMonth, 1, 0, 0, 0)) {
        range.count += 1;
    }
    return range;
}

}  // namespace Model
