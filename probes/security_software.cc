#include "probes/security_software.h"

#include <windows.h>
#include <wbemidl.h>

#include <set>
#include <system_error>
#include <thread>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "probes/wmi_session.h"

namespace probes {
namespace {

constexpr wchar_t kValueName[] = L"SecuritySoftwareType";
constexpr wchar_t kStoreBrand[] = L"ZephrisStore";
constexpr uint32_t kNotRead = 0xFFFFFFFFu;

std::wstring ProductKey() {
  return base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
}

// Detection runs on a detached thread that may outlive any probe object, so
// it takes its own copies of what it needs.
void DetectAndStore(const std::wstring& product_key, const SecuritySoftwareProbe::ProductSource& source) noexcept {
  try {
    const AntivirusProducts products = source();
    if (!products.complete) {
      // An unanswered Security Center says nothing about what is installed:
      // the value an earlier run stored stays.
      PRODUCT_LOG("security center query failed 0x{:08X} after {} names; stored type kept",
                  static_cast<uint32_t>(products.error), products.names.size());
      return;
    }
    const uint32_t sum = SumSecuritySoftwareFlags(products.names);
    // The stored value is sign-extended from 32 bits; the sum never sets bit 31.
    const uint64_t stored = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(sum)));
    if (!base::WriteRegQword(HKEY_LOCAL_MACHINE, product_key, kValueName, stored)) {
      PRODUCT_LOG("writing {} {} failed", base::WideToUtf8(kValueName), sum);
    }
  } catch (const std::exception& e) {
    PRODUCT_LOG("security-software detection failed: {}", e.what());
  }
}

}  // namespace

const std::vector<SecuritySoftwareFlag>& SecuritySoftwareFlags() {
  static const std::vector<SecuritySoftwareFlag> flags = {
      {L"Halvane", 1},
      {L"360", 10},
      {L"\u91D1\u5C71", 100},    // 金山
      {L"\u745E\u661F", 1000},   // 瑞星
      {L"\u706B\u7ED2", 10000},  // 火绒
  };
  return flags;
}

uint32_t SumSecuritySoftwareFlags(const std::vector<std::wstring>& display_names) {
  uint32_t sum = 0;
  std::set<uint32_t> counted;
  for (const std::wstring& name : display_names) {
    for (const SecuritySoftwareFlag& entry : SecuritySoftwareFlags()) {
      if (name.find(entry.name_fragment) == std::wstring::npos) continue;
      if (entry.flag != 0 && counted.insert(entry.flag).second) sum += entry.flag;
      break;  // the first fragment found decides for this name
    }
  }
  return sum;
}

AntivirusProducts QueryAntivirusProducts() {
  AntivirusProducts products;
  auto failed = [&products](HRESULT hr) {
    products.error = hr;
    return products;
  };
  try {
    ComApartment apartment(COINIT_MULTITHREADED);
    if (!apartment.ok()) return failed(RPC_E_CHANGED_MODE);
    HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // A process that set its COM security earlier keeps it; the query runs
    // under that.
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) return failed(hr);
    auto objects = ExecWmiQuery(L"ROOT\\SecurityCenter2", L"SELECT * FROM AntiVirusProduct", &hr);
    if (!objects) return failed(hr);
    for (;;) {
      base::ScopedComPtr<IWbemClassObject> object;
      ULONG returned = 0;
      hr = objects.Get()->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
      if (FAILED(hr)) return failed(hr);
      if (returned == 0 || !object) break;
      std::optional<std::wstring> name = ReadWmiString(object.Get(), L"displayName");
      if (name && !name->empty()) products.names.push_back(std::move(*name));
    }
    products.complete = true;
    return products;
  } catch (const std::bad_alloc&) {
    return failed(E_OUTOFMEMORY);
  } catch (const std::exception&) {
    return failed(E_FAIL);
  }
}

SecuritySoftwareProbe::SecuritySoftwareProbe(std::wstring product_key, ProductSource source)
    : product_key_(std::move(product_key)), source_(std::move(source)) {}

uint32_t SecuritySoftwareProbe::GetType() {
  const uint32_t cached = cached_.load(std::memory_order_relaxed);
  if (cached != kNotRead) return cached;

  if (WStringContainsNoCase(base::GetExeFileName(), kStoreBrand)) {
    // Called once per telemetry event: a thread that cannot start is logged
    // and tried again on the next event, never thrown into the caller.
    try {
      std::call_once(detection_started_, [this] {
        std::thread(DetectAndStore, product_key_, source_).detach();
      });
    } catch (const std::system_error& e) {
      PRODUCT_LOG("security-software detection not started: {}", e.what());
    }
  }

  if (!base::HasHklmQword(product_key_, kValueName)) return 0;  // not cached: a later call looks again
  const uint32_t stored =
      static_cast<uint32_t>(base::ReadRegQword(HKEY_LOCAL_MACHINE, product_key_, kValueName, 0));
  cached_.store(stored, std::memory_order_relaxed);
  return stored;
}

void SecuritySoftwareProbe::Detect() const { DetectAndStore(product_key_, source_); }

namespace {
SecuritySoftwareProbe& ProcessProbe() {
  // Never destroyed: the detection thread and telemetry threads may still ask during exit.
  static SecuritySoftwareProbe* probe = new SecuritySoftwareProbe(ProductKey(), QueryAntivirusProducts);
  return *probe;
}
}  // namespace

uint32_t GetSecuritySoftwareType() { return ProcessProbe().GetType(); }

void DetectSecuritySoftware() { ProcessProbe().Detect(); }

}  // namespace probes
