// A button with a selected state: alone it toggles like a switch, in a named
// group (kept by the paint manager) it behaves like a radio button.
#pragma once

#include "ui_toolkit/controls/button.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
 public:
  COptionUI();
  ~COptionUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  bool Activate() override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintBackgroundColor(HDC dc) override;
  void PaintStateImage(HDC dc) override;
  void PaintForegroundImage(HDC dc) override;
  void PaintText(HDC dc) override;
  virtual const CUiString& GetSelectedStateImage() const { return selected_state_image_; }
  virtual void SetSelectedStateImage(const wchar_t* description);
  virtual void Selected(bool selected, bool notify = true);

  bool IsSelected() const { return selected_; }
  const CUiString& GetGroupName() const { return group_; }
  void SetGroupName(const wchar_t* group);
  const CUiString& GetGroupType() const { return group_type_; }
  void SetGroupType(const wchar_t* type);
  int GetSelectedFont() const { return selected_font_; }
  const CUiString& GetSelectedImage() const { return selected_image_; }
  const CUiString& GetSelectedHotImage() const { return selected_hot_image_; }
  const CUiString& GetSelectedPushedImage() const { return selected_pushed_image_; }

 protected:
  void SplitSelectedStateImage();

  bool selected_ = false;
  CUiString group_;
  CUiString group_type_;
  int selected_font_ = -1;
  DWORD selected_bk_color_ = 0;
  DWORD selected_text_color_ = 0;
  CUiString selected_image_;
  CUiString selected_hot_image_;
  CUiString selected_pushed_image_;
  CUiString selected_fore_image_;
  int selected_state_count_ = 0;
  CUiString selected_state_image_;
};

}  // namespace SkinUI
