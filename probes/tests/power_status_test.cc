// The power record from what GetSystemPowerStatus reports.
#include "probes/power_status.h"

#include <gtest/gtest.h>

namespace probes {
namespace {

SYSTEM_POWER_STATUS System(BYTE ac, BYTE flag, BYTE percent, BYTE saver, DWORD life, DWORD full) {
  SYSTEM_POWER_STATUS s{};
  s.ACLineStatus = ac;
  s.BatteryFlag = flag;
  s.BatteryLifePercent = percent;
  s.Reserved1 = saver;
  s.BatteryLifeTime = life;
  s.BatteryFullLifeTime = full;
  return s;
}

struct PowerCase {
  const char* name;
  SYSTEM_POWER_STATUS system;
  bool on_ac_power;
  bool battery_saver_on;
  double battery_level;
  double battery_seconds_left;
  int32_t ac_line_status;
  bool has_battery;
};
void PrintTo(const PowerCase& c, std::ostream* os) { *os << c.name; }

class ApplySystemPowerStatusTest : public ::testing::TestWithParam<PowerCase> {};

TEST_P(ApplySystemPowerStatusTest, FillsTheRecord) {
  const PowerCase& c = GetParam();
  PowerStatus status;
  status.power_strategy = 7;
  ApplySystemPowerStatus(&c.system, status);
  EXPECT_EQ(status.on_ac_power, c.on_ac_power);
  EXPECT_EQ(status.battery_saver_on, c.battery_saver_on);
  EXPECT_DOUBLE_EQ(status.battery_level, c.battery_level);
  EXPECT_DOUBLE_EQ(status.battery_seconds_left, c.battery_seconds_left);
  EXPECT_EQ(status.ac_line_status, c.ac_line_status);
  EXPECT_EQ(status.has_battery, c.has_battery);
  EXPECT_EQ(status.power_strategy, 7);  // never the probe's
}

constexpr DWORD kUnknown = 0xFFFFFFFF;

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplySystemPowerStatusTest,
    ::testing::Values(
        PowerCase{"DesktopWithoutBattery", System(1, 128, 255, 0, kUnknown, kUnknown), true, false, 1.0, 0.0, 1, false},
        PowerCase{"OnBattery", System(0, 0, 42, 0, 3600, 9000), false, false, 0.42, 3600.0, 0, true},
        PowerCase{"OnBatteryTimeUnknown", System(0, 2, 10, 1, kUnknown, 9000), false, true, 0.10, -1.0, 0, true},
        PowerCase{"ChargingHalf", System(1, 8, 50, 0, kUnknown, 7200), true, false, 0.5, 7200.0, 1, true},
        PowerCase{"ChargingFullTimeUnknown", System(1, 8, 50, 0, kUnknown, kUnknown), true, false, 0.5, -1.0, 1, true},
        PowerCase{"FullOnAc", System(1, 1, 100, 0, kUnknown, 7200), true, false, 1.0, 0.0, 1, true},
        PowerCase{"LineStatusUnknown", System(255, 255, 255, 0, kUnknown, kUnknown), true, false, 1.0, 0.0, 255, false},
        PowerCase{"SaverOn", System(0, 0, 15, 1, 600, 9000), false, true, 0.15, 600.0, 0, true}),
    [](const ::testing::TestParamInfo<PowerCase>& info) { return std::string(info.param.name); });

TEST(ApplySystemPowerStatusTest, FailedQueryResetsFourFieldsAndKeepsTheRest) {
  PowerStatus status;
  status.on_ac_power = false;
  status.battery_saver_on = true;
  status.battery_level = 0.3;
  status.battery_seconds_left = 100;
  status.ac_line_status = 0;
  status.has_battery = true;
  status.power_strategy = 2;
  ApplySystemPowerStatus(nullptr, status);
  EXPECT_TRUE(status.on_ac_power);
  EXPECT_FALSE(status.battery_saver_on);
  EXPECT_DOUBLE_EQ(status.battery_level, 1.0);
  EXPECT_DOUBLE_EQ(status.battery_seconds_left, 0.0);
  EXPECT_EQ(status.ac_line_status, 0);
  EXPECT_TRUE(status.has_battery);
  EXPECT_EQ(status.power_strategy, 2);
}

TEST(GetPowerStatusTest, FollowsTheSystemAnswer) {
  SYSTEM_POWER_STATUS system{};
  PowerStatus expected;
  ApplySystemPowerStatus(::GetSystemPowerStatus(&system) ? &system : nullptr, expected);
  PowerStatus status;
  GetPowerStatus(status);
  EXPECT_EQ(status.on_ac_power, expected.on_ac_power);
  EXPECT_EQ(status.has_battery, expected.has_battery);
  EXPECT_EQ(status.ac_line_status, expected.ac_line_status);
  EXPECT_DOUBLE_EQ(status.battery_level, expected.battery_level);
}

}  // namespace
}  // namespace probes
