#include "src/common/diagnosis/diagnosis_upload.h"

#include <windows.h>

#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "src/common/diagnosis/diagnosis_collector.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

constexpr int64_t kUnixEpochInFileTime = 116444736000000000;

UploadGate& Gate() {
  static UploadGate* gate = new UploadGate;  // read by UI threads until the process ends
  return *gate;
}

std::wstring PackagePath(const std::string& tick_text) {
  const std::wstring temp = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kRoot);
  return (std::filesystem::path(temp) / base::Utf8ToWide(fmt::format("{}-{}.7z", "QuilloraneDiagnosis", tick_text)))
      .wstring();
}

}  // namespace

int64_t CurrentTick() {
  FILETIME now;
  ::GetSystemTimePreciseAsFileTime(&now);
  const int64_t file_time = static_cast<int64_t>((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
  return file_time - kUnixEpochInFileTime;
}

std::string FormatDiagnosisDate() {
  const std::time_t seconds = static_cast<std::time_t>(CurrentTick() / 10000000);
  std::tm local{};
  if (localtime_s(&local, &seconds) != 0) return {};
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y/%m/%d", &local);
  return text;
}

std::string BuildDiagnosisRemotePath(const std::string& tick_text) {
  return fmt::format("quillorane/diagnosis/{}/{}/{}.7z", FormatDiagnosisDate(), VireonClient::VireonDeviceId(),
                     tick_text);
}

std::string FormatErrorCodeText() {
  const GlobalConfig& config = GlobalConfig::Instance();
  return fmt::format("code-{}-d0-{}-d1-{}-d2-{}-d3-{}", config.install_result_code, config.detail_code_0,
                     config.detail_code_1, config.detail_code_2, config.detail_code_3);
}

std::string StartDiagnosisUpload() {
  if (!Gate().Allows(CurrentTick())) return BuildDiagnosisRemotePath(std::to_string(CurrentTick()));
  const int64_t accepted = CurrentTick();
  Gate().Record(accepted);
  const std::string tick_text = std::to_string(accepted);
  const std::string remote_path = BuildDiagnosisRemotePath(tick_text);
  try {
    std::thread(DiagnosisUploadThread, remote_path, PackagePath(tick_text)).detach();
  } catch (const std::system_error& e) {
    // Called from a window's click: a thread that cannot start costs this
    // package, not the installer.
    PRODUCT_LOG("diagnosis thread not started: {}", e.what());
  }
  return remote_path;
}

void DiagnosisUploadThread(std::string remote_path, std::wstring package_path) {
  // Nothing may leave a detached thread: it would end the process.
  try {
    CollectDiagnosis(package_path, {});
    Upload(remote_path, package_path);
  } catch (const std::exception& e) {
    PRODUCT_LOG("diagnosis upload stopped: {}", e.what());
  } catch (...) {
    PRODUCT_LOG("diagnosis upload stopped");
  }
}

bool Upload(const std::string& remote_path, const std::wstring& package_path) {
  std::error_code ec;
  if (!std::filesystem::exists(package_path, ec)) return false;
  const std::string url = net::WebApiUrl(fmt::format(fmt::runtime(net::kPathUploadLog), remote_path));
  const net::HttpResult result = net::CurlUploadMultipart(url, package_path);
  if (net::RequestFailed(result)) {
    PRODUCT_LOG("upload diagnosis fail, error code [{}], http code [{}]", result.error_code, result.http_code);
    return false;
  }
  return true;
}

}  // namespace diagnosis
