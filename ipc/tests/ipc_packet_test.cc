#include "ipc/ipc_packet.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ipc/ipc_query.h"

namespace ipc {
namespace {

using nlohmann::json;

TEST(IpcPacketTest, StampedPacketWritesEveryKeyButResponseChannel) {
  const IpcPacket packet(kClientInstaller, kClientPcvztSdk, kMsgAppInstallNotice, json{{"code", 1}});
  const json written = packet;
  for (const char* key : {"from", "to", "msg_id", "data", "uac", "handle_self_ipc", "send_time_us", "unique_id",
                          "from_process_id", "to_process_id"}) {
    EXPECT_TRUE(written.contains(key)) << key;
  }
  EXPECT_FALSE(written.contains("response_channel"));
  EXPECT_EQ(written["to_process_id"], 0);
  EXPECT_EQ(written["from_process_id"], ::GetCurrentProcessId());
  EXPECT_EQ(written["handle_self_ipc"], false);
  EXPECT_EQ(written["unique_id"].get<std::string>().size(), 36u);
  EXPECT_GT(written["send_time_us"].get<uint64_t>(), 1600000000000000ull);  // after 2020
}

TEST(IpcPacketTest, TextIsCompactWithSortedKeys) {
  IpcPacket packet;
  packet.from = 10008;
  packet.to = 20001;
  packet.msg_id = 80001;
  packet.data = json{{"b", 1}, {"a", "\xC3\xA9"}};
  EXPECT_EQ(PacketText(packet),
            "{\"data\":{\"a\":\"\xC3\xA9\",\"b\":1},\"from\":10008,\"from_process_id\":0,\"handle_self_ipc\":false,"
            "\"msg_id\":80001,\"to\":20001,\"to_process_id\":0,\"uac\":true}");
}

TEST(IpcPacketTest, InvalidUtf8IsRefusedWhenWritten) {
  IpcPacket packet;
  packet.data = std::string("\xFF\xFE");
  try {
    PacketText(packet);
    FAIL() << "no error";
  } catch (const json::type_error& error) {
    EXPECT_EQ(error.id, 316);
  }
}

TEST(IpcPacketTest, MissingOptionalKeysReadAsDefaults) {
  const IpcPacket packet = json::parse(R"({"from":1,"to":2,"msg_id":3,"data":null})").get<IpcPacket>();
  EXPECT_EQ(packet.to_process_id, 0u);
  EXPECT_EQ(packet.from_process_id, 0u);
  EXPECT_EQ(packet.uac, true);
  EXPECT_EQ(packet.handle_self_ipc, false);
  EXPECT_FALSE(packet.send_time_us.has_value());
  EXPECT_FALSE(packet.response_channel.has_value());
}

TEST(IpcPacketTest, ReadingRoundTripsEveryField) {
  IpcPacket original(10011, 40001, 10003, json{{"content", "quillorane://x"}}, true);
  original.response_channel = "x.exe-ABC";
  original.to_process_id = 77;
  const IpcPacket read = json::parse(PacketText(original)).get<IpcPacket>();
  EXPECT_EQ(PacketText(read), PacketText(original));
}

struct BadPacket {
  const char* label;
  const char* text;
  int error_id;
};

class IpcPacketReadErrorTest : public testing::TestWithParam<BadPacket> {};

TEST_P(IpcPacketReadErrorTest, Throws) {
  try {
    json::parse(GetParam().text).get<IpcPacket>();
    FAIL() << "no error for " << GetParam().text;
  } catch (const json::exception& error) {
    EXPECT_EQ(error.id, GetParam().error_id) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpcPacketReadErrorTest,
    testing::Values(BadPacket{"NoFrom", R"({"to":2,"msg_id":3,"data":null})", 403},
                    BadPacket{"NoData", R"({"from":1,"to":2,"msg_id":3})", 403},
                    BadPacket{"TextFrom", R"({"from":"1","to":2,"msg_id":3,"data":null})", 302},
                    BadPacket{"NumberUac", R"({"from":1,"to":2,"msg_id":3,"data":null,"uac":1})", 302},
                    BadPacket{"TextHandleSelf", R"({"from":1,"to":2,"msg_id":3,"data":null,"handle_self_ipc":"yes"})", 302},
                    BadPacket{"NumberUniqueId", R"({"from":1,"to":2,"msg_id":3,"data":null,"unique_id":5})", 302},
                    BadPacket{"ArrayChannel", R"({"from":1,"to":2,"msg_id":3,"data":null,"response_channel":[]})", 302}),
    [](const testing::TestParamInfo<BadPacket>& info) { return std::string(info.param.label); });

TEST(IpcPacketTest, FractionalNumbersAreTruncated) {
  const IpcPacket packet = json::parse(R"({"from":1,"to":2,"msg_id":80001.9,"data":{}})").get<IpcPacket>();
  EXPECT_EQ(packet.msg_id, 80001);
}

TEST(IpcPacketTest, TwoPacketsDifferInUniqueIdOnly) {
  const IpcPacket first(1, 2, 3, nullptr);
  const IpcPacket second(1, 2, 3, nullptr);
  EXPECT_NE(first.unique_id, second.unique_id);
  EXPECT_EQ(first.uac, second.uac);
}

TEST(IpcPacketTest, ElevationCanBeChosenForTests) {
  SetElevationForTesting(false);
  EXPECT_EQ(IpcPacket(1, 2, 3, nullptr).uac, false);
  SetElevationForTesting(true);
  EXPECT_EQ(IpcPacket(1, 2, 3, nullptr).uac, true);
  SetElevationForTesting(std::nullopt);
}

TEST(ClientTypeNameTest, Table) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "UNKNOWN"},          {10007, "UNKNOWN"},         {10012, "UNKNOWN"},
      {10015, "UNKNOWN"},      {-1, "UNKNOWN"},            {10008, "TuvoInstaller"},
      {10011, "TuvoInstallerDownloader"}, {20001, "TuvoPcvztSdk"}, {40001, "TuvoAppstore"},
      {10001, "AppStore"},     {70001, "TuvoNetbar"},      {10016, "QuilloraneBridge"},
  };
  for (const auto& [id, name] : cases) EXPECT_EQ(ClientTypeName(id), name) << id;
}

TEST(QueryPayloadTest, JsonShape) {
  EXPECT_EQ(json(QueryPayload{50001, json{{"channel_id", 7}}}).dump(), R"({"data":{"channel_id":7},"query_id":50001})");
  EXPECT_THROW(json::parse(R"({"data":null})").get<QueryPayload>(), json::out_of_range);
  EXPECT_EQ(json(QueryStopDownload{}).dump(), "null");
  EXPECT_EQ(json(QueryStopDownload{12}).dump(), R"({"channel_id":12})");
  EXPECT_EQ(json::parse(R"({"channel_id":12})").get<QueryStopDownload>().channel_id, 12u);
  EXPECT_FALSE(json(nullptr).get<QueryStopDownload>().channel_id.has_value());
}

TEST(QueryPayloadTest, ResponseChannelNameIsExecutableAndGuid) {
  const std::string name = MakeResponseChannelName();
  EXPECT_EQ(name.rfind("ipc_unit_test.exe-", 0), 0u) << name;
  EXPECT_EQ(name.size(), std::string("ipc_unit_test.exe-").size() + 36);
  EXPECT_NE(name, MakeResponseChannelName());
}

}  // namespace
}  // namespace ipc
