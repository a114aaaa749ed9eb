// Model::JapaneseHolidays: the national holidays of Japan computed by the
// rules of the national holiday law (国民の祝日に関する法律) and the special
// laws beside it, for the years 1948 to 2099, without the network. Plain
// functions without state; any thread.
//
// What is covered: the fixed days with their changes over the years, the
// Monday holidays (from 2000 and 2003), the vernal and autumnal equinox days
// by the astronomical formula, substitute holidays (from 12 April 1973, the
// wider rule from 2007), the citizens' holiday between two holidays (from
// the 1985 amendment, first falling in 1988), the one-off days (imperial
// ceremonies since 1959, the 2019 enthronement days) and the 2020 and 2021
// Olympic moves. Names are the government's: substitute and citizens'
// holidays are both "休日", the two 2019 days "休日（祝日扱い）".
#pragma once

#include <cstdint>
#include <vector>

namespace Model {

struct NationalHoliday {
    int16_t year = 0;
    int8_t month = 0;       // 1 to 12
    int8_t day = 0;         // 1 to 31
    const char* name = "";  // UTF-8, static storage

    bool operator==(const NationalHoliday& other) const;
};

inline constexpr int kFirstHolidayYear = 1948;  // the law took effect on 20 July 1948
inline constexpr int kLastHolidayYear = 2099;   // the equinox formula's range

// Appends the holidays of `year` to `out` in date order. Nothing for a year
// outside kFirstHolidayYear..kLastHolidayYear.
void AppendJapaneseHolidays(int year, std::vector<NationalHoliday>& out);
std::vector<NationalHoliday> JapaneseHolidays(int year);

// The day of March (vernal) or September (autumnal) of the equinox day of
// `year` (1900 to 2099); 0 outside that range.
int VernalEquinoxDay(int year);
int AutumnalEquinoxDay(int year);

}  // namespace Model
