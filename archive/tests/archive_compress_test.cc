// Archive creation, and extraction of crafted archives whose stored paths
// try to leave the output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_compressor.h"
#include "archive/archive_exception.h"
#include "archive/archive_extractor.h"
#include "archive/archive_format.h"
#include "archive/archive_prop_variant.h"
#include "archive/file_streams.h"
#include "archive/input_archive.h"
#include "archive/seven_zip_library.h"
#include "archive/tests/test_util.h"
#include "archive/update_callback.h"

namespace arc {
namespace {

using testing::EnginePath;
using testing::Exists;
using testing::Failure;
using testing::ListTree;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::vector<std::wstring> StoredPaths(const ArchiveHandler& handler, const std::wstring& archive_path) {
  InputArchive archive(handler, archive_path);
  std::vector<std::wstring> paths;
  for (uint32_t i = 0; i < archive.CountItems(); ++i) paths.push_back(archive.ReadItemProperty(i, kpidPath).AsString());
  return paths;
}

// ---- a generator of archives with any stored names

class MemoryInStream final : public ISequentialInStream, public CMyUnknownImp {
 public:
  explicit MemoryInStream(std::string bytes) : bytes_(std::move(bytes)) {}
  virtual ~MemoryInStream() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_ISequentialInStream) return E_NOINTERFACE;
    *out = static_cast<ISequentialInStream*>(this);
    AddRef();
    return S_OK;
  }
  ARC_IMPLEMENT_ADDREF_RELEASE
  HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processed) noexcept override {
    const size_t n = std::min<size_t>(size, bytes_.size() - offset_);
    std::copy_n(bytes_.data() + offset_, n, static_cast<char*>(data));
    offset_ += n;
    if (processed != nullptr) *processed = static_cast<UINT32>(n);
    return S_OK;
  }

 private:
  std::string bytes_;
  size_t offset_ = 0;
};

struct NamedItem {
  std::wstring path;
  std::string content;
};

// Offers the engine items whose names no file system would produce.
class NamedItemsCallback final : public UpdateCallback {
 public:
  NamedItemsCallback(const ArchiveHandler& handler, std::vector<NamedItem> items)
      : UpdateCallback(handler), items_(std::move(items)) {}
  uint32_t ItemCount() const override { return static_cast<uint32_t>(items_.size()); }
  HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID property, PROPVARIANT* value) noexcept override {
    ArchivePropVariant prop;
    const NamedItem& item = items_[index];
    switch (property) {
      case kpidPath: prop = ArchivePropVariant(item.path); break;
      case kpidIsDir: prop = ArchivePropVariant(false); break;
      case kpidIsAnti: prop = ArchivePropVariant(false); break;
      case kpidSize: prop = ArchivePropVariant(static_cast<uint64_t>(item.content.size())); break;
      default: break;
    }
    prop.Detach(value);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialInStream** in_stream) noexcept override {
    ComPtr<MemoryInStream> stream(new MemoryInStream(items_[index].content));
    *in_stream = stream.Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVolumeSize(UINT32, UINT64*) noexcept override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetVolumeStream(UINT32, ISequentialOutStream**) noexcept override { return E_FAIL; }

 private:
  std::vector<NamedItem> items_;
};

class ArchiveCompressTest : public ::testing::Test {
 protected:
  void MakeArchive(const std::wstring& path, std::vector<NamedItem> items) {
    ArchiveCompressor creator(library_, ArchiveFormats::SevenZipFormat);
    ComPtr<NamedItemsCallback> callback(new NamedItemsCallback(creator, std::move(items)));
    creator.WriteArchiveFile(path, *callback.Get());
  }

  SevenZipLibrary library_{EnginePath()};
};

TEST_F(ArchiveCompressTest, PacksListedFilesUnderTheirBareNames) {
  TempDir dir;
  ASSERT_TRUE(::CreateDirectoryW((dir / L"in").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((dir / L"in\\skipped folder").c_str(), nullptr));
  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  WriteFileBytes(dir / L"in\\log.txt", "log line\r\n");
  WriteFileBytes(dir / L"in\\empty.dat", "");
  WriteFileBytes(dir / L"in\\big.bin", big);
  WriteFileBytes(dir / L"in\\ünïcode.txt", "text");

  ArchiveCompressor compressor(library_, ArchiveFormats::SevenZipFormat);
  const std::wstring archive = dir / L"logs.7z";
  compressor.CompressFileList({dir / L"in\\log.txt", dir / L"in\\skipped folder", dir / L"in\\empty.dat",
                               dir / L"in\\big.bin", dir / L"in\\ünïcode.txt"},
                              archive);
  std::vector<std::wstring> stored = StoredPaths(compressor, archive);
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (std::vector<std::wstring>{L"big.bin", L"empty.dat", L"log.txt", L"ünïcode.txt"}));

  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  extractor.ExtractArchive(archive, dir / L"out");
  EXPECT_EQ(ListTree(dir / L"out"), (std::vector<std::wstring>{L"big.bin", L"empty.dat", L"log.txt", L"ünïcode.txt"}));
  EXPECT_EQ(ReadFileBytes(dir / L"out\\big.bin"), big);
  EXPECT_EQ(ReadFileBytes(dir / L"out\\log.txt"), "log line\r\n");
  EXPECT_EQ(ReadFileBytes(dir / L"out\\empty.dat"), "");
  EXPECT_EQ(testing::FileTimeValue(testing::ModificationTime(dir / L"out\\log.txt")),
            testing::FileTimeValue(testing::ModificationTime(dir / L"in\\log.txt")));
}

