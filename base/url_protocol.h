// Registration of a URL scheme with Windows, so that links of the product's
// scheme start the product's launcher.
#pragma once

#include <string_view>

namespace base {

// Writes the scheme's keys under HKEY_CLASSES_ROOT: description, "URL
// Protocol", default icon and the open command "<launcher>" "%1". Every write
// is tried even after one fails; true only when all succeeded.
bool RegisterUrlProtocol(std::wstring_view scheme, std::wstring_view description, std::wstring_view launcher_path);

}  // namespace base
