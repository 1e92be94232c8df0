#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {

CTextResourceManager& CTextResourceManager::GetInstance() {
  // Never destroyed: controls may ask for texts while statics are torn down.
  static CTextResourceManager* const instance = new CTextResourceManager();
  return *instance;
}

CUiString CTextResourceManager::GetText(const wchar_t* id, const wchar_t* type) {
  if (id == nullptr) return CUiString();
  if (auto* cached = static_cast<CUiString*>(texts_.Find(id))) return *cached;
  if (query_ != nullptr) {
    if (const wchar_t* answer = query_->QueryControlText(id, type)) {
      auto* text = new CUiString(answer);
      if (!texts_.Insert(id, text)) {
        CUiString copy(*text);
        delete text;
        return copy;
      }
      return *text;
    }
  }
  return CUiString(id);
}

const wchar_t* CTextResourceManager::GetImageFile(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  auto* file = static_cast<CUiString*>(image_files_.Find(name));
  return file == nullptr ? nullptr : file->GetData();
}

const wchar_t* CTextResourceManager::GetSkinFile(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  auto* file = static_cast<CUiString*>(skin_files_.Find(name));
  return file == nullptr ? nullptr : file->GetData();
}

}  // namespace SkinUI
