// Image file bytes to the toolkit's premultiplied 32-bit DIB sections, and
// the life of an image record.
#include <climits>
#include <cstring>

#include "base/product_log.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/scaled_image_cache.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace SkinUI {

ImageRecordUI* CUiDrawEngine::DecodeImage(const BYTE* bytes, size_t size, DWORD mask) {
  if (bytes == nullptr || size == 0 || size > INT_MAX) return nullptr;
  int width = 0, height = 0, channels = 0;
  // The header's dimensions decide before any pixel memory is taken: a small
  // file may declare an enormous picture.
  if (!stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &channels)) return nullptr;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      static_cast<long long>(width) * height > kMaxImagePixels) {
    PRODUCT_LOG("image of {} x {} pixels refused", width, height);
    return nullptr;
  }
  stbi_uc* pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4);
  if (pixels == nullptr) return nullptr;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      static_cast<long long>(width) * height > kMaxImagePixels) {
    stbi_image_free(pixels);
    return nullptr;
  }

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    stbi_image_free(pixels);
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    return nullptr;
  }

  bool alpha = false;
  auto* out = static_cast<BYTE*>(bits);
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const BYTE* in = pixels + i * 4;
    BYTE* px = out + i * 4;
    const BYTE a = in[3];
    px[3] = a;
    if (a == 255) {
      px[0] = in[2];
      px[1] = in[1];
      px[2] = in[0];
    } else {
      px[0] = static_cast<BYTE>(in[2] * a / 255);
      px[1] = static_cast<BYTE>(in[1] * a / 255);
      px[2] = static_cast<BYTE>(in[0] * a / 255);
      alpha = true;
    }
    if (mask != 0) {
      DWORD value;
      std::memcpy(&value, px, 4);
      if (value == mask) {
        std::memset(px, 0, 4);
        alpha = true;
      }
    }
  }
  stbi_image_free(pixels);

  auto* image = new ImageRecordUI;
  image->hBitmap = bitmap;
  image->pBits = out;
  image->nX = width;
  image->nY = height;
  image->bAlpha = alpha;
  return image;
}

void CUiDrawEngine::FreeImage(ImageRecordUI* image, bool delete_record) {
  if (image == nullptr) return;
  delete image->pGdiplusImage;
  image->pGdiplusImage = nullptr;
  if (image->hBitmap != nullptr) ::DeleteObject(image->hBitmap);
  image->hBitmap = nullptr;
  image->pBits = nullptr;  // the bitmap's own memory, gone with it
  delete[] image->pHslCopy;
  image->pHslCopy = nullptr;
  delete image->pScaled;
  image->pScaled = nullptr;
  if (delete_record) delete image;
}

void CUiDrawEngine::PrepareImageHsl(ImageRecordUI* image) {
  if (image == nullptr || image->pBits == nullptr || image->pHslCopy != nullptr) return;
  const size_t bytes = static_cast<size_t>(image->nX) * image->nY * 4;
  image->pHslCopy = new BYTE[bytes];
  std::memcpy(image->pHslCopy, image->pBits, bytes);
}

void CUiDrawEngine::AdjustImageHsl(bool use_hsl, ImageRecordUI* image, short hue, short saturation,
                                   short lightness) {
  if (image == nullptr || !image->bUseHSL || image->hBitmap == nullptr || image->pBits == nullptr ||
      image->pHslCopy == nullptr) {
    return;
  }
  ::GdiFlush();
  // Drawings kept from the old pixels no longer show the image.
  if (image->pScaled != nullptr) image->pScaled->Clear();
  const size_t count = static_cast<size_t>(image->nX) * image->nY;
  if (!use_hsl || (hue == 180 && saturation == 100 && lightness == 100)) {
    std::memcpy(image->pBits, image->pHslCopy, count * 4);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    DWORD color;
    std::memcpy(&color, image->pHslCopy + i * 4, 4);
    color = AdjustColorHsl(color, hue, saturation, lightness);
    std::memcpy(image->pBits + i * 4, &color, 4);
  }
}

}  // namespace SkinUI
