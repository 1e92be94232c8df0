// MD5 of a whole file, for checking downloaded component archives.
#pragma once

#include <filesystem>
#include <string>

namespace base {

// 32 upper-case hex digits of the file's MD5, or "null" when the file cannot
// be opened or a read fails part way. The path is used as UTF-16, so every
// name Windows can hold works. Other processes may read and write the file
// meanwhile.
std::string FileMd5Hex(const std::filesystem::path& path);

}  // namespace base
