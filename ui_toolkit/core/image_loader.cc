// Where image bytes come from: a module resource, the resource folder or
// zip, or the name as a path of its own.
#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/resource_reader.h"
#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {
namespace {

bool ReadModuleResource(const wchar_t* name, const wchar_t* type, HINSTANCE instance,
                        std::vector<unsigned char>& bytes) {
  HMODULE module = instance != nullptr ? instance : CPaintManagerUI::GetResourceInstance();
  HRSRC resource = ::FindResourceW(module, name, type);
  if (resource == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(module, resource);
  const DWORD size = ::SizeofResource(module, resource);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0 || size > kMaxResourceSize) return false;
  const auto* begin = static_cast<const unsigned char*>(data);
  bytes.assign(begin, begin + size);
  return true;
}

bool FetchImageBytes(const wchar_t* name, const wchar_t* type, HINSTANCE instance, std::vector<unsigned char>& bytes) {
  if (name == nullptr) return false;
  if (type != nullptr && type[0] != L'\0') return ReadModuleResource(name, type, instance, bytes);
  if (IS_INTRESOURCE(name) || name[0] == L'\0') return false;
  if (ReadResource(CurrentResourceSource(), name, kMaxResourceSize, bytes) == ResourceReadUI::kOk) return true;
  // Only a full path is tried as a file of its own: a relative name missing
  // from the skin must not be picked up from whatever the current folder is.
  if (::PathIsRelativeW(name)) return false;
  return ReadFileBytes(name, kMaxResourceSize, bytes) == ResourceReadUI::kOk;
}

// A GDI+ image over a copy of the bytes in movable global memory; the
// stream frees the block when the image lets it go.
Gdiplus::Image* GdiplusImageFromBytes(const std::vector<unsigned char>& bytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return nullptr;
  void* target = ::GlobalLock(block);
  if (target == nullptr) {
    ::GlobalFree(block);
    return nullptr;
  }
  std::memcpy(target, bytes.data(), bytes.size());
  ::GlobalUnlock(block);
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream))) {
    ::GlobalFree(block);
    return nullptr;
  }
  Gdiplus::Image* image = Gdiplus::Image::FromStream(stream);
  stream->Release();  // the image keeps its own reference while it needs the bytes
  if (image != nullptr && image->GetLastStatus() != Gdiplus::Ok) {
    delete image;
    image = nullptr;
  }
  return image;
}

}  // namespace

ImageRecordUI* CUiDrawEngine::LoadImage(const wchar_t* name, const wchar_t* type, DWORD mask, HINSTANCE instance) {
  if (type == nullptr && name != nullptr && !IS_INTRESOURCE(name)) {
    const wchar_t* mapped = CTextResourceManager::GetInstance().GetImageFile(name);
    if (mapped != nullptr && mapped[0] != L'\0') name = mapped;
  }
  return LoadImageFromSource(name, type, mask, instance);
}

ImageRecordUI* CUiDrawEngine::LoadImageById(int id, const wchar_t* type, DWORD mask, HINSTANCE instance) {
  return LoadImageFromSource(MAKEINTRESOURCEW(id & 0xFFFF), type, mask, instance);
}

ImageRecordUI* CUiDrawEngine::LoadImageFromSource(const wchar_t* name, const wchar_t* type, DWORD mask,
                                                  HINSTANCE instance) {
  std::vector<unsigned char> bytes;
  if (!FetchImageBytes(name, type, instance, bytes)) return nullptr;
  return DecodeImage(bytes.data(), bytes.size(), mask);
}

ImageRecordUI* CUiDrawEngine::LoadImageWithGdiplus(const wchar_t* name, const wchar_t* type, DWORD mask,
                                                   HINSTANCE instance) {
  std::vector<unsigned char> bytes;
  if (!FetchImageBytes(name, type, instance, bytes)) return nullptr;
  ImageRecordUI* image = DecodeImage(bytes.data(), bytes.size(), mask);
  Gdiplus::Image* gdiplus = GdiplusImageFromBytes(bytes);
  if (image == nullptr && gdiplus == nullptr) return nullptr;
  if (image == nullptr) image = new ImageRecordUI;
  image->pGdiplusImage = gdiplus;
  return image;
}

}  // namespace SkinUI
