// CEventDetailPanel: the page of the event detail dialog that edits one
// Model::Event: title, place, description, the target calendar, start and
// end (date and time of day), the all-day flag and the reminders (method,
// lead time and unit per row, or the calendar's default reminders). It loads
// an event, keeps the editing rules while the user works, and validates and
// collects the result; the dialog decides what to do with it.
//
// Owned by its dialog (Qt parent). User-interface thread only.
#pragma once

#include <QWidget>
#include <list>
#include <string>

#include "model/Calendar.h"
#include "model/Event.h"
#include "model/ReminderUnits.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimeEdit;

class CEventDetailPanel : public QWidget {
    Q_OBJECT
public:
    // Columns of the reminder list.
    enum Column { kColumnMethod = 0, kColumnNumber = 1, kColumnUnit = 2 };

    explicit CEventDetailPanel(QWidget* parent = nullptr);

    // Fills the controls from `event`. The calendar list offers the
    // calendars of `calendars` that take new events (write flag set, not a
    // holiday calendar, editor access or more); an existing event's own
    // calendar is offered even when it is not one of them, so that saving
    // never moves it. The entry of `event.calendarURI` is selected, else the
    // one titled `accountId`, else the first. An occurrence of a series
    // shows its dates and times without letting them change.
    void Load(const Model::Event& event, bool isNew, const std::list<Model::Calendar>& calendars,
              const std::wstring& accountId);

    // Validates the controls and writes them into `event` (title, place,
    // description, calendar, start, end, all-day, reminders). Returns 0, or
    // the string id of the message that refuses the input: 152 no title, 115
    // a start after the end or a date that is no local time, 112 a reminder
    // under 5 minutes, 111 one over four weeks, 167 no calendar to put it in.
    int Collect(Model::Event& event) const;

    bool UseDefaultReminder() const;
    // Any of title, place or description holds text.
    bool HasUserText() const;

    // Appends a reminder row; unknown methods show no method label.
    void AddReminderRow(const std::wstring& method, int32_t minutes);
    int ReminderRowCount() const;
    // Row inspection (tests): the method value, the number text, the unit.
    std::wstring RowMethod(int row) const;
    QString RowNumberText(int row) const;
    Model::ReminderUnit RowUnit(int row) const;
    void SetRowNumberText(int row, const QString& text);
    void SetRowUnit(int row, Model::ReminderUnit unit);

    QLineEdit* TitleEdit() const { return title_; }
    QLineEdit* PlaceEdit() const { return place_; }
    QPlainTextEdit* ContentEdit() const { return content_; }
    QComboBox* CalendarCombo() const { return calendar_; }
    QDateEdit* StartDate() const { return startDate_; }
    QTimeEdit* StartTime() const { return startTime_; }
    QDateEdit* EndDate() const { return endDate_; }
    QTimeEdit* EndTime() const { return endTime_; }
    QCheckBox* AllDayCheck() const { return allDay_; }
    QCheckBox* UseDefaultCheck() const { return useDefault_; }
    QTableWidget* ReminderList() const { return reminders_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnStartTimeChanged();
    void OnAllDayToggled();
    void OnUseDefaultToggled();
    void UpdateRemoveButton();

    QLineEdit* title_;
    QLineEdit* place_;
    QPlainTextEdit* content_;
    QComboBox* calendar_;
    QDateEdit* startDate_;
    QTimeEdit* startTime_;
    QDateEdit* endDate_;
    QTimeEdit* endTime_;
    QCheckBox* allDay_;
    QTableWidget* reminders_;
    QPushButton* add_;
    QPushButton* remove_;
    QCheckBox* useDefault_;
    bool isNew_ = true;
    bool timesLocked_ = false;  // an occurrence of a series
};
