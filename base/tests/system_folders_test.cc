#include "base/system_folders.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/tests/settings_test_util.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The payload as the resource compiler embedded it.
std::string Payload() {
  HMODULE self = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(self, MAKEINTRESOURCEW(103), L"CUSTOM");
  if (info == nullptr) return std::string();
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(self, info)));
  return std::string(bytes, ::SizeofResource(self, info));
}

TEST(SystemFoldersTest, ShellFolderIsReported) {
  const std::optional<std::wstring> app_data = base::GetFolderPath(CSIDL_APPDATA);
  ASSERT_TRUE(app_data.has_value());
  EXPECT_TRUE(fs::is_directory(*app_data));
  EXPECT_FALSE(base::GetFolderPath(0x7E).has_value()) << "an unknown folder id";
}

TEST(SystemFoldersTest, ResourceOverwritesAnExistingFileInNewFolders) {
  settings_test::ScopedTempDir temp;
  const std::string payload = Payload();
  ASSERT_GT(payload.size(), 10u);
  const fs::path target = temp.path() / "install-resources" / "nested" / "7za.dll";

  EXPECT_EQ(base::WriteResourceToFile(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), target.wstring(),
                                      L"CUSTOM"),
            0u);
  EXPECT_EQ(ReadFile(target), payload);

  std::ofstream(target, std::ios::binary) << std::string(10000, 'x');
  EXPECT_EQ(base::WriteResourceToFile(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), target.wstring(),
                                      L"CUSTOM"),
            0u);
  EXPECT_EQ(ReadFile(target), payload) << "a longer old file is truncated";
}

TEST(SystemFoldersTest, NothingToWriteIsNotAnError) {
  settings_test::ScopedTempDir temp;
  const HMODULE self = ::GetModuleHandleW(nullptr);
  const fs::path missing_id = temp.path() / "missing" / "out.bin";
  EXPECT_EQ(base::WriteResourceToFile(self, MAKEINTRESOURCEW(999), missing_id.wstring(), L"CUSTOM"), 0u);
  EXPECT_TRUE(fs::is_directory(missing_id.parent_path())) << "the parent folder is made first";
  EXPECT_FALSE(fs::exists(missing_id));

  const fs::path empty = temp.path() / "empty" / "out.bin";
  EXPECT_EQ(base::WriteResourceToFile(self, MAKEINTRESOURCEW(104), empty.wstring(), L"CUSTOM"), 0u);
  EXPECT_FALSE(fs::exists(empty));

  const fs::path no_module = temp.path() / "no_module" / "out.bin";
  EXPECT_EQ(base::WriteResourceToFile(nullptr, MAKEINTRESOURCEW(103), no_module.wstring(), L"CUSTOM"), 0u);
  EXPECT_EQ(base::WriteResourceToFile(self, MAKEINTRESOURCEW(103), no_module.wstring(), L""), 0u);
  EXPECT_EQ(base::WriteResourceToFile(self, MAKEINTRESOURCEW(103), L"", L"CUSTOM"), 0u);
  EXPECT_FALSE(fs::exists(no_module.parent_path()));
}

TEST(SystemFoldersTest, UnwritableTargetGivesTheSystemError) {
  settings_test::ScopedTempDir temp;
  // A folder stands where the file should go.
  const fs::path target = temp.path() / "taken";
  fs::create_directories(target);
  const DWORD error =
      base::WriteResourceToFile(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), target.wstring(), L"CUSTOM");
  EXPECT_NE(error, 0u);
  EXPECT_TRUE(fs::is_directory(target));
}

TEST(SystemFoldersTest, EnsureDirectoryCreatesMissingParents) {
  settings_test::ScopedTempDir temp;
  const fs::path deep = temp.path() / "a" / "b" / "c";
  EXPECT_TRUE(base::EnsureDirectory(deep.wstring()));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(base::EnsureDirectory(deep.wstring())) << "an existing folder";

  const std::wstring trailing = (temp.path() / "d" / "e").wstring() + L"\\";
  EXPECT_TRUE(base::EnsureDirectory(trailing));
  EXPECT_TRUE(fs::is_directory(temp.path() / "d" / "e"));
}

TEST(SystemFoldersTest, EnsureDirectoryLeavesAFileInPlace) {
  settings_test::ScopedTempDir temp;
  const fs::path file = temp.path() / "file.txt";
  std::ofstream(file) << "keep me";
  EXPECT_TRUE(base::EnsureDirectory(file.wstring()));
  EXPECT_TRUE(fs::is_regular_file(file));
  EXPECT_EQ(ReadFile(file), "keep me");
}

TEST(SystemFoldersTest, EnsureDirectoryReportsWhatCannotBeMade) {
  settings_test::ScopedTempDir temp;
  const fs::path file = temp.path() / "file.txt";
  std::ofstream(file) << "a file, not a folder";
  EXPECT_FALSE(base::EnsureDirectory((file / "below").wstring()));
}

}  // namespace
