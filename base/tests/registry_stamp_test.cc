#include "base/registry_stamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "base/registry.h"
#include "base/tests/settings_test_util.h"

namespace {

uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

class RegistryStampTest : public testing::Test {
 protected:
  settings_test::ScopedTestProduct product_;
};

TEST_F(RegistryStampTest, MarkLivesUnderTheProductKeyOfTheUser) {
  base::MarkStore mark(L"pcvzt.sdk.mark");
  EXPECT_EQ(mark.key(), product_.key() + L"\\Mark");
  EXPECT_FALSE(mark.IsSet()) << "never written";

  ASSERT_TRUE(mark.Set());
  EXPECT_TRUE(mark.IsSet());
  const settings_test::RawValue raw = settings_test::GetRawValue(HKEY_CURRENT_USER, mark.key(), L"pcvzt.sdk.mark");
  ASSERT_EQ(raw.type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, mark.key(), L"pcvzt.sdk.mark", 0), 1u);
  EXPECT_FALSE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, mark.key())) << "a mark is per user";

  // Another store object (as a later process would build) sees it too.
  EXPECT_TRUE(base::MarkStore(L"pcvzt.sdk.mark").IsSet());
  EXPECT_FALSE(base::MarkStore(L"pcvzt.sdk.desktop_link.mark").IsSet());
}

TEST_F(RegistryStampTest, MarkValuesWrittenByOthers) {
  const base::MarkStore mark(L"pcvzt.sdk.desktop_link.mark");
  struct Case {
    uint64_t stored;
    bool is_set;
  } cases[] = {{2, true}, {0, false}, {~uint64_t{0}, true}};
  for (const Case& c : cases) {
    settings_test::SetQword(HKEY_CURRENT_USER, mark.key(), mark.name(), c.stored);
    EXPECT_EQ(mark.IsSet(), c.is_set) << c.stored;
  }
  settings_test::SetDword(HKEY_CURRENT_USER, mark.key(), mark.name(), 1);
  EXPECT_FALSE(mark.IsSet()) << "only a QWORD is a mark";
}

TEST_F(RegistryStampTest, StampWritesMillisecondsSince1970) {
  base::DurationStamp stamp(L"install.duration");
  EXPECT_EQ(stamp.key(), product_.key() + L"\\Duration");
  const uint64_t before = NowMs();
  ASSERT_TRUE(stamp.Record());
  const uint64_t after = NowMs();
  const uint64_t stored = base::ReadRegQword(HKEY_CURRENT_USER, stamp.key(), L"install.duration", 0);
  EXPECT_GE(stored, before);
  EXPECT_LE(stored, after);
  EXPECT_EQ(stamp.time(), 0u) << "a named stamp keeps its time in the registry only";
}

TEST_F(RegistryStampTest, UnnamedStampStaysInMemory) {
  base::DurationStamp stamp(L"");
  EXPECT_TRUE(stamp.key().empty());
  const uint64_t before = NowMs();
  ASSERT_TRUE(stamp.Record());
  EXPECT_GE(stamp.time(), before);
  EXPECT_LE(stamp.time(), NowMs());
  EXPECT_FALSE(settings_test::KeyExists(HKEY_CURRENT_USER, product_.key() + L"\\Duration"));
  EXPECT_FALSE(settings_test::KeyExists(HKEY_CURRENT_USER, product_.key()));
}

}  // namespace
