#include "base/process_util.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <fmt/format.h>
#include <fmt/xchar.h>
#include <gtest/gtest.h>

#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace base {
namespace {

using testing_process::ChildProcess;
using testing_process::HelperCopy;
using testing_process::HelperPath;
using testing_process::ReadFileText;
using testing_process::TempFolder;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A name no other test process uses, so process lookups see only our children.
std::wstring UniqueExeName(const wchar_t* stem) {
  return fmt::format(L"{}{}_{}.exe", stem, ::GetCurrentProcessId(), ::GetTickCount64() % 100000);
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

bool WaitForFile(const std::wstring& path, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!ReadFileText(path).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(ModulePathTest, NamesThisTestProgram) {
  const std::wstring path = GetModulePath();
  EXPECT_EQ(::lstrcmpiW(GetExeFileName().c_str(), L"base_process_test.exe"), 0) << WideToUtf8(path);
  EXPECT_EQ(path.size(), GetCurrentModuleDir().size() + 1 + GetExeFileName().size());
  EXPECT_EQ(path.rfind(GetCurrentModuleDir(), 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(FindProcessTest, MatchesTheExecutableNameWithoutRegardToCase) {
  const std::wstring name = UniqueExeName(L"QlRunning");
  HelperCopy exe(L"ql_child_wait.exe", name);
  EXPECT_EQ(IsProcessRunning(name), 0u);

  ChildProcess child(Quoted(exe.path()));
  ASSERT_TRUE(child.started());
  std::wstring upper = name;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
  EXPECT_EQ(IsProcessRunning(upper), child.id());

  child.Kill();
  EXPECT_EQ(IsProcessRunning(name), 0u);
}

TEST(FindProcessTest, NothingForAnEmptyOrUnknownName) {
  EXPECT_EQ(IsProcessRunning(L""), 0u);
  EXPECT_EQ(IsProcessRunning(L"no_such_program_ql.exe"), 0u);
  EXPECT_TRUE(OpenProcessesByName(L"").empty());
  EXPECT_TRUE(OpenProcessesByName(L"no_such_program_ql.exe").empty());
}

TEST(FindProcessTest, OpensEveryProcessOfThatName) {
  const std::wstring name = UniqueExeName(L"QlTwins");
  HelperCopy exe(L"ql_child_wait.exe", name);
  ChildProcess first(Quoted(exe.path()));
  ChildProcess second(Quoted(exe.path()));
  ASSERT_TRUE(first.started());
  ASSERT_TRUE(second.started());

  std::vector<HANDLE> handles = OpenProcessesByName(name);
  ASSERT_EQ(handles.size(), 2u);
  std::vector<DWORD> ids;
  for (HANDLE h : handles) {
    ScopedKernelHandle owned(h);  // the caller closes them
    ids.push_back(::GetProcessId(h));
    // All access: we may end it.
    EXPECT_TRUE(::TerminateProcess(h, 3));
  }
  std::sort(ids.begin(), ids.end());
  std::vector<DWORD> expected = {first.id(), second.id()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(first.Wait(), 3u);
  EXPECT_EQ(second.Wait(), 3u);
}

TEST(ShellRunTest, WaitingGivesTheExitCodeAndUsesTheFolderAndParameters) {
  TempFolder work;
  const std::wstring report = work.path() + L"\\report.txt";
  const uint32_t code = ShellRunAndWait(HelperPath(L"ql_child_exit.exe"), L"42 " + Quoted(report), true,
                                        work.path(), SW_HIDE);
  EXPECT_EQ(code, 42u);
  const std::string text = ReadFileText(report);
  EXPECT_NE(text.find("cwd=" + WideToUtf8(work.path())), std::string::npos) << text;
  EXPECT_NE(text.find("42 \"" + WideToUtf8(report) + "\""), std::string::npos) << text;
}

TEST(ShellRunTest, WithoutWaitingALaunchGivesZero) {
  TempFolder work;
  const std::wstring report = work.path() + L"\\report.txt";
  EXPECT_EQ(ShellRunAndWait(HelperPath(L"ql_child_exit.exe"), L"42 " + Quoted(report), false, L"", SW_HIDE), 0u);
  EXPECT_TRUE(WaitForFile(report, std::chrono::seconds(20)));  // it did run
}

TEST(ShellRunTest, AFailedLaunchGivesTheSystemError) {
  TempFolder work;
  const uint32_t code = ShellRunAndWait(work.path() + L"\\missing.exe", L"", true, L"", SW_HIDE);
  EXPECT_NE(code, 0u);
  EXPECT_EQ(ShellRunAndWaitBrief(work.path() + L"\\missing.exe", L"", L""), code);
}

TEST(ShellRunTest, BriefRunGivesTheExitCodeOfAShortProgram) {
  EXPECT_EQ(ShellRunAndWaitBrief(HelperPath(L"ql_child_exit.exe"), L"5", L""), 5u);
}

TEST(ShellRunTest, BriefRunGivesStillActiveAfterFiveSeconds) {
  const std::wstring name = UniqueExeName(L"QlBrief");
  HelperCopy exe(L"ql_child_wait.exe", name);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ShellRunAndWaitBrief(exe.path(), L"60000", L""), static_cast<uint32_t>(STILL_ACTIVE));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
  // The shell started it, so it is found by name to end it.
  for (HANDLE h : OpenProcessesByName(name)) {
    ScopedKernelHandle owned(h);
    ::TerminateProcess(h, 1);
    ::WaitForSingleObject(h, 5000);
  }
}

TEST(RunRestrictedTest, MissingProgramGivesFileNotFound) {
  TempFolder work;
  uint32_t exit_code = 77;
  EXPECT_EQ(RunRestricted(work.path() + L"\\missing.exe", L"", &exit_code), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(exit_code, 77u);  // untouched
}

TEST(RunRestrictedTest, StartsTheProgramWithTheAdministratorsGroupDisabled) {
  TempFolder work;
  const std::wstring report = work.path() + L"\\report.txt";
  uint32_t exit_code = 0;
  EXPECT_EQ(RunRestricted(HelperPath(L"ql_child_exit.exe"), L"9 " + Quoted(report), &exit_code), 0u);
  EXPECT_EQ(exit_code, 9u);
  const std::string text = ReadFileText(report);
  EXPECT_NE(text.find("cmd=\"" + WideToUtf8(HelperPath(L"ql_child_exit.exe")) + "\" 9 "), std::string::npos) << text;
  EXPECT_NE(text.find("admin=0"), std::string::npos) << text;
}

TEST(RunRestrictedTest, ExitCodeIsOptional) {
  EXPECT_EQ(RunRestricted(HelperPath(L"ql_child_exit.exe"), L"1"), 0u);
}

class RegisterComDllTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] = L"Software\\QlTest\\ComStub";

  static bool Registered(const std::wstring& dll_name) {
    ScopedRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(key.Get(), dll_name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }

  void TearDown() override {
    ScopedRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS) {
      for (const std::wstring& name : names_) ::RegDeleteValueW(key.Get(), name.c_str());
    }
  }

  std::wstring Track(std::wstring name) {
    names_.push_back(name);
    return name;
  }

  std::vector<std::wstring> names_;
};

TEST_F(RegisterComDllTest, RegistersAndUnregistersThroughRegsvr32) {
  const std::wstring name = Track(fmt::format(L"ql_com_{}.dll", ::GetCurrentProcessId()));
  HelperCopy dll(L"ql_com_stub.dll", name);
  EXPECT_EQ(RegisterComDll(dll.path(), false), 0u);
  EXPECT_TRUE(Registered(name));
  EXPECT_EQ(RegisterComDll(dll.path(), true), 0u);
  EXPECT_FALSE(Registered(name));
}

TEST_F(RegisterComDllTest, AFailingRegistrationGivesRegsvr32sErrorCode) {
  const std::wstring name = Track(fmt::format(L"ql_com_fail_{}.dll", ::GetCurrentProcessId()));
  HelperCopy dll(L"ql_com_stub.dll", name);
  const uint32_t code = RegisterComDll(dll.path(), false);
  EXPECT_NE(code, 0u);
  EXPECT_NE(code, 0xFFFFFFFFu);  // regsvr32 itself did run
  EXPECT_FALSE(Registered(name));
}

TEST(RunAndCaptureTest, CollectsStandardOutputAndStandardError) {
  const std::string command = "\"" + WideToUtf8(HelperPath(L"ql_child_print.exe")) + "\" one \"two words\"";
  EXPECT_EQ(WithoutCarriageReturns(RunAndCapture(command)), "one\ntwo words\nstderr:2\n");
}

TEST(RunAndCaptureTest, DrainsMoreThanThePipeHoldsWhileTheProgramRuns) {
  std::string command = "\"" + WideToUtf8(HelperPath(L"ql_child_print.exe")) + "\"";
  std::string expected;
  for (int i = 0; i < 1500; ++i) {
    const std::string arg = fmt::format("line-{:05}", i);
    command += " " + arg;
    expected += arg + "\n";
  }
  expected += "stderr:1500\n";
  EXPECT_EQ(WithoutCarriageReturns(RunAndCapture(command)), expected);
}

// A command may outlive the program that ran it (the program ends while
// the command still runs); then it must not hold the program's handles, such
// as the standard output its own parent reads to the end.
TEST(RunAndCaptureTest, TheCommandInheritsOnlyItsOutputPipe) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  ScopedKernelHandle event(::CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  const std::string command = fmt::format("\"{}\" {}", WideToUtf8(HelperPath(L"ql_child_handle_check.exe")),
                                          reinterpret_cast<uintptr_t>(event.Get()));
  EXPECT_EQ(WithoutCarriageReturns(RunAndCapture(command)), "closed\n");
}

TEST(RunAndCaptureTest, AProgramThatCannotStartGivesEmptyText) {
  EXPECT_EQ(RunAndCapture("C:\\no\\such\\program_ql.exe"), "");
}

}  // namespace
}  // namespace base
