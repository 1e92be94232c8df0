#include "base/oem_counter.h"

#include <gtest/gtest.h>

#include "base/registry.h"
#include "base/tests/settings_test_util.h"

namespace {

class OemCounterTest : public testing::Test {
 protected:
  uint64_t Stored() { return base::ReadRegQword(HKEY_LOCAL_MACHINE, product_.key(), L"OemCounter", 0xDEAD); }

  settings_test::ScopedTestProduct product_;
};

TEST_F(OemCounterTest, ChannelBitsAccumulate) {
  struct Case {
    const char* what;
    std::optional<uint64_t> before;  // empty: no value
    const char* channel;
    uint64_t after;
  } cases[] = {
      {"first channel on the machine", std::nullopt, "tikogame", 8},
      {"another channel joins", 1, "dorn", 3},
      {"the channel's bit is there already", 3, "vzt", 3},
      {"vivo", 0, "vivo", 4},
      {"not an OEM channel", 5, "other", 5},
  };
  for (const Case& c : cases) {
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_.key());
    if (c.before) settings_test::SetQword(HKEY_LOCAL_MACHINE, product_.key(), L"OemCounter", *c.before);
    oem::OemCounter counter;
    counter.Record(c.channel);
    EXPECT_EQ(Stored(), c.after) << c.what;
  }
}

TEST_F(OemCounterTest, UnknownChannelCreatesNoValue) {
  oem::OemCounter counter;
  counter.Record("unknown");
  EXPECT_FALSE(settings_test::GetRawValue(HKEY_LOCAL_MACHINE, product_.key(), L"OemCounter").found);
}

TEST_F(OemCounterTest, OnlyTheFirstRecordOfACounterCounts) {
  oem::OemCounter counter;
  counter.Record("vzt");
  counter.Record("dorn");
  EXPECT_EQ(Stored(), 1u);

  oem::OemCounter unknown_first;
  unknown_first.Record("somebody");
  unknown_first.Record("vivo");
  EXPECT_EQ(Stored(), 1u) << "a first call with an unknown name also uses up the chance";
}

TEST_F(OemCounterTest, ProcessWideCounterActsOnce) {
  oem::OemCounter::GetInstance().Record("dorn");
  oem::OemCounter::GetInstance().Record("vzt");
  EXPECT_EQ(Stored(), 2u);
}

}  // namespace
