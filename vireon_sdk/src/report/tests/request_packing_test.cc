#include "vireon_sdk/src/report/request_packing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon {
namespace {

using testing::Bytes;
using testing::FrameOf;
using testing::Hex;

constexpr std::string_view kAppKey = "QLTESTAPPKEY0001";

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

SessionKeyPair DefaultPair() {
  SessionKeyPair pair;
  GenerateSessionKey(&pair, "", nullptr);
  return pair;
}

TEST(EscapeParamValue, EscapesSeparatorsAndEndsAtANul) {
  struct Case {
    std::string value;
    std::string sent;
  } cases[] = {
      {"a&b=c", "a%26b%3Dc"},
      {"x\ny", "x y"},
      {"p|q+r", "p%7Cq%2Br"},
      {"cr\rlf\n", "cr lf "},
      {"", ""},
      {"plain UTF-8 \xE4\xB8\xAD", "plain UTF-8 \xE4\xB8\xAD"},
      {std::string("a\0b", 3), "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(EscapeParamValue(c.value), c.sent);
  }

  // A destination too small for the whole output is filled, NUL included,
  // and never written past; an escape that does not fit is left out whole.
  char out[8];
  std::memset(out, '#', sizeof(out));
  EXPECT_EQ(EscapeParamValue("ab&&", 4, out, 6), 5u);
  EXPECT_STREQ(out, "ab%26");
  EXPECT_EQ(out[6], '#');
  EXPECT_EQ(EscapeParamValue("&", 1, out, 3), 0u);
  EXPECT_STREQ(out, "");
  std::memset(out, '#', sizeof(out));
  EXPECT_EQ(EscapeParamValue("", 0, out, 8), 0u);
  EXPECT_EQ(out[0], '#') << "nothing is written for an empty source";
}

TEST(ReadEventTime, TakesTheLeadingDecimalElseTheCurrentTime) {
  struct Case {
    const char* value;  // null: no event_time key
    int64_t expected;   // 0: the current time
  } cases[] = {
      {"987", 987}, {"  42abc", 42}, {"-5", -5}, {"+7", 7}, {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN}, {"abc", 0}, {"", 0}, {"- 5", 0},
      {"9223372036854775808", 0}, {nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    ReportParams params{{"other", "1"}};
    if (c.value != nullptr) params["event_time"] = c.value;
    const int64_t before = NowMs();
    const int64_t got = ReadEventTime(params);
    if (c.expected != 0) {
      EXPECT_EQ(got, c.expected);
    } else {
      EXPECT_GE(got, before);
      EXPECT_LE(got, NowMs());
    }
  }
}

TEST(PackRequest, FrameCarriesLengthFixedHeadersAndEncryptedBody) {
  const SessionKeyPair& key = GetDefaultSessionKey();
  std::string frame;
  ASSERT_TRUE(PackRequest("installer_download_start", {{"k", "v"}}, kAppKey, &frame));

  ASSERT_GT(frame.size(), 2u + 289 + 4);
  EXPECT_EQ((size_t{static_cast<uint8_t>(frame[0])} << 8) | static_cast<uint8_t>(frame[1]), frame.size());
  EXPECT_EQ(frame.substr(frame.size() - 2), "\r\n");

  const std::string headers = Bytes("08 00 07") + Bytes("06 0C") + "sdk_platform" + Bytes("16 01") + "2" +
                              Bytes("06 09") + "encr_type" + Bytes("16 07") + "rsapost" + Bytes("06 07") +
                              "version" + Bytes("16 02") + "v2" + Bytes("06 03") + "cmd" + Bytes("16 0A") +
                              "request_v2" + Bytes("06 07") + "vir_key" + Bytes("16 AC") +
                              std::string(key.encrypted()) + Bytes("06 0B") + "wup_version" + Bytes("16 03") +
                              "3.0" + Bytes("06 0D") + "TYPE_COMPRESS" + Bytes("16 01") + "2";
  ASSERT_EQ(headers.size(), 289u);
  EXPECT_EQ(Hex(frame.substr(2, 289)), Hex(headers));

  // The body field: 0x1D 0x00, its length as the narrowest integer, the body.
  const std::string body_field = frame.substr(2 + 289, frame.size() - 2 - 289 - 2);
  EXPECT_EQ(Hex(body_field.substr(0, 2)), "1D 00");
  size_t body_length = 0, length_bytes = 0;
  switch (static_cast<uint8_t>(body_field[2])) {
    case 0x00: body_length = static_cast<uint8_t>(body_field[3]); length_bytes = 2; break;
    case 0x01:
      body_length = size_t{static_cast<uint8_t>(body_field[3])} << 8 | static_cast<uint8_t>(body_field[4]);
      length_bytes = 3;
      break;
    default: FAIL() << "unexpected length head " << Hex(body_field.substr(2, 1));
  }
  EXPECT_EQ(body_field.size(), 2 + length_bytes + body_length);
  EXPECT_EQ(body_length % 16, 0u);
}

TEST(PackRequest, BodyOf400BytesGivesAFrameOf698) {
  TagBuffer body;
  ASSERT_EQ(body.Assign(std::string(400, '\xC3')), kTagOk);
  const auto package = MakeSocketRequestPackage(body, DefaultPair());
  ASSERT_TRUE(package);
  const auto frame = FrameSocketRequest(*package);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->length(), 698u);
  EXPECT_EQ(Hex(frame->view().substr(0, 2)), "02 BA");
  EXPECT_EQ(Hex(frame->view().substr(2 + 289, 5)), "1D 00 01 01 90");
  EXPECT_EQ(frame->view().substr(2 + 289 + 5, 400), std::string(400, '\xC3'));
  // The default pair puts the default encrypted key in "vir_key".
  EXPECT_NE(frame->view().find(kDefaultEncryptedSessionKey), std::string_view::npos);
}

TEST(PackRequest, RefusesWhatCannotBeSentAndLeavesTheOutputAlone) {
  std::mt19937 random(7);
  std::string incompressible(70000, '\0');
  for (auto& c : incompressible) c = static_cast<char>(1 + random() % 255);  // no NUL: it would end the value
  struct Case {
    const char* name;
    std::string event_code;
    ReportParams params;
  } cases[] = {
      {"empty event code", "", {{"k", "v"}}},
      // 70000 random bytes cannot fit the 16-bit frame length; sending the
      // low 16 bits would make the collector cut the stream apart.
      {"frame over 65535 bytes", "big", {{"blob", incompressible}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = "untouched";
    EXPECT_FALSE(PackRequest(c.event_code, c.params, kAppKey, &out));
    EXPECT_EQ(out, "untouched");
  }
  // Just under the limit still goes.
  std::string out;
  EXPECT_TRUE(PackRequest("big", {{"blob", incompressible.substr(0, 60000)}}, kAppKey, &out));
  EXPECT_LE(out.size(), kMaxFrameBytes);
}

TEST(PackRequest, CollectorSideUnpacksWhatTheClientPacked) {
  const ReportParams params{{"event_time", "1700000000123"}, {"q", "a&b=c"}, {"n", "x\ny"}, {"u", "\xE4\xB8\xAD"}};
  struct Case {
    const char* name;
    SessionKeyPair key;
    bool default_key;
  } cases[] = {{"process key", GetDefaultSessionKey(), false}, {"default pair", DefaultPair(), true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string frame;
    ASSERT_TRUE(PackRequest("app_start", params, kAppKey, c.key, &frame));
    UnpackedRequest request;
    std::string error;
    ASSERT_TRUE(UnpackRequestFrame(frame, kCollectorPrivateKeyPem, &request, &error)) << error;
    EXPECT_EQ(request.key_text, c.key.key());
    EXPECT_EQ(request.default_key, c.default_key);
    EXPECT_EQ(request.version, 2);
    EXPECT_EQ(request.app_key, kAppKey);
    EXPECT_EQ(request.sdk_version, "1.1.2.3");
    EXPECT_EQ(request.platform, "win");
    ASSERT_EQ(request.events.size(), 1u);
    const auto& event = request.events[0];
    EXPECT_EQ(event.event_code, "app_start");
    EXPECT_EQ(event.event_time, 1700000000123);
    EXPECT_EQ(event.params, (TextPairs{{"event_time", "1700000000123"}, {"n", "x y"}, {"q", "a%26b%3Dc"},
                                       {"u", "\xE4\xB8\xAD"}}));
  }
}

// One event whose serialized request is exactly `size` bytes: a parameter
// of repeated letters, which deflates to a thousandth of its length.
std::unique_ptr<RequestPackage> RequestOfPlainSize(size_t size) {
  auto sized = [](size_t blob) { return FillEventRecord("e", {{"blob", std::string(blob, 'a')}}, kAppKey); };
  const size_t bare = SerializeRequestPackage(*sized(100000))->length() - 100000;
  auto package = sized(size - bare);
  EXPECT_EQ(SerializeRequestPackage(*package)->length(), size);
  return package;
}

TEST(UnpackRequestFrame, TakesOneEventOfAtMostAMebibyte) {
  const std::string frame = FrameOf(*RequestOfPlainSize(kMaxRequestPlainBytes));
  UnpackedRequest request;
  std::string error;
  ASSERT_TRUE(UnpackRequestFrame(frame, kCollectorPrivateKeyPem, &request, &error)) << error;
  ASSERT_EQ(request.events.size(), 1u);
  EXPECT_EQ(request.events[0].event_code, "e");
  ASSERT_EQ(request.events[0].params.size(), 1u);
  EXPECT_EQ(request.events[0].params[0].first, "blob");
  EXPECT_EQ(request.events[0].params[0].second.find_first_not_of('a'), std::string::npos);

  auto two = FillEventRecord("e", {{"k", "v"}}, kAppKey);
  const std::string first(two->events.element(0));
  ASSERT_EQ(two->events.Push(first), kTagOk);
  auto many = FillEventRecord("e", {}, kAppKey);
  const std::string tiny(many->events.element(0));
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(many->events.Push(tiny), kTagOk);
  auto none = RequestPackage::Create();
  ASSERT_EQ(FillRequestPackage(none.get(), kAppKey), kTagOk);
  // The client's own packing of an event far above the cap still fits a frame.
  std::string huge;
  ASSERT_TRUE(PackRequest("e", {{"blob", std::string(8u << 20, 'a')}}, kAppKey, &huge));

  struct Case {
    const char* name;
    std::string frame;
    const char* reason;
  } cases[] = {
      {"plain request one byte over the cap", FrameOf(*RequestOfPlainSize(kMaxRequestPlainBytes + 1)),
       "within 1048576 bytes"},
      {"plain request of 8 MiB", huge, "within 1048576 bytes"},
      {"two events", FrameOf(*two), "holds 2 events"},
      {"5001 tiny events", FrameOf(*many), "holds 5001 events"},
      {"no event", FrameOf(*none), "holds 0 events"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LE(c.frame.size(), kMaxFrameBytes);
    EXPECT_FALSE(UnpackRequestFrame(c.frame, kCollectorPrivateKeyPem, &request, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(request.events.empty());
  }
}

TEST(UnpackRequestFrame, RejectsDamagedFramesWithAReason) {
  std::string good;
  ASSERT_TRUE(PackRequest("e", {{"k", "v"}}, kAppKey, &good));
  auto with_length = [](std::string frame) {
    frame[0] = static_cast<char>(frame.size() >> 8);
    frame[1] = static_cast<char>(frame.size());
    return frame;
  };
  // A frame whose body is not whole cipher blocks: rebuild with a 17-byte body.
  TagBuffer torn_body;
  ASSERT_EQ(torn_body.Assign(std::string(17, 'b')), kTagOk);
  const auto torn = FrameSocketRequest(*MakeSocketRequestPackage(torn_body, GetDefaultSessionKey()));
  ASSERT_TRUE(torn);
  // A frame whose body was encrypted under another key than it announces.
  TagBuffer plain;
  ASSERT_EQ(plain.Assign("whatever"), kTagOk);
  const auto foreign = FrameSocketRequest(
      *MakeSocketRequestPackage(*EncryptBody(plain, "FFFFFFFFFFFFFFFF"), GetDefaultSessionKey()));
  ASSERT_TRUE(foreign);
  std::string bad_key = good;
  const size_t at = bad_key.find(std::string(GetDefaultSessionKey().encrypted()));
  ASSERT_NE(at, std::string::npos);
  bad_key[at + 5] = bad_key[at + 5] == 'Q' ? 'R' : 'Q';

  struct Case {
    const char* name;
    std::string frame;
    const char* reason;
  } cases[] = {
      {"three bytes", good.substr(0, 3), "shorter than 4"},
      {"length field off by one", good.substr(0, good.size() - 1), "length field"},
      {"no CR LF", with_length(good.substr(0, good.size() - 2) + "XX"), "CR LF"},
      {"payload garbage", with_length(Bytes("00 00") + "garbage garbage" + "\r\n"), "does not decode"},
      {"torn body", std::string(torn->view()), "whole cipher blocks"},
      {"body under another key", std::string(foreign->view()), "decrypt"},
      {"vir_key altered", bad_key, "session key"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UnpackedRequest request;
    std::string error;
    EXPECT_FALSE(UnpackRequestFrame(c.frame, kCollectorPrivateKeyPem, &request, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vireon
