#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "base/product_log.h"
#include "net/root_certificates.h"
#include "net/web_request.h"

namespace net {

void EnsureCurlGlobal();

namespace {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using ScopedEasy = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using ScopedSlist = std::unique_ptr<curl_slist, SlistDeleter>;

struct MimeDeleter {
  void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};
using ScopedMime = std::unique_ptr<curl_mime, MimeDeleter>;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

size_t CurlWriteToString(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

size_t CurlWriteHeaderToString(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

// What every libcurl request shares: the URL, the header sink, the
// time-outs and the certificate check against the machine's trusted roots.
ScopedEasy NewEasy(const std::string& url, HttpResult& result, const CurlTimeouts& timeouts) {
  EnsureCurlGlobal();
  ScopedEasy easy(curl_easy_init());
  if (!easy) {
    result.error_code = CURLE_FAILED_INIT;
    return easy;
  }
  CURL* e = easy.get();
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, CurlWriteHeaderToString);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &result.header);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connect_ms);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeouts.total_ms);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  // A root without a reachable revocation list (a private CA) must not fail
  // the check; a certificate that is known to be revoked still does.
  curl_easy_setopt(e, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  const std::string& roots = RootCertificatesPem();
  if (!roots.empty()) {
    curl_blob blob{const_cast<char*>(roots.data()), roots.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
  }
  return easy;
}

// Runs the transfer and logs its failure once, naming it by `what`.
void Perform(CURL* easy, HttpResult& result, const std::string& what) {
  result.error_code = static_cast<int32_t>(curl_easy_perform(easy));
  long code = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
  result.http_code = static_cast<int32_t>(code);
  if (result.error_code != 0)
    PRODUCT_LOG("{} failed: {} ({})", what, result.error_code,
                curl_easy_strerror(static_cast<CURLcode>(result.error_code)));
}

}  // namespace

HttpResult CurlPostSigned(const std::string& url, const std::string& body, const CurlTimeouts& timeouts) {
  curl_slist* list = nullptr;
  for (const auto& [name, value] : SignRequestHeaders(body)) {
    curl_slist* grown = curl_slist_append(list, (name + value).c_str());
    if (!grown) {
      curl_slist_free_all(list);
      HttpResult result;
      result.error_code = CURLE_OUT_OF_MEMORY;
      return result;
    }
    list = grown;
  }
  ScopedSlist headers(list);
  return CurlPost(url, headers.get(), body, timeouts);
}

HttpResult CurlPost(const std::string& url, curl_slist* headers, const std::string& body,
                    const CurlTimeouts& timeouts) {
  HttpResult result;
  ScopedEasy easy = NewEasy(url, result, timeouts);
  if (!easy) return result;
  CURL* e = easy.get();
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, CurlWriteToString);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(e, CURLOPT_POST, 1L);
  curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  Perform(e, result, "POST " + url);
  return result;
}

HttpResult CurlDownload(const std::string& url, const std::wstring& target_path, const CurlTimeouts& timeouts) {
  HttpResult result;
  ScopedFile file(_wfopen(target_path.c_str(), L"wb"));
  if (!file) {
    result.error_code = errno;
    PRODUCT_LOG("cannot create the download target, errno {}", result.error_code);
    return result;
  }
  ScopedEasy easy = NewEasy(url, result, timeouts);
  if (!easy) return result;
  CURL* e = easy.get();
  // libcurl's own write callback writes into the FILE* given as data.
  curl_easy_setopt(e, CURLOPT_WRITEDATA, file.get());
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 60L);
  Perform(e, result, "download of " + url);
  file.reset();
  return result;
}

HttpResult CurlUploadMultipart(const std::string& url, const std::wstring& file_path, const CurlTimeouts& timeouts) {
  HttpResult result;
  std::string bytes;
  if (std::ifstream in(std::filesystem::path(file_path), std::ios::binary); in)
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

  ScopedEasy easy = NewEasy(url, result, timeouts);
  if (!easy) return result;
  CURL* e = easy.get();
  ScopedMime mime(curl_mime_init(e));
  auto add_text = [&mime](const char* name, const char* value) {
    curl_mimepart* part = curl_mime_addpart(mime.get());
    curl_mime_name(part, name);
    curl_mime_data(part, value, CURL_ZERO_TERMINATED);
  };
  add_text("cache-control:", "no-cache");
  add_text("content-type:", "multipart/form-data");
  // A missing or empty file has no buffer to send: the form then holds the
  // two text parts only, as the server has always received it.
  if (!bytes.empty()) {
    curl_mimepart* part = curl_mime_addpart(mime.get());
    curl_mime_name(part, "file");
    curl_mime_filename(part, "data");
    curl_mime_data(part, bytes.data(), bytes.size());
  }
  curl_easy_setopt(e, CURLOPT_MIMEPOST, mime.get());
  // The answer is kept, never written to the process's standard output.
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, CurlWriteToString);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &result.body);
  Perform(e, result, "upload to " + url);
  return result;
}

}  // namespace net
