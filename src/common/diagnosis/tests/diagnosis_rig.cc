#include "src/common/diagnosis/tests/diagnosis_rig.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace diagnosis::testing {

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSizedFile(const fs::path& path, uint64_t size) {
  fs::create_directories(path.parent_path());
  base::ScopedKernelHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid()) << path;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  ASSERT_TRUE(::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(::SetEndOfFile(file.Get()));
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

TestMachine::TestMachine()
    : root_(L"Z:\\tmp\\ql-diagnosis-" + std::to_wstring(::GetCurrentProcessId())),
      product_name_(L"QuilloraneDiagnosisTest" + std::to_wstring(::GetCurrentProcessId())) {
  std::error_code ec;
  fs::remove_all(root_, ec);
  fs::create_directories(user_temp());
  // The temporary folder of this process only: the product's temporary
  // folder, the render and cloud logs and the packages all go below it.
  ::SetEnvironmentVariableW(L"TMP", user_temp().c_str());
  ::SetEnvironmentVariableW(L"TEMP", user_temp().c_str());
  auto& paths = base::PathManager::GetInstance();
  paths.Init(product_name_);
  const std::wstring key = product_key();
  EXPECT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, key, L"InstallPath", install_dir().wstring()));
  EXPECT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, key, L"QuilloraneData", data_root().wstring()));
}

TestMachine::~TestMachine() {
  const std::wstring app_data = base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kSelf);
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key());
  base::DeleteRegTree(HKEY_CURRENT_USER, product_key());
  std::error_code ec;
  fs::remove_all(root_, ec);
  fs::remove_all(app_data, ec);
}

std::wstring TestMachine::product_key() const {
  return base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
}

void TestMachine::PlantSevenZipLibrary() const {
  const char* dll = std::getenv("QL_SEVENZIP_DLL");
  ASSERT_NE(dll, nullptr);
  fs::create_directories(install_resources());
  fs::copy_file(fs::path(L"Z:") / base::Utf8ToWide(dll), install_resources() / L"7za.dll",
                fs::copy_options::overwrite_existing);
}

std::string UnixPath(const fs::path& dos_path) {
  std::wstring text = dos_path.wstring();
  if (text.size() >= 2 && (text[0] == L'Z' || text[0] == L'z') && text[1] == L':') text = text.substr(2);
  for (wchar_t& c : text) {
    if (c == L'\\') c = L'/';
  }
  return base::WideToUtf8(text);
}

ShellResult RunShell(const std::string& script) {
  static int runs = 0;
  const fs::path folder =
      L"Z:\\tmp\\ql-diagnosis-shell-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
  fs::create_directories(folder);
  const std::string out = UnixPath(folder / L"out");
  const std::string rc = UnixPath(folder / L"rc");
  // Wine gives no handle to a native program: the shell leaves its exit
  // code in a file. It lets go of the inherited standard handles first, which
  // ctest waits for.
  const std::string body = "exec </dev/null >/dev/null 2>&1; { " + script + "; } >" + out + " 2>&1; echo $? >" +
                           rc + ".part && mv " + rc + ".part " + rc;
  std::wstring command = L"Z:\\bin\\sh -c \"" + base::Utf8ToWide(body) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ShellResult result;
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "sh did not start: " << ::GetLastError();
    return result;
  }
  base::ScopedKernelHandle thread(process.hThread);
  base::ScopedKernelHandle handle(process.hProcess);
  if (WaitFor([&] { return fs::exists(folder / L"rc"); }, std::chrono::seconds(60))) {
    result.exit_code = std::atoi(ReadFile(folder / L"rc").c_str());
    result.output = ReadFile(folder / L"out");
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
  return result;
}

std::vector<std::string> ListPackage(const fs::path& package) {
  const ShellResult listed = RunShell("LC_ALL=C.UTF-8 7zz l -slt '" + UnixPath(package) + "'");
  EXPECT_EQ(listed.exit_code, 0) << listed.output;
  std::vector<std::string> entries;
  std::istringstream lines(listed.output);
  std::string line;
  bool in_entries = false;  // the archive's own "Path = " comes before the "----------" line
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "----------") in_entries = true;
    if (in_entries && line.rfind("Path = ", 0) == 0) entries.push_back(line.substr(7));
  }
  return entries;
}

void ExtractPackage(const fs::path& package, const fs::path& folder) {
  const ShellResult extracted =
      RunShell("LC_ALL=C.UTF-8 7zz x -y -bd '" + UnixPath(package) + "' -o'" + UnixPath(folder) + "'");
  EXPECT_EQ(extracted.exit_code, 0) << extracted.output;
}

}  // namespace diagnosis::testing
