// Retries an operation a fixed number of times with a pause after each
// failed try. Platform-free.
#pragma once

#include <chrono>
#include <thread>
#include <utility>

namespace base {

// Calls `attempt` up to `count` times and stops at the first true. Every try
// that fails, the last one included, is followed by a sleep of `interval_ms`
// when that is positive: 15 tries 2000 ms apart give up after about 30 s.
template <typename Attempt>
bool RetryUntil(Attempt&& attempt, int count, int interval_ms) {
  for (int i = 0; i < count; ++i) {
    if (attempt()) return true;
    if (interval_ms > 0) {
      // A sleep may end a little early (the platform's timer is coarser than
      // the steady clock), so sleep until the deadline has really passed.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_ms);
      while (std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_until(deadline);
    }
  }
  return false;
}

}  // namespace base
