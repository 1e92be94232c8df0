#include "probes/display_adapters.h"

namespace probes {


std::vector<DisplayAdapterRecord> EnumDisplayAdapters() { return {}; }
int32_t GpuVendorFromDeviceId(std::wstring_view) { return kGpuVendorOther; }
std::wstring ExtractDeviceId(std::wstring_view) { return {}; }
std::wstring BuildGpuListText() { return {}; }
std::wstring FormatGpuListText(const std::vector<DisplayAdapterRecord>&) { return {}; }

}  // namespace probes
