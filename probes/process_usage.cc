#include "probes/process_usage.h"

#include <map>
#include <memory>
#include <mutex>

#include "base/cpu_usage_meter.h"
#include "base/failure_boundary.h"

namespace probes {
namespace {

constexpr int kSampleTries = 3;
constexpr DWORD kSampleWaitMs = 250;

constexpr DWORD kMemCommit = 0x1000;
constexpr DWORD kMemPrivate = 0x20000;
constexpr DWORD kMemImage = 0x1000000;

}  // namespace

int32_t GetProcessUsage(uint32_t process_id) {
  if (process_id == 0) return -1;
  return base::NoThrowOr<int32_t>(-1, [process_id] {
    // Meters live as long as the process: a process id asked about once is
    // usually asked about again, and its meter keeps the previous sample.
    static std::mutex usage_lock;
    static auto* meters = new std::map<uint32_t, std::unique_ptr<base::CpuUsageMeter>>();
    std::lock_guard<std::mutex> hold(usage_lock);
    auto& meter = (*meters)[process_id];
    if (!meter) meter = std::make_unique<base::CpuUsageMeter>(process_id);
    for (int attempt = 0; attempt < kSampleTries; ++attempt) {
      const int16_t usage = static_cast<int16_t>(meter->Sample());
      if (usage != -1) return static_cast<int32_t>(usage);
      ::Sleep(kSampleWaitMs);
    }
    return -1;
  });
}

uint64_t GetProcessPrivateMemory(HANDLE process) {
  uint64_t bytes = 0;
  uintptr_t address = 0;
  for (;;) {
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQueryEx(process, reinterpret_cast<const void*>(address), &region, sizeof(region)) == 0) break;
    if (region.State == kMemCommit) {
      const bool writable_image =
          region.Type == kMemImage && (region.Protect == PAGE_READWRITE || region.Protect == PAGE_WRITECOPY);
      if (region.Type == kMemPrivate || writable_image) bytes += region.RegionSize;
    }
    const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;  // wrapped past the top of the address space (or a region of no size)
    address = next;
  }
  return bytes / 1024;
}

}  // namespace probes
