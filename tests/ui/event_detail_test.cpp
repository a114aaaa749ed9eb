// The event detail dialog on the offscreen platform, its message boxes
// answered from the test: new and existing events, the calendar list, dates
// and all-day ends, the reminder rows (units shown, bounds refused), the
// default-reminder box, Cancel's question, the refusal while an upload is
// pending, and Delete against the real calendar manager in local mode with a
// calendar window that loses the day's booked mark.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <memory>

#include "app/ConfigInfo.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "eventwnd/EventDetailDlg.h"
#include "eventwnd/EventDetailPanel.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/support/CalendarWndProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/EventWndTestSupport.h"
#include "view/CalendarWnd.h"

namespace {

using evtest::MakeCalendar;
using evtest::Pump;
using evtest::RecordingSource;
using evtest::ScriptedHook;
using platform::CTime;

class EventDetail : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        evtest::App();
        tz_ = std::make_unique<testsupport::ScopedTz>(GetParam());
        WriteConfig("[general]\ncalendar_mode=2\n");
        source_.calendars = {
            MakeCalendar(L"uri:holiday", L"祝日", Model::ACCESS_READ, true, true),
            MakeCalendar(L"uri:shared", L"共有 (閲覧のみ)", Model::ACCESS_READ, true),
            MakeCalendar(L"uri:work", L"仕事", Model::ACCESS_OWNER, true),
            MakeCalendar(L"uri:hidden", L"書かない", Model::ACCESS_OWNER, false),
            MakeCalendar(L"uri:me", L"hanako@example.com", Model::ACCESS_OWNER, true),
        };
    }

    void WriteConfig(const std::string& text) {
        testsupport::WriteFile(dir_ / "config.ini", text);
        config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
        config_->SetAccountId(L"hanako@example.com");
    }

    std::unique_ptr<CEventDetailDlg> NewDialog(const std::wstring& title = L"",
                                               bool allDay = false) {
        const CTime start(2009, 2, 18, 10, 0, 0);
        return std::make_unique<CEventDetailDlg>(source_, config_.get(), nullptr, L"", title, start,
                                                 start + 3600, allDay);
    }

    static Model::Event Existing() {
        Model::Event e;
        e.localEventID = L"ev-1";
        e.calendarURI = L"uri:work";
        e.title = L"定例会議";
        e.startTime = CTime(2009, 2, 18, 10, 0, 0);
        e.endTime = CTime(2009, 2, 18, 11, 30, 0);
        e.sequence = 4;
        e.reminders = {{L"email", 10}, {L"alert", 90}};
        return e;
    }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::ScopedTz> tz_;
    std::unique_ptr<Model::CConfigInfo> config_;
    RecordingSource source_;
};

TEST_P(EventDetail, NewEventOffersWritableCalendarsAndPreselectsTheAccount) {
    auto dlg = NewDialog();
    EXPECT_EQ(dlg->windowTitle(), QString::fromWCharArray(app::LoadStringText(700)));
    EXPECT_FALSE(dlg->DeleteButton()->isVisibleTo(dlg.get()));
    QComboBox* combo = dlg->Panel().CalendarCombo();
    ASSERT_EQ(combo->count(), 2);  // no holiday, read-only or not-written calendar
    EXPECT_EQ(combo->itemData(0).toString(), QStringLiteral("uri:work"));
    EXPECT_EQ(combo->itemData(1).toString(), QStringLiteral("uri:me"));
    EXPECT_EQ(combo->currentIndex(), 1);  // titled with the account

    // A given calendar wins.
    const CTime start(2009, 2, 18, 0, 0, 0);
    CEventDetailDlg given(source_, config_.get(), nullptr, L"uri:work", L"", start, start + 86400,
                          true);
    EXPECT_EQ(given.Panel().CalendarCombo()->currentIndex(), 0);
}

