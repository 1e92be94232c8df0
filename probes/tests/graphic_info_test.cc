#include "probes/graphic_info.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <thread>

#include "base/registry.h"
#include "base/text_conversion.h"
#include "probes/tests/probe_rig.h"

namespace probes {
namespace {

using probe_rig::ProductFixture;

struct VendorCase {
  const char* name;
  const char* vendor;
  const char* renderer;
  const char* vendor_class;
};

void PrintTo(const VendorCase& c, std::ostream* os) { *os << c.name; }

class ClassifyGpuVendorTest : public testing::TestWithParam<VendorCase> {};

TEST_P(ClassifyGpuVendorTest, FirstRuleThatHoldsGivesTheClass) {
  EXPECT_EQ(ClassifyGpuVendor(GetParam().vendor, GetParam().renderer), GetParam().vendor_class);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyGpuVendorTest,
    testing::Values(VendorCase{"Nvidia", "NVIDIA Corporation", "NVIDIA GeForce RTX 3060/PCIe/SSE2", "NVIDIA"},
                    VendorCase{"AtiRadeon", "ATI Technologies Inc.", "Radeon RX 580", "AMD"},
                    VendorCase{"AmdRenderer", "X", "AMD Radeon(TM) Graphics", "AMD"},
                    VendorCase{"Intel", "Intel", "Intel(R) UHD Graphics 630", "Intel"},
                    VendorCase{"Qualcomm", "Qualcomm", "Adreno (TM) 690", "Qualcomm"},
                    VendorCase{"MicrosoftLowerCase", "microsoft corporation", "GDI Generic", "Microsoft"},
                    VendorCase{"MicrosoftUpperCase", "MICROSOFT", "Basic Render Driver", "Microsoft"},
                    VendorCase{"Empty", "", "", "UNKNOWN"},
                    VendorCase{"IntelLowerCase", "intel", "uhd graphics", "UNKNOWN"},  // case matters before the last rule
                    VendorCase{"Mesa", "Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", "UNKNOWN"},
                    // NVIDIA wins over a later word in the same text.
                    VendorCase{"NvidiaBeforeIntel", "Intel NVIDIA", "", "NVIDIA"}),
    [](const testing::TestParamInfo<VendorCase>& info) { return std::string(info.param.name); });

class GraphicInfoDetectorTest : public ProductFixture {
 protected:
  void TearDown() override {
    probe_rig::EndProcesses(QuilloranixStarts());
    ProductFixture::TearDown();
  }

  static std::wstring ClientKey() { return GraphicInfoKey(GraphicInfoSubkey::kClient); }
  static std::wstring CardKey() { return GraphicInfoKey(GraphicInfoSubkey::kDxdiag); }

  void StoreOpengl(HKEY root, const std::wstring& vendor, const std::wstring& renderer, const std::wstring& version,
                   uint64_t major, uint64_t minor) {
    base::WriteRegString(root, ClientKey(), L"OpenglVendor", vendor);
    base::WriteRegString(root, ClientKey(), L"OpenglRenderer", renderer);
    base::WriteRegString(root, ClientKey(), L"OpenglVersion", version);
    base::WriteRegQword(root, ClientKey(), L"OpenglMajorVersion", major);
    base::WriteRegQword(root, ClientKey(), L"OpenglMinorVersion", minor);
  }

