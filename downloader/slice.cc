#include "downloader/slice.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstring>
#include <utility>

#include "downloader/curl_settings.h"
#include "downloader/disk_writer.h"
#include "downloader/slice_manager.h"
#include "downloader/verbose.h"

namespace courier {
namespace {

// Sets one option; a refused option is logged with its text and the slice goes on.
#define SLICE_SETOPT(opt, value, text)                                                          \
  do {                                                                                          \
    const CURLcode rc_ = curl_easy_setopt(curl_, opt, value);                                   \
    if (rc_ != CURLE_OK) WriteVerbose(verbose, "curl_easy_setopt(" text ") failed, return: %ld.\n", (long)rc_); \
  } while (0)

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// "bytes a-b/t": a and b, and t (-1 for "*").
bool ParseContentRange(const std::string& value, int64_t* first, int64_t* last, int64_t* total) {
  long long a = 0, b = 0;
  char rest[32] = {0};
  if (std::sscanf(value.c_str(), " bytes %lld-%lld/%31s", &a, &b, rest) != 3) return false;
  *first = a;
  *last = b;
  if (std::strcmp(rest, "*") == 0) {
    *total = -1;
  } else {
    char* stop = nullptr;
    *total = std::strtoll(rest, &stop, 10);
    if (stop == rest) return false;
  }
  return a >= 0 && b >= a;
}

}  // namespace

Slice::Slice(int32_t index, int64_t begin, int64_t end, int64_t capacity, std::shared_ptr<SliceManager> manager)
    : index_(index), begin_(begin), end_(end), capacity_(capacity), slice_manager_(std::move(manager)) {
  status_ = complete() ? Completed : NotStarted;
}

Slice::~Slice() {
  if (curl_ != nullptr) releaseHandle(nullptr);
  freeCache();
}

void Slice::freeCache() {
  std::lock_guard lock(mutex_);
  if (in_flight_.valid()) in_flight_.wait();  // the writer still reads that block
  in_flight_ = {};
  in_flight_length_ = 0;
  for (CachePool::Block* block : {&cache_, &writing_}) {
    if (block->data && slice_manager_) slice_manager_->cachePool().giveBack(std::move(*block));
    *block = {};
  }
  cache_size_ = 0;
  cached_ = 0;
}

bool Slice::collectWrite(int64_t* written, int64_t* length) {
  *written = *length = 0;
  if (!in_flight_.valid()) return true;
  *written = in_flight_.get();
  *length = std::exchange(in_flight_length_, 0);
  if (*written == *length) return true;
  capacity_ -= *length - *written;
  cached_ = 0;
  return false;
}

bool Slice::sendCacheToDisk(int64_t pending) {
  std::shared_ptr<TargetFile> file = slice_manager_ ? slice_manager_->targetFile() : nullptr;
  if (!file) return false;
  if (!writing_.data) writing_ = slice_manager_->cachePool().take(cache_size_);
  if (!writing_.data) {  // no memory for a second block: write here and now
    const int64_t written = file->write(begin_ + capacity_.load(), cache_.data.get(), pending);
    capacity_ += written;
    return written == pending;
  }
  std::swap(cache_, writing_);
  in_flight_ = slice_manager_->diskWriter().write(file, begin_ + capacity_.load(), writing_.data.get(), pending);
  in_flight_length_ = pending;
  capacity_ += pending;
  return true;
}

void Slice::releaseHandle(CURLM* multi) {
  if (curl_ == nullptr) return;
  if (multi != nullptr) {
    const CURLMcode rc = curl_multi_remove_handle(multi, curl_);
    if (rc != CURLM_OK && rc != CURLM_CALL_MULTI_PERFORM && slice_manager_ && slice_manager_->options()) {
      WriteVerbose(slice_manager_->options()->verbose_functor, "curl_multi_remove_handle failed: %ld(%s).\n",
                   (long)rc, curl_multi_strerror(rc));
    }
  }
  curl_slist_free_all(header_chunk_);
  header_chunk_ = nullptr;
  curl_easy_cleanup(curl_);
  curl_ = nullptr;
}

int64_t Slice::room() const {
  if (end_ >= 0) return end_ - begin_ + 1 - held();
  const int64_t size = slice_manager_ ? slice_manager_->file_size() : -1;
  return size >= 0 ? std::max<int64_t>(size - begin_ - held(), 0) : -1;
}

Result Slice::start(CURLM* multi, int64_t cache_size, int64_t max_speed) {
  if (!slice_manager_ || slice_manager_->options() == nullptr) return UNKNOWN_ERROR;
  const Options* options = slice_manager_->options();
  const VerboseFunctor& verbose = options->verbose_functor;

  status_ = Downloading;
  freeCache();
  {
    std::lock_guard lock(mutex_);
    cache_size_ = std::min<int64_t>(cache_size, kMaxCacheBlock);
    if (cache_size_ > 0) {
      cache_ = slice_manager_->cachePool().take(cache_size_);
      if (!cache_.data) cache_size_ = 0;  // no memory: straight to the file
    }
  }

  curl_ = curl_easy_init();
  if (curl_ == nullptr) {
    WriteVerbose(verbose, "curl_easy_init failed.\n");
    freeCache();
    status_ = Failed;
    return INIT_CURL_FAILED;
  }

  const std::string& redirect_url = slice_manager_->redirect_url();
  const std::string& url = options->url;
  SLICE_SETOPT(CURLOPT_VERBOSE, 0L, "curl_, CURLOPT_VERBOSE, 0L");
  SLICE_SETOPT(CURLOPT_URL, (redirect_url.length() > 0 ? redirect_url.c_str() : url.c_str()),
               "curl_, CURLOPT_URL, (redirect_url.length() > 0 ? redirect_url.c_str() : url.c_str())");
  if (!options->proxy.empty()) {
    SLICE_SETOPT(CURLOPT_PROXY, options->proxy.c_str(),
                 "curl_, CURLOPT_PROXY, slice_manager_->options()->proxy.c_str()");
  }
  SLICE_SETOPT(CURLOPT_NOSIGNAL, 1L, "curl_, CURLOPT_NOSIGNAL, 1L");
  SLICE_SETOPT(CURLOPT_FOLLOWLOCATION, 1L, "curl_, CURLOPT_FOLLOWLOCATION, 1L");
  SLICE_SETOPT(CURLOPT_MAXREDIRS, kMaxRedirects, "curl_, CURLOPT_MAXREDIRS, kMaxRedirects");
  SLICE_SETOPT(CURLOPT_SSL_VERIFYHOST, 0L, "curl_, CURLOPT_SSL_VERIFYHOST, 0L");
  SLICE_SETOPT(CURLOPT_SSL_VERIFYPEER, 0L, "curl_, CURLOPT_SSL_VERIFYPEER, 0L");
  // A slice must not wait for ever on a dead server: it gets the connect
  // time-out, and without a low-speed limit of the caller's a guard against a
  // transfer that has stalled completely.
  SLICE_SETOPT(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options->network_conn_timeout),
               "curl_, CURLOPT_CONNECTTIMEOUT_MS, options->network_conn_timeout");
  const LowSpeedLimit low_speed = LowSpeedLimitFor(*options);
  SLICE_SETOPT(CURLOPT_LOW_SPEED_LIMIT, low_speed.bytes_per_second, "curl_, CURLOPT_LOW_SPEED_LIMIT, low_speed");
  SLICE_SETOPT(CURLOPT_LOW_SPEED_TIME, low_speed.seconds, "curl_, CURLOPT_LOW_SPEED_TIME, low_speed");
  SLICE_SETOPT(CURLOPT_NOPROGRESS, 1L, "curl_, CURLOPT_NOPROGRESS, 1L");
  if (max_speed > 0) {
    SLICE_SETOPT(CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(max_speed),
                 "curl_, CURLOPT_MAX_RECV_SPEED_LARGE, (curl_off_t)max_speed");
  }
  SLICE_SETOPT(CURLOPT_FORBID_REUSE, 0L, "curl_, CURLOPT_FORBID_REUSE, 0L");
  SLICE_SETOPT(CURLOPT_BUFFERSIZE, kReceiveBufferSize, "curl_, CURLOPT_BUFFERSIZE, kReceiveBufferSize");
  SLICE_SETOPT(CURLOPT_WRITEFUNCTION, &Slice::__SliceWriteBodyCallback,
               "curl_, CURLOPT_WRITEFUNCTION, __SliceWriteBodyCallback");
  SLICE_SETOPT(CURLOPT_WRITEDATA, this, "curl_, CURLOPT_WRITEDATA, this");
  SLICE_SETOPT(CURLOPT_HEADERFUNCTION, &Slice::SliceHeaderCallback,
               "curl_, CURLOPT_HEADERFUNCTION, SliceHeaderCallback");
  SLICE_SETOPT(CURLOPT_HEADERDATA, this, "curl_, CURLOPT_HEADERDATA, this");
  if (!options->http_headers.empty()) {
    for (const auto& [name, value] : options->http_headers) {
      header_chunk_ = curl_slist_append(header_chunk_, (name + ": " + value).c_str());
    }
    SLICE_SETOPT(CURLOPT_HTTPHEADER, header_chunk_, "curl_, CURLOPT_HTTPHEADER, header_chunk_");
  }

