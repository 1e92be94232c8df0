// A peer process that stands for one of the product's other programs (the
// client 40001, the app store's SDK process 20001, ...) and records what it
// receives: every packet of the listed message ids is appended to a file as
// one line of JSON (the packet as it arrived).
//   record_peer --type T --msgs ID[,ID...] --out FILE --ready EVENT --quit EVENT [--local]
// With --local it listens in the Local namespace, as a process without
// elevation does. Copied under the client's file name it also stands for the
// running client process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "ipc/ipc_manager.h"
#include "testing/ipc/child_process.h"

namespace {

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

std::mutex g_out_mutex;
std::string g_out;

bool Record(const std::shared_ptr<ipc::IpcPacket>& packet) {
  nlohmann::json json = *packet;
  const std::string line = json.dump() + "\n";
  std::lock_guard lock(g_out_mutex);
  FILE* file = std::fopen(g_out.c_str(), "ab");
  if (!file) return false;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = Parse(argc, argv);
  for (const char* key : {"type", "msgs", "out", "ready", "quit"}) {
    if (!args.count(key)) return 64;
  }
  g_out = args.at("out");
  const auto type = static_cast<ipc::ClientType>(std::stoi(args.at("type")));
  if (args.count("local")) ipc::SetElevationForTesting(false);
  ipc_testing::NamedEvent ready(args.at("ready"));
  ipc_testing::NamedEvent quit(args.at("quit"));
  auto& manager = ipc::IpcManager::Instance();
  std::stringstream ids(args.at("msgs"));
  for (std::string id; std::getline(ids, id, ',');) {
    manager.msg_handler()->Register(std::stoi(id), [](std::shared_ptr<ipc::IpcPacket> packet) { return Record(packet); });
  }
  manager.Init(type);
  ready.Set();
  quit.Wait(120000);
  manager.Uninit();
  return 0;
}