  uint64_t Stamp() const { return base::ReadRegQword(HKEY_CURRENT_USER, StampKey(), kStampName, 0); }
  void SetStamp(uint64_t ms) { base::WriteRegQword(HKEY_CURRENT_USER, StampKey(), kStampName, ms); }
};

constexpr wchar_t kRtxAnswer[] =
    L"answer:1000:NVIDIA Corporation|NVIDIA GeForce RTX 3060/PCIe/SSE2|4.6.0 NVIDIA 537.13|4|6";

TEST_F(GraphicInfoDetectorTest, WithoutTheClientExecutableAPassOnlyMarksTheStoredFactsReady) {
  StoreOpengl(HKEY_CURRENT_USER, L"Intel", L"Intel(R) UHD Graphics 630", L"4.6.0 - Build 31.0", 4, 6);
  base::WriteRegQword(HKEY_LOCAL_MACHINE, CardKey(), L"GraphicCardCount", 2);
  GraphicInfoDetector detector;
  EXPECT_FALSE(detector.Snapshot().ready);
  detector.DetectAndWait();  // returns at once: nothing to wait for
  EXPECT_FALSE(detector.Snapshot().ready);
  detector.Detect();
  const GraphicInfo info = detector.Snapshot();
  EXPECT_TRUE(info.ready);
  EXPECT_EQ(info.opengl_renderer, "Intel(R) UHD Graphics 630");
  EXPECT_EQ(info.vendor_class, "Intel");
  EXPECT_EQ(info.card_count, 2);
  EXPECT_EQ(Stamp(), 0u);
  EXPECT_TRUE(QuilloranixStarts().empty());
}

TEST_F(GraphicInfoDetectorTest, FirstPassRunsTheCheckOnceWhenItAnswersCompletely) {
  const std::wstring path = InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", kRtxAnswer);
  GraphicInfoDetector detector;
  EXPECT_EQ(detector.Snapshot().opengl_renderer, "");
  EXPECT_EQ(detector.Snapshot().card_count, 1);

  const uint64_t before = probe_rig::NowMs();
  detector.DetectAndWait();
  const GraphicInfo info = detector.Snapshot();
  EXPECT_TRUE(info.ready);
  EXPECT_EQ(info.opengl_vendor, "NVIDIA Corporation");
  EXPECT_EQ(info.opengl_renderer, "NVIDIA GeForce RTX 3060/PCIe/SSE2");
  EXPECT_EQ(info.opengl_version, "4.6.0 NVIDIA 537.13");
  EXPECT_EQ(info.opengl_major, 4);
  EXPECT_EQ(info.opengl_minor, 6);
  EXPECT_EQ(info.vendor_class, "NVIDIA");

  const std::vector<std::string> starts = QuilloranixStarts();
  ASSERT_EQ(starts.size(), 1u);  // the restricted run answered: no shell run
  EXPECT_NE(starts[0].find("--check-opengl-process \"probes_graphic_info_test.exe\""), std::string::npos)
      << starts[0];
  EXPECT_GE(Stamp(), before);
  // The check is asked to run on the high-performance GPU.
  EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, L"Software\\Microsoft\\DirectX\\UserGpuPreferences", path, L""),
            L"GpuPreference=2;");
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\DirectX\\UserGpuPreferences", path.c_str());
  // ... and the NVIDIA driver (the stand-in beside this program) got its profile first.
  using CallsFn = const char* (*)();
  const auto calls = reinterpret_cast<CallsFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"nvapi64.dll"), "NvapiDoubleCalls")));
  ASSERT_NE(calls, nullptr);
  EXPECT_NE(std::string(calls()).find("CreateProfile version=0x11014 name=[Quilloranix Nvidia Profile]"),
            std::string::npos);
}

struct SecondRunCase {
  const char* name;
  const wchar_t* answer;
  size_t starts;
};

void PrintTo(const SecondRunCase& c, std::ostream* os) { *os << c.name; }

class CheckRunsTest : public GraphicInfoDetectorTest, public testing::WithParamInterface<SecondRunCase> {};

TEST_P(CheckRunsTest, TheCheckRunsAgainThroughTheShellUnlessItAnsweredCompletely) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", GetParam().answer);
  GraphicInfoDetector detector;
  detector.Detect();
  EXPECT_EQ(QuilloranixStarts().size(), GetParam().starts);
  EXPECT_TRUE(detector.Snapshot().ready);
  EXPECT_NE(Stamp(), 0u);  // written whatever the check gave
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckRunsTest,
    testing::Values(SecondRunCase{"Complete", kRtxAnswer, 1},
                    // OpenGL 4.0: a minor version of 0 counts as incomplete.
                    SecondRunCase{"MinorZero", L"answer:1000:ATI Technologies Inc.|Radeon HD 5770|4.0.10243|4|0", 2},
                    SecondRunCase{"OtherExitCode", L"answer:1:Intel|Intel(R) HD Graphics 4000|4.0|4|3", 2},
                    SecondRunCase{"NoValues", L"silent:1000", 2}),
    [](const testing::TestParamInfo<SecondRunCase>& info) { return std::string(info.param.name); });

TEST(OpenglFactsStaleTest, OnlyMoreThanFifteenDaysCount) {
  constexpr uint64_t kNow = 1'765'400'000'000;
  EXPECT_TRUE(OpenglFactsStale(0, kNow));
  EXPECT_FALSE(OpenglFactsStale(kNow - kOpenglRefreshPeriodMs, kNow));  // exactly 15 days: not yet
  EXPECT_TRUE(OpenglFactsStale(kNow - kOpenglRefreshPeriodMs - 1, kNow));
  EXPECT_FALSE(OpenglFactsStale(kNow, kNow));
  EXPECT_FALSE(OpenglFactsStale(kNow + 5000, kNow));  // a stamp from a clock set back
}