  requested_from_ = begin_ + capacity_.load();
  held_at_start_ = held();
  content_range_.clear();
  verdict_ = 0;
  reached_end_ = false;

  bool range_set = false;
  if (end_ < 0) {
    const CURLcode rc = curl_easy_setopt(curl_, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(requested_from_));
    WriteVerbose(verbose, "Slice<%d>, Range: %lld-INFINITE.\n", index_, (long long)requested_from_);
    if (rc != CURLE_OK) {
      WriteVerbose(verbose, "CURLOPT_RESUME_FROM_LARGE failed: %ld(%s).\n", (long)rc, curl_easy_strerror(rc));
    } else {
      range_set = true;
    }
  } else {
    char range[64];
    std::snprintf(range, sizeof(range), "%lld-%lld", (long long)requested_from_, (long long)end_);
    const CURLcode rc = curl_easy_setopt(curl_, CURLOPT_RANGE, range);
    WriteVerbose(verbose, "Slice<%d>, Range: %s.\n", index_, range);
    if (rc != CURLE_OK) {
      WriteVerbose(verbose, "CURLOPT_RANGE failed: %ld(%s).\n", (long)rc, curl_easy_strerror(rc));
    } else {
      range_set = true;
    }
  }
  if (!range_set) {
    releaseHandle(nullptr);
    freeCache();
    status_ = Failed;
    return SET_CURL_OPTION_FAILED;
  }

