#include "eventwnd/EventMessageBox.h"

#include "app/StringTable.h"
#include "dialogs/ModalHook.h"

namespace eventwnd {

namespace {

int Run(QWidget* parent, QMessageBox::Icon icon, int stringId,
        QMessageBox::StandardButtons buttons) {
    const int title = icon == QMessageBox::Question ? 725 : 726;
    QMessageBox box(icon, QString::fromWCharArray(app::LoadStringText(title)),
                    QString::fromWCharArray(app::LoadStringText(stringId)), buttons, parent);
    box.setObjectName(QStringLiteral("eventMessage%1").arg(stringId));
    return dialogs::ExecModal(box);
}

}  // namespace

void ShowWarning(QWidget* parent, int stringId) {
    Run(parent, QMessageBox::Warning, stringId, QMessageBox::Ok);
}

bool AskYesNo(QWidget* parent, int stringId) {
    return Run(parent, QMessageBox::Question, stringId, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

}  // namespace eventwnd
