// HttpClient against the stand-in service over HTTPS on loopback: header
// lines as they reach the server, the 302 that every feed request first
// gets, login, failures, proxy, certificate checks, time-out and the traces.
#include "googledata/HttpClient.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/standin/StandinServer.h"
#include "tests/support/TestSupport.h"

using googledata::HttpClient;
using googledata::RequestBody;
using testsupport::ReadFile;
using testsupport::StandinServer;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

constexpr const char* kEmail = "taro.yamada+cal@example.com";
constexpr const char* kPassword = "pa ss&word";

class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new StandinServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        server->Reset();
        server->AddAccount(kEmail, kPassword);
        feed = server->AddCalendar(R"({"id":"taro.yamada+cal@example.com","title":"Taro"})");
        client = std::make_unique<HttpClient>();
        client->SetExtraCaFile(server->CaFile());
        client->SetCommLogPath(dir / "comm.log");
    }

    void Login() {
        std::string response;
        int code = 0;
        ASSERT_TRUE(client->ClientLogin(kEmail, kPassword, server->Base(), response, code))
            << response;
    }

    static StandinServer* server;
    TempDir dir;
    std::string feed;
    std::unique_ptr<HttpClient> client;
};

StandinServer* HttpClientTest::server = nullptr;

TEST_F(HttpClientTest, LoginSendsEscapedFormAndKeepsToken) {
    std::string response;
    int code = 0;
    ASSERT_TRUE(client->ClientLogin(kEmail, kPassword, server->Base(), response, code));
    EXPECT_EQ(code, 200);
    const auto sent = server->Request();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.target, "/accounts/ClientLogin");
    EXPECT_EQ(sent.body,
              "Email=taro.yamada%2Bcal%40example.com&Passwd=pa%20ss%26word"
              "&accountType=HOSTED_OR_GOOGLE&source=wren&service=cl");
    EXPECT_EQ(sent.Header("Content-Type"), "application/x-www-form-urlencoded");
    const auto authAt = response.find("Auth=");
    ASSERT_NE(authAt, std::string::npos);
    const std::string token = response.substr(authAt + 5, response.size() - authAt - 6);
    EXPECT_EQ(client->GetAuthHeader(), "Authorization: GoogleLogin auth=" + token);
    EXPECT_EQ(client->GetAccountId(), "taro.yamada+cal%40example.com");
}

TEST_F(HttpClientTest, WrongPasswordIs403AndKeepsPreviousToken) {
    Login();
    const std::string before = client->GetAuthHeader();
    std::string response;
    int code = 0;
    EXPECT_FALSE(client->ClientLogin(kEmail, "wrong", server->Base(), response, code));
    EXPECT_EQ(code, 403);
    EXPECT_EQ(response, "Error=BadAuthentication\n");
    EXPECT_EQ(client->GetAuthHeader(), before);
}

// Every feed request is first answered with a 302 to a ?gsessionid= address;
// the client must repeat it there with the same method, headers and body.
TEST_F(HttpClientTest, HeaderLinesInOrderAndRepeatedAfterRedirect) {
    Login();
    const std::string auth = client->GetAuthHeader();
    const std::string edit = server->AddEvent(
        R"({"calendar":"taro.yamada+cal@example.com","title":"a","start":"2011-05-01"})");
    const std::string entry = "<entry xmlns='http://www.w3.org/2005/Atom'><title>x</title></entry>";

    struct Row {
        const char* method;
        std::vector<std::string> lines;
    };
    const std::array<Row, 3> rows{{
        {"GET", {"GData-Version: 2", auth, "Content-Type: application/atom+xml"}},
        {"POST", {"GData-Version: 2", auth, "Content-Type: application/atom+xml; charset=UTF-8"}},
        {"PUT",
         {"GData-Version: 2", auth, "Content-Type: application/atom+xml; charset=UTF-8",
          "If-Match: *"}},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.method);
        server->ClearRequests();
        std::string response;
        int code = 0;
        const std::string method = row.method;
        bool ok = false;
        if (method == "GET") {
            ok = client->Get(feed, response, true, "", code);
        } else if (method == "POST") {
            ok = client->Post(feed, entry, response, true, "", code);
        } else {
            ok = client->Put(edit, entry, response, true, "", code);
        }
        EXPECT_TRUE(ok) << response;
        EXPECT_EQ(code, method == "POST" ? 201 : 200);
        ASSERT_EQ(server->RequestCount(), 2);
        const auto first = server->Request(0);
        const auto second = server->Request(1);
        EXPECT_EQ(first.method, method);
        EXPECT_EQ(second.method, method);
        EXPECT_EQ(second.target.find("gsessionid="), first.target.size() + 1);
        EXPECT_EQ(first.ClientHeaderLines(), row.lines);
        EXPECT_EQ(second.ClientHeaderLines(), row.lines);
        if (method != "GET") {
            EXPECT_EQ(first.body, entry);
            EXPECT_EQ(second.body, entry);
        }
    }
}

