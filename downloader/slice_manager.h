// What one run knows about its file: the slice plan, the temporary file that
// receives the data and the resume index that lets a later run continue.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "downloader/cache_pool.h"
#include "downloader/disk_writer.h"
#include "downloader/options.h"
#include "downloader/result.h"
#include "downloader/slice.h"
#include "downloader/target_file.h"

namespace courier {

// The first 29 bytes of every resume index.
inline constexpr char kIndexMagic[] = "COURIER:SEGMENT-DOWNLOAD(2.0)";
inline constexpr size_t kIndexMagicLength = sizeof(kIndexMagic) - 1;

class SliceManager : public std::enable_shared_from_this<SliceManager> {
 public:
  SliceManager(Options* options, std::string redirect_url);
  ~SliceManager();
  SliceManager(const SliceManager&) = delete;
  SliceManager& operator=(const SliceManager&) = delete;

  // 0 when an earlier run's index matches this probe and was taken over;
  // any other code means "plan afresh".
  Result loadIndexFile(int64_t file_size, const std::string& content_md5);
  // Creates the temporary file at its full size and cuts the file into slices.
  Result makeSlices(bool accept_ranges);
  Result checkHash(bool calculate);
  // Stops every slice, saves the index, checks sizes (and the hash when
  // `check_hash`), moves the temporary file onto the target, deletes the index.
  Result finish(bool check_hash, CURLM* multi);
  bool flushAllSlices();
  bool flushIndexFile();
  int64_t downloadedBytes() const;
  void dumpSlices();

  // Drops the slices (they hold the manager) and the temporary file.
  void release();

  int64_t file_size() const { return file_size_; }
  void setFileSize(int64_t size) { file_size_ = size; }
  const std::string& content_md5() const { return content_md5_; }
  void setContentMd5(std::string md5) { content_md5_ = std::move(md5); }
  const std::string& redirect_url() const { return redirect_url_; }
  const std::string& indexFilePath() const { return index_file_path_; }
  std::vector<std::shared_ptr<Slice>>& slices() { return slices_; }
  const std::vector<std::shared_ptr<Slice>>& slices() const { return slices_; }
  const std::shared_ptr<TargetFile>& targetFile() const { return target_file_; }
  Options* options() const { return options_; }
  CachePool& cachePool() { return cache_pool_; }
  // The run's disk writer, started at its first use (on the task's thread).
  DiskWriter& diskWriter();

  // The index file beside a target: the target's own name with ".dlindex".
  static std::string IndexPathFor(const std::string& target_file_path);

 private:
  // Under the temporary file's lock, over the open stream when there is one.
  Result computeHash(int32_t hash_type, std::string* hex);

  std::string redirect_url_;
  int64_t file_size_ = -1;
  std::string content_md5_;
  std::string index_file_path_;
  CachePool cache_pool_;  // before the slices, which give their blocks back to it
  std::unique_ptr<DiskWriter> disk_writer_;  // before the slices, which wait for their writes
  std::vector<std::shared_ptr<Slice>> slices_;
  std::shared_ptr<TargetFile> target_file_;
  Options* options_;
};

}  // namespace courier
