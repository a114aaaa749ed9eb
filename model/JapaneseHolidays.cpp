// The holiday rules, year by year. Days are indexed by their day of the year
// (0 = 1 January) in two small arrays: the name of the day off and whether
// it is a national holiday in the law's own sense (祝日), which the
// substitute and citizens' holiday rules look at.
#include "model/JapaneseHolidays.h"

#include <array>
#include <cstring>

namespace Model {

namespace {

constexpr const char* kSubstituteName = "休日";  // 振替休日 and 国民の休日 alike
constexpr const char* kTreatedAsHoliday = "休日（祝日扱い）";  // the 2019 enthronement days

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// 0 = Sunday.
int Weekday(int year, int month, int day) {
    static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) {
        year -= 1;
    }
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

// The day of the month of the n-th Monday.
int NthMonday(int year, int month, int n) {
    const int first = 1 + (8 - Weekday(year, month, 1)) % 7;
    return first + 7 * (n - 1);
}

struct OneOff {
    int16_t year;
    int8_t month;
    int8_t day;
    const char* name;
};

// Days made holidays by their own laws.
constexpr std::array<OneOff, 6> kOneOffs{{
    {1959, 4, 10, "結婚の儀"},          // the Crown Prince's wedding
    {1989, 2, 24, "大喪の礼"},          // the Showa Emperor's funeral
    {1990, 11, 12, "即位礼正殿の儀"},   // the enthronement ceremony
    {1993, 6, 9, "結婚の儀"},           // the Crown Prince's wedding
    {2019, 5, 1, kTreatedAsHoliday},    // the accession day
    {2019, 10, 22, kTreatedAsHoliday},  // the enthronement ceremony
}};

class YearTable {
public:
    explicit YearTable(int year) : year_(year), leap_(IsLeap(year)) {
        std::memset(names_, 0, sizeof names_);
        std::memset(law_, 0, sizeof law_);
    }

    int DayOfYear(int month, int day) const {
        static constexpr int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
        return kBefore[month - 1] + day - 1 + (leap_ && month > 2 ? 1 : 0);
    }
    int Length() const { return leap_ ? 366 : 365; }

    void Holiday(int month, int day, const char* name) {
        const int d = DayOfYear(month, day);
        names_[d] = name;
        law_[d] = true;
    }

    // The substitute holiday of every national holiday that falls on a
    // Sunday: from 12 April 1973 the day after it; from 2007 the first
    // following day that is not itself a national holiday.
    void AddSubstitutes() {
        if (year_ < 1973) {
            return;
        }
        const int firstDay = year_ == 1973 ? DayOfYear(4, 12) : 0;
        const int jan1 = Weekday(year_, 1, 1);
        for (int d = firstDay; d < Length(); ++d) {
            if (!law_[d] || (jan1 + d) % 7 != 0) {
                continue;
            }
            int t = d + 1;
            if (year_ >= 2007) {
                while (t < Length() && law_[t]) {
                    ++t;
                }
            }
            if (t < Length() && names_[t] == nullptr) {
                names_[t] = kSubstituteName;
            }
        }
    }

    // A day between two national holidays that is not one itself. Before
    // 2007 a Sunday or a substitute holiday stayed what it was.
    void AddCitizensHolidays() {
        if (year_ < 1986) {
            return;
        }
        const int jan1 = Weekday(year_, 1, 1);
        for (int d = 1; d + 1 < Length(); ++d) {
            if (law_[d] || !law_[d - 1] || !law_[d + 1] || names_[d] != nullptr) {
                continue;
            }
            if (year_ < 2007 && (jan1 + d) % 7 == 0) {
                continue;
            }
            names_[d] = kSubstituteName;
        }
    }

