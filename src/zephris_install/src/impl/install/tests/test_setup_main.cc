// The setup program of the test components: records the command line it was
// given in "setup_args.txt" beside itself and exits with the number written
// in "exit_code.txt" beside itself (0 when there is none).
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/text_conversion.h"

int main() {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path folder = std::filesystem::path(std::wstring(self, length)).parent_path();
  std::ofstream(folder / "setup_args.txt", std::ios::binary) << base::WideToUtf8(::GetCommandLineW());
  int code = 0;
  std::ifstream(folder / "exit_code.txt") >> code;
  return code;
}
