// The calendar manager against the stand-in service and a real database
// file: downloads, incremental synchronisation, local edits and their
// upload, the retry rule, refused and expired logins, a 410, local calendar
// mode, series expansion, and a worker killed in the middle of a download.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <thread>

#include "app/MaintenanceLog.h"
#include "controller/CalendarManager.h"
#include "controller/FailureClassifier.h"
#include "controller/Notifications.h"
#include "controller/OfflineHolidays.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "tests/standin/StandinSuite.h"
#include "tests/support/TestSupport.h"

using Controller::CCalendarManager;
using platform::CTime;
using testsupport::ReadFile;
using testsupport::StandinServer;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kPassword = "secret";
constexpr const char* kHolidayId = "ja.japanese#holiday@group.v.calendar.google.com";
constexpr platform::WindowHandle kListener = 77;

// Records the notifications; `hook` (when set) runs on the posting thread
// before each is recorded.
class HookPoster : public platform::CRecordingPoster {
public:
    bool Post(platform::WindowHandle window, uint32_t message, platform::WParam wParam,
              platform::LParam lParam) override {
        if (hook) {
            hook(wParam);
        }
        return CRecordingPoster::Post(window, message, wParam, lParam);
    }
    std::function<void(platform::WParam)> hook;
};

class ManagerTest : public testsupport::StandinSuite<> {
protected:
    void SetUp() override {
        server->Reset();
        server->AddAccount(kEmail, kPassword);
        feed = server->AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
            "color":"#2952A3","accesslevel":"owner","timezone":"Asia/Tokyo"})");
        holidayFeed = server->PublicFeed(kHolidayId);
        platform::CreateFolderTree(dir / "log");
        log.SetFolder(dir / "log");
        SetMode(1);
        poster.AddWindow(kListener);
    }

    void TearDown() override {
        if (manager) {
            manager->Terminate();
        }
    }

    void SetMode(int mode) {
        platform::WritePrivateProfileString("general", "calendar_mode", std::to_string(mode),
                                            dir / "config.ini");
    }

    void Start(const std::string& password = kPassword) {
        manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
        manager->SetLoginUrl(platform::Utf8ToWide(server->Base()));
        manager->SetExtraCaFile(server->CaFile());
        manager->SetRequestTimeout(10);
        manager->SetWorkerTimings(testsupport::kTestRetryPauseMs, testsupport::kTestIdlePollMs);
        manager->AddListener(kListener, Controller::kDispatchManagerMessage);
        manager->Initialize(platform::Utf8ToWide(kEmail), platform::Utf8ToWide(password), &log);
    }

    size_t Count(uint32_t code, int64_t lParam = -1) const {
        size_t n = 0;
        for (const auto& m : poster.Messages()) {
            if (m.wParam == code && (lParam < 0 || m.lParam == lParam)) {
                ++n;
            }
        }
        return n;
    }

    // Waits until the worker has run every queued request.
    bool WaitIdle(std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
        return WaitFor(
            [&] {
                return manager->GetPendingRequestCount() == 0 &&
                       (Count(Controller::NOTIFY_ACTIVITY, 1) == 0 ||
                        poster.Messages().back().wParam != Controller::NOTIFY_ACTIVITY ||
                        poster.Messages().back().lParam == 0);
            },
            deadline);
    }

    std::string LogText() const {
        std::string all;
        for (const auto& f : std::filesystem::directory_iterator(dir / "log")) {
            if (f.path().filename().string().rfind("Log", 0) == 0) {
                all += ReadFile(f.path().string());
            }
        }
        return all;
    }

    void DownloadEverything() {
        manager->DownloadCalenar();
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
        manager->DownloadAllEvent(platform::Utf8ToWide(feed));
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == 1; }));
        ASSERT_TRUE(WaitIdle());
    }

    // The stored event of the calendar with this title (empty id if none).
    googledata::PrimitiveEvent StoredEvent(const std::string& title) {
        googledata::PrimitiveEvent found;
        for (int month = 1; month <= 12; ++month) {
            std::list<googledata::PrimitiveEvent> events;
            manager->Database().GetNormalEvents(feed, 2026, month, events);
            for (const auto& e : events) {
                if (e.title == title) {
                    found = e;
                }
            }
        }
        return found;
    }

    Model::Event LocalEvent(const std::wstring& title, int day, int hour) {
        Model::Event e;
        e.calendarURI = platform::Utf8ToWide(feed);
        e.title = title;
        e.startTime = CTime(2026, 6, day, hour, 0, 0);
        e.endTime = CTime(2026, 6, day, hour + 1, 0, 0);
        e.eventStatus = googledata::EVENT_STATUS_CONFIRMED;
        return e;
    }

    size_t Occurrences(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    googledata::PrimitiveCalendar StoredCalendar(const std::string& uri) {
        std::list<googledata::PrimitiveCalendar> calendars;
        manager->Database().GetCalendars(calendars);
        for (const auto& c : calendars) {
            if (c.calendarURI == uri)
                return c;
        }
        return {};
    }

    testsupport::ScopedTz tz{"Asia/Tokyo"};
    TempDir dir;
    Utility::CMaintenanceLog log;
    HookPoster poster;
    platform::ScopedMessagePoster scopedPoster{&poster};
    std::string feed;
    std::string holidayFeed;
    std::unique_ptr<CCalendarManager> manager;
};

TEST_F(ManagerTest, FirstDownloadOfCalendarsHolidaysAndThreePagesOfEvents) {
    server->AddCalendar(std::string("{\"id\":") + StandinServer::Quote(kHolidayId) +
                        ",\"title\":\"日本の祝日\",\"accesslevel\":\"read\"}");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Meeting","count":1100,
        "start":"2026-05-11T10:00:00.000+09:00","end":"2026-05-11T11:30:00.000+09:00",
        "reminders":[["alert",10]]})");
    server->AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kHolidayId) +
                     R"(,"title":"こどもの日","start":"2026-05-05","end":"2026-05-06"})");
    Start();
    DownloadEverything();
    manager->DownloadAllHolidays(2026, 2026);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_HOLIDAY_UPDATED) == 1; }));

    // Three pages: three progress notifications, 500 + 500 + 100 events.
    EXPECT_EQ(Count(Controller::NOTIFY_DOWNLOAD_PROGRESS), 3u);
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 5, 1));
    EXPECT_EQ(events.size(), 1100u);
    EXPECT_EQ(events.front().title.rfind(L"Meeting", 0), 0u);
    EXPECT_EQ(events.front().startTime, CTime(2026, 5, 11, 10, 0, 0));
    EXPECT_FALSE(StoredCalendar(feed).eventUpdated.empty());

    std::list<Model::Holiday> holidays;
    ASSERT_TRUE(manager->GetHolidays(holidays, 2026, 5, 1, L""));
    ASSERT_EQ(holidays.size(), 1u);
    EXPECT_EQ(holidays.front().title, L"こどもの日");
    EXPECT_EQ(holidays.front().date, CTime(2026, 5, 5, 0, 0, 0));
    EXPECT_TRUE(manager->HasHolidays(2026));
    int first = 0, last = 0;
    EXPECT_TRUE(manager->GetUnretrievedHolidayYears(L"", first, last));
    EXPECT_EQ(first, 2027);

    const std::string text = LogText();
    EXPECT_NE(text.find("[info] <calmng> received event count (500)"), std::string::npos);
    EXPECT_NE(text.find("[info] <calmng> received event count (100)"), std::string::npos);
    EXPECT_NE(text.find("[info] <calmng> calendar count (2)"), std::string::npos);
}

