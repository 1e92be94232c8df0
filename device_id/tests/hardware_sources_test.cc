#include "device_id/hardware_sources.h"

#include <windows.h>

#include <iphlpapi.h>
#include <winioctl.h>
// After winioctl.h, which they build on.
#include <ntdddisk.h>
#include <ntddscsi.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/registry.h"
#include "base/system_probe.h"
#include "base/tests/fake_device_io.h"
#include "base/text_conversion.h"

namespace device_id {
namespace {

using namespace base_testing;

// --- MAC address ------------------------------------------------------------

TEST(MacTextTest, TwelveLowerCaseDigits) {
  EXPECT_EQ(FormatMacText(kFallbackMac), "1a2b3c4d5e6f");
  EXPECT_EQ(FormatMacText({0x00, 0x0A, 0xFF, 0x10, 0x01, 0xE0}), "000aff1001e0");
}

struct Adapter {
  const char* name;
  UINT type;
  MacAddress address;
};

// GetAdaptersInfo's list as the platform lays it out.
std::vector<IP_ADAPTER_INFO> AdapterList(const std::vector<Adapter>& adapters) {
  std::vector<IP_ADAPTER_INFO> list(adapters.size());
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    std::strncpy(list[i].AdapterName, adapters[i].name, sizeof(list[i].AdapterName) - 1);
    list[i].Type = adapters[i].type;
    list[i].AddressLength = 6;
    std::memcpy(list[i].Address, adapters[i].address.data(), 6);
    list[i].Next = i + 1 < adapters.size() ? &list[i + 1] : nullptr;
  }
  return list;
}

constexpr UINT kEthernet = 6;
constexpr UINT kPpp = 23;
constexpr UINT kWireless = 71;
constexpr MacAddress kA = {0xAA, 0, 0, 0, 0, 1};
constexpr MacAddress kB = {0xBB, 0, 0, 0, 0, 2};
constexpr MacAddress kC = {0xCC, 0, 0, 0, 0, 3};
constexpr MacAddress kZero = {};

TEST(AdapterChoiceTest, FirstAddressUnlessABetterEthernetOrPppFollows) {
  const std::map<std::string, int> ranks = {{"virtual", 2}, {"pci", 0}, {"wifi", 0}, {"usb", 1}, {"none", 3}};
  const auto rank = [&](const char* name) { return ranks.at(name); };
  struct Case {
    const char* what;
    std::vector<Adapter> adapters;
    MacAddress expected;
  };
  const Case cases[] = {
      {"a PCI card replaces a virtual adapter listed before it",
       {{"virtual", kEthernet, kA}, {"pci", kEthernet, kB}}, kB},
      {"a wireless adapter never replaces, whatever its rank",
       {{"virtual", kEthernet, kA}, {"wifi", kWireless, kB}}, kA},
      {"listed first, a wireless adapter stays against a worse Ethernet one",
       {{"wifi", kWireless, kA}, {"virtual", kEthernet, kB}}, kA},
      {"listed first, a wireless adapter gives way to a better Ethernet one",
       {{"none", kWireless, kA}, {"usb", kEthernet, kB}}, kB},
      {"an all-zero address is replaced by the next adapter unconditionally",
       {{"pci", kEthernet, kZero}, {"none", kWireless, kB}, {"virtual", kEthernet, kC}}, kC},
      {"a tie keeps the earlier adapter", {{"usb", kEthernet, kA}, {"usb", kEthernet, kB}}, kA},
      {"PPP counts like Ethernet", {{"virtual", kEthernet, kA}, {"usb", kPpp, kB}}, kB},
      {"the chosen rank is the chosen adapter's",
       {{"usb", kEthernet, kA}, {"virtual", kEthernet, kB}, {"pci", kEthernet, kC}}, kC},
  };
  for (const Case& c : cases) {
    const std::vector<IP_ADAPTER_INFO> list = AdapterList(c.adapters);
    MacAddress mac{};
    EXPECT_TRUE(ChooseAdapterAddress(list.data(), rank, mac)) << c.what;
    EXPECT_EQ(mac, c.expected) << c.what;
  }
  MacAddress none{};
  EXPECT_FALSE(ChooseAdapterAddress(nullptr, rank, none));
  const std::vector<IP_ADAPTER_INFO> zeros = AdapterList({{"pci", kEthernet, kZero}});
  EXPECT_FALSE(ChooseAdapterAddress(zeros.data(), rank, none));
}

// Adapter ranks come from the registry's network connection keys. Each case
// writes a connection key of an adapter name of its own.
class AdapterRankTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kNetworkKey[] =
      L"System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

