#include "archive/file_streams.h"

#include <gtest/gtest.h>

#include <numeric>

#include "archive/archive_exception.h"
#include "archive/multi_volume_out_stream.h"
#include "archive/tests/test_util.h"

namespace arc {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
  return bytes;
}

TEST(FileStreamsTest, InStreamReadsSeeksAndDescribesTheFile) {
  TempDir dir;
  const std::string bytes = Pattern(10000);
  WriteFileBytes(dir / L"in.bin", bytes);

  ComPtr<CInFileStream> stream(new CInFileStream);
  ASSERT_TRUE(stream->Open(dir / L"in.bin"));
  UINT64 size = 0;
  ASSERT_EQ(stream->GetSize(&size), S_OK);
  EXPECT_EQ(size, 10000u);

  UINT64 position = 0;
  ASSERT_EQ(stream->Seek(-100, FILE_END, &position), S_OK);
  EXPECT_EQ(position, 9900u);
  char buffer[200];
  UINT32 read = 0;
  ASSERT_EQ(stream->Read(buffer, sizeof(buffer), &read), S_OK);
  EXPECT_EQ(read, 100u);  // a short read at the end
  EXPECT_EQ(std::string(buffer, read), bytes.substr(9900));
  EXPECT_EQ(stream->Seek(0, 3, &position), STG_E_INVALIDFUNCTION);

  UINT64 props_size = 0;
  UINT32 attributes = 0;
  ASSERT_EQ(stream->GetProps(&props_size, nullptr, nullptr, nullptr, &attributes), S_OK);
  EXPECT_EQ(props_size, 10000u);
  StreamFileProps props{};
  ASSERT_EQ(stream->GetProps2(&props), S_OK);
  EXPECT_EQ(props.size, 10000u);
  EXPECT_EQ(props.num_links, 1u);

  ComPtr<IStreamGetSize> size_face;
  EXPECT_EQ(stream->QueryInterface(IID_IStreamGetSize, size_face.ReceiveVoid()), S_OK);
  ComPtr<IOutStream> wrong;
  EXPECT_EQ(stream->QueryInterface(IID_IOutStream, wrong.ReceiveVoid()), E_NOINTERFACE);

  EXPECT_FALSE(ComPtr<CInFileStream>(new CInFileStream)->Open(dir / L"missing.bin"));
}

TEST(FileStreamsTest, OutStreamCreatesWritesAndResizes) {
  TempDir dir;
  const std::wstring path = dir / L"out.bin";
  {
    ComPtr<COutFileStream> stream(new COutFileStream);
    ASSERT_TRUE(stream->Create(path, false));
    const std::string bytes = Pattern(5000);
    UINT32 written = 0;
    ASSERT_EQ(stream->Write(bytes.data(), static_cast<UINT32>(bytes.size()), &written), S_OK);
    EXPECT_EQ(written, 5000u);
    EXPECT_EQ(stream->WrittenSize(), 5000u);
    ASSERT_EQ(stream->SetSize(3000), S_OK);
    UINT64 position = 0;
    ASSERT_EQ(stream->Seek(0, FILE_CURRENT, &position), S_OK);
    EXPECT_EQ(position, 5000u);  // the position survives SetSize
    EXPECT_EQ(stream->Seek(0, 3, nullptr), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(stream->Close(), S_OK);
    EXPECT_EQ(stream->Close(), S_OK);  // closing a closed stream succeeds
  }
  EXPECT_EQ(ReadFileBytes(path), Pattern(5000).substr(0, 3000));

  ComPtr<COutFileStream> again(new COutFileStream);
  EXPECT_FALSE(again->Create(path, false));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadFileBytes(path).size(), 3000u);  // untouched
  ASSERT_TRUE(again->Create(path, true));
  ASSERT_EQ(again->Close(), S_OK);
  EXPECT_EQ(ReadFileBytes(path).size(), 0u);  // truncated
}

TEST(FileStreamsTest, MultiVolumeStreamSplitsAtTheVolumeSize) {
  TempDir dir;
  const std::wstring archive = dir / L"archive.7z";
  const std::string bytes = Pattern(250);
  {
    ComPtr<CMultiVolOutStream> stream(new CMultiVolOutStream(100, archive));
    size_t done = 0;
    while (done < bytes.size()) {
      UINT32 written = 0;
      ASSERT_EQ(stream->Write(bytes.data() + done, static_cast<UINT32>(bytes.size() - done), &written), S_OK);
      ASSERT_GT(written, 0u);
      ASSERT_LE(written, 100u);  // never across a volume boundary
      done += written;
    }
    // Rewrite a header at the start, as the engine does at the end.
    ASSERT_EQ(stream->Seek(0, FILE_BEGIN, nullptr), S_OK);
    UINT32 written = 0;
    ASSERT_EQ(stream->Write("HEAD", 4, &written), S_OK);
    EXPECT_EQ(stream->Seek(0, 3, nullptr), STG_E_INVALIDFUNCTION);
  }
  std::string expected = bytes;
  expected.replace(0, 4, "HEAD");
  EXPECT_EQ(ReadFileBytes(archive + L".001"), expected.substr(0, 100));
  EXPECT_EQ(ReadFileBytes(archive + L".002"), expected.substr(100, 100));
  EXPECT_EQ(ReadFileBytes(archive + L".003"), expected.substr(200, 50));
  EXPECT_FALSE(testing::Exists(archive + L".004"));
  EXPECT_EQ(VolumeFileName(L"x.7z.", 99), L"x.7z.100");
}

TEST(FileStreamsTest, MultiVolumeSetSizeDropsLaterVolumes) {
  TempDir dir;
  const std::wstring archive = dir / L"cut.7z";
  ComPtr<CMultiVolOutStream> stream(new CMultiVolOutStream(10, archive));
  const std::string bytes = Pattern(35);
  size_t done = 0;
  while (done < bytes.size()) {
    UINT32 written = 0;
    ASSERT_EQ(stream->Write(bytes.data() + done, static_cast<UINT32>(bytes.size() - done), &written), S_OK);
    done += written;
  }
  ASSERT_EQ(stream->SetSize(15), S_OK);
  stream.Reset();
  EXPECT_EQ(ReadFileBytes(archive + L".001").size(), 10u);
  EXPECT_EQ(ReadFileBytes(archive + L".002").size(), 5u);
  EXPECT_FALSE(testing::Exists(archive + L".003"));
  EXPECT_FALSE(testing::Exists(archive + L".004"));
}

}  // namespace
}  // namespace arc
