// The identifiers as processes of one executable see them: the shared
// sections, the profile files under the real application-data folder, and a
// process that dies while it holds the section. The peers are processes of
// testing/process's ql_section_peer; this program holds the lock on that
// image and on the profiles.
#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "testing/process/child_process.h"

namespace device_id {
namespace {

using namespace std::chrono_literals;
using testing_process::ChildProcess;
using testing_process::HelperPath;

std::wstring Peer(const std::wstring& arguments) {
  return L"\"" + HelperPath(L"ql_section_peer.exe") + L"\" " + arguments;
}

struct IdLine {
  long state = -1;
  std::string id;
};

// Runs one peer that asks for an identifier and reports "state=<s> id=<hex>".
IdLine AskPeer(const wchar_t* mode) {
  ChildProcess peer(Peer(mode));
  IdLine result;
  const std::optional<std::string> line = peer.ReadLine(30s);
  std::smatch match;
  if (line && std::regex_match(*line, match, std::regex("state=(\\d+) id=([0-9a-f]{32})"))) {
    result.state = std::stol(match[1]);
    result.id = match[2];
  } else {
    ADD_FAILURE() << "peer said: " << line.value_or("<nothing>");
  }
  EXPECT_EQ(peer.Wait(), 0u);
  return result;
}

std::filesystem::path ProfilePath(const char* vendor) {
  wchar_t app_data[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data);
  return std::filesystem::path(app_data) / "Orvalis" / vendor / "GlobalMgr.db";
}

TEST(SharedSectionTest, APublishedIdentifierIsTakenFromTheSection) {
  const std::string planted = "00112233445566778899aabbccddeeff";
  ChildProcess holder(Peer(L"zu-plant " + std::wstring(planted.begin(), planted.end())));
  ASSERT_EQ(holder.ReadLine(), "planted");
  const IdLine seen = AskPeer(L"zu-id");
  EXPECT_EQ(seen.state, 1);
  EXPECT_EQ(seen.id, planted);  // nothing generated: the bytes came from the other process

  // The product identifier's section is another one.
  const IdLine product = AskPeer(L"tu-id");
  EXPECT_NE(product.id, planted);
}

TEST(SharedSectionTest, TheSecondProcessCopiesWhatTheFirstMade) {
  for (const wchar_t* mode : {L"zu-id", L"tu-id"}) {
    ChildProcess holder(Peer(L"hold"));
    ASSERT_EQ(holder.ReadLine(), "holding");
    const IdLine first = AskPeer(mode);
    EXPECT_EQ(first.state, 0);  // a fresh section: the first one generates
    const IdLine second = AskPeer(mode);
    EXPECT_EQ(second.state, 1);
    EXPECT_EQ(second.id, first.id);
  }
}

TEST(SharedSectionTest, TheProfileKeepsTheIdentifierAcrossSectionLifetimes) {
  const IdLine first = AskPeer(L"zu-id");  // no holder: every peer starts a new lifetime
  const IdLine again = AskPeer(L"zu-id");
  EXPECT_EQ(first.state, 0);
  EXPECT_EQ(again.state, 0);
  EXPECT_EQ(again.id, first.id);
  EXPECT_NE(testing_process::ReadFileText(ProfilePath("vireon").wstring()).find("config1=" + first.id),
            std::string::npos);

  // Removing the product identifier's profile leaves the telemetry one alone.
  const IdLine product = AskPeer(L"tu-id");
  std::filesystem::remove(ProfilePath("Pellgrave"));
  EXPECT_EQ(AskPeer(L"zu-id").id, first.id);
  EXPECT_EQ(AskPeer(L"tu-id").id.size(), 32u);
  EXPECT_TRUE(std::filesystem::exists(ProfilePath("Pellgrave")));
  (void)product;
}

// A process that claimed a section and died before filling it must not keep
// the others waiting for as long as the section lives.
struct DeadClaimer {
  const wchar_t* section;  // "zu" or "tu"
  bool killed;             // killed while holding, or ended on its own
};

std::string Name(const DeadClaimer& c) {
  return std::string(c.section[0] == L'z' ? "zu" : "tu") + (c.killed ? "_killed" : "_ended");
}
void PrintTo(const DeadClaimer& c, std::ostream* out) { *out << Name(c); }

class DeadClaimerTest : public ::testing::TestWithParam<DeadClaimer> {};

TEST_P(DeadClaimerTest, OthersMakeTheIdentifierThemselves) {
  const std::wstring kind = GetParam().section;
  const IdLine expected = AskPeer((kind + L"-id").c_str());  // from the profile, in a lifetime of its own

  ChildProcess holder(Peer(L"hold"));  // keeps the section alive after the claimer is gone
  ASSERT_EQ(holder.ReadLine(), "holding");
  {
    ChildProcess claimer(Peer(kind + (GetParam().killed ? L"-claim hold" : L"-claim")));
    ASSERT_EQ(claimer.ReadLine(), "claimed");
    if (GetParam().killed) {
      claimer.Kill();
    } else {
      EXPECT_EQ(claimer.Wait(), 0u);
    }
  }
  const IdLine seen = AskPeer((kind + L"-id").c_str());
  EXPECT_EQ(seen.state, 0xFF);
  EXPECT_EQ(seen.id, expected.id);
}

INSTANTIATE_TEST_SUITE_P(BothSections, DeadClaimerTest,
                         ::testing::Values(DeadClaimer{L"zu", false}, DeadClaimer{L"tu", true}),
                         [](const auto& info) { return Name(info.param); });

// Filling may take long (a disk query alone may take 10 s); a claimer that is
// slow but alive is waited for, so only one process generates.
TEST(SharedSectionTest, ASlowClaimerIsWaitedForAsLongAsItLives) {
  for (const std::wstring kind : {L"zu", L"tu"}) {
    const std::string planted = "f0e1d2c3b4a5968778695a4b3c2d1e0f";
    ChildProcess holder(Peer(L"hold"));
    ASSERT_EQ(holder.ReadLine(), "holding");
    ChildProcess claimer(Peer(kind + L"-slow-plant " + std::wstring(planted.begin(), planted.end())));
    ASSERT_EQ(claimer.ReadLine(), "filling");

    ChildProcess waiter(Peer(kind + L"-id"));
    // Longer than any fixed limit a waiter might have given up after; the
    // claimer is still filling meanwhile.
    std::optional<std::string> line = waiter.ReadLine(6s);
    claimer.CloseInput();
    if (!line) line = waiter.ReadLine(30s);
    EXPECT_EQ(line.value_or("<nothing>"), "state=255 id=" + planted);
    EXPECT_EQ(waiter.Wait(), 0u);
    EXPECT_EQ(claimer.Wait(), 0u);
  }
}

}  // namespace
}  // namespace device_id
