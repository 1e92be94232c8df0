#include "src/zephris_install/src/wrapper/install_ui/install_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallFolder, ProductFolderIsAppendedOnce) {
  struct Case {
    const wchar_t* chosen;
    const wchar_t* folder;
  };
  const Case cases[] = {
      {L"D:\\Games", L"D:\\Games\\Quillorane"},
      {L"D:\\", L"D:\\Quillorane"},
      {L"d:\\", L"d:\\Quillorane"},
      {L"D:\\Games\\", L"D:\\Games\\Quillorane"},
      {L"\\\\server\\share", L"\\\\server\\share\\Quillorane"},
      {L"\\\\server\\share\\", L"\\\\server\\share\\Quillorane"},
  };
  for (const Case& c : cases) EXPECT_EQ(InstallFolderFor(c.chosen), c.folder);
}

TEST(InstallFolder, DriveLetters) {
  EXPECT_EQ(DriveLetterOf(L"D:\\Games"), L'D');
  EXPECT_EQ(DriveLetterOf(L"d:\\Games"), L'D');
  EXPECT_EQ(DriveLetterOf(L"\\\\server\\share"), 0);
  EXPECT_EQ(DriveLetterOf(L"Games"), 0);
  EXPECT_EQ(DriveLetterOf(L"1:\\"), 0);
  EXPECT_EQ(VolumeNameOf(L"e:\\x"), L"E");
  EXPECT_EQ(VolumeNameOf(L"\\\\server\\share\\dir"), L"\\\\server\\share");
}

TEST(InstallFolder, OnlyPlainNamesGoIntoPaths) {
  struct Case {
    const char* name;
    bool plain;
  };
  const Case cases[] = {
      {"com.example.game", true}, {"Quillorane", true},     {"a_b-c.1", true},     {"", false},
      {".", false},               {"..", false},            {"..\\..\\x", false},  {"../x", false},
      {"a/b", false},             {"C:evil", false},        {"name with space", false}, {"名字", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
  EXPECT_FALSE(IsPlainFileName(std::string(129, 'a')));
}

}  // namespace
