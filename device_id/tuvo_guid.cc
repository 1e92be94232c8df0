#include "device_id/tuvo_guid.h"

namespace base {
namespace tuvo_guid {
namespace {

// One copy for all processes of the image, for as long as one of them runs.
__attribute__((section(".TUGuid"), shared, used)) device_id::DeviceIdSection g_section = {0, {}, {}};

}  // namespace

device_id::DeviceIdSection& DeviceIdSection() { return g_section; }

}  // namespace tuvo_guid

std::string GetTuvoDeviceId() {
  return device_id::FormatDeviceId(
      device_id::ClaimSectionDeviceId<tuvo_guid::DeviceIdSection, tuvo_guid::kProfileFolder>());
}

}  // namespace base
