// A request's packing, read back by the collector's own unpacking, and the
// judgement of the collector's answer.
#include <gtest/gtest.h>

#include <string>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/response_packing.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/report/tcp_uploader.h"
#include "vireon_sdk/src/report/vireon_request.h"

namespace vireon {
namespace {

UnpackedRequest Unpack(const std::string& body) {
  UnpackedRequest out;
  std::string error;
  EXPECT_TRUE(UnpackRequestFrame(body, kCollectorPrivateKeyPem, &out, &error)) << error;
  return out;
}

std::string Param(const UnpackedEvent& event, const std::string& key) {
  for (const auto& [k, v] : event.params) {
    if (k == key) return v;
  }
  return "<absent>";
}

TEST(VireonRequestTest, IsPackedAtOnceWithATcpUploader) {
  auto request = MakeVireonRequest("installer_download_start",
                                   {{"event_time", "1700000000123"}, {"report_count", "0"}, {"key", "value"}});
  EXPECT_EQ(request->row_id, 0);
  EXPECT_EQ(request->attempts, 0u);
  ASSERT_FALSE(request->body.empty());
  EXPECT_NE(dynamic_cast<TcpUploader*>(request->uploader.get()), nullptr);
  const UnpackedRequest unpacked = Unpack(request->body);
  ASSERT_EQ(unpacked.events.size(), 1u);
  EXPECT_EQ(unpacked.events[0].event_code, "installer_download_start");
  EXPECT_EQ(unpacked.events[0].event_time, 1700000000123);
  EXPECT_EQ(Param(unpacked.events[0], "key"), "value");
  EXPECT_EQ(Param(unpacked.events[0], "report_count"), "0");
}

TEST(VireonRequestTest, PackTakesTheCurrentParameters) {
  auto request = MakeVireonRequest("e", {{"report_count", "0"}});
  request->params.insert_or_assign("report_count", std::string(1, '2'));
  request->Pack();
  EXPECT_EQ(Param(Unpack(request->body).events.at(0), "report_count"), "2");
}

TEST(VireonRequestTest, AnEmptyEventCodeGivesNoBody) {
  auto request = MakeVireonRequest("", {{"a", "b"}});
  EXPECT_TRUE(request->body.empty());
}

std::string Answer(int32_t result) {
  std::string frame;
  EXPECT_TRUE(PackResponse(result, GetDefaultSessionKey().key(), &frame));
  return frame;
}

struct AnswerCase {
  const char* what;
  std::string answer;
  bool delivered;
};

TEST(VireonRequestTest, OnlyAReadableRefusalCountsAsFailed) {
  auto request = MakeVireonRequest("e", {});
  const AnswerCase cases[] = {
      {"empty answer", "", true},
      {"not a package", std::string("\x00\x1Fthis is not a telemetry answer\r\n", 34), true},
      {"result 0", Answer(0), true},
      {"result 5", Answer(5), true},
      {"result -1", Answer(-1), false},
      {"answer under another key", [] {
         std::string frame;
         PackResponse(-1, "0123456789abcdef", &frame);
         return frame;
       }(), true},
  };
  for (const auto& c : cases) EXPECT_EQ(request->CheckResponse(c.answer), c.delivered) << c.what;
}

}  // namespace
}  // namespace vireon
