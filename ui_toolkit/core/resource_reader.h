// Where skin files (layouts, images, font files) come from: a file in the
// resource folder, or an entry of the resource zip — the archive the paint
// manager keeps open, or a zip file in the resource folder opened per read.
#pragma once

#include <cstddef>
#include <vector>

#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/zip_reader.h"

namespace SkinUI {

struct ResourceSourceUI {
  CUiString folder;        // ends in a separator, or empty
  CUiString zip_name;      // empty: the skin is not zipped
  CUiString zip_password;
  ZipHandleUI* cached_zip = nullptr;  // the archive kept open, or null
};

// The paint manager's process-wide settings.
ResourceSourceUI CurrentResourceSource();

enum class ResourceReadUI {
  kOk,
  kOpenFailed,     // the file cannot be opened
  kZipOpenFailed,  // the zip file cannot be opened
  kNotFound,       // no such zip entry
  kEmpty,
  kTooLarge,       // above the caller's limit
  kReadFailed,     // short read, or the entry cannot be unzipped
};

// Skin files above this size are refused before anything is allocated.
inline constexpr size_t kMaxResourceSize = 64u << 20;

// Reads |name| from |source| (a zip entry when the source is zipped, with
// every "\" of the name turned into "/" and the case of ASCII letters
// ignored; else the file folder + name).
ResourceReadUI ReadResource(const ResourceSourceUI& source, const wchar_t* name, size_t max_size,
                            std::vector<unsigned char>& bytes);
// The whole file at |path|; a file that is empty, larger than |max_size| or
// shorter than its size is a failure.
ResourceReadUI ReadFileBytes(const wchar_t* path, size_t max_size, std::vector<unsigned char>& bytes);

}  // namespace SkinUI
