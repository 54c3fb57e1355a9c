#include "shell/software_update.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/http/http_get.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HttpServer;
using testing_support::ScopedEnv;

// Real libcurl against the loopback server, with short limits and no proxy.
class UpdateFetchTest : public ::testing::Test {
 protected:
  UpdateFetchTest() { SetHttpClient(&client); }
  ~UpdateFetchTest() override { SetHttpClient(nullptr); }

  ScopedEnv noProxy1{"http_proxy", std::nullopt}, noProxy2{"HTTP_PROXY", std::nullopt},
      noProxy3{"https_proxy", std::nullopt}, noProxy4{"all_proxy", std::nullopt},
      noProxy5{"ALL_PROXY", std::nullopt};
  platform::http::CurlClient client{kUpdateUserAgent,
                                    {std::chrono::milliseconds(2000), std::chrono::milliseconds(1500), 1024}};
  HttpServer server;

  std::wstring Base() const {
    const std::string url = server.Url("/up/");
    return std::wstring(url.begin(), url.end());
  }
  void Serve(const std::string& body, int status = 200) {
    HttpServer::Reply reply;
    reply.status = status;
    reply.body = body;
    server.Set("/up/version.txt", reply);
  }
};

}  // namespace

TEST(VersionText, CompareVersionOnPlainAndOddInput) {
  struct Case {
    const wchar_t* first;
    const wchar_t* second;
    int result;
  } cases[] = {
      {L"1.0.0.0", L"1.0.0.1", 1},
      {L"1.0.0.0", L"1.0.0.0", 0},
      {L"1.0.0.0", L"0.9.9.9", -1},
      {L"1.0.0.0", L"1.0.1", 2},
      {L"1.0.0.0", L"1.0.0.1\r\n", 1},
      {L"1.0.0.0", L"2.x.0.0", 1},
      {L"1.0.0.0", L"", 2},
      {L"", L"", 0},
      {L"1.0.0.0", L"1.0.0.0.", 2},
      {L"1.2.0.0", L"1.10.0.0", 1},
      {L"1.0.0.0", L" 1.0.0.-1", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CompareVersion(c.first, c.second), c.result) << c.second;
}

TEST(VersionText, SplitStringKeepsEmptyPieces) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(SplitString(L"1..2", L"."), (V{L"1", L"", L"2"}));
  EXPECT_EQ(SplitString(L".", L"."), (V{L"", L""}));
  EXPECT_EQ(SplitString(L"", L"."), (V{L""}));
  EXPECT_EQ(SplitString(L"abc", L"."), (V{L"abc"}));
  EXPECT_EQ(SplitString(L"a::b::", L"::"), (V{L"a", L"b", L""}));
  EXPECT_EQ(SplitString(L"a.b", L""), (V{L"a.b"}));
}

TEST_F(UpdateFetchTest, SendsTheRequestAsTheServerExpectsIt) {
  Serve("1.0.0.1");
  HttpFetch fetch;
  std::wstring text;
  EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), 1);
  EXPECT_EQ(text, L"1.0.0.1");
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string head = server.Requests()[0];
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /up/version.txt HTTP/1.1");
  for (const char* line : {"\r\nUser-Agent: IIC2.0/PC 5.5.0000\r\n", "\r\nAccept: */*",
                           "\r\nPragma: no-cache", "\r\nCache-Control: no-cache"})
    EXPECT_NE((head + "\r\n").find(line), std::string::npos) << line << " in\n" << head;
}

TEST_F(UpdateFetchTest, DecidesOnTheFetchedText) {
  struct Case {
    std::string body;
    std::optional<std::wstring> newer;
  } cases[] = {
      {"1.0.0.1", L"1.0.0.1"},
      {"1.0.0.0", std::nullopt},
      {"0.9.9.9", std::nullopt},
      {"1.0.1", L"1.0.1"},
      {"1.0.0.1\r\n", L"1.0.0.1\r\n"},
      {"10.0.0.100", L"10.0.0.100"},  // exactly 10 units
      {"10.0.0.1000", std::nullopt},  // 11 units
      {"\xef\xbb\xbf"
       "1.0.0.1",
       L"1.0.0.1"},  // a byte-order mark is not part of the version
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    Serve(c.body);
    EXPECT_EQ(FindNewerVersion(Base()), c.newer) << c.body;
  }
}

