#include "device_id/hardware_sources.h"

#include <winioctl.h>
// After winioctl.h, which they build on.
#include <ntdddisk.h>
#include <ntddscsi.h>

#include <cpuid.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/scoped_handle.h"

namespace device_id {
namespace {

using base::DeviceIo;
using base::ScopedKernelHandle;

constexpr char kNetworkClassKey[] =
    "System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr REGSAM kKeyRead = 0x20019;  // KEY_READ
constexpr int kWorstRank = 3;
constexpr ULONG kAdapterBufferSize = 0x2C00;
constexpr UINT kAdapterTypeEthernet = 6;
constexpr UINT kAdapterTypePpp = 23;
constexpr int kDriveCount = 16;
constexpr std::size_t kIdentifySize = 512;
constexpr std::size_t kDescriptorBufferSize = 2048;
constexpr std::size_t kMaxDescriptorText = 255;

constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartRcvDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kScsiMiniportIdentify = 0x1B0501;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kIdentifyPacketDevice = 0xA1;

static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(sizeof(SENDCMDOUTPARAMS) == 17);
static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(sizeof(SRB_IO_CONTROL) == 28);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);

bool IsZero(const MacAddress& mac) {
  return std::all_of(mac.begin(), mac.end(), [](uint8_t b) { return b == 0; });
}

// C-locale character classes; bytes above 0x7F are none of them.
bool IsPrint(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::wstring PhysicalDrivePath(int n) { return fmt::format(L"\\\\.\\PhysicalDrive{}", n); }

void TextsFromIdentify(const uint8_t* identify, DiskIdentity& identity) {
  identity.serial = IdentifyWordsToText(identify, 10, 19);
  identity.firmware = IdentifyWordsToText(identify, 23, 26);
  identity.model = IdentifyWordsToText(identify, 27, 46);
}

int RankFromConnection(bool has_media, DWORD media_subtype, bool has_pnp, const char* pnp) {
  if (!has_media || !has_pnp) return kWorstRank;
  const bool pci = std::strncmp(pnp, "PCI", 3) == 0;
  if (media_subtype == 1 && pci) return 0;
  if (media_subtype == 2) return 1;
  if (media_subtype == 1) return 2;
  return kWorstRank;
}

}  // namespace

int AdapterRank(const char* adapter_name) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkClassKey, 0, kKeyRead, &raw) != ERROR_SUCCESS) return kWorstRank;
  base::ScopedRegKey network(raw);
  char subkey[300] = {};
  std::snprintf(subkey, sizeof(subkey), "%.258s\\Connection", adapter_name);
  raw = nullptr;
  if (::RegOpenKeyExA(network.Get(), subkey, 0, kKeyRead, &raw) != ERROR_SUCCESS) return kWorstRank;
  base::ScopedRegKey connection(raw);

  DWORD media_subtype = 0;
  DWORD size = sizeof(media_subtype);
  const bool has_media = ::RegQueryValueExA(connection.Get(), "MediaSubType", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&media_subtype), &size) == ERROR_SUCCESS;
  char pnp[260] = {};
  size = sizeof(pnp) - 1;
  const bool has_pnp = ::RegQueryValueExA(connection.Get(), "PnpInstanceID", nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(pnp), &size) == ERROR_SUCCESS;
  return RankFromConnection(has_media, media_subtype, has_pnp, pnp);
}

bool ChooseAdapterAddress(const IP_ADAPTER_INFO* adapters, const AdapterRanker& rank, MacAddress& mac) {
  int chosen_rank = kWorstRank;
  for (const IP_ADAPTER_INFO* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
    const int adapter_rank = rank(adapter->AdapterName);
    const bool better = (adapter->Type == kAdapterTypeEthernet || adapter->Type == kAdapterTypePpp) &&
                        adapter_rank < chosen_rank;
    if (IsZero(mac) || better) {
      std::memcpy(mac.data(), adapter->Address, mac.size());
      chosen_rank = adapter_rank;
    }
  }
  return !IsZero(mac);
}

