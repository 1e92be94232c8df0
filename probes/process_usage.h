// CPU usage and private memory of another process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace probes {

// Percent, -1 when none is available (three samples 250 ms apart at most).
int32_t GetProcessUsage(uint32_t process_id);
// Committed private memory plus writable image pages, in KiB.
uint64_t GetProcessPrivateMemory(HANDLE process);

}  // namespace probes
