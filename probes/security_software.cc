#include "probes/security_software.h"

const std::vector<SecuritySoftwareFlag>& SecuritySoftwareFlags() {
  static const std::vector<SecuritySoftwareFlag> flags;
  return flags;
}
uint32_t GetSecuritySoftwareType() { return 0; }
void DetectSecuritySoftware() {}
AntivirusProducts QueryAntivirusProducts() { return {}; }
uint32_t SumSecuritySoftwareFlags(const std::vector<std::wstring>&) { return 0; }
bool WStringContainsNoCase(std::wstring_view, std::wstring_view) { return false; }
bool WStringContainsNoCase(std::wstring_view, const wchar_t*) { return false; }
SecuritySoftwareProbe::SecuritySoftwareProbe(std::wstring product_key, ProductSource source)
    : product_key_(std::move(product_key)), source_(std::move(source)) {}
uint32_t SecuritySoftwareProbe::GetType() { return 0; }
void SecuritySoftwareProbe::Detect() const {}
