#include "downloader/tests/rig_support.h"

#include <windows.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "downloader/file_hash.h"
#include "downloader/file_util.h"

namespace courier_test {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) ADD_FAILURE() << name << " is not set: run the test through ctest (it starts the rig)";
  return value ? value : "";
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

std::string NginxUrl(const std::string& path) { return Env("QL_HTTP_NGINX_URL") + path; }
std::string FaultUrl(const std::string& path) { return Env("QL_HTTP_FAULT_URL") + path; }

RigFile GetRigFile(const std::string& name) {
  const std::string www = Env("QL_HTTP_RIG_WWW");
  std::ifstream manifest(std::filesystem::path(courier::Utf8ToWide(www + "/manifest.txt")));
  RigFile file;
  while (manifest >> file.name >> file.size >> file.md5) {
    if (file.name == name) {
      file.path = www + "/" + name;
      return file;
    }
  }
  ADD_FAILURE() << "no " << name << " in the rig's manifest";
  return {};
}

std::string HttpGet(const std::string& url) {
  CURL* curl = curl_easy_init();
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return rc == CURLE_OK ? body : std::string();
}

std::vector<Fetch> FaultLog(const std::string& key) {
  std::istringstream lines(HttpGet(FaultUrl("/stats?key=" + key)));
  std::vector<Fetch> log;
  Fetch f;
  while (lines >> f.method >> f.range >> f.status >> f.bytes) log.push_back(f);
  return log;
}

std::vector<Fetch> Gets(const std::vector<Fetch>& log) {
  std::vector<Fetch> gets;
  for (const Fetch& f : log) {
    if (f.method == "GET") gets.push_back(f);
  }
  return gets;
}

std::string UniqueKey(const std::string& hint) {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string key = hint + "-" + (info ? info->name() : "x") + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(::GetTickCount64()) + "-" + std::to_string(counter++);
  for (char& c : key) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
  }
  return key;
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  static std::atomic<int> counter{0};
  const std::wstring dir = std::wstring(base) + L"courier-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                           std::to_wstring(counter++);
  std::filesystem::create_directories(dir);
  path_ = courier::WideToUtf8(dir);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(courier::Utf8ToWide(path_), ignored);
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesW(courier::Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(courier::Utf8ToWide(path), error);
  return error ? -1 : static_cast<int64_t>(size);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(courier::Utf8ToWide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(courier::Utf8ToWide(path)), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Md5Of(const std::string& path) {
  std::string hex;
  if (courier::FileMd5(path, nullptr, &hex) != courier::SUCCESSED) return "(unreadable)";
  return hex;
}

}  // namespace courier_test