TEST_F(ArchiveCompressTest, SameNamesFromTwoFoldersAndEmptyLists) {
  TempDir dir;
  ASSERT_TRUE(::CreateDirectoryW((dir / L"a").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((dir / L"b").c_str(), nullptr));
  WriteFileBytes(dir / L"a\\same.txt", "from a");
  WriteFileBytes(dir / L"b\\same.txt", "from b");
  ArchiveCompressor compressor(library_, ArchiveFormats::SevenZipFormat);
  compressor.CompressFileList({dir / L"a\\same.txt", dir / L"b\\same.txt"}, dir / L"twice.7z");
  EXPECT_EQ(StoredPaths(compressor, dir / L"twice.7z"), (std::vector<std::wstring>{L"same.txt", L"same.txt"}));

  compressor.CompressFileList({}, dir / L"empty.7z");
  EXPECT_TRUE(StoredPaths(compressor, dir / L"empty.7z").empty());
  compressor.CompressFileList({dir / L"a"}, dir / L"folders-only.7z");
  EXPECT_TRUE(StoredPaths(compressor, dir / L"folders-only.7z").empty());
}

TEST_F(ArchiveCompressTest, RefusesExistingArchivesAndMissingInputs) {
  TempDir dir;
  WriteFileBytes(dir / L"input.txt", "input");
  WriteFileBytes(dir / L"existing.7z", "keep me");
  ArchiveCompressor compressor(library_, ArchiveFormats::SevenZipFormat);

  ArchiveException e = Failure([&] { compressor.CompressFileList({dir / L"input.txt"}, dir / L"existing.7z"); });
  EXPECT_EQ(std::string(e.what()), "Cannot update existing archive file '" + WideToUtf8(dir / L"existing.7z") + "'");
  EXPECT_EQ(e.ErrorCode(), 80);
  EXPECT_EQ(ReadFileBytes(dir / L"existing.7z"), "keep me");

  e = Failure([&] { compressor.CompressFileList({dir / L"missing.txt"}, dir / L"new.7z"); });
  EXPECT_EQ(std::string(e.what()), "Invalid path '" + WideToUtf8(dir / L"missing.txt") + "'!");
  EXPECT_EQ(e.ErrorCode(), HResultFromWin32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Exists(dir / L"new.7z"));

  e = Failure([&] { compressor.CompressFileList({dir / L"input.txt"}, dir / L"no-folder\\new.7z"); });
  EXPECT_EQ(e.ErrorCode(), HResultFromWin32(ERROR_PATH_NOT_FOUND));

  ArchiveCompressor single_file(library_, ArchiveFormats::XzFormat);
  e = Failure([&] { single_file.CompressFileList({dir / L"input.txt", dir / L"input.txt"}, dir / L"two.xz"); });
  EXPECT_STREQ(e.what(), "Unsupported operation!");
  EXPECT_EQ(e.ErrorCode(), 50);
}

TEST_F(ArchiveCompressTest, APasswordEncryptsTheContent) {
  TempDir dir;
  WriteFileBytes(dir / L"secret.txt", "secret content");
  ArchiveCompressor compressor(library_, ArchiveFormats::SevenZipFormat);
  compressor.SetPassword(L"pa55");
  compressor.CompressFileList({dir / L"secret.txt"}, dir / L"secret.7z");
  EXPECT_EQ(ReadFileBytes(dir / L"secret.7z").find("secret content"), std::string::npos);

  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  EXPECT_THROW(extractor.ExtractArchive(dir / L"secret.7z", dir / L"out1"), ArchiveException);
  extractor.SetPassword(L"pa55");
  extractor.ExtractArchive(dir / L"secret.7z", dir / L"out2");
  EXPECT_EQ(ReadFileBytes(dir / L"out2\\secret.txt"), "secret content");
}

TEST_F(ArchiveCompressTest, StoredPathsNeverLeaveTheOutputFolder) {
  TempDir dir;
  const std::wstring out = dir / L"deep\\out";
  const std::wstring temp_drive_path = dir / L"by-drive.txt";  // an absolute path with a drive letter
  // Without the leading "C:": what a stored absolute path would reach from a rooted name.
  const std::wstring rooted = dir.Path().substr(2) + L"\\rooted.txt";
  const std::wstring long_path = L"\\\\?\\" + dir.Path() + L"\\long.txt";

  struct Case {
    std::wstring stored;
    std::wstring must_not_exist;  // where the item would have landed
  };
  const Case cases[] = {
      {L"..\\escape1.txt", dir / L"deep\\escape1.txt"},
      {L"a\\..\\..\\..\\escape2.txt", dir / L"escape2.txt"},
      {L"a/../../escape3.txt", dir / L"deep\\escape3.txt"},
      {L"...\\escape4.txt", L""},
      {rooted, dir / L"rooted.txt"},
      {temp_drive_path, temp_drive_path},
      {long_path, dir / L"long.txt"},
      {L"\\\\localhost\\C$\\unc.txt", L""},
      {L"inside.txt:hidden", out + L"\\inside.txt"},
      {L"CON", L""},
      {L"sub\\nul.txt", out + L"\\sub\\nul.txt"},
      {L"COM1.log", L""},
      {L"lpt3", L""},
  };
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    const std::wstring archive = dir / (L"crafted" + std::to_wstring(++n) + L".7z");
    MakeArchive(archive, {{L"first-safe.txt", "safe"}, {c.stored, "payload"}});
    std::vector<std::wstring> stored = StoredPaths(extractor, archive);
    ASSERT_EQ(stored.size(), 2u);
    // The engine may store items in its own order.
    std::erase(stored, L"first-safe.txt");
    ASSERT_EQ(stored.size(), 1u);

    const ArchiveException e = Failure([&] { extractor.ExtractArchive(archive, out); });
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("Unsafe item path '" + WideToUtf8(stored[0]) + "' (", 0), 0u) << message;
    EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(E_ABORT));
    if (!c.must_not_exist.empty()) {
      EXPECT_FALSE(Exists(c.must_not_exist));
    }
    for (const std::wstring& item : ListTree(dir / L"deep")) {
      EXPECT_TRUE(item == L"out" || item == L"out\\first-safe.txt") << item;
    }
    testing::RemoveTree(out);
  }
  // Nothing was written beside the archives.
  for (const std::wstring& item : ListTree(dir.Path())) {
    EXPECT_TRUE(item.rfind(L"crafted", 0) == 0 || item.rfind(L"deep", 0) == 0) << item;
  }
}

