#include "downloader/running_md5.h"

#include <algorithm>
#include <memory>
#include <new>

#include "downloader/file_util.h"

namespace courier {
namespace {

// Large reads: each is a system call (under Wine a round trip more), and the
// bytes were just written, so they come from the system's cache.
constexpr DWORD kReadBlock = 1 << 20;

std::optional<FileIdentity> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
  FileIdentity identity;
  identity.file_index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  identity.last_write =
      (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
  return identity;
}

HANDLE OpenForReading(const std::wstring& path) {
  // Shared with the run's writer, and with the rename that ends the run.
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

std::optional<FileIdentity> IdentityOfFile(const std::wstring& path) {
  base::ScopedKernelHandle file(OpenForReading(path));
  if (!file) return std::nullopt;
  return IdentityOf(file.Get());
}

RunningMd5::RunningMd5(const std::string& path, int64_t file_size) : file_size_(file_size) {
  Md5Init(&md5_);
  const std::wstring wide = Utf8ToWide(path);
  if (!wide.empty()) file_.Reset(OpenForReading(wide));
  failed_ = !file_ || file_size_ < 0;
  worker_ = std::thread([this] { run(); });
}

RunningMd5::~RunningMd5() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void RunningMd5::advanceTo(int64_t end) {
  {
    std::lock_guard lock(mutex_);
    end = std::min(end, file_size_);
    if (end <= final_) return;
    final_ = end;
  }
  changed_.notify_all();
}

void RunningMd5::run() {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadBlock]);
  std::unique_lock lock(mutex_);
  if (!buffer) failed_ = true;
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || failed_ || hashed_ < final_; });
    if (quit_ || failed_) break;
    const int64_t from = hashed_;
    const DWORD length = static_cast<DWORD>(std::min<int64_t>(final_ - from, kReadBlock));
    lock.unlock();
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(from) >> 32);
    DWORD read = 0;
    const bool ok = ::ReadFile(file_.Get(), buffer.get(), length, &read, &at) && read == length;
    if (ok) Md5Update(&md5_, buffer.get(), read);
    lock.lock();
    if (!ok) {
      failed_ = true;
    } else {
      hashed_ += read;
    }
    changed_.notify_all();
  }
  changed_.notify_all();
}

std::optional<FileDigest> RunningMd5::finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failed_ || quit_ || hashed_ == file_size_; });
  if (failed_ || hashed_ != file_size_) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOf(file_.Get());
  // Nothing may have been written behind the hash: the file is its size.
  if (!identity || identity->size != file_size_) return std::nullopt;
  const auto digest = Md5Final(&md5_);
  return FileDigest{ToLowerHex(digest.data(), digest.size()), *identity};
}

}  // namespace courier
