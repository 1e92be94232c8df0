#include "probes/opengl_check.h"

#include <windows.h>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/registry.h"

namespace probes {
namespace {

constexpr wchar_t kValueName[] = L"OpenglDemoResult";
constexpr wchar_t kCheckerName[] = L"opengl_checker.exe";

uint64_t SignExtend(int32_t value) { return static_cast<uint64_t>(static_cast<int64_t>(value)); }

int32_t ReadStoredResult(int32_t default_value) {
  return static_cast<int32_t>(base::ReadRegQword(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey(),
                                                 kValueName, SignExtend(default_value)));
}

int32_t RunCheckerOnce() {
  // A stored 0 is a check that passed on an earlier run: not run again.
  if (ReadStoredResult(1) == 0) return 0;
  const base::PathManager& paths = base::PathManager::GetInstance();
  const std::filesystem::path folder = paths.GetComponentDir(base::ComponentKind::kClient);
  const std::filesystem::path program = folder / kCheckerName;
  // Only a file is a program: the shell would "open" a folder of that name
  // in a window that never ends, and the wait below would never return.
  std::error_code error;
  if (!std::filesystem::is_regular_file(program, error) || error) return 0;
  const int32_t result =
      static_cast<int32_t>(base::ShellRunAndWait(program.wstring(), L"", true, folder.wstring(), SW_HIDE));
  if (!base::WriteRegQword(HKEY_LOCAL_MACHINE, paths.GetEnvKey(), kValueName, SignExtend(result))) {
    PRODUCT_LOG("writing the OpenGL check result {} failed", result);
  }
  return result;
}

}  // namespace

int32_t RunOpenglChecker() {
  static std::once_flag once;
  static int32_t result = 0;
  try {
    std::call_once(once, [] { result = RunCheckerOnce(); });
  } catch (const std::exception& e) {
    PRODUCT_LOG("OpenGL check failed: {}", e.what());
  }
  return result;
}

int32_t GetOpenglDemoResult() {
  const int32_t stored = ReadStoredResult(kOpenglDemoResultNone);
  if (stored != kOpenglDemoResultNone) return stored;
  static std::once_flag started;
  try {
    // The check program may take any time; the caller gets the placeholder
    // at once and a later run reads the stored code.
    std::call_once(started, [] { std::thread([] { RunOpenglChecker(); }).detach(); });
  } catch (const std::system_error& e) {
    PRODUCT_LOG("OpenGL check not started: {}", e.what());
  }
  return kOpenglDemoResultNone;
}

}  // namespace probes