TEST_F(GraphicInfoDetectorTest, AStampYoungerThanFifteenDaysOnlyReloadsTheStoredFacts) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", kRtxAnswer);
  const uint64_t stamp = probe_rig::NowMs() - kOpenglRefreshPeriodMs + 60'000;
  SetStamp(stamp);
  GraphicInfoDetector detector;
  StoreOpengl(HKEY_CURRENT_USER, L"Intel", L"Intel(R) Iris(R) Xe Graphics", L"4.6.0 - Build 31.0", 4, 6);
  detector.Detect();
  EXPECT_TRUE(QuilloranixStarts().empty());
  EXPECT_EQ(Stamp(), stamp);
  EXPECT_EQ(detector.Snapshot().opengl_renderer, "Intel(R) Iris(R) Xe Graphics");  // reloaded by the pass
}

TEST_F(GraphicInfoDetectorTest, AStampOlderThanFifteenDaysRefreshes) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", kRtxAnswer);
  SetStamp(probe_rig::NowMs() - kOpenglRefreshPeriodMs - 1000);
  GraphicInfoDetector detector;
  detector.Detect();
  EXPECT_EQ(QuilloranixStarts().size(), 1u);
  EXPECT_EQ(detector.Snapshot().vendor_class, "NVIDIA");
}

TEST_F(GraphicInfoDetectorTest, AHangingCheckIsLeftRunningAndReadersAreNeverHeldByIt) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", L"hang");
  StoreOpengl(HKEY_LOCAL_MACHINE, L"NVIDIA Corporation", L"NVIDIA GeForce GTX 1050", L"4.6.0", 4, 6);
  GraphicInfoDetector detector;
  std::atomic<bool> pass_done{false};
  std::thread pass([&] {
    detector.Detect();
    pass_done = true;
  });
  ASSERT_TRUE(probe_rig::WaitFor([&] { return !QuilloranixStarts().empty(); }));
  const DWORD hung = static_cast<DWORD>(std::stoul(QuilloranixStarts()[0]));
  // A reader while the check hangs: the stored facts, not yet ready.
  const GraphicInfo during = detector.Snapshot();
  EXPECT_TRUE(probe_rig::ProcessRuns(hung));
  EXPECT_FALSE(pass_done);
  EXPECT_FALSE(during.ready);
  EXPECT_EQ(during.opengl_renderer, "NVIDIA GeForce GTX 1050");

  pass.join();  // each of the two runs is waited for at most 5 s
  const GraphicInfo after = detector.Snapshot();
  EXPECT_TRUE(after.ready);
  EXPECT_EQ(after.opengl_renderer, "NVIDIA GeForce GTX 1050");
  const std::vector<std::string> starts = QuilloranixStarts();
  ASSERT_EQ(starts.size(), 2u);
  for (const std::string& line : starts) EXPECT_TRUE(probe_rig::ProcessRuns(std::stoul(line))) << line;
  EXPECT_NE(Stamp(), 0u);  // the next attempt comes 15 days later
}

TEST_F(GraphicInfoDetectorTest, PassesAtTheSameTimeRunTheCheckOnce) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", kRtxAnswer);
  GraphicInfoDetector detector;
  std::vector<std::thread> passes;
  for (int i = 0; i < 4; ++i) passes.emplace_back([&] { detector.DetectAndWait(); });
  for (std::thread& pass : passes) pass.join();
  EXPECT_EQ(QuilloranixStarts().size(), 1u);
  EXPECT_EQ(detector.Snapshot().vendor_class, "NVIDIA");  // every waiter saw the answer
}

TEST_F(GraphicInfoDetectorTest, AWaiterBehindAHangingCheckStartsNoSecondOne) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", L"hang");
  GraphicInfoDetector detector;
  std::thread probe([&] { detector.Detect(); });
  ASSERT_TRUE(probe_rig::WaitFor([&] { return !QuilloranixStarts().empty(); }));
  detector.DetectAndWait();  // waits for the running refresh, then reads the store
  probe.join();
  EXPECT_TRUE(detector.Snapshot().ready);
  EXPECT_EQ(QuilloranixStarts().size(), 2u);  // the restricted run and the shell run, once
}

