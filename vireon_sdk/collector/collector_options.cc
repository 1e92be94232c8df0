#include "vireon_sdk/collector/collector_options.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vireon::collector {
namespace {

struct ModeEntry {
  const char* name;
  AnswerMode mode;
};
constexpr ModeEntry kModes[] = {
    {"ok", AnswerMode::kOk},           {"reject", AnswerMode::kReject}, {"close", AnswerMode::kClose},
    {"garbage", AnswerMode::kGarbage}, {"hang", AnswerMode::kHang},     {"refuse", AnswerMode::kRefuse},
};

bool ParseInt(std::string_view text, int low, int high, int* out) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace

const char kUsage[] =
    "usage: vireon_collector --db FILE [--port N] [--mode MODE] [--hang-ms N] [--read-timeout-ms N]\n"
    "                        [--max-connections N] [--exit-after-ms N] [--port-file FILE]\n"
    "       vireon_collector --dump --db FILE\n"
    "Listens on 127.0.0.1 (port 8081 unless given; 0 picks a free one and prints it), reads one\n"
    "telemetry request per connection, stores its events in the SQLite file and answers by MODE:\n"
    "  ok       store, answer result 0 (default)\n"
    "  reject   store nothing, answer result -1\n"
    "  close    store, close without answering\n"
    "  garbage  store, answer bytes that are not a package\n"
    "  hang     store, hold the connection --hang-ms (default 10000) before closing\n"
    "  refuse   hold the port without listening: connections are refused\n"
    "--dump prints the stored events as JSON lines.\n";

const char* ModeName(AnswerMode mode) {
  for (const auto& entry : kModes) {
    if (entry.mode == mode) return entry.name;
  }
  return "?";
}

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
  *options = Options{};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--dump") {
      options->dump = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = "missing value for " + std::string(arg);
      return false;
    }
    const std::string_view value = argv[++i];
    int number = 0;
    if (arg == "--db") {
      options->db_path = value;
    } else if (arg == "--port-file") {
      options->port_file = value;
    } else if (arg == "--port") {
      if (!ParseInt(value, 0, 65535, &number)) {
        *error = "bad port: " + std::string(value);
        return false;
      }
      options->port = static_cast<uint16_t>(number);
    } else if (arg == "--mode") {
      bool known = false;
      for (const auto& entry : kModes) {
        if (value == entry.name) {
          options->mode = entry.mode;
          known = true;
        }
      }
      if (!known) {
        *error = "unknown mode: " + std::string(value);
        return false;
      }
    } else if (arg == "--hang-ms" || arg == "--read-timeout-ms" || arg == "--max-connections" ||
               arg == "--exit-after-ms") {
      if (!ParseInt(value, 0, 86400000, &number)) {
        *error = "bad number for " + std::string(arg) + ": " + std::string(value);
        return false;
      }
      if (arg == "--hang-ms") options->hang_ms = number;
      if (arg == "--read-timeout-ms") options->read_timeout_ms = number;
      if (arg == "--max-connections") options->max_connections = number;
      if (arg == "--exit-after-ms") options->exit_after_ms = number;
    } else {
      *error = "unknown option: " + std::string(arg);
      return false;
    }
  }
  if (options->db_path.empty()) {
    *error = "--db is required";
    return false;
  }
  return true;
}

}  // namespace vireon::collector