  std::string Adapter(std::optional<DWORD> media_subtype, std::optional<std::string> pnp) {
    const std::string name = fmt::format("{{QL-TEST-{}-{}}}", ::GetCurrentProcessId(), names_.size());
    names_.push_back(name);
    const std::wstring key = std::wstring(kNetworkKey) + L"\\" + base::Utf8ToWide(name) + L"\\Connection";
    base::ScopedRegKey connection;
    EXPECT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                connection.Receive(), nullptr),
              ERROR_SUCCESS);
    if (media_subtype) {
      ::RegSetValueExW(connection.Get(), L"MediaSubType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*media_subtype),
                       sizeof(DWORD));
    }
    if (pnp) ::RegSetValueExA(connection.Get(), "PnpInstanceID", 0, REG_SZ, reinterpret_cast<const BYTE*>(pnp->c_str()),
                              static_cast<DWORD>(pnp->size() + 1));
    return name;
  }

  void TearDown() override {
    for (const std::string& name : names_) {
      base::DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(kNetworkKey) + L"\\" + base::Utf8ToWide(name));
    }
  }

  std::vector<std::string> names_;
};

TEST_F(AdapterRankTest, RankFromMediaSubTypeAndPnpInstanceId) {
  EXPECT_EQ(AdapterRank(Adapter(1, "PCI\\VEN_8086&DEV_15B8").c_str()), 0);
  EXPECT_EQ(AdapterRank(Adapter(2, "USB\\VID_0BDA").c_str()), 1);
  EXPECT_EQ(AdapterRank(Adapter(2, "").c_str()), 1);
  EXPECT_EQ(AdapterRank(Adapter(1, "ROOT\\NET\\0000").c_str()), 2);
  EXPECT_EQ(AdapterRank(Adapter(1, "pci\\ven_8086").c_str()), 2);  // "PCI" is case-sensitive
  EXPECT_EQ(AdapterRank(Adapter(3, "PCI\\VEN_8086").c_str()), 3);
  EXPECT_EQ(AdapterRank(Adapter(std::nullopt, "PCI\\VEN_8086").c_str()), 3);
  EXPECT_EQ(AdapterRank(Adapter(1, std::nullopt).c_str()), 3);
  EXPECT_EQ(AdapterRank("{QL-TEST-NO-SUCH-ADAPTER}"), 3);
}

TEST(PhysicalMacTest, TheChosenAddressIsOneOfTheListedAdapters) {
  MacAddress mac{};
  const bool found = GetPhysicalMacAddresses(mac);
  ULONG size = 0;
  ::GetAdaptersInfo(nullptr, &size);
  std::vector<BYTE> buffer(size + 1);
  auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (size == 0 || ::GetAdaptersInfo(list, &size) != ERROR_SUCCESS) {
    EXPECT_FALSE(found);
    return;
  }
  bool listed = false;
  for (const IP_ADAPTER_INFO* a = list; a != nullptr; a = a->Next) {
    listed = listed || std::memcmp(a->Address, mac.data(), 6) == 0;
  }
  EXPECT_EQ(found, mac != MacAddress{});
  EXPECT_EQ(found, listed) << FormatMacText(mac);
}

// A NetBIOS that answers from a table and records the commands it was given.
struct FakeNetbios {
  std::vector<UCHAR> lanas;
  std::map<UCHAR, UCHAR> reset_result;  // missing: success
  std::map<UCHAR, MacAddress> addresses;  // missing: the status query fails
  bool enum_fails = false;
  std::vector<std::string> log;

  NetbiosFunction Function() {
    return [this](NCB* ncb) -> UCHAR {
      switch (ncb->ncb_command) {
        case NCBENUM: {
          log.push_back("enum");
          if (enum_fails) return NRC_SYSTEM;
          auto* lana_enum = reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer);
          EXPECT_EQ(ncb->ncb_length, sizeof(LANA_ENUM));
          lana_enum->length = static_cast<UCHAR>(lanas.size());
          for (std::size_t i = 0; i < lanas.size(); ++i) lana_enum->lana[i] = lanas[i];
          return NRC_GOODRET;
        }
        case NCBRESET:
          log.push_back(fmt::format("reset {}", ncb->ncb_lana_num));
          return reset_result.count(ncb->ncb_lana_num) ? reset_result[ncb->ncb_lana_num] : NRC_GOODRET;
        case NCBASTAT: {
          log.push_back(fmt::format("status {}", ncb->ncb_lana_num));
          EXPECT_EQ(ncb->ncb_callname[0], '*');
          EXPECT_EQ(ncb->ncb_length, 600);
          const auto found = addresses.find(ncb->ncb_lana_num);
          if (found == addresses.end()) return NRC_SYSTEM;
          std::memcpy(ncb->ncb_buffer, found->second.data(), 6);
          return NRC_GOODRET;
        }
      }
      return NRC_ILLCMD;
    };
  }
};

