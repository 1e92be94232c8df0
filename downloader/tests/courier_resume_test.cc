// Resuming from the ".courier" file and the ".dlindex" index: after a process
// was killed mid-way, after a failed rename, and refusing indexes that would
// send the download to the wrong place.
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

std::wstring ChildPath() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"courier_child.exe";
}

struct IndexSlice {
  int64_t begin, end, capacity;
};

std::vector<IndexSlice> ReadIndexSlices(const std::string& index_path) {
  const std::string bytes = ReadFileBytes(index_path);
  std::vector<IndexSlice> slices;
  if (bytes.size() <= kIndexMagicLength) return slices;
  const auto json = nlohmann::json::parse(bytes.substr(kIndexMagicLength), nullptr, false);
  if (json.is_discarded()) return slices;
  for (const auto& s : json["slices"]) {
    slices.push_back({s["begin"].get<int64_t>(), s["end"].get<int64_t>(), s["capacity"].get<int64_t>()});
  }
  return slices;
}

int64_t RangeStart(const std::string& range) {  // "bytes=a-b"
  return range.rfind("bytes=", 0) == 0 ? std::atoll(range.c_str() + 6) : -1;
}

// The child fetches 6 slices of 1 MiB, two at a time, each of its first four
// answers sent at 160 KiB/s: ten seconds in, when the first index is saved,
// two slices are complete and two are partly there. Then it is killed.
TEST(CourierResume, KilledMidwayResumesWithoutRefetchingFinishedSlices) {
  const RigFile file = GetRigFile("medium.bin");
  const std::string key = UniqueKey("kill");
  const std::string url = FaultUrl("/files/medium.bin?key=" + key + "&rate=160k&rate_gets=4");
  TempDir dir;
  const std::string target = dir.file("m.bin");

  std::wstring command = L"\"" + ChildPath() + L"\" \"" + Utf8ToWide(url) + L"\" \"" + Utf8ToWide(target) +
                         L"\" 2 1048576";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  base::ScopedKernelHandle process(info.hProcess);
  base::ScopedKernelHandle thread(info.hThread);

  const std::string index_path = target + ".dlindex";
  const bool saved = WaitFor([&] { return ReadIndexSlices(index_path).size() == 6; }, 20);
  ::TerminateProcess(process.Get(), 77);
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  ::GetExitCodeProcess(process.Get(), &exit_code);
  ASSERT_TRUE(saved) << "no index within 20 s";
  ASSERT_EQ(exit_code, 77u) << "the child ended before it was killed";

  const std::vector<IndexSlice> recorded = ReadIndexSlices(index_path);
  int64_t held = 0;
  int complete = 0;
  for (const IndexSlice& s : recorded) {
    held += s.capacity;
    if (s.capacity == s.end - s.begin + 1) ++complete;
  }
  ASSERT_GE(complete, 1) << "nothing finished before the kill";
  ASSERT_LT(complete, 6) << "everything finished before the kill";
  const size_t requests_before = FaultLog(key).size();

  Courier courier;
  courier.setThreadNum(4);
  courier.options().slice_policy = FixedSize;
  courier.options().slice_policy_value = 1048576;
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  auto run = courier.start(url, target, nullptr, nullptr, nullptr);
  ASSERT_EQ(Await(courier, run), SUCCESSED) << rec.logText();
  EXPECT_EQ(Md5Of(target), file.md5);
  EXPECT_EQ(courier.deliveredMd5(target), file.md5) << "the bytes of both runs hashed";
  EXPECT_EQ(rec.countInLog("Load exist slice success.\n"), 1);
  EXPECT_FALSE(FileExists(index_path));

  // The resumed run asked only for what the index did not hold.
  const auto log = FaultLog(key);
  int64_t fetched = 0;
  for (size_t i = requests_before; i < log.size(); ++i) {
    if (log[i].method != "GET") continue;
    fetched += log[i].bytes;
    const int64_t start = RangeStart(log[i].range);
    bool expected_start = false;
    for (const IndexSlice& s : recorded) {
      const bool finished = s.capacity == s.end - s.begin + 1;
      EXPECT_FALSE(finished && start >= s.begin && start <= s.end) << "finished slice fetched again: " << log[i].range;
      if (!finished && start == s.begin + s.capacity) expected_start = true;
    }
    EXPECT_TRUE(expected_start) << log[i].range;
  }
  EXPECT_EQ(fetched, file.size - held);
}

