// The WinHTTP client against the loopback server of testing/winhttp.
#include "net/winhttp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

namespace net {
namespace {

std::wstring Url(const std::wstring& path) {
  const char* port = std::getenv("QL_WINHTTP_TEST_PORT");
  return L"http://127.0.0.1:" + std::wstring(port, port + std::strlen(port)) + path;
}

// A key of its own for each use, so that the server's count of the requests
// that carried it is this test's alone.
std::wstring UniqueKey() {
  static int counter = 0;
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) + L"-" +
         std::to_wstring(++counter);
}

// How many requests with `key` reached the server, each attempt counting once.
int RequestsWithKey(const std::wstring& key) {
  WinHttpClient counter(Url(L"/count?key=" + key));
  counter.SendRequest(false, L"GET");
  return counter.GetStatusCodeText() == L"200" ? std::stoi(counter.ResponseText()) : -1;
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 >> 3) & 0xFF);
  return bytes;
}

class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH + 1];
    path_.assign(temp, ::GetTempPathW(MAX_PATH + 1, temp));
    path_ += L"winhttp-test-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const wchar_t* name : {L"file.bin", L"file.bin.part"}) ::DeleteFileW((path_ + L"\\" + name).c_str());
    ::RemoveDirectoryW(path_.c_str());
  }
  std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path) {
  base::ScopedKernelHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (file.IsValid() && ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  base::ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

TEST(WinHttpClientTest, GetsTextAndBytes) {
  WinHttpClient text(Url(L"/ok"));
  EXPECT_TRUE(text.SendRequest(false, L"get"));
  EXPECT_EQ(text.GetStatusCodeText(), L"200");
  EXPECT_EQ(text.LastError(), 0u);
  EXPECT_EQ(text.ResponseText(), L"hello from the loopback server\n");
  EXPECT_EQ(text.ContentLength(), 31u);
  EXPECT_EQ(text.Host(), L"127.0.0.1");
  EXPECT_NE(text.ResponseHeaders().find(L"HTTP/1.1 200"), std::wstring::npos);

  WinHttpClient raw(Url(L"/bytes?size=100000"));
  EXPECT_TRUE(raw.SendRequest(true, L"GET"));
  EXPECT_EQ(raw.ResponseBytes(), Pattern(100000));
  EXPECT_TRUE(raw.ResponseText().empty());  // raw mode keeps bytes only
}

TEST(WinHttpClientTest, PostsBodyAndHeaders) {
  WinHttpClient client(Url(L"/echo"));
  client.SetPostData("{\"key\":\"välue\"}");
  client.SetExtraHeaders(L"Content-Type: application/json\r\nX-Quillorane-Test: 42\r\n");
  client.SetRequestCookies(L"session=abc");
  EXPECT_TRUE(client.SendRequest(false, L"POST"));
  EXPECT_EQ(client.GetStatusCodeText(), L"200");
  const std::wstring& echo = client.ResponseText();
  EXPECT_NE(echo.find(L"\"method\": \"POST\""), std::wstring::npos) << echo;
  EXPECT_NE(echo.find(L"\"body\": \"{\\\"key\\\":\\\"välue\\\"}\""), std::wstring::npos) << echo;
  EXPECT_NE(echo.find(L"\"X-Quillorane-Test\": \"42\""), std::wstring::npos) << echo;
  // Sent once: a retry must not coalesce a header with a copy of itself.
  EXPECT_NE(echo.find(L"\"Content-Type\": \"application/json\""), std::wstring::npos) << echo;
  EXPECT_NE(echo.find(L"\"Cookie\": \"session=abc\""), std::wstring::npos) << echo;
  EXPECT_NE(echo.find(L"\"User-Agent\": \"zephris_install\""), std::wstring::npos) << echo;
}

TEST(WinHttpClientTest, RefusedVerbsAndUrlsSendNothing) {
  struct Case {
    std::wstring url;
    std::wstring verb;
    uint32_t error;
  };
  const Case cases[] = {
      {Url(L"/ok"), L"Get", WinHttpClient::kErrorBadVerb},
      {Url(L"/ok"), L"PUT", WinHttpClient::kErrorBadVerb},
      {L"", L"GET", WinHttpClient::kErrorEmptyUrl},
      {L"not a url", L"GET", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb + L" " + c.url);
    WinHttpClient client(c.url);
    EXPECT_FALSE(client.SendRequest(false, c.verb));
    EXPECT_EQ(client.LastError(), c.error);
    EXPECT_EQ(client.GetStatusCodeText(), L"404");
    EXPECT_TRUE(client.ResponseHeaders().empty());
  }
}

TEST(WinHttpClientTest, StatusCodesAndRedirects) {
  WinHttpClient missing(Url(L"/missing"));
  EXPECT_TRUE(missing.SendRequest(false, L"GET"));
  EXPECT_EQ(missing.GetStatusCodeText(), L"404");
  EXPECT_EQ(missing.ResponseText(), L"not here\n");
  EXPECT_EQ(missing.LastError(), 0u);

  for (const wchar_t* path : {L"/redirect", L"/redirect-chain"}) {
    WinHttpClient redirected(Url(path));
    EXPECT_TRUE(redirected.SendRequest(false, L"GET"));
    EXPECT_EQ(redirected.GetStatusCodeText(), L"200") << path;
    EXPECT_EQ(redirected.ResponseText(), L"hello from the loopback server\n") << path;
  }
}

TEST(WinHttpClientTest, CharsetsDecideTheDecoding) {
  WinHttpClient latin1(Url(L"/latin1"));
  latin1.SendRequest(false, L"GET");
  EXPECT_EQ(latin1.Charset(), L"ISO-8859-1");
  // The ANSI code page of the test prefix (1252) maps 0xE9 to é.
  EXPECT_EQ(latin1.ResponseText(), L"café");

  WinHttpClient upper(Url(L"/utf8-upper"));
  upper.SendRequest(false, L"GET");
  EXPECT_EQ(upper.Charset(), L"UTF-8");
  EXPECT_EQ(upper.ResponseText(), L"café");

  WinHttpClient cookies(Url(L"/cookies"));
  cookies.SendRequest(false, L"GET");
  EXPECT_EQ(cookies.ResponseCookies(), L"first=1; second=2;");
}

TEST(WinHttpClientTest, ProgressOnlyWithAnAnnouncedLength) {
  std::vector<double> seen;
  WinHttpClient sized(Url(L"/bytes?size=300000"), [&](double percent) { seen.push_back(percent); });
  sized.SendRequest(true, L"GET");
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front(), 0.0);
  EXPECT_EQ(seen.back(), 100.0);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  seen.clear();
  WinHttpClient chunked(Url(L"/chunked"), [&](double percent) { seen.push_back(percent); });
  chunked.SendRequest(false, L"GET");
  EXPECT_EQ(chunked.ResponseText(), L"first part, second part, last part\n");
  EXPECT_TRUE(seen.empty());
}

TEST(WinHttpClientTest, AnUnfinishedPageIsTriedThreeTimes) {
  const std::wstring key = UniqueKey();
  WinHttpClient client(Url(L"/broken-html?key=" + key));
  client.SendRequest(false, L"GET");
  EXPECT_EQ(client.LastError(), WinHttpClient::kErrorIncompletePage);
  EXPECT_EQ(client.ResponseText(), L"<html><body>this page never ends");
  EXPECT_EQ(RequestsWithKey(key), 3);
  // Raw mode does not look at the text: one attempt is enough.
  const std::wstring raw_key = UniqueKey();
  WinHttpClient raw(Url(L"/broken-html?key=" + raw_key));
  raw.SendRequest(true, L"GET");
  EXPECT_EQ(raw.LastError(), 0u);
  EXPECT_EQ(RequestsWithKey(raw_key), 1);
}

TEST(WinHttpClientTest, AFailedAttemptDoesNotSpoilALaterAnswer) {
  const std::wstring key = UniqueKey();
  WinHttpClient client(Url(L"/drop-once?key=" + key));
  EXPECT_TRUE(client.SendRequest(false, L"GET"));
  EXPECT_EQ(client.GetStatusCodeText(), L"200");
  EXPECT_EQ(client.ResponseText(), L"second time lucky\n");
  EXPECT_EQ(client.LastError(), 0u);
  EXPECT_EQ(RequestsWithKey(key), 2) << "the dropped attempt and the answered one";
}

TEST(WinHttpClientTest, TimeOutsAndRefusedConnections) {
  const std::wstring key = UniqueKey();
  WinHttpClient slow(Url(L"/slow?ms=3000&key=" + key));
  WinHttpTimeouts timeouts;
  timeouts.receive = 300;
  slow.SetTimeouts(timeouts);
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(slow.SendRequest(false, L"GET"));
  EXPECT_LT(::GetTickCount64() - start, 2900u) << "three attempts of 300 ms each";
  // Each attempt sends the request again (under Wine over the same
  // connection); the last one may still be on its way to the server.
  int requests = 0;
  for (int i = 0; i < 50 && (requests = RequestsWithKey(key)) < 3; ++i) ::Sleep(100);
  EXPECT_EQ(requests, 3);
  // Windows reports its own time-out code; Wine passes the socket's on.
  EXPECT_TRUE(slow.LastError() == ERROR_WINHTTP_TIMEOUT || slow.LastError() == 10060 /* WSAETIMEDOUT */) << slow.LastError();
  EXPECT_EQ(slow.GetStatusCodeText(), L"404");

  WinHttpClient refused(L"http://127.0.0.1:18599/nothing-listens-here");
  EXPECT_FALSE(refused.SendRequest(false, L"GET"));
  EXPECT_EQ(refused.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
  EXPECT_EQ(refused.GetStatusCodeText(), L"404");

  // Name resolution is bounded too.
  EXPECT_GT(WinHttpClient(L"http://x/").Timeouts().resolve, 0);
}

TEST(WinHttpClientTest, DownloadWritesTheFileOnlyForACompleteSuccess) {
  TempFolder dir;
  const std::wstring target = dir / L"file.bin";

  WinHttpClient big(Url(L"/bytes?size=9000000"));
  EXPECT_TRUE(big.DownloadToFile(target));
  EXPECT_EQ(ReadAll(target), Pattern(9000000));
  EXPECT_TRUE(big.ResponseBytes().empty()) << "the body is not held in memory";
  EXPECT_FALSE(Exists(dir / L"file.bin.part"));

  struct Case {
    const wchar_t* path;
    const char* why;
  };
  const Case failures[] = {
      {L"/missing", "a 404 page is not the file"},
      {L"/short", "a body shorter than announced"},
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.why);
    WriteAll(target, "previous content");
    WinHttpClient client(Url(c.path));
    EXPECT_FALSE(client.DownloadToFile(target));
    EXPECT_EQ(ReadAll(target), "previous content");
    EXPECT_FALSE(Exists(dir / L"file.bin.part"));
  }

  WinHttpClient redirected(Url(L"/redirect"));
  EXPECT_TRUE(redirected.DownloadToFile(target));
  EXPECT_EQ(ReadAll(target), "hello from the loopback server\n");

  // An empty answer is an empty file, not a missing one.
  WinHttpClient empty(Url(L"/empty"));
  EXPECT_TRUE(empty.DownloadToFile(target));
  EXPECT_TRUE(Exists(target));
  EXPECT_EQ(ReadAll(target), "");

  // No folder for the file: nothing is written and the request is not repeated.
  WinHttpClient nowhere(Url(L"/ok"));
  EXPECT_FALSE(nowhere.DownloadToFile(dir / L"no-such-folder\\file.bin"));
  EXPECT_EQ(nowhere.LastError(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));

  ::DeleteFileW(target.c_str());
  WinHttpClient refused(L"http://127.0.0.1:18599/x");
  EXPECT_FALSE(refused.DownloadToFile(target));
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(dir / L"file.bin.part"));
}

