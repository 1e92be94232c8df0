// The downloader's option record and the policies it names. Every field has
// the default the installer runs with; it changes only the thread count and,
// through Courier::start, the URL, the target and the first three functors.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "downloader/result.h"
#include "downloader/stop_event.h"

namespace courier {

enum SlicePolicy : int32_t {
  Auto = 0,       // one slice up to 15 MiB, else slices of 10 MiB
  FixedSize = 1,  // slices of slice_policy_value bytes
  FixedCount = 2, // slice_policy_value slices, the last takes the remainder
};

enum HashVerifyPolicy : int32_t {
  Always = 0,
  OnlyWhenSizeUnknown = 1,
};

enum HashType : int32_t {
  MD5 = 0,
  CRC32 = 1,
  SHA1 = 2,
  SHA256 = 3,
};

enum UncompletedSliceSavePolicy : int32_t {
  DiscardUnfinished = 0,  // a stopped or failed slice loses its progress
  DiscardFailed = 1,      // only a failed slice loses it
};

using ResultFunctor = std::function<void(Result)>;
using ProgressFunctor = std::function<void(int64_t total, int64_t downloaded)>;
using SpeedFunctor = std::function<void(int64_t bytes_per_second)>;
using VerboseFunctor = std::function<void(const std::string&)>;

struct Options {
  bool strict_redirect_url = true;
  bool use_content_md5 = false;
  bool fetch_file_info_head_method = true;
  int32_t thread_num = 1;
  int32_t disk_cache_size = 20971520;
  int32_t max_speed = -1;
  int32_t min_speed = -1;
  int32_t min_speed_duration = 0;
  int32_t tmp_file_expired_time = -1;
  int32_t fetch_file_info_retry_times = 1;
  int32_t network_conn_timeout = 3000;
  int32_t slice_max_failed_times = 3;
  int32_t slice_policy = SlicePolicy::Auto;
  int64_t slice_policy_value = 0;
  int32_t hash_verify_policy = HashVerifyPolicy::Always;
  int32_t hash_type = HashType::MD5;
  std::string hash_value;
  ResultFunctor result_functor;
  ProgressFunctor progress_functor;
  SpeedFunctor speed_functor;
  VerboseFunctor verbose_functor;
  StopEvent internal_stop_event;
  StopEvent* user_stop_event = nullptr;
  std::string url;
  std::string target_file_path;
  std::map<std::string, std::string> http_headers;
  std::string proxy;
  int32_t uncompleted_slice_save_policy = UncompletedSliceSavePolicy::DiscardUnfinished;

  // True when the run's own stop event or the caller's one is set.
  bool stopRequested() const {
    return internal_stop_event.isSet() || (user_stop_event != nullptr && user_stop_event->isSet());
  }
};

}  // namespace courier