TEST_F(ManagerTest, IncrementalSyncUploadsLocalEditsAndFetchesChanges) {
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Old",
        "start":"2026-06-01T09:00:00.000+09:00","end":"2026-06-01T10:00:00.000+09:00"})");
    Start();
    DownloadEverything();
    poster.Clear();

    // A change on the service and a local edit.
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"New on the service",
        "start":"2026-06-02T09:00:00.000+09:00","end":"2026-06-02T10:00:00.000+09:00"})");
    Model::Event local;
    local.calendarURI = platform::Utf8ToWide(feed);
    local.title = L"Bob's office; \"quoted\" -- 日本語";
    local.place = L"Bob's office";
    local.startTime = CTime(2026, 6, 3, 14, 0, 0);
    local.endTime = CTime(2026, 6, 3, 15, 0, 0);
    local.reminders.push_back({L"alert", 15});
    manager->AddEvent(local);
    EXPECT_EQ(Count(Controller::NOTIFY_EVENT_UPDATED, (2026 << 16) | 6), 1u);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED, 0) == 1; }));
    ASSERT_TRUE(WaitIdle());

    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    ASSERT_EQ(events.size(), 3u);
    const auto added = std::find_if(events.begin(), events.end(), [](const Model::Event& e) {
        return e.place == L"Bob's office";
    });
    ASSERT_NE(added, events.end());
    EXPECT_EQ(added->title, local.title);
    // Uploaded and linked to the entry the service made.
    EXPECT_TRUE(manager->IsEventSynced(local.calendarURI, added->localEventID));
    EXPECT_NE(server->EventsJson("hanako.sato@example.com").find("Bob's office"),
              std::string::npos);

    // An edit made now updates that entry instead of adding a second one.
    Model::Event changed = *added;
    changed.title = L"Moved";
    manager->UpdateEvent(changed);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED, 0) == 2; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server->Request(-1).method == "PUT" || server->Request(-2).method == "PUT" ||
                  server->Request(-3).method == "PUT",
              true);
    const std::string json = server->EventsJson("hanako.sato@example.com");
    EXPECT_NE(json.find("Moved"), std::string::npos);
    EXPECT_EQ(json.find("Bob's office; "), std::string::npos);

    // Deleting is an update to the cancelled state.
    Model::Event gone = changed;
    gone.eventStatus = googledata::EVENT_STATUS_CANCELED;
    gone.sequence += 1;
    manager->UpdateEvent(gone);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED, 0) == 3; }));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    EXPECT_EQ(events.size(), 2u);
}

// An event whose title holds a character XML cannot carry is never sent: it
// stays local, visible and unsynced, the user is told once (not at every
// sync), and an edit that removes the character uploads it.
TEST_F(ManagerTest, EventWithTextXmlCannotCarryStaysLocalWithOneNotice) {
    Start();
    DownloadEverything();
    poster.Clear();
    const std::wstring calendar = platform::Utf8ToWide(feed);
    Model::Event bad;
    bad.calendarURI = calendar;
    bad.title = L"Lunch\v[@1]";
    bad.content = L"with Bob";
    bad.startTime = CTime(2026, 6, 3, 12, 0, 0);
    bad.endTime = CTime(2026, 6, 3, 13, 0, 0);
    manager->AddEvent(bad);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ERROR) == 1; }));
    ASSERT_TRUE(WaitIdle());
    for (int sync = 0; sync < 2; ++sync) {
        manager->SyncEvent(calendar);
        ASSERT_TRUE(WaitFor([&] {
            return Count(Controller::NOTIFY_EVENT_UPDATED, 0) == static_cast<size_t>(sync) + 2;
        }));
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 1u);
    for (int i = 0; i < server->RequestCount(); ++i) {
        const auto request = server->Request(i);
        EXPECT_TRUE(request.method != "POST" ||
                    request.target.find("ClientLogin") != std::string::npos)
            << request.target;
    }
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().title, bad.title);
    EXPECT_FALSE(manager->IsEventSynced(calendar, events.front().localEventID));
    EXPECT_EQ(manager->GetLastErrorText(), L"予定「Lunch\uFFFD[@1]」(2026/06/03 12:00) のタイトル");
    EXPECT_NE(manager->GetLastErrorDescription().find(L"送信できない文字"), std::wstring::npos);
    const std::string text = LogText();
    EXPECT_NE(text.find("[ERR!] <calmng> event not uploaded, its title holds characters XML cannot "
                        "carry: lid:"),
              std::string::npos)
        << text;

    Model::Event fixed = events.front();
    fixed.title = L"Lunch [@1]";
    manager->UpdateEvent(fixed);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED, 0) == 4; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(manager->IsEventSynced(calendar, fixed.localEventID));
    const std::string json = server->EventsJson("hanako.sato@example.com");
    EXPECT_NE(json.find("Lunch [@1]"), std::string::npos) << json;
    EXPECT_NE(json.find("with Bob"), std::string::npos) << json;
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 1u);
}

// An event made here whose link to the service's entry was never written
// (stored without a service id) comes back from the service: it is matched
// by title and start only when this account wrote the entry. A colleague's
// "Standup 10:00" on a shared calendar is another event: both are kept.
TEST_F(ManagerTest, EventMadeOfflineIsMatchedBackOnlyToThisAccountsEntry) {
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    auto offline = [&](const std::string& title) {
        googledata::PrimitiveEvent e;
        e.title = title;
        e.content = "my notes";
        e.startTime = "2026-07-01T10:00:00.000+09:00";
        e.endTime = "2026-07-01T10:15:00.000+09:00";
        e.eventStatus = 2;
        EXPECT_TRUE(manager->Database().AddEvent(feed, e, true));
        return e.localEventID;
    };
    const std::string mine = offline("Dentist");
    const std::string standup = offline("Standup");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Dentist",
        "start":"2026-07-01T10:00:00.000+09:00","end":"2026-07-01T10:15:00.000+09:00",
        "author_email":"Hanako.Sato@example.com"})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Standup",
        "start":"2026-07-01T10:00:00.000+09:00","end":"2026-07-01T10:15:00.000+09:00",
        "author_name":"Taro","author_email":"taro.yamada@example.com","content":"Taro's"})");
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == 1; }));
    ASSERT_TRUE(WaitIdle());

    std::list<googledata::PrimitiveEvent> events;
    ASSERT_TRUE(manager->Database().GetNormalEvents(feed, 2026, 7, events));
    ASSERT_EQ(events.size(), 3u);
    for (const auto& e : events) {
        if (e.localEventID == mine) {
            EXPECT_FALSE(e.id.empty());  // linked to the entry, not added twice
        } else if (e.localEventID == standup) {
            EXPECT_TRUE(e.id.empty());  // still only ours
            EXPECT_EQ(e.content, "my notes");
        } else {
            EXPECT_EQ(e.content, "Taro's");
            EXPECT_TRUE(e.isSynced);
        }
    }
    // Ours goes up: the linked one as a change, the other as a new entry.
    manager->SyncEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitIdle());
    const std::string json = server->EventsJson("hanako.sato@example.com");
    EXPECT_EQ(Occurrences(json, "\"Dentist\""), 1u);
    EXPECT_EQ(Occurrences(json, "\"Standup\""), 2u);
    EXPECT_TRUE(manager->IsEventSynced(platform::Utf8ToWide(feed), platform::Utf8ToWide(mine)));
    EXPECT_TRUE(manager->IsEventSynced(platform::Utf8ToWide(feed), platform::Utf8ToWide(standup)));
}

