// What the setting dialogs share: string-table texts, message boxes and file
// dialogs that run through one seam each, so that tests answer them (message
// boxes through the modal hook of dialogs/ModalHook.h, file dialogs through
// the file dialog hook here). User-interface thread only.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace dialogs {

// The string table's text of `id`.
QString Text(int id);

// A message box with the program's name as its title, run through
// ExecModal; returns the button pressed (QMessageBox::StandardButton).
int ShowMessage(QWidget* parent, const QString& text,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                QMessageBox::Icon icon = QMessageBox::Information);
// Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// One file dialog as asked for.
struct FileDialogRequest {
    enum Kind { kOpenFiles, kSaveFile } kind = kOpenFiles;
    QString title;
    QString filter;         // Qt form: "style (*.style)"
    QString proposedPath;   // save: the folder and file name proposed
    QString defaultSuffix;  // save: added when the name has none ("zip")
};
// Answers a file dialog: the chosen paths, none for cancel.
using FileDialogHook = std::function<QStringList(const FileDialogRequest&)>;
// Installs `hook` (empty removes it); returns the one it replaces.
FileDialogHook SetFileDialogHook(FileDialogHook hook);

// Several existing files to open; empty when cancelled.
QStringList AskOpenFiles(QWidget* parent, const FileDialogRequest& request);
// One path to write; empty when cancelled. The default suffix is added when
// the chosen name has none.
QString AskSaveFile(QWidget* parent, const FileDialogRequest& request);

}  // namespace dialogs
