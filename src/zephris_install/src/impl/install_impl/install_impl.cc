#include "src/zephris_install/src/impl/install_impl/install_impl.h"

#include <windows.h>

#include <filesystem>
#include <thread>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "base/url_protocol.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install_impl/app_install_notice.h"
#include "src/zephris_install/src/toast/system_toast/show_toast.h"
#include "src/zephris_install/src/tool/uninstall_entry.h"

namespace {

constexpr wchar_t kProductTitle[] = L"OrvalisQuillorane";

InstallStatus StatusOf(int32_t code) {
  InstallStatus status;
  status.code = code;
  return status;
}

}  // namespace

int64_t NowTicks() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

InstallImpl::InstallImpl(const std::shared_ptr<IInstallNotify>& notify)
    : notify_(notify),
      unzip_tool_path_((std::filesystem::path(base::PathManager::GetInstance().GetTempDir(
                            base::TempDirKind::kInstallResources)) /
                        L"7za.dll")
                           .wstring()) {}

int32_t InstallImpl::run_state() const {
  std::lock_guard lock(run_mutex_);
  return run_state_;
}

bool InstallImpl::WaitForFinalStatus(std::chrono::nanoseconds timeout) {
  std::unique_lock lock(status_mutex_);
  return status_cv_.wait_for(lock, timeout, [this] { return IsFinalStatus(stage_.load()); });
}

void InstallImpl::SetStage(int32_t stage) { stage_.store(stage); }

void InstallImpl::PublishFinalStage(int32_t stage) {
  {
    std::lock_guard lock(status_mutex_);
    stage_.store(stage);
  }
  status_cv_.notify_all();
}

void InstallImpl::SetRunState(int32_t state, bool wake) {
  {
    std::lock_guard lock(run_mutex_);
    run_state_ = state;
  }
  if (wake) run_cv_.notify_all();
}

int32_t InstallImpl::WaitWhilePaused() {
  std::unique_lock lock(run_mutex_);
  run_cv_.wait(lock, [this] { return run_state_ != kRunPaused; });
  return run_state_;
}

bool InstallImpl::SleepUnlessStopped(std::chrono::milliseconds duration) {
  std::unique_lock lock(run_mutex_);
  return !run_cv_.wait_for(lock, duration, [this] { return run_state_ == kRunStopped; });
}

void InstallImpl::DeliverStatus(const InstallStatus& status) {
  if (std::shared_ptr<IInstallNotify> notify = notify_.lock()) notify->OnInstallStatus(status);
}

void InstallImpl::SendNotice(const std::string& status, float fraction, const std::string& completed,
                             const std::string& total) {
  const GlobalConfig& config = GlobalConfig::Instance();
  SendAppInstallNotice(status, config.install_action == 1, config.sdk_product, config.app_id.value_or(""),
                       config.rid, fraction, completed, total);
}

void InstallImpl::NotifyStart() {
  PRODUCT_LOG("NotifyStart");
  SetStage(kStatusStarted);
  GlobalConfig& config = GlobalConfig::Instance();
  config.install_start_time = NowTicks();
  if (config.show_install_tips) {
    ShowToast(std::wstring(kProductTitle) + L"开始下载",
              std::wstring(kProductTitle) + L"将为您在电脑上启动手机软件，请稍候");
  }
  DeliverStatus(StatusOf(kStatusStarted));
}

void InstallImpl::NotifyInstallStart() {
  PRODUCT_LOG("NotifyInstallStart");
  SetStage(kStatusInstallStarted);
  SendNotice("BeginInstall");
  zephris_report::ReportParams params;
  AddCommonReportParams(params);
  zephris_report::Reporter::Instance().Report("installer_install_start", params);
  DeliverStatus(StatusOf(kStatusInstallStarted));
}

void InstallImpl::NotifyInstalling(size_t index, data::ComponentType type) {
  PRODUCT_LOG("NotifyInstalling {} {}", index, static_cast<int32_t>(type));
  SetStage(kStatusInstalling);
  SendNotice("Installing");
  if (type == data::ComponentType::kVirtualization) {
    zephris_report::ReportParams params;
    AddCommonReportParams(params);
    zephris_report::Reporter::Instance().Report("engine_install", params);
  }
  const double count = static_cast<double>(components_.size());
  InstallStatus status = StatusOf(kStatusInstalling);
  status.component_type = static_cast<int32_t>(type);
  status.percent = count > 0 ? (static_cast<double>(index) + 1) / count * 100 : 0;
  status.count = components_.size();
  DeliverStatus(status);
}

void InstallImpl::NotifyInstallEnd() {
  PRODUCT_LOG("NotifyInstallEnd");
  SetStage(kStatusInstallFinished);
  SendNotice("Installed");
  ReportInstallComplete();
  DeliverStatus(StatusOf(kStatusInstallFinished));
}

void InstallImpl::NotifyComplete() {
  PRODUCT_LOG("NotifyComplete");
  GlobalConfig& config = GlobalConfig::Instance();
  config.duration_time = NowTicks() - config.install_start_time;
  PublishFinalStage(kStatusCompleted);
  DeliverStatus(StatusOf(kStatusCompleted));
}

void InstallImpl::NotifyError() {
  PRODUCT_LOG("NotifyError");
  const int32_t stage = stage_.load();
  SendNotice(stage < kStatusInstallStarted ? "error" : "InstallError");
  ReportStageError(stage);
  PublishFinalStage(kStatusFailed);
  DeliverStatus(StatusOf(kStatusFailed));
}

void InstallImpl::NotifyCancel() {
  PRODUCT_LOG("NotifyCancel");
  const int32_t stage = stage_.load();
  SendNotice("removed");
  ReportStageCancel(stage);
  PublishFinalStage(kStatusCancelled);
  DeliverStatus(StatusOf(kStatusCancelled));
}

int32_t InstallImpl::BadExit(const std::string& message) {
  PRODUCT_LOG("BadExit {}", message);
  GlobalConfig& config = GlobalConfig::Instance();
  // Only a fresh install is rolled back: the keys of an installation that
  // stood before this run (intact, or due for a reinstall) are not ours.
  if (!NeedReinstall() && !IsClientInstalled()) {
    const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key);
    base::DeleteRegTree(HKEY_CURRENT_USER, key);
  }
  config.duration_time = NowTicks() - config.install_start_time;
  if (config.install_result_code == kResultStoppedDuringDownload) {
    NotifyCancel();
  } else {
    NotifyError();
  }
  return config.install_result_code;
}

bool WaitForFileLanded(const std::vector<std::wstring>& paths) {
  const auto all_exist = [&paths] {
    for (const std::wstring& path : paths) {
      if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    }
    return true;
  };
  for (int i = 0; i < 5; ++i) {
    if (all_exist()) return true;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  if (all_exist()) return true;
  for (const std::wstring& path : paths) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = kResultFilesMissing;
    const size_t slash = path.find_last_of(L"\\/");
    config.error_message = base::WideToUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
    PRODUCT_LOG("file not found, {}", config.error_message);
    break;
  }
  return false;
}

void WriteUninstallAndProtocol(const std::wstring& version) {
  const std::filesystem::path client_dir =
      base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kClient);
  const std::wstring uninstaller = (client_dir / L"Uninstall.exe").wstring();
  WriteUninstallEntry(kUninstallKeyName, BuildUninstallCommand(uninstaller), uninstaller, kUninstallDisplayName,
                      version, kProductPublisher);
  base::RegisterUrlProtocol(L"Quillorane", L"Quillorane class", (client_dir / L"QuilloraneLauncher.exe").wstring());
}
