#include "base/guid_string.h"

#include <objbase.h>

#include <fmt/format.h>

#include "base/failure_boundary.h"

namespace base {

std::string FormatGuid(const GUID& g) {
  return NoThrowOr(std::string(), [&] {
    return fmt::format("{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}", g.Data1, g.Data2,
                       g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                       g.Data4[7]);
  });
}

std::string NewGuidString() {
  GUID guid{};
  if (FAILED(::CoCreateGuid(&guid))) guid = GUID{};
  return FormatGuid(guid);
}

}  // namespace base
