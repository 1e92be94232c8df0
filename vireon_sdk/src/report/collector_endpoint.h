// Where the telemetry client sends its events. The host name is resolved by
// the system resolver on every try, so a machine (or a test rig) can point it
// at another collector through its hosts file.
#pragma once

#include <cstdint>

namespace vireon {

inline constexpr char kCollectorHost[] = "report.quillorane.test";
inline constexpr uint16_t kCollectorPort = 8081;

}  // namespace vireon
