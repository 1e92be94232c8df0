#include "src/zephris_install/src/boot/env_status.h"

#include <windows.h>

#include <mutex>

#include "base/system_probe.h"
#include "report/install_report.h"

namespace {

// The processor-feature numbers of recent SDKs, which older headers lack.
constexpr DWORD kVirtFirmwareEnabled = 21;        // PF_VIRT_FIRMWARE_ENABLED
constexpr DWORD kSecondLevelTranslation = 20;     // PF_SECOND_LEVEL_ADDRESS_TRANSLATION

const std::string& BaseBoardVendor() {
  static std::once_flag once;
  static std::string vendor;
  std::call_once(once, [] { vendor = base::GetBaseBoardManufacturer(); });
  return vendor;
}

std::string Flag(DWORD feature) { return ::IsProcessorFeaturePresent(feature) ? "1" : "0"; }

}  // namespace

void ReportEnvStatus(const std::string& source) {
  zephris_report::Reporter::Instance().Report(
      "env_status", {{"source", source},
                     {"hyperv_state", std::to_string(base::ProbeMicrosoftHypervisor())},
                     {"vt_state", Flag(kVirtFirmwareEnabled)},
                     {"vt_support", std::to_string(base::CpuSupportsVirtualization())},
                     {"ept_state", Flag(kSecondLevelTranslation)},
                     {"base_board_vendor", BaseBoardVendor()}});
}
