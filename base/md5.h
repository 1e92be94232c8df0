// MD5 (RFC 1321) for integrity checks: the stamped install record, component
// archives and request signatures. Digest texts are upper-case hex.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

class Md5Context {
 public:
  using Digest = std::array<std::uint8_t, 16>;

  Md5Context() noexcept { Reset(); }

  void Update(const void* data, std::size_t length) noexcept;
  // Pads, appends the bit length, returns the digest and starts over.
  Digest Final() noexcept;

 private:
  void Reset() noexcept;
  void Transform(const std::uint8_t* blocks, std::size_t count) noexcept;

  std::uint32_t state_[4];
  std::uint64_t length_;  // bytes fed so far
  std::uint8_t buffer_[64];
};

// 32 upper-case hex digits of the MD5 of the buffer.
std::string Md5Hex(const void* data, std::uint32_t length);

// Two hex digits per byte, high nibble first, from "0123456789ABCDEF".
std::string BytesToHex(const void* data, std::size_t length);

}  // namespace base
