// Another process of the product, for the front-end IPC tests: sends one
// message, or asks one query, to the installer's client type and prints the
// outcome on one line.
//   ipc_record_sender message <msg id> <to type> <json>   prints "sent" or "not sent"
//   ipc_record_sender query <query id> <to type> <json>   prints "answer <json>" or "no answer"
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "base/text_conversion.h"
#include "ipc/ipc_manager.h"
#include "ipc/ipc_query.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  const std::string kind = base::WideToUtf8(argv[1]);
  const int32_t id = std::stoi(argv[2]);
  const auto to = static_cast<ipc::ClientType>(std::stoi(argv[3]));
  const nlohmann::json data = nlohmann::json::parse(base::WideToUtf8(argv[4]));
  ipc::IpcManager::Instance().Init(ipc::kClientPcvztSdk);
  if (kind == "message") {
    const bool sent = ipc::Send(std::make_shared<ipc::IpcPacket>(ipc::kClientPcvztSdk, to, id, data));
    std::printf("%s\n", sent ? "sent" : "not sent");
  } else {
    const ipc::QueryResult result = ipc::IpcQuerier::DoQuery(to, id, data, 10000, std::nullopt);
    if (result.status == ipc::kQueryAnswered) {
      std::printf("answer %s\n", result.answer.dump().c_str());
    } else {
      std::printf("no answer\n");
    }
  }
  std::fflush(stdout);
  ipc::IpcManager::Instance().Uninit();
  return 0;
}
