// Whether an item path read from an archive may be joined to the output
// folder. Archives come from the network: a stored path must never reach
// outside the folder it is extracted into, nor name a device or a stream.
#pragma once

#include <string_view>

namespace arc {

enum class ItemPathProblem {
  kNone,
  kRooted,         // "\x", "/x", "\\server\share\x", "\\?\..."
  kColon,          // "C:x", "C:\x", "file:stream"
  kParentFolder,   // a ".." component, or one that Windows trims to "." or ".."
  kDeviceName,     // CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$
};

ItemPathProblem CheckItemPath(std::wstring_view path);

// A short English reason for a problem, for error messages.
const wchar_t* ItemPathProblemText(ItemPathProblem problem);

}  // namespace arc