TEST_P(EventDetail, ExistingEventKeepsItsCalendarAndShowsDelete) {
    Model::Event e = Existing();
    e.calendarURI = L"uri:hidden";  // not offered for new events
    CEventDetailDlg dlg(source_, config_.get(), nullptr, e);
    EXPECT_TRUE(dlg.DeleteButton()->isVisibleTo(&dlg));
    EXPECT_EQ(dlg.Panel().CalendarCombo()->currentData().toString(), QStringLiteral("uri:hidden"));
    dlg.OnOk();
    ASSERT_EQ(source_.updated.size(), 1u);
    EXPECT_EQ(source_.updated[0].calendarURI, L"uri:hidden");
    EXPECT_EQ(source_.updated[0].localEventID, L"ev-1");
    EXPECT_EQ(source_.updated[0].sequence, 4);  // the manager counts it up
    EXPECT_EQ(source_.updated[0].startTime, e.startTime);
    EXPECT_EQ(source_.updated[0].endTime, e.endTime);
    EXPECT_TRUE(source_.added.empty());
}

// An occurrence of a series edits the series: its texts and reminders change,
// its times (the recurrence rule's) are shown but locked.
TEST_P(EventDetail, SeriesOccurrenceUpdatesTheSeriesWithItsTimesLocked) {
    Model::Event occurrence = Existing();
    occurrence.recurrenceType = Model::RECURRENCE_ORIGINAL;
    occurrence.recurrence = L"DTSTART:20090204T100000\nRRULE:FREQ=WEEKLY\n";
    CEventDetailDlg dlg(source_, config_.get(), nullptr, occurrence);
    CEventDetailPanel& p = dlg.Panel();
    EXPECT_FALSE(p.StartDate()->isEnabled());
    EXPECT_FALSE(p.StartTime()->isEnabled());
    EXPECT_FALSE(p.EndDate()->isEnabled());
    EXPECT_FALSE(p.EndTime()->isEnabled());
    EXPECT_FALSE(p.AllDayCheck()->isEnabled());
    EXPECT_EQ(p.StartTime()->time(), QTime(10, 0));
    p.TitleEdit()->setText(QStringLiteral("定例会議（第2会議室）"));
    dlg.OnOk();
    ASSERT_EQ(source_.updated.size(), 1u);
    const Model::Event& saved = source_.updated[0];
    EXPECT_EQ(saved.localEventID, L"ev-1");
    EXPECT_EQ(saved.recurrence, occurrence.recurrence);
    EXPECT_EQ(saved.title, L"定例会議（第2会議室）");
    EXPECT_EQ(saved.startTime, occurrence.startTime);
    EXPECT_EQ(saved.endTime, occurrence.endTime);
}

TEST_P(EventDetail, StoredRemindersShowInTheirLargestExactUnit) {
    struct Row {
        int minutes;
        qlonglong number;
        Model::ReminderUnit unit;
    };
    const Row rows[] = {
        {90, 90, Model::REMINDER_UNIT_MINUTES}, {120, 2, Model::REMINDER_UNIT_HOURS},
        {2880, 2, Model::REMINDER_UNIT_DAYS},   {20160, 2, Model::REMINDER_UNIT_WEEKS},
        {10, 10, Model::REMINDER_UNIT_MINUTES}, {1500, 25, Model::REMINDER_UNIT_HOURS},
        {40320, 4, Model::REMINDER_UNIT_WEEKS},
    };
    Model::Event e = Existing();
    e.reminders.clear();
    for (const Row& r : rows) {
        e.reminders.push_back({L"alert", r.minutes});
    }
    CEventDetailDlg dlg(source_, config_.get(), nullptr, e);
    CEventDetailPanel& panel = dlg.Panel();
    ASSERT_EQ(panel.ReminderRowCount(), static_cast<int>(std::size(rows)));
    for (int i = 0; i < panel.ReminderRowCount(); ++i) {
        SCOPED_TRACE(rows[i].minutes);
        EXPECT_EQ(panel.RowNumberText(i).toLongLong(), rows[i].number);
        EXPECT_EQ(panel.RowUnit(i), rows[i].unit);
        EXPECT_EQ(panel.RowMethod(i), L"alert");
    }
    // Saved unchanged, the rows give back the stored minutes.
    dlg.OnOk();
    ASSERT_EQ(source_.updated.size(), 1u);
    EXPECT_EQ(source_.updated[0].reminders, e.reminders);
}

