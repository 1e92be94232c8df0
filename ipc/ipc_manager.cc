#include "ipc/ipc_manager.h"

#include <chrono>
#include <cstdlib>

#include "base/failure_boundary.h"
#include "base/named_mutex.h"
#include "ipc/ipc_channel.h"
#include "ipc/ipc_receiver.h"

namespace ipc {
namespace {

struct InitRequest {
  IpcManager* manager;
  ClientType own_type;
};

}  // namespace

IpcManager& IpcManager::Instance() {
  // Never destroyed: detached handler threads may still reach it while the
  // process exits.
  static IpcManager* const instance = new IpcManager;
  return *instance;
}

IpcManager::IpcManager()
    : msg_handler_(std::make_shared<IpcMsgHandler>()),
      query_responser_(std::make_shared<IpcQueryResponser>()),
      quality_monitor_(std::make_shared<IpcQualityMonitor>()) {}

IpcManager::~IpcManager() { stopping_.store(true); }

BOOL CALLBACK IpcManager::InitOnce(PINIT_ONCE, void* parameter, void**) {
  const auto* request = static_cast<const InitRequest*>(parameter);
  IpcManager& self = *request->manager;
  self.own_type_.store(request->own_type);
  self.stopping_.store(false);
  self.receiver_ = std::make_unique<IpcReceiver>();
  self.receiver_->Start();
  // Owned by this thread; an existing mutex or a failure is no error.
  HANDLE mutex = ::CreateMutexA(base::GetNullDaclSecurityAttributes(), TRUE,
                                MakeInitedMutexName(request->own_type, IsElevatedForIpc()).c_str());
  self.inited_mutex_.Reset(mutex);
  return TRUE;
}

void IpcManager::Init(ClientType own_type) {
  InitRequest request{this, own_type};
  if (!::InitOnceExecuteOnce(&init_once_, &IpcManager::InitOnce, &request, nullptr)) std::abort();
}

void IpcManager::Uninit() {
  stopping_.exchange(true);
  if (receiver_) {
    receiver_->Wake();
    if (receiver_->task().valid()) receiver_->task().wait_for(std::chrono::milliseconds(4000));
    receiver_.reset();
  }
  if (inited_mutex_.IsValid()) {
    ::ReleaseMutex(inited_mutex_.Get());
    inited_mutex_.Close();
  }
  quality_monitor_->SaveSendAnalysis();
  quality_monitor_->SaveRecvAnalysis();
}

std::string MakeInitedMutexName(ClientType client_type, bool global) {
  return std::string(global ? "Global\\" : "") + "zephris_ipc_inited_" + ClientTypeName(client_type);
}

bool IsInited(ClientType client_type, bool global) {
  switch (client_type) {
    case kClientAppstore:
    case kClientEmulator:
    case kClientService:
    case kClientAssistant:
    case kClientNoChannel10015:
      break;
    default:
      return true;
  }
  base::ScopedKernelHandle mutex(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, MakeInitedMutexName(client_type, global).c_str()));
  return mutex.IsValid();
}

bool Send(std::shared_ptr<IpcPacket> packet, std::optional<bool> global) {
  return base::NoThrowOr(false, [&] {
    if (!packet) return false;
    const std::string name = ClientTypeName(packet->to);
    if (name == "UNKNOWN") return false;
    IpcManager& manager = IpcManager::Instance();
    if (manager.stopping()) return false;
    const auto to = static_cast<ClientType>(packet->to);
    const bool use_global = global.has_value() ? *global : IsInited(to, true);
    if (!IsInited(to, use_global)) return false;

    IpcChannel channel(name, use_global, false);
    packet->send_time_us = NowMicroseconds();
    std::string text;
    try {
      text = PacketText(*packet);
    } catch (const nlohmann::json::exception&) {
      return false;  // text that is not UTF-8 never reaches the transport
    }
    const bool sent = ShmChannel::Send(0, channel.channel(), text.c_str(), text.size() + 1);
    manager.quality_monitor()->CountSend(QualityKey{packet->from, packet->to, packet->msg_id}, sent);
    return sent;
  });
}

}  // namespace ipc
