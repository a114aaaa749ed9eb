// Controller::CCalendarWndHost: the program's ICalendarWndHost, the one place
// where a calendar window's commands open dialogs and web pages. Its
// operations live in one file per dialog family:
//   LaunchEventDialogs.cpp  the event detail dialog (new and existing events);
//   LaunchSetupDialogs.cpp  the option dialog, calendar and holiday settings,
//                           the setup wizard request;
//   LaunchStyleDialogs.cpp  the style dialog, the style editor, the about box
//                           with the support bundle;
//   LaunchIcalDialogs.cpp   the file dialogs and message of the iCalendar
//                           import and export;
//   CalendarWndHostImpl.cpp web pages and what the families share.
//
// Made and owned by the registry adapter (DispatchAdapters.cpp), which also
// hands it the dispatch window once the windows are loaded. User-interface
// thread only.
#pragma once

#include <string>

#include "platform/WindowMessages.h"
#include "view/CalendarWndHost.h"

namespace Model {
class CCalendarStyleInfo;
class CConfigInfo;
class CManiacOption;
}  // namespace Model
namespace Utility {
class CMaintenanceLog;
}
class ICalendarWndSource;

namespace Controller {

class IDispatchManager;
class ICalendarWindows;

class CCalendarWndHost : public ICalendarWndHost {
public:
    // Borrowed; each outlives the host. Any may be null in tests.
    struct Setup {
        Model::CConfigInfo* config = nullptr;
        const Model::CManiacOption* maniac = nullptr;
        Utility::CMaintenanceLog* log = nullptr;
        IDispatchManager* manager = nullptr;
        ICalendarWndSource* source = nullptr;
        ICalendarWindows* windows = nullptr;
        // The application's style, which the style dialogs load and edit.
        Model::CCalendarStyleInfo* style = nullptr;
        std::string dataFolder;
        std::string programFolder;
        platform::WindowHandle dispatchWindow = 0;
        uint32_t commandMessage = 0;
    };

    explicit CCalendarWndHost(Setup setup);
    ~CCalendarWndHost() override;

    // The dispatch window and its command message, and the data folder, once
    // the windows are loaded.
    void SetDispatch(platform::WindowHandle window, uint32_t commandMessage,
                     const std::string& dataFolder);

    // LaunchSetupDialogs.cpp
    bool OpenOptionDialog(CCalendarWnd& wnd) override;
    bool OpenCalendarSettings(CCalendarWnd& wnd) override;
    bool OpenHolidaySettings(CCalendarWnd& wnd) override;
    // Posts the wizard request (kWizardForReset or kWizardForNewAccount) to
    // the dispatch window.
    void RequestWizard(uint32_t kind);

    // LaunchStyleDialogs.cpp
    bool OpenStyleDialog(CCalendarWnd& wnd, bool& weekStartChanged) override;
    void OpenStyleEditor(CCalendarWnd& wnd) override;
    void OpenAboutBox(CCalendarWnd& wnd) override;

    // LaunchEventDialogs.cpp
    bool OpenNewEvent(CCalendarWnd& wnd, const NewEventRequest& request) override;
    bool OpenEventDetail(CCalendarWnd& wnd, const Model::Event& event) override;

    // LaunchIcalDialogs.cpp
    std::string ChooseIcalendarFile(CCalendarWnd& wnd, bool forWriting) override;
    void ShowIcalendarResult(CCalendarWnd& wnd, const std::wstring& text, bool failed) override;

    // CalendarWndHostImpl.cpp
    void OpenUrl(const std::string& url) override;
    void OpenHelp() override;
    // The product's web site ("scheme://host", from the version page's
    // address debug/version_check_url); empty when none is configured.
    std::string ProductSite() const;

    // What the dialog families share (CalendarWndHostImpl.cpp).
    const Setup& GetSetup() const { return setup_; }
    // Every window refills its holiday and event caches and redraws (after
    // the calendar or holiday settings).
    void UpdateAllCaches();
    // Every window re-assigns its dates, restyles and redraws (after the
    // options).
    void RedrawAll();
    // Every window re-creates its icon bar (the icon bar options changed).
    void RebuildIconBars();

private:
    void Log(const char* level, const std::string& text) const;

    Setup setup_;
};

}  // namespace Controller
