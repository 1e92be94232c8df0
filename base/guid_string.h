// A fresh GUID as text.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// 36 upper-case characters, hyphens after the 8th, 13th, 18th and 23rd, no
// braces; all zeros when no GUID could be created.
std::string NewGuidString();
std::string FormatGuid(const GUID& guid);

}  // namespace base
