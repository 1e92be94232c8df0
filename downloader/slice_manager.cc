#include "downloader/slice_manager.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "downloader/file_hash.h"
#include "downloader/file_util.h"
#include "downloader/verbose.h"

namespace courier {
namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

int64_t NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

struct IndexSlice {
  int32_t index;
  int64_t begin;
  int64_t end;
  int64_t capacity;
};

int32_t ReadSliceNumber(const nlohmann::json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_float()) return static_cast<int32_t>(value.get<double>());
  return value.get<int32_t>();  // integers; anything else throws
}

// An index is input from disk: its slices must lie inside the file, must not
// overlap and must cover it from the first byte to the last, or following
// them would write outside the file, over other slices, or never finish.
bool SlicesFitFile(std::vector<IndexSlice> slices, int64_t file_size) {
  if (slices.empty() || file_size <= 0) return false;
  std::sort(slices.begin(), slices.end(), [](const IndexSlice& a, const IndexSlice& b) { return a.begin < b.begin; });
  int64_t next = 0;
  for (const IndexSlice& s : slices) {
    if (s.begin != next) return false;
    const int64_t last = s.end == -1 ? file_size - 1 : s.end;
    if (s.end < -1 || last < s.begin || last >= file_size) return false;
    if (s.capacity < 0 || s.capacity > last - s.begin + 1) return false;
    next = last + 1;
  }
  return next == file_size;
}

}  // namespace

SliceManager::SliceManager(Options* options, std::string redirect_url)
    : redirect_url_(std::move(redirect_url)),
      cache_pool_(options != nullptr ? options->disk_cache_size : 0),
      options_(options) {
  if (options_ != nullptr) index_file_path_ = IndexPathFor(options_->target_file_path);
}

SliceManager::~SliceManager() = default;

std::string SliceManager::IndexPathFor(const std::string& target_file_path) {
  const size_t slash = target_file_path.rfind('\\');
  if (slash == std::string::npos) return target_file_path + ".dlindex";
  std::string folder = target_file_path.substr(0, slash);
  const std::string name = target_file_path.substr(slash + 1);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder + name + ".dlindex";
}

void SliceManager::release() {
  slices_.clear();
  target_file_.reset();
}

