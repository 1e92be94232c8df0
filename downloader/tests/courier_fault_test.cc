// The downloader against the rig's fault-injecting server: error answers,
// resets, stalls, servers that ignore Range or lie about lengths, redirects.
#include "downloader/courier.h"

#include <gtest/gtest.h>

#include "downloader/tests/rig_support.h"
#include "downloader/tests/run_recorder.h"

namespace courier {
namespace {

using namespace courier_test;

struct FaultCase {
  const char* name;
  const char* file;
  std::string path_and_query;  // "{file}" and "{key}" are filled in
  int threads;
  int64_t slice_size;  // FixedSize slices; 0 keeps the Auto policy
  Result expected;
  int gets;  // GETs the server saw, -1 when it does not matter
  int seconds;
  bool use_content_md5 = false;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

std::string Fill(std::string text, const std::string& file, const std::string& key) {
  for (size_t at; (at = text.find("{file}")) != std::string::npos;) text.replace(at, 6, file);
  for (size_t at; (at = text.find("{key}")) != std::string::npos;) text.replace(at, 5, key);
  return text;
}

class CourierFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CourierFaultTest, EndsAsExpected) {
  const FaultCase& c = GetParam();
  const RigFile file = GetRigFile(c.file);
  const std::string key = UniqueKey("fault");
  TempDir dir;
  Courier courier;
  courier.setThreadNum(c.threads);
  if (c.slice_size > 0) {
    courier.options().slice_policy = FixedSize;
    courier.options().slice_policy_value = c.slice_size;
  }
  // A stall is noticed in 2 s rather than the default guard's minute.
  courier.options().min_speed = 100;
  courier.options().min_speed_duration = 2;
  courier.options().use_content_md5 = c.use_content_md5;
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  const std::string target = dir.file("out.bin");
  auto run = courier.start(FaultUrl(Fill(c.path_and_query, c.file, key)), target, rec.results(), nullptr, nullptr);
  EXPECT_EQ(Await(courier, run, c.seconds), c.expected) << rec.logText();
  EXPECT_EQ(rec.resultCalls(), std::vector<Result>{c.expected});
  if (c.expected == SUCCESSED) {
    EXPECT_EQ(Md5Of(target), file.md5);
  } else {
    EXPECT_FALSE(FileExists(target));
  }
  if (c.gets >= 0) {
    EXPECT_EQ(Gets(FaultLog(key)).size(), static_cast<size_t>(c.gets)) << rec.logText();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CourierFaultTest,
    ::testing::Values(
        // Each failed slice is fetched again, up to three times in all.
        FaultCase{"ServerErrorTwiceThenServed", "medium.bin", "/files/{file}?key={key}&status=503&times=2", 1,
                  2097152, SUCCESSED, 5, 60},
        FaultCase{"ServerErrorAlways", "tiny.bin", "/files/{file}?key={key}&status=503", 1, 0,
                  SLICE_DOWNLOAD_FAILED, 3, 60},
        // An error page is never taken for a file of unknown size.
        FaultCase{"ServerErrorOnUnknownSize", "tiny.bin", "/files/{file}?key={key}&nolength=1&status=502", 1, 0,
                  SLICE_DOWNLOAD_FAILED, 3, 60},
        FaultCase{"NotFoundOnGet", "tiny.bin", "/files/{file}?key={key}&status=404", 1, 0, SLICE_DOWNLOAD_FAILED, 3,
                  60},
        FaultCase{"ResetOnceMidSlice", "medium.bin", "/files/{file}?key={key}&reset=100000&times=1", 1, 2097152,
                  SUCCESSED, 4, 60},
        FaultCase{"ResetAlways", "small.bin", "/files/{file}?key={key}&reset=1000", 2, 0, SLICE_DOWNLOAD_FAILED, 3,
                  60},
        FaultCase{"StallOnceMidSlice", "small.bin", "/files/{file}?key={key}&stall=1000&times=1", 1, 0, SUCCESSED, 2,
                  60},
        FaultCase{"ProbeStalls", "small.bin", "/files/{file}?key={key}&head_stall=1", 1, 0, FETCH_FILE_INFO_FAILED, 0,
                  60},
        FaultCase{"ProbeAnswers500", "small.bin", "/files/{file}?key={key}&head_status=500", 1, 0,
                  FETCH_FILE_INFO_FAILED, 0, 60},
        // Claims more than it sends, once: the slice is fetched again.
        FaultCase{"BodyShorterThanItsLengthOnce", "small.bin", "/files/{file}?key={key}&body_length=2000000&times=1",
                  1, 0, SUCCESSED, 2, 60},
        // The probe's size is smaller than the file: the answers' Content-Range
        // shows it, and the truncated file is not reported as a success.
        FaultCase{"ProbeLengthTooSmall", "medium.bin", "/files/{file}?key={key}&head_length=1048576", 1, 0,
                  SLICE_DOWNLOAD_FAILED, 3, 60},
        FaultCase{"ProbeLengthTooLarge", "medium.bin", "/files/{file}?key={key}&head_length=7340032", 4, 2097152,
                  SLICE_DOWNLOAD_FAILED, -1, 60},
        // A server that says it takes no ranges gets one request without Range.
        FaultCase{"AcceptRangesNone", "medium.bin", "/files/{file}?key={key}&accept_ranges=none", 4, 1048576,
                  SUCCESSED, 1, 60},
        FaultCase{"AcceptRangesNoneInCapitals", "small.bin", "/files/{file}?key={key}&accept_ranges=NONE", 4, 0,
                  SUCCESSED, 1, 60},
        // Each slice follows the redirect itself: three answers of 302, three of data.
        FaultCase{"Redirected", "medium.bin", "/redirect/{file}?key={key}", 2, 2097152, SUCCESSED, 6, 60},
        FaultCase{"RedirectLoop", "tiny.bin", "/loop", 1, 0, FETCH_FILE_INFO_FAILED, -1, 30},
        // Only the final answer describes the file. The 302's own length (its
        // 6-byte body) is no size for a file whose answer gives none: one
        // open-ended slice, and no success claimed for 6 bytes.
        FaultCase{"RedirectLengthWithoutFinalLength", "small.bin", "/redirect/{file}?key={key}&nolength=1", 1, 0,
                  NOT_CLEARLY_RESULT, 2, 60},
        // A 302 that refuses ranges does not stop the file's server from
        // taking them: three slices, each a 302 and a ranged answer.
        FaultCase{"RedirectRefusesRangesFinalAnswerTakesThem", "medium.bin",
                  "/redirect/{file}?key={key}&redirect_accept_ranges=none", 4, 2097152, SUCCESSED, 6, 60},
        // A 302's Content-MD5 is not the file's digest.
        FaultCase{"RedirectDigestWithoutFinalDigest", "small.bin",
                  "/redirect/{file}?key={key}&redirect_md5=0123456789abcdef0123456789abcdef", 1, 0, SUCCESSED, 2,
                  60, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(CourierFault, AcceptRangesNoneSendsNoRange) {
  const std::string key = UniqueKey("none");
  TempDir dir;
  Courier courier;
  courier.setThreadNum(4);
  auto run = courier.start(FaultUrl("/files/small.bin?key=" + key + "&accept_ranges=none"), dir.file("s.bin"),
                           nullptr, nullptr, nullptr);
  ASSERT_EQ(Await(courier, run), SUCCESSED);
  const auto gets = Gets(FaultLog(key));
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].range, "-");
  EXPECT_EQ(gets[0].status, 200);
}

// A server that ignores Range answers every slice with the whole file: the
// slice that asked from byte 0 takes its own bytes, every other slice refuses
// the answer, and nothing lands outside the slice it belongs to.
TEST(CourierFault, ServerIgnoringRangeNeverWritesOverOtherSlices) {
  const RigFile file = GetRigFile("medium.bin");
  const std::string key = UniqueKey("norange");
  TempDir dir;
  Courier courier;
  courier.setThreadNum(1);
  courier.options().slice_policy = FixedSize;
  courier.options().slice_policy_value = 2097152;
  const std::string target = dir.file("m.bin");
  auto run = courier.start(FaultUrl("/files/medium.bin?key=" + key + "&norange=1"), target, nullptr, nullptr, nullptr);
  EXPECT_EQ(Await(courier, run), SLICE_DOWNLOAD_FAILED);

  const std::string source = ReadFileBytes(file.path);
  const std::string partial = ReadFileBytes(target + ".courier");
  ASSERT_EQ(partial.size(), source.size());
  EXPECT_TRUE(partial.compare(0, 2097152, source, 0, 2097152) == 0) << "the first slice holds the file's start";
  EXPECT_EQ(partial.find_first_not_of('\0', 2097152), std::string::npos) << "other slices were written over";
  // The first slice once, the second three times; once the second has used
  // up its restarts the run gives up, so the third is asked only once.
  EXPECT_EQ(Gets(FaultLog(key)).size(), 5u);
}

TEST(CourierFault, ResetSliceIsFetchedAgainFromItsStart) {
  const std::string key = UniqueKey("reset");
  TempDir dir;
  Courier courier;
  courier.options().slice_policy = FixedSize;
  courier.options().slice_policy_value = 2097152;
  auto run = courier.start(FaultUrl("/files/medium.bin?key=" + key + "&reset=100000&times=1"), dir.file("m.bin"),
                           nullptr, nullptr, nullptr);
  ASSERT_EQ(Await(courier, run), SUCCESSED);
  const auto gets = Gets(FaultLog(key));
  ASSERT_EQ(gets.size(), 4u);
  // Slices not yet started come before a restart.
  EXPECT_EQ(gets[0].range, "bytes=0-2097151");
  EXPECT_EQ(gets[1].range, "bytes=2097152-4194303");
  EXPECT_EQ(gets[2].range, "bytes=4194304-6291455");
  EXPECT_EQ(gets[3].range, "bytes=0-2097151");
  EXPECT_EQ(gets[3].bytes, 2097152);
}

TEST(CourierFault, UnknownSizeIsKeptUnlessAHashVouchesForIt) {
  const RigFile file = GetRigFile("small.bin");
  const struct {
    std::string hash;
    Result expected;
  } cases[] = {{"", NOT_CLEARLY_RESULT}, {file.md5, SUCCESSED}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hash);
    const std::string key = UniqueKey("nolength");
    TempDir dir;
    Courier courier;
    courier.options().hash_value = c.hash;
    RunRecorder rec;
    auto run = courier.start(FaultUrl("/files/small.bin?key=" + key + "&nolength=1&rate=512k"), dir.file("s.bin"),
                             nullptr, rec.progress(), nullptr);
    EXPECT_EQ(Await(courier, run), c.expected);
    const std::string kept = c.expected == SUCCESSED ? dir.file("s.bin") : dir.file("s.bin.courier");
    EXPECT_EQ(Md5Of(kept), file.md5);
    EXPECT_EQ(FileExists(dir.file("s.bin")), c.expected == SUCCESSED);
    ASSERT_FALSE(rec.progressCalls().empty());
    EXPECT_EQ(rec.progressCalls().front().first, -1) << "the total of an unknown size";
  }
}

// A stop reaches a probe that waits on a silent server at once, and the run
// ends as cancelled rather than as a failed probe.
TEST(CourierFault, StopCutsAStalledProbeShort) {
  const std::string key = UniqueKey("probe");
  TempDir dir;
  Courier courier;
  RunRecorder rec;
  auto run = courier.start(FaultUrl("/files/small.bin?key=" + key + "&head_stall=1"), dir.file("s.bin"),
                           rec.results(), nullptr, nullptr);
  ASSERT_TRUE(WaitFor([&] { return FaultLog(key).size() == 1; }, 10));
  const auto stopped_at = std::chrono::steady_clock::now();
  courier.stop();
  EXPECT_EQ(Await(courier, run, 10), CANCELED);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, std::chrono::seconds(3));
  EXPECT_EQ(rec.resultCalls(), std::vector<Result>{CANCELED});
  EXPECT_EQ(FaultLog(key).size(), 1u) << "no further probe after the stop";
  EXPECT_FALSE(FileExists(dir.file("s.bin.courier")));
}

}  // namespace
}  // namespace courier
