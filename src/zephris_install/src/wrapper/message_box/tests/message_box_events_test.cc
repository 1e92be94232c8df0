// The boxes' telemetry as the collector receives it: the exposure of every
// box element when the box shows and again when it goes, each click with the
// box's card and the card that opened it, and the diagnosis choice of the
// feedback box's buttons.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/registry.h"
#include "base/text_conversion.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"
#include "src/zephris_install/src/boot/skin_resources.h"
#include "src/zephris_install/src/wrapper/message_box/feedback_tip_box.h"
#include "src/zephris_install/src/wrapper/message_box/tests/box_driver.h"
#include "src/zephris_install/src/wrapper/message_box/tiny_message_box.h"
#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

namespace fs = std::filesystem;
using box_testing::BoxDriver;
using box_testing::BoxView;
using nlohmann::json;

box_testing::Step ClickStep(const wchar_t* name) {
  return [name](BoxView& box) {
    box.Click(name);
    return true;
  };
}

struct Seen {
  std::string code;
  std::string card;
  std::string element;
  std::string source;
  std::string setup;
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << s.code << "/" << s.card << "/" << s.element << "/" << s.source << "/" << s.setup;
}

class BoxEventsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(InitSkinResources(::GetModuleHandleW(nullptr)));
    collector_ = new telemetry_rig::CollectorRig;
    ASSERT_TRUE(collector_->Start("ok"));
    db_ = new telemetry_rig::TempDir;
    vireon::VireonConfig config;
    config.app_key = key_ = "QLBOX" + std::to_string(::GetCurrentProcessId());
    config.db_path = db_->utf8();
    VireonClient::InitSDK(config);
  }
  static void TearDownTestSuite() {
    delete collector_;
    delete db_;
  }
  void SetUp() override { seen_ = collector_->Events().size(); }

  // The next |count| events of this process in the order they were raised.
  std::vector<Seen> Next(size_t count) {
    std::vector<json> mine;
    telemetry_rig::WaitFor(
        [&] {
          mine.clear();
          const auto events = collector_->Events();
          for (size_t i = seen_; i < events.size(); ++i) {
            if (events[i].value("app_key", "") == key_) mine.push_back(events[i]);
          }
          return mine.size() >= count;
        },
        std::chrono::seconds(30));
    std::sort(mine.begin(), mine.end(), [](const json& a, const json& b) {
      return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
    });
    seen_ = collector_->Events().size();
    std::vector<Seen> out;
    for (const json& e : mine) {
      const json& p = e["params"];
      out.push_back({e.value("event_code", ""), p.value("card_id", ""), p.value("element_id", ""),
                     p.value("source_card_id", ""), p.value("setup", "")});
    }
    return out;
  }

  fs::path PlantProbe() {
    const char* probe = std::getenv("QL_OPEN_PROBE");
    EXPECT_NE(probe, nullptr);
    if (probe == nullptr) return {};
    const fs::path planted = machine_.root() / L"group_link_probe.exe";
    fs::copy_file(base::Utf8ToWide(probe), planted, fs::copy_options::overwrite_existing);
    return planted;
  }

  diagnosis::testing::TestMachine machine_;
  size_t seen_ = 0;
  static inline telemetry_rig::CollectorRig* collector_ = nullptr;
  static inline telemetry_rig::TempDir* db_ = nullptr;
  static inline std::string key_;
};

std::vector<Seen> Exposure(const char* code, const std::string& card, const std::string& source,
                           std::initializer_list<const char*> elements) {
  std::vector<Seen> out;
  for (const char* element : elements) out.push_back({code, card, element, source, ""});
  return out;
}

std::vector<Seen> Join(std::initializer_list<std::vector<Seen>> parts) {
  std::vector<Seen> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST_F(BoxEventsTest, MessageBoxShowsClicksAndHidesItsElements) {
  BoxDriver driver(L"zephris_install_messagebox", 100, {ClickStep(L"cancel_btn")});
  ASSERT_EQ(TinyMessageBox::Show(nullptr, "quit_install_card", "installing_card", L"退出安装", L"确定要退出吗？",
                                 data::DefaultTikoGroupConfig(), L"确认", L"取消"),
            kMessageBoxCancel);
  const std::vector<Seen> expected =
      Join({Exposure("dt_imp", "quit_install_card", "installing_card", {"close_btn", "confirm_btn", "cancel_btn"}),
            {{"dt_clck", "quit_install_card", "cancel_btn", "installing_card", ""}},
            Exposure("dt_imp_end", "quit_install_card", "installing_card", {"close_btn", "confirm_btn", "cancel_btn"})});
  EXPECT_EQ(Next(expected.size()), expected);
}

// The group button says whether diagnostics went with it: unticked first,
// then ticked (the option's state in the skin).
TEST_F(BoxEventsTest, FeedbackBoxButtonsReportTheDiagnosisChoice) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, machine_.product_key(), L"api_debug_mode", 1));
  machine_.PlantSevenZipLibrary();
  const fs::path probe = PlantProbe();
  const data::TikoGroupConfig group{"123456", base::WideToUtf8(probe.wstring())};
  const std::string card = kFeedbackTipCardId;
  const auto shown = Exposure("dt_imp", card, "installing_card", {"close_btn", "jointiko_btn", "forum_btn"});
  const auto hidden = Exposure("dt_imp_end", card, "installing_card", {"close_btn", "jointiko_btn", "forum_btn"});
  struct Case {
    bool untick;
    const wchar_t* button;
    MessageBoxResult result;
    Seen click;
  } cases[] = {
      {true, L"jointiko_btn", kMessageBoxConfirm, {"dt_clck", card, "jointiko_btn", "installing_card", "disable"}},
      {true, L"forum_btn", kMessageBoxCancel, {"dt_clck", card, "forum_btn", "installing_card", "disable"}},
      {false, L"jointiko_btn", kMessageBoxConfirm, {"dt_clck", card, "jointiko_btn", "installing_card", "enable"}},
      {false, L"close_btn", kMessageBoxClose, {"dt_clck", card, "close_btn", "installing_card", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << base::WideToUtf8(c.button) << (c.untick ? " unticked" : " ticked"));
    std::vector<box_testing::Step> steps;
    if (c.untick) steps.push_back(ClickStep(L"diagnosis_option"));
    steps.push_back(ClickStep(c.button));
    BoxDriver driver(L"zephris_install_feedback_box", 100, std::move(steps));
    ASSERT_EQ(FeedbackTipBox::Show(nullptr, "installing_card", group), c.result);
    const std::vector<Seen> expected = Join({shown, {c.click}, hidden});
    EXPECT_EQ(Next(expected.size()), expected);
  }
}

}  // namespace