TEST(NetbiosMacTest, WalksTheLanasFromTheLast) {
  FakeNetbios netbios;
  netbios.lanas = {0, 3, 5};
  netbios.reset_result[5] = NRC_SYSTEM;
  netbios.addresses[3] = kZero;
  netbios.addresses[0] = kA;
  MacAddress mac{};
  EXPECT_TRUE(ReadNetbiosMacAddress(netbios.Function(), mac));
  EXPECT_EQ(mac, kA);
  EXPECT_EQ(netbios.log, (std::vector<std::string>{"enum", "reset 5", "reset 3", "status 3", "reset 0", "status 0"}));
}

TEST(NetbiosMacTest, SourcesInOrderAndTheFallback) {
  const auto no_adapter = [](MacAddress&) { return false; };
  const auto adapter = [](MacAddress& mac) {
    mac = kC;
    return true;
  };
  FakeNetbios netbios;
  netbios.lanas = {1};
  netbios.addresses[1] = kB;
  MacAddress mac{};
  EXPECT_TRUE(GetMacAddressFrom(adapter, netbios.Function(), mac));
  EXPECT_EQ(mac, kC);
  EXPECT_TRUE(netbios.log.empty());  // NetBIOS not asked when an adapter answers

  EXPECT_TRUE(GetMacAddressFrom(no_adapter, netbios.Function(), mac));
  EXPECT_EQ(mac, kB);

  FakeNetbios silent;
  silent.enum_fails = true;
  EXPECT_TRUE(GetMacAddressFrom(no_adapter, silent.Function(), mac));
  EXPECT_EQ(FormatMacText(mac), "1a2b3c4d5e6f");

  FakeNetbios zeros;
  zeros.lanas = {0};
  zeros.addresses[0] = kZero;
  EXPECT_TRUE(GetMacAddressFrom(no_adapter, zeros.Function(), mac));
  EXPECT_EQ(mac, kFallbackMac);
}

TEST(NetbiosMacTest, TheSystemsNetbios) {
  MacAddress mac{};
  const bool found = ReadNetbiosMacAddress([](NCB* ncb) { return ::Netbios(ncb); }, mac);
  EXPECT_EQ(found, mac != MacAddress{});
}

TEST(MacAddressTest, AlwaysGivesSixBytes) {
  MacAddress mac{};
  EXPECT_TRUE(GetMacAddress(mac));
  EXPECT_NE(mac, MacAddress{});
  EXPECT_EQ(FormatMacText(mac).size(), 12u);
}

// --- Processor brand ----------------------------------------------------------

TEST(CpuBrandTest, SameBrandAsTheSystemProbe) {
  int vendor = 0;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  EXPECT_EQ(GetCpuBrandString(), brand);
}

// --- Disk identity ------------------------------------------------------------

// 512 bytes of IDENTIFY data: texts go two characters per word, the first in
// the high byte.
std::vector<uint8_t> IdentifyData(const std::string& serial20, const std::string& firmware8,
                                  const std::string& model40) {
  std::vector<uint8_t> data(512, 0);
  auto put = [&](int first_word, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); i += 2) {
      data[(first_word + i / 2) * 2 + 1] = static_cast<uint8_t>(text[i]);
      data[(first_word + i / 2) * 2] = i + 1 < text.size() ? static_cast<uint8_t>(text[i + 1]) : ' ';
    }
  };
  put(10, serial20);
  put(23, firmware8);
  put(27, model40);
  return data;
}

std::string Padded(const std::string& text, std::size_t size, bool leading = false) {
  return leading ? std::string(size - text.size(), ' ') + text : text + std::string(size - text.size(), ' ');
}

