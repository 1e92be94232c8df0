#include "ui_toolkit/controls/list_container_header_item.h"

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

const wchar_t* CListContainerHeaderItemUI::GetClassName() const { return L"ListContainerHeaderItemUI"; }

void* CListContainerHeaderItemUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListContainerHeaderItem")) return static_cast<CListContainerHeaderItemUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

RECT CListContainerHeaderItemUI::GetCheckBoxRect() const {
  return box_.BoxIn(pos_, ScaleValue(box_.width), ScaleValue(box_.height));
}

void CListContainerHeaderItemUI::SetCheck(bool check) {
  if (box_.checked == check) return;
  box_.checked = check;
  if (check) {
    box_.state |= UISTATE_SELECTED;
  } else {
    box_.state &= ~UISTATE_SELECTED;
  }
  Invalidate();
}

void CListContainerHeaderItemUI::HandleCheckBoxEvent(ControlEventUI& event) {
  const RECT box = GetCheckBoxRect();
  const bool inside = ::PtInRect(&box, event.ptMouse) != FALSE;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (!inside) return;
      box_.state |= UISTATE_PUSHED | UISTATE_CAPTURED;
      break;
    case UIEVENT_MOUSEMOVE: {
      const UINT bit = (box_.state & UISTATE_CAPTURED) != 0 ? UISTATE_PUSHED : UISTATE_HOT;
      if (inside) {
        box_.state |= bit;
      } else {
        box_.state &= ~bit;
      }
      break;
    }
    case UIEVENT_BUTTONUP:
      if ((box_.state & UISTATE_CAPTURED) == 0) return;
      if (inside) {
        SetCheck(!box_.checked);
        if (parent_ != nullptr && manager_ != nullptr) {
          auto* header = static_cast<CContainerUI*>(parent_->QueryInterfaceByName(L"Container"));
          const int index = header != nullptr ? header->GetItemIndex(this) : -1;
          manager_->SendNotify(this, L"listheaditemchecked", static_cast<WPARAM>(index), box_.checked ? 1 : 0);
        }
      }
      box_.state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
      break;
    case UIEVENT_MOUSEENTER:
      if (!inside) return;
      box_.state |= UISTATE_HOT;
      break;
    case UIEVENT_MOUSELEAVE:
      box_.state &= ~UISTATE_HOT;
      break;
    default:
      return;
  }
  Invalidate();
}

void CListContainerHeaderItemUI::HandleEvent(ControlEventUI& event) {
  if (checkable_) HandleCheckBoxEvent(event);
  CListHeaderItemUI::HandleEvent(event);
}

void CListContainerHeaderItemUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"editable")) {
    SetEditable(attr::IsTrue(value));
  } else if (Equals(name, L"comboable")) {
    SetComboable(attr::IsTrue(value));
  } else if (Equals(name, L"checkable")) {
    SetCheckable(attr::IsTrue(value));
  } else if (box_.SetAttribute(name, value)) {
    // stored without a repaint
  } else if (Equals(name, L"scale")) {
    // The extended header has no scaled columns.
    CContainerUI::SetAttribute(name, value);
  } else {
    CListHeaderItemUI::SetAttribute(name, value);
  }
}

void CListContainerHeaderItemUI::PaintStateImage(HDC dc) {
  CListHeaderItemUI::PaintStateImage(dc);
  if (!checkable_) return;
  box_.Paint(dc, this, GetCheckBoxRect(), paint_rect_, IsFocused(), IsEnabled());
}

void CListContainerHeaderItemUI::PaintText(HDC dc) {
  DWORD color = GetTextColor();
  if (color == 0 && manager_ != nullptr) {
    color = manager_->GetDefaultTextColor();
    SetTextColor(color);
  }
  const RECT padding = GetTextPadding();
  RECT rc{pos_.left + padding.left, pos_.top + padding.top, pos_.right - padding.right, pos_.bottom - padding.bottom};
  if (checkable_) rc.left += ScaleValue(box_.width);
  const CUiString text = GetText();
  if (text.IsEmpty()) return;
  const UINT style = GetTextStyle() | DT_SINGLELINE;
  if (IsShowHtml()) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager_, rc, text.GetData(), color, nullptr, nullptr, links, GetFont(), style);
  } else {
    CUiDrawEngine::DrawText(dc, manager_, rc, text.GetData(), color, GetFont(), style);
  }
}

}  // namespace SkinUI
