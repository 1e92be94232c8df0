// The client-update request's body and the component names it accepts.
#include <gtest/gtest.h>

#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/client_update.h"

namespace {

struct NameCase {
  const char* name;
  bool plain;
};

TEST(ClientUpdateTest, OnlyPlainFileNamesAreComponentNames) {
  const NameCase cases[] = {
      {"client", true},     {"Engine_2.1-x64", true}, {"a.b", true},     {"...", true},
      {"", false},          {".", false},             {"..", false},     {"../x", false},
      {"..\\x", false},     {"a/b", false},           {"a\\b", false},   {"C:x", false},
      {"a b", false},       {"\xE5\xA4\xB8", false},  {"a\tb", false},   {"x*", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(IsPlainComponentName(c.name), c.plain) << "'" << c.name << "'";
}

TEST(ClientUpdateTest, RequestCarriesTheLowBitsOfTheChannel) {
  GlobalConfig::Instance().channel_id = 0x1'0000'0007ull;
  const ClientUpdateRequest request = BuildClientUpdateRequest();
  EXPECT_EQ(request.supply_channel, 7u);
  EXPECT_EQ(request.scene, 2);
  EXPECT_EQ(request.guid.size(), 32u);

  nlohmann::json json;
  ClientUpdateRequestToJson(json, request);
  EXPECT_EQ(json["supply_channel"], 7u);
  EXPECT_EQ(json["scene"], 2);
  EXPECT_EQ(json["oem_type"], 0);
  EXPECT_EQ(json["guid"], request.guid);
  EXPECT_EQ(json["env_info"].size(), 28u);
}

}  // namespace
