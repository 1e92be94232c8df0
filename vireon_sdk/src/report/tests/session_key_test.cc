#include "vireon_sdk/src/report/session_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/collector_public_key.h"
#include "vireon_sdk/src/utils/base64.h"
#include "vireon_sdk/src/utils/rsa.h"

namespace vireon {
namespace {

bool IsUpperHex(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool FailingRandom(void*, size_t) { return false; }
bool FixedRandom(void* out, size_t n) {
  std::memset(out, 0xA5, n);
  return true;
}

TEST(SessionKey, ProcessKeyIsFreshUpperHexAndTravelsRsaEncrypted) {
  const SessionKeyPair& pair = GetDefaultSessionKey();
  EXPECT_EQ(pair.key().size(), 16u);
  EXPECT_TRUE(IsUpperHex(pair.key())) << pair.key();
  EXPECT_NE(pair.key(), kDefaultSessionKeyText);
  ASSERT_EQ(pair.encrypted().size(), 172u);
  EXPECT_EQ(pair.encrypted().back(), '=');
  EXPECT_NE(pair.encrypted(), kDefaultEncryptedSessionKey);

  // The collector gets the key text back with its private key.
  EXPECT_EQ(RecoverSessionKey(pair.encrypted(), kCollectorPrivateKeyPem), pair.key());

  // One pair per process, whoever asks first.
  std::vector<const SessionKeyPair*> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen) threads.emplace_back([&slot] { slot = &GetDefaultSessionKey(); });
  for (auto& t : threads) t.join();
  for (const auto* p : seen) EXPECT_EQ(p, &pair);
}

TEST(SessionKey, FallsBackToTheDefaultPairWhenNoFreshKeyCanBeMade) {
  struct Case {
    const char* name;
    std::string_view public_pem;
    RandomSource random;
    bool fresh;
  } cases[] = {
      {"collector key readable", kCollectorPublicKeyPem, FixedRandom, true},
      {"collector key unreadable", "-----BEGIN PUBLIC KEY-----\nnot a key\n-----END PUBLIC KEY-----\n",
       FixedRandom, false},
      {"no collector key", "", FixedRandom, false},
      {"private key where the public one belongs", kCollectorPrivateKeyPem, FixedRandom, false},
      {"random source fails", kCollectorPublicKeyPem, FailingRandom, false},
      {"no random source", kCollectorPublicKeyPem, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionKeyPair pair;
    EXPECT_EQ(GenerateSessionKey(&pair, c.public_pem, c.random), c.fresh);
    if (c.fresh) {
      EXPECT_EQ(pair.key(), "A5A5A5A5A5A5A5A5");
      EXPECT_EQ(pair.encrypted().size(), 172u);
      EXPECT_EQ(RecoverSessionKey(pair.encrypted(), kCollectorPrivateKeyPem), "A5A5A5A5A5A5A5A5");
    } else {
      EXPECT_EQ(pair.key(), "3e91c07d5fa2b468");
      EXPECT_EQ(pair.encrypted(), kDefaultEncryptedSessionKey);
      EXPECT_EQ(pair.encrypted().size(), 172u);
    }
  }
}

TEST(SessionKey, CollectorRecoversOnlyWhatItsKeyOpens) {
  EXPECT_EQ(RecoverSessionKey(kDefaultEncryptedSessionKey, kCollectorPrivateKeyPem), kDefaultSessionKeyText);
  EXPECT_EQ(RecoverSessionKey(kDefaultEncryptedSessionKey, ""), kDefaultSessionKeyText);

  const std::string good = RsaEncryptPublic("0123456789ABCDEF");
  ASSERT_EQ(good.size(), 172u);
  EXPECT_EQ(RecoverSessionKey(good, kCollectorPrivateKeyPem), "0123456789ABCDEF");

  std::string flipped = good;
  flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
  const std::string wrong_length = RsaEncryptPublic("0123456789ABCDE");
  const std::string cases[] = {"", "not base64!", good.substr(0, 168), flipped, wrong_length};
  for (const auto& vir_key : cases) {
    SCOPED_TRACE(vir_key);
    EXPECT_EQ(RecoverSessionKey(vir_key, kCollectorPrivateKeyPem), "");
  }
  EXPECT_EQ(RecoverSessionKey(good, "no key"), "");
}

}  // namespace
}  // namespace vireon
