#include "base/client_update_info.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace {

using nlohmann::json;

TEST(ClientUpdateInfoTest, ReadsTheListInOrder) {
  const json answer = json::parse(R"({"version":"5.0","exp_id":"e1","components":[
      {"size":10.9,"type":3.0,"name":"android","url":"u1","md5":"m1","version":"v1"},
      {"size":18446744073709551615,"type":12,"name":"kesmo","url":"u2","md5":"m2","version":"v2"}]})");
  data::ClientUpdateInfo info;
  data::ClientUpdateInfoFromJson(answer, info);
  EXPECT_EQ(info.version, "5.0");
  EXPECT_EQ(info.exp_id, "e1");
  ASSERT_EQ(info.components.size(), 2u);
  EXPECT_EQ(info.components[0].size, 10u) << "a floating size is cut toward zero";
  EXPECT_EQ(info.components[0].type, data::ComponentType::kAndroidSubsystem);
  EXPECT_EQ(info.components[1].size, 18446744073709551615ull);
  EXPECT_EQ(info.components[1].name, "kesmo");
  EXPECT_EQ(data::ClientUpdateInfoToJson(info)["components"][1]["size"], 18446744073709551615ull);
}

TEST(ClientUpdateInfoTest, AbsentExperimentIdStaysAbsent) {
  data::ClientUpdateInfo info;
  data::ClientUpdateInfoFromJson(json::parse(R"({"version":"1","components":[]})"), info);
  EXPECT_FALSE(info.exp_id.has_value());
  EXPECT_FALSE(data::ClientUpdateInfoToJson(info).contains("exp_id"));
}

TEST(ClientUpdateInfoTest, MissingOrMistypedKeysThrow) {
  const char* answers[] = {
      R"({"version":"1","exp_id":null,"components":[]})",
      R"({"components":[]})",
      R"({"version":"1"})",
      R"({"version":"1","components":{"a":1}})",
      R"({"version":1,"components":[]})",
      R"({"version":"1","components":[{"size":1,"type":1,"name":"n","url":"u","version":"v"}]})",
      R"({"version":"1","components":[{"size":"1","type":1,"name":"n","url":"u","md5":"m","version":"v"}]})",
      R"({"version":"1","components":[{"size":1,"type":true,"name":"n","url":"u","md5":"m","version":"v"}]})",
      R"("text")",
  };
  for (const char* answer : answers) {
    data::ClientUpdateInfo info;
    EXPECT_THROW(data::ClientUpdateInfoFromJson(json::parse(answer), info), json::exception) << answer;
  }
}

TEST(ClientUpdateInfoTest, FloatingNumbersOutOfTheFieldsRangeAreRefused) {
  struct Case {
    const char* size;
    const char* type;
  };
  const Case cases[] = {
      {"-1.0", "1"}, {"1e20", "1"}, {"18446744073709551616.0", "1"}, {"-0.5e300", "1"},
      {"1", "-3e9"}, {"1", "1e20"}, {"1", "2147483648.0"},
  };
  for (const Case& c : cases) {
    const std::string answer = std::string(R"({"version":"1","components":[{"size":)") + c.size +
                               R"(,"type":)" + c.type + R"(,"name":"n","url":"u","md5":"m","version":"v"}]})";
    data::ClientUpdateInfo info;
    EXPECT_THROW(data::ClientUpdateInfoFromJson(json::parse(answer), info), json::out_of_range) << answer;
  }
  // Values the fields hold still read, cut toward zero.
  data::ClientUpdateInfo info;
  data::ClientUpdateInfoFromJson(
      json::parse(R"({"version":"1","components":[{"size":-0.9,"type":-2147483648.0,"name":"n","url":"u",)"
                  R"("md5":"m","version":"v"}]})"),
      info);
  ASSERT_EQ(info.components.size(), 1u);
  EXPECT_EQ(info.components[0].size, 0u);
  EXPECT_EQ(static_cast<int32_t>(info.components[0].type), INT32_MIN);
}

}  // namespace