// What a captive portal or an error page served with status 200 answers is no version: no update,
// and one line in the log. Versions with white space around them keep the comparison rule.
TEST_F(UpdateFetchTest, AnAnswerThatIsNoVersionIsNoUpdateAndLoggedOnce) {
  auto check = [&](const std::string& body) {
    Serve(body);
    testing::internal::CaptureStderr();
    std::optional<std::wstring> newer = FindNewerVersion(Base());
    const std::string log = testing::internal::GetCapturedStderr();
    size_t lines = 0;
    for (size_t at = log.find("[update]"); at != std::string::npos; at = log.find("[update]", at + 1))
      ++lines;
    return std::make_pair(newer, lines);
  };
  for (const std::string body :
       {"hello", "<html>", "v2", "1..2", ".1", "1.0.0.0.1", "1.0.0.1a", "1,0", " \r\n", "\xef\xbc\x92.0",
        "<html><body>Sign in to this network</body></html>"})
    EXPECT_EQ(check(body), std::make_pair(std::optional<std::wstring>(), size_t{1})) << body;
  EXPECT_EQ(check(" 1.0.0.1\r\n"), std::make_pair(std::optional<std::wstring>(L" 1.0.0.1\r\n"), size_t{0}));
  EXPECT_EQ(check("\t2\n"), std::make_pair(std::optional<std::wstring>(L"\t2\n"), size_t{0}));
  EXPECT_EQ(check("1.0.0.0 "), std::make_pair(std::optional<std::wstring>(), size_t{0}));
}

TEST_F(UpdateFetchTest, ErrorPagesAndBrokenTransfersAreNoAnswer) {
  for (int status : {404, 500, 301}) {
    Serve("9.9.9.9", status);
    HttpFetch fetch;
    std::wstring text = L"old";
    EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), -1) << status;
    EXPECT_EQ(text, L"") << status;
    EXPECT_EQ(FindNewerVersion(Base()), std::nullopt) << status;
  }

  Serve(std::string(2000, '1'));  // over the 1024-byte cap of this client
  HttpFetch fetch;
  std::wstring text;
  EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), -1);
  EXPECT_EQ(text, L"");

  HttpServer::Reply early;
  early.body = "1.0.0.1";
  early.stallAfter = 3;
  early.closeEarly = true;
  server.Set("/up/version.txt", early);
  EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), -1);
  EXPECT_EQ(text, L"");
}

TEST_F(UpdateFetchTest, UnreachableAndStalledServersEndInTime) {
  int closedPort = 0;
  {
    HttpServer gone;
    closedPort = gone.port();
  }
  HttpFetch fetch;
  std::wstring text;
  EXPECT_EQ(HttpGetText(fetch, L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/version.txt", &text),
            -1);

  HttpServer::Reply stall;
  stall.body = "1.0.0.1";
  stall.stallAfter = 2;
  server.Set("/up/version.txt", stall);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400)) << "gave up early";
  EXPECT_EQ(text, L"");
}

TEST_F(UpdateFetchTest, FollowsARedirectButReadsNoFileAddress) {
  HttpServer::Reply moved;
  moved.status = 302;
  moved.headers = {"Location: /up/real.txt"};
  server.Set("/up/version.txt", moved);
  HttpServer::Reply real;
  real.body = "1.0.0.2";
  server.Set("/up/real.txt", real);
  EXPECT_EQ(FindNewerVersion(Base()), std::optional<std::wstring>(L"1.0.0.2"));

  testing_support::TempDir dir;
  dir.Write("version.txt", "9.0.0.0");
  HttpFetch fetch;
  std::wstring text;
  EXPECT_EQ(HttpGetText(fetch, L"file://" + dir.wpath() + L"version.txt", &text), -1);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(FindNewerVersion(L"file://" + dir.wpath()), std::nullopt);

  HttpServer::Reply toFile;
  toFile.status = 302;
  toFile.headers = {"Location: file://" + dir.path() + "version.txt"};
  server.Set("/up/version.txt", toFile);
  EXPECT_EQ(FindNewerVersion(Base()), std::nullopt);
}

TEST_F(UpdateFetchTest, CancelFromAnotherThreadKeepsTheBytesSoFar) {
  HttpServer::Reply stall;
  stall.body = "1.0.0.1";
  stall.stallAfter = 4;
  server.Set("/up/version.txt", stall);
  HttpFetch fetch;
  std::wstring text;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    fetch.keepGoing = false;
  });
  // -2, not the stall time-out's -1: the cancel ended the fetch.
  EXPECT_EQ(HttpGetText(fetch, Base() + L"version.txt", &text), -2);
  canceller.join();
  EXPECT_EQ(text, L"1.0.");
}

TEST(UpdateCheck, EmptyAddressSendsNothingAndSetupFailureIsNoAnswer) {
  platform::http::FakeClient fake;
  SetHttpClient(&fake);
  EXPECT_EQ(FindNewerVersion(L""), std::nullopt);
  EXPECT_TRUE(fake.requests.empty());
  fake.answers["https://example.com/version.txt"] = {1, "1.0.0.1"};
  EXPECT_EQ(FindNewerVersion(L"https://example.com/"), std::optional<std::wstring>(L"1.0.0.1"));
  EXPECT_EQ(fake.requests, std::vector<std::string>{"https://example.com/version.txt"});
  fake.failSetup = true;
  EXPECT_EQ(FindNewerVersion(L"https://example.com/"), std::nullopt);
  SetHttpClient(nullptr);
}
