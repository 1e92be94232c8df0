// Opening devices and sending them I/O controls. The disk and volume probes
// (and the device identifier's disk readers) go through this interface, so a
// test can answer with recorded device data where no real disk stands behind
// the call; the product always uses SystemDeviceIo.
#pragma once

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"

namespace base {

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;

  // CreateFileW(path, access, share, no security, OPEN_EXISTING, no flags).
  // An invalid handle on failure, with the reason in GetLastError.
  virtual ScopedKernelHandle Open(const std::wstring& path, DWORD access, DWORD share) = 0;

  // DeviceIoControl without overlapping. `in` and `out` may be one buffer.
  virtual bool Control(HANDLE device, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                       DWORD* returned) = 0;
};

// The real devices. Never destroyed: threads that outlive main may still use
// them during exit.
DeviceIo& SystemDeviceIo();

}  // namespace base
