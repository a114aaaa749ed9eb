#include "dialogs/DialogSupport.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <utility>

#include "app/StringTable.h"
#include "dialogs/ModalHook.h"

namespace dialogs {
namespace {

FileDialogHook& Hook() {
    static FileDialogHook hook;
    return hook;
}

}  // namespace

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

int ShowMessage(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons,
                QMessageBox::Icon icon) {
    QMessageBox box(icon, QStringLiteral("Daymark"), text, buttons, parent);
    box.setObjectName(QStringLiteral("messageBox"));
    if (QAbstractButton* yes = box.button(QMessageBox::Yes)) {
        yes->setText(QStringLiteral("はい"));
    }
    if (QAbstractButton* no = box.button(QMessageBox::No)) {
        no->setText(QStringLiteral("いいえ"));
    }
    return ExecModal(box);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return ShowMessage(parent, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) ==
           QMessageBox::Yes;
}

FileDialogHook SetFileDialogHook(FileDialogHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

QStringList AskOpenFiles(QWidget* parent, const FileDialogRequest& request) {
    if (Hook()) {
        return Hook()(request);
    }
    return QFileDialog::getOpenFileNames(parent, request.title, request.proposedPath,
                                         request.filter);
}

QString AskSaveFile(QWidget* parent, const FileDialogRequest& request) {
    QString path;
    if (Hook()) {
        const QStringList chosen = Hook()(request);
        path = chosen.isEmpty() ? QString() : chosen.front();
    } else {
        QFileDialog dialog(parent, request.title, request.proposedPath, request.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            path = dialog.selectedFiles().front();
        }
    }
    if (!path.isEmpty() && !request.defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + request.defaultSuffix;
    }
    return path;
}

}  // namespace dialogs
