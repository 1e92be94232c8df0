#include "probes/virtualization_probe.h"

#include <windows.h>

#include <filesystem>

#include "base/failure_boundary.h"
#include "base/path_manager.h"
#include "base/process_rights.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/system_probe.h"

namespace probes {
namespace {

constexpr wchar_t kDriverFile[] = L"cpuinfo_signed.sys";
constexpr wchar_t kServiceName[] = L"GET_VT";
constexpr wchar_t kDeviceName[] = L"\\\\.\\InfoDriver";
constexpr wchar_t kDebugPrivilege[] = L"SeDebugPrivilege";
constexpr DWORD kQueryControlCode = 0x222000;  // device type 0x22, function 0x800, buffered, any access
constexpr uint32_t kDriverRequest = 0xB4E27;   // the value the driver expects
constexpr uint32_t kAnswerOn = 0x2000;
constexpr uint32_t kAnswerOff = 0x1000;

// "VtState" as the telemetry start-up writes it; on Windows 7 the driver's
// answer is the only source of it.
void StoreVtState(int32_t state) {
  const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
  if (!base::WriteRegQword(HKEY_LOCAL_MACHINE, key, L"VtState", static_cast<uint64_t>(static_cast<int64_t>(state)))) {
    PRODUCT_LOG("writing VtState {} failed", state);
  }
}

// Installs and starts the driver's service; false when the device will not
// be there.
bool StartDriverService(const std::wstring& driver_path) {
  base::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  base::ScopedServiceHandle service(::CreateServiceW(manager.Get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                                     SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                                     driver_path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service && ::GetLastError() == ERROR_SERVICE_EXISTS) {
    service.Reset(::OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
  }
  if (!service) return false;
  return ::StartServiceW(service.Get(), 0, nullptr) || ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

std::wstring ClientDriverPath() {
  const std::wstring folder = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  if (folder.empty()) return L"";
  return (std::filesystem::path(folder) / kDriverFile).wstring();
}

}  // namespace

int32_t GetHyperVState() { return base::ProbeMicrosoftHypervisor(); }

int32_t ChooseVtState(bool windows7, int32_t cpu_support, const std::function<int32_t()>& enabled_state,
                      const std::function<int32_t()>& driver_state) {
  if (!windows7) return enabled_state();
  // Windows 7 has no firmware flag to ask: the driver decides, and only for a
  // processor that has the feature at all (another vendor's counts as none).
  return cpu_support == 1 ? driver_state() : 0;
}

int32_t GetVtState() {
  return ChooseVtState(base::IsWindows7(), base::CpuSupportsVirtualization(), base::IsVirtualizationEnabled,
                       VtDriverProbe::Query);
}

int32_t VtStateFromDriverAnswer(uint32_t answer) {
  if (answer == kAnswerOn) return 1;
  if (answer == kAnswerOff) return 0;
  return kVirtualizationStateUnknown;
}

int32_t VtDriverProbe::Query() {
  static VtDriverProbe probe(ClientDriverPath);
  return probe.QueryOnce();
}

VtDriverProbe::VtDriverProbe(std::function<std::wstring()> driver_path) : driver_path_(std::move(driver_path)) {}

int32_t VtDriverProbe::QueryOnce() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (state_ != kVirtualizationStateNotSet) return state_;
  state_ = kVirtualizationStateUnknown;
  const std::wstring driver_path = base::NoThrowOr<std::wstring>(L"", driver_path_);
  if (driver_path.empty()) return state_;

  base::SetProcessPrivilege(true, kDebugPrivilege);
  // A service left by an earlier probe that failed half-way.
  base::RemoveGetVtService();
  if (StartDriverService(driver_path)) {
    base::ScopedKernelHandle device(::CreateFileW(kDeviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (device) {
      uint32_t request = kDriverRequest;
      uint32_t answer = 0;
      DWORD returned = 0;
      if (::DeviceIoControl(device.Get(), kQueryControlCode, &request, sizeof(request), &answer, sizeof(answer),
                            &returned, nullptr)) {
        state_ = VtStateFromDriverAnswer(answer);
      }
      StoreVtState(state_);
      base::RemoveGetVtService();
    }
  }
  base::DisablePrivilege(kDebugPrivilege);
  return state_;
}

}  // namespace probes