TEST(WinHttpClientTest, HttpsAcceptsACertificateForAnotherName) {
  const char* port = std::getenv("QL_WINHTTP_TEST_PORT");
  const std::wstring url =
      L"https://127.0.0.1:" + std::to_wstring(std::atoi(port) + 45) + L"/redirect";  // self-signed, other name
  WinHttpClient client(url);
  if (!client.SendRequest(false, L"GET") && client.LastError() == ERROR_WINHTTP_CANNOT_CONNECT) {
    GTEST_SKIP() << "no HTTPS listener (the fixture needs openssl to make its certificate)";
  }
  EXPECT_EQ(client.GetStatusCodeText(), L"200");
  EXPECT_EQ(client.ResponseText(), L"hello from the loopback server\n");
  EXPECT_EQ(client.LastError(), 0u);
}

TEST(RegexExtractAllTest, CollectsFirstCapturesWithoutRepeats) {
  EXPECT_EQ(RegexExtractAll(L"id=([0-9]+)", L"id=1 id=22 ID=1 id=3"),
            (std::vector<std::wstring>{L"1", L"22", L"3"}));
  EXPECT_EQ(RegexExtractAll(L"a=([a-z]+)", L"a=X a=x"), (std::vector<std::wstring>{L"X"}));
  EXPECT_TRUE(RegexExtractAll(L"", L"text").empty());
  EXPECT_TRUE(RegexExtractAll(L"(x", L"text").empty());  // does not compile
  EXPECT_TRUE(RegexExtractAll(L"(x)", L"").empty());
  EXPECT_EQ(TrimChars(L"  a b  ", L" "), L"a b");
  EXPECT_EQ(TrimChars(L";;;", L";"), L"");
}

}  // namespace
}  // namespace net
