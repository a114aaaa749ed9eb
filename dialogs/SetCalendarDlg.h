// CSetCalendarDlg: the calendar settings dialog. For each calendar of the
// account the user decides whether its events are shown and whether new
// events may be written into it (a CDoubleCheckListCtrl); OK hands every
// row's pair of flags to the calendar manager. OK stays disabled when
// requests were pending at the opening (a synchronisation is running).
// "Reset" asks, then posts the reset request to the dispatch window, which
// reopens the setup wizard in reset mode, and closes the dialog.
//
// Modal; user-interface thread only. While one is open IsOpen() is true, so
// that no second one is opened. Object names: "setCalendarDlg",
// "calendarList", "okButton", "cancelButton", "resetButton".
#pragma once

#include <QDialog>
#include <string>

#include "platform/WindowMessages.h"

class CDoubleCheckListCtrl;
class ISetupManager;
class QPushButton;

class CSetCalendarDlg : public QDialog {
    Q_OBJECT
public:
    // `dispatchWindow` receives `wizardRequest` (wParam 0: reset) from Reset.
    CSetCalendarDlg(ISetupManager& manager, const std::string& imageFolder,
                    platform::WindowHandle dispatchWindow, uint32_t wizardRequest,
                    QWidget* parent = nullptr);
    ~CSetCalendarDlg() override;

    static bool IsOpen() { return openCount > 0; }
    CDoubleCheckListCtrl* List() const { return list; }

    void accept() override;

private:
    void Reset();

    static inline int openCount = 0;
    ISetupManager& manager;
    platform::WindowHandle dispatchWindow;
    uint32_t wizardRequest;
    CDoubleCheckListCtrl* list;
    QPushButton* okButton;
};
