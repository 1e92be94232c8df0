// The downloader end to end against the rig's nginx: whole files checked by
// MD5, refusals, progress, pause, resume and stop.
#include "downloader/courier.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>

#include "downloader/target_file.h"
#include "downloader/tests/rig_support.h"
#include "downloader/tests/run_recorder.h"

namespace courier {
namespace {

using namespace courier_test;

TEST(Courier, DownloadsWholeFilesMatchingTheirMd5) {
  const struct {
    const char* file;
    int threads;
    const char* expected_log;
  } cases[] = {
      {"tiny.bin", 1, "Slice<1>, Range: 0-999."},
      {"small.bin", 2, "Disk cache per slice: 20971520."},
      // 25 MiB: three slices, all started at once, each with a third of the cache.
      {"large.bin", 4, "Disk cache per slice: 6990506."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const RigFile file = GetRigFile(c.file);
    TempDir dir;
    Courier courier;
    courier.setThreadNum(c.threads);
    RunRecorder rec;
    courier.options().verbose_functor = rec.log();
    const std::string target = dir.file(c.file);
    auto run = courier.start(NginxUrl("/files/" + file.name), target, rec.results(), rec.progress(), nullptr);
    EXPECT_EQ(Await(courier, run), SUCCESSED) << rec.logText();
    EXPECT_EQ(Md5Of(target), file.md5);
    EXPECT_EQ(rec.resultCalls(), std::vector<Result>{SUCCESSED});
    EXPECT_FALSE(FileExists(target + ".courier"));
    EXPECT_FALSE(FileExists(target + ".dlindex"));
    EXPECT_EQ(rec.countInLog(c.expected_log), 1) << rec.logText();
    for (const auto& [total, held] : rec.progressCalls()) {
      EXPECT_EQ(total, file.size);
      EXPECT_LE(held, file.size);
    }
    EXPECT_EQ(courier.downloadState(), 0);
  }
}

TEST(Courier, LargeFileRunsThreeSlicesAtOnce) {
  const RigFile file = GetRigFile("large.bin");
  TempDir dir;
  Courier courier;
  courier.setThreadNum(4);
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  auto run = courier.start(NginxUrl("/files/large.bin"), dir.file("l.bin"), nullptr, nullptr, nullptr);
  ASSERT_EQ(Await(courier, run), SUCCESSED);
  const std::string log = rec.logText();
  // All three start in the first pass, before the transfer begins.
  const size_t begin = log.find("Start downloading.");
  ASSERT_NE(begin, std::string::npos);
  for (const char* line : {"Slice<1> start downloading.", "Slice<2> start downloading.", "Slice<3> start downloading."}) {
    const size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_LT(at, begin) << line;
  }
}

TEST(Courier, EmptyFileNeedsNoTemporaryFile) {
  TempDir dir;
  Courier courier;
  const std::string target = dir.file("empty.bin");
  WriteFileBytes(target, "old contents");
  auto run = courier.start(NginxUrl("/files/empty.bin"), target, nullptr, nullptr, nullptr);
  EXPECT_EQ(Await(courier, run), SUCCESSED);
  EXPECT_EQ(FileSize(target), 0);
  EXPECT_FALSE(FileExists(target + ".courier"));
  EXPECT_FALSE(FileExists(target + ".dlindex"));
}

TEST(Courier, RefusedStartsArriveLikeResults) {
  TempDir dir;
  const struct {
    const char* url;
    std::string target;
    Result expected;
  } cases[] = {
      {"", dir.file("a.bin"), INVALID_URL},
      {"http://127.0.0.1/x", dir.file("a?.bin"), INVALID_TARGET_FILE_PATH},
      {"http://127.0.0.1/x", dir.path() + "\\", INVALID_TARGET_FILE_PATH},
  };
  Courier courier;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    RunRecorder rec;
    auto run = courier.start(c.url, c.target, rec.results(), nullptr, nullptr);
    EXPECT_EQ(Await(courier, run, 10), c.expected);
    EXPECT_EQ(rec.resultCalls(), std::vector<Result>{c.expected});
  }
}

TEST(Courier, UrlIsTrimmedOfSpacesOnly) {
  TempDir dir;
  Courier courier;
  courier.options().fetch_file_info_retry_times = 0;
  const RigFile file = GetRigFile("tiny.bin");
  auto run = courier.start("  " + NginxUrl("/files/tiny.bin") + " ", dir.file("t.bin"), nullptr, nullptr, nullptr);
  EXPECT_EQ(Await(courier, run), SUCCESSED);
  EXPECT_EQ(Md5Of(dir.file("t.bin")), file.md5);
  EXPECT_EQ(Await(courier, courier.start("   ", dir.file("u.bin"), nullptr, nullptr, nullptr)), FETCH_FILE_INFO_FAILED);
  EXPECT_NE(Await(courier, courier.start(NginxUrl("/files/tiny.bin") + "\t", dir.file("v.bin"), nullptr, nullptr,
                                         nullptr)),
            SUCCESSED);
}

TEST(Courier, ProbeOfMissingFileFailsAfterTwoAttempts) {
  TempDir dir;
  Courier courier;
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  auto run = courier.start(NginxUrl("/files/no-such-file.bin"), dir.file("x.bin"), rec.results(), nullptr, nullptr);
  EXPECT_EQ(Await(courier, run), FETCH_FILE_INFO_FAILED);
  EXPECT_EQ(rec.countInLog("HTTP response code error, code: 404.\n"), 2);
  EXPECT_FALSE(FileExists(dir.file("x.bin.courier")));
}

TEST(Courier, ThreadNumberRules) {
  Courier courier;
  const struct {
    int32_t given;
    int32_t expected;
  } cases[] = {{0, 1}, {64, 64}, {128, 64}, {100, 100}, {-5, 1}, {101, 1}};
  for (const auto& c : cases) {
    courier.setThreadNum(c.given);
    EXPECT_EQ(courier.options().thread_num, c.expected) << c.given;
  }
}

TEST(Courier, HashValueIsCheckedIgnoringCase) {
  const RigFile file = GetRigFile("small.bin");
  std::string upper = file.md5;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const struct {
    std::string hash;
    Result expected;
  } cases[] = {{upper, SUCCESSED}, {std::string(32, '0'), HASH_VERIFY_NOT_PASS}};
  for (const auto& c : cases) {
    TempDir dir;
    Courier courier;
    courier.options().hash_value = c.hash;
    const std::string target = dir.file("s.bin");
    EXPECT_EQ(Await(courier, courier.start(NginxUrl("/files/small.bin"), target, nullptr, nullptr, nullptr)),
              c.expected);
    EXPECT_EQ(FileExists(target), c.expected == SUCCESSED);
    // A file that failed its check stays as it is, with its index, for a look.
    EXPECT_EQ(FileExists(target + ".courier"), c.expected != SUCCESSED);
    EXPECT_EQ(FileExists(target + ".dlindex"), c.expected != SUCCESSED);
  }
}

// A download slow enough to be caught mid-way: 6 MiB in 1 MiB slices, two at a
// time, each answer sent at 512 KiB/s.
struct SlowRun {
  const RigFile file = GetRigFile("medium.bin");
  TempDir dir;
  Courier courier;
  RunRecorder rec;
  std::string target = dir.file("m.bin");
  std::shared_future<Result> run;

