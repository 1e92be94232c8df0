// A stand-in of the maker's device-id library. QL_DUVEX_DOUBLE picks how it
// behaves:
//   (unset) or "ok"   "a1" accepts anything, "b" gives kDoubleId
//   "reject_options"  "a1" fails when it is given options
//   "fail_init"       "a1" always fails
//   "fail_record"     "b" fails
//   "garbage"         "b" succeeds with 70 bytes that are no identifier
//   "unterminated"    "b" succeeds with 70 letters and no terminating zero
// Every call is recorded, one line each; DuvexDoubleCalls returns the lines.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr char kDoubleId[] = "3f2a9c1e-77b4-4d0a-9e21-5c6b8d4f0a13";

std::mutex g_lock;
std::string g_calls;

std::string Mode() {
  char value[64] = {};
  const DWORD n = ::GetEnvironmentVariableA("QL_DUVEX_DOUBLE", value, sizeof(value));
  return (n == 0 || n >= sizeof(value)) ? std::string("ok") : std::string(value);
}

void Record(const std::string& line) {
  std::lock_guard lock(g_lock);
  g_calls += line;
  g_calls += '\n';
}

}  // namespace

extern "C" {

#ifndef QL_DUVEX_WITHOUT_INIT
__declspec(dllexport) int a1(const char* app_key, int number, const char* text1, const char* options, const char* text2,
                             bool flag) {
  Record(std::string("a1 key=") + app_key + " n=" + std::to_string(number) + " t1=[" + text1 + "] options=[" +
         options + "] t2=[" + text2 + "] flag=" + (flag ? "1" : "0"));
  const std::string mode = Mode();
  if (mode == "fail_init") return 7;
  if (mode == "reject_options" && options[0] != '\0') return 3;
  return 0;
}
#endif

__declspec(dllexport) int b(const char* app_key, char* record, int size) {
  Record(std::string("b key=") + app_key + " size=" + std::to_string(size));
  const std::string mode = Mode();
  if (mode == "fail_record") return 1;
  if (mode == "garbage") {
    for (int i = 0; i < size; ++i) record[i] = static_cast<char>(0x80 + (i * 37) % 127);
    return 0;
  }
  if (mode == "unterminated") {
    for (int i = 0; i < size; ++i) record[i] = static_cast<char>('a' + i % 26);
    return 0;
  }
  std::memset(record, 0, size);
  std::memcpy(record, kDoubleId, sizeof(kDoubleId));
  return 0;
}

__declspec(dllexport) const char* DuvexDoubleCalls() {
  static thread_local std::string copy;
  std::lock_guard lock(g_lock);
  copy = g_calls;
  return copy.c_str();
}

}  // extern "C"
