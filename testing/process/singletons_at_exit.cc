// A program that exits while a detached thread still uses the process-wide
// objects such threads reach (the path manager, the device interface, the
// telemetry device identifier), and that checks them once more after static
// teardown: an exit handler registered before any of them was first used runs
// after every destructor they could have. It prints one line from that
// handler, "intact" or what changed, and ends with exit code 7.
//
//   ql_singletons_at_exit
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/device_io.h"
#include "base/path_manager.h"
#include "device_id/vireon_device_id.h"

namespace {

std::wstring* g_product_key = nullptr;
std::string* g_device_id = nullptr;
std::atomic<bool> g_thread_running{false};

bool DeviceIoWorks() {
  return base::SystemDeviceIo().Open(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).IsValid();
}

void CheckAfterTeardown() {
  // Freed blocks are handed out again first: whatever a destroyed object
  // pointed to now holds these.
  std::vector<std::wstring> wide(256, std::wstring(g_product_key->size(), L'X'));
  std::vector<std::string> narrow(256, std::string(g_device_id->size(), 'Y'));
  std::string changed;
  if (base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct) != *g_product_key) {
    changed += " path-manager";
  }
  if (device_id::ProcessVireonDeviceId() != *g_device_id) changed += " device-id";
  if (!DeviceIoWorks()) changed += " device-io";
  std::printf("%s\n", changed.empty() ? "intact" : ("changed:" + changed).c_str());
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::atexit(CheckAfterTeardown);  // before any first use, so it runs after their teardown

  base::PathManager::GetInstance().Init(L"SingletonsAtExit");
  g_product_key = new std::wstring(base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct));
  g_device_id = new std::string(device_id::ProcessVireonDeviceId());
  DeviceIoWorks();

  std::thread([] {
    for (;;) {
      const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
      const std::string id = device_id::ProcessVireonDeviceId();
      DeviceIoWorks();
      g_thread_running = true;
    }
  }).detach();
  while (!g_thread_running) ::SwitchToThread();
  return 7;
}
