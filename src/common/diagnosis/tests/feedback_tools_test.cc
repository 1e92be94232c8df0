// The feedback entry points on Wine's real clipboard and shell, and the
// support page's address.
#include "src/common/diagnosis/feedback_tools.h"

#include <functional>
#include <map>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/registry.h"
#include "base/string_util.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "src/common/diagnosis/diagnosis_upload.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

using namespace diagnosis::testing;

std::string ClipboardText() {
  std::string text;
  if (!::OpenClipboard(nullptr)) return "<clipboard not opened>";
  if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(::GlobalLock(data))) {
      text = bytes;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

// Wine keeps the clipboard in step with the X server's selection; just after
// another process (an earlier test) owned it, a read may still see that
// process's text for a moment. Waits until the clipboard shows what `expected`
// accepts, and answers the last text read.
std::string WaitForClipboard(const std::function<bool(const std::string&)>& expected) {
  std::string text;
  WaitFor([&] { return expected(text = ClipboardText()); }, std::chrono::seconds(10));
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Our own text on the clipboard, as every process sees it.
void SettleClipboard(const std::string& path) {
  const bool settled = WaitFor(
      [&] {
        CopyTextToClipboard(path, "code-0-d0-0-d1-0-d2-0-d3-0");
        ::Sleep(100);
        return StartsWith(ClipboardText(), "Diagnosis Path: " + path + "\n");
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(settled);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct ParsedUrl {
  std::string base;
  std::vector<std::pair<std::string, std::string>> pairs;  // decoded values, in order
};

ParsedUrl ParseUrl(const std::string& url) {
  ParsedUrl parsed;
  const size_t question = url.find('?');
  parsed.base = url.substr(0, question);
  std::string query = url.substr(question + 1);
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t equals = pair.find('=');
    parsed.pairs.emplace_back(pair.substr(0, equals), PercentDecode(pair.substr(equals + 1)));
    start = end + 1;
  }
  return parsed;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

class FeedbackTest : public ::testing::Test {
 protected:
  TestMachine machine_;
};

TEST_F(FeedbackTest, ClipboardNamesPathChannelAndCodes) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, machine_.product_key(), L"ChannelId", 0xFFFFFFFEull));
  CopyTextToClipboard("quillorane/diagnosis/2026/12/08/abc/1.7z", "code-2-d0-0-d1-0-d2-0-d3-0");
  const std::string expected =
      "Diagnosis Path: quillorane/diagnosis/2026/12/08/abc/1.7z\nChannel Id: 4294967294\n"
      "code-2-d0-0-d1-0-d2-0-d3-0";
  EXPECT_EQ(WaitForClipboard([&](const std::string& text) { return text == expected; }), expected);
}

// Another window holding the clipboard open: the copy gives up quietly.
TEST_F(FeedbackTest, BusyClipboardIsSilent) {
  SettleClipboard("first");
  HWND owner = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  ASSERT_TRUE(::OpenClipboard(owner));
  std::thread([] { CopyTextToClipboard("second", "code-1-d0-0-d1-0-d2-0-d3-0"); }).join();
  ::CloseClipboard();
  ::DestroyWindow(owner);
  const std::string clipboard = ClipboardText();
  EXPECT_TRUE(StartsWith(clipboard, "Diagnosis Path: first\n")) << clipboard;
}

TEST_F(FeedbackTest, SupportUrlCarriesSevenEncodedPairs) {
  const std::string device = "0123456789abcdef0123456789abcdef";
  const std::string info = "quillorane/diagnosis/2026/12/08/" + device + "/17.7z";
  const std::string url = BuildSupportPageUrl(device, "zephris-install", info, "", "1.2.3.4");

  // Nothing in the address that a URL may not hold as it is.
  for (const char c : url) {
    EXPECT_TRUE(static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F && c != '"' &&
                c != '|' && c != ' ')
        << "raw byte " << static_cast<int>(static_cast<unsigned char>(c)) << " in " << url;
  }
  const ParsedUrl parsed = ParseUrl(url);
  EXPECT_EQ(parsed.base, std::string(kSupportPageOrigin) + "/product/" + kSupportProductNumber);
  ASSERT_EQ(parsed.pairs.size(), 7u) << url;
  const char* keys[] = {"nickname", "avatar", "openid", "clientInfo", "clientVersion", "osVersion", "customInfo"};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(parsed.pairs[i].first, keys[i]);
  EXPECT_EQ(parsed.pairs[0].second, "隐士cdef");
  EXPECT_EQ(parsed.pairs[1].second,
            "\"" + std::string(kSupportStaticOrigin) + "/static/desktop/img/products/def-product-logo.png\"");
  EXPECT_EQ(parsed.pairs[2].second, device);
  const std::vector<std::string> client = Split(parsed.pairs[3].second, '|');
  ASSERT_EQ(client.size(), 3u) << parsed.pairs[3].second;
  int vendor = 0;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  EXPECT_EQ(client[0], brand);
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
  EXPECT_EQ(client[2], std::to_string(memory.ullTotalPhys >> 30));
  EXPECT_EQ(parsed.pairs[4].second, "1.2.3.4");
  EXPECT_EQ(parsed.pairs[5].second, "windows|" + base::GetOsVersionString());
  EXPECT_EQ(parsed.pairs[6].second, "zephris-install|" + info + "|null|null|null|0");
}

TEST_F(FeedbackTest, EmptyVersionGivesThreeFieldsAndEmptyTextsNull) {
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, machine_.product_key(), L"Version", L"5.0.0.1"));
  const ParsedUrl parsed = ParseUrl(BuildSupportPageUrl("ab", "", "", "x", ""));
  ASSERT_EQ(parsed.pairs.size(), 7u);
  EXPECT_EQ(parsed.pairs[0].second, "隐士ab");  // fewer than four characters: all of them
  const std::vector<std::string> version = Split(parsed.pairs[4].second, '|');
  ASSERT_EQ(version.size(), 3u);
  EXPECT_EQ(version[0], "5.0.0.1");
  EXPECT_EQ(version[2], "Orvalis");
  EXPECT_EQ(parsed.pairs[6].second, "null|null|x|null|null|0");
}

