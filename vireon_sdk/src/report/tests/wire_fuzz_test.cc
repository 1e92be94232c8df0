// Random mutations of valid packages: whatever the bytes, decoding must end
// with a result code, never a crash, a hang or a runaway allocation. The
// collector reads these bytes straight from the network.
#include <gtest/gtest.h>

#include <random>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/package_records.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/response_packing.h"
#include "vireon_sdk/src/report/response_parsing.h"

namespace vireon {
namespace {

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random_(seed) {}

  std::string operator()(std::string bytes) {
    const int edits = 1 + Below(4);
    for (int i = 0; i < edits && !bytes.empty(); ++i) {
      const size_t at = Below(bytes.size());
      switch (Below(6)) {
        case 0: bytes[at] = static_cast<char>(random_()); break;                  // any byte
        case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << Below(8))); break;  // one bit
        case 2: bytes[at] = "\x00\x7F\x80\xFF\x0A\x0B\x0E\xF0"[Below(8)]; break;    // edge values and heads
        case 3: bytes.resize(at); break;                                          // cut
        case 4: bytes.insert(at, bytes.substr(Below(bytes.size()), 1 + Below(8))); break;
        case 5: bytes.erase(at, 1 + Below(8)); break;
      }
    }
    return bytes;
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : random_() % n; }
  std::mt19937 random_;
};

bool IsResultCode(int rc) { return rc == kTagOk || rc == kTagDecodeError || rc == kTagBadArgument; }

std::string RequestPlain() {
  ReportParams params{{"event_time", "1700000000000"}, {"log_id", "8C0F-11"}, {"a", "b&c"}};
  for (int i = 0; i < 20; ++i) params[std::to_string(i).insert(0, 1, 'k')] = std::string(i * 15, 'v');
  const auto package = FillEventRecord("fuzz_event", params, "QLTESTAPPKEY0001");
  return std::string(SerializeRequestPackage(*package)->view());
}

TEST(WireFuzz, MutatedRequestPackagesDecodeToAResultCode) {
  const std::string plain = RequestPlain();
  Mutator mutate(20240601);
  int decoded = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::string input = mutate(plain);
    TagStream in;
    ASSERT_EQ(in.SetContent(input), kTagOk);
    RequestPackage package;
    int rc = package.Read(in);
    ASSERT_TRUE(IsResultCode(rc)) << rc;
    ASSERT_LE(in.cursor(), input.size());
    if (rc != kTagOk) {
      EXPECT_NE(in.error()[0], '\0');
      continue;
    }
    for (int32_t e = 0; e < package.events.count(); ++e) {
      TagStream element;
      ASSERT_EQ(element.SetContent(package.events.element(e)), kTagOk);
      EventRecord record;
      rc = element.ReadStruct(&record);
      ASSERT_TRUE(IsResultCode(rc)) << rc;
      if (rc == kTagOk) {
        TextPairs params;
        ASSERT_TRUE(IsResultCode(DecodeStringMap(record.params, &params)));
        ++decoded;
      }
    }
  }
  EXPECT_GT(decoded, 0) << "mutations should sometimes leave the event readable";
}

TEST(WireFuzz, MutatedAnswersGiveAVerdictOrNone) {
  std::string answer;
  ASSERT_TRUE(PackResponse(-1, GetDefaultSessionKey().key(), &answer));
  // Plain envelope too, so the mutations reach the decoder past the cipher.
  TagStream detail;
  ResponsePackage verdict;
  verdict.result = -1;
  ASSERT_EQ(detail.WriteStruct(verdict), kTagOk);
  TagStream attributes;
  ASSERT_EQ(WriteAttributeMap(attributes, {{"detail", std::string(detail.buffer().view())}}), kTagOk);
  ResponseEnvelope envelope;
  ASSERT_EQ(envelope.attributes.Assign(attributes.buffer().view()), kTagOk);
  TagBuffer envelope_plain;
  ASSERT_EQ(EncodeResponseEnvelope(envelope, &envelope_plain), kTagOk);

  const auto baseline = ParseSocketResponsePackage(answer.data(), answer.size());
  ASSERT_TRUE(baseline);
  ASSERT_TRUE(ParseResponse(baseline->body));
  EXPECT_EQ(ParseResponse(baseline->body)->result, -1);

  Mutator mutate(77);
  int readable = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string reply = mutate(answer);
    const auto socket_package = ParseSocketResponsePackage(reply.data(), reply.size());
    ASSERT_TRUE(socket_package);
    ParseResponse(socket_package->body);  // none or a verdict; either is fine

    // The envelope behind the cipher, decoded step by step as ParseResponse
    // does; every 25th one goes through the cipher and ParseResponse itself.
    const std::string mutated = mutate(std::string(envelope_plain.view()));
    if (i % 25 == 0) {
      TagBuffer plain;
      ASSERT_EQ(plain.Assign(mutated), kTagOk);
      const auto body = EncryptBody(plain);
      ASSERT_TRUE(body);
      if (ParseResponse(*body)) ++readable;
      continue;
    }
    ResponseEnvelope decoded;
    int rc = DecodeResponseEnvelope(&decoded, mutated.data(), mutated.size());
    ASSERT_TRUE(IsResultCode(rc)) << rc;
    if (rc != kTagOk) continue;
    TagStream attribute_stream;
    ASSERT_EQ(attribute_stream.SetContent(decoded.attributes.view()), kTagOk);
    AttributeMap map;
    rc = ReadAttributeMap(attribute_stream, &map);
    ASSERT_TRUE(IsResultCode(rc)) << rc;
    const auto detail = FindAttribute(map, "detail");
    if (rc != kTagOk || !detail) continue;
    TagStream detail_stream;
    ASSERT_EQ(detail_stream.SetContent(*detail), kTagOk);
    ResponsePackage read_back;
    rc = detail_stream.ReadStruct(&read_back);
    ASSERT_TRUE(IsResultCode(rc)) << rc;
    if (rc == kTagOk) ++readable;
  }
  EXPECT_GT(readable, 0) << "mutations should sometimes leave the verdict readable";
}

TEST(WireFuzz, MutatedFramesNeverGetPastTheCollectorsChecksUnnoticed) {
  const std::string plain = RequestPlain();
  const SessionKeyPair& key = GetDefaultSessionKey();
  Mutator mutate(4242);
  int accepted = 0;
  for (int i = 0; i < 150; ++i) {
    // Re-encrypt each mutated plaintext so the decoder behind the cipher sees it.
    TagBuffer body_plain;
    ASSERT_EQ(body_plain.Assign(mutate(plain)), kTagOk);
    const auto socket_package = MakeSocketRequestPackage(*EncryptBody(body_plain), key);
    ASSERT_TRUE(socket_package);
    const auto frame = FrameSocketRequest(*socket_package);
    ASSERT_TRUE(frame);
    UnpackedRequest request;
    std::string error;
    if (UnpackRequestFrame(frame->view(), kCollectorPrivateKeyPem, &request, &error)) {
      ++accepted;
      EXPECT_TRUE(error.empty());
    } else {
      EXPECT_FALSE(error.empty());
    }
    // The raw frame mutated as well: framing and cipher checks catch it.
    const std::string raw = mutate(std::string(frame->view()));
    if (!UnpackRequestFrame(raw, kCollectorPrivateKeyPem, &request, &error)) {
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace vireon
