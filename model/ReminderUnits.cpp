#include "model/ReminderUnits.h"

namespace Model {

int32_t MinutesPerUnit(ReminderUnit unit) {
    switch (unit) {
        case REMINDER_UNIT_HOURS:
            return 60;
        case REMINDER_UNIT_DAYS:
            return 1440;
        case REMINDER_UNIT_WEEKS:
            return 10080;
        case REMINDER_UNIT_MINUTES:
        default:
            return 1;
    }
}

ReminderAmount LargestExactUnit(int32_t minutes) {
    if (minutes <= 0 || minutes % 60 != 0) {
        return {minutes, REMINDER_UNIT_MINUTES};
    }
    if (minutes % 1440 != 0) {
        return {minutes / 60, REMINDER_UNIT_HOURS};
    }
    if (minutes % 10080 != 0) {
        return {minutes / 1440, REMINDER_UNIT_DAYS};
    }
    return {minutes / 10080, REMINDER_UNIT_WEEKS};
}

}  // namespace Model
