// The message boxes of the event windows: a string-table text in a warning
// or question box, run through the modal hook (dialogs/ModalHook.h) so that
// tests can answer it. User-interface thread only.
#pragma once

#include <QMessageBox>

namespace eventwnd {

// Shows the warning `stringId` with an OK button.
void ShowWarning(QWidget* parent, int stringId);
// Asks the question `stringId` with Yes and No; true on Yes.
bool AskYesNo(QWidget* parent, int stringId);

}  // namespace eventwnd
