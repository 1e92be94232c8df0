#include "downloader/entry_handler.h"

#include <winsock2.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "downloader/curl_settings.h"
#include "downloader/progress_workers.h"
#include "downloader/slice_manager.h"
#include "downloader/verbose.h"

namespace courier {
namespace {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The task boundary: nothing thrown inside a run reaches the caller.
template <typename Body>
Result RunGuarded(const VerboseFunctor& verbose, Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    WriteVerbose(verbose, "Download task exception: %s.\n", e.what());
  } catch (...) {
    WriteVerbose(verbose, "Download task exception.\n");
  }
  return UNKNOWN_ERROR;
}

// Sets one option of the probe; a refused option is logged and the probe goes on.
#define PROBE_SETOPT(opt, value, text)                                                           \
  do {                                                                                           \
    const CURLcode rc_ = curl_easy_setopt(curl, opt, value);                                     \
    if (rc_ != CURLE_OK) WriteVerbose(verbose, "curl_easy_setopt(" text ") failed, return: %ld.\n", (long)rc_); \
  } while (0)

}  // namespace

EntryHandler::EntryHandler() = default;

EntryHandler::~EntryHandler() {
  if (future_.valid()) future_.wait();
  probe_.reset();
  speed_handler_.reset();
  progress_handler_.reset();
  if (slice_manager_) slice_manager_->release();
  slice_manager_.reset();
}

std::shared_future<Result> EntryHandler::start(Options* options) {
  options_ = options;
  thread_num_ = options->thread_num;
  future_ = std::async(std::launch::async, [this] { return runTask(); }).share();
  return future_;
}

bool EntryHandler::stopRequested() const { return user_stop_.load() || options_->stopRequested(); }

void EntryHandler::requestStop() {
  std::lock_guard lock(control_mutex_);
  user_stop_ = true;
  download_state_ = kIdle;
}

void EntryHandler::pause() {
  std::lock_guard lock(control_mutex_);
  if (!transfer_phase_ || download_state_ != kDownloading) return;
  paused_ = true;
  download_state_ = kPaused;
}

void EntryHandler::resume() {
  std::lock_guard lock(control_mutex_);
  if (!transfer_phase_ || download_state_ != kPaused) return;
  paused_ = false;
  download_state_ = kDownloading;
}

void EntryHandler::endTransferPhase() {
  std::lock_guard lock(control_mutex_);
  transfer_phase_ = false;
  paused_ = false;
  download_state_ = kIdle;
}

Result EntryHandler::runTask() {
  options_->internal_stop_event.reset();
  {
    std::lock_guard lock(control_mutex_);
    paused_ = false;
    user_stop_ = false;
    download_state_ = kDownloading;
  }

  Result result = RunGuarded(options_->verbose_functor, [this] { return downloadFile(); });
  if (multi_ != nullptr) {
    // Only an exception leaves a multi handle behind.
    if (slice_manager_) {
      for (const auto& slice : slice_manager_->slices()) slice->stop(multi_);
    }
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
  }
  endTransferPhase();
  // A run that was stopped ends as cancelled, wherever the stop caught it (a
  // probe cut short included), unless the file was finished all the same.
  if (result != SUCCESSED && (user_stop_.load() || (options_->user_stop_event && options_->user_stop_event->isSet()))) {
    result = CANCELED;
  }

  options_->internal_stop_event.set();
  speed_handler_.reset();
  progress_handler_.reset();
  if (slice_manager_) {
    slice_manager_->release();
    slice_manager_.reset();
  }
  if (options_->result_functor) {
    try {
      options_->result_functor(result);
    } catch (...) {
      WriteVerbose(options_->verbose_functor, "Result functor threw.\n");
    }
  }
  return result;
}

