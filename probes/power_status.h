// Power and battery state.
#pragma once

#include <windows.h>

#include <cstdint>

namespace probes {

struct PowerStatus {
  bool on_ac_power = true;
  bool battery_saver_on = false;
  double battery_level = 1.0;
  double battery_seconds_left = 0.0;
  int32_t ac_line_status = 255;
  int32_t power_strategy = 0;  // never filled by the probe
  bool has_battery = false;
};

void GetPowerStatus(PowerStatus& status);
// The rule GetPowerStatus follows; `system` null means the query failed.
void ApplySystemPowerStatus(const SYSTEM_POWER_STATUS* system, PowerStatus& status);

}  // namespace probes
