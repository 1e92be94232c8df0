// A received message: its bytes and the release that runs when the buffer
// is dropped (a heap free, or giving a shared chunk back).
#pragma once

#include <cstdint>
#include <utility>

namespace ipc {

// Frees a block of the general-purpose heap: the blocks received copies and
// joined fragments live in.
void FreeBuffer(void* address);

class ShmBuffer {
 public:
  using ReleaseFunction = void (*)(void* argument, uint64_t size);

  ShmBuffer() = default;
  // `argument` null means the data address is passed to `release`.
  ShmBuffer(void* data, uint64_t size, ReleaseFunction release, void* argument = nullptr)
      : data_(data), size_(size), release_(release), argument_(argument) {}
  ShmBuffer(ShmBuffer&& other) noexcept { *this = std::move(other); }
  ShmBuffer& operator=(ShmBuffer&& other) noexcept {
    if (this != &other) {
      Reset();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      release_ = std::exchange(other.release_, nullptr);
      argument_ = std::exchange(other.argument_, nullptr);
    }
    return *this;
  }
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;
  ~ShmBuffer() { Reset(); }

  bool empty() const { return data_ == nullptr || size_ == 0; }
  const void* data() const { return data_; }
  uint64_t size() const { return size_; }

  void Reset() {
    if (release_ != nullptr) release_(argument_ != nullptr ? argument_ : data_, size_);
    data_ = nullptr;
    size_ = 0;
    release_ = nullptr;
    argument_ = nullptr;
  }

 private:
  void* data_ = nullptr;
  uint64_t size_ = 0;
  ReleaseFunction release_ = nullptr;
  void* argument_ = nullptr;
};

}  // namespace ipc