Result SliceManager::loadIndexFile(int64_t file_size, const std::string& content_md5) {
  const VerboseFunctor& verbose = options_->verbose_functor;
  std::string bytes;
  {
    UniqueFile index = OpenFileUtf8(index_file_path_, "rb");
    if (!index) return OPEN_INDEX_FILE_FAILED;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), index.get())) > 0) bytes.append(buffer, n);
  }
  if (bytes.size() < kIndexMagicLength || bytes.compare(0, kIndexMagicLength, kIndexMagic) != 0) {
    return INVALID_INDEX_FORMAT;
  }
  std::string text = bytes.substr(kIndexMagicLength);
  if (const size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);

  std::string tmp_path;
  std::vector<IndexSlice> recorded;
  try {
    const nlohmann::json root = nlohmann::json::parse(text);
    if (!root.is_object()) throw std::runtime_error("index is not an object");
    const int64_t update_time = root.at("update_time").get<int64_t>();
    if (options_->tmp_file_expired_time >= 0 && NowSeconds() - update_time > options_->tmp_file_expired_time) {
      return TMP_FILE_EXPIRED;
    }
    const int64_t recorded_size = root.at("file_size").get<int64_t>();
    if (recorded_size != file_size) {
      WriteVerbose(verbose, "File size has changed, tmp file expired: %lld -> %lld.\n", (long long)recorded_size,
                   (long long)file_size);
      return TMP_FILE_EXPIRED;
    }
    const std::string recorded_md5 = root.at("content_md5").get<std::string>();
    if (options_->use_content_md5 && !EqualsNoCase(recorded_md5, content_md5)) {
      WriteVerbose(verbose, "Content md5 has changed, tmp file expired: %s -> %s.\n", recorded_md5.c_str(),
                   content_md5.c_str());
      return TMP_FILE_EXPIRED;
    }
    tmp_path = root.at("target_tmp_file_path").get<std::string>();
    if (tmp_path.empty() || _waccess(Utf8ToWide(tmp_path).c_str(), 6) != 0) return TMP_FILE_CANNOT_RW;
    // Only the target's own temporary file: an index must never point the
    // download at some other file on the disk.
    if (tmp_path != options_->target_file_path + ".courier") {
      WriteVerbose(verbose, "Index names another tmp file: %s.\n", tmp_path.c_str());
      return INVALID_INDEX_FORMAT;
    }
    if (root.at("url").get<std::string>() != options_->url) return URL_DIFFERENT;
    if (root.at("redirect_url").get<std::string>() != redirect_url_ && options_->strict_redirect_url) {
      return REDIRECT_URL_DIFFERENT;
    }
    const auto slices = root.find("slices");
    if (slices != root.end() && !slices->is_null()) {
      for (const nlohmann::json& s : slices->get_ref<const nlohmann::json::array_t&>()) {
        recorded.push_back({ReadSliceNumber(s.at("index")), s.at("begin").get<int64_t>(), s.at("end").get<int64_t>(),
                            s.at("capacity").get<int64_t>()});
      }
    }
  } catch (const std::exception& e) {
    WriteVerbose(verbose, "Load exist slice exception: %s.\n", e.what());
    slices_.clear();
    return INVALID_INDEX_FORMAT;
  }

  auto file = std::make_shared<TargetFile>(tmp_path);
  if (!file->open()) return OPEN_TMP_FILE_FAILED;
  if (file->size() != file_size) return TMP_FILE_SIZE_ERROR;
  if (!SlicesFitFile(recorded, file_size)) {
    WriteVerbose(verbose, "Index slices do not fit the file of %lld bytes.\n", (long long)file_size);
    return INVALID_INDEX_FORMAT;
  }

  slices_.clear();
  for (const IndexSlice& s : recorded) {
    slices_.push_back(std::make_shared<Slice>(s.index, s.begin, s.end, s.capacity, shared_from_this()));
  }
  target_file_ = std::move(file);
  content_md5_ = content_md5;
  file_size_ = file_size;
  WriteVerbose(verbose, "Load exist slice success.\n");
  dumpSlices();
  return SUCCESSED;
}

DiskWriter& SliceManager::diskWriter() {
  if (!disk_writer_) disk_writer_ = std::make_unique<DiskWriter>();
  return *disk_writer_;
}

Result SliceManager::makeSlices(bool accept_ranges) {
  slices_.clear();
  target_file_ = std::make_shared<TargetFile>(options_->target_file_path + ".courier");
  {
    std::lock_guard lock(target_file_->lock());
    if (!CreateFixedSizeFile(target_file_->path(), file_size_ >= 0 ? file_size_ : 0) || !target_file_->open()) {
      WriteVerbose(options_->verbose_functor, "Create target file failed, GLE: %d.\n", (int)::GetLastError());
      return CREATE_TARGET_FILE_FAILED;
    }
  }

  if (file_size_ >= 0 && accept_ranges) {
    int64_t slice_size = 0;
    const int64_t value = options_->slice_policy_value;
    switch (options_->slice_policy) {
      case SlicePolicy::Auto: slice_size = file_size_ <= 15728640 ? file_size_ : 10485760; break;
      case SlicePolicy::FixedSize: slice_size = value; break;
      case SlicePolicy::FixedCount: slice_size = value >= 1 ? file_size_ / value : 0; break;
      default: slice_size = 0; break;
    }
    if (slice_size > 0) {
      int64_t begin = 0;
      for (int32_t number = 1; begin < file_size_; ++number) {
        int64_t end = std::min(begin + slice_size, file_size_) - 1;
        if (options_->slice_policy == SlicePolicy::FixedCount && number == value) end = file_size_ - 1;
        slices_.push_back(std::make_shared<Slice>(number, begin, end, 0, shared_from_this()));
        begin = end + 1;
      }
    }
  } else {
    slices_.push_back(std::make_shared<Slice>(0, 0, -1, 0, shared_from_this()));
  }
  dumpSlices();
  return SUCCESSED;
}

