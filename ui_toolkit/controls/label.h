// A control that shows a text: font, colours, padding, DrawTextW style
// flags, optional inline markup, and automatic width or height from the
// measured text. The base of the button, option and progress bar.
#pragma once

#include "ui_toolkit/core/control.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
 public:
  CLabelUI();
  ~CLabelUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetText(const wchar_t* text) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  void PaintText(HDC dc) override;
  virtual bool IsAutoCalcWidth() const;
  virtual void SetAutoCalcWidth(bool on);
  virtual bool IsAutoCalcHeight() const;
  virtual void SetAutoCalcHeight(bool on);

  DWORD GetTextColor() const { return text_color_; }
  void SetTextColor(DWORD color);
  DWORD GetDisabledTextColor() const { return disabled_text_color_; }
  void SetDisabledTextColor(DWORD color);
  int GetFont() const { return font_; }
  void SetFont(int id);
  UINT GetTextStyle() const { return text_style_; }
  void SetTextStyle(UINT style);
  RECT GetTextPadding() const;
  void SetTextPadding(RECT rc);
  bool IsShowHtml() const { return show_html_; }
  void SetShowHtml(bool on);

 protected:
  // Replaces (and stores) colours of 0 by the window's defaults.
  void ResolveDefaultColors();
  void DrawLabelText(HDC dc, RECT& rc, const CUiString& text, DWORD color, int font, UINT style);

  DWORD text_color_ = 0;
  DWORD disabled_text_color_ = 0;
  int font_ = -1;
  UINT text_style_ = DT_VCENTER | DT_SINGLELINE;
  RECT text_padding_{};
  bool show_html_ = false;
  bool auto_calc_width_ = false;
  bool auto_calc_height_ = false;
  SIZE last_available_{};
  SIZE measured_{};
  bool measured_stale_ = true;
};

}  // namespace SkinUI
