// A vertical layout framed by a border inset 5 pixels, with its text as a
// caption laid over the top line of the frame.
#pragma once

#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {

class CGroupBoxUI : public CVerticalLayoutUI {
 public:
  CGroupBoxUI();
  ~CGroupBoxUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintText(HDC dc) override;
  void PaintBorder(HDC dc) override;

  DWORD GetTextColor() const { return text_color_; }
  void SetTextColor(DWORD color);
  DWORD GetDisabledTextColor() const { return disabled_text_color_; }
  void SetDisabledTextColor(DWORD color);
  int GetFont() const { return font_; }
  void SetFont(int id);
  // Where the caption was last drawn (empty before the first caption).
  RECT GetCaptionRect() const { return caption_rect_; }

 private:
  SIZE CalcTextSize(SIZE box);
  RECT FrameRect() const;

  DWORD text_color_ = 0;
  DWORD disabled_text_color_ = 0;
  int font_ = -1;
  UINT text_style_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  RECT caption_rect_{};
};

}  // namespace SkinUI
