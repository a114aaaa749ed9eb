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
    openDialog = &dialog;
    const int result = dialogs::ExecModal(dialog);
    openDialog = nullptr;
    return closed ? QDialog::Rejected : result;
}

void CDispatchWnd::ShowAuthDialog() {
    if (openDialog) {
        return;  // one dialog at a time; the open one asks the same
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
    if (errorDialogOpen || openDialog) {
        return;
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