TEST_F(ArchiveCompressTest, OrdinaryNamesWithDotsStillExtract) {
  TempDir dir;
  MakeArchive(dir / L"dots.7z", {{L"a..b\\..name.txt", "1"}, {L"sub\\.\\here.txt", "2"}, {L"CONFIG.SYS", "3"}});
  ArchiveExtractor extractor(library_, ArchiveFormats::SevenZipFormat);
  extractor.ExtractArchive(dir / L"dots.7z", dir / L"out");
  EXPECT_EQ(ReadFileBytes(dir / L"out\\a..b\\..name.txt"), "1");
  EXPECT_EQ(ReadFileBytes(dir / L"out\\sub\\here.txt"), "2");
  EXPECT_EQ(ReadFileBytes(dir / L"out\\CONFIG.SYS"), "3");
}

// The close of the new archive is the last place a failed write can show
// (data the system could not write behind, here for want of room): the
// creation fails, naming the archive, instead of reporting success.
TEST_F(ArchiveCompressTest, AFailedCloseOfTheArchiveIsAFailure) {
  TempDir dir;
  WriteFileBytes(dir / L"input.txt", "input");
  ArchiveCompressor compressor(library_, ArchiveFormats::SevenZipFormat);
  // The handle stays open, as after a real failed close; its owner closes it.
  const CloseHandleFunction usual = SetCloseHandleForTesting([](HANDLE) -> BOOL {
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  });
  ArchiveException e = Failure([&] { compressor.CompressFileList({dir / L"input.txt"}, dir / L"out.7z"); });
  SetCloseHandleForTesting(usual);
  EXPECT_EQ(std::string(e.what()), "Cannot close output archive file '" + WideToUtf8(dir / L"out.7z") + "'");
  EXPECT_EQ(e.ErrorCode(), HResultFromWin32(ERROR_DISK_FULL));
}

}  // namespace
}  // namespace arc
