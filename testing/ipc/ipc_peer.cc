// A peer process of the IPC tests: it takes part in IPC as another client
// type of the product (the app store's SDK process 20001, the client 40001,
// a download-only installer 10011, ...), answers messages and queries, and
// exits when told to.
//   ipc_peer --type T --ready EVENT --quit EVENT [--local] [--raw-answer]
// Messages it handles:
//   1  echo: sends message 2 back to the sender with {"echo": data, "pid": own pid}
//   3  burst: {"count": n, "size": s} sends n messages 4 {"seq": i, "pad": s bytes} back
// Queries it answers: 5 with {"answer": request, "type": T}; 6 after 3 s;
// 50001 (stop download) with null. With --raw-answer it reads its channel
// itself and answers every query first with text that is not JSON, then
// with {"ok": true}.
#include <windows.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "ipc/ipc_channel.h"
#include "ipc/ipc_manager.h"
#include "ipc/ipc_query.h"
#include "testing/ipc/child_process.h"

namespace {

using nlohmann::json;

std::map<std::string, std::string> Parse(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string key = argv[i];
    if (key.rfind("--", 0) != 0) continue;
    key = key.substr(2);
    args[key] = (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) ? argv[++i] : "1";
  }
  return args;
}

bool g_global = true;

bool Reply(const std::shared_ptr<ipc::IpcPacket>& to, ipc::MsgId msg_id, const json& data) {
  auto packet = std::make_shared<ipc::IpcPacket>(ipc::IpcManager::Instance().own_type(), to->from, msg_id, data);
  return ipc::Send(packet, g_global);
}

void RegisterHandlers(ipc::ClientType type) {
  auto& manager = ipc::IpcManager::Instance();
  manager.msg_handler()->Register(1, [](std::shared_ptr<ipc::IpcPacket> packet) {
    return Reply(packet, 2, json{{"echo", packet->data}, {"pid", ::GetCurrentProcessId()}});
  });
  manager.msg_handler()->Register(3, [](std::shared_ptr<ipc::IpcPacket> packet) {
    const int count = packet->data.at("count").get<int>();
    const std::string pad(packet->data.value("size", 0), 'x');
    bool all = true;
    for (int i = 0; i < count; ++i) all = Reply(packet, 4, json{{"seq", i}, {"pad", pad}}) && all;
    return all;
  });
  manager.query_responser()->Register(5, [type](const json& request) {
    return json{{"answer", request}, {"type", static_cast<int>(type)}};
  });
  manager.query_responser()->Register(6, [](const json&) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return json{{"late", true}};
  });
  manager.query_responser()->Register(ipc::kQueryStopDownload, [](const json& request) {
    ipc::QueryStopDownload stop = request.get<ipc::QueryStopDownload>();
    std::printf("stop download asked, channel %s\n",
                stop.channel_id ? std::to_string(*stop.channel_id).c_str() : "none");
    return json(nullptr);
  });
}

// Reads the own channel without the manager and answers every query twice:
// first with bytes that are no JSON, then properly.
void RawAnswerLoop(ipc::ClientType type, ipc_testing::NamedEvent& ready, ipc_testing::NamedEvent& quit) {
  ipc::IpcChannel own(ipc::ClientTypeName(type), g_global, true);
  ready.Set();
  while (!quit.Wait(0)) {
    ipc::ShmBuffer buffer = ipc::ShmChannel::Recv(own.channel(), 200);
    if (buffer.empty()) continue;
    const auto* text = static_cast<const char*>(buffer.data());
    const json parsed = json::parse(text, text + ::strnlen(text, buffer.size()), nullptr, false);
    if (parsed.is_discarded() || !parsed.contains("response_channel")) continue;
    const ipc::IpcPacket packet = parsed.get<ipc::IpcPacket>();
    ipc::IpcChannel answer(*packet.response_channel, packet.uac.value_or(true), false);
    const char garbage[] = "this is not json {";
    ipc::ShmChannel::Send(0, answer.channel(), garbage, sizeof(garbage));
    const std::string ok = json{{"ok", true}}.dump();
    ipc::ShmChannel::Send(0, answer.channel(), ok.c_str(), ok.size() + 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = Parse(argc, argv);
  if (!args.count("type") || !args.count("ready") || !args.count("quit")) return 64;
  const auto type = static_cast<ipc::ClientType>(std::stoi(args.at("type")));
  if (args.count("local")) {
    g_global = false;
    ipc::SetElevationForTesting(false);
  }
  ipc_testing::NamedEvent ready(args.at("ready"));
  ipc_testing::NamedEvent quit(args.at("quit"));
  if (args.count("raw-answer")) {
    RawAnswerLoop(type, ready, quit);
    return 0;
  }
  RegisterHandlers(type);
  ipc::IpcManager::Instance().Init(type);
  ready.Set();
  quit.Wait(120000);
  ipc::IpcManager::Instance().Uninit();
  return 0;
}