// A second edit made while the first one's upload is in flight is not taken
// for uploaded: it goes up with the next request, for a new event (whose
// link to the service's entry keeps it) and for a changed one alike.
TEST_F(ManagerTest, EditMadeDuringItsUploadIsUploadedNext) {
    Start();
    DownloadEverything();
    for (const char* method : {"POST", "PUT"}) {
        SCOPED_TRACE(method);
        const bool isNew = std::string(method) == "POST";
        const std::wstring first = isNew ? L"First" : L"Third";
        const std::wstring second = isNew ? L"Second" : L"Fourth";
        server->ArmFault(std::string(R"({"kind":"slow","seconds":1,"method":")") + method + "\"}");
        const int before = server->RequestCount();
        Model::Event e = isNew ? LocalEvent(first, 3, 14)
                               : Model::Event::FromPrimitive(StoredEvent("Second"), {});
        e.calendarURI = platform::Utf8ToWide(feed);
        if (isNew) {
            manager->AddEvent(e);
            e.localEventID = platform::Utf8ToWide(StoredEvent("First").localEventID);
        } else {
            e.title = first;
            manager->UpdateEvent(e);
        }
        // The upload is on its way (the service holds it for a second).
        ASSERT_TRUE(WaitFor([&] {
            for (int i = before; i < server->RequestCount(); ++i) {
                if (server->Request(i).method == method) {
                    return true;
                }
            }
            return false;
        }));
        e.title = second;
        manager->UpdateEvent(e);
        ASSERT_TRUE(WaitIdle());
        const googledata::PrimitiveEvent stored = StoredEvent(platform::WideToUtf8(second));
        ASSERT_FALSE(stored.localEventID.empty());
        EXPECT_TRUE(stored.isSynced);
        const std::string json = server->EventsJson("hanako.sato@example.com");
        EXPECT_NE(json.find(platform::WideToUtf8(second)), std::string::npos);
        EXPECT_EQ(json.find(platform::WideToUtf8(first)), std::string::npos);
    }
}

// A download never overwrites a row whose local edit is not uploaded yet:
// the edit goes up next. When the service refuses it as a conflict, its copy
// is stored and the user's version is kept as a new event, marked as a
// conflict copy, uploaded as new, with a notice.
TEST_F(ManagerTest, UnsyncedEditSurvivesADownloadAndAConflictKeepsBothVersions) {
    const std::string edit = server->AddEvent(R"({"calendar":"hanako.sato@example.com",
        "title":"Original","start":"2026-06-05T09:00:00.000+09:00",
        "end":"2026-06-05T10:00:00.000+09:00"})");
    const std::string eid = edit.substr(edit.rfind('/') + 1);
    Start();
    DownloadEverything();
    auto editLocally = [&](const std::string& from, const std::string& title) {
        googledata::PrimitiveEvent e = StoredEvent(from);
        ASSERT_FALSE(e.localEventID.empty()) << from;
        e.title = title;
        e.isSynced = false;
        ASSERT_TRUE(manager->Database().UpdateEventFromLocalSide(e, feed));
    };
    auto changeOnService = [&](const std::string& title) {
        server->AddEvent(R"({"calendar":"hanako.sato@example.com","eid":")" + eid +
                         R"(","title":")" + title +
                         R"(","start":"2026-06-05T09:00:00.000+09:00",
                         "end":"2026-06-05T10:00:00.000+09:00"})");
    };
    editLocally("Original", "Mine");
    changeOnService("Theirs");
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == 2; }));
    EXPECT_FALSE(StoredEvent("Mine").isSynced);
    EXPECT_TRUE(StoredEvent("Theirs").localEventID.empty());
    manager->SyncEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(StoredEvent("Mine").isSynced);
    EXPECT_NE(server->EventsJson("hanako.sato@example.com").find("\"Mine\""), std::string::npos);

    // 409 answered with the service's entry; 412 with none (it is read).
    for (const int code : {409, 412}) {
        SCOPED_TRACE(code);
        const std::string theirs = "Theirs " + std::to_string(code);
        const std::string mine = "Mine " + std::to_string(code);
        editLocally(code == 409 ? "Mine" : "Theirs 409", mine);
        changeOnService(theirs);
        server->ArmFault(R"({"kind":"conflict","method":"PUT","code":)" + std::to_string(code) +
                         "}");
        poster.Clear();
        manager->SyncEvent(platform::Utf8ToWide(feed));
        ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ERROR) == 1; }));
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(StoredEvent(theirs).isSynced);
        const googledata::PrimitiveEvent copy = StoredEvent(mine + " (競合)");
        ASSERT_FALSE(copy.localEventID.empty());
        EXPECT_TRUE(copy.isSynced);  // uploaded as a new event
        EXPECT_NE(copy.id, StoredEvent(theirs).id);
        const std::string json = server->EventsJson("hanako.sato@example.com");
        EXPECT_NE(json.find(theirs), std::string::npos);
        EXPECT_NE(json.find(mine + " (\\u7af6\\u5408)"), std::string::npos);  // JSON escapes
        EXPECT_NE(manager->GetLastErrorDescription().find(L"衝突"), std::wstring::npos);
    }

    // A deletion refused as a conflict has no version to keep: the service's
    // copy comes back, with its own notice.
    googledata::PrimitiveEvent gone = StoredEvent("Theirs 412");
    gone.eventStatus = googledata::EVENT_STATUS_CANCELED;
    gone.isSynced = false;
    ASSERT_TRUE(manager->Database().UpdateEventFromLocalSide(gone, feed));
    changeOnService("Theirs kept");
    server->ArmFault(R"({"kind":"conflict","method":"PUT","code":409})");
    poster.Clear();
    manager->SyncEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ERROR) == 1; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(StoredEvent("Theirs kept").isSynced);
    EXPECT_EQ(StoredEvent("Theirs kept").eventStatus, googledata::EVENT_STATUS_CONFIRMED);
    EXPECT_EQ(Occurrences(server->EventsJson("hanako.sato@example.com"), "(\\u7af6\\u5408)"), 2u);
    EXPECT_NE(manager->GetLastErrorDescription().find(L"削除"), std::wstring::npos);
}

