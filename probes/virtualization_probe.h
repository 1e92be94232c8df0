// Whether hardware virtualisation (VT-x / AMD-V) is usable and whether the
// Microsoft hypervisor runs, as the environment record and telemetry carry
// them. The processor-level questions live in base/system_probe.h; this adds
// the Windows 7 way of asking, through the client's small kernel driver.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace probes {

// The two states, signed 32-bit: 1 yes, 0 no, -1 undetermined (vt only),
// -2 not set (the environment record's default).
inline constexpr int32_t kVirtualizationStateUnknown = -1;
inline constexpr int32_t kVirtualizationStateNotSet = -2;

// "hyperv_state": ProbeMicrosoftHypervisor, 0 or 1.
int32_t GetHyperVState();
// "vt_state": outside Windows 7 IsVirtualizationEnabled; on Windows 7 the
// driver probe when the processor supports virtualisation, else 0.
int32_t GetVtState();
// The rule GetVtState follows, with its sources handed in.
int32_t ChooseVtState(bool windows7, int32_t cpu_support, const std::function<int32_t()>& enabled_state,
                      const std::function<int32_t()>& driver_state);

// Asks the client's kernel driver (installed for the moment as the service
// "GET_VT") whether virtualisation is switched on. Asked once per process;
// later calls return the cached state.
class VtDriverProbe {
 public:
  // 1 on, 0 off, -1 no usable answer.
  static int32_t Query();

  // The probe over a given driver file; Query uses the client's
  // cpuinfo_signed.sys.
  explicit VtDriverProbe(std::function<std::wstring()> driver_path);
  int32_t QueryOnce();

 private:
  std::function<std::wstring()> driver_path_;
  std::mutex mutex_;
  int32_t state_ = kVirtualizationStateNotSet;
};

// What the driver's 4-byte answer means: 0x2000 on, 0x1000 off, else -1.
int32_t VtStateFromDriverAnswer(uint32_t answer);

}  // namespace probes
