// The national holidays computed by the rules: whole years as the Cabinet
// Office publishes them, the edges of each rule, and the limits of the
// covered years.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/JapaneseHolidays.h"

namespace {

std::string Text(const Model::NationalHoliday& h) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %s", h.year, h.month, h.day, h.name);
    return buf;
}

std::vector<std::string> Year(int year) {
    std::vector<std::string> out;
    for (const Model::NationalHoliday& h : Model::JapaneseHolidays(year)) {
        out.push_back(Text(h));
    }
    return out;
}

// The name on `date` (YYYY-MM-DD), or "" when it is no holiday.
std::string NameOn(const std::string& date) {
    const int year = std::stoi(date.substr(0, 4));
    for (const std::string& line : Year(year)) {
        if (line.compare(0, 10, date) == 0) {
            return line.substr(11);
        }
    }
    return "";
}

// The government's lists (内閣府「国民の祝日について」), whole years.
TEST(JapaneseHolidays, WholeYearsAsPublished) {
    const std::vector<std::string> y2019 = {
        "2019-01-01 元日",
        "2019-01-14 成人の日",
        "2019-02-11 建国記念の日",
        "2019-03-21 春分の日",
        "2019-04-29 昭和の日",
        "2019-04-30 休日",
        "2019-05-01 休日（祝日扱い）",
        "2019-05-02 休日",
        "2019-05-03 憲法記念日",
        "2019-05-04 みどりの日",
        "2019-05-05 こどもの日",
        "2019-05-06 休日",
        "2019-07-15 海の日",
        "2019-08-11 山の日",
        "2019-08-12 休日",
        "2019-09-16 敬老の日",
        "2019-09-23 秋分の日",
        "2019-10-14 体育の日",
        "2019-10-22 休日（祝日扱い）",
        "2019-11-03 文化の日",
        "2019-11-04 休日",
        "2019-11-23 勤労感謝の日",
    };
    const std::vector<std::string> y2020 = {
        "2020-01-01 元日",         "2020-01-13 成人の日",   "2020-02-11 建国記念の日",
        "2020-02-23 天皇誕生日",   "2020-02-24 休日",       "2020-03-20 春分の日",
        "2020-04-29 昭和の日",     "2020-05-03 憲法記念日", "2020-05-04 みどりの日",
        "2020-05-05 こどもの日",   "2020-05-06 休日",       "2020-07-23 海の日",
        "2020-07-24 スポーツの日", "2020-08-10 山の日",     "2020-09-21 敬老の日",
        "2020-09-22 秋分の日",     "2020-11-03 文化の日",   "2020-11-23 勤労感謝の日",
    };
    const std::vector<std::string> y2021 = {
        "2021-01-01 元日",       "2021-01-11 成人の日",     "2021-02-11 建国記念の日",
        "2021-02-23 天皇誕生日", "2021-03-20 春分の日",     "2021-04-29 昭和の日",
        "2021-05-03 憲法記念日", "2021-05-04 みどりの日",   "2021-05-05 こどもの日",
        "2021-07-22 海の日",     "2021-07-23 スポーツの日", "2021-08-08 山の日",
        "2021-08-09 休日",       "2021-09-20 敬老の日",     "2021-09-23 秋分の日",
        "2021-11-03 文化の日",   "2021-11-23 勤労感謝の日",
    };
    const std::vector<std::string> y2026 = {
        "2026-01-01 元日",         "2026-01-12 成人の日",   "2026-02-11 建国記念の日",
        "2026-02-23 天皇誕生日",   "2026-03-20 春分の日",   "2026-04-29 昭和の日",
        "2026-05-03 憲法記念日",   "2026-05-04 みどりの日", "2026-05-05 こどもの日",
        "2026-05-06 休日",         "2026-07-20 海の日",     "2026-08-11 山の日",
        "2026-09-21 敬老の日",     "2026-09-22 休日",       "2026-09-23 秋分の日",
        "2026-10-12 スポーツの日", "2026-11-03 文化の日",   "2026-11-23 勤労感謝の日",
    };
    EXPECT_EQ(Year(2019), y2019);
    EXPECT_EQ(Year(2020), y2020);
    EXPECT_EQ(Year(2021), y2021);
    EXPECT_EQ(Year(2026), y2026);
}