Result SliceManager::computeHash(int32_t hash_type, std::string* hex) {
  std::lock_guard lock(target_file_->lock());
  if (target_file_->stream() != nullptr) return FileHash(hash_type, target_file_->stream(), options_, hex);
  return FileHash(hash_type, target_file_->path(), options_, hex);
}

Result SliceManager::checkHash(bool calculate) {
  const VerboseFunctor& verbose = options_->verbose_functor;
  Result result = SUCCESSED;
  if (file_size_ >= 0) {
    const int64_t held = downloadedBytes();
    if (held != file_size_) {
      WriteVerbose(verbose, "Slices total size(%lld) not qualified(%lld).\n", (long long)held, (long long)file_size_);
      return SLICE_DOWNLOAD_FAILED;
    }
  } else {
    // Without a size, completeness cannot be told, but a slice that failed
    // is known to be missing bytes: that is a failed download, not an unclear one.
    for (const auto& slice : slices_) {
      if (slice->status() != Completed && slice->status() != FinishedWithoutEnd) {
        WriteVerbose(verbose, "Slice<%d> not finished, status: %d.\n", slice->index(), slice->status());
        return SLICE_DOWNLOAD_FAILED;
      }
    }
    result = NOT_CLEARLY_RESULT;
  }

  const bool policy_applies = options_->hash_verify_policy == HashVerifyPolicy::Always ||
                              (options_->hash_verify_policy == HashVerifyPolicy::OnlyWhenSizeUnknown && file_size_ < 0);
  const bool has_expected = !options_->hash_value.empty() || (!content_md5_.empty() && options_->use_content_md5);
  if (!calculate || !policy_applies || !has_expected || !target_file_) return result;

  std::string hex;
  if (!options_->hash_value.empty()) {
    WriteVerbose(verbose, "Start calculate temp file hash.\n");
    if (computeHash(options_->hash_type, &hex) != SUCCESSED) {
      WriteVerbose(verbose, "Calculate temp file hash failed.\n");
      return CALCULATE_HASH_FAILED;
    }
    WriteVerbose(verbose, "Temp file hash: %s.\n", hex.c_str());
    const bool passed = EqualsNoCase(hex, options_->hash_value);
    WriteVerbose(verbose, passed ? "Hash check passed.\n" : "Hash check not pass.\n");
    return passed ? SUCCESSED : HASH_VERIFY_NOT_PASS;
  }
  WriteVerbose(verbose, "Start calculate temp file md5.\n");
  if (computeHash(HashType::MD5, &hex) != SUCCESSED) {
    WriteVerbose(verbose, "Calculate temp file md5 failed.\n");
    return CALCULATE_HASH_FAILED;
  }
  WriteVerbose(verbose, "Temp file md5: %s.\n", hex.c_str());
  const bool passed = EqualsNoCase(hex, content_md5_);
  WriteVerbose(verbose, passed ? "Hash check passed.\n" : "Hash check not pass.\n");
  return passed ? SUCCESSED : HASH_VERIFY_NOT_PASS;
}

