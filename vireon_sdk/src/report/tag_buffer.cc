#include "vireon_sdk/src/report/tag_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "vireon_sdk/src/report/tag_types.h"

namespace vireon {
namespace {

constexpr uint8_t kEmpty[1] = {0};
constexpr uint64_t kMaxBufferBytes = std::numeric_limits<uint32_t>::max() - 1;
constexpr int64_t kMaxArrayBytes = std::numeric_limits<int32_t>::max();

}  // namespace

// --- TagBuffer -------------------------------------------------------------

TagBuffer::~TagBuffer() { std::free(data_); }

TagBuffer::TagBuffer(TagBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 1)) {}

TagBuffer& TagBuffer::operator=(TagBuffer&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 1);
  }
  return *this;
}

const uint8_t* TagBuffer::data() const noexcept { return data_ != nullptr ? data_ : kEmpty; }

int TagBuffer::Reserve(uint32_t n) noexcept {
  if (n > kMaxBufferBytes) return kTagBadArgument;
  // With no block yet, only "nothing" fits: the shared empty NUL.
  if (data_ != nullptr ? n + 1 <= capacity_ : n == 0) return kTagOk;
  auto* grown = static_cast<uint8_t*>(std::realloc(data_, n + 1));
  if (grown == nullptr) return kTagBadArgument;
  if (data_ == nullptr) grown[0] = 0;
  data_ = grown;
  capacity_ = n + 1;
  return kTagOk;
}

int TagBuffer::Assign(const void* bytes, uint32_t n) noexcept {
  if (bytes == nullptr && n != 0) return kTagBadArgument;
  if (n == 0) {
    Clear();
    return kTagOk;
  }
  // The source may lie inside this buffer; it stays valid because growing
  // only happens when it does not fit, and then it cannot be our own bytes.
  if (int rc = Reserve(n); rc != kTagOk) return rc;
  std::memmove(data_, bytes, n);
  length_ = n;
  data_[n] = 0;
  return kTagOk;
}

int TagBuffer::Assign(std::string_view bytes) noexcept {
  if (bytes.size() > kMaxBufferBytes) return kTagBadArgument;
  return Assign(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

int TagBuffer::Append(const void* bytes, uint32_t n) noexcept {
  if (bytes == nullptr && n != 0) return kTagBadArgument;
  if (n == 0) return kTagOk;
  const uint64_t needed = uint64_t{length_} + n;
  if (needed > kMaxBufferBytes) return kTagBadArgument;
  if (needed + 1 > capacity_ || data_ == nullptr) {
    uint64_t target = 2 * needed;
    if (target > kMaxBufferBytes) target = needed;
    // Appending a range of our own bytes: keep its offset across realloc.
    const auto* src = static_cast<const uint8_t*>(bytes);
    const bool inside = data_ != nullptr && src >= data_ && src < data_ + capacity_;
    const size_t offset = inside ? static_cast<size_t>(src - data_) : 0;
    if (int rc = Reserve(static_cast<uint32_t>(target)); rc != kTagOk) return rc;
    if (inside) bytes = data_ + offset;
  }
  std::memmove(data_ + length_, bytes, n);
  length_ = static_cast<uint32_t>(needed);
  data_[length_] = 0;
  return kTagOk;
}

int TagBuffer::Append(std::string_view bytes) noexcept {
  if (bytes.size() > kMaxBufferBytes) return kTagBadArgument;
  return Append(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void TagBuffer::Clear() noexcept {
  length_ = 0;
  if (data_ != nullptr) data_[0] = 0;
}

// --- TagArray --------------------------------------------------------------

TagArray::~TagArray() {
  std::free(offsets_);
  std::free(data_);
}

TagArray::TagArray(TagArray&& other) noexcept
    : type_name_(other.type_name_),
      count_(std::exchange(other.count_, 0)),
      offsets_(std::exchange(other.offsets_, nullptr)),
      offsets_capacity_(std::exchange(other.offsets_capacity_, 0)),
      data_length_(std::exchange(other.data_length_, 0)),
      data_capacity_(std::exchange(other.data_capacity_, 0)),
      data_(std::exchange(other.data_, nullptr)) {}

TagArray& TagArray::operator=(TagArray&& other) noexcept {
  if (this != &other) {
    std::free(offsets_);
    std::free(data_);
    type_name_ = other.type_name_;
    count_ = std::exchange(other.count_, 0);
    offsets_ = std::exchange(other.offsets_, nullptr);
    offsets_capacity_ = std::exchange(other.offsets_capacity_, 0);
    data_length_ = std::exchange(other.data_length_, 0);
    data_capacity_ = std::exchange(other.data_capacity_, 0);
    data_ = std::exchange(other.data_, nullptr);
  }
  return *this;
}

std::string_view TagArray::element(int32_t i) const noexcept {
  if (i < 0 || i >= count_) return {};
  return {reinterpret_cast<const char*>(data_) + offsets_[i], static_cast<size_t>(offsets_[i + 1] - offsets_[i])};
}

int TagArray::Push(const void* bytes, uint32_t n) noexcept {
  if (bytes == nullptr && n != 0) return kTagBadArgument;
  const int64_t offsets_needed = (int64_t{count_} + 2) * static_cast<int64_t>(sizeof(int32_t));
  if (offsets_needed > offsets_capacity_) {
    int64_t target = 2 * int64_t{offsets_capacity_} + 8;
    if (target < offsets_needed) target = offsets_needed;
    if (target > kMaxArrayBytes) return kTagBadArgument;
    auto* grown = static_cast<int32_t*>(std::realloc(offsets_, static_cast<size_t>(target)));
    if (grown == nullptr) return kTagBadArgument;
    if (offsets_ == nullptr) grown[0] = 0;
    offsets_ = grown;
    offsets_capacity_ = static_cast<int32_t>(target);
  }
  const int64_t data_needed = int64_t{data_length_} + n;
  if (data_needed > kMaxArrayBytes) return kTagBadArgument;
  if (data_needed > data_capacity_) {
    int64_t target = 2 * int64_t{data_capacity_} + 2 * int64_t{n};
    if (target > kMaxArrayBytes) target = data_needed;
    auto* grown = static_cast<uint8_t*>(std::realloc(data_, static_cast<size_t>(target)));
    if (grown == nullptr) return kTagBadArgument;
    data_ = grown;
    data_capacity_ = static_cast<int32_t>(target);
  }
  if (n != 0) std::memcpy(data_ + data_length_, bytes, n);
  data_length_ = static_cast<int32_t>(data_needed);
  ++count_;
  offsets_[count_] = data_length_;
  return kTagOk;
}

void TagArray::PopBack() noexcept {
  if (count_ == 0) return;
  --count_;
  data_length_ = offsets_[count_];
}

void TagArray::Clear() noexcept {
  count_ = 0;
  data_length_ = 0;
}

// --- TagMap ----------------------------------------------------------------

int TagMap::Push(std::string_view key, std::string_view value) noexcept {
  if (key.size() > kMaxArrayBytes || value.size() > kMaxArrayBytes) return kTagBadArgument;
  if (int rc = keys_.Push(key); rc != kTagOk) return rc;
  if (int rc = values_.Push(value); rc != kTagOk) {
    keys_.PopBack();  // keep keys and values paired
    return rc;
  }
  return kTagOk;
}

void TagMap::Clear() noexcept {
  keys_.Clear();
  values_.Clear();
}

}  // namespace vireon
