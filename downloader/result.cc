#include "downloader/result.h"

#include <array>

namespace courier {

const char* ResultName(Result result) {
  static constexpr std::array<const char*, 34> kNames = {
      "SUCCESSED",
      "UNKNOWN_ERROR",
      "INVALID_URL",
      "INVALID_INDEX_FORMAT",
      "INVALID_TARGET_FILE_PATH",
      "INVALID_THREAD_NUM",
      "INVALID_HASH_POLICY",
      "INVALID_SLICE_POLICY",
      "INVALID_NETWORK_CONN_TIMEOUT",
      "INVALID_NETWORK_READ_TIMEOUT",
      "INVALID_FETCH_FILE_INFO_RETRY_TIMES",
      "ALREADY_DOWNLOADING",
      "CANCELED",
      "RENAME_TMP_FILE_FAILED",
      "OPEN_INDEX_FILE_FAILED",
      "TMP_FILE_EXPIRED",
      "INIT_CURL_FAILED",
      "INIT_CURL_MULTI_FAILED",
      "SET_CURL_OPTION_FAILED",
      "ADD_CURL_HANDLE_FAILED",
      "CREATE_TARGET_FILE_FAILED",
      "CREATE_TMP_FILE_FAILED",
      "OPEN_TMP_FILE_FAILED",
      "URL_DIFFERENT",
      "TMP_FILE_SIZE_ERROR",
      "TMP_FILE_CANNOT_RW",
      "FLUSH_TMP_FILE_FAILED",
      "UPDATE_INDEX_FILE_FAILED",
      "SLICE_DOWNLOAD_FAILED",
      "HASH_VERIFY_NOT_PASS",
      "CALCULATE_HASH_FAILED",
      "FETCH_FILE_INFO_FAILED",
      "REDIRECT_URL_DIFFERENT",
      "NOT_CLEARLY_RESULT",
  };
  const auto i = static_cast<int32_t>(result);
  if (i < 0 || i >= static_cast<int32_t>(kNames.size())) return "UNKNOWN";
  return kNames[static_cast<size_t>(i)];
}

}  // namespace courier
