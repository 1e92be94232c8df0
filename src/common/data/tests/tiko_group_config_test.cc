// The user-group configuration against the web API stand-in: its built-in
// values, the query it sends, and what each answer leaves in the record.
#include "src/common/data/tiko_group_config.h"

#include <gtest/gtest.h>

#include "net/web_api_endpoint.h"
#include "src/common/data/tests/web_api_rig.h"

namespace data {
namespace {

using nlohmann::json;
using testing::RecallAnswer;

class TikoGroupConfigTest : public testing::WebApiTest {};

// The service's configuration.
constexpr char kServedNumber[] = "618203457";
constexpr char kServedLink[] = "https://chat.quillorane.test/join?group_code=618203457";

TEST(TikoGroupConfigDefaults, NumberAndJoinLink) {
  const TikoGroupConfig config = DefaultTikoGroupConfig();
  ASSERT_EQ(config.tiko_number.size(), 9u);
  EXPECT_EQ(config.tiko_number.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(config.group_link.rfind("http://", 0), 0u);
  const std::string query =
      "?_wv=1027&k=T4mQ-ZxwPa8nLrVe2KsYd6HjBo0cUgFi"
      "&authKey=Q2WNRXKB8HZDPLE%2FTrs%2BUfmvYcqBeA07P3MD5CyWtLhk%2B8RNJZAsbGmPXdhCzTqV&noverify=0&group_code=" +
      config.tiko_number;
  ASSERT_GE(config.group_link.size(), query.size());
  EXPECT_EQ(config.group_link.substr(config.group_link.size() - query.size()), query);
}

TEST_F(TikoGroupConfigTest, FetchesTheServedConfiguration) {
  const std::string scene = Marker("rig_scene_served");
  const TikoGroupConfig config = FetchTikoGroupCfg(scene);
  EXPECT_EQ(config.tiko_number, kServedNumber);
  EXPECT_EQ(config.group_link, kServedLink);

  const json bodies = Requests(std::string(net::kPathRecall), scene);
  ASSERT_EQ(bodies.size(), 1u);
  const json sent = json::parse(bodies[0].get<std::string>());
  EXPECT_EQ(sent["reqHead"]["cmd"], "RecallBbsFeedbackCfg");
  EXPECT_EQ(sent["condition"]["bid"], "tuvo");
  EXPECT_EQ(sent["condition"]["listS"],
            (json{{"scene", {{"repStr", json::array({scene})}}}, {"error_code", {{"repStr", json::array({"0"})}}}}));
}

// Only this case sends an empty scene, so the count of "unknown" scenes
// grows by exactly its request.
TEST_F(TikoGroupConfigTest, EmptySceneIsSentAsUnknown) {
  const std::string unknown = R"("scene":{"repStr":["unknown"]})";
  const size_t before = Requests(std::string(net::kPathRecall), unknown).size();
  EXPECT_EQ(FetchTikoGroupCfg("").tiko_number, kServedNumber);
  EXPECT_EQ(Requests(std::string(net::kPathRecall), unknown).size(), before + 1);
}

// What each answer leaves: a part read before a failure stays.
TEST_F(TikoGroupConfigTest, AnswerShapes) {
  const TikoGroupConfig defaults = DefaultTikoGroupConfig();
  const auto content = [](const json& array) { return RecallAnswer({{"content", array.dump()}}); };
  const std::string link = "https://chat.quillorane.test/join?group_code=777";
  struct Case {
    const char* name;
    std::string answer;
    std::string number;
    std::string link;
  };
  const Case cases[] = {
      {"number and link", content({{{"tiko_number", 123456789}, {"tiko_group_link", link}}}), "123456789", link},
      {"fractional number", content({{{"tiko_number", 123456789.75}, {"tiko_group_link", link}}}), "123456789", link},
      {"number as a string", content({{{"tiko_number", "123456789"}, {"tiko_group_link", link}}}),
       defaults.tiko_number, defaults.group_link},
      {"no link", content({{{"tiko_number", 123456789}}}), "123456789", defaults.group_link},
      {"link is a number", content({{{"tiko_number", 123456789}, {"tiko_group_link", 5}}}), "123456789",
       defaults.group_link},
      // A group number is never negative; it would wrap into 20 digits.
      {"negative number", content({{{"tiko_number", -5}, {"tiko_group_link", link}}}), defaults.tiko_number,
       defaults.group_link},
      // The windows hand the link to the shell: only web links are taken.
      {"link to a program", content({{{"tiko_number", 123456789}, {"tiko_group_link", "file:///C:/Windows/notepad.exe"}}}),
       "123456789", defaults.group_link},
      {"link without scheme", content({{{"tiko_number", 123456789}, {"tiko_group_link", "calc.exe"}}}), "123456789",
       defaults.group_link},
      {"bare scheme", content({{{"tiko_number", 123456789}, {"tiko_group_link", "https://"}}}), "123456789",
       defaults.group_link},
      {"upper-case scheme", content({{{"tiko_number", 123456789}, {"tiko_group_link", "HTTPS://chat.quillorane.test/j"}}}),
       "123456789", "HTTPS://chat.quillorane.test/j"},
      {"content is an object", RecallAnswer({{"content", R"({"tiko_number":1})"}}), defaults.tiko_number,
       defaults.group_link},
      {"content is an empty array", content(json::array()), defaults.tiko_number, defaults.group_link},
      {"content is not JSON", RecallAnswer({{"content", "[{"}}), defaults.tiko_number, defaults.group_link},
      {"content is not a string", RecallAnswer({{"content", json::array({{{"tiko_number", 1}}})}}),
       defaults.tiko_number, defaults.group_link},
      {"no queue", R"({"code":0})", defaults.tiko_number, defaults.group_link},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string scene = Marker("rig_scene_shape" + std::to_string(n++));
    SetAnswer(scene, c.answer);
    const TikoGroupConfig config = FetchTikoGroupCfg(scene);
    SetAnswer(scene, "");
    EXPECT_EQ(config.tiko_number, c.number) << c.name;
    EXPECT_EQ(config.group_link, c.link) << c.name;
  }
}

TEST_F(TikoGroupConfigTest, ServiceModes) {
  const TikoGroupConfig defaults = DefaultTikoGroupConfig();
  struct Case {
    const char* mode;
    bool served;
  };
  const Case cases[] = {{"server_error", false}, {"not_json", false}, {"error_code", false},
                        {"slow", true},          {"redirect", false}};
  for (const auto& c : cases) {
    const std::string scene = Marker(std::string("rig_scene_mode_") + c.mode);
    SetMode(c.mode, scene);
    const TikoGroupConfig config = FetchTikoGroupCfg(scene);
    SetMode("none", scene);
    EXPECT_EQ(config.tiko_number, c.served ? kServedNumber : defaults.tiko_number) << c.mode;
    EXPECT_EQ(config.group_link, c.served ? kServedLink : defaults.group_link) << c.mode;
  }
}

TEST_F(TikoGroupConfigTest, SceneThatIsNotUtf8GivesTheBuiltInRecord) {
  const TikoGroupConfig config = FetchTikoGroupCfg("scene\xff");
  EXPECT_EQ(config.tiko_number, DefaultTikoGroupConfig().tiko_number);
  EXPECT_EQ(config.group_link, DefaultTikoGroupConfig().group_link);
}

}  // namespace
}  // namespace data
