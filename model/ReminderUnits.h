// The units a reminder's lead time is shown and entered in (minutes, hours,
// days, weeks before the event), and the bounds an entered lead time must
// keep. Plain values; any thread.
#pragma once

#include <cstdint>

namespace Model {

enum ReminderUnit : int32_t {
    REMINDER_UNIT_MINUTES = 0,
    REMINDER_UNIT_HOURS = 1,
    REMINDER_UNIT_DAYS = 2,
    REMINDER_UNIT_WEEKS = 3,
};

// Minutes per unit: 1, 60, 1440, 10080.
int32_t MinutesPerUnit(ReminderUnit unit);

struct ReminderAmount {
    int64_t number = 0;
    ReminderUnit unit = REMINDER_UNIT_MINUTES;
};

// The lead time in the largest unit that divides it exactly (90 minutes stay
// minutes, 120 are 2 hours, 2880 are 2 days, 20160 are 2 weeks). Zero and
// negative lead times stay minutes.
ReminderAmount LargestExactUnit(int32_t minutes);

// The shortest and the longest lead time a reminder may have (four weeks).
inline constexpr int64_t kMinReminderMinutes = 5;
inline constexpr int64_t kMaxReminderMinutes = 40320;

}  // namespace Model
