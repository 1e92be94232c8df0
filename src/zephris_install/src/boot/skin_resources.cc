#include "src/zephris_install/src/boot/skin_resources.h"

#include "base/product_log.h"
#include "ui_toolkit/core/paint_manager.h"

namespace {

constexpr int kSkinZipResourceId = 102;
// The toolkit's resource kind for a zip held in memory.
constexpr int kResourceZipInMemory = 4;

}  // namespace

bool InitSkinResources(HINSTANCE instance) {
  using SkinUI::CPaintManagerUI;
  CPaintManagerUI::SetInstance(instance);
  CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath().GetData());
  CPaintManagerUI::SetResourceType(kResourceZipInMemory);
  const HMODULE module = CPaintManagerUI::GetResourceInstance();
  // A loaded resource lives as long as the module: nothing to release.
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(kSkinZipResourceId), L"ZIPRES");
  if (found == nullptr) return false;
  const DWORD size = ::SizeofResource(module, found);
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) {
    PRODUCT_LOG("skin zip resource cannot be loaded");
    return false;
  }
  CPaintManagerUI::SetResourceZipFromMemory(bytes, size);
  return true;
}