TEST_P(EventDetail, ReminderBoundsAreFiveMinutesToFourWeeks) {
    struct Row {
        const char* number;
        Model::ReminderUnit unit;
        int refusal;  // 0: accepted
        int minutes;
    };
    const Row rows[] = {
        {"4", Model::REMINDER_UNIT_MINUTES, 112, 0},
        {"5", Model::REMINDER_UNIT_MINUTES, 0, 5},
        {"40320", Model::REMINDER_UNIT_MINUTES, 0, 40320},
        {"40321", Model::REMINDER_UNIT_MINUTES, 111, 0},
        {"4", Model::REMINDER_UNIT_WEEKS, 0, 40320},
        {"5", Model::REMINDER_UNIT_WEEKS, 111, 0},
        {"28", Model::REMINDER_UNIT_DAYS, 0, 40320},
        {"0", Model::REMINDER_UNIT_HOURS, 112, 0},
        {"-3", Model::REMINDER_UNIT_HOURS, 112, 0},
        {"abc", Model::REMINDER_UNIT_MINUTES, 112, 0},
        {"99999999999", Model::REMINDER_UNIT_WEEKS, 111, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.number) + " unit " + std::to_string(r.unit));
        source_.added.clear();
        ScriptedHook hook;
        auto dlg = NewDialog(L"歯医者");
        dlg->Panel().AddButton()->click();
        ASSERT_EQ(dlg->Panel().ReminderRowCount(), 1);
        EXPECT_EQ(dlg->Panel().RowMethod(0), L"email");  // a new row: e-mail, 10 minutes
        dlg->Panel().SetRowNumberText(0, QString::fromLatin1(r.number));
        dlg->Panel().SetRowUnit(0, r.unit);
        dlg->OnOk();
        if (r.refusal != 0) {
            EXPECT_EQ(hook.shown, std::vector<int>{r.refusal});
            EXPECT_TRUE(source_.added.empty());
        } else {
            EXPECT_TRUE(hook.shown.empty());
            ASSERT_EQ(source_.added.size(), 1u);
            ASSERT_EQ(source_.added[0].reminders.size(), 1u);
            EXPECT_EQ(source_.added[0].reminders[0].minutes, r.minutes);
            EXPECT_EQ(source_.added[0].reminders[0].method, L"email");
        }
    }
}

