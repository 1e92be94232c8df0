// The distinct descriptions of the display devices, in ascending byte order.
#pragma once

#include <set>
#include <string>

namespace diagnosis {

// DeviceString of EnumDisplayDevicesA, in the ANSI code page.
std::set<std::string> DisplayDeviceDescriptionsAnsi();
// DeviceString of EnumDisplayDevicesW, as UTF-8.
std::set<std::string> DisplayDeviceDescriptionsUtf8();

}  // namespace diagnosis
