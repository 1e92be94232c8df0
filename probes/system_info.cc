#include "probes/system_info.h"

namespace probes {


std::wstring GetOsVersionText() { return {}; }
std::wstring FormatOsVersionText(uint32_t, uint32_t, uint32_t, uint16_t, std::wstring_view) { return {}; }
std::optional<std::wstring> WmiQuery(std::wstring_view, std::wstring_view) { return std::nullopt; }
std::wstring ReadPerformanceMode() { return {}; }
std::wstring FormatMemoryText(uint64_t, uint64_t) { return {}; }
SystemInfoList BuildSystemInfoText() { return {}; }
SystemInfoList BuildSystemInfoText(std::string_view) { return {}; }

}  // namespace probes
