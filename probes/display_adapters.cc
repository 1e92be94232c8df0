#include "probes/display_adapters.h"

#include <windows.h>
#include <setupapi.h>

#include <regex>

#include "base/failure_boundary.h"
#include "base/registry.h"
#include "base/scoped_handle.h"

namespace probes {
namespace {

struct DevInfoTraits {
  using Handle = HDEVINFO;
  static Handle Null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using ScopedDevInfo = base::ScopedHandle<DevInfoTraits>;

// {4D36E968-E325-11CE-BFC1-08002BE10318}
constexpr GUID kDisplayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr DWORD kPropertyBytes = 4096;
constexpr wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\";

// The first text of a property; empty when it cannot be read. The buffer
// keeps one zero unit past the 4096 bytes the driver may fill, so a text
// that fills them all still ends.
std::wstring ReadTextProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  std::wstring buffer(kPropertyBytes / sizeof(wchar_t) + 1, L'\0');
  if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                           kPropertyBytes, nullptr)) {
    return L"";
  }
  buffer.resize(buffer.find(L'\0'));
  return buffer;
}

}  // namespace

int32_t GpuVendorFromDeviceId(std::wstring_view hardware_id) {
  if (hardware_id.size() < 8) return kGpuVendorOther;
  struct Mark {
    const wchar_t* text;
    int32_t vendor;
  };
  // NVIDIA first: a hybrid card's id may name the Intel part too.
  constexpr Mark kMarks[] = {{L"VEN_10DE", kGpuVendorNvidia},
                             {L"VEN_1002", kGpuVendorAmd},
                             {L"VEN_8086", kGpuVendorIntel},
                             {L"VEN_5143", kGpuVendorQualcomm}};
  for (const Mark& mark : kMarks) {
    if (hardware_id.find(mark.text) != std::wstring_view::npos) return mark.vendor;
  }
  return kGpuVendorOther;
}

std::wstring ExtractDeviceId(std::wstring_view hardware_id) {
  try {
    static const std::wregex kDevice(L"DEV_([0-9A-Fa-f]{4})");
    std::wcmatch match;
    if (std::regex_search(hardware_id.data(), hardware_id.data() + hardware_id.size(), match, kDevice)) {
      return match[1].str();
    }
  } catch (const std::exception&) {
    // An expression error or exhausted resources: no id.
  }
  return L"";
}

std::vector<DisplayAdapterRecord> EnumDisplayAdapters() {
  return base::NoThrowOr<std::vector<DisplayAdapterRecord>>({}, [] {
    std::vector<DisplayAdapterRecord> adapters;
    ScopedDevInfo devices(::SetupDiGetClassDevsW(&kDisplayClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!devices) return adapters;
    for (DWORD index = 0;; ++index) {
      SP_DEVINFO_DATA device{};
      device.cbSize = sizeof(device);
      if (!::SetupDiEnumDeviceInfo(devices.Get(), index, &device)) break;
      DisplayAdapterRecord record;
      record.description = ReadTextProperty(devices.Get(), device, SPDRP_DEVICEDESC);
      const std::wstring hardware_id = ReadTextProperty(devices.Get(), device, SPDRP_HARDWAREID);
      record.vendor = GpuVendorFromDeviceId(hardware_id);
      record.device_id = ExtractDeviceId(hardware_id);
      const std::wstring driver = ReadTextProperty(devices.Get(), device, SPDRP_DRIVER);
      if (!driver.empty()) {
        const std::wstring key = kClassKey + driver;
        record.driver_date = base::ReadRegString(HKEY_LOCAL_MACHINE, key, L"DriverDate", L"");
        record.driver_version = base::ReadRegString(HKEY_LOCAL_MACHINE, key, L"DriverVersion", L"");
      }
      adapters.push_back(std::move(record));
    }
    return adapters;
  });
}

std::wstring FormatGpuListText(const std::vector<DisplayAdapterRecord>& adapters) {
  std::wstring text;
  for (const DisplayAdapterRecord& adapter : adapters) {
    if (!text.empty()) text += L'\n';
    text += adapter.description + L"(" + adapter.driver_date + L")";
  }
  return text;
}

std::wstring BuildGpuListText() {
  return base::NoThrowOr<std::wstring>(L"", [] { return FormatGpuListText(EnumDisplayAdapters()); });
}

}  // namespace probes
