// The recall query against the web API stand-in: the request it sends, the
// answer shapes it reads and the service's failure modes.
#include "src/common/data/vzt_recall.h"

#include <windows.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "base/product_log.h"
#include "net/web_api_endpoint.h"
#include "src/common/data/tests/web_api_rig.h"

namespace data {
namespace {

using nlohmann::json;
using testing::RecallAnswer;

class VztRecallTest : public testing::WebApiTest {};

bool IsGuidText(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = text[i];
    if (hyphen ? c != '-' : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

TEST_F(VztRecallTest, SendsTheCommandTheBusinessIdAndTheList) {
  const std::string command = Marker("RigRecallRequest");
  const json list = {{"scene", {{"repStr", json::array({"store"})}}}};
  const std::optional<json> value = FetchVztRecall(command, "tuvo", list);
  // For commands it does not know, the service echoes the query as "fieldS".
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, (json{{"cmd", command}, {"listS", list}}));

  const json bodies = Requests(std::string(net::kPathRecall), command);
  ASSERT_EQ(bodies.size(), 1u);
  const json sent = json::parse(bodies[0].get<std::string>());
  EXPECT_EQ(sent["condition"]["bid"], "tuvo");
  EXPECT_EQ(sent["condition"]["listS"], list);
  EXPECT_EQ(sent["reqHead"]["cmd"], command);
  EXPECT_TRUE(IsGuidText(sent["reqHead"]["requestId"].get<std::string>())) << sent["reqHead"]["requestId"];
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(VztRecallTest, BuildsOneNewRequestIdPerRequest) {
  const json first = json::parse(BuildRecallRequest("c", "b", json::array()));
  const json second = json::parse(BuildRecallRequest("c", "b", json::array()));
  EXPECT_NE(first["reqHead"]["requestId"], second["reqHead"]["requestId"]);
  EXPECT_EQ(BuildRecallRequest("c", "b", 7).find(' '), std::string::npos);  // compact
}

// What the answer's shape gives: a missing step is a present null, a step of
// the wrong kind or text that is not JSON is no result.
TEST_F(VztRecallTest, AnswerShapes) {
  struct Case {
    const char* name;
    std::string answer;
    std::optional<json> expected;
  };
  const Case cases[] = {
      {"field", RecallAnswer({{"content", "x"}}), json{{"content", "x"}}},
      {"string field", RecallAnswer("text"), json("text")},
      {"no queue", R"({"code":0,"msg":"SUCCESS"})", json()},
      {"empty queue", R"({"queue":[]})", json()},
      {"no items", R"({"queue":[{}]})", json()},
      {"no fieldS", R"({"queue":[{"items":[{"other":1}]}]})", json()},
      {"queue is an object", R"({"queue":{"items":[]}})", std::nullopt},
      {"queue is a string", R"({"queue":"none"})", std::nullopt},
      {"items is a number", R"({"queue":[{"items":5}]})", std::nullopt},
      {"answer is an array", R"([1,2])", std::nullopt},
      {"not JSON", "<html>maintenance</html>", std::nullopt},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string command = Marker("RigRecallShape" + std::to_string(n++));
    SetAnswer(command, c.answer);
    const std::optional<json> value = FetchVztRecall(command, "tuvo", json::object());
    SetAnswer(command, "");
    EXPECT_EQ(value.has_value(), c.expected.has_value()) << c.name;
    if (value && c.expected) {
      EXPECT_EQ(*value, *c.expected) << c.name;
    }
    EXPECT_EQ(Requests(std::string(net::kPathRecall), command).size(), 1u) << c.name;
  }
}

// The service's test modes: a failed request or an answer that is not JSON
// gives no result; an answer with a code other than 0 has no "queue" (a
// present null); a slow answer is still read.
TEST_F(VztRecallTest, ServiceModes) {
  struct Case {
    const char* mode;
    bool has_value;
    bool echoed;
  };
  const Case cases[] = {
      {"server_error", false, false}, {"not_json", false, false}, {"error_code", true, false},
      {"slow", true, true},           {"redirect", false, false},
  };
  for (const auto& c : cases) {
    const std::string command = Marker(std::string("RigRecallMode.") + c.mode);
    SetMode(c.mode, command);
    const std::optional<json> value = FetchVztRecall(command, "tuvo", json::array({1}));
    SetMode("none", command);
    ASSERT_EQ(value.has_value(), c.has_value) << c.mode;
    if (value) {
      const json expected = c.echoed ? json{{"cmd", command}, {"listS", json::array({1})}} : json();
      EXPECT_EQ(*value, expected) << c.mode;
    }
  }
}

// Each failure writes one product-log line under the fetcher's name.
TEST_F(VztRecallTest, FailuresAreLogged) {
  auto& log = base::ProductLogger::GetInstance();
  ASSERT_EQ(log.Start("data_fetchers_test_" + std::to_string(::GetCurrentProcessId()), std::ios::trunc),
            base::LogStartResult::kStarted);
  const std::string failed = Marker("RigRecallLogFailed");
  const std::string object = Marker("RigRecallLogObject");
  SetMode("server_error", failed);
  SetAnswer(object, R"({"queue":{"items":[]}})");
  EXPECT_FALSE(FetchVztRecall(failed, "tuvo", json::object()).has_value());
  EXPECT_FALSE(FetchVztRecall(object, "tuvo", json::object()).has_value());
  SetMode("none", failed);
  SetAnswer(object, "");
  const std::filesystem::path path = log.path();
  log.Stop();

  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove(path);
  const auto count = [&text](const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("[FetchVztRecall]: curl request fail, error_code: 0, http_code: 503"), 1u) << text;
  EXPECT_EQ(count("[FetchVztRecall]: json parse fail, message: [json.exception.type_error"), 1u) << text;
}

// A command that is not UTF-8 cannot be written as JSON: no request, no
// result, and the calling thread goes on.
TEST_F(VztRecallTest, TextThatIsNotUtf8SendsNothing) {
  const std::string marker = Marker("RigRecallBadText");
  EXPECT_FALSE(FetchVztRecall("Recall\xff\xfe", "tuvo", json{{"m", marker}}).has_value());
  EXPECT_FALSE(FetchVztRecall("Recall", "tuvo", json{{"m", marker}, {"bad", "\xc3"}}).has_value());
  EXPECT_TRUE(Requests(std::string(net::kPathRecall), marker).empty());
}

}  // namespace
}  // namespace data
