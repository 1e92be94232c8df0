// The OpenGL check result: stored, run in the background once, and run with
// a stand-in checker planted in the client's version folder. Each case is a
// process of its own (the checks run at most once per process) with a
// product of its own.
#include "probes/opengl_check.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "testing/process/child_process.h"

namespace probes {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kValue[] = L"OpenglDemoResult";

class OpenglCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string("QlOpenglTest") + info->name();
    base::PathManager& paths = base::PathManager::GetInstance();
    paths.Init(std::wstring(name.begin(), name.end()));
    product_key_ = paths.GetRegistryKey(base::ComponentKind::kProduct);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_);
    ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", install_.path()));
    client_dir_ = paths.GetComponentDir(base::ComponentKind::kClient);
    ASSERT_EQ(fs::path(client_dir_).parent_path().parent_path(), fs::path(install_.path()));
  }
  void TearDown() override { base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_); }

  void PlantChecker(int exit_code, bool hold = false) {
    fs::copy_file(testing_process::DosPath(QL_OPENGL_CHECKER_DOUBLE), fs::path(client_dir_) / L"opengl_checker.exe");
    std::ofstream(fs::path(client_dir_) / L"exit_code.txt") << exit_code;
    if (hold) std::ofstream(fs::path(client_dir_) / L"hold.txt") << "hold";
  }
  int Runs() const {
    std::ifstream in(fs::path(client_dir_) / L"runs.txt");
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }
  bool Stored() const { return base::HasHklmQword(base::PathManager::GetInstance().GetEnvKey(), kValue); }
  uint64_t StoredValue() const {
    return base::ReadRegQword(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey(), kValue, 0xDEAD);
  }
  void Store(int32_t value) {
    ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey(), kValue,
                                    static_cast<uint64_t>(static_cast<int64_t>(value))));
  }
  // Bounded only so a broken build ends.
  template <typename Condition>
  static bool WaitFor(Condition condition) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  testing_process::TempFolder install_;
  std::wstring product_key_;
  std::wstring client_dir_;
};

TEST_F(OpenglCheckTest, FirstRunStartsTheCheckAndLaterRunsReadItsCode) {
  PlantChecker(7);
  EXPECT_EQ(GetOpenglDemoResult(), kOpenglDemoResultNone);
  ASSERT_TRUE(WaitFor([&] { return Stored(); }));
  EXPECT_EQ(StoredValue(), 7u);
  EXPECT_EQ(GetOpenglDemoResult(), 7);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(OpenglCheckTest, NegativeExitCodeIsStoredSignExtended) {
  PlantChecker(-3);
  EXPECT_EQ(RunOpenglChecker(), -3);
  EXPECT_EQ(StoredValue(), static_cast<uint64_t>(-3ll));
  EXPECT_EQ(GetOpenglDemoResult(), -3);
}

TEST_F(OpenglCheckTest, CallerNeverWaitsForAHangingCheck) {
  PlantChecker(5, /*hold=*/true);
  EXPECT_EQ(GetOpenglDemoResult(), kOpenglDemoResultNone);
  ASSERT_TRUE(WaitFor([&] { return Runs() == 1; }));  // the check is running and held
  EXPECT_EQ(GetOpenglDemoResult(), kOpenglDemoResultNone);
  EXPECT_FALSE(Stored());
  fs::remove(fs::path(client_dir_) / L"hold.txt");
  ASSERT_TRUE(WaitFor([&] { return Stored(); }));
  EXPECT_EQ(GetOpenglDemoResult(), 5);
}

TEST_F(OpenglCheckTest, StoredZeroIsReturnedAndTheCheckNotRunAgain) {
  PlantChecker(9);
  Store(0);
  EXPECT_EQ(GetOpenglDemoResult(), 0);
  EXPECT_EQ(RunOpenglChecker(), 0);
  EXPECT_EQ(Runs(), 0);
  EXPECT_EQ(StoredValue(), 0u);
}

TEST_F(OpenglCheckTest, StoredFailureCodeIsRunAgainByTheChecker) {
  PlantChecker(0);
  Store(2);
  EXPECT_EQ(GetOpenglDemoResult(), 2);  // a stored code: no background run
  EXPECT_EQ(Runs(), 0);
  EXPECT_EQ(RunOpenglChecker(), 0);     // only a stored 0 stops the checker
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(StoredValue(), 0u);
}

TEST_F(OpenglCheckTest, MissingCheckerStoresNothing) {
  EXPECT_EQ(RunOpenglChecker(), 0);
  EXPECT_FALSE(Stored());
  EXPECT_EQ(GetOpenglDemoResult(), kOpenglDemoResultNone);
}

TEST_F(OpenglCheckTest, CheckerRunsOncePerProcess) {
  PlantChecker(4);
  EXPECT_EQ(RunOpenglChecker(), 4);
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey());
  EXPECT_EQ(RunOpenglChecker(), 4);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(OpenglCheckTest, FolderInPlaceOfTheCheckerIsNoChecker) {
  fs::create_directories(fs::path(client_dir_) / L"opengl_checker.exe");
  EXPECT_EQ(RunOpenglChecker(), 0);
  EXPECT_FALSE(Stored());
}

TEST_F(OpenglCheckTest, CheckerThatCannotStartStoresTheLaunchError) {
  // Not a program at all: the shell's error code becomes the stored result.
  std::ofstream(fs::path(client_dir_) / L"opengl_checker.exe") << "not a program";
  const int32_t result = RunOpenglChecker();
  EXPECT_NE(result, 0);
  EXPECT_EQ(StoredValue(), static_cast<uint64_t>(static_cast<int64_t>(result)));
}

}  // namespace
}  // namespace probes
