// One TCP exchange with the collector: connect, send the whole package, close
// the sending side, read the answer until the collector closes.
#pragma once

#include <chrono>

#include "vireon_sdk/src/report/vireon_uploader.h"

namespace vireon {

class TcpUploader final : public VireonUploader {
 public:
  // An answer longer than this is not a collector's answer; the try fails.
  static constexpr size_t kMaxAnswerBytes = 64 * 1024;

  struct Timeouts {
    std::chrono::microseconds connect;
    std::chrono::milliseconds receive;  // the whole answer must come within it
  };
  // 3 s each while the transport runs, 0.5 s while it stops.
  static Timeouts TimeoutsFor(bool transport_active);

  // The socket thread must have started WinSock.
  bool Upload(const std::string& host, uint16_t port, const std::string& bytes, std::string* answer) override;
};

}  // namespace vireon