TEST(IdentifyTextTest, HighByteFirstTrailingBlanksRemoved) {
  const std::vector<uint8_t> data =
      IdentifyData(Padded("WD-WCC4N1234567", 20, true), "82.00A82", Padded("WDC WD10EZEX-08WN4A0", 40));
  EXPECT_EQ(IdentifyWordsToText(data.data(), 10, 19), "     WD-WCC4N1234567");  // leading blanks stay
  EXPECT_EQ(IdentifyWordsToText(data.data(), 23, 26), "82.00A82");
  EXPECT_EQ(IdentifyWordsToText(data.data(), 27, 46), "WDC WD10EZEX-08WN4A0");

  std::vector<uint8_t> with_nul(512, 0);
  with_nul[21] = 'A';  // word 10: 'A', then a NUL in the low byte
  EXPECT_EQ(IdentifyWordsToText(with_nul.data(), 10, 10), std::string("A\0", 2));  // NULs count
}

std::vector<uint8_t> DescriptorBuffer(const std::map<int, std::string>& texts_at, std::size_t size = 2048) {
  std::vector<uint8_t> buffer(size, 0);
  for (const auto& [offset, text] : texts_at) std::memcpy(buffer.data() + offset, text.data(), text.size());
  return buffer;
}

TEST(DescriptorStringTest, DecodesSwapsAndTrims) {
  struct Case {
    const char* what;
    std::string stored;
    bool swap;
    std::string expected;
  };
  const Case cases[] = {
      {"plain text, trimmed", "  ST1000DM003-1ER162  ", false, "ST1000DM003-1ER162"},
      {"hex-coded text decoded", "57442d5743433420", false, "WD-WCC4"},
      {"hex-coded, then swapped in pairs", "3153334e4a39", true, "S1N39J"},
      {"hex digits making unprintable bytes are taken as they stand", "ABCDE", false, "ABCDE"},
      {"odd length loses its last character in the swap", "ABCDE", true, "BADC"},
      {"plain text swapped", "WXYZ", true, "XWZY"},
      {"white space counts as a zero digit", "2020 0", false, "  "},
      {"an unprintable character empties the text", "AB\x01" "CD", false, ""},
      {"bytes above 0x7F are not printable", "S\xc3\xa9rie", false, ""},
      {"a decoded zero byte ends the text", "41004243", false, "A"},
      {"a decoded zero byte ends the text before the swap", "4142004344", true, "BA"},
      {"a lone character after a decoded zero byte is not swapped in", "41420043", true, "BA"},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> buffer = DescriptorBuffer({{100, c.stored}});
    EXPECT_EQ(DecodeDescriptorString(buffer.data(), buffer.size(), 100, c.swap), c.expected) << c.what;
  }
}

TEST(DescriptorStringTest, OffsetsAndLengthsStayInsideTheAnswer) {
  const std::vector<uint8_t> buffer = DescriptorBuffer({{0, "XYZ"}, {10, std::string(300, 'Q')}});
  EXPECT_EQ(DecodeDescriptorString(buffer.data(), buffer.size(), 0, false), "");
  EXPECT_EQ(DecodeDescriptorString(buffer.data(), buffer.size(), -4, false), "");
  EXPECT_EQ(DecodeDescriptorString(buffer.data(), buffer.size(), 10, false), std::string(255, 'Q'));
  // A device-given offset beyond the answer reads nothing.
  EXPECT_EQ(DecodeDescriptorString(buffer.data(), buffer.size(), 5000, false), "");
  // A text that runs to the end of the answer without a NUL stops there.
  const std::vector<uint8_t> unterminated = DescriptorBuffer({{20, std::string(12, 'K')}}, 32);
  EXPECT_EQ(DecodeDescriptorString(unterminated.data(), unterminated.size(), 20, false), std::string(12, 'K'));
}

constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartRcvDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;

std::vector<uint8_t> SmartAnswer(const std::vector<uint8_t>& identify, DWORD buffer_size = 512) {
  std::vector<uint8_t> answer(16 + identify.size(), 0);
  std::memcpy(answer.data(), &buffer_size, 4);
  std::memcpy(answer.data() + 16, identify.data(), identify.size());
  return answer;
}

GETVERSIONINPARAMS SmartVersion(BYTE device_map) {
  GETVERSIONINPARAMS version{};
  version.bVersion = 1;
  version.bIDEDeviceMap = device_map;
  return version;
}

const std::vector<uint8_t> kIdentify =
    IdentifyData(Padded("S3Z9NB0K123456A", 20), "RVT02B6Q", Padded("Samsung SSD 860 EVO 500GB", 40));

