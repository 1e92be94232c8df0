#include "downloader/courier.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>

#include "downloader/entry_handler.h"
#include "downloader/file_util.h"

namespace courier {
namespace {

void EnsureCurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

std::shared_future<Result> Refuse(Result code, ResultFunctor functor) {
  return std::async(std::launch::async,
                    [code, functor = std::move(functor)] {
                      if (functor) {
                        try {
                          functor(code);
                        } catch (...) {
                        }
                      }
                      return code;
                    })
      .share();
}

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

struct Courier::Private {
  Options options_;
  // Guards the pointer only; a handler's own state is atomic.
  mutable std::mutex mutex;
  std::shared_ptr<EntryHandler> handler;

  std::shared_ptr<EntryHandler> current() const {
    std::lock_guard lock(mutex);
    return handler;
  }
};

Courier::Courier() : d_(std::make_unique<Private>()) { EnsureCurlGlobalInit(); }

Courier::~Courier() {
  std::shared_ptr<EntryHandler> handler;
  {
    std::lock_guard lock(d_->mutex);
    handler.swap(d_->handler);
  }
  handler.reset();  // waits for its task
}

Options& Courier::options() { return d_->options_; }

void Courier::setThreadNum(int32_t n) {
  const auto handler = d_->current();
  if (handler && handler->downloadState() != kIdle) return;
  if (n < 1) {
    d_->options_.thread_num = 1;
  } else if (n <= 100) {
    d_->options_.thread_num = n;
  }
}

std::shared_future<Result> Courier::start(const std::string& url, const std::string& target_file_path,
                                          ResultFunctor result_functor, ProgressFunctor progress_functor,
                                          SpeedFunctor speed_functor) {
  std::shared_ptr<EntryHandler> previous = d_->current();
  if (previous && previous->downloadState() != kIdle) return Refuse(ALREADY_DOWNLOADING, std::move(result_functor));
  if (url.empty()) return Refuse(INVALID_URL, std::move(result_functor));
  std::string full_path;
  if (!ValidateTargetFilePath(target_file_path, &full_path)) {
    return Refuse(INVALID_TARGET_FILE_PATH, std::move(result_functor));
  }

  // A stopped run may still be winding down: it must finish with its own URL,
  // target and functors, so it is waited for before they are replaced.
  if (previous) {
    const std::shared_future<Result> previous_run = previous->future();
    {
      std::lock_guard lock(d_->mutex);
      if (d_->handler == previous) d_->handler.reset();
    }
    previous.reset();
    if (previous_run.valid()) previous_run.wait();
  }

  Options& options = d_->options_;
  options.url = TrimSpaces(url);
  options.target_file_path = full_path;
  options.result_functor = std::move(result_functor);
  options.progress_functor = std::move(progress_functor);
  options.speed_functor = std::move(speed_functor);

  auto handler = std::make_shared<EntryHandler>();
  {
    std::lock_guard lock(d_->mutex);
    d_->handler = handler;
  }
  return handler->start(&options);
}

void Courier::stop() {
  const auto handler = d_->current();
  if (!handler) return;
  handler->requestStop();
  d_->options_.internal_stop_event.set();
}

void Courier::pause() {
  if (const auto handler = d_->current()) handler->pause();
}

void Courier::resume() {
  if (const auto handler = d_->current()) handler->resume();
}

int32_t Courier::downloadState() const {
  const auto handler = d_->current();
  return handler ? handler->downloadState() : kIdle;
}

std::string Courier::deliveredMd5(const std::string& path) const {
  const auto handler = d_->current();
  if (!handler || handler->downloadState() != kIdle) return {};
  const std::shared_future<Result> run = handler->future();
  if (!run.valid() || run.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return {};
  if (run.get() != SUCCESSED || !handler->delivered()) return {};
  const std::wstring wide = Utf8ToWide(path);
  if (wide.empty()) return {};
  const std::optional<FileIdentity> now = IdentityOfFile(wide);
  if (!now || *now != handler->delivered()->identity) return {};
  return handler->delivered()->md5;
}

std::shared_future<Result> Courier::currentRun() const {
  const auto handler = d_->current();
  return handler ? handler->future() : std::shared_future<Result>();
}

}  // namespace courier
