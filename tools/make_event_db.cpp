// Prepares a Daymark data folder in local calendar mode whose database holds
// a given number of events, spread over the current month and the months
// around it (timed and all-day), and optionally weekly series started five
// years earlier (half with an inline VTIMEZONE as the service sends them,
// half naming a zone libical knows), for measuring start-up, idle and agenda
// costs:
//   build/bin/make_event_db <data folder> [events=10000] [series=0]
// The folder gets config.ini (calendar_mode 2, a login_url no one answers;
// local mode never needs it) and local.db with Daymark's own holiday calendar.
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/OfflineHolidays.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <data folder> [events]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int seriesCount = argc > 3 ? std::atoi(argv[3]) : 0;
    if (!platform::CreateFolderTree(folder + "/log")) {
        std::fprintf(stderr, "cannot create %s\n", folder.c_str());
        return 1;
    }
    const std::string ini = folder + "/config.ini";
    platform::WritePrivateProfileString("general", "calendar_mode",
                                        std::to_string(googledata::kCalendarModeLocal), ini);
    platform::WritePrivateProfileString("general", "login_url", "https://127.0.0.1:9", ini);

    Controller::CCalendarManager manager(ini, folder);
    manager.SetLoginUrl(L"https://127.0.0.1:9");
    manager.Initialize(L"local", L"", nullptr);
    manager.CreateLocalDB(platform::Utf8ToWide(Controller::kOfflineHolidayCalendarURI));
    std::list<Model::Calendar> calendars;
    manager.GetCalendars(calendars);
    std::string calendarURI;
    for (const Model::Calendar& c : calendars) {
        if (!c.isHoliday) {
            calendarURI = platform::WideToUtf8(c.calendarURI);
        }
    }
    if (calendarURI.empty()) {
        std::fprintf(stderr, "no local calendar\n");
        return 1;
    }

    const platform::CTime now = platform::CTime::GetCurrentTime();
    for (int i = 0; i < count; ++i) {
        // Months -1, 0 and +1 around today, every day, several per day.
        int year = now.GetYear();
        int month = now.GetMonth() + (i % 3) - 1;
        if (month < 1) {
            month += 12;
            --year;
        } else if (month > 12) {
            month -= 12;
            ++year;
        }
        const int day = 1 + (i / 3) % 28;
        const int hour = 6 + (i / 84) % 14;
        char start[64];
        char end[64];
        googledata::PrimitiveEvent event;
        event.title = "Event " + std::to_string(i);
        event.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
        if (i % 10 == 0) {
            std::snprintf(start, sizeof start, "%04d-%02d-%02d", year, month, day);
            std::snprintf(end, sizeof end, "%04d-%02d-%02d", year, month, day + 1);
        } else {
            std::snprintf(start, sizeof start, "%04d-%02d-%02dT%02d:00:00.000+09:00", year, month,
                          day, hour);
            std::snprintf(end, sizeof end, "%04d-%02d-%02dT%02d:30:00.000+09:00", year, month, day,
                          hour);
        }
        event.startTime = start;
        event.endTime = end;
        if (!manager.Database().AddEvent(calendarURI, event, false)) {
            std::fprintf(stderr, "event %d not stored\n", i);
            return 1;
        }
    }
    static const char* const kTokyoZone =
        "BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\nX-LIC-LOCATION:Asia/Tokyo\nBEGIN:STANDARD\n"
        "TZOFFSETFROM:+0900\nTZOFFSETTO:+0900\nTZNAME:JST\nDTSTART:19700101T000000\n"
        "END:STANDARD\nEND:VTIMEZONE\n";
    for (int i = 0; i < seriesCount; ++i) {
        char day[16];
        std::snprintf(day, sizeof day, "%04d%02d%02d", now.GetYear() - 5, 1 + i % 12, 1 + i % 28);
        const bool tokyo = i % 2 == 0;
        const std::string zone = tokyo ? "Asia/Tokyo" : "America/New_York";
        googledata::PrimitiveEvent series;
        series.title = "Series " + std::to_string(i);
        series.uid = "series" + std::to_string(i) + "@example.com";
        series.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
        series.recurrenceType = googledata::RECURRENCE_ORIGINAL;
        series.recurrence = "DTSTART;TZID=" + zone + ":" + day + "T100000\nDTEND;TZID=" + zone +
                            ":" + day + "T113000\nRRULE:FREQ=WEEKLY\n" + (tokyo ? kTokyoZone : "");
        if (!manager.Database().AddEvent(calendarURI, series, false)) {
            std::fprintf(stderr, "series %d not stored\n", i);
            return 1;
        }
    }
    manager.Database().UpdateQueryStatistics();
    manager.Terminate();
    std::printf("%d events and %d series in %s/local.db\n", count, seriesCount, folder.c_str());
    return 0;
}
