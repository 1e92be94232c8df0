#include "vireon_sdk/src/report/vireon_config.h"

#include <thread>

namespace vireon {

int SocketThreadCountFor(unsigned hardware_threads) {
  if (hardware_threads >= 4) return 4;
  if (hardware_threads == 3) return 3;
  return 2;
}

const int socket_thread_count = SocketThreadCountFor(std::thread::hardware_concurrency());

}  // namespace vireon
