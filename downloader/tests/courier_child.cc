// A download in a process of its own, for tests that kill it mid-way:
//   courier_child URL TARGET THREADS SLICE_SIZE
// Exits with the run's result code.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "downloader/courier.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: courier_child URL TARGET THREADS SLICE_SIZE\n");
    return 100;
  }
  courier::Courier courier;
  courier.setThreadNum(std::atoi(argv[3]));
  courier.options().slice_policy = courier::FixedSize;
  courier.options().slice_policy_value = std::atoll(argv[4]);
  auto run = courier.start(argv[1], argv[2], nullptr, nullptr, nullptr);
  return static_cast<int>(run.get());
}
