// The machine facts the device identifiers are hashed from: one MAC address,
// the identity of one disk, and the processor brand string. Each source has a
// fixed order of attempts and a fixed rule for which answer wins; the
// identifiers depend on these rules byte for byte.
#pragma once

#include <windows.h>

#include <iphlpapi.h>
#include <nb30.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/device_io.h"

namespace device_id {

using MacAddress = std::array<uint8_t, 6>;

// Used when no adapter and no NetBIOS name table gives an address, so such
// machines share one MAC text.
inline constexpr MacAddress kFallbackMac = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F};

// Always fills `mac`: the best adapter's address, else the last NetBIOS LANA
// with an address, else kFallbackMac.
bool GetMacAddress(MacAddress& mac);

// The address of the best-ranked adapter that GetAdaptersInfo lists. `mac`
// must be all zero on entry; false (and `mac` still zero) when none is found.
bool GetPhysicalMacAddresses(MacAddress& mac);

// 12 lower-case hex digits, no separators.
std::string FormatMacText(const MacAddress& mac);

// Rank of an adapter from its network connection key, 0 best to 3 worst:
// 0 a PCI card with MediaSubType 1, 1 MediaSubType 2, 2 another MediaSubType 1.
int AdapterRank(const char* adapter_name);
// The choice over GetAdaptersInfo's list: the first non-zero address, replaced
// only by an Ethernet or PPP adapter of strictly better rank.
using AdapterRanker = std::function<int(const char* adapter_name)>;
bool ChooseAdapterAddress(const IP_ADAPTER_INFO* adapters, const AdapterRanker& rank, MacAddress& mac);

// The NetBIOS step of GetMacAddress, over the given Netbios entry point.
using NetbiosFunction = std::function<UCHAR(NCB*)>;
bool ReadNetbiosMacAddress(const NetbiosFunction& netbios, MacAddress& mac);
// GetMacAddress over the given sources.
bool GetMacAddressFrom(const std::function<bool(MacAddress&)>& physical, const NetbiosFunction& netbios,
                       MacAddress& mac);

// The 48-byte brand string of cpuid leaves 0x80000002 to 0x80000004, to its
// first zero byte, untrimmed; empty when it starts with one.
std::string GetCpuBrandString();

// Byte strings: texts from IDENTIFY data may hold NUL bytes, and they count.
struct DiskIdentity {
  std::string serial;
  std::string model;
  std::string firmware;
};

// The first disk identity that one of the four readers finds, in this order:
// IDE SMART, SCSI miniport, storage descriptor, SMART direct. False (and
// nothing set) when none succeeds or the system is not of the NT family.
bool GetDiskIdentity(DiskIdentity& identity, base::DeviceIo& io = base::SystemDeviceIo());
bool ReadIdeSmartIdentity(DiskIdentity& identity, base::DeviceIo& io);
bool ReadScsiMiniportIdentity(DiskIdentity& identity, base::DeviceIo& io);
bool ReadStorageDescriptorIdentity(DiskIdentity& identity, base::DeviceIo& io);
bool ReadSmartIdentityDirect(DiskIdentity& identity, base::DeviceIo& io);

// Words first..last of 512-byte IDENTIFY data, each as its high byte then its
// low byte, with trailing blanks removed.
std::string IdentifyWordsToText(const uint8_t* identify, int first_word, int last_word);

// A text of a STORAGE_DEVICE_DESCRIPTOR at `offset`: hex-coded texts are
// decoded, `swap` exchanges neighbouring characters, white space is trimmed.
// At most 255 characters; nothing is read beyond `descriptor_size` bytes.
std::string DecodeDescriptorString(const uint8_t* descriptor, std::size_t descriptor_size, int64_t offset, bool swap);

}  // namespace device_id
