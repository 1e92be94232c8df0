// Times FileMd5Hex over a large file of pseudo-random bytes (made on the first
// run, reused later) and prints the best of three runs:
//   md5_bench <file> [size in MiB]
//   -> "<digest> <seconds>"
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/file_md5.h"

namespace {

bool MakeDataFile(const std::filesystem::path& path, std::uintmax_t size) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) == size && !error) return true;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<std::uint64_t> chunk(1 << 17);  // 1 MiB
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (std::uintmax_t written = 0; written < size && out; written += chunk.size() * 8) {
    for (std::uint64_t& word : chunk) {  // xorshift64*
      state ^= state >> 12;
      state ^= state << 25;
      state ^= state >> 27;
      word = state * 0x2545F4914F6CDD1Dull;
    }
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 8));
  }
  return static_cast<bool>(out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: md5_bench <file> [size in MiB]\n");
    return 2;
  }
  const std::filesystem::path path = argv[1];
  const std::uintmax_t mebibytes = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 256;
  if (!MakeDataFile(path, mebibytes << 20)) {
    std::fprintf(stderr, "cannot write %ls\n", path.c_str());
    return 1;
  }
  std::string digest;
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    digest = base::FileMd5Hex(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  std::printf("%s %.6f\n", digest.c_str(), best);
  return digest == "null" ? 1 : 0;
}
