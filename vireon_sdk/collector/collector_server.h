// The collector's TCP side: loopback only, one request frame per connection,
// each connection on a thread of its own, answered as the mode says.
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "vireon_sdk/collector/collector_options.h"
#include "vireon_sdk/collector/event_store.h"

namespace vireon::collector {

class CollectorServer {
 public:
  CollectorServer(const Options& options, EventStore* store) : options_(options), store_(store) {}

  // Serves until SIGTERM/SIGINT, --exit-after-ms or --max-connections; the
  // process exit code (0 after an orderly stop, 1 when the port cannot be had).
  int Run();

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void Serve(int fd, const std::string& peer);
  // The bytes of one request: up to the client's half-close or the frame's
  // own length, within the read time-out and at most one frame's size.
  bool ReadRequest(int fd, std::string* frame, std::string* problem);
  void Hang();
  void Reap(bool all);
  void Log(const std::string& line);

  const Options options_;
  EventStore* const store_;
  std::list<Worker> workers_;
  std::mutex log_mutex_;
  std::mutex stop_mutex_;
  std::condition_variable stop_signal_;
  bool stopping_ = false;
};

}  // namespace vireon::collector
