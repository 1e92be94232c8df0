#include "archive/file_streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>

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

// An extracted file past its first chunk is written behind the engine: the
// bytes, the modification time and the size come out as written in one go,
// also when the engine seeks or resizes in between.
TEST(FileStreamsTest, OutStreamWritingBehindKeepsBytesTimeAndSize) {
  TempDir dir;
  const std::wstring path = dir / L"big.bin";
  const std::string bytes = Pattern(3 * kMaxIoChunk + 12345);
  FILETIME mtime{};
  mtime.dwHighDateTime = 0x01D00000;
  {
    ComPtr<COutFileStream> stream(new COutFileStream);
    stream->UseWriteBehind();
    ASSERT_TRUE(stream->Open(path, CREATE_ALWAYS));
    size_t done = 0;
    for (size_t part = 1000; done < bytes.size(); part = part * 3 + 7) {
      const UINT32 size = static_cast<UINT32>(std::min(part % (kMaxIoChunk + 3), bytes.size() - done));
      UINT32 written = 0;
      ASSERT_EQ(stream->Write(bytes.data() + done, size, &written), S_OK);
      ASSERT_EQ(written, size);
      done += size;
    }
    UINT64 position = 0;
    ASSERT_EQ(stream->Seek(0, FILE_CURRENT, &position), S_OK);
    EXPECT_EQ(position, bytes.size());
    ASSERT_EQ(stream->Write("TAIL", 4, nullptr), S_OK);
    EXPECT_TRUE(stream->SetModificationTime(mtime));
    ASSERT_EQ(stream->Close(), S_OK);
  }
  EXPECT_EQ(ReadFileBytes(path), bytes + "TAIL");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, mtime.dwHighDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, mtime.dwLowDateTime);
}

// A block written behind fails after its Write call has answered; the
// failure is not lost but answered by Close. The file is a pipe whose reader
// takes the first chunk and goes away, so that writing the next one fails.
TEST(FileStreamsTest, OutStreamWritingBehindAnswersAFailedBlockOnClose) {
  const std::wstring name = L"\\\\.\\pipe\\ql-write-behind-" + std::to_wstring(::GetCurrentProcessId());
  base::ScopedKernelHandle server(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                                     0, kMaxIoChunk, 0, nullptr));
  ASSERT_TRUE(server);
  const std::string bytes = Pattern(kMaxIoChunk);
  ComPtr<COutFileStream> stream(new COutFileStream);
  stream->UseWriteBehind();
  ASSERT_TRUE(stream->Open(name, OPEN_EXISTING));
  std::thread reader([&] {
    std::string got(kMaxIoChunk, '\0');
    size_t done = 0;
    DWORD read = 0;
    while (done < got.size() && ::ReadFile(server.Get(), got.data() + done, static_cast<DWORD>(got.size() - done),
                                           &read, nullptr) && read > 0) {
      done += read;
    }
    server.Reset();  // the reader goes away
  });
  ASSERT_EQ(stream->Write(bytes.data(), kMaxIoChunk, nullptr), S_OK);  // the first chunk: written at once
  reader.join();
  EXPECT_EQ(stream->Write(bytes.data(), kMaxIoChunk, nullptr), S_OK);  // handed over: the engine goes on
  EXPECT_NE(stream->Close(), S_OK);
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
