// The telemetry client's settings and the types its host hands it: the
// configuration of InitSDK, the getters asked for fresh values on every
// event, and the priority an event is stored with.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/report_params.h"

namespace vireon {

// In debug mode every event goes under this app key, whatever the host gave.
inline constexpr std::string_view kDebugAppKey = "PRMTSCRWLXNV0417";

struct VireonConfig {
  std::string app_key;
  int32_t upload_type = 1;  // 1: TCP to the collector; anything else never uploads
  std::string text_option1;
  std::string text_option2;
  std::string text_option3;
  bool debug = false;       // debug app key, and the SDK log stays on
  std::string db_path;      // UTF-8 folder of the request store; empty: the default one
  bool enable_storage = true;
  int32_t exit_wait_ms = 1000;
};

// Higher values are reloaded from the store first; the client does not
// otherwise look at it.
enum RequestPriority : int32_t {
  kPriorityNormal = 0,
};

using VolatileParamGetters = std::map<std::string, std::function<std::string()>>;

// The number of socket threads, which is also the limit of requests in flight:
// 4 with 4 or more hardware threads, 3 with 3, otherwise 2.
int SocketThreadCountFor(unsigned hardware_threads);
// The process's count, fixed before the program's entry point.
extern const int socket_thread_count;

}  // namespace vireon

// The spelling the client's interface uses for its own types.
namespace Vireon = vireon;