TEST(DiskReaderTest, IdeSmartAsksEachDriveWithItsOwnRegisters) {
  FakeDeviceIo io;
  io.Add(L"\\\\.\\PhysicalDrive0").answers[kSmartGetVersion] = Answer(BytesOf(SmartVersion(0)));
  auto& drive1 = io.Add(L"\\\\.\\PhysicalDrive1");
  drive1.answers[kSmartGetVersion] = Answer(BytesOf(SmartVersion(0x01 | (1 << 5))));  // packet device on 1
  drive1.answers[kSmartRcvDriveData] = Answer(SmartAnswer(kIdentify, 46));            // too short: refused
  auto& drive3 = io.Add(L"\\\\.\\PhysicalDrive3");
  drive3.answers[kSmartGetVersion] = Answer(BytesOf(SmartVersion(0x08)));
  drive3.answers[kSmartRcvDriveData] = Answer(SmartAnswer(kIdentify));

  DiskIdentity identity;
  ASSERT_TRUE(ReadIdeSmartIdentity(identity, io));
  EXPECT_EQ(identity.serial, "S3Z9NB0K123456A");
  EXPECT_EQ(identity.firmware, "RVT02B6Q");
  EXPECT_EQ(identity.model, "Samsung SSD 860 EVO 500GB");

  std::vector<SENDCMDINPARAMS> commands;
  for (const auto& call : io.controls) {
    if (call.code != kSmartRcvDriveData) continue;
    EXPECT_EQ(call.in.size(), 32u);
    EXPECT_EQ(call.out_size, 528u);
    SENDCMDINPARAMS command{};
    std::memcpy(&command, call.in.data(), call.in.size());
    commands.push_back(command);
  }
  ASSERT_EQ(commands.size(), 2u);  // drive 0 has no device map
  EXPECT_EQ(commands[0].bDriveNumber, 1);
  EXPECT_EQ(commands[0].irDriveRegs.bDriveHeadReg, 0xB0);
  EXPECT_EQ(commands[0].irDriveRegs.bCommandReg, 0xA1);  // IDENTIFY PACKET DEVICE
  EXPECT_EQ(commands[0].irDriveRegs.bSectorCountReg, 1);
  EXPECT_EQ(commands[0].cBufferSize, 512u);
  EXPECT_EQ(commands[1].bDriveNumber, 3);
  EXPECT_EQ(commands[1].irDriveRegs.bDriveHeadReg, 0xB0);
  EXPECT_EQ(commands[1].irDriveRegs.bCommandReg, 0xEC);
  EXPECT_FALSE(io.WasOpened(L"\\\\.\\PhysicalDrive4"));  // stops at the accepted drive
}

// A SCSI controller answering IDENTIFY for drive numbers 0 and 1.
FakeDeviceIo::Responder ScsiController(std::map<BYTE, std::vector<uint8_t>> identify_by_drive) {
  return [identify_by_drive](DWORD code, const std::vector<uint8_t>& in) -> std::optional<FakeAnswer> {
    if (code != kScsiMiniport || in.size() != 60) return Refusal();
    const BYTE drive = in[28 + 12];
    const auto found = identify_by_drive.find(drive);
    if (found == identify_by_drive.end()) return Refusal();
    std::vector<uint8_t> answer = in;
    answer.resize(557, 0);
    std::memcpy(answer.data() + 44, found->second.data(), 512);
    return Answer(answer);
  };
}

TEST(DiskReaderTest, ScsiMiniportTakesDriveOneWhenBothAnswer) {
  const std::vector<uint8_t> other = IdentifyData(Padded("OTHER", 20), "1.0     ", Padded("Second Disk", 40));
  FakeDeviceIo io;
  io.Add(L"\\\\.\\Scsi1:").responder = ScsiController({{0, kIdentify}, {1, other}});
  DiskIdentity identity;
  ASSERT_TRUE(ReadScsiMiniportIdentity(identity, io));
  EXPECT_EQ(identity.model, "Second Disk");

  ASSERT_EQ(io.controls.size(), 2u);
  const std::vector<uint8_t>& request = io.controls[0].in;
  SRB_IO_CONTROL srb{};
  std::memcpy(&srb, request.data(), sizeof(srb));
  EXPECT_EQ(srb.HeaderLength, 28u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(srb.Signature), 8), "SCSIDISK");
  EXPECT_EQ(srb.Timeout, 10000u);
  EXPECT_EQ(srb.ControlCode, 0x1B0501u);
  EXPECT_EQ(srb.Length, 529u);
  EXPECT_EQ(request[28 + 10], 0xEC);
  EXPECT_EQ(io.controls[0].out_size, 557u);
  EXPECT_EQ(io.controls[1].in[28 + 12], 1);
}