// A failed upload is a failed request: an answer of 500 is retried with the
// failure notice, an expired token brings a new login, a 2xx answer without
// an entry (a proxy's page) leaves the event unsynced until it really went up.
TEST_F(ManagerTest, FailedUploadIsRetriedAndOnlyAReadEntryCountsAsAdded) {
    Start();
    DownloadEverything();
    struct Row {
        const char* fault;
        size_t errors;
        const char* logged;
    };
    const std::array<Row, 3> rows{{
        {R"({"kind":"500","method":"POST"})", 1, "[ERR!] <calmng> upload event failed"},
        {R"({"kind":"expire","method":"POST"})", 0, "[info] <calmng> Login:"},
        {R"({"kind":"status","code":201,"method":"POST","body":"<html>Welcome to the portal</html>"})",
         1, "[ERR!] <calmng> added event has no readable entry"},
    }};
    int day = 10;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        poster.Clear();
        const size_t logins = Occurrences(LogText(), "<calmng> Login:");
        server->ArmFault(row.fault);
        const std::wstring title = L"Upload " + std::to_wstring(day);
        manager->AddEvent(LocalEvent(title, day++, 9));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Count(Controller::NOTIFY_ERROR), row.errors);
        EXPECT_TRUE(StoredEvent(platform::WideToUtf8(title)).isSynced);
        EXPECT_EQ(
            Occurrences(server->EventsJson("hanako.sato@example.com"), platform::WideToUtf8(title)),
            1u);
        EXPECT_NE(LogText().find(row.logged), std::string::npos);
        EXPECT_EQ(Occurrences(LogText(), "<calmng> Login:"), logins + 1u);
    }
    EXPECT_EQ(LogText().find("Retryout!"), std::string::npos);
}

// After more than 20 days without a sync the service would not tell every
// change (a cancellation 25 days ago): the calendar is downloaded whole.
TEST_F(ManagerTest, CalendarSyncedLongAgoIsDownloadedWhole) {
    const std::string edit = server->AddEvent(R"({"calendar":"hanako.sato@example.com",
        "title":"Cancelled later","start":"2026-06-08T09:00:00.000+09:00",
        "end":"2026-06-08T10:00:00.000+09:00"})");
    Start();
    DownloadEverything();
    const CTime longAgo = CTime::GetCurrentTime() - 30 * 86400;
    manager->Database().SetEventLastUpdatedTime(
        feed, googledata::PrimitiveTime::FromTime(longAgo, false));
    const std::string cancelledAt = googledata::PrimitiveTime::FormatUtf8(
        googledata::PrimitiveTime::ToUtc(
            googledata::PrimitiveTime::FromTime(CTime::GetCurrentTime() - 25 * 86400, false)),
        false);
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","eid":")" +
                     edit.substr(edit.rfind('/') + 1) +
                     R"(","title":"Cancelled later","status":"canceled","updated":")" +
                     cancelledAt + R"(","start":"2026-06-08T09:00:00.000+09:00",
                     "end":"2026-06-08T10:00:00.000+09:00"})");
    manager->SyncEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitIdle());
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    EXPECT_TRUE(events.empty());
    const std::string text = LogText();
    EXPECT_NE(text.find("[info] <calmng> Too old time, use last year:"), std::string::npos);
    EXPECT_NE(text.find("[info] <calmng> request all event"), std::string::npos);
    EXPECT_EQ(text.find("[info] <calmng> request updated event:"), std::string::npos);
}

// Exit does not wait for a stalled server: Terminate cuts the transfer short
// and reports no failure.
TEST_F(ManagerTest, TerminateCutsAStalledTransferShort) {
    Start();
    manager->SetRequestTimeout(60);
    server->ArmFault(R"({"kind":"slow","seconds":30,"path":"allcalendars"})");
    manager->DownloadCalenar();
    // The login, then the list request, which the stand-in now holds.
    ASSERT_TRUE(WaitFor([&] {
        return server->RequestCount() >= 2 &&
               server->Request(-1).target.find("allcalendars") != std::string::npos;
    }));
    const auto started = std::chrono::steady_clock::now();
    manager->Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 0u);
    server->ClearFaults();
}

// A login address that is not https is refused before anything is sent,
// with a log line and a message; the request is not retried.
TEST_F(ManagerTest, PlainHttpLoginAddressIsRefused) {
    Start();
    manager->SetLoginUrl(L"http://calendar.example.com");
    server->ClearRequests();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ERROR) == 1; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server->RequestCount(), 0);
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 1u);
    EXPECT_NE(manager->GetLastErrorDescription().find(L"https"), std::wstring::npos);
    EXPECT_NE(LogText().find("[ERR!] <calmng> insecure address refused"), std::string::npos);
}

// Requests that time out do not pile up: a synchronisation already waiting
// for a calendar is not queued again.
TEST_F(ManagerTest, WaitingSyncRequestIsNotQueuedTwice) {
    Start();
    DownloadEverything();
    server->ArmFault(R"({"kind":"slow","seconds":1,"path":"allcalendars"})");
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ACTIVITY, 1) >= 3; }));
    for (int i = 0; i < 5; ++i) {
        manager->SyncEvent(platform::Utf8ToWide(feed));
        manager->SyncEvents();
        manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    }
    // The calendar list in progress, one upload, one change request, one
    // full download.
    EXPECT_EQ(manager->GetPendingRequestCount(), 4u);
    EXPECT_NE(LogText().find("[info] <calmng> request already queued: (4) cal:"),
              std::string::npos);
    ASSERT_TRUE(WaitIdle());
}

// A stop seen in the middle of a page of 500 events fails the download and
// leaves the calendar's sync time as it was.
TEST_F(ManagerTest, StopInTheMiddleOfAPageKeepsTheSyncTime) {
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Bulk","count":500,
        "start":"2026-09-01T10:00:00.000+09:00","end":"2026-09-01T11:00:00.000+09:00"})");
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    ASSERT_TRUE(WaitIdle());
    const std::string before = StoredCalendar(feed).eventUpdated;
    // The progress notice comes just before the page is stored: stop there.
    // The hook runs on the worker: `started` publishes `terminator` to this thread.
    std::thread terminator;
    std::atomic<bool> claimed{false};
    std::atomic<bool> started{false};
    poster.hook = [&](platform::WParam code) {
        if (code == Controller::NOTIFY_DOWNLOAD_PROGRESS && !claimed.exchange(true)) {
            terminator = std::thread([&] { manager->Terminate(); });
            started = true;
            WaitFor([&] { return LogText().find("<calmng> Terminate") != std::string::npos; });
        }
    };
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));
    terminator.join();
    poster.hook = nullptr;
    EXPECT_EQ(Count(Controller::NOTIFY_EVENT_UPDATED), 0u);
    googledata::CalendarEventDB db;
    ASSERT_TRUE(db.Initialize(dir / (std::string(kEmail) + ".db"), nullptr));
    std::list<googledata::PrimitiveCalendar> calendars;
    ASSERT_TRUE(db.GetCalendars(calendars));
    for (const auto& c : calendars) {
        if (c.calendarURI == feed) {
            EXPECT_EQ(c.eventUpdated, before);
        }
    }
}

