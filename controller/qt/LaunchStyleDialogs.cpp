// CCalendarWndHost: the style dialog, the style editor and the about box
// (which starts the support bundle).
#include <QDialog>

#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "controller/qt/DispatchPorts.h"
#include "controller/qt/RegistryStyleTargets.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetStyleDlg.h"
#include "dialogs/SupportDlg.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Folders.h"

namespace Controller {
namespace {

std::string DataFolder(const std::string& folder) {
    return folder.empty() ? platform::GetDataFolder() : folder;
}

}  // namespace

bool CCalendarWndHost::OpenStyleDialog(CCalendarWnd&, bool& weekStartChanged) {
    weekStartChanged = false;
    Model::CCalendarWndManager* registry = setup_.windows ? setup_.windows->Registry() : nullptr;
    if (setup_.config == nullptr || setup_.style == nullptr || registry == nullptr) {
        Log(Utility::kLogWarn, "<host> style dialog: no style or windows");
        return false;
    }
    if (CSetStyleDlg::IsOpen()) {
        return false;  // one at a time
    }
    CRegistryStyleTargets targets(*registry, *setup_.style);
    CSetStyleDlg dialog(*setup_.config, DataFolder(setup_.dataFolder) + "/style", targets);
    if (dialogs::ExecModal(dialog) != QDialog::Accepted) {
        return false;
    }
    weekStartChanged = dialog.WeekStartChanged();
    return true;
}

void CCalendarWndHost::OpenStyleEditor(CCalendarWnd&) {
    Model::CCalendarWndManager* registry = setup_.windows ? setup_.windows->Registry() : nullptr;
    if (setup_.style == nullptr || registry == nullptr) {
        Log(Utility::kLogWarn, "<host> style editor: no style or windows");
        return;
    }
    if (CSetStyleDlg::IsOpen()) {
        return;
    }
    // The same backup as from the style dialog: a cancelled editor leaves
    // the file as it was, also after a restore from ".org".
    CRegistryStyleTargets targets(*registry, *setup_.style);
    EditStyleWithBackup(setup_.style->path, targets, nullptr);
}

void CCalendarWndHost::OpenAboutBox(CCalendarWnd&) {
    SupportBundleParts parts;
    parts.dataFolder = DataFolder(setup_.dataFolder);
    parts.log = setup_.log;
    if (setup_.windows != nullptr) {
        ICalendarWindows* windows = setup_.windows;
        parts.dumpWindows = [windows](bool write) { windows->DumpWindows(write); };
    }
    if (setup_.manager != nullptr) {
        IDispatchManager* manager = setup_.manager;
        parts.dumpDatabase = [manager](bool write) { manager->DumpDatabase(write); };
    }
    CAboutDlg dialog(parts);
    dialogs::ExecModal(dialog);
}

}  // namespace Controller
