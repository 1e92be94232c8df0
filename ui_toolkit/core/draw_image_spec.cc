// Drawing an image description into a control's rectangle, and snapshots of
// controls as bitmaps.
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

bool Intersects(const RECT& a, const RECT& b) {
  RECT out;
  return ::IntersectRect(&out, &a, &b) != FALSE;
}

}  // namespace

bool CUiDrawEngine::DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                                    const wchar_t* description, const wchar_t* modifier, HINSTANCE instance) {
  if (dc == nullptr || manager == nullptr) return false;
  const ImageDrawSpecUI* spec = manager->GetImageDrawSpec(description, modifier);
  return DrawImageSpec(dc, manager, item, paint, spec, instance);
}

bool CUiDrawEngine::DrawImageSpec(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                                  const ImageDrawSpecUI* spec, HINSTANCE instance) {
  if (dc == nullptr || manager == nullptr || spec == nullptr) return false;
  RECT dest = item;
  if (!IsZero(spec->rcDest)) {
    dest.left = item.left + spec->rcDest.left;
    dest.top = item.top + spec->rcDest.top;
    dest.right = std::min(item.left + spec->rcDest.right, item.right);
    dest.bottom = std::min(item.top + spec->rcDest.bottom, item.bottom);
  }
  if (spec->szImage.cx > 0 && spec->szImage.cy > 0) {
    // The padding was scaled when the description was parsed; only the size
    // is still unscaled.
    const SIZE size = manager->GetDpiHelper()->ScaledSize(static_cast<SIZE>(spec->szImage));
    dest = PlaceImageRect(item, dest, size, spec->rcPadding, spec->sAlign.GetData());
  }
  return DrawImageByName(dc, manager, item, paint, spec->sImageName.GetData(), spec->sResType.GetData(), dest,
                         spec->rcSource, spec->rcCorner, spec->dwMask, static_cast<BYTE>(spec->uFade),
                         spec->uRotate, spec->bGdiplus, spec->bHole, spec->bTiledX, spec->bTiledY, instance);
}

bool CUiDrawEngine::DrawImageByName(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                                    const wchar_t* name, const wchar_t* resource_type, RECT dest, RECT source,
                                    RECT corners, DWORD mask, BYTE fade, DWORD rotation, bool gdiplus, bool hole,
                                    bool x_tiled, bool y_tiled, HINSTANCE instance) {
  if (dc == nullptr || manager == nullptr || name == nullptr || name[0] == L'\0') return false;
  ImageRecordUI* image = manager->GetOrAddImage(name, resource_type, mask, false, gdiplus, instance);
  if (image == nullptr) return false;
  if (IsZero(source)) source = RECT{0, 0, image->nX, image->nY};
  if (source.right > image->nX) source.right = image->nX;
  if (source.bottom > image->nY) source.bottom = image->nY;
  if (!Intersects(dest, item) || !Intersects(dest, paint)) return true;
  const bool alpha = manager->IsLayered() || image->bAlpha;
  if (gdiplus && image->pGdiplusImage != nullptr) {
    DrawImageGdiplus(dc, image->pGdiplusImage, dest, paint, source, alpha, fade, rotation);
  } else {
    DrawImage(dc, image, dest, paint, source, corners, alpha, fade, hole, x_tiled, y_tiled);
  }
  return true;
}

namespace {

HBITMAP Snapshot(CPaintManagerUI* manager, CControlUI* control, const RECT& rect, CControlUI* stop, DWORD color) {
  if (manager == nullptr || control == nullptr) return nullptr;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || rect.right <= 0 || rect.bottom <= 0) return nullptr;
  HDC reference = manager->GetPaintDC();
  HDC paint_dc = ::CreateCompatibleDC(reference);
  HBITMAP whole = ::CreateCompatibleBitmap(reference != nullptr ? reference : paint_dc, rect.right, rect.bottom);
  HDC copy_dc = ::CreateCompatibleDC(reference);
  BYTE* bits = nullptr;
  HBITMAP copy = CUiDrawEngine::CreateArgb32Bitmap(reference, width, height, &bits);
  if (paint_dc != nullptr && whole != nullptr && copy_dc != nullptr && copy != nullptr) {
    HGDIOBJ old_whole = ::SelectObject(paint_dc, whole);
    control->Paint(paint_dc, rect, stop);
    HGDIOBJ old_copy = ::SelectObject(copy_dc, copy);
    ::BitBlt(copy_dc, 0, 0, width, height, paint_dc, rect.left, rect.top, SRCCOPY);
    if ((color >> 24) != 0) CUiDrawEngine::FillColor(copy_dc, RECT{0, 0, width, height}, color);
    ::SelectObject(copy_dc, old_copy);
    ::SelectObject(paint_dc, old_whole);
  } else if (copy != nullptr) {
    ::DeleteObject(copy);
    copy = nullptr;
  }
  if (whole != nullptr) ::DeleteObject(whole);
  if (paint_dc != nullptr) ::DeleteDC(paint_dc);
  if (copy_dc != nullptr) ::DeleteDC(copy_dc);
  return copy;
}

}  // namespace

HBITMAP CUiDrawEngine::GenerateControlBitmap(CPaintManagerUI* manager, CControlUI* control, RECT rect,
                                             DWORD color) {
  return Snapshot(manager, control, rect, nullptr, color);
}

HBITMAP CUiDrawEngine::GenerateWindowBitmap(CPaintManagerUI* manager, RECT rect, CControlUI* stop, DWORD color) {
  return manager == nullptr ? nullptr : Snapshot(manager, manager->GetRootControl(), rect, stop, color);
}

}  // namespace SkinUI