TEST(DiskReaderTest, ScsiMiniportNeedsAModel) {
  std::vector<uint8_t> blank_model = kIdentify;
  blank_model[54] = 0;  // first model character
  FakeDeviceIo io;
  io.Add(L"\\\\.\\Scsi0:").responder = ScsiController({{0, blank_model}});
  io.Add(L"\\\\.\\Scsi2:").responder = ScsiController({{0, kIdentify}});
  DiskIdentity identity;
  ASSERT_TRUE(ReadScsiMiniportIdentity(identity, io));
  EXPECT_EQ(identity.serial, "S3Z9NB0K123456A");
  EXPECT_TRUE(io.WasOpened(L"\\\\.\\Scsi2:"));
}

std::vector<uint8_t> StorageDescriptor(const std::string& model, const std::string& revision,
                                       const std::string& serial) {
  STORAGE_DEVICE_DESCRIPTOR header{};
  header.Version = sizeof(header);
  header.ProductIdOffset = 64;
  header.ProductRevisionOffset = 128;
  header.SerialNumberOffset = 192;
  header.BusType = BusTypeSata;
  std::vector<uint8_t> buffer = DescriptorBuffer({{64, model}, {128, revision}, {192, serial}}, 512);
  std::memcpy(buffer.data(), &header, sizeof(header));
  return buffer;
}

TEST(DiskReaderTest, StorageDescriptorDecodesTheSerial) {
  FakeDeviceIo io;
  io.Add(L"\\\\.\\PhysicalDrive0").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(
      StorageDescriptor("Samsung SSD 860", "RVT02B6Q", "  "));  // no usable serial: next drive
  io.Add(L"\\\\.\\PhysicalDrive1").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(
      StorageDescriptor("ST1000DM003", "CC43", "2020202020205a39"));  // hex "      Z9", swapped
  DiskIdentity identity;
  ASSERT_TRUE(ReadStorageDescriptorIdentity(identity, io));
  EXPECT_EQ(identity.model, "ST1000DM003");
  EXPECT_EQ(identity.firmware, "CC43");
  EXPECT_EQ(identity.serial, "9Z");
  EXPECT_EQ(io.opens[0].access, 0u);  // query only
  EXPECT_EQ(io.controls.back().out_size, 2048u);
}

TEST(DiskReaderTest, SmartDirectSendsOnlyTheCommandRegister) {
  FakeDeviceIo io;
  auto& drive = io.Add(L"\\\\.\\PhysicalDrive2");
  drive.answers[kSmartGetVersion] = Answer(BytesOf(SmartVersion(0)));
  drive.answers[kSmartRcvDriveData] = Answer(SmartAnswer(kIdentify));
  DiskIdentity identity;
  ASSERT_TRUE(ReadSmartIdentityDirect(identity, io));
  EXPECT_EQ(identity.model, "Samsung SSD 860 EVO 500GB");
  const auto& call = io.controls.back();
  ASSERT_EQ(call.in.size(), 33u);
  EXPECT_EQ(call.out_size, 545u);
  std::vector<uint8_t> expected(33, 0);
  expected[10] = 0xEC;
  EXPECT_EQ(call.in, expected);
  EXPECT_EQ(io.opens.back().share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
}

TEST(DiskReaderTest, TheFirstReaderThatSucceedsEndsTheChain) {
  FakeDeviceIo io;
  auto& drive = io.Add(L"\\\\.\\PhysicalDrive0");
  drive.answers[kSmartGetVersion] = Answer(BytesOf(SmartVersion(0x01)));
  drive.answers[kSmartRcvDriveData] = Answer(SmartAnswer(kIdentify));
  DiskIdentity identity;
  ASSERT_TRUE(GetDiskIdentity(identity, io));
  EXPECT_EQ(identity.serial, "S3Z9NB0K123456A");
  EXPECT_FALSE(io.WasOpened(L"\\\\.\\Scsi0:"));

  FakeDeviceIo nothing;
  DiskIdentity none;
  EXPECT_FALSE(GetDiskIdentity(none, nothing));
  EXPECT_TRUE(none.serial.empty() && none.model.empty() && none.firmware.empty());
  EXPECT_TRUE(nothing.WasOpened(L"\\\\.\\Scsi15:"));  // every reader was tried
}

}  // namespace
}  // namespace device_id
