// The reminder choice and its texts without Qt: which reminders are due,
// the next time, the fired-once file (damaged lines too) and the Japanese
// texts of timed, all-day and multi-day events, in Tokyo and New York.
#include <gtest/gtest.h>

#include <list>
#include <map>
#include <vector>

#include "controller/ReminderSchedule.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

using platform::CTime;
using testsupport::ScopedTz;

namespace {

Model::Event MakeEvent(const std::wstring& id, const CTime& start, int64_t length,
                       std::vector<Model::Reminder> reminders) {
    Model::Event e;
    e.calendarURI = L"cal";
    e.localEventID = id;
    e.title = id;
    e.startTime = start;
    e.endTime = start + length;
    e.reminders = std::move(reminders);
    return e;
}

class ReminderSchedule : public ::testing::TestWithParam<const char*> {
protected:
    ScopedTz tz{GetParam()};
};

TEST_P(ReminderSchedule, DueAndNext) {
    const CTime now(2026, 12, 10, 12, 0, 0);
    std::list<Model::Event> events = {
        MakeEvent(L"due", now + 300, 3600, {{L"alert", 10}}),  // fell 5 minutes ago
        MakeEvent(L"all", now + 600, 3600, {{L"all", 10}}),    // falls now
        MakeEvent(L"mail", now + 60, 3600, {{L"email", 10}, {L"sms", 10}}),
        MakeEvent(L"ended", now - 7200, 3600, {{L"alert", 10}}),
        MakeEvent(L"zero", now, 0, {{L"alert", 0}}),  // its first minute
        MakeEvent(L"later", now + 7200, 3600, {{L"alert", 30}, {L"alert", 90}}),
        MakeEvent(L"fired", now + 60, 3600, {{L"alert", 5}}),
    };
    std::map<std::string, int64_t> fired;
    fired[Controller::ReminderKey(events.back(), 5)] = 0;
    std::vector<Controller::DueReminder> due;
    const int64_t next = Controller::ChooseReminders(events, fired, now.GetTime(), due);
    std::vector<std::wstring> titles;
    for (const auto& d : due) {
        titles.push_back(d.event.title);
    }
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"due", L"all", L"zero"}));
    EXPECT_EQ(next, now.GetTime() + 7200 - 90 * 60);
    // A moved event is another reminder.
    Model::Event moved = events.front();
    moved.startTime = moved.startTime + 86400;
    EXPECT_NE(Controller::ReminderKey(moved, 10), due.front().key);
}

TEST_P(ReminderSchedule, FiredOnesAreRememberedAndDamagedLinesIgnored) {
    testsupport::TempDir dir;
    const CTime now(2026, 12, 10, 12, 0, 0);
    std::list<Model::Event> events = {MakeEvent(L"a", now + 60, 3600, {{L"alert", 10}}),
                                      MakeEvent(L"b", now + 120, 3600, {{L"alert", 10}})};
    auto reader = [&](std::list<Model::Event>& out, int, int, int count) {
        EXPECT_EQ(count, 4);
        out = events;
        return true;
    };
    {
        Controller::CReminderSchedule schedule(reader, dir / "reminders.txt");
        auto plan = schedule.Check(now.GetTime());
        ASSERT_EQ(plan.due.size(), 2u);
        schedule.MarkFired(plan.due, now.GetTime());
    }
    testsupport::WriteFile(dir / "reminders.txt", testsupport::ReadFile(dir / "reminders.txt") +
                                                      "garbage\n\tno end\nxyz\tkey\n");
    Controller::CReminderSchedule again(reader, dir / "reminders.txt");
    EXPECT_EQ(again.FiredCount(), 2u);
    auto plan = again.Check(now.GetTime());
    EXPECT_TRUE(plan.due.empty());
    // Nothing later: look again at the start of the second month after now.
    EXPECT_EQ(plan.wakeAt, CTime(2027, 2, 1, 0, 0, 0).GetTime());
    // A day after the events ended their entries go.
    again.MarkFired({}, now.GetTime() + 3 * 86400);
    EXPECT_EQ(again.FiredCount(), 0u);
}

TEST_P(ReminderSchedule, JapaneseTexts) {
    Model::Event timed = MakeEvent(L"打合せ", CTime(2026, 12, 31, 23, 0, 0), 2 * 3600, {});
    timed.place = L"本社";
    auto t = Controller::FormatReminder(timed);
    EXPECT_EQ(t.summary, L"打合せ");
    EXPECT_EQ(t.body, L"2026年12月31日(木) 23:00〜2027年1月1日(金) 1:00\n場所: 本社");
    Model::Event day = MakeEvent(L"", CTime(2026, 12, 24, 0, 0, 0), 0, {});
    day.isAllDay = true;
    day.endTime = CTime(2026, 12, 25, 0, 0, 0);
    EXPECT_EQ(Controller::FormatReminder(day).summary, L"(無題)");
    EXPECT_EQ(Controller::FormatReminder(day).body, L"2026年12月24日(木) 終日");
    day.endTime = CTime(2026, 12, 27, 0, 0, 0);
    EXPECT_EQ(Controller::FormatReminder(day).body, L"2026年12月24日(木)〜2026年12月26日(土) 終日");

    std::vector<Controller::DueReminder> many;
    for (int i = 0; i < 10; ++i) {
        many.push_back({"k",
                        MakeEvent(L"e" + std::to_wstring(i), CTime(2026, 12, 1, 9, i, 0), 60, {}),
                        10, 0});
    }
    auto s = Controller::FormatReminderSummary(many);
    EXPECT_EQ(s.summary, L"リマインダー 10件");
    EXPECT_EQ(s.body.rfind(L"2026年12月1日(火) 9:00 e0\n", 0), 0u);
    EXPECT_NE(s.body.find(L"\nほか2件"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(Zones, ReminderSchedule,
                         ::testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