TEST_F(HttpClientTest, ExtraHeaderAndPlainGet) {
    Login();
    std::string response;
    int code = 0;
    ASSERT_TRUE(client->Get(feed, response, true, "X-Extra: 1", code));
    EXPECT_EQ(server->Request().ClientHeaderLines(),
              (std::vector<std::string>{"GData-Version: 2", client->GetAuthHeader(), "X-Extra: 1",
                                        "Content-Type: application/atom+xml"}));
    ASSERT_FALSE(client->PlainGet("GET", feed, response, code));  // no authorisation
    EXPECT_EQ(code, 401);
    EXPECT_EQ(server->Request().ClientHeaderLines(),
              (std::vector<std::string>{"Content-Type: application/atom+xml"}));
}

TEST_F(HttpClientTest, HttpErrorReturnsFalseWithBodyAndTwoPartCommLine) {
    Login();
    server->ArmFault(R"({"kind":"401"})");
    std::string response;
    int code = 0;
    EXPECT_FALSE(client->Get(feed, response, true, "", code));
    EXPECT_EQ(code, 401);
    EXPECT_NE(response.find("Authorization required"), std::string::npos);
    const std::string log = ReadFile(dir / "comm.log");
    const auto at = log.find("curl:0 http:401\n<HTML>");
    EXPECT_NE(at, std::string::npos) << log;

    server->ArmFault(R"({"kind":"500"})");
    response.clear();
    EXPECT_FALSE(client->Get(feed, response, true, "", code));
    EXPECT_EQ(code, 500);
    response.clear();
    EXPECT_TRUE(client->Get(feed, response, true, "", code));  // the faults were one-shot
    EXPECT_EQ(code, 200);
}

TEST_F(HttpClientTest, TransferFailuresGiveCodeZeroAndCurlText) {
    Login();
    struct Row {
        const char* fault;
        int code;  // the status line of a cut answer did arrive
        const char* textStart;
    };
    const std::array<Row, 2> rows{{
        {R"({"kind":"cut"})", 200, "transfer closed"},
        {R"({"kind":"slow","seconds":30})", 0, "Operation timed out"},
    }};
    client->SetTimeout(1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        server->ArmFault(row.fault);
        std::string response;
        int code = -1;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(client->Get(feed, response, true, "", code));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(code, row.code) << response;
        EXPECT_EQ(response.rfind(row.textStart, 0), 0u) << response;
    }
}

