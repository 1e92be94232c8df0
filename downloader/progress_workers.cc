#include "downloader/progress_workers.h"

#include "downloader/slice_manager.h"

namespace courier {
namespace {

bool UserStopped(const Options* options) {
  return options->user_stop_event != nullptr && options->user_stop_event->isSet();
}

}  // namespace

ProgressHandler::ProgressHandler(Options* options, std::shared_ptr<SliceManager> manager)
    : options_(options), slice_manager_(std::move(manager)) {
  if (options_ != nullptr && slice_manager_) worker_ = std::async(std::launch::async, [this] { run(); });
}

ProgressHandler::~ProgressHandler() {
  if (worker_.valid()) worker_.wait();
}

void ProgressHandler::run() {
  for (;;) {
    if (options_->internal_stop_event.wait(500)) return;
    if (UserStopped(options_)) return;
    if (options_->progress_functor && slice_manager_) {
      const int64_t total = slice_manager_->file_size() >= 0 ? slice_manager_->file_size() : -1;
      options_->progress_functor(total, slice_manager_->downloadedBytes());
    }
  }
}

SpeedHandler::SpeedHandler(int64_t held_bytes, Options* options, std::shared_ptr<SliceManager> manager)
    : held_at_start_(held_bytes), held_at_last_report_(held_bytes), options_(options),
      slice_manager_(std::move(manager)) {
  if (options_ != nullptr && slice_manager_) worker_ = std::async(std::launch::async, [this] { run(); });
}

SpeedHandler::~SpeedHandler() {
  if (worker_.valid()) worker_.wait();
}

void SpeedHandler::run() {
  held_at_last_report_ = held_at_start_;
  for (;;) {
    if (options_->internal_stop_event.wait(1000)) return;
    if (UserStopped(options_)) return;
    const int64_t held = slice_manager_->downloadedBytes();
    // A slice that dropped its progress makes the sum shrink: no report then.
    if (held >= held_at_last_report_) {
      if (options_->speed_functor) options_->speed_functor(held - held_at_last_report_);
      held_at_last_report_ = held;
    }
  }
}

}  // namespace courier
