#include "downloader/slice_manager.h"

#include <gtest/gtest.h>

#include <mutex>

#include <nlohmann/json.hpp>

#include "downloader/tests/rig_support.h"

namespace courier {
namespace {

using namespace courier_test;

struct Range {
  int32_t index;
  int64_t begin, end;
  bool operator==(const Range& o) const { return index == o.index && begin == o.begin && end == o.end; }
};
std::ostream& operator<<(std::ostream& out, const Range& r) {
  return out << '<' << r.index << "> [" << r.begin << '~' << r.end << ']';
}

std::vector<Range> RangesOf(const SliceManager& manager) {
  std::vector<Range> ranges;
  for (const auto& s : manager.slices()) ranges.push_back({s->index(), s->begin(), s->end()});
  return ranges;
}

class SliceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.target_file_path = dir_.file("target.bin");
    options_.url = "http://127.0.0.1:1/target.bin";
    options_.internal_stop_event.reset();  // as a run does when it begins
  }
  // A manager for a fresh plan of a file of `size` bytes.
  std::shared_ptr<SliceManager> Plan(int64_t size, bool accept_ranges = true) {
    auto manager = std::make_shared<SliceManager>(&options_, "");
    manager->setFileSize(size);
    EXPECT_EQ(manager->makeSlices(accept_ranges), SUCCESSED);
    managers_.push_back(manager);
    return manager;
  }
  void TearDown() override {
    for (auto& m : managers_) m->release();
  }

  TempDir dir_;
  Options options_;
  std::vector<std::shared_ptr<SliceManager>> managers_;
};

