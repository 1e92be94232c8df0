#include "ui_toolkit/core/image_draw_spec.h"

#include <cwchar>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

bool IsBlank(wchar_t c) { return c != L'\0' && c <= L' '; }

// Up to |count| signed decimals, each followed by one separator; numbers
// missing from a short value stay 0 and nothing is read past its end.
void ReadIntegers(const wchar_t* text, long* out, int count) {
  const wchar_t* p = text;
  for (int i = 0; i < count; ++i) {
    out[i] = 0;
    if (*p == L'\0') continue;
    wchar_t* end = nullptr;
    out[i] = std::wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
  }
}

CUiRect ReadRect(const wchar_t* text) {
  long v[4];
  ReadIntegers(text, v, 4);
  return CUiRect(v[0], v[1], v[2], v[3]);
}

bool IsTrue(const CUiString& value) { return value.CompareNoCase(L"true") == 0; }

}  // namespace

void ImageDrawSpecUI::Reset() {
  sDescription.Empty();
  sModifier.Empty();
  sImageName.Empty();
  sResType.Empty();
  rcDest = CUiRect();
  rcSource = CUiRect();
  rcCorner = CUiRect();
  dwMask = 0;
  uFade = 255;
  uRotate = 0;
  bHole = false;
  bTiledX = false;
  bTiledY = false;
  bHSL = false;
  bGdiplus = false;
  szImage = CUiSize();
  rcPadding = CUiRect();
  sAlign.Empty();
}

void ImageDrawSpecUI::Parse(const wchar_t* description, const wchar_t* modifier, CPaintManagerUI* manager) {
  Parse(description, modifier, manager != nullptr ? static_cast<const CDpiHelperUI*>(manager->GetDpiHelper()) : nullptr);
}

void ImageDrawSpecUI::Parse(const wchar_t* description, const wchar_t* modifier, const CDpiHelperUI* dpi) {
  Reset();
  sDescription = description;
  sModifier = modifier;
  sImageName = description;
  if (description != nullptr) ApplyPairs(description, dpi);
  if (modifier != nullptr) ApplyPairs(modifier, dpi);
  if (dpi != nullptr && dpi->GetScale() != 100) {
    CUiString marker;
    marker.Format(L"@%d.", dpi->GetScale());
    sImageName.Replace(L".", marker.GetData());
  }
}

void ImageDrawSpecUI::ApplyPairs(const wchar_t* text, const CDpiHelperUI* dpi) {
  const wchar_t* p = text;
  while (*p != L'\0') {
    CUiString key, value;
    while (IsBlank(*p)) ++p;
    const wchar_t* key_start = p;
    while (*p != L'\0' && *p != L'=' && *p > L' ') p = ::CharNextW(p);
    key.Assign(key_start, static_cast<int>(p - key_start));
    while (IsBlank(*p)) ++p;
    if (*p != L'=') return;
    ++p;
    while (IsBlank(*p)) ++p;
    if (*p != L'\'') return;
    ++p;
    const wchar_t* value_start = p;
    while (*p != L'\0' && *p != L'\'') p = ::CharNextW(p);
    value.Assign(value_start, static_cast<int>(p - value_start));
    if (*p != L'\'') return;
    ++p;
    if (!value.IsEmpty()) Apply(key, value, dpi);
    // Pairs are separated by a blank; anything else ends the list.
    if (*p != L' ' || p[1] == L'\0') return;
  }
}

void ImageDrawSpecUI::Apply(const CUiString& key, const CUiString& value, const CDpiHelperUI* dpi) {
  auto scaled = [dpi](CUiRect rect) {
    if (dpi != nullptr) dpi->ScaleRect(&rect);
    return rect;
  };
  const wchar_t* v = value.GetData();
  if (key == L"file" || key == L"res") {
    sImageName = value;
  } else if (key == L"restype") {
    sResType = value;
  } else if (key == L"dest") {
    rcDest = scaled(ReadRect(v));
  } else if (key == L"source") {
    rcSource = scaled(ReadRect(v));
  } else if (key == L"corner") {
    rcCorner = scaled(ReadRect(v));
  } else if (key == L"mask") {
    dwMask = static_cast<DWORD>(std::wcstoul(v[0] == L'#' ? v + 1 : v, nullptr, 16));
  } else if (key == L"fade") {
    // The fade is a constant alpha: larger values would wrap in a byte.
    const long fade = std::wcstol(v, nullptr, 10);
    uFade = static_cast<DWORD>(fade < 0 ? 0 : fade > 255 ? 255 : fade);
  } else if (key == L"rotate") {
    uRotate = static_cast<DWORD>(std::wcstoul(v, nullptr, 10));
    bGdiplus = true;
  } else if (key == L"gdiplus") {
    bGdiplus = IsTrue(value);
  } else if (key == L"hole") {
    bHole = IsTrue(value);
  } else if (key == L"xtiled") {
    bTiledX = IsTrue(value);
  } else if (key == L"ytiled") {
    bTiledY = IsTrue(value);
  } else if (key == L"hsl") {
    bHSL = IsTrue(value);
  } else if (key == L"size") {
    long s[2];
    ReadIntegers(v, s, 2);
    szImage = CUiSize(s[0], s[1]);
  } else if (key == L"align") {
    sAlign = value;
  } else if (key == L"padding") {
    rcPadding = scaled(ReadRect(v));
  }
}

}  // namespace SkinUI
