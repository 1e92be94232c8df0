#include "device_id/vireon_device_id.h"

#include "device_id/zu_mac_id.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace device_id {

const std::string& ProcessVireonDeviceId() {
  // Never destroyed: the telemetry client's detached threads read it while
  // the process exits.
  static const std::string* const text = new std::string(FormatDeviceId(ZUMacID::ComputeVireonDeviceId()));
  return *text;
}

}  // namespace device_id

const std::string& VireonClient::VireonDeviceId() { return device_id::ProcessVireonDeviceId(); }