TEST_F(SliceManagerTest, PlansSlicesByPolicy) {
  const struct {
    const char* name;
    int32_t policy;
    int64_t value;
    int64_t size;
    bool ranges;
    std::vector<Range> expected;
  } cases[] = {
      {"auto, exactly 15 MiB", Auto, 0, 15728640, true, {{1, 0, 15728639}}},
      {"auto, one byte more", Auto, 0, 15728641, true, {{1, 0, 10485759}, {2, 10485760, 15728640}}},
      {"auto, 25 MiB", Auto, 0, 26214400, true, {{1, 0, 10485759}, {2, 10485760, 20971519}, {3, 20971520, 26214399}}},
      {"fixed count 3 of 10", FixedCount, 3, 10, true, {{1, 0, 2}, {2, 3, 5}, {3, 6, 9}}},
      {"fixed count 0", FixedCount, 0, 10, true, {}},
      {"fixed size 4 of 10", FixedSize, 4, 10, true, {{1, 0, 3}, {2, 4, 7}, {3, 8, 9}}},
      {"unknown policy", 9, 4, 10, true, {}},
      {"size unknown", Auto, 0, -1, true, {{0, 0, -1}}},
      {"ranges refused", FixedSize, 4, 10, false, {{0, 0, -1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    options_.slice_policy = c.policy;
    options_.slice_policy_value = c.value;
    auto manager = Plan(c.size, c.ranges);
    EXPECT_EQ(RangesOf(*manager), c.expected);
    // The temporary file has its full size before any byte arrives.
    EXPECT_EQ(FileSize(options_.target_file_path + ".courier"), c.size < 0 ? 0 : c.size);
    for (const auto& s : manager->slices()) EXPECT_EQ(s->status(), NotStarted);
    manager->release();
  }
}

TEST_F(SliceManagerTest, IndexReadsBackAsWritten) {
  options_.slice_policy = FixedSize;
  options_.slice_policy_value = 4;
  auto manager = Plan(10);
  manager->setContentMd5("ABCDEF");
  ASSERT_TRUE(manager->slices()[0]->onNewData("abcd", 4));  // no cache: straight to the file
  ASSERT_TRUE(manager->slices()[1]->onNewData("ef", 2));
  ASSERT_TRUE(manager->flushIndexFile());

  const std::string bytes = ReadFileBytes(dir_.file("target.bin.dlindex"));
  ASSERT_GT(bytes.size(), 29u);
  EXPECT_EQ(bytes.substr(0, 29), "COURIER:SEGMENT-DOWNLOAD(2.0)");
  EXPECT_EQ(bytes[29], '{');
  const auto json = nlohmann::json::parse(bytes.substr(29));
  EXPECT_EQ(json["url"], options_.url);
  EXPECT_EQ(json["file_size"], 10);
  EXPECT_EQ(json["target_tmp_file_path"], options_.target_file_path + ".courier");
  EXPECT_EQ(bytes.find(' '), std::string::npos) << "written compactly";
  EXPECT_EQ(bytes.substr(29, 16), "{\"content_md5\":\"");

  auto loaded = std::make_shared<SliceManager>(&options_, "");
  managers_.push_back(loaded);
  manager->release();
  ASSERT_EQ(loaded->loadIndexFile(10, "abcdef"), SUCCESSED);
  EXPECT_EQ(RangesOf(*loaded), (std::vector<Range>{{1, 0, 3}, {2, 4, 7}, {3, 8, 9}}));
  EXPECT_EQ(loaded->slices()[0]->capacity(), 4);
  EXPECT_EQ(loaded->slices()[0]->status(), Completed);
  EXPECT_EQ(loaded->slices()[1]->capacity(), 2);
  EXPECT_EQ(loaded->slices()[1]->status(), NotStarted);
  EXPECT_EQ(loaded->downloadedBytes(), 6);
}

// Every index below is refused, and the run plans afresh.
TEST_F(SliceManagerTest, RefusesIndexesThatDoNotMatchOrDoNotFit) {
  options_.slice_policy = FixedSize;
  options_.slice_policy_value = 4;
  const std::string index_path = dir_.file("target.bin.dlindex");
  const std::string tmp_path = options_.target_file_path + ".courier";
  auto good = [&] {
    return nlohmann::json{{"content_md5", ""},
                          {"file_size", 10},
                          {"redirect_url", ""},
                          {"slices",
                           {{{"begin", 0}, {"capacity", 4}, {"end", 3}, {"index", 1}},
                            {{"begin", 4}, {"capacity", 0}, {"end", 7}, {"index", 2}},
                            {{"begin", 8}, {"capacity", 0}, {"end", 9}, {"index", 3}}}},
                          {"target_tmp_file_path", tmp_path},
                          {"update_time", 1700000000},
                          {"url", options_.url}};
  };
  WriteFileBytes(dir_.file("victim.bin"), std::string(10, 'v'));
  const struct {
    const char* name;
    std::function<std::string()> index;
  } cases[] = {
      {"too short", [] { return std::string("COURIER:SE"); }},
      {"wrong magic", [&] { return "COURIER:SEGMENT-DOWNLOAD(1.0)" + good().dump(); }},
      {"not JSON", [] { return std::string("COURIER:SEGMENT-DOWNLOAD(2.0)not json"); }},
      {"no update_time", [&] { auto j = good(); j.erase("update_time"); return kIndexMagic + j.dump(); }},
      {"no url", [&] { auto j = good(); j.erase("url"); return kIndexMagic + j.dump(); }},
      {"url as number", [&] { auto j = good(); j["url"] = 5; return kIndexMagic + j.dump(); }},
      {"another URL", [&] { auto j = good(); j["url"] = "http://elsewhere/x"; return kIndexMagic + j.dump(); }},
      {"another size", [&] { auto j = good(); j["file_size"] = 11; return kIndexMagic + j.dump(); }},
      {"foreign tmp file",
       [&] { auto j = good(); j["target_tmp_file_path"] = dir_.file("victim.bin"); return kIndexMagic + j.dump(); }},
      {"overlapping slices", [&] { auto j = good(); j["slices"][1]["begin"] = 2; return kIndexMagic + j.dump(); }},
      {"slice past the end", [&] { auto j = good(); j["slices"][2]["end"] = 20; return kIndexMagic + j.dump(); }},
      {"gap", [&] { auto j = good(); j["slices"].erase(1); return kIndexMagic + j.dump(); }},
      {"capacity over length", [&] { auto j = good(); j["slices"][0]["capacity"] = 5; return kIndexMagic + j.dump(); }},
      {"negative capacity", [&] { auto j = good(); j["slices"][1]["capacity"] = -3; return kIndexMagic + j.dump(); }},
      {"slices not a list", [&] { auto j = good(); j["slices"] = "x"; return kIndexMagic + j.dump(); }},
      {"no slices", [&] { auto j = good(); j.erase("slices"); return kIndexMagic + j.dump(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CreateFixedSizeFile(tmp_path, 10));
    WriteFileBytes(index_path, c.index());
    auto manager = std::make_shared<SliceManager>(&options_, "");
    managers_.push_back(manager);
    EXPECT_NE(manager->loadIndexFile(10, ""), SUCCESSED);
    EXPECT_TRUE(manager->slices().empty());
    manager->release();
  }
  EXPECT_EQ(ReadFileBytes(dir_.file("victim.bin")), std::string(10, 'v'));

  // The same index, unchanged, is taken; so is a slice number stored as a
  // floating number or a boolean.
  auto j = good();
  j["slices"][0]["index"] = 1.7;
  j["slices"][1]["index"] = true;
  WriteFileBytes(index_path, kIndexMagic + j.dump());
  auto manager = std::make_shared<SliceManager>(&options_, "");
  managers_.push_back(manager);
  ASSERT_EQ(manager->loadIndexFile(10, ""), SUCCESSED);
  EXPECT_EQ(RangesOf(*manager), (std::vector<Range>{{1, 0, 3}, {1, 4, 7}, {3, 8, 9}}));

  // Its temporary file gone: refused.
  manager->release();
  ASSERT_TRUE(::DeleteFileW(Utf8ToWide(tmp_path).c_str()));
  EXPECT_NE(manager->loadIndexFile(10, ""), SUCCESSED);
}

TEST_F(SliceManagerTest, ContentMd5CountsOnlyWhenAskedAndIgnoresCase) {
  auto manager = Plan(10);
  manager->setContentMd5("abcdef0123");
  ASSERT_TRUE(manager->flushIndexFile());
  manager->release();
  const struct {
    bool use;
    const char* probe;
    bool reused;
  } cases[] = {{true, "ABCDEF0123", true}, {true, "ffffff0123", false}, {false, "ffffff0123", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.probe);
    options_.use_content_md5 = c.use;
    auto loaded = std::make_shared<SliceManager>(&options_, "");
    managers_.push_back(loaded);
    EXPECT_EQ(loaded->loadIndexFile(10, c.probe) == SUCCESSED, c.reused);
    loaded->release();
  }
}

TEST_F(SliceManagerTest, ExpiredIndexIsRefused) {
  auto manager = Plan(10);
  ASSERT_TRUE(manager->flushIndexFile());
  manager->release();
  std::string bytes = ReadFileBytes(dir_.file("target.bin.dlindex"));
  auto json = nlohmann::json::parse(bytes.substr(29));
  json["update_time"] = json["update_time"].get<int64_t>() - 100;
  WriteFileBytes(dir_.file("target.bin.dlindex"), kIndexMagic + json.dump());
  options_.tmp_file_expired_time = 50;
  auto loaded = std::make_shared<SliceManager>(&options_, "");
  managers_.push_back(loaded);
  EXPECT_EQ(loaded->loadIndexFile(10, ""), TMP_FILE_EXPIRED);
  options_.tmp_file_expired_time = 500;
  EXPECT_EQ(loaded->loadIndexFile(10, ""), SUCCESSED);
}

TEST_F(SliceManagerTest, CacheWritesInLargeBlocks) {
  auto manager = Plan(6100);
  ASSERT_EQ(manager->slices().size(), 1u);
  Slice& slice = *manager->slices()[0];
  CURLM* multi = curl_multi_init();
  ASSERT_EQ(slice.start(multi, 1000, -1), SUCCESSED);
  const std::string a(400, 'a'), b(700, 'b'), c(5000, 'c');

  ASSERT_TRUE(slice.onNewData(a.data(), 400));
  EXPECT_EQ(slice.capacity(), 0);
  EXPECT_EQ(slice.cached(), 400);
  ASSERT_TRUE(slice.onNewData(b.data(), 700));  // the 400 go out first, the 700 are cached
  EXPECT_EQ(slice.capacity(), 400);
  EXPECT_EQ(slice.cached(), 700);
  ASSERT_TRUE(slice.onNewData(c.data(), 5000));  // larger than the cache: straight to the file
  EXPECT_EQ(slice.capacity(), 6100);
  EXPECT_EQ(slice.cached(), 0);

  slice.setStatus(Completed);
  EXPECT_EQ(slice.stop(multi), SUCCESSED);
  curl_multi_cleanup(multi);
  manager->release();
  EXPECT_EQ(ReadFileBytes(options_.target_file_path + ".courier"), a + b + c);
}

// The receiving thread hands a full cache to the disk writer and goes on:
// while this thread holds the temporary file's lock, the block cannot reach
// the file, yet the next data is taken into the slice's other block.
TEST_F(SliceManagerTest, FullCacheGoesToTheFileOffTheReceivingThread) {
  auto manager = Plan(1200);
  Slice& slice = *manager->slices()[0];
  CURLM* multi = curl_multi_init();
  ASSERT_EQ(slice.start(multi, 1000, -1), SUCCESSED);
  const std::string a(600, 'a'), b(600, 'b');
  const std::string path = options_.target_file_path + ".courier";
  {
    std::lock_guard hold(manager->targetFile()->lock());
    ASSERT_TRUE(slice.onNewData(a.data(), 600));
    ASSERT_TRUE(slice.onNewData(b.data(), 600));  // the 600 a go to the file, the 600 b are cached
    EXPECT_EQ(slice.capacity(), 600);
    EXPECT_EQ(slice.cached(), 600);
    EXPECT_EQ(ReadFileBytes(path), std::string(1200, '\0'));  // nothing written by this thread
  }
  EXPECT_TRUE(slice.flushToDisk());
  EXPECT_EQ(slice.capacity(), 1200);
  EXPECT_EQ(slice.cached(), 0);
  EXPECT_EQ(ReadFileBytes(path), a + b);
  slice.setStatus(Completed);
  EXPECT_EQ(slice.stop(multi), SUCCESSED);
  curl_multi_cleanup(multi);
}

// A cache block that could not be written costs the slice that block and the
// bytes cached behind it: it holds only what is in the file.
TEST_F(SliceManagerTest, FailedCacheWriteLeavesOnlyWhatIsInTheFile) {
  auto manager = Plan(3000);
  Slice& slice = *manager->slices()[0];
  CURLM* multi = curl_multi_init();
  ASSERT_EQ(slice.start(multi, 1000, -1), SUCCESSED);
  const std::string a(600, 'a');
  ASSERT_TRUE(slice.onNewData(a.data(), 600));
  manager->targetFile()->close();  // every later write fails
  bool refused = false;
  for (int i = 0; i < 4 && !refused; ++i) refused = !slice.onNewData(a.data(), 600);
  EXPECT_TRUE(refused);
  EXPECT_EQ(slice.held(), 0);
  slice.setStatus(Failed);
  slice.stop(multi);
  curl_multi_cleanup(multi);
}

TEST_F(SliceManagerTest, StoppedSliceKeepsOrDropsItsProgressByPolicy) {
  const struct {
    int32_t policy;
    int32_t status;
    int64_t kept;
  } cases[] = {
      {DiscardUnfinished, Downloading, 0}, {DiscardUnfinished, Failed, 0}, {DiscardFailed, Downloading, 300},
      {DiscardFailed, Failed, 0},          {5, Failed, 300},               {DiscardUnfinished, Scheduled, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "policy " << c.policy << " status " << c.status);
    options_.uncompleted_slice_save_policy = c.policy;
    auto manager = Plan(1000);
    Slice& slice = *manager->slices()[0];
    CURLM* multi = curl_multi_init();
    ASSERT_EQ(slice.start(multi, 1000, -1), SUCCESSED);
    ASSERT_TRUE(slice.onNewData(std::string(300, 'x').data(), 300));
    slice.setStatus(c.status);
    EXPECT_EQ(slice.stop(multi), SUCCESSED);
    EXPECT_EQ(slice.held(), c.kept);
    EXPECT_FALSE(slice.hasCache());
    curl_multi_cleanup(multi);
    manager->release();
  }
}

TEST_F(SliceManagerTest, FinishChecksSizeAndHashThenMovesTheFile) {
  const std::string data = "0123456789";
  const struct {
    const char* hash;
    int32_t type;
    Result expected;
  } cases[] = {
      {"781E5E245D69B566979B86E28D23F2C7", MD5, SUCCESSED},  // capitals match too
      {"00000000000000000000000000000000", MD5, HASH_VERIFY_NOT_PASS},
      {"a684c7c7", CRC32, HASH_VERIFY_NOT_PASS},
      {"A684C7C6", CRC32, SUCCESSED},
      {"abc", 17, CALCULATE_HASH_FAILED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hash);
    options_.hash_value = c.hash;
    options_.hash_type = c.type;
    auto manager = Plan(10);
    ASSERT_TRUE(manager->slices()[0]->onNewData(data.data(), 10));
    manager->slices()[0]->setStatus(Completed);
    EXPECT_EQ(manager->finish(true, nullptr), c.expected);
    EXPECT_EQ(FileExists(options_.target_file_path), c.expected == SUCCESSED);
    EXPECT_EQ(FileExists(dir_.file("target.bin.dlindex")), c.expected != SUCCESSED);
    if (c.expected == SUCCESSED) {
      EXPECT_EQ(ReadFileBytes(options_.target_file_path), data);
    }
    manager->release();
    ::DeleteFileW(Utf8ToWide(options_.target_file_path).c_str());
  }

  // Short of the size: no hash is even needed to refuse it.
  options_.hash_value.clear();
  auto manager = Plan(10);
  ASSERT_TRUE(manager->slices()[0]->onNewData(data.data(), 9));
  EXPECT_EQ(manager->finish(true, nullptr), SLICE_DOWNLOAD_FAILED);
  EXPECT_FALSE(FileExists(options_.target_file_path));
}

}  // namespace
}  // namespace courier
