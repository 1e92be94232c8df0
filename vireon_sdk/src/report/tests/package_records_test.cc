#include "vireon_sdk/src/report/package_records.h"

#include <gtest/gtest.h>

#include <chrono>

#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/response_packing.h"
#include "vireon_sdk/src/report/response_parsing.h"
#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon {
namespace {

using testing::Bytes;
using testing::Hex;

constexpr char kEventLayout[] =
    "0A 06 00 16 00 26 00 36 01 45 4C 58 0C 6D 00 0C 73 00 00 00 00 80 00 00 05 80 01 90 01 A6 00 0B";

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TEST(EventRecord, WritesTheKnownLayoutAndReadsItBack) {
  auto record = EventRecord::Create();
  ASSERT_TRUE(record);
  ASSERT_EQ(record->event_code.Assign("E"), kTagOk);
  record->event_time = (int64_t{1} << 31) + 5;
  TagStream out;
  ASSERT_EQ(out.WriteStruct(*record), kTagOk);
  EXPECT_EQ(Hex(out.buffer().view()), Hex(Bytes(kEventLayout)));

  TagStream in;
  ASSERT_EQ(in.SetContent(out.buffer().view()), kTagOk);
  EventRecord back;
  back.field9 = 0;
  back.field8 = false;
  ASSERT_EQ(in.ReadStruct(&back), kTagOk) << in.error();
  EXPECT_EQ(back.event_code.view(), "E");
  EXPECT_EQ(back.event_time, (int64_t{1} << 31) + 5);
  EXPECT_TRUE(back.field8);
  EXPECT_EQ(back.field9, 1);
  EXPECT_EQ(back.params.count(), 0);
}

TEST(RequestPackage, WrapsOneEventRecordInTheKnownLayout) {
  const int64_t before = NowMs();
  const auto package = FillEventRecord("E", {}, "ABCDEFGHIJKLMNOP");
  const int64_t after = NowMs();
  ASSERT_TRUE(package);
  const auto bytes = SerializeRequestPackage(*package);
  ASSERT_TRUE(bytes);
  std::string wire(bytes->view());

  // The event time is "now" with no event_time parameter: check it, then
  // put the known one in its place to compare the rest byte for byte.
  const std::string head = Bytes("00 02 16 10") + "ABCDEFGHIJKLMNOP" + Bytes("26 00 36 07") + "1.1.2.3" +
                           Bytes("49 00 01");
  const size_t time_at = head.size() + 17;
  ASSERT_GT(wire.size(), time_at + 8);
  ASSERT_EQ(static_cast<uint8_t>(wire[time_at - 1]), 0x73);
  int64_t sent = 0;
  for (int i = 0; i < 8; ++i) sent = (sent << 8) | static_cast<uint8_t>(wire[time_at + i]);
  EXPECT_GE(sent, before);
  EXPECT_LE(sent, after);
  wire.replace(time_at, 8, Bytes("00 00 00 00 80 00 00 05"));

  const std::string expected =
      head + Bytes(kEventLayout) + Bytes("56 00 68 0C 76 00 86 00 96 00 A6 03") + "win";
  EXPECT_EQ(Hex(wire), Hex(expected));

  TagStream in;
  ASSERT_EQ(in.SetContent(wire), kTagOk);
  RequestPackage back;
  ASSERT_EQ(back.Read(in), kTagOk) << in.error();
  EXPECT_EQ(back.version, 2);
  EXPECT_EQ(back.app_key.view(), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(back.sdk_version.view(), "1.1.2.3");
  EXPECT_EQ(back.platform.view(), "win");
  ASSERT_EQ(back.events.count(), 1);
  EXPECT_EQ(Hex(back.events.element(0)), Hex(Bytes(kEventLayout)));
}

TEST(PackageRecords, SocketPackagesAndVerdictRoundTrip) {
  // Socket request: header map and body.
  SocketRequestPackage request;
  ASSERT_EQ(request.headers.Push("cmd", "request_v2"), kTagOk);
  ASSERT_EQ(request.body.Assign(std::string(32, '\x5A')), kTagOk);
  TagStream out;
  ASSERT_EQ(request.Write(out), kTagOk);
  TagStream in;
  ASSERT_EQ(in.SetContent(out.buffer().view()), kTagOk);
  SocketRequestPackage request_back;
  ASSERT_EQ(request_back.Read(in), kTagOk);
  TextPairs headers;
  ASSERT_EQ(DecodeStringMap(request_back.headers, &headers), kTagOk);
  EXPECT_EQ(headers, (TextPairs{{"cmd", "request_v2"}}));
  EXPECT_EQ(request_back.body.view(), std::string(32, '\x5A'));

  // Socket response: field 3 goes out only when it holds something.
  SocketResponsePackage response;
  response.field0 = 3;
  ASSERT_EQ(response.body.Assign("body"), kTagOk);
  TagStream without3;
  ASSERT_EQ(response.Write(without3), kTagOk);
  EXPECT_EQ(Hex(without3.buffer().view()), Hex(Bytes("00 03 18 0C 2D 00 00 04") + "body"));
  ASSERT_EQ(response.field3.Assign("note"), kTagOk);
  TagStream with3;
  ASSERT_EQ(response.Write(with3), kTagOk);
  ASSERT_EQ(in.SetContent(with3.buffer().view()), kTagOk);
  SocketResponsePackage response_back;
  ASSERT_EQ(response_back.Read(in), kTagOk);
  EXPECT_EQ(response_back.field0, 3);
  EXPECT_EQ(response_back.body.view(), "body");
  EXPECT_EQ(response_back.field3.view(), "note");

  // The verdict: result written as 8 bits, read as 32; 0xFF reads as -1.
  struct Case {
    int32_t result;
    const char* first_bytes;
  } cases[] = {{0, "0C"}, {-1, "00 FF"}, {1, "00 01"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    ResponsePackage verdict;
    verdict.result = c.result;
    verdict.field2 = 1LL << 40;
    ASSERT_EQ(verdict.message.Assign("m"), kTagOk);
    TagStream v;
    ASSERT_EQ(verdict.Write(v), kTagOk);
    const std::string expected_start = Bytes(c.first_bytes);
    EXPECT_EQ(Hex(v.buffer().view().substr(0, expected_start.size())), Hex(expected_start));
    ASSERT_EQ(in.SetContent(v.buffer().view()), kTagOk);
    ResponsePackage back;
    back.result = 99;
    ASSERT_EQ(back.Read(in), kTagOk) << in.error();
    EXPECT_EQ(back.result, c.result);
    EXPECT_EQ(back.message.view(), "m");
    EXPECT_EQ(back.field2, 1LL << 40);
  }
}

TEST(ResponseEnvelope, EncodesAndDecodesWithItsAttributeMap) {
  TagStream attributes;
  ASSERT_EQ(WriteAttributeMap(attributes, {{"first", "1"}, {"detail", std::string("\x00\x0B", 2)}}), kTagOk);
  ResponseEnvelope envelope;
  envelope.field4 = 77;
  ASSERT_EQ(envelope.field5.Assign("servant"), kTagOk);
  ASSERT_EQ(envelope.attributes.Assign(attributes.buffer().view()), kTagOk);
  ASSERT_EQ(envelope.field9.Push("k", "v"), kTagOk);
  TagBuffer encoded;
  ASSERT_EQ(EncodeResponseEnvelope(envelope, &encoded), kTagOk);
  // The leading length covers the whole envelope.
  const auto* p = encoded.data();
  EXPECT_EQ((uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]), encoded.length());

  ResponseEnvelope back;
  ASSERT_EQ(DecodeResponseEnvelope(&back, encoded.data(), encoded.length()), kTagOk);
  EXPECT_EQ(back.field1, 2);
  EXPECT_EQ(back.field4, 77);
  EXPECT_EQ(back.field5.view(), "servant");
  EXPECT_EQ(back.field9.count(), 1);
  TagStream attribute_stream;
  ASSERT_EQ(attribute_stream.SetContent(back.attributes.view()), kTagOk);
  AttributeMap map;
  ASSERT_EQ(ReadAttributeMap(attribute_stream, &map), kTagOk);
  EXPECT_EQ(map, (AttributeMap{{"first", "1"}, {"detail", std::string("\x00\x0B", 2)}}));
  EXPECT_EQ(FindAttribute(map, "detail"), std::string_view("\x00\x0B", 2));
  EXPECT_FALSE(FindAttribute(map, "detai"));

  EXPECT_EQ(DecodeResponseEnvelope(&back, encoded.data(), 3), kTagDecodeError);
}

}  // namespace
}  // namespace vireon