// The views get nothing from an event of status 0 (invalid) nor from a
// calendar whose events are not shown; deleting posts the event's month and
// queues its upload.
TEST_F(ManagerTest, HiddenAndInvalidEventsAreNotShownAndADeleteIsQueued) {
    SetMode(2);
    manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
    manager->AddListener(kListener, Controller::kDispatchManagerMessage);
    manager->Initialize(L"local", L"", &log);
    manager->CreateLocalDB(L"https://example.invalid/holidays/public/full");
    feed = "localEvent";
    for (const int status : {0, 2}) {
        Model::Event e = LocalEvent(L"Status " + std::to_wstring(status), 4, 9);
        e.eventStatus = status;
        manager->AddEvent(e);
    }
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().title, L"Status 2");
    manager->UpdateCalendar(L"localEvent", false, true);
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerTest, DeletePostsItsMonthAndQueuesItsUpload) {
    Start();
    DownloadEverything();
    manager->AddEvent(LocalEvent(L"To delete", 4, 9));
    ASSERT_TRUE(WaitIdle());
    // The worker is held in a slow request, so the queue can be read.
    server->ArmFault(R"({"kind":"slow","seconds":2,"path":"allcalendars"})");
    const int before = server->RequestCount();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return server->RequestCount() > before; }));
    poster.Clear();
    Model::Event gone = Model::Event::FromPrimitive(StoredEvent("To delete"), {});
    gone.calendarURI = platform::Utf8ToWide(feed);
    gone.eventStatus = googledata::EVENT_STATUS_CANCELED;
    manager->UpdateEvent(gone);
    EXPECT_EQ(Count(Controller::NOTIFY_EVENT_UPDATED, (2026 << 16) | 6), 1u);
    EXPECT_EQ(manager->GetPendingRequestCount(), 3u);  // the list, the upload, the changes
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 6, 1));
    EXPECT_TRUE(events.empty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_NE(server->EventsJson("hanako.sato@example.com").find("\"canceled\""),
              std::string::npos);
}

TEST_F(ManagerTest, FailingRequestIsTriedFourTimesThenTheNextIsServed) {
    Start();
    server->ArmFault(R"({"kind":"500","count":-1,"path":"allcalendars"})");
    const auto started = std::chrono::steady_clock::now();
    manager->DownloadCalenar();
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) == 1; },
                        std::chrono::seconds(30)));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    // Three pauses, one after each of the first three tries.
    EXPECT_GE(elapsed, std::chrono::milliseconds(3 * testsupport::kTestRetryPauseMs));
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 4u);
    EXPECT_EQ(Count(Controller::NOTIFY_CALENDAR_UPDATED), 0u);
    // Every try posts (0, 1); the queue found empty posts (0, 0).
    EXPECT_EQ(Count(Controller::NOTIFY_ACTIVITY, 1), 5u);
    const std::string text = LogText();
    EXPECT_NE(text.find("[ERR!] Retryout! msg type: (0)"), std::string::npos);
    EXPECT_NE(text.find("[warn] Sync error:\r\ncode:500\n"), std::string::npos);
    EXPECT_EQ(manager->GetLastErrorDescription(), L"ネットワークに問題があります。");
    // The raw text is kept for an unhandled failure too.
    EXPECT_EQ(manager->GetLastErrorText().rfind(L"code:500\n", 0), 0u);
}

TEST_F(ManagerTest, FeedWhoseNextLinkLeadsBackIsNotFollowedForever) {
    Start();
    // Every page of the feed names the same page as the next one.
    const std::string page =
        "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom'>"
        "<link rel='next' type='application/atom+xml' href='" +
        feed + "?start-index=1'/></feed>";
    server->ArmFault(
        R"({"kind":"status","code":200,"count":-1,"content_type":"application/atom+xml","path":)" +
        StandinServer::Quote(feed.substr(feed.find("/calendar/"))) +
        ",\"body\":" + StandinServer::Quote(page) + "}");
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(
        WaitFor([&] { return LogText().find("Retryout! msg type: (2)") != std::string::npos; },
                std::chrono::seconds(30)));
    server->ClearFaults();
    EXPECT_NE(LogText().find("[ERR!] <calmng> next link repeats a fetched page"),
              std::string::npos);
    EXPECT_EQ(Count(Controller::NOTIFY_EVENT_UPDATED), 0u);  // not a completed download
}

TEST_F(ManagerTest, RefusedPasswordEmptiesTheQueueWithoutRetry) {
    Start("wrong password");
    manager->DownloadCalenar();
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_AUTH_FAILED) == 1; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(manager->GetPendingRequestCount(), 0u);
    EXPECT_EQ(server->RequestCount(), 1);  // one login, nothing else
    EXPECT_EQ(manager->GetLastErrorDescription(),
              L"Googleアカウントまたはパスワードが間違っています。");
    EXPECT_NE(LogText().find("[ERR!] <calmng> auth error"), std::string::npos);
}

TEST_F(ManagerTest, ExpiredTokenLogsInAgainWithoutCountingAFailure) {
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    server->ArmFault(R"({"kind":"expire"})");
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 2; }));
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 0u);
    EXPECT_EQ(LogText().find("Retryout!"), std::string::npos);
    size_t logins = 0;
    for (int i = 0; i < server->RequestCount(); ++i) {
        logins += server->Request(i).target.find("ClientLogin") != std::string::npos;
    }
    EXPECT_EQ(logins, 2u);

    // A service that keeps refusing the new token does not hold the worker.
    server->ArmFault(R"({"kind":"401","count":-1,"path":"allcalendars"})");
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return LogText().find("Retryout!") != std::string::npos; },
                        std::chrono::seconds(30)));
}

TEST_F(ManagerTest, GoneAnswerIsHandledAndKeepsTheSyncTime) {
    Start();
    DownloadEverything();
    const std::string before = StoredCalendar(feed).eventUpdated;
    ASSERT_FALSE(before.empty());
    server->SetHorizon("2099-01-01T00:00:00.000Z");
    poster.Clear();
    manager->SyncEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ERROR) == 1; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Count(Controller::NOTIFY_ERROR), 1u);  // handled: not retried
    EXPECT_EQ(StoredCalendar(feed).eventUpdated, before);
    EXPECT_EQ(manager->GetLastErrorDescription(), L"カレンダにアクセスできません");
    server->SetHorizon("");
}

