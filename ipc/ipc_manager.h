// The one object per process through which IPC is started, used and
// stopped: the own client type, the receiver of the own channel, the
// handler tables, the delivery statistics and the "inited" named mutex by
// which other processes see that this one listens.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/scoped_handle.h"
#include "ipc/ipc_dispatch.h"
#include "ipc/ipc_packet.h"
#include "ipc/ipc_quality_monitor.h"

namespace ipc {

class IpcReceiver;

class IpcManager {
 public:
  static IpcManager& Instance();

  // Starts IPC under `own_type`: reads the own channel and creates the
  // inited mutex. Runs once per process; later calls do nothing.
  void Init(ClientType own_type);
  // Stops IPC for good: the receiver ends (waited for up to 4000 ms), the
  // inited mutex goes, the statistics are added to the registry. Runs on the
  // thread that ran Init, which owns the mutex.
  void Uninit();

  ClientType own_type() const { return own_type_.load(); }
  bool stopping() const { return stopping_.load(); }

  const std::shared_ptr<IpcMsgHandler>& msg_handler() const { return msg_handler_; }
  const std::shared_ptr<IpcQueryResponser>& query_responser() const { return query_responser_; }
  const std::shared_ptr<IpcQualityMonitor>& quality_monitor() const { return quality_monitor_; }

 private:
  IpcManager();
  ~IpcManager();
  static BOOL CALLBACK InitOnce(PINIT_ONCE once, void* manager, void** context);

  INIT_ONCE init_once_ = INIT_ONCE_STATIC_INIT;
  std::atomic<ClientType> own_type_{kClientUnknown};
  std::atomic<bool> stopping_{false};
  base::ScopedKernelHandle inited_mutex_;
  std::shared_ptr<IpcMsgHandler> msg_handler_;
  std::shared_ptr<IpcQueryResponser> query_responser_;
  std::unique_ptr<IpcReceiver> receiver_;
  std::shared_ptr<IpcQualityMonitor> quality_monitor_;
};

// Sends the packet's JSON text to the channel of `packet->to`. `global`
// chooses the namespace; without it, a probed client type goes to Global
// when its Global inited mutex exists, else to Local, and every other type
// to Global. False when the addressee has no channel name, IPC is stopping,
// the addressee does not run, or the transport refuses the text.
bool Send(std::shared_ptr<IpcPacket> packet, std::optional<bool> global = std::nullopt);

// Whether the process of that client type has started IPC, as far as can be
// seen: only 40001, 10002, 10003, 10006 and 10015 are probed; every other
// type counts as started.
bool IsInited(ClientType client_type, bool global);

// "Global\zephris_ipc_inited_<name>", or the bare name without Global.
std::string MakeInitedMutexName(ClientType client_type, bool global);

}  // namespace ipc
