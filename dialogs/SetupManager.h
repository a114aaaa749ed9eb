// ISetupManager: what the setup wizard, the calendar settings dialog and the
// option dialog ask of the calendar manager: set-up and account changes, the
// downloads of the first start, the calendar flags, the pending-request
// count and the last error. The program plugs in the real manager
// (controller/qt/DispatchAdapters.h); tests may plug in a fake.
//
// Called on the user-interface thread only. The manager's notifications
// reach the dialogs as posted messages to the window registered with
// AddListener.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "model/Calendar.h"
#include "platform/WindowMessages.h"

namespace Utility {
class CMaintenanceLog;
}

class ISetupManager {
public:
    virtual ~ISetupManager() = default;

    // The operations with a body do nothing in stand-ins that leave them
    // out; the real manager implements all.

    // True once Initialize has run and until Terminate.
    virtual bool IsInitialized() const { return false; }
    virtual void Initialize(const std::wstring& account, const std::wstring& password,
                            Utility::CMaintenanceLog* log) = 0;
    virtual void Terminate() = 0;
    virtual void ChangeAccount(const std::wstring& account, const std::wstring& password) = 0;
    // Deletes the current account's database and opens a new empty one.
    virtual void Reset() {}
    virtual void SetProxy(bool enabled, const std::wstring& proxy, const std::wstring& user,
                          const std::wstring& password) = 0;
    virtual void SetHttpLog(bool enabled, const std::string& folder, bool curlLog) = 0;
    virtual void AddListener(platform::WindowHandle window, uint32_t message) = 0;
    virtual void RemoveListener(platform::WindowHandle) {}

    virtual void DownloadCalenar() = 0;
    virtual void DownloadHoliday(const std::wstring& calendarURI, int firstYear, int lastYear) = 0;
    virtual void DownloadAllEvent(const std::wstring& calendarURI) = 0;
    virtual void SyncEvents() = 0;
    virtual void CreateLocalDB(const std::wstring& holidayCalendarURI) = 0;
    virtual void UpdateCalendar(const std::wstring& /*calendarURI*/, bool /*showEvents*/,
                                bool /*writeEvents*/) {}

    virtual bool GetCalendars(std::list<Model::Calendar>& calendars) = 0;
    // The public holiday calendar's feed under the service base `loginUrl`.
    virtual std::wstring GetHolidayCalendarURI(const std::wstring& loginUrl) = 0;
    // Requests queued and not yet finished (read under the manager's lock).
    virtual size_t GetPendingRequestCount() { return 0; }
    virtual std::wstring GetLastErrorDescription() const = 0;
    virtual std::wstring GetLastErrorText() const = 0;
};
