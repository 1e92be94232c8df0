#include "src/common/diagnosis/display_devices.h"

#include <windows.h>

#include "base/text_conversion.h"

namespace diagnosis {

std::set<std::string> DisplayDeviceDescriptionsAnsi() {
  std::set<std::string> descriptions;
  DISPLAY_DEVICEA device{};
  device.cb = sizeof(device);
  for (DWORD index = 0; ::EnumDisplayDevicesA(nullptr, index, &device, EDD_GET_DEVICE_INTERFACE_NAME); ++index) {
    descriptions.emplace(device.DeviceString, strnlen(device.DeviceString, sizeof(device.DeviceString)));
    device = DISPLAY_DEVICEA{};
    device.cb = sizeof(device);
  }
  return descriptions;
}

std::set<std::string> DisplayDeviceDescriptionsUtf8() {
  std::set<std::string> descriptions;
  DISPLAY_DEVICEW device{};
  device.cb = sizeof(device);
  for (DWORD index = 0; ::EnumDisplayDevicesW(nullptr, index, &device, EDD_GET_DEVICE_INTERFACE_NAME); ++index) {
    descriptions.insert(base::WideToUtf8(device.DeviceString, static_cast<int>(wcsnlen(
                                                                  device.DeviceString, std::size(device.DeviceString)))));
    device = DISPLAY_DEVICEW{};
    device.cb = sizeof(device);
  }
  return descriptions;
}

}  // namespace diagnosis
