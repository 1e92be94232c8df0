#include "base/named_mutex.h"

#include <map>
#include <mutex>
#include <string>

#include "base/scoped_handle.h"

namespace base {
namespace {

struct NullDaclAttributes {
  SECURITY_DESCRIPTOR descriptor{};
  SECURITY_ATTRIBUTES attributes{};
  bool valid = false;

  NullDaclAttributes() {
    if (::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
      attributes.nLength = sizeof(attributes);
      attributes.lpSecurityDescriptor = &descriptor;
      attributes.bInheritHandle = FALSE;
      valid = true;
    }
  }
};

// The mutexes this process created, by full name. Their handles stay open
// (and so the marks stay set) until the process ends.
struct MutexRegistry {
  std::mutex lock;
  std::map<std::string, ScopedKernelHandle> handles;
};

MutexRegistry& Registry() {
  static MutexRegistry* registry = new MutexRegistry();  // never destroyed: the marks outlive static teardown
  return *registry;
}

}  // namespace

SECURITY_ATTRIBUTES* GetNullDaclSecurityAttributes() {
  static NullDaclAttributes null_dacl;
  return null_dacl.valid ? &null_dacl.attributes : nullptr;
}

bool AcquireNamedMutex(std::string_view name, bool global) {
  std::string full_name;
  try {
    full_name = std::string(global ? "Global\\" : "") + std::string(name);
  } catch (...) {
    return false;
  }
  {
    ScopedKernelHandle existing(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, full_name.c_str()));
    if (existing) return true;
  }
  if (::GetLastError() != ERROR_FILE_NOT_FOUND) return true;  // there, but not ours to open

  ScopedKernelHandle created(::CreateMutexA(GetNullDaclSecurityAttributes(), TRUE, full_name.c_str()));
  const bool someone_else = created && ::GetLastError() == ERROR_ALREADY_EXISTS;
  MutexRegistry& registry = Registry();
  try {
    std::lock_guard<std::mutex> hold(registry.lock);
    registry.handles[full_name] = std::move(created);
  } catch (...) {
    (void)created.Take();  // keep the mark rather than drop it with the handle
  }
  return someone_else;
}

}  // namespace base
