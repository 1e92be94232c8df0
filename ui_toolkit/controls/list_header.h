// The list's column header: a row of column items whose positions become the
// list's column rectangles. A column can be resized by dragging its separator
// strip and reports other clicks as "headerclick".
#pragma once

#include "ui_toolkit/core/horizontal_layout.h"

namespace SkinUI {

class CListHeaderUI : public CHorizontalLayoutUI {
 public:
  CListHeaderUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  SIZE MeasureSize(SIZE available) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintAfterChildren(HDC dc, const RECT& paint) override;

  bool IsScaleHeader() const { return scale_header_; }
  void SetScaleHeader(bool on) { scale_header_ = on; }

 private:
  bool scale_header_ = false;
};

class CListHeaderItemUI : public CHorizontalLayoutUI {
 public:
  CListHeaderItemUI();

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  bool IsDragable() const { return dragable_; }
  void SetDragable(bool on);
  int GetSepWidth() const { return sep_width_; }
  void SetSepWidth(int width) { sep_width_ = width; }
  DWORD GetTextColor() const { return text_color_; }
  void SetTextColor(DWORD color) { text_color_ = color; }
  int GetFont() const { return font_; }
  void SetFont(int font) { font_ = font; }
  UINT GetTextStyle() const { return text_style_; }
  void SetTextStyle(UINT style) { text_style_ = style; }
  bool IsShowHtml() const { return show_html_; }
  void SetShowHtml(bool on);
  RECT GetTextPadding() const { return text_padding_; }
  void SetTextPadding(RECT rc);
  const CUiString& GetNormalImage() const { return normal_image_; }
  void SetNormalImage(const wchar_t* image);
  const CUiString& GetHotImage() const { return hot_image_; }
  void SetHotImage(const wchar_t* image);
  const CUiString& GetPushedImage() const { return pushed_image_; }
  void SetPushedImage(const wchar_t* image);
  const CUiString& GetFocusedImage() const { return focused_image_; }
  void SetFocusedImage(const wchar_t* image);
  const CUiString& GetSepImage() const { return sep_image_; }
  void SetSepImage(const wchar_t* image);
  int GetScale() const { return scale_; }
  void SetScale(int scale) { scale_ = scale; }
  UINT GetButtonState() const { return state_; }
  // The separator strip: at the right edge for a width >= 0, else at the left.
  RECT GetSeparatorRect() const;

 protected:
  // The notification a click outside the separator strip sends; the extended
  // list's column names it differently.
  virtual const wchar_t* ClickNotification() const { return L"headerclick"; }

 private:
  // The separator strip widened by 4 pixels into the item: where a press drags.
  RECT GetDragRect() const;

  POINT last_mouse_{};
  bool dragable_ = true;
  UINT state_ = 0;
  int sep_width_ = 4;
  DWORD text_color_ = 0;
  int font_ = -1;
  UINT text_style_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  bool show_html_ = false;
  RECT text_padding_{2, 0, 2, 0};
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString pushed_image_;
  CUiString focused_image_;
  CUiString sep_image_;
  CUiString sep_image_modify_;
  int scale_ = 0;
};

}  // namespace SkinUI
