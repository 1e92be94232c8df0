// The owner of one shared-memory channel endpoint for the time of one send,
// one query or the receiver's life.
#pragma once

#include <memory>
#include <string>

#include "ipc/shm_channel.h"

namespace ipc {

class IpcChannel {
 public:
  // Opens channel `name` in the Global (`global`) or Local namespace and
  // connects as receiver or sender. An empty name gives no channel.
  IpcChannel(const std::string& name, bool global, bool receiver);
  ~IpcChannel();
  IpcChannel(const IpcChannel&) = delete;
  IpcChannel& operator=(const IpcChannel&) = delete;

  bool Connect(bool receiver);

  ShmChannel* channel() const { return channel_.get(); }
  bool global() const { return global_; }
  bool receiver() const { return receiver_; }
  bool connected() const { return connected_; }

 private:
  std::unique_ptr<ShmChannel> channel_;
  bool global_ = true;
  bool receiver_ = false;
  bool connected_ = false;
};

}  // namespace ipc