TEST_F(GraphicInfoDetectorTest, AnEmptyCurrentUserTextFallsBackToTheMachineText) {
  base::WriteRegString(HKEY_CURRENT_USER, ClientKey(), L"OpenglVendor", L"");
  base::WriteRegString(HKEY_LOCAL_MACHINE, ClientKey(), L"OpenglVendor", L"Intel");
  base::WriteRegQword(HKEY_CURRENT_USER, ClientKey(), L"OpenglMajorVersion", 0);
  base::WriteRegQword(HKEY_LOCAL_MACHINE, ClientKey(), L"OpenglMajorVersion", 3);
  EXPECT_EQ(ReadGraphicInfoString(L"OpenglVendor", GraphicInfoSubkey::kClient), "Intel");
  EXPECT_EQ(ReadGraphicInfoQword(L"OpenglMajorVersion", GraphicInfoSubkey::kClient), 3u);
  GraphicInfoDetector detector;
  EXPECT_EQ(detector.Snapshot().opengl_vendor, "Intel");
  EXPECT_EQ(detector.Snapshot().opengl_major, 3);
}

TEST_F(GraphicInfoDetectorTest, LoadOpenglInfoTellsCompleteFactsFromIncompleteOnes) {
  GraphicInfoDetector detector;
  EXPECT_FALSE(detector.LoadOpenglInfo());
  StoreOpengl(HKEY_CURRENT_USER, L"NVIDIA Corporation", L"GeForce", L"4.6.0", 4, 6);
  EXPECT_TRUE(detector.LoadOpenglInfo());
  base::WriteRegQword(HKEY_CURRENT_USER, ClientKey(), L"OpenglMinorVersion", 0);
  EXPECT_FALSE(detector.LoadOpenglInfo());
}

struct CountCase {
  const char* name;
  bool stored;
  uint64_t count;
  int32_t expected;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class CardCountTest : public GraphicInfoDetectorTest, public testing::WithParamInterface<CountCase> {};

TEST_P(CardCountTest, AStoredCountOfTwoOrMoreIsLoaded) {
  if (GetParam().stored) base::WriteRegQword(HKEY_LOCAL_MACHINE, CardKey(), L"GraphicCardCount", GetParam().count);
  GraphicInfoDetector detector;
  EXPECT_EQ(detector.Snapshot().card_count, GetParam().expected);
  EXPECT_EQ(detector.HasSavedCardCount(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Table, CardCountTest,
                         testing::Values(CountCase{"Absent", false, 0, 1}, CountCase{"Zero", true, 0, 1},
                                         CountCase{"One", true, 1, 1}, CountCase{"Two", true, 2, 2},
                                         CountCase{"Three", true, 3, 3}),
                         [](const testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

GraphicCardRecord Card(const char* name, const char* maker, const char* version, const char* date) {
  return GraphicCardRecord{name, maker, version, date};
}

TEST_F(GraphicInfoDetectorTest, TheOpenglCardGivesTheDriverAndTheOtherCardIsTheSecond) {
  StoreOpengl(HKEY_CURRENT_USER, L"NVIDIA Corporation", L"NVIDIA GeForce RTX 2060/PCIe/SSE2", L"4.6.0", 4, 6);
  GraphicInfoDetector detector;
  detector.MatchCards({Card(" Intel(R) UHD Graphics", " Intel Corporation", " 31.0.101.2111", " 7/12/2022"),
                       Card(" NVIDIA GeForce RTX 2060", " NVIDIA", " 31.0.15.5222", " 3/12/2024")});
  const GraphicInfo info = detector.Snapshot();
  EXPECT_EQ(info.opengl_driver_version, " 31.0.15.5222");
  EXPECT_EQ(info.opengl_driver_date, " 3/12/2024");
  EXPECT_EQ(info.second_renderer, " Intel(R) UHD Graphics");
  EXPECT_EQ(info.second_vendor, " Intel Corporation");
  EXPECT_EQ(info.second_driver_version, " 31.0.101.2111");
  EXPECT_EQ(info.second_driver_date, " 7/12/2022");
  EXPECT_EQ(info.card_count, 2);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"OpenglDriverVersion", L"-"), L" 31.0.15.5222");
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"OpenglDriverPublishDate", L"-"), L" 3/12/2024");
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"SecondGCVendor", L"-"), L" Intel Corporation");
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"SecondGCRenderer", L"-"), L" Intel(R) UHD Graphics");
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"SecondGCDriverVersion", L"-"), L" 31.0.101.2111");
    EXPECT_EQ(base::ReadRegString(root, CardKey(), L"SecondGCDriverPublishDate", L"-"), L" 7/12/2022");
    EXPECT_EQ(base::ReadRegQword(root, CardKey(), L"GraphicCardCount", 0), 2u);
  }
  // A new detector (the next run) starts from what was stored.
  GraphicInfoDetector next;
  EXPECT_EQ(next.Snapshot().second_renderer, " Intel(R) UHD Graphics");
  EXPECT_EQ(next.Snapshot().card_count, 2);
}

