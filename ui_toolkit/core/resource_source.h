// Reads the bytes of a skin resource (a font file, for instance) from where
// the toolkit's settings say resources live: the resource folder, or an entry
// of the resource zip.
#pragma once

#include <vector>

namespace SkinUI {

// |name| relative to the resource folder, or an entry of the resource zip
// (backslashes taken as slashes, case ignored). False when it cannot be read.
bool ReadResourceBytes(const wchar_t* name, std::vector<unsigned char>& bytes);

// The whole file at |path|; false for an empty or unreadable file.
bool ReadWholeFile(const wchar_t* path, std::vector<unsigned char>& bytes);

}  // namespace SkinUI
