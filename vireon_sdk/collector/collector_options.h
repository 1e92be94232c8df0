// Command line of the telemetry collector, the project's stand-in for the
// maker's telemetry server.
#pragma once

#include <cstdint>
#include <string>

namespace vireon::collector {

// How the collector answers each request it receives; everything but `kOk`
// exists so tests can make the client meet a misbehaving server.
enum class AnswerMode {
  kOk,       // store, answer result 0
  kReject,   // store nothing, answer result -1
  kClose,    // store, close without answering
  kGarbage,  // store, answer bytes that are not a package
  kHang,     // store, keep the connection open past the client's time-out
  kRefuse,   // hold the port but accept no connection
};

struct Options {
  std::string db_path;
  uint16_t port = 8081;
  AnswerMode mode = AnswerMode::kOk;
  int hang_ms = 10000;
  int read_timeout_ms = 5000;
  int max_connections = 0;  // 0: no limit
  int exit_after_ms = 0;    // 0: run until SIGTERM or SIGINT
  std::string port_file;
  bool dump = false;
};

extern const char kUsage[];

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);
const char* ModeName(AnswerMode mode);

}  // namespace vireon::collector