TEST_P(EventDetail, ValidationRefusesAndKeepsTheDialog) {
    struct Row {
        const wchar_t* title;
        int startDay, startHour, endDay, endHour;
        bool allDay;
        int refusal;
    };
    const Row rows[] = {
        {L"", 18, 10, 18, 11, false, 152},     {L"   ", 18, 10, 18, 11, false, 152},
        {L"会議", 18, 12, 18, 11, false, 115}, {L"会議", 19, 10, 18, 11, true, 115},
        {L"会議", 18, 12, 18, 12, false, 0},  // zero length is fine
        {L"旅行", 18, 0, 18, 0, true, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(platform::WideToUtf8(r.title) + " " + std::to_string(r.startHour));
        source_.added.clear();
        ScriptedHook hook;
        auto dlg = NewDialog();
        CEventDetailPanel& p = dlg->Panel();
        p.TitleEdit()->setText(QString::fromWCharArray(r.title));
        p.AllDayCheck()->setChecked(r.allDay);
        p.StartDate()->setDate(QDate(2009, 2, r.startDay));
        p.EndDate()->setDate(QDate(2009, 2, r.endDay));
        p.EndTime()->setTime(QTime(r.endHour, 0));
        p.StartTime()->setTime(QTime(r.startHour, 0));
        p.EndTime()->setTime(QTime(r.endHour, 0));
        dlg->OnOk();
        if (r.refusal != 0) {
            EXPECT_EQ(hook.shown, std::vector<int>{r.refusal});
            EXPECT_TRUE(source_.added.empty());
            EXPECT_NE(dlg->result(), QDialog::Accepted);
        } else {
            ASSERT_EQ(source_.added.size(), 1u);
            EXPECT_EQ(dlg->result(), QDialog::Accepted);
        }
    }
}

TEST_P(EventDetail, AllDayEndsAtTheNextMidnightAndRoundTrips) {
    auto dlg = NewDialog(L"旅行", true);
    CEventDetailPanel& p = dlg->Panel();
    EXPECT_FALSE(p.StartTime()->isEnabled());
    EXPECT_FALSE(p.EndTime()->isEnabled());
    dlg->OnOk();
    ASSERT_EQ(source_.added.size(), 1u);
    const Model::Event& added = source_.added[0];
    EXPECT_TRUE(added.isAllDay);
    EXPECT_EQ(added.startTime, CTime(2009, 2, 18, 0, 0, 0));
    EXPECT_EQ(added.endTime - added.startTime, 86400);
    EXPECT_EQ(added.author_name, L"hanako@example.com");
    EXPECT_EQ(added.author_email, L"hanako@example.com");
    EXPECT_TRUE(added.reminders.empty());

    // Opened again and saved, a three-day event keeps its days.
    Model::Event e = added;
    e.localEventID = L"ev-2";
    e.endTime = e.startTime + 3 * 86400;
    CEventDetailDlg again(source_, config_.get(), nullptr, e);
    EXPECT_EQ(again.Panel().EndDate()->date(), QDate(2009, 2, 20));
    again.OnOk();
    ASSERT_EQ(source_.updated.size(), 1u);
    EXPECT_EQ(source_.updated[0].startTime, e.startTime);
    EXPECT_EQ(source_.updated[0].endTime, e.endTime);
}

TEST_P(EventDetail, StartTimeMovesAnEndThatIsNotAfterIt) {
    auto dlg = NewDialog(L"会議");
    CEventDetailPanel& p = dlg->Panel();
    EXPECT_EQ(p.EndTime()->time(), QTime(11, 0));
    p.StartTime()->setTime(QTime(10, 30));  // end still after: kept
    EXPECT_EQ(p.EndTime()->time(), QTime(11, 0));
    p.StartTime()->setTime(QTime(11, 0));  // equal: one hour later
    EXPECT_EQ(p.EndTime()->time(), QTime(12, 0));
    p.StartTime()->setTime(QTime(14, 15));
    EXPECT_EQ(p.EndTime()->time(), QTime(15, 15));
}

TEST_P(EventDetail, DefaultReminderBoxWritesTheChoiceAndStandsForTheCalendarsDefaults) {
    auto dlg = NewDialog(L"会議");
    CEventDetailPanel& p = dlg->Panel();
    p.AddButton()->click();
    EXPECT_FALSE(p.UseDefaultCheck()->isChecked());
    EXPECT_TRUE(p.UseDefaultCheck()->isEnabled());
    EXPECT_TRUE(p.AddButton()->isEnabled());
    EXPECT_FALSE(p.RemoveButton()->isEnabled());  // nothing selected
    // Working in a row's controls selects it.
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(p.ReminderList()->cellWidget(0, CEventDetailPanel::kColumnUnit),
                            &focus);
    EXPECT_TRUE(p.RemoveButton()->isEnabled());
    p.AddButton()->click();
    p.RemoveButton()->click();
    EXPECT_EQ(p.ReminderRowCount(), 1);
    EXPECT_FALSE(p.RemoveButton()->isEnabled());
    p.ReminderList()->selectRow(0);
    EXPECT_TRUE(p.RemoveButton()->isEnabled());
    p.UseDefaultCheck()->setChecked(true);
    EXPECT_FALSE(p.ReminderList()->isEnabled());
    EXPECT_FALSE(p.AddButton()->isEnabled());
    EXPECT_FALSE(p.RemoveButton()->isEnabled());
    dlg->OnOk();
    ASSERT_EQ(source_.added.size(), 1u);
    EXPECT_EQ(source_.added[0].reminders, (std::vector<Model::Reminder>{{L"all", 0}}));
    EXPECT_EQ(config_->GetInt("option", "use_reminder_default", -1), 1);

    auto second = NewDialog(L"会議");
    second->OnOk();
    EXPECT_EQ(config_->GetInt("option", "use_reminder_default", -1), 0);

    // An existing event keeps its box cleared and disabled...
    CEventDetailDlg existing(source_, config_.get(), nullptr, Existing());
    EXPECT_FALSE(existing.Panel().UseDefaultCheck()->isChecked());
    EXPECT_FALSE(existing.Panel().UseDefaultCheck()->isEnabled());
    // ... unless it uses the calendar's defaults (as one registered from the
    // one-line window does): then it saves as it was.
    Model::Event registered = Existing();
    registered.reminders = {{L"all", 0}};
    ScriptedHook hook;
    CEventDetailDlg withDefault(source_, config_.get(), nullptr, registered);
    EXPECT_TRUE(withDefault.Panel().UseDefaultCheck()->isChecked());
    EXPECT_EQ(withDefault.Panel().ReminderRowCount(), 0);
    withDefault.OnOk();
    EXPECT_TRUE(hook.shown.empty());
    ASSERT_EQ(source_.updated.size(), 1u);
    EXPECT_EQ(source_.updated[0].reminders, registered.reminders);
}

TEST_P(EventDetail, CancelAsksOnlyWhenANewEventHasText) {
    {
        ScriptedHook hook;
        auto dlg = NewDialog();
        dlg->OnCancel();
        EXPECT_TRUE(hook.shown.empty());
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
    }
    {
        ScriptedHook hook;
        hook.answers = {QMessageBox::No, QMessageBox::Yes};
        auto dlg = NewDialog();
        dlg->setResult(-1);
        dlg->Panel().PlaceEdit()->setText(QStringLiteral("渋谷"));
        dlg->OnCancel();  // No: stays
        EXPECT_EQ(dlg->result(), -1);
        dlg->OnCancel();  // Yes: closes
        EXPECT_EQ(hook.shown, (std::vector<int>{110, 110}));
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
    }
    {
        ScriptedHook hook;
        CEventDetailDlg existing(source_, config_.get(), nullptr, Existing());
        existing.OnCancel();
        EXPECT_TRUE(hook.shown.empty());
    }
    EXPECT_TRUE(source_.added.empty());
    EXPECT_TRUE(source_.updated.empty());
}

TEST_P(EventDetail, AnEventWaitingForItsUploadIsNotOpenedInAccountMode) {
    WriteConfig("[general]\ncalendar_mode=1\n");
    source_.synced = false;
    ScriptedHook hook;
    bool opened = false;
    hook.onDialog = [&](QDialog&) {
        opened = true;
        return QDialog::Rejected;
    };
    CEventDetailDlg dlg(source_, config_.get(), nullptr, Existing());
    EXPECT_EQ(dlg.Run(), QDialog::Rejected);
    EXPECT_FALSE(opened);
    EXPECT_EQ(hook.shown, std::vector<int>{166});

    // Synced, it opens, and the open flag holds while it runs.
    source_.synced = true;
    hook.onDialog = [&](QDialog&) {
        opened = CEventDetailDlg::IsOpen();
        return QDialog::Rejected;
    };
    CEventDetailDlg again(source_, config_.get(), nullptr, Existing());
    again.Run();
    EXPECT_TRUE(opened);
}

// Delete through the real manager in local mode: the stored event is marked
// cancelled and waits for its upload, the month is announced, and the
// calendar window showing it drops the day's booked mark.
TEST_P(EventDetail, DeleteCancelsTheStoredEventAndTheDayLosesItsMark) {
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
    CCalendarWnd wnd(1, 20, 30, 0, context);
    Pump();
    const int cell = testsupport::CellOf(wnd, 2009, 2, 18);
    ASSERT_GE(cell, 0);

    Model::Event e;
    e.calendarURI = L"localEvent";
    e.title = L"歯医者";
    e.startTime = CTime(2009, 2, 18, 10, 0, 0);
    e.endTime = CTime(2009, 2, 18, 11, 0, 0);
    manager.AddEvent(e);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        Pump();
        return wnd.Day(cell).booked == 1;
    }));
    Model::Event stored;
    ASSERT_TRUE(
        wnd.Cache().FindEventOfDay(e.startTime, wnd.Cache().Events().at(0).localEventID, stored));

    ScriptedHook hook;
    hook.answers = {QMessageBox::No, QMessageBox::Yes};
    CEventDetailDlg dlg(source, config_.get(), nullptr, stored);
    dlg.OnDelete();  // No: nothing happens
    std::list<googledata::PrimitiveEvent> unsynced;
    ASSERT_TRUE(manager.Database().GetUnsyncedEvents("localEvent", unsynced));
    ASSERT_EQ(unsynced.size(), 1u);
    EXPECT_EQ(unsynced.front().eventStatus, Model::EVENT_STATUS_CONFIRMED);
    dlg.OnDelete();
    EXPECT_EQ(hook.shown, (std::vector<int>{114, 114}));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    unsynced.clear();
    ASSERT_TRUE(manager.Database().GetUnsyncedEvents("localEvent", unsynced));
    ASSERT_EQ(unsynced.size(), 1u);
    EXPECT_EQ(unsynced.front().eventStatus, Model::EVENT_STATUS_CANCELED);
    EXPECT_FALSE(unsynced.front().isSynced);
    EXPECT_EQ(unsynced.front().sequence, 1);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        Pump();
        return wnd.Day(cell).booked == 0;
    }));
    manager.Terminate();
}

