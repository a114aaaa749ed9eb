// CCalendarWndHost: the option dialog, the calendar settings and the holiday
// settings, and what follows their OK.
#include <QDialog>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "controller/qt/DispatchMessages.h"
#include "controller/qt/DispatchPorts.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetCalendarDlg.h"
#include "dialogs/SetManiacOptionDlg.h"
#include "platform/Folders.h"

namespace Controller {

bool CCalendarWndHost::OpenOptionDialog(CCalendarWnd&) {
    if (setup_.config == nullptr || setup_.manager == nullptr) {
        return false;
    }
    Model::CConfigInfo& config = *setup_.config;
    CSetManiacOptionDlg dialog(ManiacOptions::FromConfig(config),
                               config.GetCalendarMode() == googledata::kCalendarModeLocal);
    if (dialogs::ExecModal(dialog) != QDialog::Accepted) {
        return false;
    }
    ManiacApplyTarget target;
    target.dispatchWindow = setup_.dispatchWindow;
    target.commandMessage = kDispatchCommand;
    target.rebuildIconBarCommand = kCmdRebuildIconBar;
    target.wizardRequest = kDispatchWizardRequest;
    target.newAccountKind = kWizardForNewAccount;
    ApplyManiacOptions(dialog.Values(), config, *setup_.manager, target, [this] { RedrawAll(); });
    return true;
}

bool CCalendarWndHost::OpenCalendarSettings(CCalendarWnd&) {
    if (setup_.manager == nullptr || CSetCalendarDlg::IsOpen()) {
        return false;
    }
    // Images lie in the "image" folder beside the program file.
    const std::string programFolder =
        setup_.programFolder.empty() ? platform::GetProgramFolder() : setup_.programFolder;
    CSetCalendarDlg dialog(*setup_.manager, programFolder + "/image", setup_.dispatchWindow,
                           kDispatchWizardRequest);
    if (dialogs::ExecModal(dialog) != QDialog::Accepted) {
        return false;
    }
    UpdateAllCaches();
    return true;
}

bool CCalendarWndHost::OpenHolidaySettings(CCalendarWnd&) {
    Log(Utility::kLogInfo, "<host> holiday settings dialog not available yet");
    return false;
}

}  // namespace Controller
