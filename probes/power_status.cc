#include "probes/power_status.h"

namespace probes {
namespace {

constexpr BYTE kPercentUnknown = 255;
constexpr BYTE kNoSystemBattery = 128;
constexpr DWORD kTimeUnknown = 0xFFFFFFFF;

double Seconds(DWORD time) { return time == kTimeUnknown ? -1.0 : static_cast<double>(time); }

}  // namespace

void ApplySystemPowerStatus(const SYSTEM_POWER_STATUS* system, PowerStatus& status) {
  if (system == nullptr) {
    status.on_ac_power = true;
    status.battery_saver_on = false;
    status.battery_level = 1.0;
    status.battery_seconds_left = 0.0;
    return;
  }
  status.battery_level =
      system->BatteryLifePercent == kPercentUnknown ? 1.0 : system->BatteryLifePercent / 100.0;
  // mingw-w64 names the system status flag (battery saver) Reserved1.
  status.battery_saver_on = system->Reserved1 != 0;
  status.ac_line_status = system->ACLineStatus;
  status.has_battery = (system->BatteryFlag & kNoSystemBattery) == 0;
  status.on_ac_power = system->ACLineStatus != 0;
  if (system->ACLineStatus == 0) {
    status.battery_seconds_left = Seconds(system->BatteryLifeTime);
  } else if (status.battery_level == 1.0) {
    status.battery_seconds_left = 0.0;
  } else {
    status.battery_seconds_left = Seconds(system->BatteryFullLifeTime);
  }
}

void GetPowerStatus(PowerStatus& status) {
  SYSTEM_POWER_STATUS system{};
  ApplySystemPowerStatus(::GetSystemPowerStatus(&system) ? &system : nullptr, status);
}

}  // namespace probes
