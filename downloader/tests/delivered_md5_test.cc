// The MD5 a run computes while it writes the file: it is the MD5 of the bytes
// on disk (also of bytes an earlier run left there), it is handed out only for
// the file the run delivered, unchanged, and only after a successful run.
#include "downloader/courier.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/scoped_handle.h"
#include "downloader/file_util.h"
#include "downloader/slice_manager.h"
#include "downloader/tests/rig_support.h"
#include "downloader/tests/run_recorder.h"

namespace courier {
namespace {

using namespace courier_test;

TEST(DeliveredMd5, IsTheMd5OfTheDeliveredFile) {
  const struct {
    const char* file;
    int threads;
    int64_t slice_size;  // 0: the default plan
  } cases[] = {
      {"tiny.bin", 1, 0},
      {"medium.bin", 4, 1048576},  // slices finish out of file order
      {"large.bin", 8, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const RigFile file = GetRigFile(c.file);
    TempDir dir;
    Courier courier;
    courier.setThreadNum(c.threads);
    if (c.slice_size > 0) {
      courier.options().slice_policy = FixedSize;
      courier.options().slice_policy_value = c.slice_size;
    }
    const std::string target = dir.file(c.file);
    EXPECT_EQ(courier.deliveredMd5(target), "") << "before any run";
    ASSERT_EQ(Await(courier, courier.start(NginxUrl("/files/" + file.name), target, nullptr, nullptr, nullptr)),
              SUCCESSED);
    EXPECT_EQ(courier.deliveredMd5(target), file.md5);
    EXPECT_EQ(courier.deliveredMd5(dir.file("other.bin")), "") << "no file there";
  }
}

TEST(DeliveredMd5, NoneForAFileChangedAfterTheRun) {
  const RigFile file = GetRigFile("medium.bin");
  const struct {
    const char* name;
    bool same_size;
  } cases[] = {{"rewritten in place", true}, {"replaced by a shorter file", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Courier courier;
    courier.setThreadNum(4);
    const std::string target = dir.file("m.bin");
    ASSERT_EQ(Await(courier, courier.start(NginxUrl("/files/medium.bin"), target, nullptr, nullptr, nullptr)),
              SUCCESSED);
    ASSERT_EQ(courier.deliveredMd5(target), file.md5);
    ::Sleep(20);  // a write time the file system can tell from the run's
    if (c.same_size) {
      base::ScopedKernelHandle handle(::CreateFileW(Utf8ToWide(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(handle.IsValid());
      DWORD written = 0;
      ASSERT_TRUE(::WriteFile(handle.Get(), "X", 1, &written, nullptr));
    } else {
      WriteFileBytes(target, "short");
    }
    EXPECT_EQ(courier.deliveredMd5(target), "");
  }
}

TEST(DeliveredMd5, NoneAfterAFailedRun) {
  TempDir dir;
  Courier courier;
  const std::string target = dir.file("m.bin");
  ASSERT_EQ(Await(courier, courier.start(NginxUrl("/files/medium.bin"), target, nullptr, nullptr, nullptr)),
            SUCCESSED);
  WriteFileBytes(target, "left from before");
  EXPECT_NE(Await(courier, courier.start(NginxUrl("/files/no-such-file.bin"), target, nullptr, nullptr, nullptr)),
            SUCCESSED);
  EXPECT_EQ(courier.deliveredMd5(target), "");
}

// A resumed run takes the slices an earlier run finished from the file, as
// they are on disk: bytes spoiled there show in the digest, so the caller's
// check still catches them.
TEST(DeliveredMd5, CoversBytesAnEarlierRunLeftOnDisk) {
  const RigFile file = GetRigFile("medium.bin");
  const std::string url = NginxUrl("/files/medium.bin");
  const int64_t half = file.size / 2;
  const struct {
    const char* name;
    bool spoiled;
  } cases[] = {{"sound bytes", false}, {"spoiled bytes", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.file("m.bin");
    std::string bytes = ReadFileBytes(file.path);
    ASSERT_EQ(static_cast<int64_t>(bytes.size()), file.size);
    if (c.spoiled) bytes[1000] ^= 0x5a;
    bytes.replace(static_cast<size_t>(half), bytes.size() - static_cast<size_t>(half),
                  bytes.size() - static_cast<size_t>(half), '\0');
    WriteFileBytes(target + ".courier", bytes);
    const nlohmann::json index = {
        {"content_md5", ""},
        {"file_size", file.size},
        {"redirect_url", ""},
        {"slices", nlohmann::json::array({{{"begin", 0}, {"capacity", half}, {"end", half - 1}, {"index", 1}},
                                          {{"begin", half}, {"capacity", 0}, {"end", file.size - 1}, {"index", 2}}})},
        {"target_tmp_file_path", target + ".courier"},
        {"update_time", 1700000000},
        {"url", url}};
    WriteFileBytes(target + ".dlindex", kIndexMagic + index.dump());

    Courier courier;
    courier.setThreadNum(2);
    RunRecorder rec;
    courier.options().verbose_functor = rec.log();
    ASSERT_EQ(Await(courier, courier.start(url, target, nullptr, nullptr, nullptr)), SUCCESSED) << rec.logText();
    ASSERT_EQ(rec.countInLog("Load exist slice success.\n"), 1) << rec.logText();
    EXPECT_EQ(courier.deliveredMd5(target), Md5Of(target));
    EXPECT_EQ(courier.deliveredMd5(target) == file.md5, !c.spoiled);
  }
}

}  // namespace
}  // namespace courier
