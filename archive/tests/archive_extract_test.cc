// Extraction of archives made by Debian's 7zz (testing/archive), through the
// engine library the product carries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_exception.h"
#include "archive/archive_extractor.h"
#include "archive/archive_format.h"
#include "archive/input_archive.h"
#include "archive/seven_zip_library.h"
#include "archive/tests/test_util.h"

namespace arc {
namespace {

using testing::EnginePath;
using testing::Exists;
using testing::Failure;
using testing::IsFolder;
using testing::ListTree;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

class ArchiveExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = testing::LinuxFolderFromEnv("QL_ARCHIVE_TEST_DATA");
    ASSERT_FALSE(data_.empty()) << "QL_ARCHIVE_TEST_DATA is not set";
    ASSERT_TRUE(Exists(data_ + L"\\tree.7z")) << "the test archives were not made";
  }
  std::wstring Data(const std::wstring& name) const { return data_ + L"\\" + name; }

  std::wstring data_;
  SevenZipLibrary library_{EnginePath()};
};

TEST_F(ArchiveExtractTest, ExtractsATreeWithEveryKindOfItem) {
  TempDir out;
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  extractor.ExtractArchive(Data(L"tree.7z"), out.Path());

  const std::wstring src = Data(L"src\\tree");
  const std::vector<std::wstring> expected = ListTree(src);
  ASSERT_EQ(ListTree(out.Path()), expected);
  ASSERT_GT(expected.size(), 300u);
  for (const std::wstring& item : expected) {
    if (IsFolder(src + L"\\" + item)) {
      EXPECT_TRUE(IsFolder(out / item)) << item;
      continue;
    }
    ASSERT_EQ(ReadFileBytes(out / item), ReadFileBytes(src + L"\\" + item)) << item;
  }
  EXPECT_TRUE(IsFolder(out / L"empty folder"));
  EXPECT_EQ(ReadFileBytes(out / L"empty.txt"), "");
  EXPECT_EQ(ReadFileBytes(out / L"données\\日本語\\ファイル.txt"), "Grüße aus dem Archiv\n");
  EXPECT_EQ(ReadFileBytes(out / L"large.bin").size(), 24u << 20);

  // The stored modification time is applied, to the 100 ns.
  EXPECT_EQ(testing::FileTimeValue(testing::ModificationTime(out / L"nested\\file-001.txt")),
            testing::FileTimeValue(testing::ModificationTime(src + L"\\nested\\file-001.txt")));
}

TEST_F(ArchiveExtractTest, ReplacesFilesAndAppliesStoredAttributes) {
  TempDir out;
  WriteFileBytes(out / L"one.txt", "an older, longer version of the file");
  ASSERT_TRUE(::SetFileAttributesW((out / L"one.txt").c_str(), FILE_ATTRIBUTE_READONLY));

  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  // A trailing separator on the output folder changes nothing.
  extractor.ExtractArchive(Data(L"small.7z"), out.Path() + L"\\");
  EXPECT_EQ(ReadFileBytes(out / L"one.txt"), "first small file\n");
  EXPECT_EQ(ReadFileBytes(out / L"two.txt"), "second small file\n");
  const DWORD two = ::GetFileAttributesW((out / L"two.txt").c_str());
  ASSERT_NE(two, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(two & FILE_ATTRIBUTE_READONLY, 0u) << "stored read-only bit";
}

TEST_F(ArchiveExtractTest, EmptyOutputFolderMeansTheCurrentFolder) {
  TempDir out;
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(out.Path().c_str()));
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  EXPECT_NO_THROW(extractor.ExtractArchive(Data(L"small.7z"), L""));
  ::SetCurrentDirectoryW(previous);
  EXPECT_EQ(ReadFileBytes(out / L"one.txt"), "first small file\n");
}

TEST_F(ArchiveExtractTest, AnItemWithoutStoredNameIsNamedAfterTheArchive) {
  TempDir out;
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  extractor.ExtractArchive(Data(L"core.7z"), out.Path());
  EXPECT_EQ(ReadFileBytes(out / L"core"), "item without a stored name\n");
}

TEST_F(ArchiveExtractTest, AFolderWhereAFileGoesFailsTheExtraction) {
  TempDir out;
  ASSERT_TRUE(::CreateDirectoryW((out / L"one.txt").c_str(), nullptr));
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(L"small.7z"), out.Path()); });
  EXPECT_EQ(std::string(e.what()), "Cannot delete output file " + WideToUtf8(out / L"one.txt"));
  EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(E_ABORT));
  EXPECT_TRUE(IsFolder(out / L"one.txt"));
}

TEST_F(ArchiveExtractTest, ADamagedItemIsLeftOnDiskAndReportedAsCrcFailure) {
  TempDir out;
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(L"crc-damaged.7z"), out.Path()); });
  EXPECT_STREQ(e.what(), "CRC Failed");
  EXPECT_NE(e.ErrorCode(), 0);
  EXPECT_EQ(ReadFileBytes(out / L"payload.bin").size(), 4096u);
}

