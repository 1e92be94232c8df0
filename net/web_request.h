// The installer's request layer: signed JSON POSTs to the product's web API,
// downloads into files and the multipart log upload, over libcurl and over
// WinHTTP. Every function is synchronous, keeps nothing between calls, never
// throws, verifies the server's certificate (chain and host name) and gives
// its outcome in an HttpResult. Retries and fallbacks belong to the callers.
//
// Telemetry of each request ("cgi_monitor") is not sent from here yet.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <curl/curl.h>

#include "net/http_result.h"
#include "net/signing/request_signing.h"
#include "net/winhttp_client.h"

namespace net {

// Connect and total time-outs of the libcurl requests, in milliseconds. A
// request never waits without bound for a host that does not answer.
struct CurlTimeouts {
  long connect_ms = 10000;
  long total_ms = 60000;
};
// Downloads carry whole installers: a longer total, and a transfer that
// delivers nothing for 60 seconds is given up.
inline constexpr CurlTimeouts kCurlDownloadTimeouts{10000, 30 * 60 * 1000};

// The seven signed headers for `body`, with the current time, the nonce of
// the current second and the process's device identifier.
CgiSignedHeaders SignRequestHeaders(const std::string& body);

HttpResult CurlPostSigned(const std::string& url, const std::string& body, const CurlTimeouts& timeouts = {});
// `headers` is owned by the caller.
HttpResult CurlPost(const std::string& url, curl_slist* headers, const std::string& body,
                    const CurlTimeouts& timeouts = {});
HttpResult CurlDownload(const std::string& url, const std::wstring& target_path,
                        const CurlTimeouts& timeouts = kCurlDownloadTimeouts);
// Parts: "cache-control:" = "no-cache", "content-type:" = "multipart/form-data"
// and, when the file has bytes, "file" (file name "data") with all of them.
// The answer's body is kept in HttpResult::body.
HttpResult CurlUploadMultipart(const std::string& url, const std::wstring& file_path,
                               const CurlTimeouts& timeouts = {});

HttpResult WinHttpPostSigned(const std::string& url, const std::string& body);
HttpResult WinHttpDownload(const std::string& url, const std::wstring& target_path,
                           WinHttpClient::ProgressCallback progress = {},
                           std::optional<WinHttpTimeouts> timeouts = std::nullopt);
HttpResult WinHttpGet(const std::wstring& url, const std::wstring& target_path,
                      WinHttpClient::ProgressCallback progress = {},
                      std::optional<WinHttpTimeouts> timeouts = std::nullopt);

}  // namespace net