bool GetPhysicalMacAddresses(MacAddress& mac) {
  return base::NoThrowOr(false, [&] {
    wchar_t path[MAX_PATH] = {};
    if (::GetSystemDirectoryW(path, MAX_PATH) == 0 || !::PathAppendW(path, L"iphlpapi.dll")) return false;
    base::ScopedModule iphlpapi(::LoadLibraryW(path));
    if (!iphlpapi) return false;
    using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    auto get_adapters = reinterpret_cast<GetAdaptersInfoFn>(
        reinterpret_cast<void*>(::GetProcAddress(iphlpapi.Get(), "GetAdaptersInfo")));
    if (get_adapters == nullptr) return false;
    // One fixed buffer: a list that does not fit counts as no list at all.
    std::vector<IP_ADAPTER_INFO> buffer(kAdapterBufferSize / sizeof(IP_ADAPTER_INFO) + 1);
    ULONG size = kAdapterBufferSize;
    if (get_adapters(buffer.data(), &size) != ERROR_SUCCESS) return false;
    return ChooseAdapterAddress(buffer.data(), AdapterRank, mac);
  });
}

bool ReadNetbiosMacAddress(const NetbiosFunction& netbios, MacAddress& mac) {
  LANA_ENUM lanas{};
  NCB enumerate{};
  enumerate.ncb_command = NCBENUM;
  enumerate.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
  enumerate.ncb_length = sizeof(lanas);
  if (netbios(&enumerate) != NRC_GOODRET) return false;
  for (int i = static_cast<int>(lanas.length) - 1; i >= 0; --i) {
    NCB reset{};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = lanas.lana[i];
    if (netbios(&reset) != NRC_GOODRET) continue;
    UCHAR status[600] = {};
    NCB query{};
    query.ncb_command = NCBASTAT;
    query.ncb_lana_num = lanas.lana[i];
    std::memset(query.ncb_callname, ' ', NCBNAMSZ);
    query.ncb_callname[0] = '*';
    query.ncb_buffer = status;
    query.ncb_length = sizeof(status);
    if (netbios(&query) != NRC_GOODRET) continue;
    std::memcpy(mac.data(), status, mac.size());  // ADAPTER_STATUS begins with the adapter address
    if (!IsZero(mac)) return true;
  }
  return false;
}

bool GetMacAddressFrom(const std::function<bool(MacAddress&)>& physical, const NetbiosFunction& netbios,
                       MacAddress& mac) {
  mac = {};
  if (physical(mac)) return true;
  mac = {};
  if (ReadNetbiosMacAddress(netbios, mac)) return true;
  mac = kFallbackMac;
  return true;
}

bool GetMacAddress(MacAddress& mac) {
  return GetMacAddressFrom(GetPhysicalMacAddresses, [](NCB* ncb) { return ::Netbios(ncb); }, mac);
}