TEST_F(ManagerTest, LocalCalendarModeComputesHolidaysWithoutTheNetwork) {
    SetMode(2);
    server->AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kHolidayId) +
                     R"(,"title":"feed","start":"2026-01-02","end":"2026-01-03"})");
    manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
    manager->SetLoginUrl(platform::Utf8ToWide(server->Base()));
    manager->SetExtraCaFile(server->CaFile());
    manager->AddListener(kListener, Controller::kDispatchManagerMessage);
    manager->Initialize(L"local", L"", &log);
    // Daymark's own holiday calendar, and (in a database made before it) the
    // service's: neither is ever fetched in local mode.
    for (const std::string& uri :
         {std::string(Controller::kOfflineHolidayCalendarURI), holidayFeed}) {
        manager->Reset();
        manager->CreateLocalDB(platform::Utf8ToWide(uri));
        server->ClearRequests();
        poster.Clear();

        manager->DownloadCalenar();
        manager->DownloadAllEvent(L"localEvent");
        manager->DownloadAllHolidays(2026, 2026);
        int first = 0, last = 0;
        if (manager->GetUnretrievedHolidayYears(platform::Utf8ToWide(uri), first, last)) {
            manager->DownloadHoliday(platform::Utf8ToWide(uri), first, last);
        }
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(server->RequestCount(), 0) << uri;
        EXPECT_EQ(Count(Controller::NOTIFY_ERROR) + Count(Controller::NOTIFY_NET_SETTING_PROBLEM),
                  0u);
        EXPECT_TRUE(manager->HasHolidays(2026));
        std::list<Model::Holiday> holidays;
        ASSERT_TRUE(manager->GetHolidays(holidays, 2026, 1, 1, L""));
        ASSERT_EQ(holidays.size(), 2u) << uri;
        EXPECT_EQ(holidays.front().title, L"元日");
        EXPECT_EQ(holidays.front().date, CTime(2026, 1, 1, 0, 0, 0));
        EXPECT_EQ(holidays.back().title, L"成人の日");
        EXPECT_EQ(holidays.back().date, CTime(2026, 1, 12, 0, 0, 0));
        EXPECT_EQ(holidays.back().calendarURI, platform::Utf8ToWide(uri));
    }
    EXPECT_NE(LogText().find("<calmng> holidays are computed, not fetched"), std::string::npos);

    // Local edits stay local: no upload request is queued.
    Model::Event e;
    e.calendarURI = L"localEvent";
    e.title = L"Local only";
    e.startTime = CTime(2026, 1, 10, 9, 0, 0);
    e.endTime = CTime(2026, 1, 10, 10, 0, 0);
    manager->AddEvent(e);
    EXPECT_EQ(manager->GetPendingRequestCount(), 0u);
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 1, 1));
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(ManagerTest, HolidayFeedWinsForTheYearsItAnsweredAndTheRulesFillTheRest) {
    server->AddCalendar(std::string("{\"id\":") + StandinServer::Quote(kHolidayId) +
                        ",\"title\":\"日本の祝日\",\"accesslevel\":\"read\"}");
    server->AddEvent(std::string("{\"calendar\":") + StandinServer::Quote(kHolidayId) +
                     R"(,"title":"Children's Day","start":"2026-05-05","end":"2026-05-06"})");
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    ASSERT_TRUE(WaitIdle());
    auto titles = [&](int year, int month) {
        std::list<Model::Holiday> holidays;
        EXPECT_TRUE(manager->GetHolidays(holidays, year, month, 1, L""));
        std::vector<std::wstring> out;
        for (const auto& h : holidays) {
            out.push_back(h.title);
        }
        return out;
    };
    // Before the feed answers (or when it never does): the rules.
    using Titles = std::vector<std::wstring>;
    EXPECT_EQ(titles(2026, 5), (Titles{L"憲法記念日", L"みどりの日", L"こどもの日", L"休日"}));
    // Computed days do not stop the feed from being asked.
    int first = 0, last = 0;
    EXPECT_TRUE(manager->GetUnretrievedHolidayYears(L"", first, last));
    EXPECT_FALSE(manager->HasHolidays(2026));

    manager->DownloadAllHolidays(2026, 2026);
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_HOLIDAY_UPDATED) == 1; }));
    EXPECT_EQ(titles(2026, 5), (Titles{L"Children's Day"}));  // the feed wins for 2026
    EXPECT_EQ(titles(2026, 1), Titles{});
    EXPECT_EQ(titles(2027, 5), (Titles{L"憲法記念日", L"みどりの日", L"こどもの日"}));
    EXPECT_TRUE(manager->HasHolidays(2026));
}

// The month view makes one event of each occurrence: a series with a million
// occurrences in a month gives the first 3,000 of them, every time the month
// is read, and one log line.
TEST_F(ManagerTest, HostileSeriesGivesABoundedMonth) {
    SetMode(2);
    manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
    manager->Initialize(L"local", L"", &log);
    manager->CreateLocalDB(L"https://example.invalid/holidays/public/full");
    googledata::PrimitiveEvent series;
    series.title = "Every few seconds";
    series.uid = "dense@google.com";
    series.recurrence =
        ReadFile(std::string(DAYMARK_SOURCE_DIR) + "/tests/data/hostile/secondly-rules.ics");
    series.startTime = "2026-01-01T00:00:00.000Z";
    series.endTime = "2026-01-01T00:01:00.000Z";
    series.eventStatus = 2;
    series.recurrenceType = 1;
    ASSERT_TRUE(manager->Database().AddEvent("localEvent", series, true));
    for (int round = 0; round < 2; ++round) {
        std::list<Model::Event> events;
        ASSERT_TRUE(manager->GetEvents(events, 2026, 1, 1));
        EXPECT_EQ(events.size(), 3000u);
    }
    const std::string text = LogText();
    const auto first = text.find("<ical> more than 3000 occurrences in one range");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("<ical> more than 3000 occurrences in one range", first + 1),
              std::string::npos);
}

