// The tables of message and query handlers, and the dispatch of a received
// packet: three filters, then a query's answer or a message's handler, each
// on a fresh thread of its own so that a handler may block without stalling
// the receiver.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ipc/ipc_packet.h"

namespace ipc {

struct MsgHandler {
  MsgId id = 0;
  std::function<bool(std::shared_ptr<IpcPacket>)> handler;
};

struct QueryHandler {
  QueryId id = 0;
  std::function<nlohmann::json(const nlohmann::json&)> handler;
};

// A reason to drop a packet, or nothing.
using PacketFilter = std::function<std::optional<std::string>(const std::shared_ptr<IpcPacket>&)>;

// True when the packet is not for this process: another client type,
// another process id, or this process's own packet without handle_self_ipc.
bool Filtered(const std::shared_ptr<IpcPacket>& packet);

class IpcQueryResponser {
 public:
  // False when the id is taken already (the first handler stays).
  bool Register(const QueryHandler& handler);
  bool Register(QueryId id, std::function<nlohmann::json(const nlohmann::json&)> handler);
  // Answers a query packet on a thread of its own. A malformed payload or an
  // unregistered query id gets no answer.
  void HandleQuery(std::shared_ptr<IpcPacket> packet);

 private:
  struct ReplyBundle;
  static unsigned __stdcall ReplyThread(void* bundle);
  static void Reply(const QueryHandler& handler, const IpcPacket& packet, const QueryPayload& payload);

  std::mutex lock_;
  std::map<int32_t, QueryHandler> handlers_;
};

class IpcMsgHandler {
 public:
  bool Register(const MsgHandler& handler);
  bool Register(MsgId id, std::function<bool(std::shared_ptr<IpcPacket>)> handler);
  // Filters the packet, then answers it as a query or runs its message
  // handler on a new thread. Throws std::system_error when no thread can be
  // started.
  void Dispatch(std::shared_ptr<IpcPacket> packet);

 private:
  struct HandlerBundle;
  static unsigned __stdcall HandlerThread(void* bundle);

  std::mutex lock_;
  std::map<int32_t, MsgHandler> handlers_;
};

// Starts `body` on a detached thread; throws std::system_error
// (resource unavailable, try again) when none can be created.
void StartDetachedThread(unsigned(__stdcall* body)(void*), void* argument);

}  // namespace ipc
