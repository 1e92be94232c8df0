// Collecting and uploading a diagnosis package in the background, at most one
// start a minute, under a remote path the user can hand to support.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace diagnosis {

// 100-ns intervals since 1 January 1970 (UTC), from the system clock.
int64_t CurrentTick();

// The time of the last accepted diagnosis start. A start is accepted when at
// least 60 seconds have passed since it (always so before the first one); a
// clock set back behind it accepts nothing until it has passed it by 60
// seconds again.
class UploadGate {
 public:
  static constexpr int64_t kSpacingTicks = 600000000;  // 60 s
  bool Allows(int64_t now) const noexcept {
    return static_cast<int32_t>((now - last_.load()) / kSpacingTicks) >= 1;
  }
  void Record(int64_t tick) noexcept { last_.store(tick); }

 private:
  std::atomic<int64_t> last_{0};
};

// Starts a collection and upload on a detached thread unless one was accepted
// less than 60 seconds ago, and returns the remote path of the package. A
// refused start returns a remote path of the current time for which nothing
// is uploaded.
std::string StartDiagnosisUpload();

// The detached thread's body: collect into `package_path`, then upload it.
void DiagnosisUploadThread(std::string remote_path, std::wstring package_path);

// Posts the package to the web API's upload path; true when it was taken.
// A missing package gives false without a log record.
bool Upload(const std::string& remote_path, const std::wstring& package_path);

// The local date of now as "%Y/%m/%d".
std::string FormatDiagnosisDate();
// "quillorane/diagnosis/<date>/<device id>/<tick>.7z".
std::string BuildDiagnosisRemotePath(const std::string& tick_text);
// "code-<result>-d0-<d0>-d1-<d1>-d2-<d2>-d3-<d3>" of the configuration now.
std::string FormatErrorCodeText();

}  // namespace diagnosis
