#include "eventwnd/EventDetailPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <stdexcept>

#include "app/StringTable.h"

namespace {

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

// The reminder methods a row offers: label string id and stored value.
struct Method {
    int label;
    const wchar_t* value;
};
constexpr Method kMethods[] = {{128, L"email"}, {201, L"sms"}, {129, L"alert"}};
constexpr int kUnitLabels[] = {124, 125, 126, 127};  // minutes, hours, days, weeks

constexpr const wchar_t* kDefaultReminderMethod = L"all";

QDate DateOf(const platform::CTime& t) {
    return QDate(t.GetYear(), t.GetMonth(), t.GetDay());
}

QTime TimeOf(const platform::CTime& t) {
    return QTime(t.GetHour(), t.GetMinute());
}

// The local time of a date and a time of day; false when the date is no
// local time (year before 1900 and the like).
bool ToLocal(const QDate& date, const QTime& time, platform::CTime& out) {
    if (!date.isValid()) {
        return false;
    }
    try {
        out = platform::CTime(date.year(), date.month(), date.day(), time.hour(), time.minute(), 0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

CEventDetailPanel::CEventDetailPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("EventDetailPanel"));
    title_ = new QLineEdit(this);
    title_->setObjectName(QStringLiteral("titleEdit"));
    place_ = new QLineEdit(this);
    place_->setObjectName(QStringLiteral("placeEdit"));
    content_ = new QPlainTextEdit(this);
    content_->setObjectName(QStringLiteral("contentEdit"));
    content_->setTabChangesFocus(true);
    content_->setFixedHeight(64);
    calendar_ = new QComboBox(this);
    calendar_->setObjectName(QStringLiteral("calendarCombo"));

    const QDate minDate(1900, 1, 1);
    const QDate maxDate(2999, 12, 31);
    startDate_ = new QDateEdit(this);
    startDate_->setObjectName(QStringLiteral("startDate"));
    startDate_->setCalendarPopup(true);
    startDate_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    startDate_->setDisplayFormat(QStringLiteral("yyyy年M月d日"));
    startDate_->setDateRange(minDate, maxDate);
    startTime_ = new QTimeEdit(this);
    startTime_->setObjectName(QStringLiteral("startTime"));
    startTime_->setDisplayFormat(QStringLiteral("H:mm"));
    endDate_ = new QDateEdit(this);
    endDate_->setObjectName(QStringLiteral("endDate"));
    endDate_->setCalendarPopup(true);
    endDate_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    endDate_->setDisplayFormat(QStringLiteral("yyyy年M月d日"));
    endDate_->setDateRange(minDate, maxDate);
    endTime_ = new QTimeEdit(this);
    endTime_->setObjectName(QStringLiteral("endTime"));
    endTime_->setDisplayFormat(QStringLiteral("H:mm"));
    allDay_ = new QCheckBox(Text(710), this);
    allDay_->setObjectName(QStringLiteral("allDayCheck"));

    reminders_ = new QTableWidget(0, 3, this);
    reminders_->setObjectName(QStringLiteral("reminderList"));
    reminders_->setHorizontalHeaderLabels({Text(712), Text(713), Text(714)});
    reminders_->verticalHeader()->setVisible(false);
    reminders_->horizontalHeader()->setStretchLastSection(true);
    reminders_->setSelectionBehavior(QAbstractItemView::SelectRows);
    reminders_->setSelectionMode(QAbstractItemView::SingleSelection);
    reminders_->setFixedHeight(110);
    add_ = new QPushButton(Text(715), this);
    add_->setObjectName(QStringLiteral("addReminder"));
    remove_ = new QPushButton(Text(716), this);
    remove_->setObjectName(QStringLiteral("removeReminder"));
    remove_->setEnabled(false);
    useDefault_ = new QCheckBox(Text(717), this);
    useDefault_->setObjectName(QStringLiteral("useDefaultReminder"));

    auto* form = new QFormLayout;
    form->addRow(Text(704), title_);
    form->addRow(Text(705), place_);
    form->addRow(Text(706), content_);
    form->addRow(Text(707), calendar_);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(startDate_);
    startRow->addWidget(startTime_);
    startRow->addWidget(allDay_);
    startRow->addStretch();
    form->addRow(Text(708), startRow);
    auto* endRow = new QHBoxLayout;
    endRow->addWidget(endDate_);
    endRow->addWidget(endTime_);
    endRow->addStretch();
    form->addRow(Text(709), endRow);

    auto* reminderButtons = new QHBoxLayout;
    reminderButtons->addWidget(useDefault_);
    reminderButtons->addStretch();
    reminderButtons->addWidget(add_);
    reminderButtons->addWidget(remove_);
    auto* reminderBox = new QVBoxLayout;
    reminderBox->addWidget(reminders_);
    reminderBox->addLayout(reminderButtons);
    form->addRow(Text(711), reminderBox);
    setLayout(form);

    connect(startTime_, &QTimeEdit::timeChanged, this, [this] { OnStartTimeChanged(); });
    connect(allDay_, &QCheckBox::toggled, this, [this] { OnAllDayToggled(); });
    connect(useDefault_, &QCheckBox::toggled, this, [this] { OnUseDefaultToggled(); });
    connect(add_, &QPushButton::clicked, this, [this] {
        AddReminderRow(L"email", 10);
        UpdateRemoveButton();
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int row = reminders_->currentRow();
        if (row >= 0 && !reminders_->selectionModel()->selectedRows().isEmpty()) {
            reminders_->removeRow(row);
        }
        reminders_->clearSelection();
        UpdateRemoveButton();
    });
    connect(reminders_, &QTableWidget::itemSelectionChanged, this,
            [this] { UpdateRemoveButton(); });
}

void CEventDetailPanel::Load(const Model::Event& event, bool isNew,
                             const std::list<Model::Calendar>& calendars,
                             const std::wstring& accountId) {
    isNew_ = isNew;
    title_->setText(QString::fromStdWString(event.title));
    place_->setText(QString::fromStdWString(event.place));
    content_->setPlainText(QString::fromStdWString(event.content));

    // Calendars that take events; an existing event keeps its own.
    calendar_->clear();
    int selected = -1;
    int accountEntry = -1;
    for (const Model::Calendar& c : calendars) {
        const bool offered =
            c.writeEvents && !c.isHoliday && c.accesslevel >= googledata::ACCESS_EDITOR;
        const bool own = !isNew && c.calendarURI == event.calendarURI;
        if (!offered && !own) {
            continue;
        }
        calendar_->addItem(QString::fromStdWString(c.title),
                           QString::fromStdWString(c.calendarURI));
        if (c.calendarURI == event.calendarURI && selected < 0) {
            selected = calendar_->count() - 1;
        }
        if (c.title == accountId && accountEntry < 0) {
            accountEntry = calendar_->count() - 1;
        }
    }
    if (selected < 0) {
        selected = accountEntry >= 0 ? accountEntry : (calendar_->count() > 0 ? 0 : -1);
    }
    calendar_->setCurrentIndex(selected);

    {
        const QSignalBlocker blockStart(startTime_);
        startDate_->setDate(DateOf(event.startTime));
        if (event.isAllDay) {
            // The end of an all-day event is the midnight after its last day.
            const platform::CTime lastDay =
                event.endTime - 86400 >= event.startTime ? event.endTime - 86400 : event.startTime;
            endDate_->setDate(DateOf(lastDay));
            startTime_->setTime(QTime(9, 0));
            endTime_->setTime(QTime(10, 0));
        } else {
            endDate_->setDate(DateOf(event.endTime));
            startTime_->setTime(TimeOf(event.startTime));
            endTime_->setTime(TimeOf(event.endTime));
        }
    }
    allDay_->setChecked(event.isAllDay);
    // A series is timed by its recurrence rule, which is edited on the
    // service: its occurrence's dates and times are shown, not changed.
    timesLocked_ = !isNew && !event.recurrence.empty();
    for (QWidget* w : std::initializer_list<QWidget*>{startDate_, endDate_, allDay_}) {
        w->setEnabled(!timesLocked_);
        w->setToolTip(timesLocked_ ? Text(727) : QString());
    }
    OnAllDayToggled();

    // Reminders: the calendar's defaults ("all") are the check box, not a row.
    reminders_->setRowCount(0);
    bool usesDefault = false;
    for (const Model::Reminder& r : event.reminders) {
        if (r.method == kDefaultReminderMethod) {
            usesDefault = true;
        } else {
            AddReminderRow(r.method, r.minutes);
        }
    }
    if (isNew) {
        useDefault_->setChecked(false);
        useDefault_->setEnabled(true);
    } else {
        // An existing event's box only shows that it uses the defaults; the
        // user may leave them for reminders of its own.
        useDefault_->setChecked(usesDefault);
        useDefault_->setEnabled(usesDefault);
    }
    OnUseDefaultToggled();
    UpdateRemoveButton();
}

void CEventDetailPanel::AddReminderRow(const std::wstring& method, int32_t minutes) {
    const int row = reminders_->rowCount();
    reminders_->insertRow(row);

    auto* methodBox = new QComboBox(reminders_);
    methodBox->setObjectName(QStringLiteral("reminderMethod"));
    int methodIndex = -1;
    for (const Method& m : kMethods) {
        methodBox->addItem(Text(m.label), QString::fromWCharArray(m.value));
        if (method == m.value) {
            methodIndex = methodBox->count() - 1;
        }
    }
    methodBox->setCurrentIndex(methodIndex);
    methodBox->installEventFilter(this);
    reminders_->setCellWidget(row, kColumnMethod, methodBox);

    const Model::ReminderAmount amount = Model::LargestExactUnit(minutes);
    auto* numberBox = new QComboBox(reminders_);
    numberBox->setObjectName(QStringLiteral("reminderNumber"));
    numberBox->setEditable(true);
    for (int n = 1; n <= 12; ++n) {
        numberBox->addItem(QString::number(n));
    }
    numberBox->setCurrentText(QString::number(amount.number));
    numberBox->installEventFilter(this);
    reminders_->setCellWidget(row, kColumnNumber, numberBox);

    auto* unitBox = new QComboBox(reminders_);
    unitBox->setObjectName(QStringLiteral("reminderUnit"));
    for (int label : kUnitLabels) {
        unitBox->addItem(Text(label));
    }
    unitBox->setCurrentIndex(amount.unit);
    unitBox->installEventFilter(this);
    reminders_->setCellWidget(row, kColumnUnit, unitBox);
}

bool CEventDetailPanel::eventFilter(QObject* watched, QEvent* event) {
    // Working in a row's controls selects the row (for Remove).
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
        for (int row = 0; row < reminders_->rowCount(); ++row) {
            for (int column = 0; column < 3; ++column) {
                if (reminders_->cellWidget(row, column) == watched) {
                    reminders_->selectRow(row);
                    return QWidget::eventFilter(watched, event);
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

int CEventDetailPanel::ReminderRowCount() const {
    return reminders_->rowCount();
}

std::wstring CEventDetailPanel::RowMethod(int row) const {
    auto* box = qobject_cast<QComboBox*>(reminders_->cellWidget(row, kColumnMethod));
    if (box == nullptr || box->currentIndex() < 0) {
        return L"none";
    }
    return box->currentData().toString().toStdWString();
}

QString CEventDetailPanel::RowNumberText(int row) const {
    auto* box = qobject_cast<QComboBox*>(reminders_->cellWidget(row, kColumnNumber));
    return box == nullptr ? QString() : box->currentText();
}

Model::ReminderUnit CEventDetailPanel::RowUnit(int row) const {
    auto* box = qobject_cast<QComboBox*>(reminders_->cellWidget(row, kColumnUnit));
    const int index = box == nullptr ? 0 : box->currentIndex();
    return static_cast<Model::ReminderUnit>(index < 0 ? 0 : index);
}

void CEventDetailPanel::SetRowNumberText(int row, const QString& text) {
    if (auto* box = qobject_cast<QComboBox*>(reminders_->cellWidget(row, kColumnNumber))) {
        box->setCurrentText(text);
    }
}

void CEventDetailPanel::SetRowUnit(int row, Model::ReminderUnit unit) {
    if (auto* box = qobject_cast<QComboBox*>(reminders_->cellWidget(row, kColumnUnit))) {
        box->setCurrentIndex(unit);
    }
}

bool CEventDetailPanel::UseDefaultReminder() const {
    return useDefault_->isChecked();
}

bool CEventDetailPanel::HasUserText() const {
    return !title_->text().isEmpty() || !place_->text().isEmpty() ||
           !content_->toPlainText().isEmpty();
}

int CEventDetailPanel::Collect(Model::Event& event) const {
    const QString title = title_->text();
    if (title.trimmed().isEmpty()) {
        return 152;
    }
    platform::CTime start;
    platform::CTime end;
    if (allDay_->isChecked()) {
        if (!ToLocal(startDate_->date(), QTime(0, 0), start) ||
            !ToLocal(endDate_->date(), QTime(0, 0), end)) {
            return 115;
        }
        // The end date is the last day: before the start it is refused, not
        // turned into an event of no length.
        if (end < start) {
            return 115;
        }
        end = end + 86400;
    } else if (!ToLocal(startDate_->date(), startTime_->time(), start) ||
               !ToLocal(endDate_->date(), endTime_->time(), end)) {
        return 115;
    }
    if (start > end) {
        return 115;
    }

    std::vector<Model::Reminder> reminders;
    if (useDefault_->isChecked()) {
        reminders.push_back({kDefaultReminderMethod, 0});
    } else {
        for (int row = 0; row < reminders_->rowCount(); ++row) {
            bool ok = false;
            const qlonglong number = RowNumberText(row).trimmed().toLongLong(&ok);
            const int64_t minutes = ok ? number * Model::MinutesPerUnit(RowUnit(row)) : 0;
            if (minutes < Model::kMinReminderMinutes) {
                return 112;
            }
            if (minutes > Model::kMaxReminderMinutes) {
                return 111;
            }
            reminders.push_back({RowMethod(row), static_cast<int32_t>(minutes)});
        }
    }
    if (calendar_->currentIndex() < 0) {
        return 167;
    }

    event.title = title.toStdWString();
    event.place = place_->text().toStdWString();
    event.content = content_->toPlainText().toStdWString();
    event.calendarURI = calendar_->currentData().toString().toStdWString();
    event.startTime = start;
    event.endTime = end;
    event.isAllDay = allDay_->isChecked();
    event.reminders = std::move(reminders);
    return 0;
}

void CEventDetailPanel::OnStartTimeChanged() {
    const QTime start = startTime_->time();
    if (endTime_->time() <= start) {
        endTime_->setTime(start.addSecs(3600));
    }
}

void CEventDetailPanel::OnAllDayToggled() {
    const bool timed = !allDay_->isChecked() && !timesLocked_;
    startTime_->setEnabled(timed);
    endTime_->setEnabled(timed);
}

void CEventDetailPanel::OnUseDefaultToggled() {
    const bool own = !useDefault_->isChecked();
    reminders_->setEnabled(own);
    add_->setEnabled(own);
    UpdateRemoveButton();
}

void CEventDetailPanel::UpdateRemoveButton() {
    remove_->setEnabled(reminders_->isEnabled() &&
                        !reminders_->selectionModel()->selectedRows().isEmpty());
}
