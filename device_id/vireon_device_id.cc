#include "device_id/vireon_device_id.h"

#include "device_id/zu_mac_id.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace device_id {

const std::string& ProcessVireonDeviceId() {
  static const std::string text = FormatDeviceId(ZUMacID::ComputeVireonDeviceId());
  return text;
}

}  // namespace device_id

const std::string& VireonClient::VireonDeviceId() { return device_id::ProcessVireonDeviceId(); }
