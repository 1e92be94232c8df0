// A multi-line label whose marked-up text may carry clickable links: it
// remembers where each link was drawn, shows the hand over links, highlights
// the hovered one and reports a click on a link as "link".
#pragma once

#include "ui_toolkit/controls/label.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
 public:
  static constexpr int kMaxLinks = 8;

  CTextUI();
  ~CTextUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void HandleEvent(ControlEventUI& event) override;
  SIZE MeasureSize(SIZE available) override;
  void PaintText(HDC dc) override;

  int GetLinkCount() const { return link_count_; }
  // The target of link |index|, or null outside 0..GetLinkCount()-1.
  const CUiString* GetLinkContent(int index) const;
  RECT GetLinkRect(int index) const;
  int GetHoveredLink() const { return hovered_link_; }

 private:
  int LinkAt(POINT pt) const;

  int link_count_ = 0;
  RECT links_[kMaxLinks]{};
  CUiString link_texts_[kMaxLinks];
  int hovered_link_ = -1;
};

}  // namespace SkinUI
