// A parsed image description: either a plain image name or a list of
// key='value' pairs that say which image to draw and how.
#pragma once

#include <windows.h>

#include "ui_toolkit/core/ui_rect.h"
#include "ui_toolkit/core/ui_string.h"

namespace SkinUI {

class CDpiHelperUI;
class CPaintManagerUI;

struct ImageDrawSpecUI {
  ImageDrawSpecUI() { Reset(); }

  // Reads |description| and then |modifier| (later pairs win). With a DPI
  // helper, rectangles are scaled and a scale other than 100 asks for the
  // "name@<scale>.ext" variant of the image.
  void Parse(const wchar_t* description, const wchar_t* modifier, CPaintManagerUI* manager);
  void Parse(const wchar_t* description, const wchar_t* modifier, const CDpiHelperUI* dpi);
  void Reset();

  CUiString sDescription;
  CUiString sModifier;
  CUiString sImageName;
  CUiString sResType;   // empty: a file of the resource source; else the image name is a resource id
  CUiRect rcDest;       // relative to the control; all zero: the whole control
  CUiRect rcSource;     // all zero: the whole image
  CUiRect rcCorner;     // nine-grid border widths
  DWORD dwMask;
  DWORD uFade;
  DWORD uRotate;
  bool bHole;
  bool bTiledX;
  bool bTiledY;
  bool bHSL;
  bool bGdiplus;
  CUiSize szImage;      // unscaled; the drawer scales it
  CUiRect rcPadding;
  CUiString sAlign;

 private:
  void ApplyPairs(const wchar_t* text, const CDpiHelperUI* dpi);
  void Apply(const CUiString& key, const CUiString& value, const CDpiHelperUI* dpi);
};

}  // namespace SkinUI
