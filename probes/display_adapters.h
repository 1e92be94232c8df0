// The present display adapters with their driver data (setup API).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace probes {

enum GpuVendorCode : int32_t {
  kGpuVendorOther = 0,
  kGpuVendorIntel = 1,
  kGpuVendorAmd = 2,
  kGpuVendorNvidia = 3,
  kGpuVendorQualcomm = 4,
};

struct DisplayAdapterRecord {
  int32_t vendor = kGpuVendorOther;
  std::wstring description;
  std::wstring driver_date;
  std::wstring driver_version;
  std::wstring device_id;
};

std::vector<DisplayAdapterRecord> EnumDisplayAdapters();
int32_t GpuVendorFromDeviceId(std::wstring_view hardware_id);
// The four hex digits after "DEV_", empty when there are none.
std::wstring ExtractDeviceId(std::wstring_view hardware_id);
// "description(date)" per adapter, joined by LF.
std::wstring BuildGpuListText();
std::wstring FormatGpuListText(const std::vector<DisplayAdapterRecord>& adapters);

}  // namespace probes
