#include "googledata/GoogleCalendarAPI.h"

#include <cstdio>
#include <exception>

#include "app/MaintenanceLog.h"
#include "googledata/AtomReader.h"
#include "googledata/EntryWriter.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace googledata {
namespace {

constexpr const char* kDefaultBase = "https://www.google.com";
constexpr const char* kFeedQuery =
    "&showdeleted=true&showhidden=true&singleevents=false&max-results=500";

bool IsNextLink(const std::string& url) {
    return url.find("start-index=") != std::string::npos;
}

std::string Tail(const std::string& text, size_t n) {
    return text.size() > n ? text.substr(text.size() - n) : text;
}

}  // namespace

GoogleCalendarAPI::GoogleCalendarAPI(Utility::CMaintenanceLog* log)
    : xml(log), log(log), serviceBase(kDefaultBase) {}

GoogleCalendarAPI::~GoogleCalendarAPI() = default;

void GoogleCalendarAPI::LogInfo(const std::string& text) {
    if (log) {
        log->Write(Utility::kLogInfo, text);
    }
}

void GoogleCalendarAPI::LogHttpError() {
    if (!log) {
        return;
    }
    char head[64];
    std::snprintf(head, sizeof head, "[http error] code:%d ", httpCode);
    log->Write(Utility::kLogInfo, platform::Utf8ToWide(head + response + "\n"));
}

void GoogleCalendarAPI::LogException(const std::exception* e, const char* name, long mfcNumber,
                                     long otherNumber) {
    if (!log) {
        return;
    }
    if (e) {
        std::string message = e->what();
        if (message.size() > 255) {
            message.resize(255);
        }
        log->Write(Utility::kLogError, message, mfcNumber);
    } else {
        log->Write(Utility::kLogError, name, otherNumber);
    }
}

std::string GoogleCalendarAPI::CalendarTag(const std::string& url) {
    return " cal:" + (url.size() > 40 ? url.substr(38, 4) : std::string());
}

