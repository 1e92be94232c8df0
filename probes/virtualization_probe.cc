#include "probes/virtualization_probe.h"

namespace probes {


int32_t GetHyperVState() { return 0; }
int32_t GetVtState() { return kVirtualizationStateUnknown; }
int32_t ChooseVtState(bool, int32_t, const std::function<int32_t()>&, const std::function<int32_t()>&) {
  return kVirtualizationStateUnknown;
}
int32_t VtDriverProbe::Query() { return kVirtualizationStateUnknown; }
VtDriverProbe::VtDriverProbe(std::function<std::wstring()> driver_path) : driver_path_(std::move(driver_path)) {}
int32_t VtDriverProbe::QueryOnce() { return kVirtualizationStateUnknown; }
int32_t VtStateFromDriverAnswer(uint32_t) { return kVirtualizationStateUnknown; }

}  // namespace probes
