// A stand-in of the DirectX diagnostic tool: started as "dxdiag /t <report>",
// it writes the report QL_DXDIAG_DOUBLE asks for:
//   "copy:<fixture path>"   the fixture's bytes
//   "big:<fixture path>"    the fixture with two 10 MiB lines: one before
//                           it, and a second "Manufacturer:" line after the
//                           first card's own
//   "binary"                10 MiB of every byte value, no line structure
//   "silent"                nothing, exit 0
//   "fail"                  nothing, exit 1
//   "hang"                  nothing, never ends by itself (two minutes)
// Each start appends "<pid>" to QL_DXDIAG_LOG when that is set.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 4096);
  return (n == 0 || n >= 4096) ? std::wstring() : std::wstring(value, n);
}

void LogStart() {
  const std::wstring path = Env(L"QL_DXDIAG_LOG");
  if (path.empty()) return;
  std::ofstream log(path.c_str(), std::ios::app);
  log << ::GetCurrentProcessId() << "\n";
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr size_t kTenMiB = 10u << 20;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  LogStart();
  if (argc < 3 || std::wstring(argv[1]) != L"/t") return 2;
  const std::wstring report = argv[2];
  const std::wstring mode = Env(L"QL_DXDIAG_DOUBLE");
  if (mode == L"hang") {
    ::Sleep(120000);
    return 0;
  }
  if (mode == L"silent") return 0;
  if (mode == L"fail") return 1;
  std::ofstream out(report.c_str(), std::ios::binary | std::ios::trunc);
  if (mode == L"binary") {
    std::string block(kTenMiB, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 131 + 7) % 256);
    out << block;
  } else if (mode.rfind(L"big:", 0) == 0) {
    std::string fixture = ReadFile(mode.substr(4));
    const size_t manufacturer = fixture.find("Manufacturer:", fixture.find("Display Devices"));
    const size_t line_end = fixture.find('\n', manufacturer);
    if (manufacturer != std::string::npos && line_end != std::string::npos) {
      fixture.insert(line_end + 1, "        Manufacturer: " + std::string(kTenMiB, 'M') + "\r\n");
    }
    out << std::string(kTenMiB, 'x') << "\r\n" << fixture;
  } else if (mode.rfind(L"copy:", 0) == 0) {
    out << ReadFile(mode.substr(5));
  } else {
    return 3;
  }
  return out ? 0 : 4;
}
