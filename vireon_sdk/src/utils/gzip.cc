#include "vireon_sdk/src/utils/gzip.h"

#include <zlib.h>

#include <climits>
#include <memory>
#include <mutex>
#include <vector>

#include "vireon_sdk/src/utils/guarded.h"

namespace vireon::utils {
namespace {

constexpr size_t kWindow = 16384;
constexpr int kGzipWindowBits = 15 + 16;  // 32 KiB window, gzip wrapper

}  // namespace

// The deflate state is about 256 KiB. Made and freed per body, it made the
// allocator hand memory back to the system every time (a brk or decommit per
// event, milliseconds each); finished states wait in a small shared pool and
// are reset for the next body instead, which gives the same output.
//
// Not one state per thread: with the MinGW runtime a thread's thread_local
// storage can be freed before that thread's thread_local destructors run, so
// a socket thread ending at stop read a freed state and crashed.
class DeflateState {
 public:
  DeflateState() { ready_ = deflateInit2(&zs_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8,
                                         Z_DEFAULT_STRATEGY) == Z_OK; }
  ~DeflateState() {
    if (ready_) deflateEnd(&zs_);
  }
  DeflateState(const DeflateState&) = delete;
  DeflateState& operator=(const DeflateState&) = delete;

  // The stream, reset to its freshly initialised state; null when zlib
  // could not set it up.
  z_stream* Fresh() {
    if (!ready_) return nullptr;
    if (deflateReset(&zs_) != Z_OK) return nullptr;
    return &zs_;
  }

 private:
  z_stream zs_{};
  bool ready_ = false;
};

// Idle deflate states. As many are kept as bodies were ever compressed at
// once, up to kMaxIdle; more are freed when they come back.
class DeflatePool {
 public:
  DeflatePool() { idle_.reserve(kMaxIdle); }

  // Never destroyed: a thread may still compress while the process exits.
  static DeflatePool& Instance() {
    static DeflatePool* const pool = new DeflatePool();
    return *pool;
  }

  std::unique_ptr<DeflateState> Take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!idle_.empty()) {
        auto state = std::move(idle_.back());
        idle_.pop_back();
        return state;
      }
    }
    return std::make_unique<DeflateState>();
  }

  void Give(std::unique_ptr<DeflateState> state) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < kMaxIdle) idle_.push_back(std::move(state));  // reserved: does not throw
  }

 private:
  static constexpr size_t kMaxIdle = 8;
  std::mutex mutex_;
  std::vector<std::unique_ptr<DeflateState>> idle_;
};

int GzipCompress(const void* input, size_t length, std::string* output) {
  if (output == nullptr || (input == nullptr && length != 0) || length > UINT_MAX) return -1;
  return Guarded(-1, [&] {
    std::unique_ptr<DeflateState> state = DeflatePool::Instance().Take();
    z_stream* zs = state->Fresh();
    if (zs == nullptr) return -1;
    zs->next_in = static_cast<Bytef*>(const_cast<void*>(input));
    zs->avail_in = static_cast<uInt>(length);
    unsigned char window[kWindow];
    int rc = Z_OK;
    do {
      zs->next_out = window;
      zs->avail_out = kWindow;
      rc = deflate(zs, Z_FINISH);
      if (rc == Z_STREAM_ERROR) break;
      output->append(reinterpret_cast<const char*>(window), kWindow - zs->avail_out);
    } while (zs->avail_out == 0);
    zs->next_in = nullptr;  // the caller's bytes are not ours to keep pointing at
    DeflatePool::Instance().Give(std::move(state));
    return rc == Z_STREAM_END ? 1 : -1;
  });
}

int GzipDecompress(const void* input, size_t length, std::string* output, size_t max_output) {
  if (output == nullptr || (input == nullptr && length != 0) || length > UINT_MAX) return -1;
  return Guarded(-1, [&] {
    z_stream zs{};
    if (inflateInit2(&zs, kGzipWindowBits) != Z_OK) return -1;
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(input));
    zs.avail_in = static_cast<uInt>(length);
    unsigned char window[kWindow];
    size_t produced = 0;
    bool failed = false;
    int rc = Z_OK;
    do {
      zs.next_out = window;
      zs.avail_out = kWindow;
      rc = inflate(&zs, Z_NO_FLUSH);
      if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
        failed = true;
        break;
      }
      const size_t got = kWindow - zs.avail_out;
      produced += got;
      if (produced > max_output) {
        failed = true;
        break;
      }
      output->append(reinterpret_cast<const char*>(window), got);
    } while (zs.avail_out == 0 && rc != Z_STREAM_END);
    const bool ended = inflateEnd(&zs) == Z_OK;
    return (!failed && ended) ? 0 : -1;
  });
}

}  // namespace vireon::utils
