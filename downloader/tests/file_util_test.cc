#include "downloader/file_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "downloader/target_file.h"
#include "downloader/tests/rig_support.h"

namespace courier {
namespace {

using namespace courier_test;

TEST(ValidateTargetFilePath, RefusesOnlyBadFileNames) {
  const struct {
    const char* path;
    bool accepted;
  } cases[] = {
      {"C:\\dl\\file.7z", true},
      {"C:/dl/sub/file.7z", true},
      {"C:\\what?\\file.7z", true},  // the folder part is not checked
      {"C:\\dl\\file?.7z", false},
      {"C:\\dl\\a*b", false},
      {"C:\\dl\\a<b", false},
      {"C:\\dl\\a>b", false},
      {"C:\\dl\\a|b", false},
      {"C:\\dl\\a\"b", false},
      {"C:\\dl\\a:b", false},
      {"C:\\dl\\", false},
      {"C:/dl/", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::string full = "unchanged";
    EXPECT_EQ(ValidateTargetFilePath(c.path, &full), c.accepted);
    if (!c.accepted) {
      EXPECT_EQ(full, "unchanged");
    }
  }
  std::string full;
  ASSERT_TRUE(ValidateTargetFilePath("C:/dl/sub/file.7z", &full));
  EXPECT_EQ(full, "C:\\dl\\sub\\file.7z");
}

TEST(ValidateTargetFilePath, MakesRelativePathsAbsolute) {
  wchar_t cwd[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, cwd);
  std::string expected = WideToUtf8(cwd);
  if (expected.back() != '\\') expected += '\\';
  std::string full;
  ASSERT_TRUE(ValidateTargetFilePath("sub/f.bin", &full));
  EXPECT_EQ(full, expected + "sub\\f.bin");
}

TEST(FileUtil, ParentDirectoryCountsOnlyBackslashes) {
  EXPECT_EQ(GetParentDirectory("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(GetParentDirectory("C:/a/b.txt"), "");
  EXPECT_EQ(GetParentDirectory("b.txt"), "");
}

TEST(FileUtil, CreateDirectoriesTakesLongPathPrefixes) {
  TempDir dir;
  EXPECT_TRUE(CreateDirectories(""));
  EXPECT_TRUE(CreateDirectories("\\\\?\\" + dir.path() + "\\x\\\\y\\z"));
  EXPECT_TRUE(FileExists(dir.path() + "\\x\\y\\z"));
  EXPECT_TRUE(CreateDirectories(dir.path() + "\\x\\y\\z"));  // already there
}

TEST(FileUtil, CreateFixedSizeFile) {
  TempDir dir;
  const std::string fresh = dir.file("new\\deeper\\f.bin");
  ASSERT_TRUE(CreateFixedSizeFile(fresh, 12345));
  EXPECT_EQ(FileSize(fresh), 12345);

  const std::string existing = dir.file("old.bin");
  WriteFileBytes(existing, "0123456789");
  ASSERT_TRUE(CreateFixedSizeFile(existing, 4));
  EXPECT_EQ(ReadFileBytes(existing), "0123");
  ASSERT_TRUE(CreateFixedSizeFile(existing, 6));
  EXPECT_EQ(ReadFileBytes(existing), std::string("0123\0\0", 6));
  ASSERT_TRUE(CreateFixedSizeFile(existing, 0));
  EXPECT_EQ(FileSize(existing), 0);
}

TEST(FileUtil, OpenFileUtf8TakesNonAsciiPaths) {
  TempDir dir;
  const std::string path = dir.file("\xE4\xB8\xAD\xE6\x96\x87.bin");  // two CJK characters
  WriteFileBytes(path, "data");
  UniqueFile f = OpenFileUtf8(path, "rb");
  ASSERT_TRUE(f);
  EXPECT_FALSE(OpenFileUtf8("", "rb"));
  EXPECT_FALSE(OpenFileUtf8(path, ""));
  EXPECT_FALSE(OpenFileUtf8(dir.file("missing"), "rb"));
}

TEST(TargetFile, WritesAtPositionsAndRefusesBadWrites) {
  TempDir dir;
  const std::string path = dir.file("t.bin");
  ASSERT_TRUE(CreateFixedSizeFile(path, 10));
  TargetFile file(path);
  EXPECT_EQ(file.write(0, "x", 1), 0) << "closed";
  ASSERT_TRUE(file.open());
  EXPECT_FALSE(file.open()) << "already open";
  EXPECT_EQ(file.write(6, "ghij", 4), 4);
  EXPECT_EQ(file.write(0, "abc", 3), 3);
  EXPECT_EQ(file.write(3, "def", 3), 3);
  EXPECT_EQ(file.write(-1, "z", 1), 0);
  EXPECT_EQ(file.write(2, "z", 0), 0);
  EXPECT_EQ(file.write(2, nullptr, 1), 0);
  EXPECT_EQ(file.size(), 10);
  file.close();
  EXPECT_EQ(ReadFileBytes(path), "abcdefghij");
}

TEST(TargetFile, RenameReplacesTheTarget) {
  TempDir dir;
  WriteFileBytes(dir.file("a.courier"), "new");
  WriteFileBytes(dir.file("a"), "old contents");
  TargetFile file(dir.file("a.courier"));
  ASSERT_TRUE(file.open());
  ASSERT_TRUE(file.renameTo(dir.file("a")));
  EXPECT_EQ(ReadFileBytes(dir.file("a")), "new");
  EXPECT_FALSE(FileExists(dir.file("a.courier")));
}

}  // namespace
}  // namespace courier