// The link is opened through the shell (here a program that marks its own
// start), the upload starts, and the clipboard names its remote path.
TEST_F(FeedbackTest, OpenUrlWithDiagnosisOpensUploadsAndFillsTheClipboard) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, machine_.product_key(), L"api_debug_mode", 1));
  machine_.PlantSevenZipLibrary();
  const char* probe = std::getenv("QL_OPEN_PROBE");
  ASSERT_NE(probe, nullptr);
  const fs::path opened = machine_.root() / L"open_probe.exe";
  fs::copy_file(base::Utf8ToWide(probe), opened);
  GlobalConfig::Instance().install_result_code = 2;

  OpenUrlWithDiagnosis(base::WideToUtf8(opened.wstring()), true);

  GlobalConfig::Instance().install_result_code = 0;
  EXPECT_TRUE(WaitFor([&] { return fs::exists(machine_.root() / L"open_probe.exe.opened"); }, std::chrono::seconds(30)));
  const std::string clipboard = WaitForClipboard([](const std::string& text) {
    return StartsWith(text, "Diagnosis Path: quillorane/diagnosis/") && text.find("\ncode-2-") != std::string::npos;
  });
  const std::vector<std::string> lines = Split(clipboard, '\n');
  ASSERT_EQ(lines.size(), 3u) << clipboard;
  EXPECT_EQ(lines[0].rfind("Diagnosis Path: quillorane/diagnosis/", 0), 0u) << clipboard;
  EXPECT_EQ(lines[2], "code-2-d0-0-d1-0-d2-0-d3-0");
  // The upload arrives under the path on the clipboard.
  const std::string remote = lines[0].substr(16);
  const char* state = std::getenv("QL_WEB_API_STATE");
  ASSERT_NE(state, nullptr);
  const fs::path uploads = fs::path(L"Z:") / base::Utf8ToWide(state) / L"uploads";
  EXPECT_TRUE(WaitFor(
      [&] {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(uploads, ec)) {
          if (entry.path().extension() != L".json") continue;
          const auto record = nlohmann::json::parse(ReadFile(entry.path()), nullptr, false);
          if (record.is_object() && record.value("remote_path", "") == remote) return true;
        }
        return false;
      },
      std::chrono::seconds(120)));
}

// Without diagnosis only the link opens: no upload, the clipboard untouched.
TEST_F(FeedbackTest, OpenUrlWithoutDiagnosisOnlyOpens) {
  const char* probe = std::getenv("QL_OPEN_PROBE");
  ASSERT_NE(probe, nullptr);
  const fs::path opened = machine_.root() / L"open_probe.exe";
  fs::copy_file(base::Utf8ToWide(probe), opened);
  SettleClipboard("before");

  OpenUrlWithDiagnosis(base::WideToUtf8(opened.wstring()), false);

  EXPECT_TRUE(WaitFor([&] { return fs::exists(machine_.root() / L"open_probe.exe.opened"); }, std::chrono::seconds(30)));
  const std::string clipboard = ClipboardText();
  EXPECT_EQ(clipboard.rfind("Diagnosis Path: before\n", 0), 0u) << clipboard;
}

}  // namespace
}  // namespace diagnosis
