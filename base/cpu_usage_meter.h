// CPU usage of one process, sampled at most every 250 ms.
#pragma once

#include <atomic>
#include <cstdint>

namespace base {

class CpuUsageMeter {
 public:
  static constexpr uint16_t kNoValue = 0xFFFF;

  explicit CpuUsageMeter(uint32_t process_id) noexcept : process_id_(process_id) {}
  CpuUsageMeter(const CpuUsageMeter&) = delete;
  CpuUsageMeter& operator=(const CpuUsageMeter&) = delete;

  // Percent of all processors' time that the process used since the previous
  // sample. The first sample only records the times and gives kNoValue; a
  // call within 250 ms of the last sample, or while another thread samples,
  // gives the stored value without waiting.
  uint16_t Sample() noexcept;

 private:
  uint64_t last_system_kernel_ = 0;  // 100-ns units; kernel time includes idle time
  uint64_t last_system_user_ = 0;
  uint64_t last_process_kernel_ = 0;
  uint64_t last_process_user_ = 0;
  std::atomic<uint16_t> last_usage_{kNoValue};
  uint64_t last_sample_tick_ = 0;  // GetTickCount64; 0 = no sample yet
  std::atomic<int32_t> busy_{0};
  uint32_t process_id_;
};

}  // namespace base
