// The engine of a fresh install: the component list, the download stage and
// the install stage.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/client_update_info.h"
#include "base/scoped_handle.h"
#include "downloader/courier.h"
#include "src/zephris_install/src/impl/install_impl/install_impl.h"

namespace oem {
class OemTable;
}

class Install : public InstallImpl {
 public:
  explicit Install(const std::shared_ptr<IInstallNotify>& notify);
  ~Install() override;

  int32_t Run() override;
  // Callable from any thread at any time. `Stop` returns once a running
  // download has ended; stage waits end at once.
  void Stop() override;
  void Pause() override;
  void Resume() override;

 private:
  // Download stage (download_stage.cc).
  int32_t DownloadStage();
  void NotifyDownloadStart();
  void NotifyDownloadEnd();
  bool RequestCompInfo();
  std::optional<data::ClientUpdateInfo> LoadClientUpdateInfo();
  void AskDownloadOnlyInstallerToStop();
  bool CheckComponentCache();
  bool Download();

  // One component's download (component_download.cc).
  bool DoDownload(const std::wstring& path, const data::Component& component);
  courier::Result DownloadWithRetry(const std::wstring& path, const data::Component& component);
  bool SpeedBasedRetryStrategy(int64_t speed, std::atomic<double>& stall_bonus);
  void OnSliceProgress(int64_t total, int64_t downloaded, const data::Component& component,
                       const std::atomic<double>& stall_bonus);
  void OnDownloadProgress(double component_percent, uint64_t size, data::ComponentType type);
  std::wstring ArchivePath(const data::Component& component) const;
  // Checks the archive's MD5 and, when it matches, keeps it held until it is
  // unpacked, so that the install stage need not read it a second time.
  bool CheckAndHoldArchive(const std::wstring& path, const std::string& md5, std::string* local);

  // Install stage (install_stage.cc).
  int32_t InstallStage();
  bool SetPreRegistry();
  bool ReleaseUnzipTool();
  bool InstallComps();
  bool UnzipComponent(const data::Component& component, const std::wstring& folder);
  bool CheckArchiveBeforeExtract(const data::Component& component);
  bool CheckComponentFiles(const data::Component& component, const std::wstring& folder);
  bool ExecuteSetup(const std::wstring& folder);
  bool SetPostRegistry();
  void RegisterUninstall();
  void SetAutoStart();

  uint64_t total_size_ = 0;
  std::atomic<uint64_t> done_size_{0};
  bool from_cache_ = false;
  std::atomic<bool> pause_notice_{false};
  std::optional<std::string> exp_id_;
  std::unique_ptr<oem::OemTable> oem_table_;
  // Created by the first download; `Stop`, `Pause` and `Resume` reach it
  // from other threads, so its creation is guarded.
  mutable std::mutex courier_mutex_;
  std::unique_ptr<courier::Courier> courier_;
  // Archives whose MD5 matched in this run, held from the check to their
  // extraction (install task thread only).
  std::map<std::wstring, base::ScopedKernelHandle> held_archives_;
};
