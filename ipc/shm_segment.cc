#include "ipc/shm_segment.h"

#include <cstdio>
#include <mutex>

namespace ipc {

std::string NamespacedName(bool global, const std::string& fixed) {
  return (global ? "Global" : "Local") + fixed;
}

std::wstring WideName(const std::string& name) {
  if (name.empty()) return std::wstring();
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
  return wide;
}

SECURITY_ATTRIBUTES* GetShmSecurityAttributes() {
  static SECURITY_DESCRIPTOR descriptor;
  static SECURITY_ATTRIBUTES attributes;
  static SECURITY_ATTRIBUTES* const result = []() -> SECURITY_ATTRIBUTES* {
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
      std::fprintf(stderr, "fail InitializeSecurityDescriptor[%d]\n", static_cast<int>(::GetLastError()));
      return nullptr;
    }
    if (!::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
      std::fprintf(stderr, "fail SetSecurityDescriptorDacl[%d]\n", static_cast<int>(::GetLastError()));
      return nullptr;
    }
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
    return &attributes;
  }();
  return result;
}

std::unique_ptr<ShmSegment> ShmAcquire(const std::string& name, uint64_t size, bool global) {
  if (size == 0 || size > kMaxSegmentSize) {
    std::fprintf(stderr, "fail CreateFileMapping/OpenFileMapping[%d]: %s\n", static_cast<int>(ERROR_INVALID_PARAMETER), name.c_str());
    return nullptr;
  }
  const std::wstring full = WideName(NamespacedName(global, "\\__IPC_SHM__" + name));
  HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, GetShmSecurityAttributes(), PAGE_READWRITE | SEC_COMMIT,
                                        0, static_cast<DWORD>(size), full.c_str());
  if (mapping == nullptr) {
    std::fprintf(stderr, "fail CreateFileMapping/OpenFileMapping[%d]: %s\n", static_cast<int>(::GetLastError()),
                 name.c_str());
    return nullptr;
  }
  auto segment = std::make_unique<ShmSegment>();
  segment->mapping.Reset(mapping);
  segment->size = size;
  return segment;
}

int ShmRelease(std::unique_ptr<ShmSegment> segment) {
  if (!segment) return 0;
  if (segment->view.IsValid() && segment->size != 0) {
    segment->view.Close();
  } else {
    std::fprintf(stderr, "fail release: invalid id (mem = %p, size = %zd)\n", segment->view.Get(),
                 static_cast<size_t>(segment->size));
  }
  segment->mapping.Close();
  return 0;
}

bool ShmHandle::Acquire(const std::string& name, uint64_t size, std::optional<bool> global) {
  Release();
  if (global.has_value()) global_ = *global;
  name_ = name;
  segment_ = ShmAcquire(name, size, global_);
  if (!segment_) {
    std::fprintf(stderr, "fail get_mem: invalid id (null)\n");
    return false;
  }
  void* view = ::MapViewOfFile(segment_->mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (view == nullptr) {
    std::fprintf(stderr, "fail MapViewOfFile[%d]\n", static_cast<int>(::GetLastError()));
    return false;
  }
  segment_->view.Reset(view);
  MEMORY_BASIC_INFORMATION info{};
  if (::VirtualQuery(view, &info, sizeof(info)) == 0) {
    std::fprintf(stderr, "fail VirtualQuery[%d]\n", static_cast<int>(::GetLastError()));
    segment_->view.Close();
    return false;
  }
  segment_->size = info.RegionSize;
  view_ = view;
  mapped_size_ = info.RegionSize;
  return true;
}

void ShmHandle::Release() {
  if (segment_) ShmRelease(std::move(segment_));
  view_ = nullptr;
  mapped_size_ = 0;
  name_.clear();
}

uint32_t* GetConnIdCounter(bool global) {
  // One holder per namespace, mapped on first use and kept for the life of
  // the process (never destroyed: endpoints may still be closing at exit).
  static ShmHandle* holders[2] = {nullptr, nullptr};
  static std::once_flag once[2];
  const int index = global ? 1 : 0;
  std::call_once(once[index], [&] {
    auto* holder = new ShmHandle(global);
    if (holder->Acquire("__CA_CONN__", 4)) {
      holders[index] = holder;
    } else {
      delete holder;
    }
  });
  return holders[index] ? static_cast<uint32_t*>(holders[index]->view()) : nullptr;
}

}  // namespace ipc
