// The event registration window on the offscreen platform: one line
// registered through the real calendar manager in local mode into a real
// database file and shown booked on a calendar window; full-width lines,
// all-day lines, refused ranges that keep the window and its text, the
// details request to the owner, the calendar list by mode, the keys, and the
// balloon's shape.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <memory>

#include "app/ConfigInfo.h"
#include "controller/CalendarManager.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "eventwnd/EventRegistWnd.h"
#include "googledata/PrimitiveTime.h"
#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"
#include "tests/support/CalendarWndProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/EventWndTestSupport.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndFlags.h"

namespace {

using evtest::MakeCalendar;
using evtest::Pump;
using evtest::RecordingSource;
using evtest::ScriptedHook;
using platform::CTime;

constexpr uint32_t kOwnerMessage = platform::kWmUser + 102;

class OwnerWindow : public platform::CWindow {
public:
    int received = 0;

protected:
    int64_t OnMessage(uint32_t message, platform::WParam, platform::LParam) override {
        if (message == kOwnerMessage) {
            ++received;
        }
        return 0;
    }
};

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class EventRegist : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        evtest::App();
        tz_ = std::make_unique<testsupport::ScopedTz>(GetParam());
        WriteConfig("[general]\ncalendar_mode=2\n");
        source_.calendars = {
            MakeCalendar(L"uri:holiday", L"祝日", Model::ACCESS_READ, true, true),
            MakeCalendar(L"uri:work", L"仕事", Model::ACCESS_OWNER, true),
            MakeCalendar(L"uri:shared", L"閲覧のみ", Model::ACCESS_READ, true),
            MakeCalendar(L"uri:off", L"書かない", Model::ACCESS_EDITOR, false),
            MakeCalendar(L"uri:me", L"hanako@example.com", Model::ACCESS_EDITOR, true),
        };
        owner_ = std::make_unique<OwnerWindow>();
        wnd_ = std::make_unique<CEventRegistWnd>(nullptr, owner_->Handle(), kOwnerMessage, &source_,
                                                 config_.get(), nullptr);
        wnd_->SetImageFolder(std::string(DAYMARK_SOURCE_DIR) + "/resources/image/");
        day_ = CTime(2009, 2, 18, 0, 0, 0);
    }
    void TearDown() override {
        wnd_.reset();
        EXPECT_FALSE(CalendarWndFlags::registWndOpen);
    }

    void WriteConfig(const std::string& text) {
        testsupport::WriteFile(dir_ / "config.ini", text);
        if (!config_) {
            config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
        }
        config_->Load(dir_ / "config.ini");
        config_->SetAccountId(L"hanako@example.com");
    }

    void Open() { wnd_->OpenFor(day_, QPoint(400, 400)); }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::ScopedTz> tz_;
    std::unique_ptr<Model::CConfigInfo> config_;
    RecordingSource source_;
    std::unique_ptr<OwnerWindow> owner_;
    std::unique_ptr<CEventRegistWnd> wnd_;
    CTime day_;
};