TEST(JapaneseHolidays, RuleEdges) {
    struct Row {
        const char* date;
        const char* name;  // "" = no holiday
    };
    const Row rows[] = {
        // The law took effect on 20 July 1948.
        {"1948-01-01", ""},
        {"1948-04-29", ""},
        {"1948-09-23", "秋分の日"},
        {"1949-01-15", "成人の日"},
        {"1949-03-21", "春分の日"},
        {"1949-04-29", "天皇誕生日"},
        {"1959-04-10", "結婚の儀"},
        {"1966-09-15", "敬老の日"},
        {"1966-10-10", "体育の日"},
        {"1966-02-11", ""},
        {"1967-02-11", "建国記念の日"},
        // Substitute holidays from 12 April 1973: not for 11 February (a
        // Sunday), first for 29 April.
        {"1973-02-12", ""},
        {"1973-04-30", "休日"},
        // The citizens' holiday: 1986 on a Sunday, 1987 a substitute, 1988
        // the first.
        {"1986-05-04", ""},
        {"1987-05-04", "休日"},
        {"1988-05-04", "休日"},
        {"1989-02-24", "大喪の礼"},
        {"1989-04-29", "みどりの日"},
        {"1989-12-23", "天皇誕生日"},
        {"1990-11-12", "即位礼正殿の儀"},
        {"1993-06-09", "結婚の儀"},
        {"1995-07-20", ""},
        {"1996-07-20", "海の日"},
        // Monday holidays: 2000 for January and October, 2003 for July and
        // September.
        {"2000-01-10", "成人の日"},
        {"2000-01-15", ""},
        {"2000-10-09", "体育の日"},
        {"2002-07-20", "海の日"},
        {"2003-07-21", "海の日"},
        {"2003-09-15", "敬老の日"},
        {"2006-05-04", "休日"},
        // 2007: 昭和の日 and みどりの日 move; the Sunday 6 May stays a Sunday;
        // 2008 brings the first substitute after two holidays.
        {"2007-04-29", "昭和の日"},
        {"2007-04-30", "休日"},
        {"2007-05-04", "みどりの日"},
        {"2007-05-06", ""},
        {"2008-05-06", "休日"},
        {"2009-09-22", "休日"},
        {"2015-09-22", "休日"},
        {"2016-08-11", "山の日"},
        {"2018-12-24", "休日"},
        {"2019-12-23", ""},
        {"2020-10-12", ""},
        {"2021-10-11", ""},
        {"2022-10-10", "スポーツの日"},
        {"2026-09-22", "休日"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(NameOn(r.date), r.name) << r.date;
    }
    // The 2019 enthronement week and the Olympic moves.
    for (const char* date : {"2019-04-30", "2019-05-02"}) {
        EXPECT_EQ(NameOn(date), "休日") << date;
    }
    EXPECT_EQ(NameOn("2019-05-01"), "休日（祝日扱い）");
    EXPECT_EQ(NameOn("2020-07-23"), "海の日");
    EXPECT_EQ(NameOn("2020-07-24"), "スポーツの日");
    EXPECT_EQ(NameOn("2020-08-10"), "山の日");
    EXPECT_EQ(NameOn("2020-07-20"), "");
    EXPECT_EQ(NameOn("2020-08-11"), "");
    EXPECT_EQ(NameOn("2021-07-22"), "海の日");
    EXPECT_EQ(NameOn("2021-07-23"), "スポーツの日");
    EXPECT_EQ(NameOn("2021-08-09"), "休日");
    EXPECT_EQ(NameOn("2021-07-19"), "");
}

TEST(JapaneseHolidays, EquinoxDays) {
    struct Row {
        int year, vernal, autumnal;
    };
    // Days the Cabinet Office announced.
    const Row rows[] = {{1948, 21, 23}, {1960, 20, 23}, {1979, 21, 24}, {2012, 20, 22},
                        {2016, 20, 22}, {2019, 21, 23}, {2024, 20, 22}, {2025, 20, 23}};
    for (const Row& r : rows) {
        EXPECT_EQ(Model::VernalEquinoxDay(r.year), r.vernal) << r.year;
        EXPECT_EQ(Model::AutumnalEquinoxDay(r.year), r.autumnal) << r.year;
    }
    EXPECT_EQ(Model::VernalEquinoxDay(2100), 0);
    EXPECT_EQ(Model::AutumnalEquinoxDay(1899), 0);
}

TEST(JapaneseHolidays, CoveredYearsOnlyAndAlwaysInOrder) {
    EXPECT_TRUE(Model::JapaneseHolidays(1947).empty());
    EXPECT_TRUE(Model::JapaneseHolidays(2100).empty());
    EXPECT_EQ(Model::JapaneseHolidays(1948).size(), 3u);
    EXPECT_FALSE(Model::JapaneseHolidays(2099).empty());
    for (int y = Model::kFirstHolidayYear; y <= Model::kLastHolidayYear; ++y) {
        const auto days = Model::JapaneseHolidays(y);
        for (size_t i = 0; i < days.size(); ++i) {
            EXPECT_EQ(days[i].year, y);
            EXPECT_GT(std::string(days[i].name).size(), 0u);
            if (i > 0) {
                EXPECT_LT(days[i - 1].month * 100 + days[i - 1].day,
                          days[i].month * 100 + days[i].day)
                    << y;
            }
        }
    }
}

}  // namespace