// The calendar windows' host opens the dialog: a new event with what the
// registration window sent, and an existing event from the popup.
TEST_P(EventDetail, HostOpensTheDialogForNewAndExistingEvents) {
    Model::CCalendarStyleInfo style;
    CalendarWndContext context;
    context.source = &source_;
    context.config = config_.get();
    context.style = &style;
    CCalendarWnd wnd(1, 20, 30, 0, context);
    Controller::CCalendarWndHost::Setup setup;
    setup.config = config_.get();
    setup.source = &source_;
    Controller::CCalendarWndHost host(setup);

    ScriptedHook hook;
    hook.onDialog = [&](QDialog& dialog) {
        auto* detail = qobject_cast<CEventDetailDlg*>(&dialog);
        EXPECT_NE(detail, nullptr);
        if (detail == nullptr) {
            return int(QDialog::Rejected);
        }
        EXPECT_TRUE(CEventDetailDlg::IsOpen());
        detail->OnOk();
        return detail->result();
    };
    NewEventRequest request;
    request.start = CTime(2009, 2, 18, 9, 30, 0);
    request.end = CTime(2009, 2, 18, 11, 0, 0);
    request.allDay = false;
    request.title = L"面談";
    request.calendarURI = L"uri:work";
    EXPECT_TRUE(host.OpenNewEvent(wnd, request));
    ASSERT_EQ(source_.added.size(), 1u);
    EXPECT_EQ(source_.added[0].title, L"面談");
    EXPECT_EQ(source_.added[0].calendarURI, L"uri:work");
    EXPECT_EQ(source_.added[0].startTime, request.start);
    EXPECT_EQ(source_.added[0].endTime, request.end);
    EXPECT_FALSE(CEventDetailDlg::IsOpen());

    EXPECT_TRUE(host.OpenEventDetail(wnd, Existing()));
    ASSERT_EQ(source_.updated.size(), 1u);
    EXPECT_EQ(source_.updated[0].localEventID, L"ev-1");
}

INSTANTIATE_TEST_SUITE_P(Zones, EventDetail, testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
