// Times one download by the downloader:
//   courier_bench URL TARGET THREADS [SLICES]
// With SLICES the file is cut into that many equal slices (one long request
// per connection); without it the installer's own slicing applies. Prints
// "<result> <bytes> <seconds>"; with COURIER_BENCH_LOG set, the download log
// goes to stderr, each line with its time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "downloader/courier.h"
#include "downloader/file_util.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: courier_bench URL TARGET THREADS [SLICES]\n");
    return 2;
  }
  courier::Courier courier;
  courier.setThreadNum(std::atoi(argv[3]));
  if (argc == 5) {
    courier.options().slice_policy = courier::FixedCount;
    courier.options().slice_policy_value = std::atoll(argv[4]);
  }
  // The downloader's own log, each line with its time, for a look at a slow
  // or failed run.
  const auto start = std::chrono::steady_clock::now();
  if (std::getenv("COURIER_BENCH_LOG") != nullptr) {
    courier.options().verbose_functor = [start](const std::string& line) {
      const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::fprintf(stderr, "%9.3f %s", at, line.c_str());
    };
  }
  const courier::Result result = courier.start(argv[1], argv[2], nullptr, nullptr, nullptr).get();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long long bytes = 0;
  if (courier::UniqueFile f = courier::OpenFileUtf8(argv[2], "rb")) {
    _fseeki64(f.get(), 0, SEEK_END);
    bytes = _ftelli64(f.get());
  }
  std::printf("%d %lld %.3f\n", static_cast<int>(result), bytes, seconds);
  return result == courier::SUCCESSED ? 0 : 1;
}
