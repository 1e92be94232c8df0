// A label that reacts to the mouse and keyboard: a small state (focused,
// disabled, hot, pushed, captured), per-state images, colours and fonts, a
// "click" when activated, and an optional bound tab layout.
#pragma once

#include "ui_toolkit/controls/label.h"

namespace SkinUI {

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  ~CButtonUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintBackgroundColor(HDC dc) override;
  void PaintStateImage(HDC dc) override;
  void PaintForegroundImage(HDC dc) override;
  void PaintText(HDC dc) override;
  void PaintBorder(HDC dc) override;

  virtual const CUiString& GetNormalImage() const { return normal_image_; }
  virtual void SetNormalImage(const wchar_t* description);
  virtual const CUiString& GetHotImage() const { return hot_image_; }
  virtual void SetHotImage(const wchar_t* description);
  virtual const CUiString& GetPushedImage() const { return pushed_image_; }
  virtual void SetPushedImage(const wchar_t* description);
  virtual const CUiString& GetFocusedImage() const { return focused_image_; }
  virtual void SetFocusedImage(const wchar_t* description);
  virtual const CUiString& GetDisabledImage() const { return disabled_image_; }
  virtual void SetDisabledImage(const wchar_t* description);
  virtual const CUiString& GetHotForeImage() const { return hot_fore_image_; }
  virtual void SetHotForeImage(const wchar_t* description);
  virtual const CUiString& GetPushedForeImage() const { return pushed_fore_image_; }
  virtual void SetPushedForeImage(const wchar_t* description);
  virtual const CUiString& GetStateImage() const { return state_image_; }
  virtual void SetStateImage(const wchar_t* description);

  void BindTriggerTabSel(int index = -1);
  UINT GetButtonState() const { return button_state_; }
  int GetHotFont() const { return hot_font_; }
  int GetPushedFont() const { return pushed_font_; }
  int GetFocusedFont() const { return focused_font_; }
  DWORD GetHotTextColor() const { return hot_text_color_; }
  DWORD GetPushedTextColor() const { return pushed_text_color_; }
  DWORD GetFocusedTextColor() const { return focused_text_color_; }
  int GetBindTabIndex() const { return bind_tab_index_; }
  const CUiString& GetBindTabLayoutName() const { return bind_tab_layout_; }
  int GetStateCount() const { return state_count_; }

 protected:
  // Cuts a state strip into cell descriptions (normal, hot, pushed, disabled).
  void SplitStateImage();
  void RefreshStateFlags();
  // Text colour and font of the current state, on top of |color| and |font|.
  void PaintStateText(HDC dc, DWORD color, int font);

  UINT button_state_ = 0;
  int hot_font_ = -1;
  int pushed_font_ = -1;
  int focused_font_ = -1;
  DWORD hot_bk_color_ = 0;
  DWORD pushed_bk_color_ = 0;
  DWORD disabled_bk_color_ = 0;
  DWORD hot_text_color_ = 0;
  DWORD pushed_text_color_ = 0;
  DWORD focused_text_color_ = 0;
  DWORD hot_border_color_ = 0;
  DWORD pushed_border_color_ = 0;
  DWORD disabled_border_color_ = 0;
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString hot_fore_image_;
  CUiString pushed_image_;
  CUiString pushed_fore_image_;
  CUiString focused_image_;
  CUiString disabled_image_;
  int state_count_ = 0;
  CUiString state_image_;
  int bind_tab_index_ = -1;
  CUiString bind_tab_layout_;
};

}  // namespace SkinUI
