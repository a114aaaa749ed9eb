#include "controller/qt/CalendarWndManagerSource.h"

#include "controller/CalendarManager.h"

bool CCalendarWndManagerSource::GetEvents(std::list<Model::Event>& events, int year, int month,
                                          int count) {
    return manager_.GetEvents(events, year, month, count);
}

bool CCalendarWndManagerSource::GetHolidays(std::list<Model::Holiday>& holidays, int year,
                                            int month, int count,
                                            const std::wstring& calendarFilter) {
    return manager_.GetHolidays(holidays, year, month, count, calendarFilter);
}

void CCalendarWndManagerSource::AddListener(platform::WindowHandle window, uint32_t message) {
    manager_.AddListener(window, message);
}

void CCalendarWndManagerSource::RemoveListener(platform::WindowHandle window) {
    manager_.RemoveListener(window);
}

bool CCalendarWndManagerSource::HasHolidays(int year) {
    return manager_.HasHolidays(year);
}

void CCalendarWndManagerSource::RequestHolidays(int year) {
    manager_.DownloadAllHolidays(year, year);
}

void CCalendarWndManagerSource::SyncEvents() {
    manager_.SyncEvents();
}

bool CCalendarWndManagerSource::GetCalendars(std::list<Model::Calendar>& calendars) {
    return manager_.GetCalendars(calendars);
}

void CCalendarWndManagerSource::AddEvent(const Model::Event& event) {
    manager_.AddEvent(event);
}

void CCalendarWndManagerSource::UpdateEvent(const Model::Event& event) {
    manager_.UpdateEvent(event);
}

Controller::IcalFileResult CCalendarWndManagerSource::ImportIcalendar(const std::string& path) {
    return manager_.ImportIcalendar(path, "");
}

Controller::IcalFileResult CCalendarWndManagerSource::ExportIcalendar(const std::string& path) {
    return manager_.ExportIcalendar(path, "");
}

bool CCalendarWndManagerSource::IsEventSynced(const std::wstring& calendarURI,
                                              const std::wstring& localEventID) {
    return manager_.IsEventSynced(calendarURI, localEventID);
}
