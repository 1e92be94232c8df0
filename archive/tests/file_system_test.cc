#include "archive/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/archive_exception.h"
#include "archive/disk_item.h"
#include "archive/disk_item_indexer.h"
#include "archive/tests/test_util.h"

namespace arc {
namespace {

using testing::Exists;
using testing::IsFolder;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(FileSystemTest, CreateDirectoryTreeMakesEveryMissingParent) {
  TempDir dir;
  const std::wstring deep = dir / L"a\\b\\c";
  ASSERT_TRUE(CreateDirectoryTree(deep));
  EXPECT_TRUE(IsFolder(dir / L"a") && IsFolder(dir / L"a\\b") && IsFolder(deep));
  EXPECT_TRUE(CreateDirectoryTree(deep));          // already there
  EXPECT_TRUE(CreateDirectoryTree(deep + L"\\"));  // trailing separator
  EXPECT_TRUE(CreateDirectoryTree(dir / L"x/y"));  // either separator
  EXPECT_TRUE(IsFolder(dir / L"x\\y"));
  EXPECT_TRUE(CreateDirectoryTree(L"C:\\"));  // an existing drive root

  WriteFileBytes(dir / L"a\\file", "x");
  EXPECT_FALSE(CreateDirectoryTree(dir / L"a\\file\\sub"));
  EXPECT_FALSE(CreateDirectoryTree(dir / L"a\\file"));  // a file stands where the folder goes

  // A drive letter that Wine does not map.
  for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
    const std::wstring root = std::wstring(1, letter) + L":\\";
    if (::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR) continue;
    EXPECT_FALSE(CreateDirectoryTree(root));
    EXPECT_FALSE(CreateDirectoryTree(root + L"a\\b"));
    break;
  }
}

TEST(FileSystemTest, DeleteFileForceRemovesReadOnlyFilesButNotFolders) {
  TempDir dir;
  const std::wstring file = dir / L"ro.txt";
  WriteFileBytes(file, "read only");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(DeleteFileForce(file));
  EXPECT_FALSE(Exists(file));
  ASSERT_TRUE(CreateDirectoryTree(dir / L"folder"));
  EXPECT_FALSE(DeleteFileForce(dir / L"folder"));
  EXPECT_TRUE(IsFolder(dir / L"folder"));
}

TEST(FileSystemTest, FindFileInfoDescribesFilesFoldersAndDrives) {
  TempDir dir;
  WriteFileBytes(dir / L"data.bin", std::string(1234, 'z'));
  FileInfo info;
  ASSERT_TRUE(FindFileInfo(dir / L"data.bin", info));
  EXPECT_EQ(info.size, 1234u);
  EXPECT_EQ(info.name, L"data.bin");
  EXPECT_FALSE(info.IsDir());
  EXPECT_FALSE(info.is_alt_stream);

  ASSERT_TRUE(FindFileInfo(dir.Path(), info));
  EXPECT_TRUE(info.IsDir());

  ASSERT_TRUE(FindFileInfo(L"C:\\", info));
  EXPECT_EQ(info.name, L"C:");
  EXPECT_TRUE(info.IsDir());

  EXPECT_FALSE(FindFileInfo(dir / L"missing.bin", info));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileSystemTest, FindFileInfoOnAStreamNameNeverReportsTheFileItself) {
  TempDir dir;
  WriteFileBytes(dir / L"file.txt", "main data");
  FileInfo info;
  // Alternate streams depend on the file system; where there is none the
  // lookup must fail rather than describe the plain file.
  if (FindFileInfo(dir / L"file.txt:extra", info)) {
    EXPECT_TRUE(info.is_alt_stream);
    EXPECT_EQ(info.name, L"file.txt:extra");
  } else {
    SUCCEED();
  }
  EXPECT_FALSE(FindFileInfo(dir / L"nothing.txt:extra", info));
}

TEST(FileSystemTest, PathPrefixes) {
  using namespace path_prefix;
  struct Row {
    const wchar_t* path;
    size_t root;
  };
  const Row rows[] = {
      {L"C:\\a\\b", 3},           {L"c:/a", 3},
      {L"relative\\x", 0},        {L"\\rooted", 1},
      {L"\\\\server\\share\\x", 15}, {L"\\\\server", 0},
      {L"\\\\.\\COM1", 4},        {L"\\\\?\\C:\\x", 7},
      {L"\\\\?\\UNC\\srv\\sh\\x", 15}, {L"", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(RootPrefixLength(row.path), row.root);
  }
  EXPECT_EQ(ServerPrefixLength(L"\\\\server\\share"), 7u);
  EXPECT_EQ(ServerPrefixLength(L"\\\\?\\UNC\\srv\\share"), 4u);
  EXPECT_EQ(ServerPrefixLength(L"\\\\.\\pipe"), 0u);
  EXPECT_TRUE(IsDriveRootPath(L"C:\\"));
  EXPECT_TRUE(IsDriveRootPath(L"\\\\?\\D:\\"));
  EXPECT_FALSE(IsDriveRootPath(L"C:\\a"));
  EXPECT_EQ(FindSeparator(L"ab/c\\d"), 2u);
  EXPECT_EQ(FindSeparator(L"abc"), std::wstring::npos);
}

TEST(FileSystemTest, NameWithoutExtension) {
  const struct {
    const wchar_t* path;
    const wchar_t* name;
  } rows[] = {
      {L"C:\\dl\\core.7z", L"core"},
      {L"dl/core.tar.gz", L"core.tar"},  // only the last extension goes
      {L"C:\\my.dl\\core", L"core"},  // a dot in a folder name is not an extension
      {L"core", L"core"},
      {L"folder\\", L""},
      {L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(NameWithoutExtension(row.path), row.name);
  }
}

TEST(DiskItemTest, PathsInsideTheArchive) {
  TempDir dir;
  WriteFileBytes(dir / L"one.txt", "1");
  ASSERT_TRUE(CreateDirectoryTree(dir / L"folder\\sub"));

  EXPECT_EQ(DiskItem(dir / L"one.txt").InArchivePath(), L"one.txt");  // absolute: bare name
  const DiskItem folder(dir / L"folder\\");
  EXPECT_EQ(folder.Path(), dir / L"folder");
  EXPECT_TRUE(folder.IsDir());
  EXPECT_EQ(DiskItem(dir / L"one.txt", L"renamed.txt").InArchivePath(), L"renamed.txt");

  // Relative paths keep their folders unless they hold a "." before a separator.
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
  EXPECT_EQ(DiskItem(L"folder\\sub").InArchivePath(), L"folder\\sub");
  EXPECT_EQ(DiskItem(L".\\one.txt").InArchivePath(), L"one.txt");
  EXPECT_EQ(DiskItem(L"folder\\..\\one.txt").InArchivePath(), L"one.txt");
  ::SetCurrentDirectoryW(previous);

  try {
    DiskItem missing(dir / L"missing");
    ADD_FAILURE() << "no exception";
  } catch (const ArchiveException& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid path '" + WideToUtf8(dir / L"missing") + "'!");
    EXPECT_EQ(e.ErrorCode(), HResultFromWin32(ERROR_FILE_NOT_FOUND));
  }
}

TEST(DiskItemIndexerTest, ListsFoldersAndMatchesWildcards) {
  TempDir dir;
  ASSERT_TRUE(CreateDirectoryTree(dir / L"root\\inner"));
  WriteFileBytes(dir / L"root\\a.txt", "a");
  WriteFileBytes(dir / L"root\\b.log", "b");
  WriteFileBytes(dir / L"root\\inner\\c.txt", "c");

  std::vector<DiskItem> all = IndexDiskPaths({dir / L"root"}, false);
  std::vector<std::wstring> names;
  for (const DiskItem& item : all) names.push_back(item.InArchivePath());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"root", L"root\\a.txt", L"root\\b.log", L"root\\inner",
                                              L"root\\inner\\c.txt"}));
  EXPECT_TRUE(IndexDiskPaths({dir / L"root"}, true).empty());

  std::vector<DiskItem> txt;
  DiskItemIndexer(DiskItem(dir / L"root"), L"*.txt").ListDirectory(txt, true, L"");
  names.clear();
  for (const DiskItem& item : txt) names.push_back(item.Name());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"a.txt", L"c.txt"}));

  EXPECT_THROW(DiskItemIndexer(DiskItem(dir / L"root\\a.txt"), L""), ArchiveException);

  struct Match {
    const wchar_t* pattern;
    const wchar_t* name;
    bool matches;
  };
  const Match matches[] = {{L"", L"x", true},          {L"*", L"", true},          {L"a?c", L"abc", true},
                           {L"a?c", L"ac", false},     {L"*.txt", L"a.txt", true}, {L"*.txt", L"a.TXT", false},
                           {L"a*b*c", L"axxbyyc", true}, {L"a*b*c", L"axxbyy", false}};
  for (const Match& m : matches) {
    EXPECT_EQ(WildcardMatch(m.pattern, m.name), m.matches) << m.pattern << " / " << m.name;
  }
}

}  // namespace
}  // namespace arc
