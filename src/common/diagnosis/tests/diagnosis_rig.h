// The test side of the diagnosis module: a machine of this test process's own
// (product key, install folder, data root and temporary folder under /tmp,
// which Wine shows as Z:\tmp), files planted in it, and Debian's 7zz run on a
// package through /bin/sh.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace diagnosis::testing {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);
// A file of `size` bytes (zeros), made without writing them one by one.
void WriteSizedFile(const fs::path& path, uint64_t size);

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// The process's product name, registry values and folders, removed at the end.
class TestMachine {
 public:
  TestMachine();
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  const fs::path& root() const { return root_; }  // Z:\tmp\ql-diagnosis-<pid>
  fs::path install_dir() const { return root_ / L"install"; }
  fs::path data_root() const { return root_ / L"data"; }
  fs::path user_temp() const { return root_ / L"temp"; }
  // <temp>\Orvalis\Quillorane
  fs::path product_temp() const { return user_temp() / L"Orvalis" / L"Quillorane"; }
  // Where the installer writes the 7-Zip library during an install.
  fs::path install_resources() const { return product_temp() / L"install-resources"; }
  std::wstring product_key() const;

  // The engine library of the build, copied where the installer writes it.
  void PlantSevenZipLibrary() const;

 private:
  fs::path root_;
  std::wstring product_name_;
};

// The Linux path of a Z:\ path.
std::string UnixPath(const fs::path& dos_path);

struct ShellResult {
  int exit_code = -1;  // -1: the shell did not finish in time
  std::string output;
};
// Runs `script` under /bin/sh with its output kept, and waits for it.
ShellResult RunShell(const std::string& script);

// The entries of a 7z archive as 7zz lists them (paths, in archive order);
// fails the test when 7zz does not accept the archive.
std::vector<std::string> ListPackage(const fs::path& package);
// 7zz extracts the archive into `folder`.
void ExtractPackage(const fs::path& package, const fs::path& folder);

}  // namespace diagnosis::testing
