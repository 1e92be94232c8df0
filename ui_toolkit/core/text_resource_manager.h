// Display texts for resource-text ids, and the maps from image and skin
// names to files. One per process.
#pragma once

#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {

class IQueryControlText {
 public:
  // A display text for the id, or null.
  virtual const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) = 0;

 protected:
  ~IQueryControlText() = default;
};

class CTextResourceManager {
 public:
  static CTextResourceManager& GetInstance();
  CTextResourceManager(const CTextResourceManager&) = delete;
  CTextResourceManager& operator=(const CTextResourceManager&) = delete;

  // Cached text, else the callback's answer (then cached), else the id itself.
  CUiString GetText(const wchar_t* id, const wchar_t* type = nullptr);
  void SetTextQueryInterface(IQueryControlText* query) { query_ = query; }
  // The file mapped to a name, or null.
  const wchar_t* GetImageFile(const wchar_t* name);
  const wchar_t* GetSkinFile(const wchar_t* name);

 private:
  CTextResourceManager() = default;
  ~CTextResourceManager() = default;

  CUiStringPtrMap texts_{83};
  IQueryControlText* query_ = nullptr;
  CUiStringPtrMap image_files_{83};
  CUiStringPtrMap skin_files_{83};
};

}  // namespace SkinUI
