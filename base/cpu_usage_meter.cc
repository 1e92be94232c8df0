#include "base/cpu_usage_meter.h"

#include <windows.h>

#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr uint64_t kMinSampleSpacingMs = 250;

uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

uint16_t CpuUsageMeter::Sample() noexcept {
  uint16_t result = last_usage_.load();
  if (busy_.fetch_add(1) != 0) {  // another thread is sampling: take what is stored
    busy_.fetch_sub(1);
    return result;
  }
  const uint64_t now = ::GetTickCount64();
  if (last_sample_tick_ == 0 || now - last_sample_tick_ > kMinSampleSpacingMs) {
    FILETIME idle{}, system_kernel{}, system_user{};
    FILETIME created{}, exited{}, process_kernel{}, process_user{};
    bool read = false;
    {
      ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, process_id_));
      read = process && ::GetSystemTimes(&idle, &system_kernel, &system_user) &&
             ::GetProcessTimes(process.Get(), &created, &exited, &process_kernel, &process_user);
    }
    if (read) {
      const uint64_t sys_kernel = ToUint64(system_kernel);
      const uint64_t sys_user = ToUint64(system_user);
      const uint64_t proc_kernel = ToUint64(process_kernel);
      const uint64_t proc_user = ToUint64(process_user);
      const uint64_t system_delta = (sys_kernel - last_system_kernel_) + (sys_user - last_system_user_);
      if (last_sample_tick_ != 0 && system_delta != 0) {
        const uint64_t process_delta = (proc_kernel - last_process_kernel_) + (proc_user - last_process_user_);
        last_usage_.store(static_cast<uint16_t>(100.0 * static_cast<double>(process_delta) /
                                                static_cast<double>(system_delta)));
      }
      last_system_kernel_ = sys_kernel;
      last_system_user_ = sys_user;
      last_process_kernel_ = proc_kernel;
      last_process_user_ = proc_user;
      last_sample_tick_ = now;
      result = last_usage_.load();
    }
  }
  busy_.fetch_sub(1);
  return result;
}

}  // namespace base
