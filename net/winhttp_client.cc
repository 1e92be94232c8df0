#include "net/winhttp_client.h"

#include <algorithm>
#include <cwctype>
#include <regex>
#include <utility>

namespace net {

// ---- where the body goes

class WinHttpClient::BodySink {
 public:
  virtual ~BodySink() = default;
  // Called at the start of every attempt that receives a response.
  virtual bool Reset() = 0;
  virtual bool Append(const char* data, size_t size) = 0;
};

class WinHttpClient::MemorySink final : public BodySink {
 public:
  explicit MemorySink(std::string& bytes) : bytes_(bytes) {}
  bool Reset() override {
    bytes_.clear();
    bytes_.reserve(10240);
    return true;
  }
  bool Append(const char* data, size_t size) override {
    bytes_.append(data, size);
    return true;
  }

 private:
  std::string& bytes_;
};

class WinHttpClient::FileSink final : public BodySink {
 public:
  explicit FileSink(std::wstring path) : path_(std::move(path)) {}
  ~FileSink() override { Discard(); }
  bool Reset() override {
    file_.Reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.IsValid();
  }
  bool Append(const char* data, size_t size) override {
    while (size > 0) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
      if (!::WriteFile(file_.Get(), data, chunk, &written, nullptr) || written == 0) return false;
      data += written;
      size -= written;
    }
    return true;
  }
  // Moves the finished file onto `target`.
  bool CommitTo(const std::wstring& target) {
    file_.Close();
    if (!::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return false;
    committed_ = true;
    return true;
  }
  void Discard() {
    if (committed_) return;
    file_.Close();
    ::DeleteFileW(path_.c_str());
    committed_ = true;
  }

 private:
  std::wstring path_;
  base::ScopedKernelHandle file_;
  bool committed_ = false;
};

// ---- helpers

std::vector<std::wstring> RegexExtractAll(const std::wstring& pattern, const std::wstring& text) {
  std::vector<std::wstring> result;
  if (pattern.empty() || text.empty()) return result;
  std::wregex re;
  try {
    re.assign(pattern, std::regex_constants::ECMAScript | std::regex_constants::icase);
  } catch (const std::regex_error&) {
    return result;
  }
  auto lower = [](std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return s;
  };
  for (std::wsregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
    if (it->size() < 2 || !(*it)[1].matched) continue;
    std::wstring capture = (*it)[1].str();
    const std::wstring key = lower(capture);
    const bool seen =
        std::any_of(result.begin(), result.end(), [&](const std::wstring& other) { return lower(other) == key; });
    if (!seen) result.push_back(std::move(capture));
  }
  return result;
}

std::wstring TrimChars(const std::wstring& text, const std::wstring& set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::wstring::npos) return {};
  const size_t last = text.find_last_not_of(set);
  return text.substr(first, last - first + 1);
}

namespace {

std::wstring QueryHeaderText(HINTERNET request, DWORD info) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  return text;
}

std::wstring Decode(const std::string& bytes, UINT code_page, DWORD flags) {
  const int size = ::MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

bool IsSuccessStatus(const std::wstring& status) {
  return status.size() == 3 && status[0] == L'2' && std::iswdigit(status[1]) && std::iswdigit(status[2]);
}

}  // namespace

// ---- WinHttpClient

WinHttpClient::WinHttpClient(std::wstring url, ProgressCallback progress)
    : url_(std::move(url)), progress_(std::move(progress)) {}

WinHttpClient::~WinHttpClient() = default;

void WinHttpClient::SetProxy(std::wstring proxy, std::wstring user, std::wstring password) {
  proxy_ = std::move(proxy);
  proxy_user_ = std::move(user);
  proxy_password_ = std::move(password);
}

std::wstring WinHttpClient::GetStatusCodeText() const { return status_text_.empty() ? L"404" : status_text_; }

void WinHttpClient::NotifyProgress(uint64_t received) {
  if (!progress_ || content_length_ == 0) return;
  progress_(static_cast<double>(received) * 100.0 / static_cast<double>(content_length_));
}

bool WinHttpClient::SendRequest(bool raw, const std::wstring& verb) {
  MemorySink sink(response_bytes_);
  return Exchange(raw, verb, sink);
}

bool WinHttpClient::DownloadToFile(const std::wstring& target_path) {
  FileSink sink(target_path + L".part");
  const bool received = Exchange(true, L"GET", sink);
  if (!received || last_error_ != 0 || !IsSuccessStatus(status_text_)) return false;
  if (!sink.CommitTo(target_path)) {
    Record(::GetLastError());
    return false;
  }
  return true;
}

