#include "downloader/file_hash.h"
#include "downloader/file_util.h"

#include <gtest/gtest.h>

#include "downloader/tests/rig_support.h"

namespace courier {
namespace {

using courier_test::TempDir;
using courier_test::WriteFileBytes;

struct Vector {
  const char* name;
  std::string content;
  const char* md5;
  const char* crc32;
  const char* sha1;
  const char* sha256;
};

const Vector kVectors[] = {
    {"empty", "", "d41d8cd98f00b204e9800998ecf8427e", "00000000", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "900150983cd24fb0d6963f7d28e17f72", "352441c2", "a9993e364706816aba3e25717850c26c9cd0d89d",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"digits", "123456789", "25f9e794323b453885f5181f1b624d0b", "cbf43926", "f7c3bc1d808e04732adf679965ccc34ca7ae3441",
     "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225"},
    // Crosses block boundaries in every way the padding can meet them.
    {"56 bytes", std::string("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
     "8215ef0796a20bcaaae116d3876c664a", "171a3f5f", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"million a", std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21", "dc25bfbc",
     "34aa973cd4c4daa4f61eeb2bdbad27316534016f", "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(FileHash, KnownVectorsByPathAndByStream) {
  TempDir dir;
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.name);
    const std::string path = dir.file("v.bin");
    WriteFileBytes(path, v.content);
    const struct {
      int32_t type;
      const char* expected;
    } kinds[] = {{MD5, v.md5}, {CRC32, v.crc32}, {SHA1, v.sha1}, {SHA256, v.sha256}};
    for (const auto& kind : kinds) {
      std::string by_path, by_stream;
      EXPECT_EQ(FileHash(kind.type, path, nullptr, &by_path), SUCCESSED);
      EXPECT_EQ(by_path, kind.expected);
      UniqueFile stream = OpenFileUtf8(path, "rb");
      ASSERT_TRUE(stream);
      std::fgetc(stream.get());  // the stream form starts from the first byte wherever the stream stands
      EXPECT_EQ(FileHash(kind.type, stream.get(), nullptr, &by_stream), SUCCESSED);
      EXPECT_EQ(by_stream, kind.expected);
    }
  }
}

TEST(FileHash, FailsForMissingFileAndUnknownType) {
  TempDir dir;
  std::string hex = "untouched";
  EXPECT_EQ(FileMd5(dir.file("missing.bin"), nullptr, &hex), CALCULATE_HASH_FAILED);
  EXPECT_EQ(hex, "untouched");
  WriteFileBytes(dir.file("a.bin"), "abc");
  EXPECT_EQ(FileHash(7, dir.file("a.bin"), nullptr, &hex), CALCULATE_HASH_FAILED);
  EXPECT_EQ(FileSha1(static_cast<FILE*>(nullptr), nullptr, &hex), CALCULATE_HASH_FAILED);
}

TEST(FileHash, StopEventInterruptsOnlyWhenOptionsAreGiven) {
  TempDir dir;
  WriteFileBytes(dir.file("big.bin"), std::string(5000, 'x'));
  WriteFileBytes(dir.file("empty.bin"), "");
  Options options;  // its own stop event starts set
  std::string hex;
  EXPECT_EQ(FileSha256(dir.file("big.bin"), &options, &hex), CANCELED);
  EXPECT_TRUE(hex.empty());
  EXPECT_EQ(FileSha256(dir.file("big.bin"), nullptr, &hex), SUCCESSED);
  EXPECT_EQ(hex.size(), 64u);
  // Nothing to read, nothing to interrupt.
  EXPECT_EQ(FileMd5(dir.file("empty.bin"), &options, &hex), SUCCESSED);
  EXPECT_EQ(hex, "d41d8cd98f00b204e9800998ecf8427e");

  StopEvent user_stop;
  options.internal_stop_event.reset();
  options.user_stop_event = &user_stop;
  EXPECT_EQ(FileCrc32(dir.file("big.bin"), &options, &hex), CANCELED);
  user_stop.reset();
  EXPECT_EQ(FileCrc32(dir.file("big.bin"), &options, &hex), SUCCESSED);
}

}  // namespace
}  // namespace courier
