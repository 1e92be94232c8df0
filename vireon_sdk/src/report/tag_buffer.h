// The codec's containers: a growable byte buffer, an array of opaque byte
// ranges and a map of two such arrays. C-style inside (plain heap blocks,
// result codes, no exceptions) so that an allocation failure is a -5 and not
// an exception thrown through the wire code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vireon_sdk/src/report/tag_types.h"

namespace vireon {

// Bytes that are always followed by a NUL; the capacity counts that NUL.
// A new buffer is empty with capacity 1.
class TagBuffer {
 public:
  TagBuffer() noexcept = default;
  ~TagBuffer();
  TagBuffer(TagBuffer&& other) noexcept;
  TagBuffer& operator=(TagBuffer&& other) noexcept;
  TagBuffer(const TagBuffer&) = delete;
  TagBuffer& operator=(const TagBuffer&) = delete;

  const uint8_t* data() const noexcept;  // never null
  uint32_t length() const noexcept { return length_; }
  uint32_t capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return length_ == 0; }
  std::string_view view() const noexcept {
    return {reinterpret_cast<const char*>(data()), length_};
  }

  int Reserve(uint32_t n) noexcept;  // n bytes and the NUL fit afterwards
  int Assign(const void* bytes, uint32_t n) noexcept;
  int Assign(std::string_view bytes) noexcept;
  int Append(const void* bytes, uint32_t n) noexcept;
  int Append(std::string_view bytes) noexcept;
  void Clear() noexcept;

  // Gives direct access to the bytes for in-place transforms (the cipher).
  uint8_t* mutable_data() noexcept { return data_; }

 private:
  uint8_t* data_ = nullptr;  // null means empty with capacity 1
  uint32_t length_ = 0;
  uint32_t capacity_ = 1;
};

// Elements are opaque byte ranges kept back to back in one data block;
// element i runs from offsets[i] to offsets[i + 1].
class TagArray {
 public:
  // `type_name` is informational ("string", "event.EventRecord", ...) and must
  // outlive the array (a literal).
  explicit TagArray(const char* type_name = "") noexcept : type_name_(type_name) {}
  ~TagArray();
  TagArray(TagArray&& other) noexcept;
  TagArray& operator=(TagArray&& other) noexcept;
  TagArray(const TagArray&) = delete;
  TagArray& operator=(const TagArray&) = delete;

  const char* type_name() const noexcept { return type_name_; }
  int32_t count() const noexcept { return count_; }
  std::string_view element(int32_t i) const noexcept;  // empty view when out of range

  int Push(const void* bytes, uint32_t n) noexcept;
  int Push(std::string_view bytes) noexcept { return Push(bytes.data(), static_cast<uint32_t>(bytes.size())); }
  void PopBack() noexcept;
  void Clear() noexcept;

 private:
  const char* type_name_;
  int32_t count_ = 0;
  int32_t* offsets_ = nullptr;  // count_ + 1 entries once the first element is in
  int32_t offsets_capacity_ = 0;  // bytes
  int32_t data_length_ = 0;
  int32_t data_capacity_ = 0;
  uint8_t* data_ = nullptr;
};

// Entry i is key i with value i; insertion order, duplicates allowed.
class TagMap {
 public:
  explicit TagMap(const char* value_type_name = "string") noexcept
      : keys_("string"), values_(value_type_name) {}

  int32_t count() const noexcept { return keys_.count(); }
  std::string_view key(int32_t i) const noexcept { return keys_.element(i); }
  std::string_view value(int32_t i) const noexcept { return values_.element(i); }
  const TagArray& keys() const noexcept { return keys_; }
  const TagArray& values() const noexcept { return values_; }

  int Push(std::string_view key, std::string_view value) noexcept;
  void Clear() noexcept;

 private:
  TagArray keys_;
  TagArray values_;
};

}  // namespace vireon
