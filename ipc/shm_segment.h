// Named shared-memory segments of the IPC transport, and the machine-wide
// counter that hands out connection ids. Every object is created with a NULL
// DACL so that the product's processes can open it whatever account or
// integrity level they run at. Nothing here throws: failures write one line
// to the standard error stream and show as a null result.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/scoped_handle.h"

namespace ipc {

// Segments larger than this cannot be named to the system in one call.
constexpr uint64_t kMaxSegmentSize = 0xFFFFFFFFull;

// "Global\..." when `global`, else "Local\...": `fixed` starts with the
// backslash that separates namespace and name.
std::string NamespacedName(bool global, const std::string& fixed);

// One file mapping and its view.
struct ShmSegment {
  base::ScopedKernelHandle mapping;
  base::ScopedMappedView view;
  // The size asked for; once mapped, the size of the mapped region (whole
  // pages, and that of the existing mapping when the name existed already).
  uint64_t size = 0;
};

// Creates or opens the segment "<namespace>\__IPC_SHM__<name>". Null when the
// mapping cannot be created or opened, or when `size` is 0 or beyond
// kMaxSegmentSize.
std::unique_ptr<ShmSegment> ShmAcquire(const std::string& name, uint64_t size, bool global);
int ShmRelease(std::unique_ptr<ShmSegment> segment);

// Holder of one named segment, mapped once and kept until released.
class ShmHandle {
 public:
  ShmHandle() = default;
  explicit ShmHandle(bool global) : global_(global) {}
  ~ShmHandle() { Release(); }
  ShmHandle(const ShmHandle&) = delete;
  ShmHandle& operator=(const ShmHandle&) = delete;

  // Gives up what is held, then maps `name`. The namespace is `global` when
  // given, else the holder's own; the holder keeps the one used.
  bool Acquire(const std::string& name, uint64_t size, std::optional<bool> global = std::nullopt);
  void Release();

  void* view() const { return view_; }
  uint64_t mapped_size() const { return mapped_size_; }
  const std::string& name() const { return name_; }
  bool global() const { return global_; }

 private:
  bool global_ = true;
  std::unique_ptr<ShmSegment> segment_;
  void* view_ = nullptr;
  std::string name_;
  uint64_t mapped_size_ = 0;
};

// Process-wide attributes with a NULL DACL; null when they could not be
// built (objects then get the default security).
SECURITY_ATTRIBUTES* GetShmSecurityAttributes();

// The connection-id counter "__CA_CONN__" of the namespace: one 32-bit word,
// 0 in a new segment. Each namespace has its own counter, so that every
// endpoint of one ring draws its id from the same counter. Null when the
// segment cannot be mapped.
uint32_t* GetConnIdCounter(bool global);

// UTF-8 to UTF-16 for object names.
std::wstring WideName(const std::string& name);

}  // namespace ipc
