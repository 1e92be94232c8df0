// Reads the process's own channel on one long-running task: every message
// becomes a packet, is counted, and goes to dispatch.
#pragma once

#include <future>
#include <memory>

#include "ipc/ipc_channel.h"

namespace ipc {

class IpcReceiver {
 public:
  static constexpr uint64_t kReceiveTimeoutMs = 2000;

  IpcReceiver() = default;
  // Waits for the receive task, then disconnects and closes the channel.
  ~IpcReceiver();

  // Opens the own channel (Global when this process is elevated, else
  // Local) and launches the receive loop. A client type without a channel
  // name starts nothing.
  void Start();
  // The receive loop; returns once IPC is stopping.
  void Run();
  // Cuts the current receive short, so the loop sees the stopping flag now
  // rather than at the end of its receive timeout.
  void Wake();

  std::future<void>& task() { return task_; }

 private:
  void Handle(const ShmBuffer& buffer);

  std::unique_ptr<IpcChannel> channel_;
  std::future<void> task_;
};

}  // namespace ipc