TEST(CourierResume, FailedRenameIsFinishedByTheNextRunWithoutDownloading) {
  const RigFile file = GetRigFile("small.bin");
  const std::string key = UniqueKey("rename");
  const std::string url = FaultUrl("/files/small.bin?key=" + key);
  TempDir dir;
  const std::string target = dir.file("s.bin");
  WriteFileBytes(target, "in use");
  {
    // Another process holds the target without sharing it.
    base::ScopedKernelHandle lock(::CreateFileW(Utf8ToWide(target).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock.IsValid());
    Courier courier;
    EXPECT_EQ(Await(courier, courier.start(url, target, nullptr, nullptr, nullptr)), RENAME_TMP_FILE_FAILED);
    EXPECT_TRUE(FileExists(target + ".courier"));
    EXPECT_TRUE(FileExists(target + ".dlindex"));
  }
  const size_t gets_before = Gets(FaultLog(key)).size();
  Courier courier;
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  EXPECT_EQ(Await(courier, courier.start(url, target, nullptr, nullptr, nullptr)), SUCCESSED);
  EXPECT_EQ(Md5Of(target), file.md5);
  EXPECT_EQ(Gets(FaultLog(key)).size(), gets_before) << "downloaded again";
  EXPECT_EQ(rec.countInLog("All of slices have been downloaded.\n"), 1);
  EXPECT_FALSE(FileExists(target + ".dlindex"));
}

// An index is input from disk. One that names some other file as its
// temporary file, or whose slices do not fit the file, is thrown away: the
// download starts afresh and the other file is left alone.
TEST(CourierResume, UntrustworthyIndexesAreDiscarded) {
  const RigFile file = GetRigFile("small.bin");
  const std::string url = NginxUrl("/files/small.bin");
  const struct {
    const char* name;
    bool foreign_tmp;
    nlohmann::json slices;
  } cases[] = {
      {"foreign temporary file", true,
       nlohmann::json::array({{{"begin", 0}, {"capacity", file.size}, {"end", file.size - 1}, {"index", 1}}})},
      {"overlapping slices", false,
       nlohmann::json::array({{{"begin", 0}, {"capacity", 600000}, {"end", 599999}, {"index", 1}},
                              {{"begin", 500000}, {"capacity", 0}, {"end", file.size - 1}, {"index", 2}}})},
      {"slice outside the file", false,
       nlohmann::json::array({{{"begin", 0}, {"capacity", 0}, {"end", file.size * 2}, {"index", 1}}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.file("s.bin");
    const std::string victim = dir.file("precious.doc");
    WriteFileBytes(victim, std::string(static_cast<size_t>(file.size), 'p'));
    WriteFileBytes(target + ".courier", std::string(static_cast<size_t>(file.size), 'q'));
    const nlohmann::json index = {{"content_md5", ""},
                                  {"file_size", file.size},
                                  {"redirect_url", ""},
                                  {"slices", c.slices},
                                  {"target_tmp_file_path", c.foreign_tmp ? victim : target + ".courier"},
                                  {"update_time", 1700000000},
                                  {"url", url}};
    WriteFileBytes(target + ".dlindex", kIndexMagic + index.dump());

    Courier courier;
    RunRecorder rec;
    courier.options().verbose_functor = rec.log();
    EXPECT_EQ(Await(courier, courier.start(url, target, nullptr, nullptr, nullptr)), SUCCESSED);
    EXPECT_EQ(Md5Of(target), file.md5);
    EXPECT_EQ(rec.countInLog("Load exist slice success.\n"), 0);
    EXPECT_EQ(ReadFileBytes(victim), std::string(static_cast<size_t>(file.size), 'p'));
  }
}

}  // namespace
}  // namespace courier