Result EntryHandler::downloadFile() {
  const VerboseFunctor& verbose = options_->verbose_functor;
  WriteVerbose(verbose, "URL: %s.\n", options_->url.c_str());
  WriteVerbose(verbose, "Thread number: %d.\n", thread_num_);
  WriteVerbose(verbose, "Disk Cache Size: %ld.\n", (long)options_->disk_cache_size);
  WriteVerbose(verbose, "Target file path: %s.\n", options_->target_file_path.c_str());
  WriteVerbose(verbose, "Fetching file size...\n");

  FileInfo info;
  int32_t failures = 0;
  while (!fetchFileInfo(options_->url, &info)) {
    WriteVerbose(verbose, "Fetching file size failed, retry...\n");
    ++failures;
    if (failures > options_->fetch_file_info_retry_times || stopRequested()) {
      WriteVerbose(verbose, "Fetch file size failed.\n");
      return FETCH_FILE_INFO_FAILED;
    }
  }
  WriteVerbose(verbose, "File size: %lld.\n", (long long)info.file_size);

  if (info.file_size == 0) {
    return CreateFixedSizeFile(options_->target_file_path, 0) ? SUCCESSED : CREATE_TARGET_FILE_FAILED;
  }
  WriteVerbose(verbose, "Content MD5: %s.\n", info.content_md5.c_str());
  WriteVerbose(verbose, "Redirect URL: %s.\n", info.redirect_url.c_str());

  slice_manager_ = std::make_shared<SliceManager>(options_, info.redirect_url);
  transfer_phase_ = true;
  if (slice_manager_->loadIndexFile(info.file_size, info.content_md5) != SUCCESSED) {
    slice_manager_->setFileSize(info.file_size);
    slice_manager_->setContentMd5(info.content_md5);
    const Result r = slice_manager_->makeSlices(info.accept_ranges);
    if (r != SUCCESSED) return r;
  }

  if (slice_manager_->checkHash(false) == SUCCESSED) {
    WriteVerbose(verbose, "All of slices have been downloaded.\n");
    return slice_manager_->finish(false, nullptr);
  }

  multi_ = curl_multi_init();
  if (multi_ == nullptr) {
    WriteVerbose(verbose, "curl_multi_init failed.\n");
    return INIT_CURL_MULTI_FAILED;
  }
  auto cleanup_multi = [this] {
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
  };

  auto& slices = slice_manager_->slices();
  int64_t pending = 0;
  for (const auto& slice : slices) {
    if (slice->status() == NotStarted && !slice->complete()) ++pending;
  }
  const int64_t shares = std::min<int64_t>(thread_num_, pending);
  const int64_t cache_per_slice = shares > 0 ? options_->disk_cache_size / shares : options_->disk_cache_size;
  const int64_t speed_per_slice =
      shares > 0 && options_->max_speed != -1 ? options_->max_speed / shares : options_->max_speed;
  WriteVerbose(verbose, "Disk cache per slice: %lld.\n", (long long)cache_per_slice);
  WriteVerbose(verbose, "Max speed per slice: %lld.\n", (long long)speed_per_slice);

  // A planned file is hashed while it is written; an open-ended transfer
  // (size unknown, or no ranges) is hashed by its reader afterwards.
  if (slice_manager_->file_size() > 0 && slice_manager_->targetFile() &&
      std::all_of(slices.begin(), slices.end(), [](const auto& s) { return s->end() >= 0; })) {
    running_md5_ = std::make_unique<RunningMd5>(slice_manager_->targetFile()->path(), slice_manager_->file_size());
    running_md5_->advanceTo(finalPrefix());
  }

  int started = 0;
  for (int i = 0; i < thread_num_; ++i) {
    auto it = std::find_if(slices.begin(), slices.end(), [](const auto& s) { return s->status() == NotStarted; });
    if (it == slices.end()) break;
    (*it)->setStatus(Scheduled);
    const Result r = (*it)->start(multi_, cache_per_slice, speed_per_slice);
    if (r != SUCCESSED) {
      WriteVerbose(verbose, "Slice<%d> start downloading failed: %s.\n", (*it)->index(), ResultName(r));
      for (const auto& slice : slices) slice->stop(multi_);
      cleanup_multi();
      return r;
    }
    WriteVerbose(verbose, "Slice<%d> start downloading.\n", (*it)->index());
    ++started;
  }
  if (started == 0) {
    WriteVerbose(verbose, "No available slice.\n");
    cleanup_multi();
    return UNKNOWN_ERROR;
  }

  if (options_->progress_functor) progress_handler_ = std::make_shared<ProgressHandler>(options_, slice_manager_);
  if (options_->speed_functor) {
    speed_handler_ = std::make_shared<SpeedHandler>(slice_manager_->downloadedBytes(), options_, slice_manager_);
  }

  long timeout_ms = -1;
  curl_multi_timeout(multi_, &timeout_ms);
  timeval wait{};
  if (timeout_ms <= 0) {
    wait.tv_usec = 100 * 1000;
  } else if (timeout_ms / 1000 <= 1) {
    wait.tv_sec = timeout_ms / 1000;
    wait.tv_usec = (timeout_ms % 1000) * 1000;
  } else {
    wait.tv_sec = 1;
  }

  int running = 0;
  curl_multi_perform(multi_, &running);
  WriteVerbose(verbose, "Start downloading.\n");
  int64_t last_save = NowMs();

  for (;;) {
    if (paused_) {
      while (!options_->internal_stop_event.wait(50) &&
             !(options_->user_stop_event && options_->user_stop_event->isSet()) && paused_) {
      }
    }
    if (options_->stopRequested()) break;

    if (NowMs() - last_save >= 10000) {
      slice_manager_->flushAllSlices();
      slice_manager_->flushIndexFile();
      last_save = NowMs();
    }

    fd_set read_set, write_set, error_set;
    FD_ZERO(&read_set);
    FD_ZERO(&write_set);
    FD_ZERO(&error_set);
    int max_fd = -1;
    const CURLMcode fdset = curl_multi_fdset(multi_, &read_set, &write_set, &error_set, &max_fd);
    if (fdset != CURLM_OK && fdset != CURLM_CALL_MULTI_PERFORM) {
      WriteVerbose(verbose, "curl_multi_fdset failed, code: %ld(%s).\n", (long)fdset, curl_multi_strerror(fdset));
      break;
    }
    if (max_fd == -1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else {
      timeval this_wait = wait;
      if (::select(max_fd + 1, &read_set, &write_set, &error_set, &this_wait) == -1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }

    running = 0;
    const CURLMcode perform = curl_multi_perform(multi_, &running);
    if (perform != CURLM_OK && perform != CURLM_CALL_MULTI_PERFORM) break;

    // Collect finished transfers and fill the free places. A transfer can
    // run from start to end inside one curl_multi_perform (a fast link, large
    // reads), so this goes on until the places are full or nothing is left
    // to start: the loop below ends only when nothing runs and nothing waits.
    while (running < thread_num_) {
      readFinishedTransfers();
      const std::shared_ptr<Slice> chosen = chooseSliceToStart();
      if (!chosen) break;
      chosen->setStatus(Scheduled);
      // Every start gets the share worked out for the first pass: the cache
      // and the speed limit are the whole download's, and shares of
      // 1/(running + 1) would add up to more than the whole (and hand each
      // start a block of another size, fresh memory every time).
      const Result r = chosen->start(multi_, cache_per_slice, speed_per_slice);
      const bool first = running == 0;
      if (r != SUCCESSED) {
        // A slice that cannot even be started counts as failed, or a start
        // that always fails would keep the loop going for ever.
        chosen->addFailure();
        if (first) {
          running = 1;  // the next pass tries again
          WriteVerbose(verbose, "Slice<%d> start downloading failed: %s.\n", chosen->index(), ResultName(r));
        }
        break;
      }
      if (first) WriteVerbose(verbose, "Slice<%d> start downloading.\n", chosen->index());
      curl_multi_perform(multi_, &running);
    }
    if (running <= 0 && !paused_) break;
  }

  WriteVerbose(verbose, "Downloading end.\n");
  const Result result = slice_manager_->finish(true, multi_);
  cleanup_multi();
  endTransferPhase();
  if (result == SUCCESSED && running_md5_) {
    running_md5_->advanceTo(slice_manager_->file_size());
    delivered_ = running_md5_->finish();
  }
  running_md5_.reset();
  if (result == SUCCESSED) {
    WriteVerbose(verbose, "All success!\n");
    return SUCCESSED;
  }
  return result;
}

std::shared_ptr<Slice> EntryHandler::chooseSliceToStart() {
  const VerboseFunctor& verbose = options_->verbose_functor;
  auto& slices = slice_manager_->slices();
  auto first_with = [&](int32_t status) {
    return std::find_if(slices.begin(), slices.end(), [status](const auto& s) { return s->status() == status; });
  };
  if (auto fresh = first_with(NotStarted); fresh != slices.end()) return *fresh;
  if (auto failed = first_with(Failed); failed != slices.end()) {
    // Only the first failed slice is looked at; once it has used up its
    // restarts, nothing more is started.
    if ((*failed)->failedTimes() >= options_->slice_max_failed_times) return nullptr;
    WriteVerbose(verbose, "Re-download slice<%d>.\n", (*failed)->index());
    return *failed;
  }
  if (first_with(Downloading) != slices.end()) return nullptr;
  if (auto open = first_with(FinishedWithoutEnd); open != slices.end()) {
    if (slice_manager_->file_size() < 0 || slice_manager_->checkHash(false) == SUCCESSED) {
      (*open)->setStatus(Completed);
      return nullptr;
    }
    WriteVerbose(verbose, "Re-download slice<%d>.\n", (*open)->index());
    return *open;
  }
  return nullptr;
}

void EntryHandler::readFinishedTransfers() {
  const VerboseFunctor& verbose = options_->verbose_functor;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    auto& slices = slice_manager_->slices();
    auto it = std::find_if(slices.begin(), slices.end(),
                           [&](const auto& s) { return s->handle() == message->easy_handle; });
    if (it == slices.end()) continue;
    Slice& slice = **it;
    const CURLcode code = message->data.result;

    // Cut short by the slice itself once it held all it needed: that is a
    // transfer that ended well.
    bool ended_well = code == CURLE_OK || (code == CURLE_WRITE_ERROR && slice.reachedEnd());
    if (!ended_well) {
      WriteVerbose(verbose, "Slice<%d> download failed %ld(%s).\n", slice.index(), (long)code,
                   curl_easy_strerror(code));
    } else if (!slice.answerAccepted()) {
      ended_well = false;  // an error page or another range is not this slice's data
    }

    if (!ended_well) {
      slice.setStatus(Failed);
      slice.addFailure();
    } else if (slice.end() >= 0) {
      if (slice.complete()) {
        slice.setStatus(Completed);
      } else {
        slice.setStatus(Failed);
        slice.addFailure();
      }
    } else if (slice.bytesThisTransfer() == 0 && slice_manager_->file_size() >= 0 &&
               slice_manager_->downloadedBytes() != slice_manager_->file_size()) {
      // An open-ended transfer that brought nothing although bytes are
      // missing: a failure, so that its restarts come to an end.
      slice.setStatus(Failed);
      slice.addFailure();
    } else {
      slice.setStatus(FinishedWithoutEnd);
    }
    slice.stop(multi_);
  }
  if (running_md5_) running_md5_->advanceTo(finalPrefix());
}

int64_t EntryHandler::finalPrefix() const {
  std::vector<const Slice*> ordered;
  for (const auto& slice : slice_manager_->slices()) ordered.push_back(slice.get());
  std::sort(ordered.begin(), ordered.end(), [](const Slice* a, const Slice* b) { return a->begin() < b->begin(); });
  int64_t end = 0;
  for (const Slice* slice : ordered) {
    // Stopped and complete: its bytes are in the file and no transfer of
    // this run writes them again.
    if (slice->begin() != end || slice->status() != Completed || !slice->complete() || slice->cached() != 0) break;
    end = slice->end() + 1;
  }
  return end;
}

int EntryHandler::ProbeProgressCallback(void* handler, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  // A stop aborts the probe from the probe's own thread.
  return static_cast<EntryHandler*>(handler)->stopRequested() ? 1 : 0;
}

bool EntryHandler::fetchFileInfo(const std::string& url, FileInfo* info) {
  if (options_ == nullptr) return false;
  const VerboseFunctor& verbose = options_->verbose_functor;
  if (!probe_) probe_ = std::make_shared<ScopedCurl>();
  CURL* curl = probe_->get();
  if (curl == nullptr) return false;
  curl_easy_reset(curl);

  PROBE_SETOPT(CURLOPT_VERBOSE, 0L, "curl, CURLOPT_VERBOSE, 0L");
  PROBE_SETOPT(CURLOPT_NOSIGNAL, 1L, "curl, CURLOPT_NOSIGNAL, 1L");
  PROBE_SETOPT(CURLOPT_URL, url.c_str(), "curl, CURLOPT_URL, url.c_str()");
  if (options_->fetch_file_info_head_method) {
    PROBE_SETOPT(CURLOPT_NOBODY, 1L, "curl, CURLOPT_NOBODY, 1L");
  } else {
    PROBE_SETOPT(CURLOPT_NOBODY, 0L, "curl, CURLOPT_NOBODY, 0L");
  }
  PROBE_SETOPT(CURLOPT_FOLLOWLOCATION, 1L, "curl, CURLOPT_FOLLOWLOCATION, 1L");
  PROBE_SETOPT(CURLOPT_MAXREDIRS, kMaxRedirects, "curl, CURLOPT_MAXREDIRS, kMaxRedirects");
  PROBE_SETOPT(CURLOPT_SSL_VERIFYHOST, 0L, "curl, CURLOPT_SSL_VERIFYHOST, 0L");
  PROBE_SETOPT(CURLOPT_SSL_VERIFYPEER, 0L, "curl, CURLOPT_SSL_VERIFYPEER, 0L");
  PROBE_SETOPT(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_->network_conn_timeout),
               "curl, CURLOPT_CONNECTTIMEOUT_MS, options_->network_conn_timeout");
  const LowSpeedLimit low_speed = LowSpeedLimitFor(*options_);
  PROBE_SETOPT(CURLOPT_LOW_SPEED_LIMIT, low_speed.bytes_per_second, "curl, CURLOPT_LOW_SPEED_LIMIT, low_speed");
  PROBE_SETOPT(CURLOPT_LOW_SPEED_TIME, low_speed.seconds, "curl, CURLOPT_LOW_SPEED_TIME, low_speed");
  PROBE_SETOPT(CURLOPT_NOPROGRESS, 0L, "curl, CURLOPT_NOPROGRESS, 0L");
  PROBE_SETOPT(CURLOPT_XFERINFOFUNCTION, &EntryHandler::ProbeProgressCallback,
               "curl, CURLOPT_XFERINFOFUNCTION, ProbeProgressCallback");
  PROBE_SETOPT(CURLOPT_XFERINFODATA, this, "curl, CURLOPT_XFERINFODATA, this");
  PROBE_SETOPT(CURLOPT_WRITEFUNCTION, &EntryHandler::__WriteBodyCallback,
               "curl, CURLOPT_WRITEFUNCTION, __WriteBodyCallback");
  PROBE_SETOPT(CURLOPT_HEADERFUNCTION, &EntryHandler::__WriteHeaderCallback,
               "curl, CURLOPT_HEADERFUNCTION, __WriteHeaderCallback");
  PROBE_SETOPT(CURLOPT_HEADERDATA, static_cast<void*>(info), "curl, CURLOPT_HEADERDATA, (void*)&fileInfo");
  if (!options_->proxy.empty()) {
    PROBE_SETOPT(CURLOPT_PROXY, options_->proxy.c_str(), "curl, CURLOPT_PROXY, options_->proxy.c_str()");
  }
  curl_slist* header_chunk = nullptr;
  if (!options_->http_headers.empty()) {
    for (const auto& [name, value] : options_->http_headers) {
      header_chunk = curl_slist_append(header_chunk, (name + ": " + value).c_str());
    }
    PROBE_SETOPT(CURLOPT_HTTPHEADER, header_chunk, "curl, CURLOPT_HTTPHEADER, headerChunk");
  }

  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(header_chunk);
  if (rc != CURLE_OK) {
    WriteVerbose(verbose, "curl_easy_perform failed, CURLcode: %ld(%s).\n", (long)rc, curl_easy_strerror(rc));
    return false;
  }

  char* redirect = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect != nullptr) {
    info->redirect_url = redirect;
  }
  long code = 0;
  const CURLcode info_rc = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  if (info_rc != CURLE_OK) {
    WriteVerbose(verbose, "Get CURLINFO_RESPONSE_CODE failed, CURLcode: %ld(%s).\n", (long)info_rc,
                 curl_easy_strerror(info_rc));
    return false;
  }
  if (code != 200 && code != 350) {
    WriteVerbose(verbose, "HTTP response code error, code: %ld.\n", code);
    return false;
  }
  return true;
}

