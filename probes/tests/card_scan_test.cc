// The card scans of the detector, which run only in the store process: this
// program's name holds the store brand, and the diagnostic tool stand-in
// lies beside it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "base/registry.h"
#include "probes/graphic_info.h"
#include "probes/tests/probe_rig.h"

namespace probes {
namespace {

std::wstring Fixture(const char* name) {
  return testing_process::DosPath(std::string(QL_PROBE_FIXTURES_DIR) + "/" + name);
}

class CardScanTest : public probe_rig::ProductFixture {
 protected:
  void SetUp() override {
    ProductFixture::SetUp();
    std::filesystem::remove(DxdiagReportPath());
    probe_rig::SetEnv(L"QL_DXDIAG_LOG", log_folder_.path() + L"\\dxdiag.log");
  }
  void TearDown() override {
    probe_rig::EndProcesses(DxdiagStarts());
    probe_rig::EndProcesses(QuilloranixStarts());
    probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"");
    ProductFixture::TearDown();
  }
  std::vector<std::string> DxdiagStarts() const {
    return probe_rig::Lines(probe_rig::ReadFileBytes(log_folder_.path() + L"\\dxdiag.log"));
  }
  static std::wstring CardKey() { return GraphicInfoKey(GraphicInfoSubkey::kDxdiag); }
  bool CardsSaved() const { return base::HasHklmQword(CardKey(), L"GraphicCardCount"); }
  void StoreRenderer(const std::wstring& vendor, const std::wstring& renderer) {
    const std::wstring key = GraphicInfoKey(GraphicInfoSubkey::kClient);
    base::WriteRegString(HKEY_CURRENT_USER, key, L"OpenglVendor", vendor);
    base::WriteRegString(HKEY_CURRENT_USER, key, L"OpenglRenderer", renderer);
  }
  void SetRecentStamp() {
    base::WriteRegQword(HKEY_CURRENT_USER, StampKey(), kStampName, probe_rig::NowMs() - 1000);
  }
};

TEST_F(CardScanTest, ARefreshInTheStoreProcessScansTheCardsInTheBackground) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE",
                    L"answer:1000:NVIDIA Corporation|NVIDIA GeForce RTX 2060/PCIe/SSE2|4.6.0 NVIDIA 552.22|4|6");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_two_cards.txt"));
  GraphicInfoDetector detector;
  detector.Detect();
  ASSERT_TRUE(probe_rig::WaitFor([&] { return CardsSaved(); }));
  detector.Stop();
  const GraphicInfo info = detector.Snapshot();
  EXPECT_EQ(info.opengl_driver_version, " 31.0.15.5222");
  EXPECT_EQ(info.second_renderer, " Intel(R) UHD Graphics");
  EXPECT_EQ(info.card_count, 2);
  EXPECT_EQ(DxdiagStarts().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(DxdiagReportPath()));  // left in place
}

TEST_F(CardScanTest, RecentFactsWithoutASecondCardStartTheDelayedScanOnce) {
  InstallQuilloranix();
  SetRecentStamp();
  StoreRenderer(L"Intel", L"Intel(R) UHD Graphics");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_two_cards.txt"));
  GraphicInfoDetector detector(std::chrono::milliseconds(0));
  detector.Detect();
  detector.Detect();
  ASSERT_TRUE(probe_rig::WaitFor([&] { return CardsSaved(); }));
  detector.Stop();
  EXPECT_TRUE(QuilloranixStarts().empty());
  EXPECT_EQ(DxdiagStarts().size(), 1u);
  const GraphicInfo info = detector.Snapshot();
  EXPECT_EQ(info.opengl_driver_version, " 31.0.101.2111");
  EXPECT_EQ(info.second_renderer, " NVIDIA GeForce RTX 2060");
}

TEST_F(CardScanTest, ASavedCardCountMeansNoScan) {
  InstallQuilloranix();
  SetRecentStamp();
  StoreRenderer(L"Intel", L"Intel(R) UHD Graphics");
  base::WriteRegQword(HKEY_LOCAL_MACHINE, CardKey(), L"GraphicCardCount", 1);
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_two_cards.txt"));
  GraphicInfoDetector detector(std::chrono::milliseconds(0));
  detector.Detect();
  detector.DelayGetSecondGraphicCardInfo();  // the guard is still free: this one starts
  ASSERT_TRUE(probe_rig::WaitFor([&] { return DxdiagStarts().size() == 1; }));
  detector.Stop();
  EXPECT_EQ(DxdiagStarts().size(), 1u);  // Detect itself started none
}

TEST_F(CardScanTest, StoppingEndsTheWaitBeforeTheScan) {
  InstallQuilloranix();
  SetRecentStamp();
  StoreRenderer(L"Intel", L"Intel(R) UHD Graphics");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_two_cards.txt"));
  GraphicInfoDetector detector;  // the scan would wait 60 s
  detector.Detect();
  detector.Stop();
  EXPECT_TRUE(DxdiagStarts().empty());
  EXPECT_FALSE(CardsSaved());
}

TEST_F(CardScanTest, ADiagnosticToolThatNeverEndsDoesNotHoldTheExit) {
  InstallQuilloranix();
  SetRecentStamp();
  StoreRenderer(L"NVIDIA Corporation", L"GeForce");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"hang");
  auto detector = std::make_unique<GraphicInfoDetector>(std::chrono::milliseconds(0));
  detector->Detect();
  ASSERT_TRUE(probe_rig::WaitFor([&] { return !DxdiagStarts().empty(); }));
  detector.reset();  // what process exit does: stop the scan and wait for it
  EXPECT_TRUE(probe_rig::ProcessRuns(std::stoul(DxdiagStarts()[0])));
  EXPECT_FALSE(CardsSaved());
}

TEST_F(CardScanTest, TheStoreProcessEndsWhileTheDiagnosticToolNeverDoes) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", L"answer:1000:NVIDIA Corporation|GeForce|4.6.0|4|6");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"hang");
  const std::wstring dxdiag_log = log_folder_.path() + L"\\dxdiag.log";
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring program = std::filesystem::path(self).parent_path() / L"ZephrisStore_detector_exit.exe";
  std::wstring command_line = L"\"" + program + L"\" \"" + product_ + L"\" \"" + dxdiag_log + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  ASSERT_TRUE(::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started))
      << ::GetLastError();
  base::ScopedKernelHandle process(started.hProcess);
  base::ScopedKernelHandle thread(started.hThread);
  // A bound far above any exit, far below the tool's own end.
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  ::GetExitCodeProcess(process.Get(), &exit_code);
  EXPECT_EQ(exit_code, 0u);
  ASSERT_EQ(DxdiagStarts().size(), 1u);
  EXPECT_TRUE(probe_rig::ProcessRuns(std::stoul(DxdiagStarts()[0])));
}

TEST_F(CardScanTest, ScanResultsAreDroppedWhileNoOpenglVendorIsKnown) {
  InstallQuilloranix();
  probe_rig::SetEnv(L"QL_QUILLORANIX_DOUBLE", L"silent:1");
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_two_cards.txt"));
  GraphicInfoDetector detector;
  detector.Detect();
  ASSERT_TRUE(probe_rig::WaitFor([&] { return !DxdiagStarts().empty() && std::filesystem::exists(DxdiagReportPath()); }));
  detector.Stop();
  EXPECT_FALSE(CardsSaved());
}

}  // namespace
}  // namespace probes