TEST_F(GraphicInfoDetectorTest, ASingleMatchingCardKeepsTheLoadedSecondCardAndCount) {
  StoreOpengl(HKEY_CURRENT_USER, L"Intel", L"Intel(R) UHD Graphics 630", L"4.6.0", 4, 6);
  base::WriteRegString(HKEY_CURRENT_USER, CardKey(), L"SecondGCRenderer", L"stored second");
  GraphicInfoDetector detector;
  detector.MatchCards({Card(" Intel(R) UHD Graphics 630", " Intel Corporation", " 27.20.100.8681", " 9/2/2020")});
  const GraphicInfo info = detector.Snapshot();
  EXPECT_EQ(info.opengl_driver_version, " 27.20.100.8681");
  EXPECT_EQ(info.second_renderer, "stored second");
  EXPECT_EQ(info.card_count, 1);
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, CardKey(), L"OpenglDriverVersion", L"-"), L" 27.20.100.8681");
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, CardKey(), L"SecondGCRenderer", L"-"), L"stored second");
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, CardKey(), L"SecondGCVendor", L"-"), L"-");  // empty: not written
  EXPECT_EQ(base::ReadRegQword(HKEY_LOCAL_MACHINE, CardKey(), L"GraphicCardCount", 0), 1u);
}

TEST_F(GraphicInfoDetectorTest, NoCardOfTheOpenglMakerMakesTheFirstCardTheSecond) {
  StoreOpengl(HKEY_CURRENT_USER, L"Qualcomm", L"Adreno (TM) 690", L"4.6.0", 4, 6);
  GraphicInfoDetector detector;
  detector.MatchCards({Card(" Intel(R) UHD", " Intel", " 1", " d1"), Card(" AMD Radeon", " AMD", " 2", " d2")});
  const GraphicInfo info = detector.Snapshot();
  EXPECT_EQ(info.opengl_driver_version, "");
  EXPECT_EQ(info.second_renderer, " Intel(R) UHD");
  EXPECT_EQ(info.card_count, 2);
}

TEST_F(GraphicInfoDetectorTest, AnUnknownOpenglMakerMatchesNothingAndSavesNothing) {
  StoreOpengl(HKEY_CURRENT_USER, L"Mesa", L"llvmpipe", L"4.5", 4, 5);
  GraphicInfoDetector detector;
  detector.MatchCards({Card(" A", " B", " 1", " d1"), Card(" C", " D", " 2", " d2")});
  EXPECT_EQ(detector.Snapshot().card_count, 1);
  EXPECT_FALSE(detector.HasSavedCardCount());
}

TEST_F(GraphicInfoDetectorTest, CardsAreMatchedOnlyOncePerDetector) {
  StoreOpengl(HKEY_CURRENT_USER, L"NVIDIA Corporation", L"GeForce", L"4.6.0", 4, 6);
  GraphicInfoDetector detector;
  MatchCardsOnce(detector, {Card(" NVIDIA GeForce", " NVIDIA", " first", " d1")});
  MatchCardsOnce(detector, {Card(" NVIDIA GeForce", " NVIDIA", " second", " d2")});
  EXPECT_EQ(detector.Snapshot().opengl_driver_version, " first");
}

TEST_F(GraphicInfoDetectorTest, ReadersTakeWholeSnapshotsWhileTheFactsChange) {
  // A writer switches between two complete sets of facts; a reader's copy is
  // always one of them, never half of each.
  GraphicInfoDetector detector;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i) {
      const bool odd = i % 2 == 1;
      StoreOpengl(HKEY_CURRENT_USER, odd ? L"NVIDIA Corporation" : L"Intel", odd ? L"GeForce" : L"UHD", L"4.6", 4, 6);
      detector.LoadOpenglInfo();
    }
    done = true;
  });
  int checked = 0;
  while (!done) {
    const GraphicInfo info = detector.Snapshot();
    // Only the class is derived from vendor and renderer inside the update:
    // a torn read would show a class that does not fit the vendor.
    EXPECT_EQ(info.vendor_class, ClassifyGpuVendor(info.opengl_vendor, info.opengl_renderer));
    ++checked;
  }
  writer.join();
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace probes