  SlowRun() {
    courier.setThreadNum(2);
    courier.options().slice_policy = FixedSize;
    courier.options().slice_policy_value = 1048576;
    courier.options().verbose_functor = rec.log();
    run = courier.start(NginxUrl("/rate/medium.bin?rate=512k"), target, rec.results(), rec.progress(), rec.speeds());
  }
};

TEST(Courier, PauseHoldsEverySliceUntilResume) {
  SlowRun slow;
  ASSERT_TRUE(WaitFor([&] { return slow.rec.lastDownloaded() > 0; }, 20));
  slow.courier.pause();
  EXPECT_EQ(slow.courier.downloadState(), 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // what was in flight has landed
  const int64_t held = slow.rec.lastDownloaded();
  const size_t speeds_before = slow.rec.speedCalls().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(slow.rec.lastDownloaded(), held) << "bytes arrived while paused";
  const auto speeds = slow.rec.speedCalls();
  ASSERT_GT(speeds.size(), speeds_before);
  for (size_t i = speeds_before; i < speeds.size(); ++i) EXPECT_EQ(speeds[i], 0);
  EXPECT_FALSE(slow.run.wait_for(std::chrono::seconds(0)) == std::future_status::ready);

  slow.courier.resume();
  EXPECT_EQ(slow.courier.downloadState(), 1);
  EXPECT_EQ(Await(slow.courier, slow.run), SUCCESSED) << slow.rec.logText();
  EXPECT_EQ(Md5Of(slow.target), slow.file.md5);
}

TEST(Courier, StopCancelsOnceAndTheNextRunResumes) {
  SlowRun slow;
  ASSERT_TRUE(WaitFor([&] { return slow.rec.lastDownloaded() > 1048576; }, 20));
  slow.courier.stop();
  EXPECT_EQ(slow.courier.downloadState(), 0);
  EXPECT_EQ(Await(slow.courier, slow.run, 10), CANCELED);
  EXPECT_EQ(slow.rec.resultCalls(), std::vector<Result>{CANCELED});
  EXPECT_FALSE(FileExists(slow.target));
  ASSERT_TRUE(FileExists(slow.target + ".courier"));
  const std::string index = ReadFileBytes(slow.target + ".dlindex");
  ASSERT_GT(index.size(), 29u);
  const auto json = nlohmann::json::parse(index.substr(29));
  EXPECT_EQ(json["target_tmp_file_path"], slow.target + ".courier");
  int64_t kept = 0;
  for (const auto& s : json["slices"]) kept += s["capacity"].get<int64_t>();
  EXPECT_GE(kept, 1048576) << "the finished slice is kept";

  // After any run has ended, a new start is accepted, and it picks up the index.
  RunRecorder again;
  slow.courier.options().verbose_functor = again.log();
  auto run = slow.courier.start(NginxUrl("/rate/medium.bin?rate=512k"), slow.target, again.results(), nullptr,
                                nullptr);
  EXPECT_EQ(Await(slow.courier, run), SUCCESSED) << again.logText();
  EXPECT_EQ(again.countInLog("Load exist slice success.\n"), 1);
  EXPECT_EQ(Md5Of(slow.target), slow.file.md5);
}

TEST(Courier, StartDuringARunIsRefusedAndLeavesItAlone) {
  SlowRun slow;
  ASSERT_TRUE(WaitFor([&] { return slow.courier.downloadState() == 1; }, 10));
  RunRecorder second;
  auto refused = slow.courier.start(NginxUrl("/files/tiny.bin"), slow.dir.file("other.bin"), second.results(),
                                    nullptr, nullptr);
  EXPECT_EQ(Await(slow.courier, refused, 10), ALREADY_DOWNLOADING);
  EXPECT_EQ(second.resultCalls(), std::vector<Result>{ALREADY_DOWNLOADING});
  slow.courier.setThreadNum(7);  // ignored during a run
  EXPECT_EQ(slow.courier.options().thread_num, 2);
  EXPECT_EQ(Await(slow.courier, slow.run), SUCCESSED);
  EXPECT_EQ(Md5Of(slow.target), slow.file.md5);
  EXPECT_FALSE(FileExists(slow.dir.file("other.bin")));
}

// A pause or a resume that arrives while a finished run winds down leaves
// it idle, so the next start is accepted. The call comes from the progress
// worker, whose last report the end of the run waits for: the task holds at
// the start of its transfer until that report has begun, and the report
// acts only once the run's stop event shows that the run has ended.
TEST(Courier, PauseOrResumeAtTheEndOfARunLeavesItIdle) {
  const RigFile file = GetRigFile("tiny.bin");
  for (const bool pause : {true, false}) {
    SCOPED_TRACE(pause ? "pause" : "resume");
    TempDir dir;
    Courier courier;
    std::atomic<bool> reported{false};
    std::atomic<bool> acted{false};
    courier.options().verbose_functor = [&](const std::string& line) {
      if (line == "Start downloading.\n") WaitFor([&] { return reported.load(); }, 20);
    };
    auto progress = [&](int64_t, int64_t) {
      if (reported.exchange(true)) return;
      WaitFor([&] { return courier.options().internal_stop_event.isSet(); }, 20);
      if (pause) {
        courier.pause();
      } else {
        courier.resume();
      }
      acted = true;
    };
    auto run = courier.start(NginxUrl("/files/tiny.bin"), dir.file("t.bin"), nullptr, progress, nullptr);
    EXPECT_EQ(Await(courier, run), SUCCESSED);
    EXPECT_TRUE(acted);
    EXPECT_EQ(courier.downloadState(), 0);
    auto again = courier.start(NginxUrl("/files/tiny.bin"), dir.file("u.bin"), nullptr, nullptr, nullptr);
    EXPECT_EQ(Await(courier, again), SUCCESSED);
    EXPECT_EQ(Md5Of(dir.file("u.bin")), file.md5);
  }
}

// A stop makes the state idle at once, so setThreadNum is taken; the run that
// is still winding down keeps the count it started with (here it is held
// inside its first pass, which would otherwise go on starting slices).
TEST(Courier, ThreadCountSetAfterAStopIsForTheNextRun) {
  TempDir dir;
  Courier courier;
  courier.setThreadNum(1);
  courier.options().slice_policy = FixedSize;
  courier.options().slice_policy_value = 1048576;
  RunRecorder rec;
  const VerboseFunctor record = rec.log();
  std::atomic<bool> held{false};
  std::atomic<bool> released{false};
  courier.options().verbose_functor = [&](const std::string& line) {
    record(line);
    if (line == "Slice<1> start downloading.\n") {
      held = true;
      WaitFor([&] { return released.load(); }, 20);
    }
  };
  auto run = courier.start(NginxUrl("/files/medium.bin"), dir.file("m.bin"), rec.results(), nullptr, nullptr);
  EXPECT_TRUE(WaitFor([&] { return held.load(); }, 20));
  courier.stop();
  courier.setThreadNum(4);
  released = true;
  EXPECT_EQ(Await(courier, run), CANCELED) << rec.logText();
  EXPECT_EQ(rec.countInLog("start downloading.\n"), 1) << rec.logText();
  EXPECT_EQ(courier.options().thread_num, 4);
}

// An I/O error that shows only when the temporary file is closed fails the
// run: nothing is moved onto the target, and no index vouches for bytes that
// may be missing, so the next run fetches the file afresh.
TEST(Courier, AFailedCloseOfTheTemporaryFileFailsTheRun) {
  const RigFile file = GetRigFile("small.bin");
  TempDir dir;
  Courier courier;
  RunRecorder rec;
  courier.options().verbose_functor = rec.log();
  const std::string target = dir.file("s.bin");
  const StreamCloser usual = SetStreamCloserForTesting([](FILE* stream) {
    std::fclose(stream);
    return false;
  });
  auto run = courier.start(NginxUrl("/files/small.bin"), target, rec.results(), nullptr, nullptr);
  const Result result = Await(courier, run);
  SetStreamCloserForTesting(usual);
  EXPECT_EQ(result, FLUSH_TMP_FILE_FAILED) << rec.logText();
  EXPECT_EQ(rec.resultCalls(), std::vector<Result>{FLUSH_TMP_FILE_FAILED});
  EXPECT_FALSE(FileExists(target));
  EXPECT_FALSE(FileExists(target + ".dlindex"));

  RunRecorder again;
  courier.options().verbose_functor = again.log();
  auto next = courier.start(NginxUrl("/files/small.bin"), target, nullptr, nullptr, nullptr);
  EXPECT_EQ(Await(courier, next), SUCCESSED) << again.logText();
  EXPECT_EQ(again.countInLog("Load exist slice success.\n"), 0);
  EXPECT_EQ(Md5Of(target), file.md5);
}

}  // namespace
}  // namespace courier
