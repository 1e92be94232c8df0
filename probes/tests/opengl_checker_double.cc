// Stands in for the client's opengl_checker.exe. Beside itself it reads
// exit_code.txt (the code to end with, 0 when absent); in its working folder
// it appends one line to runs.txt per run; while hold.txt exists beside it,
// it waits before ending.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

int main() {
  const std::wstring folder = OwnFolder();
  {
    std::ofstream runs("runs.txt", std::ios::app);
    runs << "run\n";
  }
  while (Exists(folder + L"\\hold.txt")) ::Sleep(20);
  int code = 0;
  std::ifstream in(std::filesystem::path(folder + L"\\exit_code.txt"));
  in >> code;
  return code;
}