TEST_F(ArchiveExtractTest, ArchivesThatCannotBeOpened) {
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  TempDir out;
  for (const wchar_t* name : {L"not-an-archive.7z", L"truncated.7z"}) {
    const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(name), out.Path()); });
    EXPECT_EQ(std::string(e.what()), "Cannot open archive '" + WideToUtf8(Data(name)) + "'");
    EXPECT_EQ(e.ErrorCode(), 110);
  }
  const ArchiveException missing = Failure([&] { extractor.ExtractArchive(Data(L"missing.7z"), out.Path()); });
  EXPECT_EQ(std::string(missing.what()), "Cannot open archive file '" + WideToUtf8(Data(L"missing.7z")) + "'");
  EXPECT_EQ(missing.ErrorCode(), 110);
  EXPECT_TRUE(ListTree(out.Path()).empty());
}

TEST_F(ArchiveExtractTest, EncryptedArchivesNeedTheRightPassword) {
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  {
    TempDir out;
    const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(L"encrypted.7z"), out.Path()); });
    EXPECT_STREQ(e.what(), "Password is not defined");
    EXPECT_NE(e.ErrorCode(), 0);
  }
  {
    TempDir out;
    extractor.SetPassword(L"wrong password");
    const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(L"encrypted.7z"), out.Path()); });
    const std::string message = e.what();
    EXPECT_TRUE(message == "Data Error" || message == "CRC Failed" || message == "Unknown Error") << message;
    EXPECT_NE(e.ErrorCode(), 0);
  }
  {
    TempDir out;
    extractor.SetPassword(L"Secret1");
    extractor.ExtractArchive(Data(L"encrypted.7z"), out.Path());
    EXPECT_EQ(ReadFileBytes(out / L"two.txt"), "second small file\n");
  }
}

TEST_F(ArchiveExtractTest, EncryptedHeadersCannotBeOpenedWithoutThePassword) {
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  TempDir out;
  const ArchiveException e = Failure([&] { extractor.ExtractArchive(Data(L"encrypted-headers.7z"), out.Path()); });
  EXPECT_EQ(std::string(e.what()), "Cannot open archive '" + WideToUtf8(Data(L"encrypted-headers.7z")) + "'");
  EXPECT_EQ(e.ErrorCode(), 110);

  // The provider is asked only when no password is set.
  int asked = 0;
  extractor.SetPasswordProvider([&] {
    ++asked;
    return std::wstring(L"Secret1");
  });
  extractor.ExtractArchive(Data(L"encrypted-headers.7z"), out.Path());
  EXPECT_GE(asked, 1);
  EXPECT_EQ(ReadFileBytes(out / L"one.txt"), "first small file\n");
}

TEST_F(ArchiveExtractTest, ObserversSeeTotalsProgressAndFiles) {
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  uint64_t total = 0, completed = 0;
  std::vector<std::wstring> files;
  extractor.SetTotalObserver([&](uint64_t value) { total = value; });
  extractor.SetProgressObserver([&](uint64_t value) { completed = value; });
  extractor.SetFileObserver([&](const std::wstring& name) { files.push_back(name); });
  TempDir out;
  extractor.ExtractArchive(Data(L"small.7z"), out.Path());
  EXPECT_EQ(total, 35u);  // the two files' sizes
  EXPECT_EQ(completed, total);
  EXPECT_EQ(files, (std::vector<std::wstring>{L"one.txt", L"two.txt"}));
}

TEST_F(ArchiveExtractTest, InputArchiveQueries) {
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  InputArchive archive(extractor, Data(L"small.7z"));
  ASSERT_EQ(archive.CountItems(), 2u);
  EXPECT_EQ(archive.ReadItemProperty(0, kpidPath).AsString(), L"one.txt");
  EXPECT_FALSE(archive.IsFolderItem(0));
  EXPECT_EQ(archive.ReadItemProperty(1, kpidSize).Kind(), ArchivePropVariantKind::UInt64);
}

TEST(SevenZipLibraryTest, LoadFailuresNameTheWindowsError) {
  struct Case {
    const wchar_t* path;
    const char* message;
    uint32_t win32_error;
  };
  const Case cases[] = {
      {L"no-such-engine.dll", "Cannot load 7-zip library (error 126)", ERROR_MOD_NOT_FOUND},
      // A real library that does not export CreateObject.
      {L"version.dll", "Cannot get CreateObject (error 127)", ERROR_PROC_NOT_FOUND},
  };
  for (const Case& c : cases) {
    try {
      SevenZipLibrary library(c.path);
      ADD_FAILURE() << "loaded " << c.path;
    } catch (const ArchiveException& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.ErrorCode(), HResultFromWin32(c.win32_error));
    }
  }
}

TEST(SevenZipLibraryTest, AnUnknownFormatHasNoClassObject) {
  SevenZipLibrary library(EnginePath());
  ArchiveExtractor extractor(library, ArchiveFormats::WimFormat);  // not in the 7z-only engine
  TempDir out;
  WriteFileBytes(out / L"x.wim", "not used");
  try {
    InputArchive archive(extractor, out / L"x.wim");
    ADD_FAILURE() << "opened";
  } catch (const ArchiveException& e) {
    EXPECT_STREQ(e.what(), "Cannot get class object");
    EXPECT_NE(e.ErrorCode(), 0);
  }
}

}  // namespace
}  // namespace arc
