// The two collaborators of the dispatch window, seen through the operations
// it uses: the calendar manager (the sync engine) and the registry of open
// calendar windows. The program plugs in the real ones (DispatchAdapters.h);
// tests plug in recording stand-ins.
//
// Both are owned by the dispatch window and called on the user-interface
// thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "model/Calendar.h"
#include "platform/WindowMessages.h"

class ICalendarWndSource;
namespace Model {
class CCalendarWndManager;
}
namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class IDispatchManager {
public:
    virtual ~IDispatchManager() = default;

    virtual void Initialize(const std::wstring& account, const std::wstring& password,
                            Utility::CMaintenanceLog* log) = 0;
    virtual void Terminate() = 0;
    virtual void ChangeAccount(const std::wstring& account, const std::wstring& password) = 0;
    virtual void SetDisableSync(bool disabled) = 0;
    virtual void SetProxy(bool enabled, const std::wstring& proxy, const std::wstring& user,
                          const std::wstring& password) = 0;
    virtual void SetHttpLog(bool enabled, const std::string& folder, bool curlLog) = 0;
    virtual void SetExtraCaFile(const std::string& path) = 0;
    virtual void SetLoginUrl(const std::wstring& url) = 0;
    virtual void AddListener(platform::WindowHandle window, uint32_t message) = 0;

    virtual void DownloadCalenar() = 0;
    virtual void DownloadHoliday(const std::wstring& calendarURI, int firstYear, int lastYear) = 0;
    virtual void DownloadAllEvent(const std::wstring& calendarURI) = 0;
    virtual void SyncEvents() = 0;
    virtual void CreateLocalDB(const std::wstring& holidayCalendarURI) = 0;

    virtual bool GetCalendars(std::list<Model::Calendar>& calendars) = 0;
    virtual bool GetUnretrievedHolidayYears(const std::wstring& holidayCalendarURI, int& firstYear,
                                            int& lastYear) = 0;
    virtual std::wstring GetHolidayCalendarURI(const std::wstring& loginUrl) = 0;
    virtual std::wstring GetLastErrorDescription() const = 0;
    virtual std::wstring GetLastErrorText() const = 0;
    // Writes (true) or deletes (false) the database dump "log/db.txt".
    virtual void DumpDatabase(bool write) { (void)write; }

    // What the calendar windows read their events and holidays through;
    // null when there is nothing to read.
    virtual ICalendarWndSource* WindowSource() { return nullptr; }
};

class ICalendarWindows {
public:
    virtual ~ICalendarWindows() = default;

    // Reads the position file in `folder`, creates the windows (one default
    // window when none is listed); each window reports to `dispatch` with
    // `commandMessage`.
    virtual void LoadAndCreate(const std::string& folder, platform::WindowHandle dispatch,
                               uint32_t commandMessage) = 0;
    // False when the position file could not be written.
    virtual bool SavePositions(const std::string& folder) = 0;
    virtual void NewWindow() = 0;
    // Takes window `id` out of the list and hides it; the caller deletes the
    // returned object later. Null when no window has the id.
    virtual std::unique_ptr<QObject> CloseWindow(int id) = 0;
    virtual void AlignWindows() = 0;
    virtual void ShowCurrentMonths() = 0;
    virtual void RefreshAll() = 0;
    virtual void DateChanged() = 0;
    virtual void ForwardEventUpdate() = 0;
    virtual void RebuildIconBars() = 0;
    virtual void DumpWindows(bool write) = 0;

    virtual int Count() const = 0;
    // Each window in list order: its update with `flag` (0 rebuild, 1 move
    // to today's month plus its offset).
    virtual void UpdateAll(int flag) = 0;
    // Each window in list order: holiday cache, event cache, update(0).
    virtual void UpdateAllCaches() = 0;
    virtual void RefreshBottomBars() = 0;
    // Each window reacts to the mouse being over it or its icon bar. Called
    // every 100 ms: must cost next to nothing while the mouse is elsewhere.
    virtual void CheckMouse() = 0;
    virtual void BringAllToFront() = 0;
    virtual void ShowFirstContextMenu(const QPoint& screenPos) = 0;
    virtual void OpenFirstSettings() = 0;

    // The real registry behind the port (tests look at its windows); null
    // for stand-ins.
    virtual Model::CCalendarWndManager* Registry() { return nullptr; }
};

}  // namespace Controller
