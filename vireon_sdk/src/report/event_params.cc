#include "vireon_sdk/src/report/event_params.h"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <vector>

#include "vireon_sdk/src/report/vireon_client.h"
#include "vireon_sdk/src/utils/file_util.h"
#include "vireon_sdk/src/utils/ini_cache.h"
#include "vireon_sdk/src/utils/string_conv.h"
#include "vireon_sdk/src/utils/utf8_string.h"

namespace vireon {
namespace {

std::atomic<int64_t> g_sequence{0};

// The bytes as ANSI text, converted to UTF-8 and cut at the first zero byte.
std::string ReadAsAnsi(const std::string& value) {
  if (value.size() >= static_cast<size_t>(INT32_MAX)) return {};
  const std::string bytes = value + '\0';
  const int length = static_cast<int>(bytes.size());
  const int wide_length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (wide_length <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), wide_length);
  // Sized by the conversion itself rather than a guess from the input length,
  // so a code page that widens every byte cannot overflow it.
  const int utf8_length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (utf8_length <= 0) return {};
  std::string utf8(static_cast<size_t>(utf8_length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), utf8_length, nullptr, nullptr);
  utf8.resize(std::char_traits<char>::length(utf8.c_str()));
  return utf8;
}

std::wstring IniPath(const wchar_t* folder_name) {
  const std::wstring app_key = utils::Utf8ToWide(VireonClient::config().app_key);
  if (app_key.empty()) return {};
  std::wstring folder = utils::GetAppDataDir();
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  std::wstring path = folder + folder_name + app_key + L".ini";
  utils::CreateParentDirectories(path);
  return path;
}

// Leading blanks and a sign, digits up to the first other character; 0 when
// there are none.
int64_t ParseCount(const std::wstring& text) {
  return static_cast<int64_t>(std::wcstoll(text.c_str(), nullptr, 10));
}

}  // namespace

void MergeParams(ReportParams& destination, const ReportParams& source, bool check) {
  for (const auto& [key, value] : source) destination[key] = check ? CheckUtf8(value) : value;
}

std::string CheckUtf8(const std::string& value) {
  if (value.empty() || utils::IsWellFormedUtf8(value)) return value;
  std::string repaired = ReadAsAnsi(value);
  if (!repaired.empty() && utils::IsWellFormedUtf8(repaired)) return repaired;
  return kInvalidUtf8Text;
}

int64_t NextSequence() { return g_sequence.fetch_add(1); }

std::string NewLogId() {
  GUID guid{};
  if (FAILED(::CoCreateGuid(&guid))) return {};
  char text[40] = {};
  std::snprintf(text, sizeof(text), "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::wstring GetLogIdIniPath() { return IniPath(L"Orvalis\\VireonConfig\\"); }
std::wstring GetSeqTimeIniPath() { return IniPath(L"Orvalis\\RuConfig\\"); }

std::wstring LogIdIniPath() {
  static std::once_flag once;
  static std::wstring path;
  std::call_once(once, [] { path = GetLogIdIniPath(); });
  return path;
}

std::wstring SeqTimeIniPath() {
  static std::once_flag once;
  static std::wstring path;
  std::call_once(once, [] { path = GetSeqTimeIniPath(); });
  return path;
}

std::wstring NextLogIdIn(const std::wstring& ini_path, const std::wstring& section) {
  IniCache& cache = IniCache::Instance();
  // Read, increment and store as one step, so two events of this process
  // never get the same id.
  const auto lock = cache.Lock();
  const int64_t next = static_cast<int64_t>(static_cast<uint64_t>(ParseCount(cache.Read(ini_path, section, L"logid", L"0"))) + 1);
  const std::wstring text = std::to_wstring(next);
  cache.Write(ini_path, section, L"logid", text);
  cache.Flush();
  return text;
}

std::wstring ReadSeqTimeIn(const std::wstring& ini_path) {
  return IniCache::Instance().Read(ini_path, L"seq_time", L"timestamp", L"0");
}

std::wstring NextLogId() { return NextLogIdIn(LogIdIniPath(), utils::GetExeFileName()); }

std::wstring GetSeqTime() { return ReadSeqTimeIn(SeqTimeIniPath()); }

}  // namespace vireon