bool WinHttpClient::Exchange(bool raw, const std::wstring& verb_text, BodySink& sink) {
  if (url_.empty()) {
    Record(kErrorEmptyUrl);
    return false;
  }
  std::wstring verb;
  if (verb_text == L"GET" || verb_text == L"get") {
    verb = L"GET";
  } else if (verb_text == L"POST" || verb_text == L"post") {
    verb = L"POST";
  } else {
    Record(kErrorBadVerb);
    return false;
  }

  if (!session_.IsValid()) {
    session_.Reset(::WinHttpOpen(user_agent_.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_.IsValid()) {
      Record(::GetLastError());
      return false;
    }
  }
  ::WinHttpSetTimeouts(session_.Get(), timeouts_.resolve, timeouts_.connect, timeouts_.send, timeouts_.receive);

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url_.c_str(), 0, 0, &parts)) return false;
  if (parts.dwHostNameLength == 0 || parts.dwHostNameLength > 259) return false;
  const DWORD path_length = parts.dwUrlPathLength + parts.dwExtraInfoLength;
  if (path_length > 1299) return false;
  host_.assign(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path = path_length == 0 ? std::wstring(L"/")
                                       : std::wstring(parts.dwUrlPathLength != 0 ? parts.lpszUrlPath
                                                                                 : parts.lpszExtraInfo,
                                                      path_length);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  ScopedWinHttpHandle connection(::WinHttpConnect(session_.Get(), host_.c_str(), parts.nPort, 0));
  if (!connection.IsValid()) return false;
  ScopedWinHttpHandle request(::WinHttpOpenRequest(connection.Get(), verb.c_str(), path.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                   secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request.IsValid()) return false;
  // The wait for the answer's headers is bounded by the receive time-out too
  // (Wine keeps it apart from the session's time-outs).
  DWORD response_timeout = static_cast<DWORD>(timeouts_.receive);
  ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout,
                     sizeof(response_timeout));
  if (secure && !strict_certificates_) {
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                  SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
  }

  // The request handle lives across the attempts, so its headers are added
  // once: adding them again would coalesce every value with a copy of itself.
  const DWORD add_flags = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON;
  bool headers_added = false;

  for (int attempt = 0; attempt < 3; ++attempt) {
    // An attempt starts clean: a failure of an earlier one must not make a
    // later, complete exchange look failed.
    last_error_ = 0;
    if (!headers_added) {
      headers_added = true;
      if (!extra_headers_.empty() &&
          !::WinHttpAddRequestHeaders(request.Get(), extra_headers_.c_str(), static_cast<DWORD>(-1), add_flags)) {
        Record(::GetLastError());
      }
      if (!request_cookies_.empty()) {
        const std::wstring cookie = L"Cookie: " + request_cookies_;
        if (!::WinHttpAddRequestHeaders(request.Get(), cookie.c_str(), static_cast<DWORD>(-1), add_flags))
          Record(::GetLastError());
      }
    }
    if (!proxy_.empty()) {
      WINHTTP_PROXY_INFO info{};
      info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
      info.lpszProxy = proxy_.data();
      ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_PROXY, &info, sizeof(info));
      if (!proxy_user_.empty()) {
        ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_PROXY_USERNAME, proxy_user_.data(),
                           static_cast<DWORD>(proxy_user_.size()));
        if (!proxy_password_.empty()) {
          ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_PROXY_PASSWORD, proxy_password_.data(),
                             static_cast<DWORD>(proxy_password_.size()));
        }
      }
    }

    if (!SendOnce(request.Get())) {
      Record(::GetLastError());
      if (!SendWithDiscoveredProxy(request.Get())) continue;
    }
    if (!post_data_.empty()) {
      DWORD written = 0;
      if (!::WinHttpWriteData(request.Get(), post_data_.data(), static_cast<DWORD>(post_data_.size()), &written))
        Record(::GetLastError());
    }
    if (!::WinHttpReceiveResponse(request.Get(), nullptr)) {
      Record(::GetLastError());
      continue;
    }

    response_text_.clear();
    ReadHeaders(request.Get());
    if (!sink.Reset()) {
      Record(::GetLastError());  // no place for the body: asking again will not make one
      return false;
    }
    ReadBody(request.Get(), sink);
    if (!raw) DecodeText();
    if (verb == L"GET" && !raw && response_text_.find(L"<html>") != std::wstring::npos &&
        response_text_.find(L"</html>") == std::wstring::npos) {
      Record(kErrorIncompletePage);
      continue;
    }
    return true;
  }
  return !status_text_.empty();
}

