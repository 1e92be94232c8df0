// Hardware-id parsing, the GPU list text, and Wine's real display class.
#include "probes/display_adapters.h"

#include <string>

#include <gtest/gtest.h>

namespace probes {
namespace {

struct VendorCase {
  const wchar_t* hardware_id;
  int32_t expected;
};
void PrintTo(const VendorCase& c, std::ostream* os) { *os << std::wstring_view(c.hardware_id).size() << " units"; }

class GpuVendorFromDeviceIdTest : public ::testing::TestWithParam<VendorCase> {};

TEST_P(GpuVendorFromDeviceIdTest, FindsTheVendorMark) {
  EXPECT_EQ(GpuVendorFromDeviceId(GetParam().hardware_id), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GpuVendorFromDeviceIdTest,
    ::testing::Values(VendorCase{L"PCI\\VEN_10DE&DEV_2484&SUBSYS_146B10DE&REV_A1", kGpuVendorNvidia},
                      VendorCase{L"PCI\\VEN_1002&DEV_73BF", kGpuVendorAmd},
                      VendorCase{L"PCI\\VEN_8086&DEV_9BC4", kGpuVendorIntel},
                      VendorCase{L"ACPI\\VEN_5143&DEV_0636", kGpuVendorQualcomm},
                      // NVIDIA is looked for first.
                      VendorCase{L"PCI\\VEN_8086&DEV_9BC4&VEN_10DE", kGpuVendorNvidia},
                      VendorCase{L"PCI\\VEN_8086&VEN_1002", kGpuVendorAmd},
                      VendorCase{L"VEN_10DE", kGpuVendorNvidia},
                      VendorCase{L"VEN_10D", kGpuVendorOther},
                      VendorCase{L"pci\\ven_10de&dev_2484", kGpuVendorOther},  // case counts
                      VendorCase{L"PCI\\VEN_1414&DEV_008C", kGpuVendorOther},
                      VendorCase{L"", kGpuVendorOther}));

struct DeviceCase {
  const wchar_t* hardware_id;
  const wchar_t* expected;
};
void PrintTo(const DeviceCase& c, std::ostream* os) { *os << std::wstring_view(c.hardware_id).size() << " units"; }

class ExtractDeviceIdTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(ExtractDeviceIdTest, TakesFourHexDigitsAfterDev) {
  EXPECT_EQ(ExtractDeviceId(GetParam().hardware_id), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractDeviceIdTest,
                         ::testing::Values(DeviceCase{L"PCI\\VEN_10DE&DEV_2484&SUBSYS_146B10DE", L"2484"},
                                           DeviceCase{L"PCI\\VEN_1002&DEV_73bf", L"73bf"},
                                           DeviceCase{L"DEV_12345", L"1234"},
                                           DeviceCase{L"DEV_12G4&DEV_ABCD", L"ABCD"},
                                           DeviceCase{L"DEV_1111&DEV_2222", L"1111"},
                                           DeviceCase{L"DEV_123", L""},
                                           DeviceCase{L"dev_1234", L""},
                                           DeviceCase{L"", L""}));

TEST(ExtractDeviceIdTest, LongHostileIdEndsWithoutAnId) {
  const std::wstring id(1 << 16, L'D');
  EXPECT_EQ(ExtractDeviceId(id), L"");
}

TEST(FormatGpuListTextTest, OneLinePerAdapter) {
  EXPECT_EQ(FormatGpuListText({}), L"");
  DisplayAdapterRecord first;
  first.description = L"NVIDIA GeForce RTX 3060";
  first.driver_date = L"9-26-2023";
  DisplayAdapterRecord second;
  second.description = L"Intel(R) UHD Graphics 630";
  second.driver_date = L"1-2-2023";
  EXPECT_EQ(FormatGpuListText({first}), L"NVIDIA GeForce RTX 3060(9-26-2023)");
  EXPECT_EQ(FormatGpuListText({first, second}),
            L"NVIDIA GeForce RTX 3060(9-26-2023)\nIntel(R) UHD Graphics 630(1-2-2023)");
  DisplayAdapterRecord no_driver;
  no_driver.description = L"Basic Display";
  EXPECT_EQ(FormatGpuListText({no_driver, first}), L"Basic Display()\nNVIDIA GeForce RTX 3060(9-26-2023)");
}

// Wine registers one display device ("Wine Adapter") with a driver key that
// holds a driver date: the record follows the device's properties and its
// driver key, and the list text follows the records.
TEST(EnumDisplayAdaptersTest, RecordsComeFromTheDisplayClass) {
  const std::vector<DisplayAdapterRecord> adapters = EnumDisplayAdapters();
  ASSERT_FALSE(adapters.empty());
  EXPECT_FALSE(adapters[0].description.empty());
  EXPECT_FALSE(adapters[0].driver_date.empty());
  for (const DisplayAdapterRecord& adapter : adapters) {
    EXPECT_TRUE(adapter.device_id.empty() || adapter.device_id.size() == 4);
  }
  const std::wstring text = BuildGpuListText();
  EXPECT_EQ(text, FormatGpuListText(adapters));
  EXPECT_EQ(text.rfind(adapters[0].description + L"(" + adapters[0].driver_date + L")", 0), 0u);
}

}  // namespace
}  // namespace probes
