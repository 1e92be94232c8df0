#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "testing/process/child_process.h"

namespace device_id {
namespace {

// The two caches are sections of the executable image itself: 32 bytes
// each, zero in the file, and shared by every process of the image.
TEST(SectionLayoutTest, TheImageCarriesBothSharedSections) {
  const std::string image = testing_process::ReadFileText(testing_process::HelperPath(L"ql_section_peer.exe"));
  ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
  IMAGE_DOS_HEADER dos{};
  std::memcpy(&dos, image.data(), sizeof(dos));
  ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
  IMAGE_NT_HEADERS64 nt{};
  std::memcpy(&nt, image.data() + dos.e_lfanew, sizeof(nt));
  ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
  const std::size_t table = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;

  int found = 0;
  for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section{};
    std::memcpy(&section, image.data() + table + i * sizeof(section), sizeof(section));
    const std::string name(reinterpret_cast<const char*>(section.Name), sizeof(section.Name));
    if (name != std::string(".ZUGuid\0", 8) && name != std::string(".TUGuid\0", 8)) continue;
    ++found;
    EXPECT_EQ(section.Misc.VirtualSize, 32u) << name;
    EXPECT_EQ(section.Characteristics, static_cast<DWORD>(IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_SHARED |
                                                          IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE))
        << name;
    ASSERT_LE(section.PointerToRawData + section.SizeOfRawData, image.size());
    const char* data = image.data() + section.PointerToRawData;
    EXPECT_TRUE(std::all_of(data, data + section.SizeOfRawData, [](char c) { return c == 0; })) << name;
  }
  EXPECT_EQ(found, 2);
}

}  // namespace
}  // namespace device_id
