#include "device_id/zu_mac_id.h"

namespace ZUMacID {
namespace {

// One copy for all processes of the image, for as long as one of them runs.
__attribute__((section(".ZUGuid"), shared, used)) device_id::DeviceIdSection g_section = {0, {}, {}};

}  // namespace

device_id::DeviceIdSection& DeviceIdSection() { return g_section; }

device_id::DeviceIdBytes ComputeVireonDeviceId() {
  return device_id::ClaimSectionDeviceId<DeviceIdSection, kProfileFolder>();
}

}  // namespace ZUMacID
