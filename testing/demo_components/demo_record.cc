#include "testing/demo_components/demo_record.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <fstream>

#include "base/process_util.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace demo {

std::vector<std::wstring> Arguments() {
  int count = 0;
  base::ScopedLocalMemory memory(::CommandLineToArgvW(::GetCommandLineW(), &count));
  std::vector<std::wstring> args;
  if (!memory.IsValid()) return args;
  auto* argv = static_cast<wchar_t**>(memory.Get());
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  return args;
}

std::optional<std::wstring> OptionValue(const std::vector<std::wstring>& args, std::wstring_view name) {
  const std::wstring flag = L"--" + std::wstring(name);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == flag) return i + 1 < args.size() ? args[i + 1] : std::wstring();
    if (args[i].starts_with(flag + L"=")) return args[i].substr(flag.size() + 1);
  }
  return std::nullopt;
}

std::wstring ProductName() {
  wchar_t name[256] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"QL_DEMO_PRODUCT_NAME", name, 256);
  return length > 0 && length < 256 ? std::wstring(name, length) : std::wstring(L"Quillorane");
}

std::filesystem::path OwnPath() { return base::GetModulePath(); }

std::filesystem::path RecordPath() {
  const std::filesystem::path own = OwnPath();
  return own.parent_path() / (own.stem().wstring() + L".cmdline.txt");
}

bool AppendCommandLineRecord() {
  std::ofstream record(RecordPath(), std::ios::app | std::ios::binary);
  record << base::WideToUtf8(::PathGetArgsW(::GetCommandLineW())) << "\n";
  return static_cast<bool>(record.flush());
}

}  // namespace demo
