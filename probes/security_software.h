// Which known security products the machine runs, as one number whose
// decimal digits are flags ("security_software_type" of every event). Only
// the store process detects; every process reads the stored value.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "probes/text_match.h"  // WStringContainsNoCase, which the store check uses

namespace probes {

struct SecuritySoftwareFlag {
  std::wstring name_fragment;
  uint32_t flag;
};
// Halvane 1, 360 10, 金山 100, 瑞星 1000, 火绒 10000, tried in that order.
const std::vector<SecuritySoftwareFlag>& SecuritySoftwareFlags();

// The stored type (low 32 bits of "SecuritySoftwareType" under the product key
// in HKLM), 0 while none is stored. In the store process the first call also
// starts the detection, once.
uint32_t GetSecuritySoftwareType();
// Queries the Security Center and stores the sum; the detection thread's body.
void DetectSecuritySoftware();

// Display names of the antivirus products the Security Center knows.
// `complete` is false when a step of the query failed: the names are then
// only those gathered before the failure, and `error` is the step's HRESULT.
struct AntivirusProducts {
  std::vector<std::wstring> names;
  bool complete = false;
  long error = 0;
};
AntivirusProducts QueryAntivirusProducts();

// The digit-flag sum of the display names: for each name the first table
// fragment found in it (case-sensitive) counts, each flag once.
uint32_t SumSecuritySoftwareFlags(const std::vector<std::wstring>& display_names);

// The probe behind the free functions, with the product source and the
// registry key handed in.
class SecuritySoftwareProbe {
 public:
  using ProductSource = std::function<AntivirusProducts()>;

  SecuritySoftwareProbe(std::wstring product_key, ProductSource source);

  uint32_t GetType();
  // Runs the source and stores the sum; a failed query stores nothing.
  void Detect() const;

 private:
  std::wstring product_key_;
  ProductSource source_;
  std::atomic<uint32_t> cached_{0xFFFFFFFFu};
  std::once_flag detection_started_;
};

}  // namespace probes
