#include "dialogs/MessageBoxes.h"

#include <QPushButton>

#include "dialogs/ModalHook.h"

namespace dialogs {

namespace {
constexpr int kYesText = 606;
constexpr int kNoText = 607;
constexpr int kOkText = 604;
}  // namespace

bool AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("questionBox"));
    box.button(QMessageBox::Yes)->setText(Text(kYesText));
    box.button(QMessageBox::No)->setText(Text(kNoText));
    box.setDefaultButton(QMessageBox::No);
    const int result = ExecModal(box);
    return result == QMessageBox::Yes || result == QDialog::Accepted;
}

void ShowNotice(QWidget* parent, const QString& title, const QString& text,
                QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("noticeBox"));
    box.button(QMessageBox::Ok)->setText(Text(kOkText));
    ExecModal(box);
}

}  // namespace dialogs
