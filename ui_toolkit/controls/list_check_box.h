// The check box that an extended list's header column and its rows draw in
// their own rectangle: the seven state images, the box size and the state
// bits, with the attribute names both share.
#pragma once

#include <windows.h>

#include "ui_toolkit/core/ui_string.h"

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;

class ListCheckBoxUI {
 public:
  // True when |name| is one of the check box attributes (and it was stored).
  bool SetAttribute(const wchar_t* name, const wchar_t* value);

  // Paints the box for |owner| into |box|; |focused| and |enabled| are the
  // owner's. Answers true when a state or normal image was drawn, which ends
  // the painting before the fore image.
  bool Paint(HDC dc, CControlUI* owner, const RECT& box, const RECT& paint, bool focused, bool enabled);

  // The box inside |item|: 6 pixels in from the left, centred vertically.
  RECT BoxIn(const RECT& item, int width, int height) const;

  UINT state = 0;
  bool checked = false;
  CUiString normal_image;
  CUiString hot_image;
  CUiString pushed_image;
  CUiString focused_image;
  CUiString disabled_image;
  CUiString selected_image;
  CUiString fore_image;
  int width = 0;
  int height = 0;
};

}  // namespace SkinUI