TEST_P(EventRegist, LinesBecomeEvents) {
    struct Row {
        const wchar_t* line;
        bool allDay;
        int startHour, startMinute, endHour, endMinute;
        const wchar_t* title;
    };
    const Row rows[] = {
        {L"10:00 歯医者", false, 10, 0, 11, 0, L"歯医者"},
        {L"１０時００－１２時３０ 会議", false, 10, 0, 12, 30, L"会議"},
        {L"１０：００－１２：３０\x3000会議", false, 10, 0, 12, 30, L"会議"},
        {L"23:30 終電", false, 23, 30, 23, 30, L"終電"},
        {L"12:00-12:00 点呼", false, 12, 0, 12, 0, L"点呼"},
        {L"10時から 打合せ", false, 10, 0, 11, 0, L"打合せ"},
        {L"母の誕生日", true, 0, 0, 0, 0, L"母の誕生日"},
        {L"25:00 会議", true, 0, 0, 0, 0, L"25:00 会議"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(platform::WideToUtf8(r.line));
        source_.added.clear();
        ScriptedHook hook;
        Open();
        EXPECT_TRUE(CalendarWndFlags::registWndOpen);
        wnd_->TitleEdit()->setText(QString::fromWCharArray(r.line));
        EXPECT_TRUE(wnd_->Regist());
        EXPECT_TRUE(hook.shown.empty());
        EXPECT_FALSE(wnd_->IsOpen());
        ASSERT_EQ(source_.added.size(), 1u);
        const Model::Event& e = source_.added[0];
        EXPECT_EQ(e.title, r.title);
        EXPECT_EQ(e.isAllDay, r.allDay);
        if (r.allDay) {
            EXPECT_EQ(e.startTime, day_);
            EXPECT_EQ(e.endTime, day_ + 86400);
        } else {
            EXPECT_EQ(e.startTime, CTime(2009, 2, 18, r.startHour, r.startMinute, 0));
            EXPECT_EQ(e.endTime, CTime(2009, 2, 18, r.endHour, r.endMinute, 0));
        }
        EXPECT_EQ(e.reminders, (std::vector<Model::Reminder>{{L"all", 0}}));
        EXPECT_EQ(e.author_name, L"hanako@example.com");
        EXPECT_EQ(e.author_email, L"hanako@example.com");
        EXPECT_EQ(e.calendarURI, L"uri:me");
    }
}

TEST_P(EventRegist, RefusedLinesKeepTheWindowAndTheText) {
    struct Row {
        const wchar_t* line;
        int message;
    };
    const Row rows[] = {
        {L"12:00-11:00 会議", 109},
        {L"１２：３０－１２：２９ 会議", 109},
        {L"", 152},
        {L"   ", 152},
        {L"10:00", 152},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(platform::WideToUtf8(r.line));
        ScriptedHook hook;
        Open();
        wnd_->TitleEdit()->setText(QString::fromWCharArray(r.line));
        PressKey(wnd_->TitleEdit(), Qt::Key_Return);
        EXPECT_EQ(hook.shown, std::vector<int>{r.message});
        EXPECT_TRUE(wnd_->IsOpen());
        EXPECT_TRUE(CalendarWndFlags::registWndOpen);
        EXPECT_EQ(wnd_->TitleEdit()->text(), QString::fromWCharArray(r.line));
        EXPECT_TRUE(source_.added.empty());
        wnd_->Close();
    }
    // The details request refuses a backward range too, and posts nothing.
    ScriptedHook hook;
    Open();
    wnd_->TitleEdit()->setText(QStringLiteral("12:00-11:00 会議"));
    wnd_->RunCommand(CEventRegistWnd::kCommandDetails);
    Pump();
    EXPECT_EQ(hook.shown, std::vector<int>{109});
    EXPECT_EQ(owner_->received, 0);
    EXPECT_TRUE(wnd_->IsOpen());
}

TEST_P(EventRegist, DetailsRequestCarriesTheLineToTheOwner) {
    Open();
    wnd_->CalendarCombo()->setCurrentIndex(0);  // 仕事
    wnd_->TitleEdit()->setText(QStringLiteral("9:30-11:00 面談"));
    wnd_->RunCommand(CEventRegistWnd::kCommandDetails);
    Pump();
    EXPECT_EQ(owner_->received, 1);
    const NewEventRequest request = wnd_->TakeDetailRequest();
    EXPECT_FALSE(request.allDay);
    EXPECT_EQ(request.start, CTime(2009, 2, 18, 9, 30, 0));
    EXPECT_EQ(request.end, CTime(2009, 2, 18, 11, 0, 0));
    EXPECT_EQ(request.title, L"面談");
    EXPECT_EQ(request.calendarURI, L"uri:work");
    EXPECT_TRUE(source_.added.empty());

    wnd_->TitleEdit()->setText(QStringLiteral("遠足"));
    wnd_->RunCommand(CEventRegistWnd::kCommandDetails);
    const NewEventRequest allDay = wnd_->TakeDetailRequest();
    EXPECT_TRUE(allDay.allDay);
    EXPECT_EQ(allDay.start, day_);
    EXPECT_EQ(allDay.end, day_ + 86400);
    EXPECT_EQ(allDay.title, L"遠足");
}

TEST_P(EventRegist, CalendarListByModeAndKeys) {
    // Local mode: the list is hidden but still chooses the calendar.
    Open();
    EXPECT_FALSE(wnd_->CalendarCombo()->isVisible());
    EXPECT_EQ(wnd_->windowTitle(), QString::fromWCharArray(app::LoadStringText(702)));
    PressKey(wnd_->TitleEdit(), Qt::Key_Escape);
    EXPECT_FALSE(wnd_->IsOpen());

    WriteConfig("[general]\ncalendar_mode=1\n");
    Open();
    QComboBox* combo = wnd_->CalendarCombo();
    EXPECT_TRUE(combo->isVisible());
    ASSERT_EQ(combo->count(), 2);  // writable, not holidays, editor or more
    EXPECT_EQ(combo->itemText(0), QStringLiteral("仕事"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("hanako@example.com"));
    // Tab goes from the line to the list and back.
    EXPECT_EQ(wnd_->focusWidget(), wnd_->TitleEdit());
    PressKey(wnd_->TitleEdit(), Qt::Key_Tab);
    EXPECT_EQ(wnd_->focusWidget(), combo);
    PressKey(combo, Qt::Key_Tab);
    EXPECT_EQ(wnd_->focusWidget(), wnd_->TitleEdit());
    wnd_->RunCommand(CEventRegistWnd::kCommandClose);
    EXPECT_FALSE(wnd_->IsOpen());

    // Without an account-titled calendar the first is chosen.
    source_.calendars.pop_back();
    Open();
    EXPECT_EQ(wnd_->CalendarCombo()->currentText(), QStringLiteral("仕事"));
    wnd_->TitleEdit()->setText(QStringLiteral("8:00 朝会"));
    PressKey(wnd_->CalendarCombo(), Qt::Key_Return);
    ASSERT_EQ(source_.added.size(), 1u);
    EXPECT_EQ(source_.added[0].calendarURI, L"uri:work");
    EXPECT_FALSE(wnd_->IsOpen());
}

TEST_P(EventRegist, BalloonPointsAtTheDay) {
    Open();
    const QImage image = wnd_->grab().toImage();
    ASSERT_EQ(image.width(), CEventRegistWnd::kWidth);
    EXPECT_TRUE(wnd_->PointsDown());
    // Above the day: the pointer's tip sits on the target point.
    EXPECT_EQ(wnd_->geometry().topLeft() + wnd_->PointerTip(), QPoint(400, 399));
    const QPoint tip = wnd_->PointerTip();
    EXPECT_EQ(qAlpha(image.pixel(tip.x(), tip.y() - 6)), 255);     // the pointer
    EXPECT_EQ(qAlpha(image.pixel(tip.x() + 20, tip.y() - 2)), 0);  // beside it: nothing
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);                       // round corner
    EXPECT_EQ(image.pixel(100, 94), 0xFFF2F2DEu);                  // the body
    wnd_->Close();

    // Near the top of the screen it opens below the day.
    wnd_->OpenFor(day_, QPoint(400, 20));
    EXPECT_FALSE(wnd_->PointsDown());
    EXPECT_EQ(wnd_->geometry().topLeft() + wnd_->PointerTip(), QPoint(400, 20));
}

// Registering through the real manager in local mode: the event lands in
// the database file and the calendar window shows the day booked.
TEST_P(EventRegist, RegisteredEventIsStoredAndBooked) {
    const CTime today(2009, 2, 10, 12, 0, 0);
    platform::ScopedClock clock([&] { return today.GetTime(); });
    Controller::CCalendarManager manager(dir_ / "config.ini", dir_.path());
    manager.Initialize(L"local", L"", nullptr);
    manager.CreateLocalDB(L"https://example.invalid/holidays/public/full");
    CCalendarWndManagerSource source(manager);

    Model::CCalendarStyleInfo style;
    CalendarWndContext context;
    context.source = &source;
    context.config = config_.get();
    context.style = &style;
    CCalendarWnd calendar(1, 20, 30, 0, context);
    Pump();
    const int cell = testsupport::CellOf(calendar, day_.GetTime());
    ASSERT_GE(cell, 0);
    EXPECT_EQ(calendar.Day(cell).booked, 0);

    CEventRegistWnd wnd(nullptr, calendar.Handle(), kOwnerMessage, &source, config_.get(), nullptr);
    wnd.OpenFor(day_, QPoint(300, 300));
    wnd.TitleEdit()->setText(QStringLiteral("10:00 歯医者"));
    PressKey(wnd.TitleEdit(), Qt::Key_Return);
    EXPECT_FALSE(wnd.IsOpen());

    std::list<googledata::PrimitiveEvent> stored;
    ASSERT_TRUE(manager.Database().GetUnsyncedEvents("localEvent", stored));
    ASSERT_EQ(stored.size(), 1u);
    const googledata::PrimitiveEvent& e = stored.front();
    EXPECT_EQ(e.title, "歯医者");
    googledata::PrimitiveTime start;
    ASSERT_TRUE(googledata::PrimitiveTime::Parse(platform::Utf8ToWide(e.startTime), start));
    EXPECT_FALSE(start.isDate);
    EXPECT_EQ(googledata::PrimitiveTime::ToLocalTime(start), CTime(2009, 2, 18, 10, 0, 0));
    ASSERT_EQ(e.reminders.size(), 1u);
    EXPECT_EQ(e.reminders[0].method, "all");
    EXPECT_EQ(e.author_name, "hanako@example.com");
    EXPECT_EQ(e.author_email, "hanako@example.com");
    ASSERT_TRUE(testsupport::WaitFor([&] {
        Pump();
        return calendar.Day(cell).booked == 1;
    }));
    manager.Terminate();
}

INSTANTIATE_TEST_SUITE_P(Zones, EventRegist, testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