size_t EntryHandler::__WriteBodyCallback(char*, size_t size, size_t count, void*) { return size * count; }

size_t EntryHandler::__WriteHeaderCallback(char* data, size_t size, size_t count, void* user) {
  auto* info = static_cast<FileInfo*>(user);
  if (info == nullptr) return static_cast<size_t>(-1);
  const size_t length = size * count;
  const std::string line(data, length);
  if (length >= 5 && std::equal(line.begin(), line.begin() + 5, "HTTP/", [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
      })) {
    // A new answer (after a redirect, or a retried attempt): only the final
    // answer describes the file, so a redirect's length, digest or range
    // refusal must not outlive it.
    info->file_size = -1;
    info->content_md5.clear();
    info->accept_ranges = true;
    return length;
  }
  const size_t separator = line.find(": ");
  if (length < 2 || separator == std::string::npos) return length;

  std::string name = line.substr(0, separator);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const size_t value_begin = separator + 2;
  const size_t rest = length - value_begin;
  const std::string value = rest < 2 ? line.substr(value_begin) : line.substr(value_begin, rest - 2);

  if (name == "content-length") {
    size_t i = 0;
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i]))) ++i;
    // A negative or overlong length is no size at all.
    int64_t number = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
      if (number > (INT64_MAX - 9) / 10) {
        number = -1;
        break;
      }
      number = number * 10 + (value[i] - '0');
    }
    info->file_size = negative || number < 0 ? -1 : number;
  } else if (name == "content-md5") {
    info->content_md5 = value;
  } else if (name == "accept-ranges") {
    if (value.size() == 4 && std::equal(value.begin(), value.end(), "none", [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == b;
        })) {
      info->accept_ranges = false;
    }
  }
  return length;
}

}  // namespace courier
