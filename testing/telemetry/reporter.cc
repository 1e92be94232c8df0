// A process that uses the telemetry client the way the installer does, so
// tests can start it, stop it, or kill it in the middle of its work. Each
// argument is one step, run in order; each step prints one line when done:
//
//   init=<app key>,<db folder or ->,<debug 0|1>,<storage 0|1>,<exit wait ms>
//                             InitSDK            -> "init <ms>"
//   common=<key>:<value>      set_common_params  -> "common"
//   report=<event code>,<n>   n events           -> "report <n>"
//   stop                      TransportMgr::Stop -> "stop <ms>"
//   sleep=<ms>                                   -> "sleep"
//   config                    the stored app key -> "config app_key=<key>"
//   hold                      prints "hold", then waits until its standard input closes
//
// After the last step main returns, and the client stops itself at exit.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using Clock = std::chrono::steady_clock;

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void HoldUntilInputCloses() {
  char byte;
  DWORD read = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read > 0) {
  }
}

bool RunStep(const std::string& step) {
  const size_t equals = step.find('=');
  const std::string name = step.substr(0, equals);
  const std::string value = equals == std::string::npos ? std::string() : step.substr(equals + 1);
  const auto start = Clock::now();
  if (name == "init") {
    const auto fields = Split(value, ',');
    if (fields.size() != 5) return false;
    vireon::VireonConfig config;
    config.app_key = fields[0];
    config.db_path = fields[1] == "-" ? std::string() : fields[1];
    config.debug = fields[2] == "1";
    config.enable_storage = fields[3] == "1";
    config.exit_wait_ms = std::atoi(fields[4].c_str());
    VireonClient::InitSDK(config);
    Say("init " + std::to_string(MsSince(start)));
  } else if (name == "common") {
    const size_t colon = value.find(':');
    if (colon == std::string::npos) return false;
    VireonClient::set_common_params({{value.substr(0, colon), value.substr(colon + 1)}});
    Say("common");
  } else if (name == "report") {
    const auto fields = Split(value, ',');
    if (fields.size() != 2) return false;
    const int count = std::atoi(fields[1].c_str());
    for (int i = 0; i < count; ++i) {
      VireonClient::Report(fields[0], {{"index", std::to_string(i)}}, Vireon::kPriorityNormal);
    }
    Say("report " + std::to_string(count));
  } else if (name == "stop") {
    vireon::TransportMgr::Instance().Stop();
    Say("stop " + std::to_string(MsSince(start)));
  } else if (name == "sleep") {
    ::Sleep(static_cast<DWORD>(std::atoi(value.c_str())));
    Say("sleep");
  } else if (name == "config") {
    Say("config app_key=" + VireonClient::config().app_key);
  } else if (name == "hold") {
    Say("hold");
    HoldUntilInputCloses();
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!RunStep(argv[i])) {
      Say(std::string("bad step ") + argv[i]);
      return 2;
    }
  }
  return 0;
}
