// CCalendarWndManagerSource: the calendar manager as a calendar window's data
// source (view/CalendarWndSource.h), so that windows reach the manager only
// through that interface. It forwards the calls and adds nothing; the
// manager outlives it. User-interface thread only, as the windows that call
// it.
#pragma once

#include "view/CalendarWndSource.h"

namespace Controller {
class CCalendarManager;
}

class CCalendarWndManagerSource : public ICalendarWndSource {
public:
    explicit CCalendarWndManagerSource(Controller::CCalendarManager& manager) : manager_(manager) {}

    bool GetEvents(std::list<Model::Event>& events, int year, int month, int count) override;
    bool GetHolidays(std::list<Model::Holiday>& holidays, int year, int month, int count,
                     const std::wstring& calendarFilter) override;
    void AddListener(platform::WindowHandle window, uint32_t message) override;
    void RemoveListener(platform::WindowHandle window) override;
    bool HasHolidays(int year) override;
    void RequestHolidays(int year) override;
    void SyncEvents() override;
    bool GetCalendars(std::list<Model::Calendar>& calendars) override;
    void AddEvent(const Model::Event& event) override;
    void UpdateEvent(const Model::Event& event) override;
    Controller::IcalFileResult ImportIcalendar(const std::string& path) override;
    Controller::IcalFileResult ExportIcalendar(const std::string& path) override;
    bool IsEventSynced(const std::wstring& calendarURI, const std::wstring& localEventID) override;

private:
    Controller::CCalendarManager& manager_;
};
