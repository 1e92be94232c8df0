// The download stage: the component list (web API or the channel's cached
// entry), the stop request to a download-only installer, the reuse of
// archives already on disk and the download of the others.
#include <windows.h>

#include <cctype>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/oem_table.h"
#include "base/product_log.h"
#include "base/text_conversion.h"
#include "ipc/ipc_query.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install/component_archive.h"
#include "src/zephris_install/src/impl/install/install.h"
#include "src/zephris_install/src/impl/install_interface/install_records.h"
#include "src/zephris_install/src/tool/client_update.h"

namespace {

constexpr uint64_t kStopQueryTimeoutMs = 5000;

}  // namespace

std::wstring Install::ArchivePath(const data::Component& component) const {
  return (GlobalConfig::Instance().component_dir / base::Utf8ToWide(component.name + ".7z")).wstring();
}

void Install::NotifyDownloadStart() {
  PRODUCT_LOG("NotifyDownloadStart");
  SetStage(kStageDownloadStarted);
  SendNotice("INIT");
  zephris_report::ReportParams params;
  AddCommonReportParams(params);
  zephris_report::Reporter::Instance().Report("installer_download_start", params);
}

void Install::NotifyDownloadEnd() {
  PRODUCT_LOG("NotifyDownloadEnd");
  SetStage(kStageDownloadFinished);
  SendNotice("complete");
  ReportDownloadComplete();
}

int32_t Install::DownloadStage() {
  NotifyDownloadStart();
  GlobalConfig& config = GlobalConfig::Instance();
  if (!RequestCompInfo()) {
    // A stop that ended the update request's retries is a stop of the
    // download stage, not a failed request.
    if (run_state() == kRunStopped) config.install_result_code = kResultStoppedDuringDownload;
    return BadExit("request compinfo fail");
  }
  PRODUCT_LOG("request compinfo success");
  if (config.install_action == 0 && !config.sdk_product.empty()) AskDownloadOnlyInstallerToStop();
  if (CheckComponentCache() || Download()) {
    PRODUCT_LOG("download success");
    NotifyDownloadEnd();
    return 0;
  }
  return BadExit("download fail");
}

void Install::AskDownloadOnlyInstallerToStop() {
  QueryStopDownload query;
  query.channel_id = GlobalConfig::Instance().channel_id;
  // The answer does not matter: an answer, a time-out and an error all end
  // the wait the same way.
  auto answer = ipc::IpcQuerier::Query<nlohmann::json>(ipc::kClientInstallerDownloader, ipc::kQueryStopDownload,
                                                        query, kStopQueryTimeoutMs, true);
  answer.wait();
}

bool Install::RequestCompInfo() {
  if (!components_.empty()) return true;
  GlobalConfig& config = GlobalConfig::Instance();
  std::optional<data::ClientUpdateInfo> info;
  if (stage() == kStageDownloadStarted) {
    info = LoadClientUpdateInfo();
  } else if (stage() == kStatusInstallStarted && !config.sdk_product.empty()) {
    info = oem_table_->GetClientUpdateInfo(config.channel_id.value_or(0));
    if (info) from_cache_ = true;
  }
  if (!info) {
    // An install-only run without a cached list has nothing to install: that
    // is a failure of its own, never a success.
    if (config.install_result_code == 0) config.install_result_code = kResultUpdateRequestFailed;
    return false;
  }
  config.zephris_main_version = info->version;
  exp_id_ = info->exp_id;
  std::vector<data::Component> components = info->components;
  if (!config.full_install) {
    std::erase_if(components, [&config](const data::Component& component) {
      switch (component.type) {
        case data::ComponentType::kClient:
          return false;
        case data::ComponentType::kVirtualization:
        case data::ComponentType::kAndroidSubsystem:
          return config.engine_type != 1;
        case data::ComponentType::kParlioApplet:
          return !(config.client_type.value_or(-1) == 4 || config.engine_type == 2);
        default:
          return true;
      }
    });
  }
  components_ = std::move(components);
  total_size_ = 0;
  for (const data::Component& component : components_) total_size_ += component.size;
  return true;
}

std::optional<data::ClientUpdateInfo> Install::LoadClientUpdateInfo() {
  const GlobalConfig& config = GlobalConfig::Instance();
  const uint64_t channel = config.channel_id.value_or(0);
  std::optional<data::ClientUpdateInfo> info;
  if (!config.sdk_product.empty()) info = oem_table_->GetClientUpdateInfo(channel);
  if (!info) {
    info = RequestClientUpdateInfo([this](std::chrono::milliseconds pause) { return SleepUnlessStopped(pause); });
    if (info && !config.sdk_product.empty()) oem_table_->SetClientUpdateInfo(channel, *info);
  }
  return info;
}

bool Install::CheckComponentCache() {
  bool result = true;
  for (const data::Component& component : components_) {
    const std::wstring path = ArchivePath(component);
    if (!PathExists(path)) {
      result = false;
      continue;
    }
    std::string local;
    if (!CheckAndHoldArchive(path, component.md5, &local)) {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
      result = false;
      continue;
    }
    PRODUCT_LOG("{} already download md5 {}", component.name, local);
  }
  return result;
}

bool Install::Download() {
  {
    std::lock_guard lock(courier_mutex_);
    if (!courier_) courier_ = std::make_unique<courier::Courier>();
  }
  courier_->setThreadNum(static_cast<int32_t>(std::thread::hardware_concurrency()));
  GlobalConfig& config = GlobalConfig::Instance();
  for (const data::Component& component : components_) {
    PRODUCT_LOG("start download {}", component.name);
    config.current_component = component.name;
    const std::wstring path = ArchivePath(component);
    if (PathExists(path)) {
      OnDownloadProgress(100, component.size, component.type);
      done_size_ += component.size;
      continue;
    }
    if (!DoDownload(path, component)) return false;
    std::string local;
    if (!CheckAndHoldArchive(path, component.md5, &local)) {
      PRODUCT_LOG("compare md5 fail, local md5 {}, expect md5 {}", local, component.md5);
      config.install_result_code = kResultChecksumMismatch;
      config.detail_code_0 = PathExists(path) ? 1 : 0;
      config.error_message = component.url;
      config.error_message_1 = local;
      return false;
    }
    done_size_ += component.size;
    PRODUCT_LOG("download success {}", component.name);
  }
  const std::string total = std::to_string(total_size_);
  SendNotice("active", 100, total, total);
  config.current_component.clear();
  return true;
}

bool Install::CheckAndHoldArchive(const std::wstring& path, const std::string& md5, std::string* local) {
  base::ScopedKernelHandle held = HoldArchive(path);
  // The downloader hashed the file it just delivered while writing it; held
  // now and unchanged since, the file needs no second pass.
  std::string delivered = courier_ ? courier_->deliveredMd5(base::WideToUtf8(path)) : std::string();
  // Reported in the form the file hash gives (upper-case hex).
  for (char& c : delivered) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (held && !delivered.empty()) {
    if (local) *local = delivered;
    if (!Md5TextMatches(delivered, md5)) return false;
  } else if (!ArchiveMd5Matches(path, md5, local)) {
    return false;
  }
  if (held) held_archives_[path] = std::move(held);
  return true;
}
