#include "controller/OfflineHolidays.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "googledata/ProtocolNumbers.h"
#include "model/JapaneseHolidays.h"

namespace Controller {

bool IsOfflineHolidayCalendar(const std::string& uri) {
    return uri == kOfflineHolidayCalendarURI;
}

googledata::PrimitiveCalendar OfflineHolidayCalendar(const std::string& calendarURI,
                                                     const std::string& updated) {
    googledata::PrimitiveCalendar c;
    c.calendarURI = calendarURI;
    c.id = "localHoliday";
    c.title = c.id;
    c.summary = "localHoliday";
    c.author = "local";
    c.accesslevel = googledata::ACCESS_OWNER;
    c.color = 0xE16941;
    c.selected = true;
    c.hidden = false;
    c.timezone = "Asia/Tokyo";
    c.place = "local";
    c.isHoliday = true;
    c.updated = updated;
    c.flags = googledata::kCalendarFlagShowEvents | googledata::kCalendarFlagWriteEvents;
    return c;
}

bool IsJapaneseHolidayCalendar(const std::string& uri) {
    if (IsOfflineHolidayCalendar(uri)) {
        return true;
    }
    std::string lower(uri);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("japanese%23holiday") != std::string::npos ||
           lower.find("japanese#holiday") != std::string::npos;
}

bool HolidayRulesCover(int year) {
    return year >= Model::kFirstHolidayYear && year <= Model::kLastHolidayYear;
}

void AppendComputedHolidays(int year, int month, std::list<googledata::PrimitiveHoliday>& out) {
    std::vector<Model::NationalHoliday> days;
    Model::AppendJapaneseHolidays(year, days);
    for (const Model::NationalHoliday& d : days) {
        if (d.month != month) {
            continue;
        }
        char date[32];
        char id[40];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
        std::snprintf(id, sizeof id, "daymark-%04d%02d%02d", d.year, d.month, d.day);
        googledata::PrimitiveHoliday h;
        h.id = id;
        h.title = d.name;
        h.date = date;
        h.status = googledata::EVENT_STATUS_CONFIRMED;
        out.push_back(std::move(h));
    }
}

}  // namespace Controller
