// Limits every libcurl transfer of the downloader carries, so that neither the
// probe nor a slice can hang on a server that stopped answering.
#pragma once

#include "downloader/options.h"

namespace courier {

// A redirect chain longer than this is a loop.
inline constexpr long kMaxRedirects = 10;

// When the caller sets no low-speed limit, a transfer that received nothing at
// all for this long is given up (and the slice restarted by the task).
inline constexpr long kStallGuardSeconds = 60;

// libcurl reads 16 KiB per receive by default; each receive is a system call
// (under Wine a round trip to its server), which caps a transfer far below
// what the network gives. Slices read in blocks of libcurl's largest size.
inline constexpr long kReceiveBufferSize = 512 * 1024;

struct LowSpeedLimit {
  long bytes_per_second;
  long seconds;
};

// The caller's limit when it is one libcurl acts on (both values above 0),
// otherwise the stall guard.
inline LowSpeedLimit LowSpeedLimitFor(const Options& options) {
  if (options.min_speed > 0 && options.min_speed_duration > 0) {
    return {static_cast<long>(options.min_speed), static_cast<long>(options.min_speed_duration)};
  }
  return {1, kStallGuardSeconds};
}

}  // namespace courier
