// The texts and message boxes of the settings dialogs: string-table texts as
// Qt strings, and Yes/No questions and notices shown through the modal seam
// (dialogs/ModalHook.h), so that tests answer them. The boxes carry the
// object names "questionBox" and "noticeBox". User-interface thread only.
#pragma once

#include <QMessageBox>
#include <QString>

namespace dialogs {

// The string-table text of `id`.
QString Text(int id);

// A Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);

// A notice with one OK button.
void ShowNotice(QWidget* parent, const QString& title, const QString& text,
                QMessageBox::Icon icon = QMessageBox::Information);

}  // namespace dialogs
