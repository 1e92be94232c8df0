// Test support: the real telemetry collector (a native program of the host
// build) run from a Windows test under Wine, on the client's fixed port 8081.
// Wine starts native programs but gives no handle to them, so the collector
// runs under /bin/sh, which leaves its pid and exit code in files of a
// folder under /tmp that both sides see (as Z:\tmp\... from Windows).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace telemetry_rig {

using namespace std::chrono_literals;

// Polls `done` every 20 ms until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Whether the client's collector host name leads to this machine; the rig's
// hosts file must map it to 127.0.0.1.
bool CollectorHostIsLoopback();

// The host build's collector program (a Unix path), and whether it is there.
std::string CollectorProgram();
bool CollectorProgramExists();

class CollectorRig {
 public:
  CollectorRig();
  // Stops a running collector and removes the folder.
  ~CollectorRig();
  CollectorRig(const CollectorRig&) = delete;
  CollectorRig& operator=(const CollectorRig&) = delete;

  // Starts the collector on 127.0.0.1:8081 with one of its answer modes (ok,
  // reject, close, garbage, hang, refuse) and waits until it listens. Every
  // start keeps the same event file. False when it did not come up.
  bool Start(const std::string& mode, const std::string& extra_options = {});
  // Ends it (SIGTERM) and waits for its exit.
  bool Stop();
  bool running() const { return running_; }

  // The stored events, one JSON object each (app_key, event_code, params,
  // deliveries, ...), in arrival order.
  std::vector<nlohmann::json> Events();
  // What the collector printed about each connection.
  std::string Log() const;

 private:
  bool RunShell(const std::string& script);
  std::string Unix(const std::string& name) const { return unix_folder_ + "/" + name; }
  std::wstring Dos(const std::string& name) const;

  std::string unix_folder_;
  std::wstring dos_folder_;
  int runs_ = 0;
  bool running_ = false;
};

// A temporary folder under the rig's Wine prefix, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::string utf8() const;

 private:
  std::wstring path_;
};

// Full Windows path of a program of this folder's build.
std::wstring RigProgram(const std::wstring& file_name);

}  // namespace telemetry_rig
