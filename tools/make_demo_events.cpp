// Prepares a Daymark data folder in local calendar mode with one busy day
// for looking at the event windows: on the given day (default: the 18th of
// the current month) a holiday, an all-day event and three timed events, one
// of them with two reminders of its own.
//   build/bin/make_demo_events <data folder> [day]
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>

#include "controller/CalendarManager.h"
#include "controller/OfflineHolidays.h"
#include "googledata/ProtocolNumbers.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <data folder> [day]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int dayOfMonth = argc > 2 ? std::atoi(argv[2]) : 18;
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
    const std::wstring holidays = platform::Utf8ToWide(Controller::kOfflineHolidayCalendarURI);
    manager.CreateLocalDB(holidays);

    const platform::CTime now = platform::CTime::GetCurrentTime();
    const int year = now.GetYear();
    const int month = now.GetMonth();
    const platform::CTime day(year, month, dayOfMonth, 0, 0, 0);

    googledata::PrimitiveHoliday holiday;
    holiday.id = "demo-holiday";
    holiday.title = "創立記念日";
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, dayOfMonth);
    holiday.date = date;
    holiday.status = 2;
    manager.Database().UpsertHoliday(platform::WideToUtf8(holidays), googledata::PrimitiveTime(),
                                     holiday);

    auto add = [&](const std::wstring& title, int hour, int minute, int minutes, bool allDay,
                   std::vector<Model::Reminder> reminders) {
        Model::Event e;
        e.calendarURI = L"localEvent";
        e.title = title;
        e.isAllDay = allDay;
        e.startTime = allDay ? day : platform::CTime(year, month, dayOfMonth, hour, minute, 0);
        e.endTime = allDay ? day + 86400 : e.startTime + 60 * minutes;
        e.author_name = e.author_email = L"local";
        e.reminders = std::move(reminders);
        manager.AddEvent(e);
    };
    add(L"社員旅行（箱根）", 0, 0, 0, true, {{L"all", 0}});
    add(L"朝会", 9, 30, 30, false, {{L"all", 0}});
    add(L"歯医者", 13, 0, 60, false, {{L"email", 30}, {L"alert", 1440}});
    add(L"忘年会（渋谷の居酒屋、二次会はカラオケ）", 19, 0, 180, false, {{L"all", 0}});
    manager.Terminate();
    std::printf("demo day %s in %s\n", date, folder.c_str());
    return 0;
}
