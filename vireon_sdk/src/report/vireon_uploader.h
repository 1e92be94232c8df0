// The uploaders a telemetry request can be given: one TCP exchange with the
// collector, or (for any other upload kind) one that never sends anything.
#pragma once

#include <cstdint>
#include <string>

namespace vireon {

class VireonUploader {
 public:
  virtual ~VireonUploader() = default;
  // Sends `bytes` to host:port and collects the answer; true when the
  // exchange completed (the answer may be empty).
  virtual bool Upload(const std::string& host, uint16_t port, const std::string& bytes, std::string* answer) = 0;
};

class HttpUploader final : public VireonUploader {
 public:
  bool Upload(const std::string&, uint16_t, const std::string&, std::string*) override { return false; }
};

}  // namespace vireon
