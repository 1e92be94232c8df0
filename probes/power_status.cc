#include "probes/power_status.h"

namespace probes {


void GetPowerStatus(PowerStatus&) {}
void ApplySystemPowerStatus(const SYSTEM_POWER_STATUS*, PowerStatus&) {}

}  // namespace probes
