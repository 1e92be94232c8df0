// A second process for the shared-section and named-mutex tests. It does one
// thing, prints one line about it, and then either exits or, with "hold",
// keeps running (and so keeps its mutexes and this image's shared sections
// alive) until its standard input is closed.
//
//   ql_section_peer zu-id|tu-id [hold]     state of the section before, then the identifier
//   ql_section_peer zu-plant|tu-plant <32 hex>  publishes the given identifier if the section is empty
//   ql_section_peer zu-claim|tu-claim [hold] claims the section as the product does and never
//                                      fills it: ends holding the claim, or holds until killed
//   ql_section_peer zu-slow-plant|tu-slow-plant <32 hex>  claims the section as the product does,
//                                      says "filling", and publishes the identifier only once its
//                                      standard input is closed
//   ql_section_peer mutex <name> <global 0|1> [hold]
//   ql_section_peer single <channel> <install action> <elevated 0|1> [hold]
//   ql_section_peer hold
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "base/named_mutex.h"
#include "base/single_instance.h"
#include "device_id/device_id_section.h"
#include "device_id/section_id_generator.h"
#include "device_id/tuvo_guid.h"
#include "device_id/zu_mac_id.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void HoldUntilStdinCloses() {
  char byte;
  DWORD read = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read > 0) {
  }
}

device_id::DeviceIdSection& SectionOf(const std::string& mode) {
  return mode.rfind("zu-", 0) == 0 ? ZUMacID::DeviceIdSection() : base::tuvo_guid::DeviceIdSection();
}

std::wstring ClaimMutexNameOf(const std::string& mode) {
  return mode.rfind("zu-", 0) == 0
             ? device_id::SectionClaimMutexName<ZUMacID::DeviceIdSection, ZUMacID::kProfileFolder>()
             : device_id::SectionClaimMutexName<base::tuvo_guid::DeviceIdSection, base::tuvo_guid::kProfileFolder>();
}

// The product's claim, with `fill` in place of the generator.
void ClaimAsTheProductDoes(const std::string& mode, const std::function<void()>& fill) {
  device_id::ClaimDeviceId(
      SectionOf(mode), [&] { return ClaimMutexNameOf(mode); }, fill,
      [] {
        Say("busy");
        return device_id::DeviceIdBytes{};
      });
}

bool Claim(device_id::DeviceIdSection& section) {
  return ::InterlockedCompareExchange(&section.state, device_id::kSectionFilling, device_id::kSectionEmpty) ==
         device_id::kSectionEmpty;
}

bool Plant(device_id::DeviceIdSection& section, const char* hex) {
  if (std::strlen(hex) != 32 || !Claim(section)) return false;
  for (int i = 0; i < 16; ++i) {
    const char pair[3] = {hex[i * 2], hex[i * 2 + 1], 0};
    section.id[i] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
  }
  ::InterlockedExchange(&section.state, device_id::kSectionReady);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  const bool hold = std::strcmp(argv[argc - 1], "hold") == 0;

  if (mode == "zu-id") {
    const long before = ZUMacID::DeviceIdSection().state;
    Say("state=" + std::to_string(before) + " id=" + VireonClient::VireonDeviceId());
  } else if (mode == "tu-id") {
    const long before = base::tuvo_guid::DeviceIdSection().state;
    Say("state=" + std::to_string(before) + " id=" + base::GetTuvoDeviceId());
  } else if ((mode == "zu-plant" || mode == "tu-plant") && argc > 2) {
    device_id::DeviceIdSection& section =
        mode == "zu-plant" ? ZUMacID::DeviceIdSection() : base::tuvo_guid::DeviceIdSection();
    Say(Plant(section, argv[2]) ? "planted" : "busy");
    HoldUntilStdinCloses();
    return 0;
  } else if (mode == "zu-claim" || mode == "tu-claim") {
    ClaimAsTheProductDoes(mode, [hold] {
      Say("claimed");
      if (hold) HoldUntilStdinCloses();
      ::ExitProcess(0);  // gone in the middle of filling, the claim still held
    });
  } else if ((mode == "zu-slow-plant" || mode == "tu-slow-plant") && argc > 2) {
    const char* hex = argv[2];
    ClaimAsTheProductDoes(mode, [&] {
      Say("filling");
      HoldUntilStdinCloses();
      device_id::DeviceIdSection& section = SectionOf(mode);
      for (int i = 0; i < 16 && std::strlen(hex) == 32; ++i) {
        const char pair[3] = {hex[i * 2], hex[i * 2 + 1], 0};
        section.id[i] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
      }
    });
    return 0;
  } else if (mode == "mutex" && argc > 3) {
    Say(std::string("other=") + (base::AcquireNamedMutex(argv[2], std::strcmp(argv[3], "1") == 0) ? "1" : "0"));
  } else if (mode == "single" && argc > 4) {
    const bool other = base::CheckInstallerSingleInstance(std::strtoull(argv[2], nullptr, 10),
                                                          std::atoi(argv[3]), std::strcmp(argv[4], "1") == 0);
    Say(std::string("other=") + (other ? "1" : "0"));
  } else if (mode == "hold") {
    Say("holding");
  } else {
    return 2;
  }
  if (hold) HoldUntilStdinCloses();
  return 0;
}
