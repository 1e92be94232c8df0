// Machine descriptions for the telemetry's common parameters and the system
// section of the diagnosis log: Windows edition, WMI names, memory, the
// product's performance setting. Every probe ends with a neutral value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace probes {

// "Microsoft Windows 11 64位 23H2".
std::wstring GetOsVersionText();
// The same from given facts; `display_version` is DisplayVersion, else ReleaseId.
std::wstring FormatOsVersionText(uint32_t major, uint32_t minor, uint32_t build, uint16_t architecture,
                                 std::wstring_view display_version);

// The named string property of the query's first object in ROOT\CIMV2.
std::optional<std::wstring> WmiQuery(std::wstring_view wql, std::wstring_view property);

// "高", "中", "低", "自定义" or empty, from the REG_QWORD "PerformanceMode".
std::wstring ReadPerformanceMode();

// "{avail}GB（可用）/ {total}GB（总内存）"; empty when the total is 0.
std::wstring FormatMemoryText(uint64_t available_bytes, uint64_t total_bytes);

using SystemInfoList = std::vector<std::pair<std::wstring, std::wstring>>;
// The labelled system section of the diagnosis log, in its fixed order. The
// OpenGL version (UTF-8) is the GPU detector's; the caller, which waits for
// that detector anyway, hands it in, so these probes do not build on it.
SystemInfoList BuildSystemInfoText(std::string_view opengl_version);

}  // namespace probes
