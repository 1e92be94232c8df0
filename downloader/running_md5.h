// The MD5 of a run's temporary file, computed while the run writes it. The
// worker reads the file from its first byte up to the end of the slices that
// are complete and written out (slices complete roughly in file order), so the
// check after the download needs no second pass over the whole file. What it
// hashes is read back from the file, never taken from the network buffers:
// the digest is the file's.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/scoped_handle.h"
#include "downloader/digests.h"

namespace courier {

// Which file a digest belongs to, and in which state: a file written again
// after it was hashed has another write time (or size, or is another file).
// No volume serial: Wine reports none for a handle whose file was renamed
// after it was opened, which the run's own file is.
struct FileIdentity {
  uint64_t file_index = 0;
  int64_t size = -1;
  uint64_t last_write = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path` (UTF-16), read through a handle that
// lets every other user go on; nullopt when it does not open.
std::optional<FileIdentity> IdentityOfFile(const std::wstring& path);

struct FileDigest {
  std::string md5;  // lower-case hex
  FileIdentity identity;
};

class RunningMd5 {
 public:
  // Opens its own reading handle on `path` (UTF-8); a file that does not
  // open leaves the object failed.
  RunningMd5(const std::string& path, int64_t file_size);
  ~RunningMd5();  // leaves the rest unhashed
  RunningMd5(const RunningMd5&) = delete;
  RunningMd5& operator=(const RunningMd5&) = delete;

  // Bytes [0, end) are in the file and will not be written again.
  void advanceTo(int64_t end);
  // Waits until every byte of the file is hashed (advanceTo(file size) must
  // have come); nullopt when a read failed.
  std::optional<FileDigest> finish();

 private:
  void run();

  base::ScopedKernelHandle file_;
  const int64_t file_size_;
  Md5Context md5_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t final_ = 0;   // bytes that may be hashed
  int64_t hashed_ = 0;  // bytes hashed
  bool failed_ = false;
  bool quit_ = false;
  std::thread worker_;  // last: starts once the members above exist
};

}  // namespace courier