TEST_F(ManagerTest, SeriesAreExpandedPerMonthWithExceptionsReplacingOccurrences) {
    SetMode(2);
    manager = std::make_unique<CCalendarManager>(dir / "config.ini", dir.path());
    manager->Initialize(L"local", L"", &log);
    manager->CreateLocalDB(L"https://example.invalid/holidays/public/full");

    // Weekly on Monday 10:00-11:30 from 2026-12-07, stored as the service
    // writes series; one exception moves the 14th to 15:00.
    googledata::PrimitiveEvent series;
    series.title = "Weekly";
    series.uid = "series1@google.com";
    series.recurrence =
        "DTSTART;TZID=Asia/Tokyo:20261207T100000\nDTEND;TZID=Asia/Tokyo:20261207T113000\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO\n";
    series.startTime = "2026-12-07T10:00:00.000+09:00";
    series.endTime = "2026-12-07T11:30:00.000+09:00";
    series.eventStatus = 2;
    series.recurrenceType = 1;
    ASSERT_TRUE(manager->Database().AddEvent("localEvent", series, true));
    googledata::PrimitiveEvent exception;
    exception.title = "Moved once";
    exception.originalEvent = Controller::ExceptionKey("localEvent", series.uid);
    exception.originalStartTime = "2026-12-14T10:00:00.000+09:00";
    exception.startTime = "2026-12-14T15:00:00.000+09:00";
    exception.endTime = "2026-12-14T16:00:00.000+09:00";
    exception.eventStatus = 2;
    exception.recurrenceType = 2;
    ASSERT_TRUE(manager->Database().AddEvent("localEvent", exception, true));

    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 12, 2));  // December and January
    std::vector<std::pair<CTime, std::wstring>> got;
    for (const auto& e : events) {
        got.emplace_back(e.startTime, e.title);
        if (e.title == L"Weekly") {
            EXPECT_EQ(e.endTime - e.startTime, 90 * 60);
        }
    }
    std::sort(got.begin(), got.end());
    ASSERT_EQ(got.size(), 8u);  // Dec 7, 14 (moved), 21, 28; Jan 4, 11, 18, 25
    EXPECT_EQ(got[0].first, CTime(2026, 12, 7, 10, 0, 0));
    EXPECT_EQ(got[1].first, CTime(2026, 12, 14, 15, 0, 0));
    EXPECT_EQ(got[1].second, L"Moved once");
    EXPECT_EQ(got[7].first, CTime(2027, 1, 25, 10, 0, 0));
}

// The first matching row decides; text rows come before the 410 row.
TEST(ClassifyFailure, FirstRowWinsAndTextComesBeforeStatus) {
    struct Row {
        long status;
        const char* text;
        uint32_t notification;
        int description;
        bool handled;
    };
    const std::array<Row, 5> rows{{
        {403, "Error=BadAuthentication\nCould not resolve host: www.google.com",
         Controller::NOTIFY_AUTH_FAILED, 140, true},
        {410, "Could not resolve host: www.google.com", Controller::NOTIFY_ERROR, 120, false},
        {410, "The value of updated-min is too far in the past.", Controller::NOTIFY_ERROR, 167,
         true},
        {0, "Refused an address that is not https: http://x/", Controller::NOTIFY_ERROR, 190, true},
        {500, "<html>Internal Server Error</html>", Controller::NOTIFY_ERROR, 146, false},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const Controller::FailureClass c = Controller::ClassifyFailure(row.status, row.text);
        EXPECT_EQ(static_cast<uint32_t>(c.notification), row.notification);
        EXPECT_EQ(c.descriptionId, row.description);
        EXPECT_EQ(c.handled, row.handled);
    }
}

// The transport's refusal of an oversized answer is not repeated: the same
// answer would come again.
TEST(ClassifyFailure, OversizedAnswerIsHandledAtOnce) {
    const auto result =
        Controller::ClassifyFailure(200, "Response larger than 67108864 bytes, refused");
    EXPECT_TRUE(result.handled);
    EXPECT_EQ(result.notification, Controller::NOTIFY_ERROR);
    EXPECT_STREQ(result.logTag, "<calmng> response too large");
    EXPECT_FALSE(Controller::ClassifyFailure(500, "Internal Server Error").handled);
}

TEST(ExceptionKey, HttpsBecomesHttpAndOtherSchemesStay) {
    EXPECT_EQ(Controller::ExceptionKey("https://host/feeds/a/private/full", "abc@google.com"),
              "http://host/feeds/a/private/full/abc");
    EXPECT_EQ(Controller::ExceptionKey("http://host/feeds/a/private/full", "abc"),
              "http://host/feeds/a/private/full/abc");
    EXPECT_EQ(Controller::ExceptionKey("localEvent", "x@y"), "localEvent/x");
    EXPECT_EQ(Controller::CalendarShortName("short"), " cal:");
    EXPECT_EQ(Controller::CalendarShortName(
                  "https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full"),
              " cal:hana");
}

TEST_F(ManagerTest, KilledDuringADownloadLeavesAUsableDatabaseAndKeepsLocalEdits) {
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Bulk","count":3000,
        "start":"2026-08-01T10:00:00.000+09:00","end":"2026-08-01T11:00:00.000+09:00"})");
    const std::string databasePath = dir / (std::string(kEmail) + ".db");
    const pid_t child = ::fork();
    if (child == 0) {
        CCalendarManager m(dir / "config.ini", dir.path());
        m.SetLoginUrl(platform::Utf8ToWide(server->Base()));
        m.SetExtraCaFile(server->CaFile());
        m.SetWorkerTimings(testsupport::kTestRetryPauseMs, testsupport::kTestIdlePollMs);
        m.Initialize(platform::Utf8ToWide(kEmail), platform::Utf8ToWide(kPassword), nullptr);
        Model::Event e;
        e.calendarURI = platform::Utf8ToWide(feed);
        e.title = L"Unsynced local edit";
        e.startTime = CTime(2026, 8, 2, 9, 0, 0);
        e.endTime = CTime(2026, 8, 2, 10, 0, 0);
        server->ArmFault(R"({"kind":"500","count":-1,"method":"POST","path":"private/full"})");
        m.DownloadCalenar();
        WaitFor([&] {
            std::list<Model::Calendar> calendars;
            return m.GetCalendars(calendars) && !calendars.empty();
        });
        m.AddEvent(e);  // its upload fails: it stays unsynced
        m.DownloadAllEvent(platform::Utf8ToWide(feed));
        for (;;) {
            ::pause();
        }
    }
    // Kill it in the middle of the bulk download: its first page is stored
    // and the next one asked for.
    int seen = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const int count = server->RequestCount(); seen < count; ++seen) {
                const auto request = server->Request(seen);
                if (request.method == "GET" &&
                    request.target.find("start-index=") != std::string::npos) {
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(30)))
        << server->RequestCount() << " " << std::filesystem::exists(databasePath);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    server->ClearFaults();

    googledata::CalendarEventDB db;
    ASSERT_TRUE(db.Initialize(databasePath, nullptr));
    std::list<googledata::PrimitiveEvent> unsynced;
    ASSERT_TRUE(db.GetUnsyncedEvents(feed, unsynced));
    ASSERT_EQ(unsynced.size(), 1u);
    EXPECT_EQ(unsynced.front().title, "Unsynced local edit");
}

}  // namespace

