// Ownership of Win32 resources: one move-only wrapper, parameterised by a small
// traits type that says how to close the resource and which values mean "none".
// Every handle in the tree is held by one of the aliases at the end of this file.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace base {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept = default;
  explicit ScopedHandle(Handle h) noexcept : handle_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  ~ScopedHandle() { Close(); }

  bool IsValid() const noexcept { return Traits::IsValid(handle_); }
  explicit operator bool() const noexcept { return IsValid(); }
  Handle Get() const noexcept { return handle_; }

  // Gives ownership away; the wrapper is empty afterwards.
  [[nodiscard]] Handle Take() noexcept { return std::exchange(handle_, Traits::Null()); }

  void Reset(Handle h = Traits::Null()) noexcept {
    Close();
    handle_ = h;
  }

  // Closing keeps the caller's GetLastError, so a failure reported just before
  // the wrapper goes out of scope is still there to read.
  void Close() noexcept {
    if (!IsValid()) return;
    const DWORD last_error = ::GetLastError();
    Traits::Close(handle_);
    handle_ = Traits::Null();
    ::SetLastError(last_error);
  }

  // For APIs that fill in a handle through an out-pointer.
  Handle* Receive() noexcept {
    Close();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Null();
};

// Kernel objects: both NULL and INVALID_HANDLE_VALUE mean "none".
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::FindClose(h); }
};

struct MappedViewTraits {
  using Handle = void*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::UnmapViewOfFile(h); }
};

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::LocalFree(h); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

// Service control manager and service handles.
struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::CloseServiceHandle(h); }
};

// A COM interface pointer holds one reference; closing releases it. Pass
// `reinterpret_cast<void**>(ptr.Receive())` to the creating call.
template <typename Interface>
struct ComPtrTraits {
  using Handle = Interface*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { h->Release(); }
};

// A BSTR that this side owns (an [out] text of a COM call, or one made to pass
// as an [in] text). A NULL BSTR is the empty text to COM and needs no freeing.
struct BstrTraits {
  using Handle = BSTR;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::SysFreeString(h); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;  // files, events, mutexes, processes, threads, mappings
using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedMappedView = ScopedHandle<MappedViewTraits>;
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits>;
using ScopedGdiObject = ScopedHandle<GdiObjectTraits>;
using ScopedServiceHandle = ScopedHandle<ServiceHandleTraits>;
template <typename Interface>
using ScopedComPtr = ScopedHandle<ComPtrTraits<Interface>>;
using ScopedBstr = ScopedHandle<BstrTraits>;

}  // namespace base
