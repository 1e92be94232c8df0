#include "ui_toolkit/controls/combo_box.h"

#include <cwchar>

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CComboBoxUI::~CComboBoxUI() = default;

const wchar_t* CComboBoxUI::GetClassName() const { return L"ComboBoxUI"; }

void CComboBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"arrowimage")) {
    SetArrowImage(value);
  } else {
    CComboUI::SetAttribute(name, value);
  }
}

void CComboBoxUI::PaintStateImage(HDC dc) {
  if (arrow_image_.IsEmpty()) {
    CComboUI::PaintStateImage(dc);
    return;
  }
  UpdateFocusAndDisabledBits();
  int index = 0;
  if (state_ & UISTATE_DISABLED) {
    index = 4;
  } else if (state_ & UISTATE_PUSHED) {
    index = 2;
  } else if (state_ & UISTATE_HOT) {
    index = 1;
  } else if (state_ & UISTATE_FOCUSED) {
    index = 3;
  }
  // The strip's source rectangle: "source='l,t,r,b'".
  const int key = arrow_image_.Find(L"source");
  if (key < 0) return;
  const int open = key + 7;
  if (open >= arrow_image_.GetLength() || arrow_image_[open] != L'\'') return;
  const int close = arrow_image_.FindChar(L'\'', open + 1);
  if (close < 0) return;
  long n[4]{};
  attr::ParseInts(arrow_image_.Mid(open + 1, close - open - 1), n, 4);
  arrow_width_ = static_cast<int>((n[2] - n[0]) / 5);
  const RECT source{n[0] + index * arrow_width_, n[1], n[0] + (index + 1) * arrow_width_, n[3]};
  const int border = GetBorderSizeScaled();
  RECT dest{border, border, pos_.right - pos_.left - border, pos_.bottom - pos_.top - border};
  dest.left = dest.right - arrow_width_;
  CUiString placed;
  placed.FormatBounded(L"source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", source.left, source.top, source.right,
                       source.bottom, dest.left, dest.top, dest.right, dest.bottom);
  const CUiString modifier = arrow_image_.Left(key) + placed + arrow_image_.Mid(close + 1);
  DrawImage(dc, arrow_image_, modifier);
}

void CComboBoxUI::PaintText(HDC dc) {
  RECT rc = pos_;
  rc.left += text_padding_.left;
  rc.top += text_padding_.top;
  rc.right -= text_padding_.right + arrow_width_;
  rc.bottom -= text_padding_.bottom;
  if (cur_sel_ < 0) return;
  CControlUI* control = GetItemAt(cur_sel_);
  if (control == nullptr) return;
  if (auto* item = static_cast<IListItemUI*>(control->QueryInterfaceByName(L"ListItem"))) {
    item->DrawItemText(dc, rc);
    return;
  }
  const RECT old = control->GetPos();
  control->SetPos(rc, true);
  control->PaintContent(dc, rc, nullptr);
  control->SetPos(old, true);
}

}  // namespace SkinUI