bool WinHttpClient::SendOnce(HINTERNET request) {
  return ::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                              static_cast<DWORD>(post_data_.size()), 0) != FALSE;
}

// After a failed send: the current user's Internet settings may name an
// automatic-configuration script (send again through the proxy it gives) or a
// proxy list (used from the next attempt on).
bool WinHttpClient::SendWithDiscoveredProxy(HINTERNET request) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
  if (!::WinHttpGetIEProxyConfigForCurrentUser(&settings)) {
    Record(::GetLastError());
    return false;
  }
  const ScopedGlobalMemory auto_config_url(settings.lpszAutoConfigUrl);
  const ScopedGlobalMemory proxy_list(settings.lpszProxy);
  const ScopedGlobalMemory bypass_list(settings.lpszProxyBypass);

  if (settings.lpszAutoConfigUrl != nullptr) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
    options.lpszAutoConfigUrl = settings.lpszAutoConfigUrl;
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session_.Get(), url_.c_str(), &options, &info)) {
      Record(::GetLastError());
      return false;
    }
    const ScopedGlobalMemory resolved_proxy(info.lpszProxy);
    const ScopedGlobalMemory resolved_bypass(info.lpszProxyBypass);
    ::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info));
    if (SendOnce(request)) return true;
    Record(::GetLastError());
    return false;
  }
  if (settings.lpszProxy != nullptr) {
    WINHTTP_PROXY_INFO info{};
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info.lpszProxy = settings.lpszProxy;
    info.lpszProxyBypass = settings.lpszProxyBypass;
    ::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info));
  }
  return false;
}

void WinHttpClient::ReadHeaders(HINTERNET request) {
  response_headers_ = QueryHeaderText(request, WINHTTP_QUERY_RAW_HEADERS_CRLF);
  content_length_ = 0;  // announced by this response or unknown
  status_text_ = QueryHeaderText(request, WINHTTP_QUERY_STATUS_CODE);
  ParseHeaders();
}

void WinHttpClient::ParseHeaders() {
  if (!keep_charset_) {
    const auto charset = RegexExtractAll(L"charset=([A-Za-z0-9\\-_]+)", response_headers_);
    if (!charset.empty()) charset_ = charset.front();
  }
  const auto length = RegexExtractAll(L"Content-Length: ([0-9]+)", response_headers_);
  if (!length.empty()) content_length_ = std::wcstoull(length.front().c_str(), nullptr, 10);
  const auto cookies = RegexExtractAll(L"Set-Cookie:[ ]*([^\\r\\n]+)", response_headers_);
  if (!cookies.empty()) {
    std::wstring joined;
    for (const std::wstring& cookie : cookies) {
      if (!joined.empty()) joined += L"; ";
      joined += cookie;
    }
    joined = TrimChars(joined, L" ");
    if (joined.empty() || joined.back() != L';') joined += L';';
    response_cookies_ = joined;
  }
  const auto location = RegexExtractAll(L"Location: ([^\\r\\n]+)", response_headers_);
  if (!location.empty()) redirect_location_ = TrimChars(location.front(), L" ");
}

bool WinHttpClient::ReadBody(HINTERNET request, BodySink& sink) {
  std::string buffer;
  uint64_t received = 0;
  for (;;) {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) {
      Record(::GetLastError());
      break;
    }
    NotifyProgress(received);
    if (available == 0) break;
    buffer.resize(available);
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer.data(), available, &read)) {
      Record(::GetLastError());
      break;
    }
    if (read == 0) break;
    if (!sink.Append(buffer.data(), read)) {
      Record(::GetLastError());
      break;
    }
    received += read;
  }
  NotifyProgress(received);
  // A body shorter than announced did not arrive whole.
  if (last_error_ == 0 && content_length_ != 0 && received < content_length_) {
    Record(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
  }
  return last_error_ == 0;
}

void WinHttpClient::DecodeText() {
  std::string bytes = response_bytes_;
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  const bool utf8 =
      charset_.size() >= 5 && ::CompareStringOrdinal(charset_.c_str(), 5, L"utf-8", 5, TRUE) == CSTR_EQUAL;
  std::wstring text = utf8 ? Decode(bytes, CP_UTF8, 0) : std::wstring();
  if (text.empty()) text = Decode(bytes, CP_ACP, MB_PRECOMPOSED);
  if (!text.empty()) response_text_ = std::move(text);
}

}  // namespace net