namespace {

// Settings changed from the user-interface thread while a transfer runs
// reach the client only between requests (run under ThreadSanitizer to see
// the difference).
TEST_F(ManagerTest, SettingsChangedDuringATransferApplyToTheNextRequest) {
    Start();
    server->ArmFault(R"({"kind":"slow","seconds":1,"path":"allcalendars"})");
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ACTIVITY, 1) == 1; }));
    for (int i = 0; i < 50; ++i) {
        manager->SetProxy(false, L"", L"", L"");
        manager->SetRequestTimeout(10 + i % 2);
        manager->SetHttpLog(i % 2 == 0, dir / "log", false);
    }
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    // A proxy that cannot exist fails the next request, so the new value is in use.
    manager->SetProxy(true, L"http://127.0.0.1:1", L"", L"");
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor(
        [&] {
            return Count(Controller::NOTIFY_ERROR) +
                       Count(Controller::NOTIFY_NET_SETTING_PROBLEM) >=
                   1;
        },
        std::chrono::seconds(30)));
}

}  // namespace

namespace {

// An account switch while a long download of the old account runs: the
// worker leaves the old download between two pages, the queue is emptied,
// and the new account's database never receives a row of the old one; no
// feed of the old account is asked for after the switch; the new account's
// calendars and events then download with the same worker.
TEST_F(ManagerTest, AccountSwitchDuringALongDownloadKeepsTheAccountsApart) {
    constexpr const char* kOther = "taro.yamada@example.com";
    server->AddAccount(kOther, "other-secret");
    // Each account lists only its own calendar.
    server->AddCalendar(R"({"id":"hanako.sato@example.com","title":"Hanako Sato",
        "accesslevel":"owner","timezone":"Asia/Tokyo","accounts":["hanako.sato@example.com"]})");
    const std::string otherFeed =
        server->AddCalendar(R"({"id":"taro.yamada@example.com","title":"Taro",
            "accesslevel":"owner","timezone":"Asia/Tokyo","accounts":["taro.yamada@example.com"]})");
    server->AddEvent(R"({"calendar":"hanako.sato@example.com","title":"Old account","count":3000,
        "start":"2026-08-01T10:00:00.000+09:00","end":"2026-08-01T11:00:00.000+09:00"})");
    server->AddEvent(R"({"calendar":"taro.yamada@example.com","title":"New account",
        "start":"2026-08-03T10:00:00.000+09:00","end":"2026-08-03T11:00:00.000+09:00"})");
    // Each page of the old feed takes a while, so the switch lands inside.
    server->ArmFault(
        R"({"kind":"slow","seconds":0.3,"count":-1,"path":"hanako.sato%40example.com/private"})");
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    manager->SyncEvents();  // more old requests waiting in the queue
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_DOWNLOAD_PROGRESS) >= 1; }));

    manager->ChangeAccount(platform::Utf8ToWide(kOther), L"other-secret");
    EXPECT_EQ(manager->GetPendingRequestCount(), 0u);
    const int requestsAtSwitch = server->RequestCount();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 2; }));
    manager->DownloadAllEvent(platform::Utf8ToWide(otherFeed));
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_EVENT_UPDATED) >= 1; }));
    ASSERT_TRUE(WaitIdle());

    std::list<googledata::PrimitiveCalendar> calendars;
    ASSERT_TRUE(manager->Database().GetCalendars(calendars));
    // The new account's own calendar and the shared holiday calendar.
    ASSERT_EQ(calendars.size(), 2u);
    for (const auto& c : calendars) {
        EXPECT_TRUE(c.calendarURI == otherFeed || c.isHoliday) << c.calendarURI;
    }
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 8, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().title, L"New account");
    std::list<googledata::PrimitiveEvent> stray;
    manager->Database().GetNormalEvents(feed, 2026, 8, stray);
    EXPECT_TRUE(stray.empty());

    for (int i = requestsAtSwitch; i < server->RequestCount(); ++i) {
        const auto request = server->Request(i);
        EXPECT_EQ(request.target.find("hanako.sato%40example.com"), std::string::npos)
            << request.method << " " << request.target;
    }
    EXPECT_EQ(Count(Controller::NOTIFY_AUTH_FAILED) + Count(Controller::NOTIFY_ERROR), 0u);
    // The old account's database still holds what it had; nothing was lost.
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string(kEmail) + ".db")));
}

}  // namespace

namespace {

// A page the service holds back for long does not hold the account change:
// the transfer in flight is cut short and reported as no failure.
TEST_F(ManagerTest, AccountChangeCutsATransferInFlightShort) {
    server->AddAccount("taro.yamada@example.com", "other-secret");
    server->ArmFault(R"({"kind":"slow","seconds":30,"path":"allcalendars"})");
    Start();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_ACTIVITY, 1) == 1; }));
    // The login, then the list request, which the stand-in now holds.
    ASSERT_TRUE(WaitFor([&] {
        return server->RequestCount() >= 2 &&
               server->Request(-1).target.find("allcalendars") != std::string::npos;
    }));
    const auto before = std::chrono::steady_clock::now();
    manager->ChangeAccount(L"taro.yamada@example.com", L"other-secret");
    // The request time-out is 10 s and the service holds the page for 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    server->ClearFaults();
    manager->DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return Count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    for (uint32_t code : {Controller::NOTIFY_AUTH_FAILED, Controller::NOTIFY_PROXY_FAILED,
                          Controller::NOTIFY_NET_SETTING_PROBLEM, Controller::NOTIFY_ERROR}) {
        EXPECT_EQ(Count(code), 0u) << code;
    }
}

}  // namespace

// A series imported into the account's calendar goes up as a series: the
// posted entry carries its rule, and the service keeps it as one.
TEST_F(ManagerTest, ImportedSeriesIsUploadedWithItsRule) {
    Start();
    DownloadEverything();
    const std::string ics = dir / "weekly.ics";
    std::ofstream(ics) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                          "BEGIN:VEVENT\r\nUID:weekly-1@example.com\r\nDTSTAMP:20260101T000000Z\r\n"
                          "SUMMARY:週次定例\r\nDTSTART:20260105T010000Z\r\n"
                          "DTEND:20260105T020000Z\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n"
                          "END:VEVENT\r\nEND:VCALENDAR\r\n";
    server->ClearRequests();
    ASSERT_TRUE(manager->ImportIcalendar(ics, "").ok) << LogText();
    manager->SyncEvents();
    ASSERT_TRUE(WaitIdle());
    bool posted = false;
    for (int i = 0; i < server->RequestCount(); ++i) {
        const auto r = server->Request(i);
        if (r.method == "POST" && r.body.find("週次定例") != std::string::npos) {
            posted = true;
            EXPECT_NE(r.body.find("<gd:recurrence>"), std::string::npos) << r.body;
            EXPECT_NE(r.body.find("RRULE:FREQ=WEEKLY;COUNT=4"), std::string::npos) << r.body;
            EXPECT_EQ(r.body.find("<gd:when"), std::string::npos) << r.body;
        }
    }
    EXPECT_TRUE(posted) << LogText();
    // Read back from the service: four occurrences, not one event.
    manager->DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitIdle());
    std::list<Model::Event> events;
    ASSERT_TRUE(manager->GetEvents(events, 2026, 1, 2));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const Model::Event& e) { return e.title == L"週次定例"; }),
              4);
}
