#include "probes/dxdiag_cards.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/path_manager.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "probes/tests/probe_rig.h"
#include "testing/process/child_process.h"

namespace probes {

void PrintTo(const GraphicCardRecord& card, std::ostream* os) {
  *os << "{" << testing::PrintToString(card.card_name) << ", " << testing::PrintToString(card.manufacturer) << ", "
      << testing::PrintToString(card.driver_version) << ", " << testing::PrintToString(card.driver_date) << "}";
}

namespace {

GraphicCardRecord Card(const char* name, const char* maker, const char* version, const char* date) {
  return GraphicCardRecord{name, maker, version, date};
}

std::vector<GraphicCardRecord> Parse(const std::string& report) {
  std::istringstream in(report);
  return ParseDxdiagReport(in);
}

TEST(DxdiagReportFileNameTest, EveryExeBecomesAnUnderscore) {
  EXPECT_EQ(DxdiagReportFileName(L"setup.exe"), L"setup_dxdiag.log");
  EXPECT_EQ(DxdiagReportFileName(L"tool"), L"tooldxdiag.log");
  EXPECT_EQ(DxdiagReportFileName(L"a.exe.exe"), L"a__dxdiag.log");
  EXPECT_EQ(DxdiagReportFileName(L"SETUP.EXE"), L"SETUP.EXEdxdiag.log");
}

struct ParseCase {
  const char* name;
  std::string report;
  std::vector<GraphicCardRecord> cards;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseDxdiagReportTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDxdiagReportTest, ReadsTheDisplaySectionOnly) { EXPECT_EQ(Parse(GetParam().report), GetParam().cards); }

INSTANTIATE_TEST_SUITE_P(
    Table, ParseDxdiagReportTest,
    testing::Values(
        ParseCase{"NoDisplaySection",
                  "Card name: A\nManufacturer: B\nDriver Version: 1\nDriver Date/Size: d, 1 bytes\n",
                  {}},
        ParseCase{"DateIsCutAtTheComma",
                  "Display Devices\n   Card name: GPU\nManufacturer: M\nDriver Version: 1.2\n"
                  "Driver Date/Size: 6/15/2023 8:00:00 PM, 1234352 bytes\n",
                  {Card(" GPU", " M", " 1.2", " 6/15/2023 8:00:00 PM")}},
        ParseCase{"ManufacturerBeforeAnyCardIsIgnored",
                  "Display Devices\nManufacturer: early\nCard name: GPU\nDriver Version: 1\nDriver Date/Size: d\n",
                  {Card(" GPU", "", " 1", " d")}},
        ParseCase{"ACardWithoutADateLineIsNotListed",
                  "Display Devices\nCard name: first\nDriver Version: 1\nCard name: second\n"
                  "Driver Date/Size: d2\n",
                  {Card(" second", "", " 1", " d2")}},
        ParseCase{"TheSoundSectionIsNeverRead",
                  "Display Devices\nCard name: GPU\nManufacturer: M\nSound Devices\nDriver Version: 6.0\n"
                  "Driver Date/Size: 9/22/2021\n",
                  {}},
        ParseCase{"LabelsMatchWhateverTheirCase",
                  "DISPLAY DEVICES\nCARD NAME: G\nmanufacturer: m\ndriver version: 1\ndriver date/size: d,x\n",
                  {Card(" G", " m", " 1", " d")}},
        ParseCase{"BytesAboveAsciiBecomeUtf8",
                  "Display Devices\nCard name: Radeon\xAE\nDriver Date/Size: d\n",
                  {Card(" Radeon\xC2\xAE", "", "", " d")}},
        ParseCase{"AnOverlongLineIsSkipped",
                  "Display Devices\nCard name: G\nManufacturer: M\nManufacturer: " + std::string(100000, 'x') +
                      "\nDriver Date/Size: d\n",
                  {Card(" G", " M", "", " d")}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

// RunDxdiag with the diagnostic tool stand-in beside this program.
class RunDxdiagTest : public testing::Test {
 protected:
  void SetUp() override {
    base::PathManager::GetInstance().Init(probe_rig::UniqueName(L"QlProbe"));
    std::filesystem::remove(DxdiagReportPath());
    probe_rig::SetEnv(L"QL_DXDIAG_LOG", log_folder_.path() + L"\\dxdiag.log");
  }
  void TearDown() override {
    probe_rig::EndProcesses(Starts());
    probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"");
  }
  std::vector<std::string> Starts() const {
    return probe_rig::Lines(probe_rig::ReadFileBytes(log_folder_.path() + L"\\dxdiag.log"));
  }

  testing_process::TempFolder log_folder_;
};

std::wstring Fixture(const char* name) { return testing_process::DosPath(std::string(QL_PROBE_FIXTURES_DIR) + "/" + name); }

const std::vector<GraphicCardRecord> kOneCard = {
    Card(" NVIDIA GeForce GTX 1660 SUPER", " NVIDIA", " 31.0.15.3623", " 6/15/2023 8:00:00 PM")};
const std::vector<GraphicCardRecord> kTwoCards = {
    Card(" Intel(R) UHD Graphics", " Intel Corporation", " 31.0.101.2111", " 7/12/2022 8:00:00 PM"),
    Card(" NVIDIA GeForce RTX 2060", " NVIDIA", " 31.0.15.5222", " 3/12/2024 8:00:00 PM")};

struct ReportCase {
  const char* name;
  std::wstring mode;
  std::vector<GraphicCardRecord> cards;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class RunDxdiagCaseTest : public RunDxdiagTest, public testing::WithParamInterface<ReportCase> {};

TEST_P(RunDxdiagCaseTest, GivesTheCardsOfTheReportTheToolWrote) {
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", GetParam().mode);
  EXPECT_EQ(RunDxdiag(), GetParam().cards);
  EXPECT_EQ(Starts().size(), 1u);  // the stand-in, not the system's tool
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunDxdiagCaseTest,
    testing::Values(ReportCase{"OneCard", L"copy:" + Fixture("dxdiag_one_card.txt"), kOneCard},
                    ReportCase{"TwoCards", L"copy:" + Fixture("dxdiag_two_cards.txt"), kTwoCards},
                    // 10 MiB lines around and inside the section change nothing.
                    ReportCase{"TenMegabyteLines", L"big:" + Fixture("dxdiag_two_cards.txt"), kTwoCards},
                    ReportCase{"BinaryReport", L"binary", {}},
                    ReportCase{"ToolWritesNothing", L"silent", {}},
                    ReportCase{"ToolFails", L"fail", {}}),
    [](const testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

TEST_F(RunDxdiagTest, AReportLeftByAnEarlierRunIsNotReadWhenTheToolFails) {
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_one_card.txt"));
  ASSERT_EQ(RunDxdiag().size(), 1u);
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"fail");
  EXPECT_TRUE(RunDxdiag().empty());
}

TEST_F(RunDxdiagTest, ATemporaryFolderWithABlankStillGetsTheReport) {
  testing_process::TempFolder temp;
  const std::wstring blank_folder = temp.path() + L"\\user name";
  ASSERT_TRUE(::CreateDirectoryW(blank_folder.c_str(), nullptr));
  wchar_t saved_tmp[MAX_PATH] = {}, saved_temp[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH);
  ::GetEnvironmentVariableW(L"TEMP", saved_temp, MAX_PATH);
  ::SetEnvironmentVariableW(L"TMP", blank_folder.c_str());
  ::SetEnvironmentVariableW(L"TEMP", blank_folder.c_str());
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"copy:" + Fixture("dxdiag_one_card.txt"));
  const std::wstring report = DxdiagReportPath();
  const std::vector<GraphicCardRecord> cards = RunDxdiag();
  ::SetEnvironmentVariableW(L"TMP", saved_tmp);
  ::SetEnvironmentVariableW(L"TEMP", saved_temp);
  EXPECT_NE(report.find(L"user name"), std::wstring::npos);
  EXPECT_EQ(cards, kOneCard);
}

TEST_F(RunDxdiagTest, AToolThatNeverEndsHoldsItsCallerOnlyUntilStopped) {
  probe_rig::SetEnv(L"QL_DXDIAG_DOUBLE", L"hang");
  base::ScopedKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> returned{false};
  std::vector<GraphicCardRecord> cards = {Card("x", "x", "x", "x")};
  std::thread scan([&] {
    cards = RunDxdiag(stop.Get());
    returned = true;
  });
  ASSERT_TRUE(probe_rig::WaitFor([&] { return !Starts().empty(); }));
  EXPECT_FALSE(returned);
  ::SetEvent(stop.Get());
  scan.join();
  EXPECT_TRUE(cards.empty());
  EXPECT_TRUE(probe_rig::ProcessRuns(std::stoul(Starts()[0])));  // left to finish by itself
}

}  // namespace
}  // namespace probes