  const CURLMcode mrc = curl_multi_add_handle(multi, curl_);
  if (mrc != CURLM_OK) {
    WriteVerbose(verbose, "curl_multi_add_handle failed: %ld(%s).\n", (long)mrc, curl_multi_strerror(mrc));
    releaseHandle(nullptr);
    freeCache();
    status_ = Failed;
    return ADD_CURL_HANDLE_FAILED;
  }
  return SUCCESSED;
}

Result Slice::stop(CURLM* multi) {
  releaseHandle(multi);

  const int32_t policy = slice_manager_ && slice_manager_->options()
                             ? slice_manager_->options()->uncompleted_slice_save_policy
                             : DiscardUnfinished;
  bool keep = true;
  if (status_ == Downloading || status_ == Failed) {
    keep = policy == DiscardUnfinished ? false : policy == DiscardFailed ? status_ != Failed : true;
  }
  // A slice whose open-ended transfer ended without error keeps what it got,
  // under every policy: dropping it would make the run fetch it again and
  // again, or lose the last bytes of a file of unknown size.

  Result result = SUCCESSED;
  if (keep) {
    if (!flushToDisk()) result = FLUSH_TMP_FILE_FAILED;
  } else {
    std::lock_guard lock(mutex_);
    capacity_ = 0;
    cached_ = 0;
  }
  freeCache();
  return result;
}

bool Slice::flushToDisk() {
  std::lock_guard lock(mutex_);
  if (!cache_.data) return true;
  int64_t written = 0, pending = 0;
  if (collectWrite(&written, &pending)) {
    pending = cached_.exchange(0);
    if (pending < 1) return true;
    std::shared_ptr<TargetFile> file = slice_manager_ ? slice_manager_->targetFile() : nullptr;
    written = file ? file->write(begin_ + capacity_.load(), cache_.data.get(), pending) : 0;
    capacity_ += written;
  }
  if (written != pending) {
    if (slice_manager_ && slice_manager_->options()) {
      WriteVerbose(slice_manager_->options()->verbose_functor, "Slice[%d] flush to disk failed: %lld/%lld.\n",
                   index_, (long long)written, (long long)pending);
    }
    return false;
  }
  return true;
}

