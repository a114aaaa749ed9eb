// Running modal dialogs through one seam: the program shows them with
// QDialog::exec; a test installs a hook that fills in and answers the dialog
// instead. User-interface thread only.
#pragma once

#include <QDialog>
#include <functional>

namespace dialogs {

// Answers `dialog` (filling its fields as a user would) and returns its
// result (QDialog::Accepted or QDialog::Rejected).
using ModalHook = std::function<int(QDialog& dialog)>;

// Installs `hook` (empty removes it); returns the one it replaces.
ModalHook SetModalHook(ModalHook hook);

// The hook's answer when one is installed, else dialog.exec(). A dialog
// whose parent is not shown (the hidden dispatch window) loses that parent
// first: it has no owner on the desktop and opens centred on the screen.
int ExecModal(QDialog& dialog);

}  // namespace dialogs
