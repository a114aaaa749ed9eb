// Nothing private leaves the machine unmasked: after a synchronisation with
// the stand-in service (every diagnostic file on), the support archive of
// the log folder holds the account only masked, in neither its "@" nor its
// "%40" form, and never the password, the login token or the proxy
// password; the libcurl trace masks the account in both forms too.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/MaintenanceLog.h"
#include "app/SupportArchive.h"
#include "controller/CalendarManager.h"
#include "controller/Notifications.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"
#include "platform/WindowMessages.h"
#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WaitFor;

constexpr const char* kEmail = "hanako.sato@example.com";
constexpr const char* kEmailEncoded = "hanako.sato%40example.com";
constexpr const char* kPassword = "pa55-Secret-word";
constexpr const char* kProxyPassword = "proxy-Secret-word";
constexpr platform::WindowHandle kListener = 91;

// Every entry of the archive, extracted by Python's zipfile into `folder`.
bool Extract(const std::string& zip, const std::string& folder) {
    const std::string command =
        "python3 -c \"import sys, zipfile; "
        "zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])\" " +
        zip + " " + folder;
    return std::system(command.c_str()) == 0;
}

TEST(SupportPrivacy, BundleAfterASyncHoldsNoSecretAndNoUnmaskedAccount) {
    testsupport::ScopedTz tz("Asia/Tokyo");
    testsupport::StandinServer server;
    server.AddAccount(kEmail, kPassword);
    const std::string feed = server.AddCalendar(R"({"id":"hanako.sato@example.com",
        "title":"Hanako Sato","color":"#2952A3","accesslevel":"owner","timezone":"Asia/Tokyo"})");
    server.AddEvent(std::string("{\"calendar\":\"hanako.sato@example.com\",\"title\":\"会議\",") +
                    "\"start\":\"2026-12-10T10:00:00.000+09:00\"," +
                    "\"end\":\"2026-12-10T11:00:00.000+09:00\"}");

    TempDir dir;
    platform::CreateFolderTree(dir / "log");
    platform::WritePrivateProfileString("general", "calendar_mode", "1", dir / "config.ini");
    Utility::CMaintenanceLog log;
    log.SetFolder(dir / "log");
    platform::CRecordingPoster poster;
    platform::ScopedMessagePoster scopedPoster{&poster};
    poster.AddWindow(kListener);

    Controller::CCalendarManager manager(dir / "config.ini", dir.path());
    manager.SetLoginUrl(platform::Utf8ToWide(server.Base()));
    manager.SetExtraCaFile(server.CaFile());
    manager.SetRequestTimeout(10);
    manager.SetHttpLog(true, dir.path(), true);
    manager.SetProxy(false, L"", L"proxy-user", platform::Utf8ToWide(kProxyPassword));
    manager.AddListener(kListener, Controller::kDispatchManagerMessage);
    manager.Initialize(platform::Utf8ToWide(kEmail), platform::Utf8ToWide(kPassword), &log);
    const auto count = [&](uint32_t code) {
        size_t n = 0;
        for (const auto& m : poster.Messages()) {
            n += m.wParam == code ? 1 : 0;
        }
        return n;
    };
    manager.DownloadCalenar();
    ASSERT_TRUE(WaitFor([&] { return count(Controller::NOTIFY_CALENDAR_UPDATED) == 1; }));
    manager.DownloadAllEvent(platform::Utf8ToWide(feed));
    ASSERT_TRUE(WaitFor([&] { return count(Controller::NOTIFY_EVENT_UPDATED) == 1; }));
    ASSERT_TRUE(WaitFor([&] { return manager.GetPendingRequestCount() == 0; }));
    const std::string authorization = server.Request(-1).Header("Authorization");
    const std::string token = authorization.substr(authorization.find("auth=") + 5);
    ASSERT_GT(token.size(), 8u) << authorization;
    manager.DumpDatabase(true);
    manager.Terminate();

    const std::string zip = dir / "WrenSupport.zip";
    const app::SupportArchiveResult result = app::WriteSupportArchive(dir / "log", zip);
    ASSERT_TRUE(result.written) << result.error;
    ASSERT_TRUE(Extract(zip, dir / "unpacked"));
    std::string everything;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "unpacked")) {
        const std::string text = ReadFile(entry.path().string());
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        for (const std::string& secret :
             {std::string(kEmail), std::string(kEmailEncoded), std::string("hanako.sato"),
              std::string(kPassword), std::string(kProxyPassword), token}) {
            EXPECT_EQ(text.find(secret), std::string::npos) << secret;
        }
        everything += text;
    }
    // The files that speak of the account are there, masked.
    EXPECT_TRUE(std::filesystem::exists(dir / "unpacked/db.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "unpacked/comm.log"));
    EXPECT_NE(everything.find("[user_id]"), std::string::npos);

    // The libcurl trace (data folder, not packed) masks the account in both
    // forms and drops the password and the token.
    const std::string trace = ReadFile(dir / "CurlLog.txt");
    ASSERT_FALSE(trace.empty());
    for (const std::string& secret :
         {std::string(kEmail), std::string(kEmailEncoded), std::string(kPassword), token}) {
        EXPECT_EQ(trace.find(secret), std::string::npos) << secret;
    }
}

}  // namespace
