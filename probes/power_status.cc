#include "probes/power_status.h"

void GetPowerStatus(PowerStatus&) {}
void ApplySystemPowerStatus(const SYSTEM_POWER_STATUS*, PowerStatus&) {}
