// The dialogs the dispatch window opens for the manager's notifications and
// the account command.
#include <QDialog>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/qt/DispatchWnd.h"
#include "dialogs/AccountDialogs.h"
#include "dialogs/ModalHook.h"

namespace Controller {

int CDispatchWnd::RunDialog(QDialog& dialog) {
    // An error dialog may open over another one: the outer one is open again
    // once it closes.
    const QPointer<QDialog> outer = openDialog;
    openDialog = &dialog;
    const int result = dialogs::ExecModal(dialog);
    openDialog = outer;
    if (!openDialog && !pendingDialogs.empty() && !closed) {
        platform::PostMessage(Handle(), kDispatchPendingDialogs);
    }
    return closed ? QDialog::Rejected : result;
}

void CDispatchWnd::DeferDialog(PendingDialog kind) {
    // The same request twice asks the same question once.
    for (PendingDialog waiting : pendingDialogs) {
        if (waiting == kind) {
            return;
        }
    }
    pendingDialogs.push_back(kind);
}

void CDispatchWnd::ShowPendingDialogs() {
    if (closed) {
        pendingDialogs.clear();
        return;
    }
    if (openDialog || pendingDialogs.empty()) {
        return;  // the next close posts again
    }
    const PendingDialog kind = pendingDialogs.front();
    pendingDialogs.pop_front();
    switch (kind) {
        case PendingDialog::kAuth:
            ShowAuthDialog();
            break;
        case PendingDialog::kAccount:
            ShowAccountDialog(false);
            break;
        case PendingDialog::kAccountProxy:
            ShowAccountDialog(true);
            break;
    }
}

void CDispatchWnd::ShowAuthDialog() {
    if (openDialog) {
        DeferDialog(PendingDialog::kAuth);
        return;
    }
    const std::wstring stored = config->GetAccountId();
    CAuthErrorDlg dialog(stored, this);
    if (RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const bool changed = dialog.Account() != stored;
    config->SetAccountId(dialog.Account());
    config->SetAccountPassword(dialog.Password());
    manager->ChangeAccount(dialog.Account(), dialog.Password());
    if (changed) {
        platform::PostMessage(Handle(), kDispatchWizardRequest, kWizardForReset);
    } else {
        manager->SyncEvents();
    }
}

void CDispatchWnd::ShowAccountDialog(bool proxy) {
    if (openDialog) {
        DeferDialog(proxy ? PendingDialog::kAccountProxy : PendingDialog::kAccount);
        return;
    }
    Log(Utility::kLogAction, "set google");
    CSetGoogleAccountDlg dialog(*config, proxy, this);
    if (RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    manager->ChangeAccount(dialog.Account(), dialog.Password());
    manager->SetProxy(dialog.ProxyEnabled(), dialog.Proxy(), dialog.ProxyUser(),
                      dialog.ProxyPassword());
    if (dialog.AccountChanged()) {
        platform::PostMessage(Handle(), kDispatchWizardRequest, kWizardForReset);
    } else {
        manager->SyncEvents();
    }
}

void CDispatchWnd::ShowErrorDialog(bool settingsOffer) {
    if (errorDialogOpen) {
        return;  // one error dialog at a time: the open one tells the same
    }
    errorDialogOpen = true;
    CErrorDlg dialog(manager->GetLastErrorDescription(), manager->GetLastErrorText(), settingsOffer,
                     this);
    const int result = RunDialog(dialog);
    errorDialogOpen = false;
    if (result == QDialog::Accepted && settingsOffer) {
        windows->OpenFirstSettings();
    }
}

}  // namespace Controller
