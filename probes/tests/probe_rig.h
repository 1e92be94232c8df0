// Support of the probe tests: a product name of the case's own (its registry
// keys, install folder and facts), the client's executable stand-in in the
// client's version folder, the stand-ins' environment switches, and child
// processes found through the stand-ins' start logs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace probe_rig {

// "<prefix><TestName><pid>": unique among the cases ctest runs side by side.
inline std::wstring UniqueName(const std::wstring& prefix) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info != nullptr ? info->name() : "NoTest";
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return prefix + base::Utf8ToWide(name) + std::to_wstring(::GetCurrentProcessId());
}

inline void SetEnv(const wchar_t* name, const std::wstring& value) {
  ::SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

inline std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Waits (up to a generous bound, never as a measure) until `done` holds.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::seconds bound = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Ends the process of each id (the "<pid>..." lines of a stand-in's start log).
inline void EndProcesses(const std::vector<std::string>& log_lines) {
  for (const std::string& line : log_lines) {
    const DWORD pid = static_cast<DWORD>(std::stoul(line));
    base::ScopedKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (process) {
      ::TerminateProcess(process.Get(), 1);
      ::WaitForSingleObject(process.Get(), 5000);
    }
  }
}

inline bool ProcessRuns(DWORD pid) {
  base::ScopedKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

// A product of the case's own: its keys in HKCU and HKLM, an install folder in
// a temporary folder, removed at the end.
class ProductFixture : public testing::Test {
 protected:
  void SetUp() override {
    product_ = UniqueName(L"QlProbe");
    base::PathManager::GetInstance().Init(product_);
    product_key_ = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
    ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", install_.path()));
  }
  void TearDown() override {
    base::DeleteRegTree(HKEY_CURRENT_USER, product_key_);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_);
  }

  // Puts the client's executable stand-in into the client's version folder.
  std::wstring InstallQuilloranix() {
    const std::wstring folder = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
    const std::wstring path = folder + L"\\Quilloranix.exe";
    EXPECT_TRUE(::CopyFileW(testing_process::DosPath(QL_QUILLORANIX_DOUBLE_PATH).c_str(), path.c_str(), FALSE))
        << ::GetLastError();
    SetEnv(L"QL_QUILLORANIX_LOG", QuilloranixLog());
    SetEnv(L"QL_QUILLORANIX_KEY", base::PathManager::GetInstance().GetEnvKey() + L"\\GraphicInfo\\Quilloranix.exe");
    return path;
  }
  std::wstring QuilloranixLog() const { return log_folder_.path() + L"\\quilloranix.log"; }
  std::vector<std::string> QuilloranixStarts() const { return Lines(ReadFileBytes(QuilloranixLog())); }

  std::wstring StampKey() const { return product_key_ + L"\\Duration"; }
  static constexpr wchar_t kStampName[] = L"FetchOpenglInfoQuilloranix.exe";

  std::wstring product_;
  std::wstring product_key_;
  testing_process::TempFolder install_;
  testing_process::TempFolder log_folder_;
};

inline uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace probe_rig
