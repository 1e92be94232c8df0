#include "base/url_protocol.h"

#include <windows.h>

#include <string>

#include "base/registry.h"

namespace base {

bool RegisterUrlProtocol(std::wstring_view scheme, std::wstring_view description, std::wstring_view launcher_path) {
  const std::wstring root(scheme);
  const std::wstring launcher(launcher_path);
  const std::wstring command = L"\"" + launcher + L"\" \"%1\"";
  struct Write {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
  };
  // The two empty writes only make sure the shell\open chain of keys exists.
  const Write writes[] = {
      {root, L"", std::wstring(description)},
      {root, L"URL Protocol", launcher},
      {root + L"\\DefaultIcon", L"", launcher + L",1"},
      {root + L"\\shell", L"", L""},
      {root + L"\\shell\\open", L"", L""},
      {root + L"\\shell\\open\\command", L"", command},
  };
  bool all_written = true;
  for (const Write& write : writes) {
    all_written = WriteRegString(HKEY_CLASSES_ROOT, write.key, write.name, write.data) && all_written;
  }
  return all_written;
}

}  // namespace base
