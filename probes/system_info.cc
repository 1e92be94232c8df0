#include "probes/system_info.h"

#include <windows.h>
#include <wbemidl.h>

#include <exception>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "probes/display_adapters.h"
#include "probes/wmi_session.h"

namespace probes {
namespace {

constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kPerformanceKey[] = L"SOFTWARE\\Orvalis\\Quillorane\\Settings\\Common";
constexpr uint64_t kGiB = 1ull << 30;

std::wstring WindowsName(uint32_t major, uint32_t minor, uint32_t build) {
  if (major == 10) return build < 22000 ? L"10" : L"11";
  if (major == 6) {
    switch (minor) {
      case 3: return L"8.1";
      case 2: return L"8";
      case 1: return L"7";
      default: return L"";
    }
  }
  return L"";
}

}  // namespace

std::wstring FormatOsVersionText(uint32_t major, uint32_t minor, uint32_t build, uint16_t architecture,
                                 std::wstring_view display_version) {
  std::wstring text = L"Microsoft Windows " + WindowsName(major, minor, build);
  if (architecture == PROCESSOR_ARCHITECTURE_AMD64) text += L" 64\u4F4D";  // 64位
  if (architecture == PROCESSOR_ARCHITECTURE_INTEL) text += L" 32\u4F4D";  // 32位
  text += L' ';
  text += display_version;
  return text;
}

std::wstring GetOsVersionText() {
  return base::NoThrowOr<std::wstring>(L"", [] {
    const base::NtVersion version = base::ReadNtVersion().value_or(base::NtVersion{});
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    std::wstring display = base::ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"DisplayVersion", L"");
    if (display.empty()) display = base::ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ReleaseId", L"");
    return FormatOsVersionText(version.major, version.minor, version.build, info.wProcessorArchitecture, display);
  });
}

std::optional<std::wstring> WmiQuery(std::wstring_view wql, std::wstring_view property) {
  try {
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    if (!apartment.ok()) return std::nullopt;
    auto objects = ExecWmiQuery(L"ROOT\\CIMV2", wql);
    if (!objects) return std::nullopt;
    base::ScopedComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT hr = objects.Get()->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
    if (FAILED(hr) || returned == 0 || !object) return std::nullopt;
    return ReadWmiString(object.Get(), property);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::wstring ReadPerformanceMode() {
  // Only a REG_QWORD counts; anything else reads as this default, which
  // names no mode.
  constexpr uint64_t kNoMode = 0xFFFFFFFFull;
  const uint64_t stored = base::ReadRegQword(HKEY_CURRENT_USER, kPerformanceKey, L"PerformanceMode", kNoMode);
  switch (static_cast<uint32_t>(stored)) {
    case 0: return L"\u9AD8";              // 高
    case 1: return L"\u4E2D";              // 中
    case 2: return L"\u4F4E";              // 低
    case 3: return L"\u81EA\u5B9A\u4E49";  // 自定义
    default: return L"";
  }
}

std::wstring FormatMemoryText(uint64_t available_bytes, uint64_t total_bytes) {
  if (total_bytes == 0) return L"";
  const uint64_t available_gib = available_bytes / kGiB;
  const uint64_t total_gib = total_bytes / kGiB + (total_bytes % kGiB != 0 ? 1 : 0);
  // "{}GB（可用）/ {}GB（总内存）"
  return fmt::format(L"{}GB\uFF08\u53EF\u7528\uFF09/ {}GB\uFF08\u603B\u5185\u5B58\uFF09", available_gib, total_gib);
}

SystemInfoList BuildSystemInfoText(std::string_view opengl_version) {
  return base::NoThrowOr<SystemInfoList>({}, [&] {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    if (!::GlobalMemoryStatusEx(&memory)) memory = MEMORYSTATUSEX{};
    const base::PathManager& paths = base::PathManager::GetInstance();
    SystemInfoList list;
    list.emplace_back(L"\u64CD\u4F5C\u7CFB\u7EDF", GetOsVersionText());  // 操作系统
    list.emplace_back(L"CPU\u578B\u53F7", WmiQuery(L"SELECT * FROM Win32_Processor", L"Name").value_or(L""));
    list.emplace_back(L"\u4E3B\u677F", WmiQuery(L"SELECT * FROM Win32_BaseBoard", L"Product").value_or(L""));
    list.emplace_back(L"\u5185\u5B58", FormatMemoryText(memory.ullAvailPhys, memory.ullTotalPhys));
    list.emplace_back(L"\u663E\u5361\u578B\u53F7", BuildGpuListText());
    list.emplace_back(L"OpenGL\u7248\u672C", base::Utf8ToWide(opengl_version));
    list.emplace_back(L"OrvalisQuillorane\u7248\u672C", paths.GetProductVersion());
    list.emplace_back(L"OrvalisQuillorane\u8DEF\u5F84", paths.GetComponentDir(base::ComponentKind::kClient));
    list.emplace_back(L"\u6027\u80FD\u914D\u7F6E", ReadPerformanceMode());
    return list;
  });
}

}  // namespace probes
