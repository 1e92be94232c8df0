#include "vireon_sdk/src/report/response_parsing.h"

#include <gtest/gtest.h>

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/response_packing.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon {
namespace {

using testing::Bytes;

// What the client's request runner does with an answer: nullptr means
// "unreadable", which it counts as delivered.
std::unique_ptr<ResponsePackage> Verdict(std::string_view answer) {
  const auto socket_package = ParseSocketResponsePackage(answer.data(), answer.size());
  EXPECT_TRUE(socket_package);
  return socket_package ? ParseResponse(socket_package->body) : nullptr;
}

// An answer frame carrying `body` as it is.
std::string AnswerWithRawBody(std::string_view body) {
  SocketResponsePackage package;
  EXPECT_EQ(package.body.Assign(body), kTagOk);
  TagStream payload;
  EXPECT_EQ(package.Write(payload), kTagOk);
  const size_t total = payload.buffer().length() + 4;
  return std::string{static_cast<char>(total >> 8), static_cast<char>(total)} + std::string(payload.buffer().view()) +
         "\r\n";
}

// An answer frame whose decrypted body is `envelope_plain`.
std::string AnswerWithBody(std::string_view envelope_plain) {
  TagBuffer plain;
  EXPECT_EQ(plain.Assign(envelope_plain), kTagOk);
  return AnswerWithRawBody(EncryptBody(plain)->view());
}

std::string Envelope(const AttributeMap& attributes) {
  TagStream map;
  EXPECT_EQ(WriteAttributeMap(map, attributes), kTagOk);
  ResponseEnvelope envelope;
  EXPECT_EQ(envelope.attributes.Assign(map.buffer().view()), kTagOk);
  TagBuffer out;
  EXPECT_EQ(EncodeResponseEnvelope(envelope, &out), kTagOk);
  return std::string(out.view());
}

TEST(ParseResponse, ReadsTheVerdictOfAnAnswerPackedUnderTheSessionKey) {
  for (int32_t result : {0, -1, 7}) {
    SCOPED_TRACE(result);
    std::string answer;
    ASSERT_TRUE(PackResponse(result, GetDefaultSessionKey().key(), &answer));
    EXPECT_EQ((size_t{static_cast<uint8_t>(answer[0])} << 8) | static_cast<uint8_t>(answer[1]), answer.size());
    EXPECT_EQ(answer.substr(answer.size() - 2), "\r\n");
    const auto verdict = Verdict(answer);
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->result, result);
  }
  // An answer under another key does not read.
  std::string foreign;
  ASSERT_TRUE(PackResponse(-1, "0000000000000000", &foreign));
  EXPECT_FALSE(Verdict(foreign));
}

TEST(ParseResponse, UnreadableAnswersGiveNone) {
  TagStream verdict_struct;
  ResponsePackage refused;
  refused.result = -1;
  ASSERT_EQ(verdict_struct.WriteStruct(refused), kTagOk);
  const std::string detail(verdict_struct.buffer().view());
  // Padding that brings the plain envelope to exactly `size` bytes; it
  // deflates to almost nothing, so the answer frame stays small.
  auto padded_to = [&](size_t size) {
    const size_t bare = Envelope({{"padding", std::string(60000, 'p')}, {"detail", detail}}).size() - 60000;
    const std::string envelope = Envelope({{"padding", std::string(size - bare, 'p')}, {"detail", detail}});
    EXPECT_EQ(envelope.size(), size);
    return envelope;
  };

  struct Case {
    const char* name;
    std::string answer;
  } cases[] = {
      {"empty", ""},
      {"three bytes", "abc"},
      {"not a package", "HTTP/1.1 400 Bad Request\r\n\r\n"},
      {"envelope of three bytes", AnswerWithBody("abc")},
      {"no detail attribute", AnswerWithBody(Envelope({{"other", detail}}))},
      {"detail cut short", AnswerWithBody(Envelope({{"detail", detail.substr(0, detail.size() - 1)}}))},
      {"detail not a structure", AnswerWithBody(Envelope({{"detail", Bytes("00 FF")}}))},
      {"body not a ciphertext", AnswerWithRawBody(std::string(32, 'x'))},
      {"body of torn blocks", AnswerWithRawBody(std::string(33, 'x'))},
      {"plain answer one byte over the cap", AnswerWithBody(padded_to(kMaxAnswerPlainBytes + 1))},
      {"plain answer of 16 MiB", AnswerWithBody(padded_to(16u << 20))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Verdict(c.answer));
  }
  // The same detail, whole, is read: the cases above fail for their own reason.
  const auto whole = Verdict(AnswerWithBody(Envelope({{"other", "x"}, {"detail", detail}})));
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->result, -1);
  const auto at_cap = Verdict(AnswerWithBody(padded_to(kMaxAnswerPlainBytes)));
  ASSERT_TRUE(at_cap);
  EXPECT_EQ(at_cap->result, -1);
}

TEST(ParseSocketResponsePackage, ShortOrDamagedRepliesKeepDefaults) {
  for (std::string_view reply : {std::string_view(), std::string_view("\x00\x04\r\n", 4), std::string_view("ab")}) {
    const auto package = ParseSocketResponsePackage(reply.data(), reply.size());
    ASSERT_TRUE(package);
    EXPECT_EQ(package->field0, 0);
    EXPECT_EQ(package->body.length(), 0u);
  }
  // A reply cut inside the body keeps what came before it.
  std::string answer;
  ASSERT_TRUE(PackResponse(0, GetDefaultSessionKey().key(), &answer));
  const std::string cut = answer.substr(0, answer.size() - 20);
  const auto package = ParseSocketResponsePackage(cut.data(), cut.size());
  ASSERT_TRUE(package);
  EXPECT_EQ(package->body.length(), 0u);
}

}  // namespace
}  // namespace vireon
