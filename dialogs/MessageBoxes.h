// The message boxes of the setup wizard and the account settings: Yes/No
// questions and notices under the asking dialog's own title, shown through
// the modal seam (dialogs/ModalHook.h), so that tests answer them. The boxes
// carry the object names "questionBox" and "noticeBox". The string-table
// texts come from dialogs/DialogSupport.h. User-interface thread only.
#pragma once

#include <QMessageBox>
#include <QString>

#include "dialogs/DialogSupport.h"

namespace dialogs {

// A Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);

// A notice with one OK button.
void ShowNotice(QWidget* parent, const QString& title, const QString& text,
                QMessageBox::Icon icon = QMessageBox::Information);

}  // namespace dialogs
