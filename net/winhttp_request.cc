#include "base/text_conversion.h"
#include "net/web_request.h"

namespace net {
namespace {

int32_t StatusNumber(const WinHttpClient& client) {
  try {
    return static_cast<int32_t>(std::stol(client.GetStatusCodeText()));
  } catch (const std::exception&) {
    return 404;
  }
}

}  // namespace

HttpResult WinHttpDownload(const std::string& url, const std::wstring& target_path,
                           WinHttpClient::ProgressCallback progress, std::optional<WinHttpTimeouts> timeouts) {
  return WinHttpGet(base::Utf8ToWide(url), target_path, std::move(progress), timeouts);
}

HttpResult WinHttpGet(const std::wstring& url, const std::wstring& target_path,
                      WinHttpClient::ProgressCallback progress, std::optional<WinHttpTimeouts> timeouts) {
  HttpResult result;
  WinHttpClient client(url, std::move(progress));
  client.SetStrictCertificates(true);
  if (timeouts) client.SetTimeouts(*timeouts);
  // Streamed into a file beside the target and moved onto it only when the
  // answer is 2xx and complete: an error page never replaces the target.
  client.DownloadToFile(target_path);
  result.header = base::WideToUtf8(client.ResponseHeaders());
  result.http_code = StatusNumber(client);
  result.error_code = static_cast<int32_t>(client.LastError());
  return result;
}

HttpResult WinHttpPostSigned(const std::string& url, const std::string& body) {
  HttpResult result;
  WinHttpClient client(base::Utf8ToWide(url));
  client.SetStrictCertificates(true);
  client.SetPostData(body);
  std::wstring extra;
  for (const auto& [name, value] : SignRequestHeaders(body))
    extra += base::Utf8ToWide(name) + base::Utf8ToWide(value) + L"\r\n";
  client.SetExtraHeaders(std::move(extra));
  client.SendRequest(false, L"POST");
  result.http_code = StatusNumber(client);
  result.body = base::WideToUtf8(client.ResponseText());
  result.header = base::WideToUtf8(client.ResponseHeaders());
  result.error_code = static_cast<int32_t>(client.LastError());
  return result;
}

}  // namespace net
