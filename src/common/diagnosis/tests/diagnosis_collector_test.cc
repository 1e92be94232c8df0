// The collector on a machine of the test's own: component logs planted where
// the path manager puts each component, the package written by the archive
// layer and read back by Debian's 7zz.
#include "src/common/diagnosis/diagnosis_collector.h"

#include <algorithm>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "probes/system_info.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

using namespace diagnosis::testing;

std::set<std::string> AsSet(const std::vector<std::string>& entries) { return {entries.begin(), entries.end()}; }

class CollectorTest : public ::testing::Test {
 protected:
  fs::path client_dir() const { return machine_.install_dir() / L"Application"; }
  fs::path package(const wchar_t* name = L"QuilloraneDiagnosis-1.7z") const { return machine_.product_temp() / name; }

  // One log (or non-log) of every source the collector reads.
  void PlantComponentLogs() const {
    const fs::path version = client_dir() / L"2.1.0.15";
    WriteFile(version / L"logs" / L"client.log", "client log");
    WriteFile(version / L"logs" / L"deep" / L"trace.xlog", "xlog");
    WriteFile(version / L"logs" / L"notes.txt", "not a log");
    WriteFile(version / L"render" / L"render.log", "render");
    WriteFile(version / L"kesmo_main.log", "engine");
    WriteFile(version / L"zephris_drv01.log", "driver");
    WriteFile(version / L"other.log", "not an engine log");
    // Not version folders: three parts, or no number at all.
    WriteFile(client_dir() / L"2.1.0" / L"logs" / L"old.log", "skipped");
    WriteFile(client_dir() / L"cache" / L"logs" / L"cache.log", "skipped");

    const fs::path data = machine_.data_root();
    WriteFile(data / L"Component" / L"Box" / L"logs" / L"setup.log", "setup");
    WriteFile(data / L"app" / L"logs" / L"kesmo.log", "kesmo");
    WriteFile(data / L"app" / L"logs" / L"журнал.log", "not in the ANSI code page");
    WriteFile(data / L"app" / L"logs" / L"tombstone_old" / L"tombstone_7", "tombstone");
    WriteFile(data / L"app" / L"logs" / L"a" / L"dup.log", "first");
    WriteFile(data / L"app" / L"logs" / L"b" / L"dup.log", "second");
    WriteFile(data / L"app" / L"logcatd_1.txt", "android");
    WriteFile(data / L"minaro_data" / L"log" / L"minaro.log", "minaro");

    WriteFile(machine_.product_temp() / L"zephris_install.log", "installer");
    WriteFile(machine_.product_temp() / L"CEF_Zephris.log", "cef");
    WriteFile(machine_.user_temp() / L"AndroidEmulator" / L"emu.log", "render temp");
    WriteFile(machine_.user_temp() / L"tarvenul" / L"cloud.log", "cloud");
  }

  TestMachine machine_;
};

TEST_F(CollectorTest, PackageIsFlatAndHoldsEverySourceUnderItsTag) {
  machine_.PlantSevenZipLibrary();
  PlantComponentLogs();
  const fs::path extra_small = machine_.root() / L"extra" / L"small.bin";
  const fs::path extra_limit = machine_.root() / L"extra" / L"limit.bin";
  WriteSizedFile(extra_small, kMaxExtraFileBytes - 1);
  WriteSizedFile(extra_limit, kMaxExtraFileBytes);

  ASSERT_TRUE(CollectDiagnosis(package().wstring(),
                               {extra_small.wstring(), extra_limit.wstring(), (machine_.root() / L"absent").wstring(),
                                machine_.root().wstring()}));

  const std::set<std::string> expected = {
      "diagnosis.log",
      "[zephris-2.1.0.15]client.log",
      "[zephris-2.1.0.15]trace.xlog",
      "[kesmo-2.1.0.15]render.log",
      "[kesmo-2.1.0.15]kesmo_main.log",
      "[kesmo-2.1.0.15]zephris_drv01.log",
      "[setup-Box]setup.log",
      "[kesmo]kesmo.log",
      "[kesmo]журнал.log",
      "[kesmo]tombstone_7",
      "[kesmo]dup.log",
      "[kesmo_android]logcatd_1.txt",
      "[minaro]minaro.log",
      "[temp-install]zephris_install.log",
      "[temp-cef]CEF_Zephris.log",
      "[render]emu.log",
      "[cloud_sdk]cloud.log",
      "small.bin",
  };
  const std::vector<std::string> entries = ListPackage(package());
  // Flat: no folder entries (the tombstone_old folder stays out), one entry per name.
  EXPECT_EQ(AsSet(entries), expected);
  EXPECT_EQ(entries.size(), expected.size());
  // The work folder is gone; the package stays.
  EXPECT_FALSE(fs::exists(machine_.product_temp() / L"QuilloraneDiagnosis"));

  const fs::path out = machine_.root() / L"out";
  ExtractPackage(package(), out);
  EXPECT_EQ(ReadFile(out / L"[zephris-2.1.0.15]client.log"), "client log");
  EXPECT_EQ(ReadFile(out / L"[kesmo]журнал.log"), "not in the ANSI code page");
  EXPECT_EQ(fs::file_size(out / L"small.bin"), kMaxExtraFileBytes - 1);
  const std::string dup = ReadFile(out / L"[kesmo]dup.log");
  EXPECT_TRUE(dup == "first" || dup == "second") << dup;
}

