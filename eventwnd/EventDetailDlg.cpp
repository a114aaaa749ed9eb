#include "eventwnd/EventDetailDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "dialogs/ModalHook.h"
#include "eventwnd/EventDetailPanel.h"
#include "eventwnd/EventMessageBox.h"
#include "view/CalendarWndSource.h"

namespace {

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

int g_openDialogs = 0;

}  // namespace

CEventDetailDlg::CEventDetailDlg(ICalendarWndSource& source, Model::CConfigInfo* config,
                                 Utility::CMaintenanceLog* log, const std::wstring& calendarURI,
                                 const std::wstring& title, const platform::CTime& start,
                                 const platform::CTime& end, bool allDay, QWidget* parent)
    : QDialog(parent), source_(source), config_(config), log_(log), isNew_(true) {
    event_.calendarURI = calendarURI;
    event_.title = title;
    event_.startTime = start;
    event_.endTime = end;
    event_.isAllDay = allDay;
    Build();
}

CEventDetailDlg::CEventDetailDlg(ICalendarWndSource& source, Model::CConfigInfo* config,
                                 Utility::CMaintenanceLog* log, const Model::Event& event,
                                 QWidget* parent)
    : QDialog(parent), source_(source), config_(config), log_(log), isNew_(false), event_(event) {
    Build();
}

CEventDetailDlg::~CEventDetailDlg() {
    if (openFlagSet_) {
        --g_openDialogs;
    }
}

bool CEventDetailDlg::IsOpen() {
    return g_openDialogs > 0;
}

void CEventDetailDlg::Build() {
    setObjectName(QStringLiteral("EventDetailDlg"));
    setWindowTitle(Text(700));
    setModal(true);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("detailTabs"));
    panel_ = new CEventDetailPanel;
    tabs_->addTab(panel_, Text(701));

    ok_ = new QPushButton(Text(718), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(Text(719), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    delete_ = new QPushButton(Text(720), this);
    delete_->setObjectName(QStringLiteral("deleteButton"));
    delete_->setVisible(!isNew_);
    delete_->setEnabled(!isNew_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(delete_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(delete_, &QPushButton::clicked, this, [this] { OnDelete(); });

    std::list<Model::Calendar> calendars;
    source_.GetCalendars(calendars);
    const std::wstring account = config_ != nullptr ? config_->GetAccountId() : std::wstring();
    panel_->Load(event_, isNew_, calendars, account);
    panel_->TitleEdit()->setFocus();
}

int CEventDetailDlg::Run() {
    if (!isNew_ && config_ != nullptr &&
        config_->GetCalendarMode() == googledata::kCalendarModeAccount &&
        !source_.IsEventSynced(event_.calendarURI, event_.localEventID)) {
        eventwnd::ShowWarning(parentWidget(), 166);
        return QDialog::Rejected;
    }
    if (!openFlagSet_) {
        openFlagSet_ = true;
        ++g_openDialogs;
    }
    return dialogs::ExecModal(*this);
}

void CEventDetailDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once more after the window manager has placed the dialog.
    QPointer<CEventDetailDlg> self(this);
    QTimer::singleShot(100, this, [self] {
        if (self) {
            self->panel_->TitleEdit()->setFocus();
        }
    });
}

void CEventDetailDlg::OnOk() {
    Log(Utility::kLogInfo, "<view> OK clicked on event detail dlg");
    Model::Event edited = event_;
    const int refusal = panel_->Collect(edited);
    if (refusal != 0) {
        eventwnd::ShowWarning(this, refusal);
        return;
    }
    if (isNew_) {
        if (config_ != nullptr) {
            config_->WriteInt("option", "use_reminder_default",
                              panel_->UseDefaultReminder() ? 1 : 0);
            edited.author_name = config_->GetAccountId();
            edited.author_email = edited.author_name;
        }
        source_.AddEvent(edited);
    } else {
        source_.UpdateEvent(edited);
    }
    event_ = edited;
    accept();
}

void CEventDetailDlg::OnDelete() {
    if (isNew_ || !eventwnd::AskYesNo(this, 114)) {
        return;
    }
    Log(Utility::kLogInfo, "<view> UpdateEvent(delete) from detail dlg");
    Model::Event deleted = event_;
    deleted.eventStatus = googledata::EVENT_STATUS_CANCELED;
    source_.UpdateEvent(deleted);
    accept();
}

void CEventDetailDlg::OnCancel() {
    if (isNew_ && panel_->HasUserText() && !eventwnd::AskYesNo(this, 110)) {
        return;
    }
    QDialog::reject();
}

void CEventDetailDlg::reject() {
    OnCancel();
}

void CEventDetailDlg::Log(const char* level, const std::string& text) const {
    if (log_ != nullptr) {
        log_->Write(level, text);
    }
}