std::string GoogleCalendarAPI::CalendarListUrl() const {
    std::string host = serviceBase;
    const auto scheme = host.find("://");
    if (scheme != std::string::npos) {
        host = host.substr(scheme + 3);
    }
    while (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    return "https://" + host + "/calendar/feeds/default/allcalendars/full";
}

std::string GoogleCalendarAPI::PublicFeedUrl(const std::string& calendarId) {
    std::string base = CalendarListUrl();
    base.resize(base.size() - std::string("default/allcalendars/full").size());
    return base + transport.Escape(calendarId) + "/public/full";
}

bool GoogleCalendarAPI::ClientLogin(const std::string& email, const std::string& password,
                                    const std::string& base, std::string& out, int& code) {
    serviceBase = base;
    response.clear();
    const bool ok = transport.ClientLogin(email, password, base, response, httpCode);
    out = response;
    code = httpCode;
    return ok;
}

bool GoogleCalendarAPI::GetCalendars(std::vector<PrimitiveCalendar>& calendars) {
    try {
        const std::string url = CalendarListUrl();
        LogInfo("<api> GetCalendars");
        response.clear();
        if (!transport.Get(url, response, true, "", httpCode)) {
            LogHttpError();
            return false;
        }
        return ParseCalendars(xml, response, calendars);
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 51, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::GetCalendars", 0, 57);
    }
    return false;
}

bool GoogleCalendarAPI::GetHolidays(const std::string& url, int firstYear, int lastYear,
                                    std::vector<PrimitiveHoliday>& holidays) {
    try {
        const std::string offset = PrimitiveTime::LocalOffsetForQuery();
        char from[32];
        char to[32];
        std::snprintf(from, sizeof from, "%04d-%02d-01T00:00:00", firstYear, 1);
        std::snprintf(to, sizeof to, "%04d-%02d-01T00:00:00", lastYear, 12);
        const std::string request =
            url + "?start-min=" + from + offset + "&start-max=" + to + offset + "&max-results=500";
        if (log) {
            log->Write(Utility::kLogInfo, "<api> GetHolidays:" + CalendarTag(url), firstYear,
                       lastYear);
        }
        response.clear();
        if (!transport.Get(request, response, true, "", httpCode)) {
            LogHttpError();
            return false;
        }
        return ParseHolidays(xml, response, holidays);
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 98, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::GetHolidays", 0, 104);
    }
    return false;
}

bool GoogleCalendarAPI::GetAllEvents(const std::string& url, std::vector<PrimitiveEvent>& events,
                                     std::string& nextLink, int& startIndex, int& totalResults,
                                     std::string* feedUpdated) {
    try {
        nextLink.clear();
        const std::string request = IsNextLink(url)
                                        ? url
                                        : url + "?showdeleted=true" + "&showhidden=true" +
                                              "&singleevents=false" + "&max-results=500";
        LogInfo("<api> GetAllEvents:" + CalendarTag(url));
        response.clear();
        if (!transport.Get(request, response, true, "", httpCode)) {
            LogHttpError();
            return false;
        }
        return ParseEvents(xml, response, events, nextLink, &startIndex, &totalResults,
                           feedUpdated);
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 204, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::GetAllEvents", 0, 210);
    }
    return false;
}

bool GoogleCalendarAPI::GetEventUpdates(const std::string& url, const PrimitiveTime& updatedMin,
                                        std::vector<PrimitiveEvent>& events, std::string& nextLink,
                                        std::string* feedUpdated) {
    try {
        nextLink.clear();
        const std::string request =
            IsNextLink(url)
                ? url
                : url + "?updated-min=" + PrimitiveTime::FormatUtf8(updatedMin, true) + kFeedQuery;
        LogInfo("<api> GetEventUpdates:" + CalendarTag(url) +
                PrimitiveTime::FormatUtf8(updatedMin, false));
        response.clear();
        if (!transport.Get(request, response, true, "", httpCode)) {
            LogHttpError();
            return false;
        }
        return ParseEvents(xml, response, events, nextLink, nullptr, nullptr, feedUpdated);
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 261, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::GetEventUpdates", 0, 267);
    }
    return false;
}

bool GoogleCalendarAPI::AddEvent(const std::string& url, const PrimitiveEvent& event) {
    try {
        char line[1024];
        std::snprintf(line, sizeof line, "<api> AddEvent: %s %s lid:%s seq:%d",
                      event.startTime.c_str(), CalendarTag(url).c_str(), event.localEventID.c_str(),
                      event.sequence);
        LogInfo(line);
        std::string body;
        entryUnwritable = false;
        if (!GenerateEventXML(event, body)) {
            LogInfo("<api> GenerateEventXML failed");
            entryUnwritable = true;
            return false;
        }
        response.clear();
        const uint32_t started = platform::GetTickCount();
        const bool ok = transport.Post(url, body, response, true, "", httpCode);
        const uint32_t elapsed = platform::GetTickCount() - started;
        if (!ok) {
            LogHttpError();
        }
        if (log) {
            log->Write(Utility::kLogInfo, "<api> add-event result (ret,code,speed)", ok ? 1L : 0L,
                       static_cast<long>(httpCode), static_cast<long>(elapsed));
        }
        return ok;
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 318, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::AddEvent", 0, 324);
    }
    return false;
}

bool GoogleCalendarAPI::UpdateEvent(const PrimitiveEvent& event) {
    try {
        char line[1024];
        std::snprintf(line, sizeof line, "<api> updating, %s %s local:%s id:%s seq:%d st:%d",
                      CalendarTag(event.editURI).c_str(), event.startTime.c_str(),
                      event.localEventID.substr(0, 8).c_str(), Tail(event.id, 8).c_str(),
                      event.sequence, event.eventStatus);
        LogInfo(line);
        std::string body;
        entryUnwritable = false;
        if (!GenerateUpdatedEventXML(event, xml, body)) {
            LogInfo("generate xml failed");
            entryUnwritable = true;
            return false;
        }
        response.clear();
        const bool ok = transport.Put(event.editURI, body, response, true, "", httpCode);
        if (!ok) {
            LogHttpError();
        }
        return ok;
    } catch (const std::exception& e) {
        LogException(&e, nullptr, 381, 0);
    } catch (...) {
        LogException(nullptr, "googledata::GoogleCalendarAPI::UpdateEvent", 0, 387);
    }
    return false;
}

}  // namespace googledata
