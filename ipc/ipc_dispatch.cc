#include "ipc/ipc_dispatch.h"

#include <windows.h>

#include <process.h>

#include <cstdio>
#include <system_error>
#include <vector>

#include "ipc/ipc_channel.h"
#include "ipc/ipc_manager.h"

namespace ipc {
namespace {

const std::vector<PacketFilter>& Filters() {
  static const std::vector<PacketFilter> filters = {
      [](const std::shared_ptr<IpcPacket>& packet) -> std::optional<std::string> {
        if (packet->to == IpcManager::Instance().own_type()) return std::nullopt;
        return std::string("Target client not matched.");
      },
      [](const std::shared_ptr<IpcPacket>& packet) -> std::optional<std::string> {
        if (packet->to_process_id &&
            (*packet->to_process_id == 0 || *packet->to_process_id == ::GetCurrentProcessId())) {
          return std::nullopt;
        }
        return std::string("Target pid not matched.");
      },
      [](const std::shared_ptr<IpcPacket>& packet) -> std::optional<std::string> {
        if (packet->handle_self_ipc.value_or(false)) return std::nullopt;
        if (packet->from_process_id.value_or(0) == ::GetCurrentProcessId()) {
          return std::string("Skip self ipc message.");
        }
        return std::nullopt;
      },
  };
  return filters;
}

// A handler that throws would end the process from its own thread; its
// failure is the handler's to report, so here it only leaves one line.
template <typename Body>
void RunHandler(const char* what, int32_t id, Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ipc: %s %d threw: %s\n", what, static_cast<int>(id), error.what());
  } catch (...) {
    std::fprintf(stderr, "ipc: %s %d threw\n", what, static_cast<int>(id));
  }
}

}  // namespace

void StartDetachedThread(unsigned(__stdcall* body)(void*), void* argument) {
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, body, argument, 0, nullptr);
  if (thread == 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  base::ScopedKernelHandle detached(reinterpret_cast<HANDLE>(thread));
}

bool Filtered(const std::shared_ptr<IpcPacket>& packet) {
  for (const PacketFilter& filter : Filters()) {
    if (filter(packet)) return true;  // the reason goes nowhere
  }
  return false;
}

struct IpcMsgHandler::HandlerBundle {
  const MsgHandler* entry;
  std::shared_ptr<IpcPacket> packet;
};

bool IpcMsgHandler::Register(const MsgHandler& handler) {
  std::lock_guard<std::mutex> lock(lock_);
  return handlers_.emplace(handler.id, handler).second;
}

bool IpcMsgHandler::Register(MsgId id, std::function<bool(std::shared_ptr<IpcPacket>)> handler) {
  return Register(MsgHandler{id, std::move(handler)});
}

void IpcMsgHandler::Dispatch(std::shared_ptr<IpcPacket> packet) {
  if (!packet || Filtered(packet)) return;
  if (packet->response_channel && !packet->response_channel->empty()) {
    IpcManager::Instance().query_responser()->HandleQuery(std::move(packet));
    return;
  }
  std::unique_ptr<HandlerBundle> bundle;
  {
    std::lock_guard<std::mutex> lock(lock_);
    const auto found = handlers_.find(packet->msg_id);
    if (found == handlers_.end()) return;
    // Entries never move nor go away, so the thread may keep a pointer.
    bundle = std::make_unique<HandlerBundle>(HandlerBundle{&found->second, std::move(packet)});
  }
  StartDetachedThread(&HandlerThread, bundle.get());
  bundle.release();
}

unsigned __stdcall IpcMsgHandler::HandlerThread(void* argument) {
  std::unique_ptr<HandlerBundle> bundle(static_cast<HandlerBundle*>(argument));
  RunHandler("message handler", bundle->entry->id, [&] {
    if (bundle->entry->handler) bundle->entry->handler(bundle->packet);
  });
  return 0;
}

struct IpcQueryResponser::ReplyBundle {
  const QueryHandler* entry;
  std::shared_ptr<IpcPacket> packet;
  QueryPayload payload;
};

bool IpcQueryResponser::Register(const QueryHandler& handler) {
  std::lock_guard<std::mutex> lock(lock_);
  return handlers_.emplace(handler.id, handler).second;
}

bool IpcQueryResponser::Register(QueryId id, std::function<nlohmann::json(const nlohmann::json&)> handler) {
  return Register(QueryHandler{id, std::move(handler)});
}

void IpcQueryResponser::HandleQuery(std::shared_ptr<IpcPacket> packet) {
  QueryPayload payload;
  try {
    payload = packet->data.get<QueryPayload>();
  } catch (const nlohmann::json::exception&) {
    return;  // the asking side times out
  }
  std::unique_ptr<ReplyBundle> bundle;
  {
    std::lock_guard<std::mutex> lock(lock_);
    const auto found = handlers_.find(payload.query_id);
    if (found == handlers_.end()) return;
    bundle = std::make_unique<ReplyBundle>(ReplyBundle{&found->second, std::move(packet), std::move(payload)});
  }
  StartDetachedThread(&ReplyThread, bundle.get());
  bundle.release();
}

unsigned __stdcall IpcQueryResponser::ReplyThread(void* argument) {
  std::unique_ptr<ReplyBundle> bundle(static_cast<ReplyBundle*>(argument));
  RunHandler("query handler", bundle->payload.query_id,
             [&] { Reply(*bundle->entry, *bundle->packet, bundle->payload); });
  return 0;
}

void IpcQueryResponser::Reply(const QueryHandler& handler, const IpcPacket& packet, const QueryPayload& payload) {
  IpcChannel channel(packet.response_channel.value_or(std::string()), packet.uac.value_or(true), false);
  if (IpcManager::Instance().stopping() || !handler.handler) return;
  std::string text = handler.handler(payload.data).dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  ShmChannel::Send(0, channel.channel(), text.c_str(), text.size() + 1);
}

}  // namespace ipc
