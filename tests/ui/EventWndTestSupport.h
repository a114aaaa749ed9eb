// Shared by the event-window tests: the offscreen application, a recording
// data source, and a modal hook that answers message boxes from a script
// and lets a test drive a dialog. Test thread (the UI thread) only.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <deque>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "app/StringTable.h"
#include "dialogs/ModalHook.h"
#include "tests/support/QtTestSupport.h"
#include "view/CalendarWndSource.h"

namespace evtest {

using testsupport::App;
using testsupport::Pump;

// A source that records the edits it is handed.
class RecordingSource : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>& out, int, int, int) override {
        out.insert(out.end(), events.begin(), events.end());
        return true;
    }
    bool GetHolidays(std::list<Model::Holiday>& out, int, int, int, const std::wstring&) override {
        out.insert(out.end(), holidays.begin(), holidays.end());
        return true;
    }
    void AddListener(platform::WindowHandle, uint32_t) override {}
    bool GetCalendars(std::list<Model::Calendar>& out) override {
        out = calendars;
        return true;
    }
    void AddEvent(const Model::Event& event) override { added.push_back(event); }
    void UpdateEvent(const Model::Event& event) override { updated.push_back(event); }
    bool IsEventSynced(const std::wstring&, const std::wstring&) override { return synced; }

    std::list<Model::Event> events;
    std::list<Model::Holiday> holidays;
    std::list<Model::Calendar> calendars;
    std::vector<Model::Event> added;
    std::vector<Model::Event> updated;
    bool synced = true;
};

inline Model::Calendar MakeCalendar(const std::wstring& uri, const std::wstring& title, int access,
                                    bool write, bool holiday = false) {
    Model::Calendar c;
    c.calendarURI = uri;
    c.title = title;
    c.accesslevel = access;
    c.writeEvents = write;
    c.showEvents = true;
    c.isHoliday = holiday;
    return c;
}

// Answers message boxes with the next scripted answer (Yes when none is
// left) and records their string texts; other dialogs go to `onDialog`
// (which returns the dialog's result), or are rejected.
class ScriptedHook {
public:
    ScriptedHook() {
        previous_ = dialogs::SetModalHook([this](QDialog& dialog) { return Answer(dialog); });
    }
    ~ScriptedHook() { dialogs::SetModalHook(previous_); }
    ScriptedHook(const ScriptedHook&) = delete;
    ScriptedHook& operator=(const ScriptedHook&) = delete;

    // The string ids of the message boxes shown, in order.
    std::vector<int> shown;
    std::deque<QMessageBox::StandardButton> answers;
    std::function<int(QDialog&)> onDialog;

private:
    int Answer(QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            const QString name = box->objectName();
            shown.push_back(name.startsWith(QStringLiteral("eventMessage")) ? name.mid(12).toInt()
                                                                            : -1);
            EXPECT_EQ(box->text(), QString::fromWCharArray(app::LoadStringText(shown.back())));
            if (answers.empty()) {
                return box->standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                         : QMessageBox::Ok;
            }
            const QMessageBox::StandardButton answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (onDialog) {
            return onDialog(dialog);
        }
        return QDialog::Rejected;
    }

    dialogs::ModalHook previous_;
};

}  // namespace evtest
