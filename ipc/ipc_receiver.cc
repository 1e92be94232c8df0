#include "ipc/ipc_receiver.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <nlohmann/json.hpp>

#include "ipc/ipc_manager.h"

namespace ipc {

IpcReceiver::~IpcReceiver() {
  if (task_.valid()) task_.wait();
  channel_.reset();
}

void IpcReceiver::Start() {
  const std::string name = ClientTypeName(IpcManager::Instance().own_type());
  if (name == "UNKNOWN") return;
  channel_ = std::make_unique<IpcChannel>(name, IsElevatedForIpc(), true);
  task_ = std::async(std::launch::async, [this] { Run(); });
}

void IpcReceiver::Wake() {
  if (channel_ && channel_->channel()) channel_->channel()->InterruptReceive();
}

void IpcReceiver::Run() {
  IpcManager& manager = IpcManager::Instance();
  for (;;) {
    ShmBuffer buffer = ShmChannel::Recv(channel_->channel(), kReceiveTimeoutMs);
    if (manager.stopping()) return;
    if (buffer.empty()) {
      // Without a receiver role (all 32 taken) a receive returns at once.
      if (channel_->channel()->own_bit() == 0) {
        for (int i = 0; i < 20 && !manager.stopping(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      continue;
    }
    try {
      Handle(buffer);
    } catch (const std::exception&) {
      // A malformed message, or no thread for its handler: dropped.
    }
  }
}

void IpcReceiver::Handle(const ShmBuffer& buffer) {
  const auto* begin = static_cast<const char*>(buffer.data());
  const auto* nul = static_cast<const char*>(std::memchr(begin, '\0', buffer.size()));
  const char* end = nul != nullptr ? nul : begin + buffer.size();
  const nlohmann::json json = nlohmann::json::parse(begin, end);
  auto packet = std::make_shared<IpcPacket>(json.get<IpcPacket>());
  const int64_t cost = packet->send_time_us
                           ? static_cast<int64_t>(NowMicroseconds()) - static_cast<int64_t>(*packet->send_time_us)
                           : 0;
  IpcManager::Instance().quality_monitor()->CountRecv(QualityKey{packet->from, packet->to, packet->msg_id}, cost);
  IpcManager::Instance().msg_handler()->Dispatch(std::move(packet));
}

}  // namespace ipc
