// Holidays without the network: which holiday calendars Daymark can fill
// from the holiday rules (Model::JapaneseHolidays), and the computed rows of
// one month in the form the store keeps the feed's. Plain functions; any
// thread.
//
// Daymark's own holiday calendar (local mode, and CalDAV accounts, whose
// servers hold no national holidays) is always computed and never fetched. The service's Japanese
// holiday calendar is computed for a year only while the store holds no row of its feed for that
// year: where the feed answered, the feed wins.
#pragma once

#include <list>
#include <string>

#include "googledata/PrimitiveCalendar.h"
#include "googledata/PrimitiveHoliday.h"

namespace Controller {

// The calendar URI of Daymark's own holiday calendar.
inline constexpr char kOfflineHolidayCalendarURI[] = "daymark:holidays/ja";

bool IsOfflineHolidayCalendar(const std::string& calendarURI);

// The calendar record of Daymark's own holiday calendar at `calendarURI`
// (normally kOfflineHolidayCalendarURI), stamped `updated`.
googledata::PrimitiveCalendar OfflineHolidayCalendar(const std::string& calendarURI,
                                                     const std::string& updated);

// Daymark's own calendar or the service's Japanese holiday calendar (its id
// "ja.japanese#holiday@...", escaped or not, in any letter case).
bool IsJapaneseHolidayCalendar(const std::string& calendarURI);

// Whether `year` lies in the years the rules cover.
bool HolidayRulesCover(int year);

// Appends the computed holidays of one month: status 2 (confirmed), the date
// as "YYYY-MM-DD", the government's name, and the id "daymark-YYYYMMDD".
void AppendComputedHolidays(int year, int month, std::list<googledata::PrimitiveHoliday>& out);

}  // namespace Controller
