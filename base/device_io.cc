#include "base/device_io.h"

namespace base {
namespace {

class SystemDevices final : public DeviceIo {
 public:
  ScopedKernelHandle Open(const std::wstring& path, DWORD access, DWORD share) override {
    return ScopedKernelHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
  }

  bool Control(HANDLE device, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
               DWORD* returned) override {
    DWORD ignored = 0;
    return ::DeviceIoControl(device, code, const_cast<void*>(in), in_size, out, out_size,
                             returned != nullptr ? returned : &ignored, nullptr) != FALSE;
  }
};

}  // namespace

DeviceIo& SystemDeviceIo() {
  // Never destroyed: a detached probe thread may still query devices while
  // the process exits.
  static SystemDevices* const devices = new SystemDevices();
  return *devices;
}

}  // namespace base
