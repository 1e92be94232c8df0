#include "base/file_md5.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "base/md5.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace base {
namespace {

namespace fs = std::filesystem;

std::string PseudoRandomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 0x12345678;
  for (char& b : bytes) {
    state = state * 1664525 + 1013904223;
    b = static_cast<char>(state >> 24);
  }
  return bytes;
}

class FileMd5Test : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (L"ql-file-md5-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path Write(const std::wstring& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  fs::path dir_;
};

TEST_F(FileMd5Test, DigestOfTheWholeFile) {
  const struct {
    std::string bytes;
    std::string digest;
  } cases[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {std::string(1000000, 'a'), "7707D6AE4E027C70EEA2A935C2296F21"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    EXPECT_EQ(FileMd5Hex(Write(L"data.bin", c.bytes)), c.digest);
  }
  // Sizes on each side of the read chunks.
  for (const std::size_t size : {65535u, 65536u, 65537u, (1u << 20) - 1, 1u << 20, 3u << 20 | 5}) {
    SCOPED_TRACE(size);
    const std::string bytes = PseudoRandomBytes(size);
    EXPECT_EQ(FileMd5Hex(Write(L"data.bin", bytes)), Md5Hex(bytes.data(), static_cast<std::uint32_t>(size)));
  }
}

TEST_F(FileMd5Test, NameOutsideTheAnsiCodePage) {
  const std::wstring name = L"\u5b89\u88c5\u5305-\U0001F600.7z";
  ASSERT_NE(Utf8ToWide(WideToAnsi(name)), name);  // the ANSI form cannot name this file
  EXPECT_EQ(FileMd5Hex(Write(name, "abc")), "900150983CD24FB0D6963F7D28E17F72");
}

TEST_F(FileMd5Test, FileOpenForWritingElsewhere) {
  const fs::path path = Write(L"busy.bin", "abc");
  ScopedKernelHandle writer(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(FileMd5Hex(path), "900150983CD24FB0D6963F7D28E17F72");
}

TEST_F(FileMd5Test, NullWhenTheFileCannotBeRead) {
  EXPECT_EQ(FileMd5Hex(dir_ / L"missing.bin"), "null");
  EXPECT_EQ(FileMd5Hex(dir_), "null");  // a folder
  EXPECT_EQ(FileMd5Hex(L""), "null");
}

// A read that fails part way must not pass off the bytes read so far as the
// file's digest: a pipe whose writer goes away after some data does that.
TEST_F(FileMd5Test, NullWhenAReadFailsAfterOpening) {
  const std::wstring pipe_name =
      L"\\\\.\\pipe\\ql-file-md5-" + std::to_wstring(::GetCurrentProcessId());
  ScopedKernelHandle server(::CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_OUTBOUND,
                                               PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1 << 16, 1 << 16, 0,
                                               nullptr));
  ASSERT_TRUE(server);
  std::future<std::string> digest =
      std::async(std::launch::async, [&] { return FileMd5Hex(pipe_name); });
  if (!::ConnectNamedPipe(server.Get(), nullptr)) {
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
  }
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(server.Get(), "partial", 7, &written, nullptr));
  ::FlushFileBuffers(server.Get());
  server.Close();
  EXPECT_EQ(digest.get(), "null");
}

}  // namespace
}  // namespace base
