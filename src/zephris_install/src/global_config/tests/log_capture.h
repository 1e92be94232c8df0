// Reads back what a test made the product log write. The log of a test
// process goes to a temporary folder of that process; each test brackets its
// own lines with two marker records, so earlier tests of the same process do
// not leak into its view.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "base/product_log.h"

namespace global_config_test {

class LogCapture {
 public:
  // Starts the process's log in a folder of its own (once per process) and
  // writes the opening marker.
  LogCapture() {
    static const LogFolder folder;
    file_ = folder.file;
    marker_ = "test-marker-" + std::to_string(++Counter());
    PRODUCT_LOG("{} begin", marker_);
    WaitFor(marker_ + " begin");
  }

  // The lines written since the opening marker, once the log has caught up.
  std::string Lines() {
    PRODUCT_LOG("{} end", marker_);
    WaitFor(marker_ + " end");
    const std::string text = Read();
    const std::size_t begin = text.find(marker_ + " begin");
    const std::size_t end = text.find(marker_ + " end");
    return text.substr(begin, end - begin);
  }

  bool Contains(const std::string& part) { return Lines().find(part) != std::string::npos; }

 private:
  static int& Counter() {
    static int counter = 0;
    return counter;
  }

  // The process's log, in a temporary folder that goes away with the process.
  struct LogFolder {
    LogFolder()
        : temp(std::filesystem::temp_directory_path() / ("ql_gc_log_" + std::to_string(::GetCurrentProcessId()))) {
      std::filesystem::create_directories(temp);
      ::SetEnvironmentVariableW(L"TMP", temp.c_str());
      ::SetEnvironmentVariableW(L"TEMP", temp.c_str());
      base::ProductLogger::GetInstance().Start("global_config_test", std::ios::app);
      file = base::ProductLogger::GetInstance().path();
    }
    ~LogFolder() {
      base::ProductLogger::GetInstance().Stop();
      std::error_code ignored;
      std::filesystem::remove_all(temp, ignored);
    }
    std::filesystem::path temp;
    std::filesystem::path file;
  };

  std::string Read() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  void WaitFor(const std::string& text) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Read().find(text) == std::string::npos) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the log never showed: " << text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::filesystem::path file_;
  std::string marker_;
};

}  // namespace global_config_test
