// The calendar manager's iCalendar export and import (controller/IcalExchange.h
// does the work; this file picks the calendars and tells the views).
#include <list>
#include <string>

#include "app/MaintenanceLog.h"
#include "controller/Agenda.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"

namespace Controller {
namespace {

const char* const kLocalCalendarURI = "localEvent";

bool IsWritable(const googledata::PrimitiveCalendar& c) {
    return !c.isHoliday && (c.flags & googledata::kCalendarFlagWriteEvents) != 0 &&
           c.accesslevel >= googledata::ACCESS_EDITOR;
}

bool IsCalled(const googledata::PrimitiveCalendar& c, const std::string& calendarId) {
    return CalendarIdOfUri(c.calendarURI) == calendarId || c.id == calendarId ||
           c.calendarURI == calendarId;
}

}  // namespace

bool CCalendarManager::OpenForWriting(const std::wstring& account) {
    account_ = account;
    const std::string path = DatabasePath(account);
    return platform::FileExists(path) && db_.Initialize(path, log_);
}

bool CCalendarManager::FindImportCalendar(const std::string& calendarId, std::string& calendarURI,
                                          IcalProblem& problem) {
    std::list<googledata::PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        problem = {0, "データベースを読めません"};
        return false;
    }
    if (!calendarId.empty()) {
        for (const auto& c : calendars) {
            if (!c.isHoliday && IsCalled(c, calendarId)) {
                if (!IsWritable(c)) {
                    problem = {0, "カレンダー " + calendarId + " には書き込めません"};
                    return false;
                }
                calendarURI = c.calendarURI;
                return true;
            }
        }
        problem = {0, "カレンダー " + calendarId + " がありません"};
        return false;
    }
    const std::string account = platform::WideToUtf8(account_);
    const googledata::PrimitiveCalendar* chosen = nullptr;
    for (const auto& c : calendars) {
        if (!IsWritable(c)) {
            continue;
        }
        const bool own = CalendarMode() == googledata::kCalendarModeLocal
                             ? c.calendarURI == kLocalCalendarURI
                             : c.id == account || CalendarIdOfUri(c.calendarURI) == account;
        if (own || chosen == nullptr) {
            chosen = &c;
            if (own) {
                break;
            }
        }
    }
    if (chosen == nullptr) {
        problem = {0, "書き込めるカレンダーがありません"};
        return false;
    }
    calendarURI = chosen->calendarURI;
    return true;
}

IcalFileResult CCalendarManager::ExportIcalendar(const std::string& path,
                                                 const std::string& calendarId) {
    IcalFileResult result;
    std::list<googledata::PrimitiveCalendar> calendars;
    if (!db_.GetCalendars(calendars)) {
        result.problem = {0, "データベースを読めません"};
        return result;
    }
    if (!calendarId.empty()) {
        calendars.remove_if([&](const googledata::PrimitiveCalendar& c) {
            return c.isHoliday || !IsCalled(c, calendarId);
        });
        if (calendars.empty()) {
            result.noSuchCalendar = true;
            result.problem = {0, "カレンダー " + calendarId + " がありません"};
            return result;
        }
    }
    std::string text;
    if (!Controller::ExportIcalendar(db_, calendars, text, result.exported)) {
        result.problem = {0, "データベースを読めません"};
        return result;
    }
    std::string error;
    if (!WriteIcalendarFile(path, text, error)) {
        result.problem = {0, error};
        return result;
    }
    Log(Utility::kLogInfo, "<calmng> export ical: " + std::to_string(result.exported.events) +
                               " events, " + std::to_string(result.exported.zones) + " zones");
    result.ok = true;
    return result;
}

IcalFileResult CCalendarManager::ImportIcalendar(const std::string& path,
                                                 const std::string& calendarId) {
    IcalFileResult result;
    if (!FindImportCalendar(calendarId, result.calendarURI, result.problem)) {
        result.noSuchCalendar = !calendarId.empty();
        return result;
    }
    std::string bytes;
    if (!ReadIcalendarFile(path, bytes, result.problem)) {
        return result;
    }
    std::vector<googledata::PrimitiveEvent> events;
    if (!ParseIcalendar(bytes, result.calendarURI, events, result.problem)) {
        Log(Utility::kLogWarn, "<calmng> import ical refused: line " +
                                   std::to_string(result.problem.line) + " " +
                                   result.problem.message);
        return result;
    }
    if (!StoreImportedEvents(db_, result.calendarURI, events, result.imported)) {
        result.problem = {0, "データベースに書き込めません (何も取り込んでいません)"};
        return result;
    }
    Log(Utility::kLogInfo, "<calmng> import ical: " + std::to_string(result.imported.added) +
                               " added, " + std::to_string(result.imported.updated) + " updated");
    result.ok = true;
    recurrences_.Clear();
    if (running_ && CalendarMode() != googledata::kCalendarModeLocal) {
        std::lock_guard<std::mutex> guard(queueMutex_);
        SyncEventLocked(result.calendarURI);
    }
    NotifyAll(NOTIFY_EVENT_UPDATED, 0);
    return result;
}

}  // namespace Controller