    void AppendTo(std::vector<NationalHoliday>& out) const {
        int month = 1;
        int monthStart = 0;
        for (int d = 0; d < Length(); ++d) {
            while (month < 12 && d >= DayOfYear(month + 1, 1)) {
                ++month;
                monthStart = DayOfYear(month, 1);
            }
            if (names_[d] != nullptr) {
                NationalHoliday h;
                h.year = static_cast<int16_t>(year_);
                h.month = static_cast<int8_t>(month);
                h.day = static_cast<int8_t>(d - monthStart + 1);
                h.name = names_[d];
                out.push_back(h);
            }
        }
    }

private:
    int year_;
    bool leap_;
    const char* names_[366];
    bool law_[366];
};

// The equinox formula: day = floor(base + 0.242194 × (Y − 1980) − leap
// correction), in millionths so that no rounding of binary fractions can move
// a day. The correction counts leap years from 1980 (or, before it, from 1983,
// with division toward zero as the formula is published).
int EquinoxDay(int year, int64_t baseBefore1980, int64_t baseFrom1980) {
    if (year < 1900 || year > 2099) {
        return 0;
    }
    const bool early = year < 1980;
    const int64_t base = early ? baseBefore1980 : baseFrom1980;
    const int64_t leaps = early ? (year - 1983) / 4 : (year - 1980) / 4;
    const int64_t value = base + 242194LL * (year - 1980) - 1000000LL * leaps;
    return static_cast<int>(value / 1000000LL);
}

}  // namespace

bool NationalHoliday::operator==(const NationalHoliday& other) const {
    return year == other.year && month == other.month && day == other.day &&
           std::strcmp(name, other.name) == 0;
}

int VernalEquinoxDay(int year) {
    return EquinoxDay(year, 20835700, 20843100);
}

int AutumnalEquinoxDay(int year) {
    return EquinoxDay(year, 23258800, 23248800);
}

void AppendJapaneseHolidays(int y, std::vector<NationalHoliday>& out) {
    if (y < kFirstHolidayYear || y > kLastHolidayYear) {
        return;
    }
    YearTable t(y);
    // 1948: the law took effect on 20 July, so the year has only its autumn.
    if (y >= 1949) {
        t.Holiday(1, 1, "元日");
        t.Holiday(1, y < 2000 ? 15 : NthMonday(y, 1, 2), "成人の日");
        t.Holiday(3, VernalEquinoxDay(y), "春分の日");
        t.Holiday(5, 3, "憲法記念日");
        t.Holiday(5, 5, "こどもの日");
    }
    if (y >= 1967) {
        t.Holiday(2, 11, "建国記念の日");
    }
    if (y >= 1949 && y <= 1988) {
        t.Holiday(4, 29, "天皇誕生日");
    } else if (y >= 1989 && y <= 2018) {
        t.Holiday(12, 23, "天皇誕生日");
    } else if (y >= 2020) {
        t.Holiday(2, 23, "天皇誕生日");
    }
    if (y >= 1989 && y <= 2006) {
        t.Holiday(4, 29, "みどりの日");
    } else if (y >= 2007) {
        t.Holiday(4, 29, "昭和の日");
        t.Holiday(5, 4, "みどりの日");
    }
    if (y == 2020) {
        t.Holiday(7, 23, "海の日");
    } else if (y == 2021) {
        t.Holiday(7, 22, "海の日");
    } else if (y >= 2003) {
        t.Holiday(7, NthMonday(y, 7, 3), "海の日");
    } else if (y >= 1996) {
        t.Holiday(7, 20, "海の日");
    }
    if (y == 2020) {
        t.Holiday(8, 10, "山の日");
    } else if (y == 2021) {
        t.Holiday(8, 8, "山の日");
    } else if (y >= 2016) {
        t.Holiday(8, 11, "山の日");
    }
    if (y >= 2003) {
        t.Holiday(9, NthMonday(y, 9, 3), "敬老の日");
    } else if (y >= 1966) {
        t.Holiday(9, 15, "敬老の日");
    }
    t.Holiday(9, AutumnalEquinoxDay(y), "秋分の日");
    if (y >= 1966 && y <= 1999) {
        t.Holiday(10, 10, "体育の日");
    } else if (y >= 2000 && y <= 2019) {
        t.Holiday(10, NthMonday(y, 10, 2), "体育の日");
    } else if (y == 2020) {
        t.Holiday(7, 24, "スポーツの日");
    } else if (y == 2021) {
        t.Holiday(7, 23, "スポーツの日");
    } else if (y >= 2022) {
        t.Holiday(10, NthMonday(y, 10, 2), "スポーツの日");
    }
    t.Holiday(11, 3, "文化の日");
    t.Holiday(11, 23, "勤労感謝の日");
    for (const OneOff& o : kOneOffs) {
        if (o.year == y) {
            t.Holiday(o.month, o.day, o.name);
        }
    }
    t.AddSubstitutes();
    t.AddCitizensHolidays();
    t.AppendTo(out);
}

std::vector<NationalHoliday> JapaneseHolidays(int year) {
    std::vector<NationalHoliday> out;
    out.reserve(24);
    AppendJapaneseHolidays(year, out);
    return out;
}

}  // namespace Model
