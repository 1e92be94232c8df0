// The outcome of one request of the request layer. Callers decide failure
// with one test: http_code > 399, or error_code != 0, or (for answers they
// parse) an empty body.
#pragma once

#include <cstdint>
#include <string>

namespace net {

struct HttpResult {
  std::string body;      // the answer's body; empty for downloads and the upload
  std::string header;    // the answer's header block as text
  int32_t http_code = 0;  // 0 when libcurl received no answer; 404 when WinHTTP received no status
  int32_t error_code = 0;  // libcurl result code, Windows error, or errno of CurlDownload's file
};

inline bool RequestFailed(const HttpResult& result) {
  return result.http_code > 399 || result.error_code != 0;
}

}  // namespace net
