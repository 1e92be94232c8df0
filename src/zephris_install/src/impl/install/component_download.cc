// One component's download: the segmented downloader in up to 15 attempts,
// the speed watch that shakes a stalled transfer loose or restarts it, the
// WinHTTP fallback, and the progress of the whole install.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <thread>

#include "base/product_log.h"
#include "base/text_conversion.h"
#include "net/web_request.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install/component_archive.h"
#include "src/zephris_install/src/impl/install/install.h"

namespace {

constexpr int kAttempts = 15;
constexpr std::chrono::milliseconds kAttemptPause{2000};
constexpr int kStallReadingsPerBonus = 5;
constexpr int kStallReadingsPerEpisode = 31;
constexpr int kResumesBeforeRestart = 3;
constexpr int64_t kProgressInterval = 5000000;  // 0.5 s in 100 ns ticks

// The speed watch's counters live as long as the process: a restart resets
// them, nothing else. Only the downloader's speed thread touches them.
int64_t g_last_speed = 0;
int g_stall_count = 0;
int g_resume_count = 0;

// The time of the last progress report; the first report only sets it.
std::atomic<int64_t> g_last_progress_ticks{0};

// A share in percent of a whole; 0 when the whole is not known (0 or less),
// and never outside 0..100.
double Percent(double part, double whole) {
  if (!(whole > 0) || !std::isfinite(part)) return 0;
  return std::clamp(part * 100 / whole, 0.0, 100.0);
}

}  // namespace

bool Install::DoDownload(const std::wstring& path, const data::Component& component) {
  GlobalConfig& config = GlobalConfig::Instance();
  if (run_state() == kRunPaused) WaitWhilePaused();
  if (run_state() == kRunStopped) {
    config.install_result_code = kResultStoppedDuringDownload;
    return false;
  }
  const courier::Result result = DownloadWithRetry(path, component);
  if (result == courier::CANCELED) {
    config.install_result_code = kResultStoppedDuringDownload;
    return false;
  }
  if (result != courier::SUCCESSED) {
    config.install_result_code = kResultDownloadFailed;
    config.detail_code_0 = result;
    PRODUCT_LOG("curl download error, code: {}", static_cast<int32_t>(result));
    if (PathExists(path)) {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
    const net::HttpResult fallback =
        net::WinHttpDownload(component.url, path, [this, &component](double percent) {
          OnDownloadProgress(percent, component.size, component.type);
        });
    if (net::RequestFailed(fallback)) {
      config.detail_code_1 = fallback.error_code;
      config.detail_code_2 = fallback.http_code;
      PRODUCT_LOG("winhttp download error, httpcode {}, errorcode {}", fallback.http_code, fallback.error_code);
      return false;
    }
    config.install_result_code = kResultSuccess;
    config.detail_code_0 = 0;
  }
  return WaitForFileLanded({path});
}

courier::Result Install::DownloadWithRetry(const std::wstring& path, const data::Component& component) {
  std::atomic<bool> restart{false};
  std::atomic<double> stall_bonus{0};
  courier::Result result = courier::UNKNOWN_ERROR;
  const std::string target = base::WideToUtf8(path);
  for (int attempt = 1;; ++attempt) {
    std::atomic<courier::Result> outcome{courier::UNKNOWN_ERROR};
    std::shared_future<courier::Result> run = courier_->start(
        component.url, target, [&outcome](courier::Result r) { outcome = r; },
        [this, &component, &stall_bonus](int64_t total, int64_t downloaded) {
          OnSliceProgress(total, downloaded, component, stall_bonus);
        },
        [this, &restart, &stall_bonus](int64_t speed) {
          if (SpeedBasedRetryStrategy(speed, stall_bonus)) restart = true;
        });
    run.wait();
    result = outcome.load();
    PRODUCT_LOG("download {} times, result {}", attempt, static_cast<int32_t>(result));
    if (result == courier::SUCCESSED) return result;
    if (result == courier::CANCELED && !restart) return result;
    restart = false;
    courier_->stop();
    // A stop during the pause ends the series like a stop during a transfer.
    if (!SleepUnlessStopped(kAttemptPause)) return courier::CANCELED;
    if (attempt == kAttempts) return result;
  }
}

bool Install::SpeedBasedRetryStrategy(int64_t speed, std::atomic<double>& stall_bonus) {
  if (speed != 0 || g_last_speed != 0) {
    g_stall_count = 0;
  } else {
    ++g_stall_count;
    if (g_stall_count % kStallReadingsPerBonus == 0) {
      double bonus = stall_bonus.load();
      while (!stall_bonus.compare_exchange_weak(bonus, bonus + 1.0)) {
      }
    }
    if (g_stall_count >= kStallReadingsPerEpisode) {
      ++g_resume_count;
      if (g_resume_count > kResumesBeforeRestart) {
        PRODUCT_LOG("restart courier");
        courier_->stop();
        g_resume_count = 0;
        g_stall_count = 0;
        g_last_speed = speed;
        return true;
      }
      PRODUCT_LOG("resume courier {} times", g_resume_count);
      courier_->pause();
      // Pause and resume are one shake of the transfer; a stop meanwhile
      // must not be undone by the resume.
      if (SleepUnlessStopped(std::chrono::milliseconds(1000))) courier_->resume();
      g_stall_count = 0;
    }
  }
  g_last_speed = speed;
  return false;
}

void Install::OnSliceProgress(int64_t total, int64_t downloaded, const data::Component& component,
                              const std::atomic<double>& stall_bonus) {
  const int32_t state = courier_->downloadState();
  if (state == 1) {
    const double real = Percent(static_cast<double>(downloaded), static_cast<double>(total));
    double shown = stall_bonus.load() + real;
    if (shown > 98) shown = real;
    OnDownloadProgress(shown, component.size, component.type);
  } else if (state == 2 && pause_notice_.exchange(false)) {
    SendNotice("paused");
  }
}

void Install::OnDownloadProgress(double component_percent, uint64_t size, data::ComponentType type) {
  SetStage(kStatusDownloading);
  const int64_t now = NowTicks();
  const int64_t last = g_last_progress_ticks.load();
  if (last == 0 || now - last < kProgressInterval) {
    if (last == 0) g_last_progress_ticks = now;
    return;
  }
  g_last_progress_ticks = now;
  const double done = std::clamp(component_percent, 0.0, 100.0) / 100 * static_cast<double>(size) +
                      static_cast<double>(done_size_.load());
  const double percent = Percent(done, static_cast<double>(total_size_));
  const std::string total = std::to_string(total_size_);
  SendNotice("active", static_cast<float>(percent / 100), std::to_string(static_cast<uint64_t>(done)), total);
  InstallStatus status;
  status.code = kStatusDownloading;
  status.component_type = static_cast<int32_t>(type);
  status.percent = percent;
  DeliverStatus(status);
}
