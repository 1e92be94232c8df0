// Stands for the browser: when the shell opens it, it leaves
// "<its own path>.opened" beside itself.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int wmain() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return 1;
  std::ofstream(std::filesystem::path(std::wstring(path) + L".opened")) << "opened";
  return 0;
}
