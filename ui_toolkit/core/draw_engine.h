// The toolkit's stateless drawing and image functions: image loading and
// decoding, the nine-grid image drawer, colours, gradients and shapes,
// text and marked-up text, and scoped clipping.
#pragma once

#include <windows.h>

#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/ui_rect.h"
#include "ui_toolkit/core/ui_string.h"

namespace Gdiplus {
class Image;
}  // namespace Gdiplus

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;
class CScaledImageCacheUI;

// A loaded image: a 32-bit top-down DIB section with premultiplied alpha,
// optionally with a GDI+ image of the same bytes.
struct ImageRecordUI {
  Gdiplus::Image* pGdiplusImage = nullptr;
  HBITMAP hBitmap = nullptr;
  BYTE* pBits = nullptr;      // the DIB section's own pixels (owned by hBitmap)
  BYTE* pHslCopy = nullptr;   // unadjusted pixels, for images registered with HSL
  int nX = 0;
  int nY = 0;
  bool bAlpha = false;        // some pixel is not opaque: blend, don't copy
  bool bUseHSL = false;
  CUiString sResType;
  DWORD dwMask = 0;
  CScaledImageCacheUI* pScaled = nullptr;  // owned: stretched drawings kept for the next paint
};

class CUiDrawEngine {
 public:
  // Images larger than this on either side, or with more pixels than
  // kMaxImagePixels, are refused before anything is decoded.
  static constexpr int kMaxImageSide = 16384;
  static constexpr long long kMaxImagePixels = 16ll << 20;

  // ---- loading
  static ImageRecordUI* LoadImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0,
                                  HINSTANCE instance = nullptr);
  static ImageRecordUI* LoadImageById(int id, const wchar_t* type, DWORD mask = 0, HINSTANCE instance = nullptr);
  static ImageRecordUI* LoadImageFromSource(const wchar_t* name, const wchar_t* type, DWORD mask,
                                            HINSTANCE instance);
  static ImageRecordUI* LoadImageWithGdiplus(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0,
                                             HINSTANCE instance = nullptr);
  // Decodes image file bytes into a record; null when they are not an
  // image, too large, or no bitmap can be made.
  static ImageRecordUI* DecodeImage(const BYTE* bytes, size_t size, DWORD mask);
  static void FreeImage(ImageRecordUI* image, bool delete_record = true);
  // Keeps a copy of the unadjusted pixels of an image registered with HSL.
  static void PrepareImageHsl(ImageRecordUI* image);
  static void AdjustImageHsl(bool use_hsl, ImageRecordUI* image, short hue, short saturation, short lightness);

  // ---- colours
  static DWORD AdjustColorHsl(DWORD color, short hue, short saturation, short lightness);
  static void RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness);
  static DWORD HslToRgb(float hue, float saturation, float lightness);
  static DWORD NudgePureBlack(DWORD color);

  // ---- images
  static bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                              const wchar_t* description, const wchar_t* modifier = nullptr,
                              HINSTANCE instance = nullptr);
  static bool DrawImageSpec(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                            const ImageDrawSpecUI* spec, HINSTANCE instance = nullptr);
  static bool DrawImageByName(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                              const wchar_t* name, const wchar_t* resource_type, RECT dest, RECT source,
                              RECT corners, DWORD mask, BYTE fade, DWORD rotation, bool gdiplus, bool hole,
                              bool x_tiled, bool y_tiled, HINSTANCE instance = nullptr);
  // The nine-grid drawer: corners 1:1, edges stretched (or tiled), middle
  // stretched, tiled or left out (hole); only pieces inside |paint| are drawn.
  static void DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                        const RECT& corners, bool alpha, BYTE fade = 255, bool hole = false, bool x_tiled = false,
                        bool y_tiled = false);
  // The same drawing of a loaded image; a stretched drawing is kept with the
  // image and copied on the next paint of the same size.
  static void DrawImage(HDC dc, ImageRecordUI* image, const RECT& dest, const RECT& paint, const RECT& source,
                        const RECT& corners, bool alpha, BYTE fade = 255, bool hole = false, bool x_tiled = false,
                        bool y_tiled = false);
  static void DrawImageGdiplus(HDC dc, Gdiplus::Image* image, const RECT& dest, const RECT& paint,
                               const RECT& source, bool alpha, BYTE fade, DWORD rotation);
  // Places an image of |size| in |item| by the words of |align| and moves it by |padding|.
  static RECT PlaceImageRect(const RECT& item, const RECT& dest, SIZE size, const RECT& padding,
                             const wchar_t* align);
  // AlphaBlend in software, for systems without msimg32's.
  static BOOL WINAPI SoftAlphaBlend(HDC dest, int dx, int dy, int dw, int dh, HDC src, int sx, int sy, int sw,
                                    int sh, BLENDFUNCTION blend);

  // ---- shapes (colours are 0xAARRGGBB)
  static void FillColor(HDC dc, const RECT& rect, DWORD color);
  static void DrawGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, bool vertical, int steps);
  static void DrawLine(HDC dc, const RECT& rect, int width, DWORD color, int pen_style = PS_SOLID);
  static void DrawRect(HDC dc, const RECT& rect, int width, DWORD color, int dash_style = 0);
  static void DrawRoundRect(HDC dc, const RECT& rect, int width, int round_width, int round_height, DWORD color,
                            int dash_style = 0);

  // ---- bitmaps
  static HBITMAP CreateArgb32Bitmap(HDC dc, int width, int height, BYTE** pixels);
  static HBITMAP GenerateControlBitmap(CPaintManagerUI* manager, CControlUI* control, RECT rect, DWORD color);
  static HBITMAP GenerateWindowBitmap(CPaintManagerUI* manager, RECT rect, CControlUI* stop, DWORD color);

  // ---- text
  static void DrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color, int font,
                       UINT style);
  static void DrawTextGdiplus(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color,
                              int font, UINT style);
  static void FillAndDrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD text_color,
                              int font, UINT style, DWORD back_color);
  static SIZE MeasureText(HDC dc, CPaintManagerUI* manager, const wchar_t* text, int font);
  // Marked-up text. |link_count| is in-out: the capacity of |links| and
  // |link_texts| (and how many rectangles the last call left) on entry, the
  // number of link rectangles filled on return.
  static void DrawHtmlText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color,
                           RECT* links, CUiString* link_texts, int& link_count, int font, UINT style);
};

// Clipping for the life of the scope; scopes that nest end in reverse order.
class CUiClipScope {
 public:
  CUiClipScope() = default;
  CUiClipScope(const CUiClipScope&) = delete;
  CUiClipScope& operator=(const CUiClipScope&) = delete;
  ~CUiClipScope();

  static void Begin(HDC dc, const RECT& rect, CUiClipScope& scope);
  static void BeginRound(HDC dc, const RECT& rect, const RECT& round_rect, int round_width, int round_height,
                         CUiClipScope& scope);
  // Paint outside the scope for a while (a scroll bar over a clipped
  // container), then come back.
  void SelectSavedRegion();
  void SelectOwnRegion();

 private:
  RECT rect_ = {};
  HDC dc_ = nullptr;
  HRGN own_ = nullptr;
  HRGN saved_ = nullptr;
};

}  // namespace SkinUI