Result SliceManager::finish(bool check_hash, CURLM* multi) {
  const VerboseFunctor& verbose = options_->verbose_functor;
  WriteVerbose(verbose, "Start flushing cache to disk.\n");
  Result stop_result = SUCCESSED;
  for (const auto& slice : slices_) {
    const Result r = slice->stop(multi);
    if (r != SUCCESSED) stop_result = r;
  }
  // Every byte is written now; the close is the last place an I/O error can
  // show. After a failed one the slices' counts are not backed by the file:
  // no index may vouch for them (a later run would take the file as it is),
  // and nothing is moved onto the target.
  if (target_file_ && !target_file_->close()) {
    WriteVerbose(verbose, "Close tmp file failed: %s.\n", target_file_->path().c_str());
    if (!index_file_path_.empty()) ::DeleteFileW(Utf8ToWide(index_file_path_).c_str());
    return FLUSH_TMP_FILE_FAILED;
  }
  if (!flushIndexFile()) WriteVerbose(verbose, "Flush index file failed.\n");
  if (stop_result != SUCCESSED) return stop_result;
  if (check_hash) {
    const Result r = checkHash(true);
    if (r != SUCCESSED) return r;
  }
  if (!target_file_ || !target_file_->renameTo(options_->target_file_path)) {
    const DWORD error = ::GetLastError();
    WriteVerbose(verbose, "Rename file failed, GLE: %u, %s => %s.\n", (unsigned)error,
                 target_file_ ? target_file_->path().c_str() : "", options_->target_file_path.c_str());
    return RENAME_TMP_FILE_FAILED;
  }
  if (index_file_path_.empty() || !::DeleteFileW(Utf8ToWide(index_file_path_).c_str())) {
    WriteVerbose(verbose, "Remove index file failed.\n");
  }
  WriteVerbose(verbose, "Flush cache to disk successful.\n");
  return SUCCESSED;
}

bool SliceManager::flushAllSlices() {
  bool whole = true;
  for (const auto& slice : slices_) {
    if (slice->hasCache() && !slice->flushToDisk()) whole = false;
  }
  return whole;
}

bool SliceManager::flushIndexFile() {
  if (index_file_path_.empty()) return false;
  std::string text;
  try {
    nlohmann::json root = nlohmann::json::object();
    root["content_md5"] = content_md5_;
    root["file_size"] = file_size_;
    root["redirect_url"] = redirect_url_;
    nlohmann::json slices = nlohmann::json::array();
    for (const auto& slice : slices_) {
      slices.push_back({{"begin", slice->begin()},
                        {"capacity", slice->capacity()},
                        {"end", slice->end()},
                        {"index", slice->index()}});
    }
    root["slices"] = std::move(slices);
    root["target_tmp_file_path"] = target_file_ ? target_file_->path() : std::string();
    root["update_time"] = NowSeconds();
    root["url"] = options_->url;
    // A header value that is not UTF-8 must not cost the index: such bytes
    // are written as U+FFFD.
    text = root.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  } catch (const std::exception& e) {
    WriteVerbose(options_->verbose_functor, "Build index exception: %s.\n", e.what());
    return false;
  }
  UniqueFile index = OpenFileUtf8(index_file_path_, "wb");
  if (!index) return false;
  bool ok = std::fwrite(kIndexMagic, 1, kIndexMagicLength, index.get()) == kIndexMagicLength;
  ok = ok && std::fwrite(text.data(), 1, text.size(), index.get()) == text.size();
  ok = std::fflush(index.get()) == 0 && ok;
  return ok;
}

int64_t SliceManager::downloadedBytes() const {
  int64_t sum = 0;
  for (const auto& slice : slices_) sum += slice->held();
  return sum;
}

void SliceManager::dumpSlices() {
  std::ostringstream out;
  for (const auto& slice : slices_) {
    out << '<' << slice->index() << "> [" << slice->begin() << '~' << slice->end();
    if (slice->end() < 0) {
      out << "] (*), Disk: ";
    } else {
      out << "] (" << slice->end() - slice->begin() + 1 << "), Disk: ";
    }
    out << slice->capacity() << ", Buffer: " << slice->cached() << "\r\n";
  }
  WriteVerbose(options_->verbose_functor, "%s", out.str().c_str());
}

}  // namespace courier
