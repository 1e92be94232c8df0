// The product log of one test, read back: started under a name of its own
// when the capture is made, stopped and read by Text().
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/product_log.h"

namespace install_testing {

class LogCapture {
 public:
  explicit LogCapture(const std::string& name) {
    static std::atomic<int> counter{0};
    started_ = base::ProductLogger::GetInstance().Start(
                   name + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++),
                   std::ios::trunc) == base::LogStartResult::kStarted;
  }
  ~LogCapture() { Text(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  bool started() const { return started_; }

  // Everything logged since the capture began; the log stops here.
  std::string Text() {
    if (!started_) return text_;
    auto& log = base::ProductLogger::GetInstance();
    const std::filesystem::path path = log.path();
    log.Stop();
    started_ = false;
    {
      std::ifstream in(path, std::ios::binary);
      text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return text_;
  }

  // How often `needle` occurs in the text.
  size_t Count(const std::string& needle) {
    const std::string text = Text();
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
  }

 private:
  bool started_ = false;
  std::string text_;
};

// Waits up to `ms` for a file to appear and returns its bytes (empty when it
// never came).
inline std::string WaitForFile(const std::wstring& path, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(50);
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The packets a rig peer recorded (one JSON line each) that this process
// sent: other tests may send to the same client type meanwhile.
inline std::vector<nlohmann::json> OwnPackets(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::vector<nlohmann::json> packets;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json packet = nlohmann::json::parse(line, nullptr, false);
    if (packet.is_object() && packet.value("from_process_id", uint64_t{0}) == GetCurrentProcessId()) {
      packets.push_back(packet);
    }
  }
  return packets;
}

// Waits up to `ms` until the peer recorded `count` packets of this process.
inline std::vector<nlohmann::json> WaitForOwnPackets(const std::wstring& path, size_t count, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  std::vector<nlohmann::json> packets = OwnPackets(path);
  while (packets.size() < count && GetTickCount64() < deadline) {
    Sleep(50);
    packets = OwnPackets(path);
  }
  return packets;
}

// The arguments of a recorded command line: what follows the program name
// (quoted or not), without the blanks around it.
inline std::string ArgumentsOf(const std::string& command_line) {
  size_t at = 0;
  if (!command_line.empty() && command_line[0] == '"') {
    at = command_line.find('"', 1);
    at = at == std::string::npos ? command_line.size() : at + 1;
  } else {
    at = command_line.find(' ');
    if (at == std::string::npos) at = command_line.size();
  }
  std::string rest = command_line.substr(at);
  const size_t first = rest.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = rest.find_last_not_of(' ');
  return rest.substr(first, last - first + 1);
}

}  // namespace install_testing
