// One HTTP or HTTPS exchange over WinHTTP: a GET or POST with extra headers,
// up to three attempts with proxy discovery, the header block parsed for the
// charset, length and cookies, and the body kept in memory (optionally
// decoded to text) or streamed into a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/winhttp_handle.h"

namespace net {

// Milliseconds; 0 means no limit.
struct WinHttpTimeouts {
  int resolve = 30000;
  int connect = 60000;
  int send = 30000;
  int receive = 30000;
};

class WinHttpClient {
 public:
  using ProgressCallback = std::function<void(double percent)>;

  // The client's own codes in LastError().
  static constexpr uint32_t kErrorEmptyUrl = 3;
  static constexpr uint32_t kErrorIncompletePage = 13;
  static constexpr uint32_t kErrorBadVerb = 87;

  explicit WinHttpClient(std::wstring url, ProgressCallback progress = {});
  ~WinHttpClient();
  WinHttpClient(const WinHttpClient&) = delete;
  WinHttpClient& operator=(const WinHttpClient&) = delete;

  // Performs the whole exchange; `raw` keeps the body as bytes only, else it
  // is also decoded into ResponseText(). Verbs: "GET"/"get", "POST"/"post".
  // True when a response was received; callers read the fields.
  bool SendRequest(bool raw, const std::wstring& verb);

  // A GET whose body is streamed into a file beside `target_path` and moved
  // onto it only when the answer is 2xx and arrived whole; any other answer
  // leaves `target_path` as it was. True when the file was written.
  bool DownloadToFile(const std::wstring& target_path);

  // The status code as text; "404" when no status was received.
  std::wstring GetStatusCodeText() const;
  // Calls the progress callback with received * 100 / content length when
  // both are known.
  void NotifyProgress(uint64_t received);

  void SetPostData(std::string data) { post_data_ = std::move(data); }
  void SetExtraHeaders(std::wstring headers) { extra_headers_ = std::move(headers); }
  void SetRequestCookies(std::wstring cookies) { request_cookies_ = std::move(cookies); }
  void SetTimeouts(const WinHttpTimeouts& timeouts) { timeouts_ = timeouts; }
  void SetStrictCertificates(bool strict) { strict_certificates_ = strict; }
  void SetKeepCharset(bool keep) { keep_charset_ = keep; }
  void SetProxy(std::wstring proxy, std::wstring user = {}, std::wstring password = {});

  const std::wstring& Url() const noexcept { return url_; }
  const std::wstring& Host() const noexcept { return host_; }
  const std::wstring& ResponseHeaders() const noexcept { return response_headers_; }
  const std::wstring& ResponseText() const noexcept { return response_text_; }
  const std::string& ResponseBytes() const noexcept { return response_bytes_; }
  const std::wstring& Charset() const noexcept { return charset_; }
  uint64_t ContentLength() const noexcept { return content_length_; }
  const std::wstring& ResponseCookies() const noexcept { return response_cookies_; }
  const std::wstring& RedirectLocation() const noexcept { return redirect_location_; }
  uint32_t LastError() const noexcept { return last_error_; }
  const WinHttpTimeouts& Timeouts() const noexcept { return timeouts_; }

 private:
  class BodySink;
  class MemorySink;
  class FileSink;

  bool Exchange(bool raw, const std::wstring& verb, BodySink& sink);
  bool SendOnce(HINTERNET request);
  bool SendWithDiscoveredProxy(HINTERNET request);
  void ReadHeaders(HINTERNET request);
  void ParseHeaders();
  bool ReadBody(HINTERNET request, BodySink& sink);
  void DecodeText();
  void Record(uint32_t error) { last_error_ = error; }

  ScopedWinHttpHandle session_;
  bool strict_certificates_ = false;
  std::wstring url_;
  std::wstring host_;
  std::wstring response_headers_;
  std::wstring response_text_;
  std::wstring charset_ = L"utf-8";
  std::string response_bytes_;
  ProgressCallback progress_;
  uint64_t content_length_ = 0;
  std::wstring response_cookies_;
  std::wstring request_cookies_;
  std::string post_data_;
  std::wstring extra_headers_;
  std::wstring proxy_;
  uint32_t last_error_ = 0;
  std::wstring status_text_;
  std::wstring user_agent_ = L"zephris_install";
  bool keep_charset_ = false;
  std::wstring proxy_user_;
  std::wstring proxy_password_;
  std::wstring redirect_location_;
  WinHttpTimeouts timeouts_;
};

// The first captured part of every match of `pattern` in `text`, in order of
// first appearance, without repeats (compared ignoring case). A pattern that
// does not compile gives nothing.
std::vector<std::wstring> RegexExtractAll(const std::wstring& pattern, const std::wstring& text);

// Removes every leading and trailing character of `text` found in `set`.
std::wstring TrimChars(const std::wstring& text, const std::wstring& set);

}  // namespace net