// A stalled server (an answer that never comes, or a body that stops half
// way) does not hold the caller: Abort() from another thread ends the
// transfer at once, and later requests fail until ClearAbort().
TEST_F(HttpClientTest, AbortEndsAStalledTransferAtOnce) {
    Login();
    for (const char* fault :
         {R"({"kind":"slow","seconds":30})", R"({"kind":"stall","seconds":30})"}) {
        SCOPED_TRACE(fault);
        server->ArmFault(fault);
        const int before = server->RequestCount();
        std::thread aborter([&] {
            testsupport::WaitFor([&] { return server->RequestCount() > before; });
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            client->Abort();
        });
        std::string response;
        int code = -1;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(client->Get(feed + "?gsessionid=x", response, true, "", code));
        const auto elapsed = std::chrono::steady_clock::now() - started;
        aborter.join();
        EXPECT_LT(elapsed, std::chrono::milliseconds(900));
        EXPECT_EQ(response, googledata::kAbortedText);
        const int count = server->RequestCount();
        EXPECT_FALSE(client->Get(feed, response, true, "", code));  // no transfer at all
        EXPECT_EQ(server->RequestCount(), count);
        client->ClearAbort();
        server->ClearFaults();
    }
    std::string response;
    int code = 0;
    EXPECT_TRUE(client->Get(feed, response, true, "", code)) << response;
}