TEST_F(CollectorTest, DiagnosisLogHasItsLinesInOrder) {
  auto& paths = base::PathManager::GetInstance();
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, machine_.product_key(), L"Version", L"3.2.1.0"));
  // Stored as a QWORD; the report shows its low 32 bits without a sign.
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, machine_.product_key(), L"ChannelId", 0x1FFFFFFF0ull));
  const fs::path work = machine_.root() / L"work";
  fs::create_directories(work);
  WriteFile(work / L"diagnosis.log", std::string(10000, 'x'));  // truncated, not appended to

  WriteDiagnosisLog(work);

  const std::string text = ReadFile(work / L"diagnosis.log");
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  ASSERT_GE(lines.size(), 11u) << text;
  EXPECT_EQ(lines[0].rfind("CPU: ", 0), 0u);
  EXPECT_EQ(lines[1], "windows version: " + base::GetOsVersionString());
  EXPECT_EQ(lines[2], "GPU: ");
  const auto main_version = std::find(lines.begin(), lines.end(), "MainVersion: 3.2.1.0");
  ASSERT_NE(main_version, lines.end()) << text;
  auto next = main_version + 1;
  EXPECT_EQ(*next++, "ZephrisVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kClient)));
  EXPECT_EQ(*next++, "ImageVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kImage)));
  EXPECT_EQ(*next++, "AboxVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kBox)));
  EXPECT_EQ(*next++, "GUID: " + VireonClient::VireonDeviceId());
  EXPECT_EQ(*next++, "ChannelId: 4294967280");
  EXPECT_EQ(*next++, "env detect desc: ");
  // The system section: one "label: value" line per pair of the system probes.
  const probes::SystemInfoList system = probes::BuildSystemInfoText("");
  ASSERT_FALSE(system.empty());
  for (const auto& [label, value] : system) {
    ASSERT_NE(next, lines.end());
    EXPECT_EQ(next->rfind(base::WideToAnsi(label) + ": ", 0), 0u) << *next;
    ++next;
  }
  // The product's processes: none of this name runs on a test machine.
  ASSERT_NE(next, lines.end());
  EXPECT_EQ(*next++, "TuvoBoxHeadless.exe cpu:-1 private memory:0");
  for (const char* name : {"QuilloraneEmulator.exe cpu:", "Quillorane.exe cpu:"}) {
    ASSERT_NE(next, lines.end());
    EXPECT_EQ(next->rfind(name, 0), 0u) << *next;
    EXPECT_NE(next->find(" private memory:"), std::string::npos) << *next;
    ++next;
  }
  ASSERT_NE(next, lines.end());
  EXPECT_EQ(next->rfind("system cpu usage:", 0), 0u) << *next;
  const int usage = std::stoi(next->substr(17));
  EXPECT_GE(usage, 0);
  EXPECT_LE(usage, 100);
}

// Wine cannot export event logs: the failure is printed for each channel and
// the package is still written with everything else.
TEST_F(CollectorTest, FailedEventLogExportIsPrintedAndThePackageStillWritten) {
  machine_.PlantSevenZipLibrary();
  const fs::path work = machine_.root() / L"work";
  fs::create_directories(work);
  ::testing::internal::CaptureStdout();
  ExportEventLogs(work);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  if (fs::exists(work / L"Application.evtx")) GTEST_SKIP() << "this system exports event logs";
  EXPECT_EQ(printed,
            "EvtExportLog failed for initial export with 120.\n"
            "EvtExportLog failed for initial export with 120.\n");

  ASSERT_TRUE(CollectDiagnosis(package().wstring(), {}));
  EXPECT_EQ(ListPackage(package()), std::vector<std::string>{"diagnosis.log"});
}

TEST_F(CollectorTest, MissingSevenZipLibraryFailsCleanlyAndRemovesTheOldPackage) {
  base::ProductLogger& log = base::ProductLogger::GetInstance();
  const std::string log_name = "diagnosis_collector_test_" + std::to_string(::GetCurrentProcessId());
  log.Start(log_name, std::ios::trunc);
  WriteFile(package(), "an older package");
  PlantComponentLogs();

  EXPECT_FALSE(CollectDiagnosis(package().wstring(), {}));

  const fs::path log_path = log.path();
  log.Stop();
  EXPECT_FALSE(fs::exists(package()));
  EXPECT_FALSE(fs::exists(machine_.product_temp() / L"QuilloraneDiagnosis"));
  const std::string logged = ReadFile(log_path);
  std::error_code ec;
  fs::remove(log_path, ec);
  EXPECT_NE(logged.find("diagnosis package not written: no 7-Zip library at "), std::string::npos) << logged;
}

// A library that is no 7-Zip engine fails in the archive layer: false, and
// the work folder is removed all the same.
TEST_F(CollectorTest, BrokenSevenZipLibraryGivesFalse) {
  WriteFile(machine_.install_resources() / L"7za.dll", "MZ but nothing else");
  EXPECT_FALSE(CollectDiagnosis(package().wstring(), {}));
  EXPECT_FALSE(fs::exists(machine_.product_temp() / L"QuilloraneDiagnosis"));
}

// Two collections into one folder share the work folder's name; neither may
// remove the other's work while it is being filled.
TEST_F(CollectorTest, OverlappingCollectionsEachWriteAWholePackage) {
  machine_.PlantSevenZipLibrary();
  PlantComponentLogs();
  // Enough files that the collections' copying overlaps.
  for (int i = 0; i < 300; ++i) {
    WriteFile(machine_.data_root() / L"app" / L"logs" / L"many" / (L"m" + std::to_wstring(i) + L".log"), "many");
  }
  bool written[4] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      written[i] = CollectDiagnosis(package((L"QuilloraneDiagnosis-" + std::to_wstring(i) + L".7z").c_str()).wstring(), {});
    });
  }
  for (auto& t : threads) t.join();
  std::set<std::string> first;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(written[i]) << i;
    const std::set<std::string> entries =
        AsSet(ListPackage(package((L"QuilloraneDiagnosis-" + std::to_wstring(i) + L".7z").c_str())));
    EXPECT_TRUE(entries.count("diagnosis.log")) << i;
    EXPECT_TRUE(entries.count("[zephris-2.1.0.15]client.log")) << i;
    EXPECT_TRUE(entries.count("[kesmo]m299.log")) << i;
    if (i == 0) first = entries;
    EXPECT_EQ(entries, first) << i;
  }
}

TEST(LogFilterTest, NamesThatPass) {
  const std::pair<const char*, bool> cases[] = {
      {"render.log", true},       {"trace.xlog", true},        {"logcatd", true},         {"logcatd_2024.txt", true},
      {"tombstone_01", true},     {"context_menu.txt", true},  {".log", true},            {"render.LOG", false},
      {"render.log.1", false},    {"render.txt", false},       {"Logcatd_1", false},      {"my_tombstone", false},
      {"log", false},             {"", false},                 {"xlog", false},           {"context_men", false},
  };
  for (const auto& [name, passes] : cases) EXPECT_EQ(IsLogFileName(name), passes) << name;
}

TEST(VersionFolderTest, FourNumbersOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"2.1.0.15", true},  {"0.0.0.0", true},    {"10.20.30.40", true}, {"2.1.0", false},  {"2.1.0.15.1", false},
      {"2.1.0.a", false},  {"v2.1.0.15", false}, {"2.1.0.15 ", false},  {"cache", false},  {"", false},
      {"2..0.15", false},  {"2.1.0.", false},
  };
  for (const auto& [name, is_version] : cases) EXPECT_EQ(IsVersionString(name), is_version) << name;
}

}  // namespace
}  // namespace diagnosis
