// A machine without the maker's device-id library and without an NVIDIA
// driver: nothing lies beside this program.
#include <gtest/gtest.h>

#include "probes/duvex_loader.h"
#include "probes/nvidia_profile.h"

namespace probes {
namespace {

TEST(AbsentLibrariesTest, NoDeviceIdLibraryGivesAnEmptyIdentifierEveryTime) {
  EXPECT_EQ(GetDuvexId(), "");
  EXPECT_FALSE(InitDuvexOnce());
  EXPECT_EQ(GetDuvexId(), "");
  EXPECT_EQ(::GetModuleHandleW(L"duvex.dll"), nullptr);
}

TEST(AbsentLibrariesTest, EachLoadLooksForTheLibraryAgain) {
  DuvexLoader loader;
  int code = -1;
  EXPECT_EQ(loader.Load(L"", code), nullptr);
  EXPECT_EQ(code, kDuvexMissing);
  EXPECT_EQ(loader.Init({{"GUID", "0123"}}, true, L""), kDuvexMissing);
  EXPECT_EQ(loader.Init({}, false, L"C:\\no\\such\\folder"), kDuvexMissing);
  EXPECT_EQ(loader.Load(nullptr, code), nullptr);
  EXPECT_EQ(code, kDuvexNoFolder);
  EXPECT_EQ(loader.GetIdRecord()[0], '\0');
}

TEST(AbsentLibrariesTest, NoNvidiaDriverMeansNoProfile) {
  EXPECT_FALSE(ApplyNvidiaProfile(L"C:\\Program Files\\Orvalis\\Quillorane\\Application\\1.0.0.0\\Quilloranix.exe"));
  EXPECT_EQ(::GetModuleHandleW(L"nvapi64.dll"), nullptr);
}

}  // namespace
}  // namespace probes
