#include "dialogs/SetCalendarDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <list>

#include "dialogs/DoubleCheckListCtrl.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/SetupManager.h"

using dialogs::Text;

namespace {
enum : int {
    kTextResetQuestion = 130,
    kTextOk = 604,
    kTextCancel = 605,
    kTextTitle = 680,
    kTextReset = 681,
    kTextHint = 682,
};
}  // namespace

CSetCalendarDlg::CSetCalendarDlg(ISetupManager& manager, const std::string& imageFolder,
                                 platform::WindowHandle dispatchWindow, uint32_t wizardRequest,
                                 QWidget* parent)
    : QDialog(parent),
      manager(manager),
      dispatchWindow(dispatchWindow),
      wizardRequest(wizardRequest) {
    ++openCount;
    setObjectName(QStringLiteral("setCalendarDlg"));
    setWindowTitle(Text(kTextTitle));
    auto* layout = new QVBoxLayout(this);
    list = new CDoubleCheckListCtrl(imageFolder, this);
    list->setObjectName(QStringLiteral("calendarList"));
    list->setMinimumSize(560, 220);
    layout->addWidget(list, 1);
    auto* hint = new QLabel(Text(kTextHint), this);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(Text(kTextReset), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setAutoDefault(false);
    okButton = new QPushButton(Text(kTextOk), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    auto* cancel = new QPushButton(Text(kTextCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(reset, &QPushButton::clicked, this, [this] { Reset(); });
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    std::list<Model::Calendar> calendars;
    manager.GetCalendars(calendars);
    list->SetCalendars(calendars);
    // A synchronisation is running: the flags are not changed under it.
    if (manager.GetPendingRequestCount() != 0) {
        okButton->setEnabled(false);
    }
    list->setFocus();
}

CSetCalendarDlg::~CSetCalendarDlg() {
    --openCount;
}

void CSetCalendarDlg::accept() {
    if (!okButton->isEnabled()) {
        return;
    }
    for (int row = 0; row < list->RowCount(); ++row) {
        manager.UpdateCalendar(list->RowURI(row), list->RowShow(row), list->RowWrite(row));
    }
    QDialog::accept();
}

void CSetCalendarDlg::Reset() {
    if (!dialogs::AskYesNo(this, windowTitle(), Text(kTextResetQuestion))) {
        return;
    }
    platform::PostMessage(dispatchWindow, wizardRequest, 0, 0);
    reject();
}