bool Slice::onNewData(const char* data, int64_t length) {
  std::lock_guard lock(mutex_);
  if (data == nullptr || length == 0) return true;
  std::shared_ptr<TargetFile> file = slice_manager_ ? slice_manager_->targetFile() : nullptr;
  if (!file) return false;

  auto write_through = [&](const char* bytes, int64_t n) {
    const int64_t written = file->write(begin_ + capacity_.load(), bytes, n);
    capacity_ += written;
    return written;
  };

  if (!cache_.data) return write_through(data, length) == length;

  if (cache_size_ - cached_.load() >= length) {
    std::memcpy(cache_.data.get() + cached_.load(), data, static_cast<size_t>(length));
    cached_ += length;
    return true;
  }
  // The cache is full: it goes to the file while the other block takes the
  // data, once the block sent before it has been written whole.
  int64_t sent = 0, sent_length = 0;
  if (!collectWrite(&sent, &sent_length)) return false;
  const int64_t pending = cached_.exchange(0);
  if (pending > 0 && !sendCacheToDisk(pending)) return false;
  if (cache_size_ >= length) {
    std::memcpy(cache_.data.get(), data, static_cast<size_t>(length));
    cached_ = length;
    return true;
  }
  // Larger than the whole cache: straight to the file, behind the block sent.
  if (!collectWrite(&sent, &sent_length)) return false;
  const int64_t written = write_through(data, length);
  if (written != length && slice_manager_->options()) {
    WriteVerbose(slice_manager_->options()->verbose_functor, "Warning: only write a part of buffer to file: %lld/%lld.\n",
                 (long long)written, (long long)length);
  }
  return written == length;
}

bool Slice::answerAccepted() {
  if (verdict_ != 0) return verdict_ > 0;
  long code = 0;
  if (curl_ == nullptr || curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) return false;

  bool accepted = false;
  const bool ranged = end_ >= 0 || requested_from_ > 0;
  if (code >= 200 && code < 300) {
    if (code == 206) {
      int64_t first = 0, last = 0, total = 0;
      const int64_t size = slice_manager_ ? slice_manager_->file_size() : -1;
      accepted = ParseContentRange(content_range_, &first, &last, &total) && first == requested_from_ &&
                 (end_ < 0 || last <= end_) && (size < 0 || total < 0 || total == size) && (size < 0 || last < size);
    } else {
      // A whole-file answer holds this slice's bytes only when it asked from byte 0.
      accepted = !ranged || requested_from_ == 0;
    }
  }
  verdict_ = accepted ? 1 : -1;
  if (!accepted && slice_manager_ && slice_manager_->options()) {
    WriteVerbose(slice_manager_->options()->verbose_functor,
                 "Slice<%d> answer refused, HTTP %ld, Content-Range: %s, asked from %lld.\n", index_, code,
                 content_range_.empty() ? "none" : content_range_.c_str(), (long long)requested_from_);
  }
  return accepted;
}

size_t Slice::SliceHeaderCallback(char* data, size_t size, size_t count, void* user) {
  auto* slice = static_cast<Slice*>(user);
  const size_t length = size * count;
  if (slice == nullptr) return length;
  std::string line(data, length);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (StartsWithNoCase(line, "HTTP/")) {
    // A new answer (after a redirect, or a 100 Continue): forget the last one.
    slice->content_range_.clear();
    slice->verdict_ = 0;
  } else if (StartsWithNoCase(line, "content-range:")) {
    slice->content_range_ = line.substr(std::strlen("content-range:"));
  }
  return length;
}

size_t Slice::__SliceWriteBodyCallback(char* data, size_t size, size_t count, void* user) {
  auto* slice = static_cast<Slice*>(user);
  if (slice == nullptr) return 0;
  const size_t length = size * count;
  if (!slice->answerAccepted()) return 0;

  // Never write past the slice's end, whatever the server sends.
  int64_t take = static_cast<int64_t>(length);
  const int64_t room = slice->room();
  if (room >= 0 && take > room) take = room;
  if (!slice->onNewData(data, take)) return 0;
  if (take < static_cast<int64_t>(length)) {
    slice->reached_end_ = true;
    return 0;
  }
  return length;
}

}  // namespace courier
