// Controller::CReminderSchedule: which event reminders are due now, when the
// next one falls, and which have fired already (remembered in a file across
// restarts). Qt-free; the timer and the desktop notification are the Qt
// side's (controller/qt/ReminderService.h).
//
// A reminder is one (event or occurrence, lead time) pair of a shown
// calendar whose method notifies on the desktop ("alert" or "all"); it falls
// at the start minus its minutes. It is known by its calendar, local event id,
// start and lead time, so an edit that moves an event arms its reminders
// anew. Events are read through the calendar manager's month read
// (recurrences expanded), from the month before now to two months after it.
//
// One instance, used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "model/Event.h"
#include "platform/Time.h"

namespace Controller {

// Reads the events of `count` months from (year, month), recurrences
// expanded, of the shown calendars (the manager's GetEvents).
using ReminderEventReader =
    std::function<bool(std::list<Model::Event>& events, int year, int month, int count)>;

struct DueReminder {
    std::string key;
    Model::Event event;  // the event, or the occurrence of a series
    int32_t minutes = 0;
    int64_t fireAt = 0;  // seconds since 1970
};

// Whether a reminder of this method is shown on the desktop (e-mail and SMS
// are the service's business).
bool IsDesktopReminder(const std::wstring& method);

// The reminder's identity: calendar, local id, start, lead time.
std::string ReminderKey(const Model::Event& event, int32_t minutes);

// The reminders among `events` that are not in `fired`: those due at `now`
// (time reached and the event not ended) go to `due` in time order; the
// earliest later time is returned (0 when there is none).
int64_t ChooseReminders(const std::list<Model::Event>& events,
                        const std::map<std::string, int64_t>& fired, int64_t now,
                        std::vector<DueReminder>& due);

// The texts of a desktop notification (Japanese): a title and a body with
// the local start and end and the place.
struct ReminderText {
    std::wstring summary;
    std::wstring body;
};
ReminderText FormatReminder(const Model::Event& event);
// One notification for many reminders.
ReminderText FormatReminderSummary(const std::vector<DueReminder>& due);

// More than this many reminders due at once come as one summary.
inline constexpr size_t kMaxSingleReminders = 3;

class CReminderSchedule {
public:
    // `firedPath`: the file that remembers the fired reminders.
    CReminderSchedule(ReminderEventReader reader, std::string firedPath);

    struct Plan {
        std::vector<DueReminder> due;  // to show now, in time order
        int64_t wakeAt = 0;            // when to look again (the next reminder or the horizon)
    };
    // Reads the events around `now` and plans. Does not mark anything fired.
    Plan Check(int64_t now);
    // Remembers `due` as fired (written to the file at once).
    void MarkFired(const std::vector<DueReminder>& due, int64_t now);

    size_t FiredCount() const { return fired_.size(); }

private:
    void Load();
    void Save(int64_t now);

    ReminderEventReader reader_;
    std::string firedPath_;
    // key -> the end of its event (entries are dropped a day after it)
    std::map<std::string, int64_t> fired_;
};

}  // namespace Controller
