// Small helpers shared by the wire tests: hex in and out of byte strings,
// and request frames around any request package.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/request_packing.h"

namespace vireon::testing {

// "0A 06 00" or "0a0600" to bytes; blanks are ignored.
inline std::string Bytes(std::string_view hex) {
  std::string out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) out.push_back(' ');
    const auto b = static_cast<uint8_t>(bytes[i]);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

// A frame around `package` exactly as the client frames its own (process
// session key), whatever the package holds; empty when a step fails.
inline std::string FrameOf(const RequestPackage& package) {
  const auto plain = SerializeRequestPackage(package);
  if (!plain) return {};
  const auto body = EncryptBody(*plain, GetDefaultSessionKey().key());
  if (!body) return {};
  const auto socket_package = MakeSocketRequestPackage(*body, GetDefaultSessionKey());
  if (!socket_package) return {};
  const auto frame = FrameSocketRequest(*socket_package);
  return frame ? std::string(frame->view()) : std::string();
}

}  // namespace vireon::testing
