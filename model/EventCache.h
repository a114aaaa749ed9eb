// Model::CEventCache: the events and holidays of the months one calendar
// window shows, so that painting, hit-testing and the day popup can ask what
// lies on a day without touching the database. The owning window refills it
// from the calendar manager; the cache only stores and answers.
//
// Owned by one calendar window and used only on that window's thread: there
// is no lock.
#pragma once

#include <string>
#include <vector>

#include "model/Event.h"
#include "model/Holiday.h"
#include "platform/Time.h"

namespace Model {

class CEventCache {
public:
    virtual ~CEventCache() = default;

    // Whether a cached event occurs on the local day holding `day`.
    bool HasEventOnDay(const platform::CTime& day) const;
    // Whether a cached holiday falls on the local date of `day`.
    bool IsHoliday(const platform::CTime& day) const;
    // Appends copies of the day's events (holidays), in cache order; returns
    // the array's new length.
    size_t GetEventsOfDay(const platform::CTime& day, std::vector<Event>& out) const;
    size_t GetHolidaysOfDay(const platform::CTime& day, std::vector<Holiday>& out) const;
    // The first event of the day with the given local id.
    bool FindEventOfDay(const platform::CTime& day, const std::wstring& localEventID,
                        Event& out) const;

    void ClearEvents() { events_.clear(); }
    void ClearHolidays() { holidays_.clear(); }
    void AddEvent(const Event& event) { events_.push_back(event); }
    void AddHoliday(const Holiday& holiday) { holidays_.push_back(holiday); }

    const std::vector<Event>& Events() const { return events_; }
    const std::vector<Holiday>& Holidays() const { return holidays_; }

private:
    std::vector<Holiday> holidays_;
    std::vector<Event> events_;
};

// The months a 6-week grid that starts on `gridStart` (the first cell's day)
// shows for the displayed month: one month, plus the previous one when the
// first row holds its days, plus the next one when the last rows hold its days.
struct MonthRange {
    int year = 0;
    int month = 0;
    int count = 1;
};
MonthRange MonthsOfGrid(int year, int month, const platform::CTime& gridStart);

}  // namespace Model