TEST_F(HttpClientTest, OnlyHttpsOrLoopbackAddressesAreRequested) {
    struct Row {
        const char* url;
        bool permitted;
    };
    const std::array<Row, 10> rows{{
        {"https://www.google.com/accounts/ClientLogin", true},
        {"HTTPS://www.google.com/", true},
        {"http://www.google.com/accounts/ClientLogin", false},
        {"HTTP://calendar.example.com/", false},
        {"ftp://www.google.com/", false},
        {"http://127.0.0.1:8080/accounts/ClientLogin", true},
        {"http://127.8.9.10/", true},
        {"http://[::1]:99/", true},
        {"http://localhost/", true},
        {"http://128.0.0.1/", false},
    }};
    for (const auto& row : rows) {
        EXPECT_EQ(googledata::IsPermittedAddress(row.url), row.permitted) << row.url;
    }
    EXPECT_FALSE(googledata::IsPermittedAddress("not a url"));

    // A refused login sends nothing; the text and comm.log say why.
    std::string response;
    int code = -1;
    const int before = server->RequestCount();
    EXPECT_FALSE(
        client->ClientLogin(kEmail, kPassword, "http://calendar.example.com", response, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(response, std::string(googledata::kRefusedAddressText) +
                            "http://calendar.example.com/accounts/ClientLogin");
    EXPECT_EQ(server->RequestCount(), before);
    EXPECT_NE(ReadFile(dir / "comm.log").find("Refused an address that is not https"),
              std::string::npos);
}

// The whole answer is held in memory: one beyond the limit fails the request,
// whether its length is announced or it comes in chunks, and says so in
// comm.log; one of exactly the limit is read whole.
TEST_F(HttpClientTest, OversizedResponseFailsCleanly) {
    Login();
    constexpr size_t kLimit = 300000;
    client->SetResponseLimit(kLimit);
    WriteFile(dir / "exact.xml", std::string(kLimit, 'x'));
    WriteFile(dir / "over.xml", std::string(kLimit + 1, 'x'));
    struct Row {
        const char* file;
        bool chunked;
        bool ok;
    };
    const std::array<Row, 4> rows{{
        {"exact.xml", false, true},
        {"exact.xml", true, true},
        {"over.xml", false, false},
        {"over.xml", true, false},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.file) + (row.chunked ? " chunked" : ""));
        server->ArmFault(std::string(R"({"kind":"status","code":200,"body_file":)") +
                         StandinServer::Quote(dir / row.file) +
                         (row.chunked ? R"(,"chunked":true})" : "}"));
        std::string response;
        int code = 0;
        EXPECT_EQ(client->Get(feed, response, true, "", code), row.ok);
        EXPECT_EQ(code, 200);
        if (row.ok) {
            EXPECT_EQ(response.size(), kLimit);
        } else {
            EXPECT_EQ(response, "Response larger than 300000 bytes, refused");
        }
    }
    const std::string log = ReadFile(dir / "comm.log");
    EXPECT_NE(log.find(" http:200\nResponse larger than 300000 bytes, refused"), std::string::npos)
        << log;
    // The handle is fine afterwards.
    std::string response;
    int code = 0;
    EXPECT_TRUE(client->Get(feed, response, true, "", code));
    EXPECT_EQ(HttpClient::kResponseLimit, 64u * 1024 * 1024);
}

TEST_F(HttpClientTest, UnresolvableProxy) {
    client->SetProxy("no-such-proxy.invalid:8080", "user", "pw");
    std::string response;
    int code = -1;
    EXPECT_FALSE(client->Get(feed, response, true, "", code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(response.rfind("Could not resolve proxy", 0), 0u) << response;
}

TEST_F(HttpClientTest, UnknownCertificateIsRefused) {
    HttpClient strict;  // the system's CA store only
    strict.SetCommLogPath(dir / "comm.log");
    std::string response;
    int code = -1;
    EXPECT_FALSE(strict.ClientLogin(kEmail, kPassword, server->Base(), response, code));
    EXPECT_EQ(code, 0);
    EXPECT_NE(response.find("certificate"), std::string::npos) << response;
    EXPECT_TRUE(strict.GetAuthHeader().empty());
    // The same server by its other certified name, trusted through the CA file.
    std::string base = server->Base();
    base.replace(base.find("127.0.0.1"), 9, "localhost");
    EXPECT_TRUE(client->ClientLogin(kEmail, kPassword, base, response, code)) << response;
}

TEST_F(HttpClientTest, UnknownMethodAndMissingBodyFileSendNothing) {
    const int before = server->RequestCount();
    std::string response;
    int code = -1;
    EXPECT_FALSE(client->Request("PATCH", feed, {}, {}, response, code));
    EXPECT_EQ(code, 0);
    RequestBody body;
    body.filePath = dir / "missing.xml";
    EXPECT_FALSE(client->Request("POST", feed, {}, body, response, code));
    EXPECT_EQ(server->RequestCount(), before);
    const std::string log = ReadFile(dir / "comm.log");
    EXPECT_EQ(log.find("curl:"), std::string::npos) << log;
    EXPECT_NE(log.find("PATCH: " + feed), std::string::npos);
}

TEST_F(HttpClientTest, PostBodyFromFileAndDeleteAfterPut) {
    Login();
    WriteFile(dir / "entry.xml",
              "<entry xmlns='http://www.w3.org/2005/Atom'><title>f</title></entry>");
    RequestBody body;
    body.filePath = dir / "entry.xml";
    std::string response;
    int code = 0;
    EXPECT_TRUE(client->Request("POST", feed, {"GData-Version: 2", client->GetAuthHeader()}, body,
                                response, code))
        << response;
    EXPECT_EQ(code, 201);
    EXPECT_EQ(server->Request().body, ReadFile(dir / "entry.xml"));

    const std::string edit = server->AddEvent(R"({"calendar":"taro.yamada+cal@example.com"})");
    ASSERT_TRUE(client->Put(edit, "<entry xmlns='http://www.w3.org/2005/Atom'/>", response, true,
                            "", code));
    server->ClearRequests();
    EXPECT_TRUE(client->Request("DELETE", edit, {client->GetAuthHeader()}, {}, response, code));
    EXPECT_EQ(server->Request().method, "DELETE");
    EXPECT_EQ(server->Request().body, "");
}

TEST_F(HttpClientTest, CommLogMasksAccountAndRotates) {
    server->AddAccount("hanako@example.com", "pw");
    const std::string hanako = server->AddCalendar(R"({"id":"hanako@example.com"})");
    std::string response;
    int code = 0;
    ASSERT_TRUE(client->ClientLogin("hanako@example.com", "pw", server->Base(), response, code));
    ASSERT_TRUE(client->Get(hanako, response, true, "", code));
    const std::string log = dir / "comm.log";
    const std::string text = ReadFile(log);
    EXPECT_EQ(text.find("hanako%40example.com"), std::string::npos) << text;
    EXPECT_NE(text.find("GET: " + server->Base() + "/calendar/feeds/[user_id]/private/full"),
              std::string::npos)
        << text;

    WriteFile(log, std::string(600000, 'x'));
    WriteFile(log + ".bak", "an older backup");
    client->WriteCommLog("next");
    EXPECT_EQ(std::filesystem::file_size(log + ".bak"), 600000u);
    const std::string fresh = ReadFile(log);
    ASSERT_EQ(fresh.size(), std::string("MM/DD hh:mm:ss.mmmnext\n").size());
    EXPECT_EQ(fresh.substr(18), "next\n");
    EXPECT_EQ(fresh[2], '/');
}

TEST_F(HttpClientTest, HttpTraceHoldsBodiesAndUrls) {
    Login();
    client->SetHttpLog(dir / "httpLog.txt");
    std::string response;
    int code = 0;
    ASSERT_TRUE(client->Post(feed, "<entry xmlns='http://www.w3.org/2005/Atom'/>", response, true,
                             "", code));
    const std::string trace = ReadFile(dir / "httpLog.txt");
    const std::string dashes = "-----------------------------------\n";
    EXPECT_EQ(trace.rfind("TX -POST" + dashes + "<entry xmlns='http://www.w3.org/2005/Atom'/>\n" +
                              feed + "\n",
                          0),
              0u)
        << trace;
    EXPECT_NE(trace.find("RX -POST" + dashes + response + "\n" + feed + "\n"), std::string::npos);
}

TEST_F(HttpClientTest, HttpTraceKeepsTheLoginFormAndTokenOut) {
    client->SetHttpLog(dir / "httpLog.txt");
    Login();
    std::string response;
    int code = 0;
    ASSERT_TRUE(client->Get(feed, response, true, "", code));
    const std::string trace = ReadFile(dir / "httpLog.txt");
    EXPECT_NE(trace.find("RX -GET"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("Passwd"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("pa%20ss"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("Auth="), std::string::npos) << trace;
    EXPECT_EQ(trace.find("GoogleLogin auth="), std::string::npos) << trace;
}

TEST_F(HttpClientTest, CurlTraceLevelOneKeepsPasswordOut) {
    HttpClient::SetCurlLog(1, dir / "CurlLog.txt");
    Login();
    std::string response;
    int code = 0;
    client->Get(feed, response, true, "", code);
    HttpClient::SetCurlLog(0, "");
    const std::string trace = ReadFile(dir / "CurlLog.txt");
    EXPECT_NE(trace.find("THIS LINE INCLUDES PRIVATE INFO"), std::string::npos);
    EXPECT_EQ(trace.find("Passwd"), std::string::npos);
    EXPECT_EQ(trace.find("pa%20ss"), std::string::npos);
    EXPECT_EQ(trace.find("GoogleLogin auth="), std::string::npos);
    EXPECT_NE(trace.find("<0> "), std::string::npos);  // an info text with its stamp line
}

TEST(MaskTraceText, Table) {
    struct Row {
        std::string in;
        std::string out;
    };
    const std::string notice = "**** THIS LINE INCLUDES PRIVATE INFO, SO REMOVED ****";
    const std::array<Row, 6> rows{{
        {"Email=a&Passwd=secret", notice},
        {"<gd:where valueString='home'/>", notice},
        {"Authorization: GoogleLogin auth=DQAAA", notice},
        {"to: abcdefghijklm@example.com", "to: abcd**********example.com"},
        {"ab@c", "***c"},
        {std::string(100, 'y'), std::string(80, 'y')},
    }};
    for (const auto& row : rows) {
        EXPECT_EQ(googledata::MaskTraceText(row.in), row.out) << row.in;
    }
    // "@" as the fourteenth character: characters 5 to 14 become "*".
    EXPECT_EQ(googledata::MaskTraceText("abcdefghijklm@x"), "abcd**********x");
}

}  // namespace
