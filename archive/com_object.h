// Reference counting for the objects this layer hands to the 7-Zip engine, and
// a smart pointer that releases an engine object exactly once.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace arc {

// The reference-count mixin of every object handed to the engine. The count
// starts at 0: the creator takes the first reference. Counts are plain
// integers because an object serves one operation on one thread.
class CMyUnknownImp {
 protected:
  ULONG AddRefImpl() noexcept { return ++ref_count_; }
  ULONG ref_count_ = 0;
};

// Implements AddRef and Release over CMyUnknownImp; the last Release deletes
// the object through its virtual destructor.
#define ARC_IMPLEMENT_ADDREF_RELEASE                                   \
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() noexcept override {                \
    const ULONG left = --ref_count_;                                   \
    if (left == 0) delete this;                                        \
    return left;                                                       \
  }

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes a new reference to `p`.
  ComPtr(T* p) noexcept : p_(p) {  // implicit on purpose: raw engine pointers convert freely
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out-pointers of calls that hand over a reference already taken.
  T** Receive() noexcept {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

  // Gives the reference away (to an engine out-pointer).
  [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace arc
