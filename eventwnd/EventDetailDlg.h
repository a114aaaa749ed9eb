// CEventDetailDlg: the modal dialog in which the user enters a new event with
// all its details, or edits or deletes an existing one. It hosts one
// CEventDetailPanel on a single tab; OK hands the edited event to the
// calendar manager (AddEvent for a new one, UpdateEvent for an existing one),
// Delete marks the event cancelled and hands it over as an update, Cancel
// changes nothing. An occurrence of a recurring series stands for its series:
// editing or deleting it edits or deletes the series.
//
// The manager is reached through ICalendarWndSource, message boxes through
// the modal hook. Created per use on the user-interface thread; the source,
// configuration and log are borrowed.
#pragma once

#include <QDialog>
#include <string>

#include "model/Event.h"
#include "platform/Time.h"

class CEventDetailPanel;
class ICalendarWndSource;
class QPushButton;
class QTabWidget;
namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

class CEventDetailDlg : public QDialog {
    Q_OBJECT
public:
    // A new event: the calendar to preselect and the title (either may be
    // empty), the proposed start and end, and the all-day flag.
    CEventDetailDlg(ICalendarWndSource& source, Model::CConfigInfo* config,
                    Utility::CMaintenanceLog* log, const std::wstring& calendarURI,
                    const std::wstring& title, const platform::CTime& start,
                    const platform::CTime& end, bool allDay, QWidget* parent = nullptr);
    // An existing event (or an occurrence of a series).
    CEventDetailDlg(ICalendarWndSource& source, Model::CConfigInfo* config,
                    Utility::CMaintenanceLog* log, const Model::Event& event,
                    QWidget* parent = nullptr);
    ~CEventDetailDlg() override;

    // Runs the dialog (through the modal hook). An existing event that still
    // waits for its upload in account mode is refused with a message and the
    // dialog does not open. Accepted when the event was handed over.
    int Run();

    // A detail dialog is open somewhere in the process.
    static bool IsOpen();

    bool IsNew() const { return isNew_; }
    CEventDetailPanel& Panel() { return *panel_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* DeleteButton() const { return delete_; }

    // The buttons' work (public so that a test hook can press them).
    void OnOk();
    void OnDelete();
    void OnCancel();

protected:
    void reject() override;  // Escape and the window's close box: as Cancel
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    void Log(const char* level, const std::string& text) const;

    ICalendarWndSource& source_;
    Model::CConfigInfo* config_;
    Utility::CMaintenanceLog* log_;
    bool isNew_;
    Model::Event event_;  // the working copy; the panel writes into it on OK
    QTabWidget* tabs_ = nullptr;
    CEventDetailPanel* panel_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* delete_ = nullptr;
    bool openFlagSet_ = false;
};
