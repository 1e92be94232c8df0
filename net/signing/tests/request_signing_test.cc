#include "net/signing/request_signing.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace net {
namespace {

constexpr char kDevice[] = "0123456789abcdef0123456789abcdef";
constexpr uint64_t kStamp = 1700000000123;

TEST(RequestSigningTest, KeyIsThirtyTwoLowerCaseHexDigits) {
  const std::string key = WebApiSigningKey();
  ASSERT_EQ(key.size(), 32u);
  EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
}

// The runtime generator's first value after seeding with the second.
TEST(RequestSigningTest, NonceFollowsTheRuntimeGenerator) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 100038}, {1, 100041}, {1700000000, 128462}, {4294967295u, 100035}};
  for (const auto& [second, nonce] : cases) EXPECT_EQ(NonceForSecond(second), nonce) << second;
}

// Reference values from md5sum of body, time stamp, key and nonce.
TEST(RequestSigningTest, SignatureIsLowerCaseMd5OfBodyStampKeyNonce) {
  EXPECT_EQ(RequestSignature("{\"a\":1}", kStamp, 123456), "9622d1afafea528b7db675113bed79e2");
  EXPECT_EQ(RequestSignature("", kStamp, 100038), "61c71963fa1016a77a89c08bcb8454f8");
}

TEST(RequestSigningTest, HeadersGoOutSortedWithMatchingStampAndRequestId) {
  const CgiSignedHeaders headers = BuildSignedHeaders("{}", kDevice, kStamp, 100038);
  ASSERT_EQ(headers.size(), 7u);
  EXPECT_EQ(headers.begin()->first, "Content-Type: ");
  EXPECT_EQ(headers.begin()->second, "application/json");
  EXPECT_EQ(headers.rbegin()->first, "Ual-Access-Timestamp: ");
  EXPECT_EQ(headers.at("Ual-Access-Timestamp: "), "1700000000123");
  EXPECT_EQ(headers.at("Ual-Access-Requestid: "), std::string(kDevice) + "-1700000000123");
  EXPECT_EQ(headers.at("Ual-Access-Guid: "), kDevice);
  EXPECT_EQ(headers.at("Ual-Access-Businessid: "), "tuvo");
  EXPECT_EQ(headers.at("Ual-Access-Nonce: "), "100038");
  EXPECT_EQ(headers.at("Ual-Access-Signature: "), RequestSignature("{}", kStamp, 100038));
}

// The service's check of a signing, for requests altered after it.
TEST(RequestSigningTest, CheckTable) {
  struct Case {
    const char* name;
    std::function<void(std::map<std::string, std::string>&, std::string& body, uint64_t& now)> alter;
    SignatureCheck expected;
  };
  const Case cases[] = {
      {"good", [](auto&, auto&, auto&) {}, SignatureCheck::kValid},
      {"clock within the skew", [](auto&, auto&, uint64_t& now) { now += 299000; }, SignatureCheck::kValid},
      {"stale timestamp", [](auto&, auto&, uint64_t& now) { now += 301000; }, SignatureCheck::kStaleTimestamp},
      {"timestamp from the future", [](auto&, auto&, uint64_t& now) { now -= 301000; },
       SignatureCheck::kStaleTimestamp},
      {"wrong device id", [](auto& h, auto&, auto&) { h["Ual-Access-Guid"] = "ffffffffffffffffffffffffffffffff"; },
       SignatureCheck::kBadDeviceId},
      {"device id not hex", [](auto& h, auto&, auto&) { h["Ual-Access-Guid"] = "0123456789ABCDEF0123456789ABCDEF"; },
       SignatureCheck::kBadDeviceId},
      {"changed body", [](auto&, std::string& body, auto&) { body = "{\"a\":2}"; }, SignatureCheck::kBadSignature},
      {"changed nonce", [](auto& h, auto&, auto&) { h["Ual-Access-Nonce"] = "100039"; },
       SignatureCheck::kBadSignature},
      {"short nonce", [](auto& h, auto&, auto&) { h["Ual-Access-Nonce"] = "10003"; }, SignatureCheck::kBadNonce},
      {"timestamp not the request id's",
       [](auto& h, auto&, auto&) { h["Ual-Access-Timestamp"] = "1700000000124"; }, SignatureCheck::kBadTimestamp},
      {"missing signature", [](auto& h, auto&, auto&) { h.erase("Ual-Access-Signature"); },
       SignatureCheck::kMissingHeader},
      {"missing business id", [](auto& h, auto&, auto&) { h.erase("Ual-Access-Businessid"); },
       SignatureCheck::kMissingHeader},
  };
  for (const auto& c : cases) {
    std::map<std::string, std::string> received;
    for (const auto& [name, value] : BuildSignedHeaders("{\"a\":1}", kDevice, kStamp, 123456))
      received[name.substr(0, name.size() - 2)] = value;
    std::string body = "{\"a\":1}";
    uint64_t now = kStamp;
    c.alter(received, body, now);
    const auto lookup = [&received](std::string_view name) -> std::optional<std::string> {
      auto it = received.find(std::string(name));
      if (it == received.end()) return std::nullopt;
      return it->second;
    };
    EXPECT_EQ(CheckSignedRequest(lookup, body, now, 300000), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace net
