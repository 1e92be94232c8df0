#include "ipc/ipc_channel.h"

namespace ipc {

IpcChannel::IpcChannel(const std::string& name, bool global, bool receiver) : global_(global), receiver_(receiver) {
  if (name.empty()) return;
  channel_ = std::make_unique<ShmChannel>();
  ShmChannel::Open(channel_.get(), name, global);
  connected_ = Connect(receiver);
}

IpcChannel::~IpcChannel() {
  if (!channel_) return;
  ShmChannel::Disconnect(channel_.get());
  channel_->ring_holder().Release();
  ShmChannel::Close(channel_.get());
}

bool IpcChannel::Connect(bool receiver) {
  if (!channel_) return false;
  receiver_ = receiver;
  return receiver ? channel_->ConnectAsReceiver() : channel_->ConnectAsSender();
}

}  // namespace ipc