std::string FormatMacText(const MacAddress& mac) {
  return base::NoThrowOr(std::string(), [&] {
    return fmt::format("{:02x}{:02x}{:02x}{:02x}{:02x}{:02x}", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  });
}

std::string GetCpuBrandString() {
  return base::NoThrowOr(std::string(), [] {
    char brand[49] = {};
    for (unsigned i = 0; i < 3; ++i) {
      unsigned regs[4] = {};
      __cpuid(0x80000002 + i, regs[0], regs[1], regs[2], regs[3]);
      std::memcpy(brand + i * 16, regs, sizeof(regs));
    }
    return std::string(brand);
  });
}

std::string IdentifyWordsToText(const uint8_t* identify, int first_word, int last_word) {
  std::string text;
  for (int word = first_word; word <= last_word; ++word) {
    text.push_back(static_cast<char>(identify[word * 2 + 1]));
    text.push_back(static_cast<char>(identify[word * 2]));
  }
  const std::size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string DecodeDescriptorString(const uint8_t* descriptor, std::size_t descriptor_size, int64_t offset,
                                   bool swap) {
  return base::NoThrowOr(std::string(), [&] {
    if (offset <= 0 || static_cast<uint64_t>(offset) >= descriptor_size) return std::string();
    // The device names the offset; the text ends at its NUL or at the end of
    // what the device returned, whichever comes first.
    const char* begin = reinterpret_cast<const char*>(descriptor) + offset;
    const std::string source(begin, strnlen(begin, descriptor_size - static_cast<std::size_t>(offset)));

    std::string text;
    bool decoded = true;
    int nibbles = 0;
    unsigned char byte = 0;
    for (const char raw : source) {
      unsigned char c = static_cast<unsigned char>(raw);
      if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
      if (IsSpace(c)) c = '0';
      unsigned char nibble;
      if (c >= '0' && c <= '9') {
        nibble = static_cast<unsigned char>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        nibble = static_cast<unsigned char>(c - 'a' + 10);
      } else {
        decoded = false;
        break;
      }
      byte = static_cast<unsigned char>((byte << 4) | nibble);
      if (++nibbles == 2) {
        if (byte != 0 && !IsPrint(byte)) {
          decoded = false;
          break;
        }
        text.push_back(static_cast<char>(byte));
        nibbles = 0;
        byte = 0;
      }
    }
    if (!decoded) {
      text.clear();
      for (const char raw : source) {
        if (!IsPrint(static_cast<unsigned char>(raw))) {
          text.clear();
          break;
        }
        text.push_back(raw);
      }
    }

    // A decoded zero byte ends the text, before the swap: bytes after it are
    // not part of the serial and must not be pulled in front of it.
    text.erase(std::min(text.find('\0'), text.size()));
    if (swap) {
      // Over the text's length, its terminating NUL included when the length
      // is odd (the last character is then lost).
      text.push_back('\0');
      for (std::size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
      text.erase(text.find('\0'));
    }

    const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
    if (first != std::string::npos) {
      const std::size_t last = text.find_last_not_of(" \t\n\v\f\r");
      text = text.substr(first, last - first + 1);
    }
    if (text.size() > kMaxDescriptorText) text.resize(kMaxDescriptorText);
    return text;
  });
}

bool ReadIdeSmartIdentity(DiskIdentity& identity, DeviceIo& io) {
  for (int n = 0; n < kDriveCount; ++n) {
    ScopedKernelHandle drive = io.Open(PhysicalDrivePath(n), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!drive) continue;
    GETVERSIONINPARAMS version{};
    DWORD returned = 0;
    if (!io.Control(drive.Get(), kSmartGetVersion, nullptr, 0, &version, sizeof(version), &returned) ||
        version.bIDEDeviceMap == 0) {
      continue;
    }

    SENDCMDINPARAMS command{};
    command.cBufferSize = kIdentifySize;
    command.irDriveRegs.bSectorCountReg = 1;
    command.irDriveRegs.bDriveHeadReg = (n & 1) != 0 ? 0xB0 : 0xA0;
    command.irDriveRegs.bCommandReg =
        n < 4 && ((version.bIDEDeviceMap >> (n + 4)) & 1) != 0 ? kIdentifyPacketDevice : kIdentifyDevice;
    command.bDriveNumber = static_cast<BYTE>(n);
    uint8_t answer[sizeof(SENDCMDOUTPARAMS) - 1 + kIdentifySize] = {};
    returned = 0;
    if (!io.Control(drive.Get(), kSmartRcvDriveData, &command, sizeof(command) - 1, answer, sizeof(answer),
                    &returned)) {
      continue;
    }
    DWORD answered_size = 0;
    std::memcpy(&answered_size, answer, sizeof(answered_size));
    if (answered_size <= 46) continue;
    TextsFromIdentify(answer + offsetof(SENDCMDOUTPARAMS, bBuffer), identity);
    return true;
  }
  return false;
}

bool ReadScsiMiniportIdentity(DiskIdentity& identity, DeviceIo& io) {
  constexpr std::size_t kRequestSize = sizeof(SRB_IO_CONTROL) + sizeof(SENDCMDINPARAMS) - 1;         // 60
  constexpr std::size_t kBufferSize = sizeof(SRB_IO_CONTROL) + sizeof(SENDCMDOUTPARAMS) + kIdentifySize;  // 557
  constexpr std::size_t kIdentifyOffset = sizeof(SRB_IO_CONTROL) + offsetof(SENDCMDOUTPARAMS, bBuffer);    // 44
  for (int n = 0; n < kDriveCount; ++n) {
    ScopedKernelHandle controller = io.Open(fmt::format(L"\\\\.\\Scsi{}:", n), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!controller) continue;
    bool accepted = false;
    for (BYTE drive = 0; drive < 2; ++drive) {  // both are asked; drive 1's answer wins
      uint8_t buffer[kBufferSize] = {};
      auto* srb = reinterpret_cast<SRB_IO_CONTROL*>(buffer);
      srb->HeaderLength = sizeof(SRB_IO_CONTROL);
      std::memcpy(srb->Signature, "SCSIDISK", 8);
      srb->Timeout = 10000;
      srb->ControlCode = kScsiMiniportIdentify;
      srb->Length = sizeof(SENDCMDOUTPARAMS) + kIdentifySize;
      auto* command = reinterpret_cast<SENDCMDINPARAMS*>(buffer + sizeof(SRB_IO_CONTROL));
      command->irDriveRegs.bCommandReg = kIdentifyDevice;
      command->bDriveNumber = drive;
      DWORD returned = 0;
      if (!io.Control(controller.Get(), kScsiMiniport, buffer, kRequestSize, buffer, kBufferSize, &returned)) {
        continue;
      }
      const uint8_t* identify = buffer + kIdentifyOffset;
      if (identify[54] == 0) continue;
      TextsFromIdentify(identify, identity);
      accepted = true;
    }
    if (accepted) return true;
  }
  return false;
}

bool ReadStorageDescriptorIdentity(DiskIdentity& identity, DeviceIo& io) {
  for (int n = 0; n < kDriveCount; ++n) {
    ScopedKernelHandle drive = io.Open(PhysicalDrivePath(n), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!drive) continue;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<uint8_t> buffer(kDescriptorBufferSize, 0);
    DWORD returned = 0;
    if (!io.Control(drive.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), buffer.data(),
                    static_cast<DWORD>(buffer.size()), &returned)) {
      continue;
    }
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    DiskIdentity found;
    found.model = DecodeDescriptorString(buffer.data(), buffer.size(), descriptor->ProductIdOffset, false);
    found.firmware = DecodeDescriptorString(buffer.data(), buffer.size(), descriptor->ProductRevisionOffset, false);
    found.serial = DecodeDescriptorString(buffer.data(), buffer.size(), descriptor->SerialNumberOffset, true);
    const unsigned char first = found.serial.empty() ? 0 : static_cast<unsigned char>(found.serial[0]);
    const unsigned char twentieth = found.serial.size() > 19 ? static_cast<unsigned char>(found.serial[19]) : 0;
    if (!IsAlnum(first) && !IsAlnum(twentieth)) continue;
    identity = std::move(found);
    return true;
  }
  return false;
}

bool ReadSmartIdentityDirect(DiskIdentity& identity, DeviceIo& io) {
  constexpr std::size_t kBufferSize = sizeof(SENDCMDINPARAMS) + kIdentifySize;  // 545
  for (int n = 0; n < kDriveCount; ++n) {
    ScopedKernelHandle drive = io.Open(PhysicalDrivePath(n), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!drive) continue;
    GETVERSIONINPARAMS version{};
    DWORD returned = 0;
    if (!io.Control(drive.Get(), kSmartGetVersion, nullptr, 0, &version, sizeof(version), &returned)) continue;
    std::vector<uint8_t> buffer(kBufferSize, 0);
    buffer[offsetof(SENDCMDINPARAMS, irDriveRegs.bCommandReg)] = kIdentifyDevice;
    returned = 0;
    if (!io.Control(drive.Get(), kSmartRcvDriveData, buffer.data(), sizeof(SENDCMDINPARAMS), buffer.data(),
                    static_cast<DWORD>(buffer.size()), &returned)) {
      continue;
    }
    DWORD answered_size = 0;
    std::memcpy(&answered_size, buffer.data(), sizeof(answered_size));
    if (answered_size <= 46) continue;
    TextsFromIdentify(buffer.data() + offsetof(SENDCMDOUTPARAMS, bBuffer), identity);
    return true;
  }
  return false;
}

bool GetDiskIdentity(DiskIdentity& identity, DeviceIo& io) {
  return base::NoThrowOr(false, [&] {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
#pragma GCC diagnostic pop
    DiskIdentity found;
    if (ReadIdeSmartIdentity(found, io) || ReadScsiMiniportIdentity(found, io) ||
        ReadStorageDescriptorIdentity(found, io) || ReadSmartIdentityDirect(found, io)) {
      identity = std::move(found);
      return true;
    }
    return false;
  });
}

}  // namespace device_id
