#include "ui_toolkit/controls/button.h"

#include <cwchar>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CButtonUI::CButtonUI() { text_style_ = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }
CButtonUI::~CButtonUI() = default;

const wchar_t* CButtonUI::GetClassName() const { return L"ButtonUI"; }

void* CButtonUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Button")) return static_cast<CButtonUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CButtonUI::GetControlFlags() const {
  return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0);
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (manager_ != nullptr) {
    manager_->SendNotify(this, L"click");
    BindTriggerTabSel(-1);
  }
  return true;
}

void CButtonUI::BindTriggerTabSel(int index) {
  if (bind_tab_layout_.IsEmpty() || (index < 0 && bind_tab_index_ < 0) || manager_ == nullptr) return;
  CControlUI* control = manager_->FindControlByName(bind_tab_layout_.GetData());
  // Only a tab layout answers "TabLayout"; any other control of that name is left alone.
  if (control == nullptr || control->QueryInterfaceByName(L"TabLayout") == nullptr) return;
  CUiString value;
  value.Format(L"%d", index >= 0 ? index : bind_tab_index_);
  control->SetAttribute(L"selectedid", value.GetData());
}

void CButtonUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (IsEnabled()) {
    button_state_ &= ~UISTATE_DISABLED;
  } else {
    button_state_ |= UISTATE_DISABLED;
  }
}

void CButtonUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
      return;
    }
  }
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      Invalidate();
      break;
    case UIEVENT_KEYDOWN:
      if (IsKeyboardEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) {
        Activate();
        return;
      }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (::PtInRect(&pos_, event.ptMouse) && IsEnabled()) {
        button_state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"buttondown");
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if ((button_state_ & UISTATE_CAPTURED) != 0) {
        if (::PtInRect(&pos_, event.ptMouse)) {
          button_state_ |= UISTATE_PUSHED;
        } else {
          button_state_ &= ~UISTATE_PUSHED;
        }
        Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if ((button_state_ & UISTATE_CAPTURED) != 0) {
        button_state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        if (::PtInRect(&pos_, event.ptMouse)) Activate();
      }
      return;
    case UIEVENT_CONTEXTMENU:
      if (IsContextMenuUsed() && manager_ != nullptr) {
        manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        button_state_ |= UISTATE_HOT;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseenter");
      }
      break;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled()) {
        button_state_ &= ~UISTATE_HOT;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseleave");
      }
      break;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

namespace {
void SetDescription(CControlUI* control, CUiString& field, const wchar_t* value) {
  field = value;
  control->Invalidate();
}
}  // namespace

void CButtonUI::SetNormalImage(const wchar_t* d) { SetDescription(this, normal_image_, d); }
void CButtonUI::SetHotImage(const wchar_t* d) { SetDescription(this, hot_image_, d); }
void CButtonUI::SetPushedImage(const wchar_t* d) { SetDescription(this, pushed_image_, d); }
void CButtonUI::SetFocusedImage(const wchar_t* d) { SetDescription(this, focused_image_, d); }
void CButtonUI::SetDisabledImage(const wchar_t* d) { SetDescription(this, disabled_image_, d); }
void CButtonUI::SetHotForeImage(const wchar_t* d) { SetDescription(this, hot_fore_image_, d); }
void CButtonUI::SetPushedForeImage(const wchar_t* d) { SetDescription(this, pushed_fore_image_, d); }
void CButtonUI::SetStateImage(const wchar_t* d) {
  normal_image_.Empty();
  SetDescription(this, state_image_, d);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"normalimage")) {
    SetNormalImage(value);
  } else if (Equals(name, L"hotimage")) {
    SetHotImage(value);
  } else if (Equals(name, L"pushedimage")) {
    SetPushedImage(value);
  } else if (Equals(name, L"focusedimage")) {
    SetFocusedImage(value);
  } else if (Equals(name, L"disabledimage")) {
    SetDisabledImage(value);
  } else if (Equals(name, L"hotforeimage")) {
    SetHotForeImage(value);
  } else if (Equals(name, L"pushedforeimage")) {
    SetPushedForeImage(value);
  } else if (Equals(name, L"stateimage")) {
    SetStateImage(value);
  } else if (Equals(name, L"statecount")) {
    state_count_ = attr::ParseInt(value);
    Invalidate();
  } else if (Equals(name, L"bindtabindex")) {
    const int index = attr::ParseInt(value);
    if (index >= 0) bind_tab_index_ = index;
  } else if (Equals(name, L"bindtablayoutname")) {
    bind_tab_layout_ = value;
  } else if (Equals(name, L"hotbkcolor")) {
    hot_bk_color_ = attr::ParseColor(value);
    Invalidate();
  } else if (Equals(name, L"pushedbkcolor")) {
    pushed_bk_color_ = attr::ParseColor(value);
    Invalidate();
  } else if (Equals(name, L"disabledbkcolor")) {
    disabled_bk_color_ = attr::ParseColor(value);
    Invalidate();
  } else if (Equals(name, L"hottextcolor")) {
    hot_text_color_ = attr::ParseColor(value);
  } else if (Equals(name, L"pushedtextcolor")) {
    pushed_text_color_ = attr::ParseColor(value);
  } else if (Equals(name, L"focusedtextcolor")) {
    focused_text_color_ = attr::ParseColor(value);
  } else if (wcscmp(name, L"hotbordercolor") == 0 || wcscmp(name, L"pushedbordercolor") == 0 ||
             wcscmp(name, L"disabledbordercolor") == 0) {
    DWORD& field = name[0] == L'h' ? hot_border_color_ : (name[0] == L'p' ? pushed_border_color_
                                                                          : disabled_border_color_);
    const DWORD color = attr::ParseColor(value);
    if (field != color) {
      field = color;
      Invalidate();
    }
  } else if (Equals(name, L"hotfont")) {
    hot_font_ = attr::ParseInt(value);
    Invalidate();
  } else if (Equals(name, L"pushedfont")) {
    pushed_font_ = attr::ParseInt(value);
    Invalidate();
  } else if (Equals(name, L"focuedfont")) {
    focused_font_ = attr::ParseInt(value);
    Invalidate();
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::PaintBackgroundColor(HDC dc) {
  DWORD color = 0;
  if ((button_state_ & UISTATE_DISABLED) != 0) {
    color = disabled_bk_color_;
  } else if ((button_state_ & UISTATE_PUSHED) != 0) {
    color = pushed_bk_color_;
  } else if ((button_state_ & UISTATE_HOT) != 0) {
    color = hot_bk_color_;
  }
  if (color != 0) {
    CUiDrawEngine::FillColor(dc, paint_rect_, AdjustColorByHsl(color));
    return;
  }
  CLabelUI::PaintBackgroundColor(dc);
}

void CButtonUI::SplitStateImage() {
  if (state_image_.IsEmpty() || state_count_ <= 0 || !normal_image_.IsEmpty() || manager_ == nullptr) return;
  ImageDrawSpecUI* spec = manager_->GetImageDrawSpec(state_image_.GetData());
  if (spec == nullptr) return;
  ImageRecordUI* image = manager_->GetOrAddImage(spec->sImageName.GetData(), spec->sResType.GetData(), spec->dwMask,
                                                 spec->bHSL, spec->bGdiplus);
  if (image == nullptr || image->nX <= 0 || image->nY <= 0) return;
  const int w = image->nX / state_count_;
  const int h = image->nY;
  const RECT& d = spec->rcDest;
  auto cell = [&](int i) {
    CUiString text;
    text.Format(L"res='%s' restype='%s' dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", spec->sImageName.GetData(),
                spec->sResType.GetData(), d.left, d.top, d.right, d.bottom, i * w, 0, i * w + w, h);
    return text;
  };
  normal_image_ = cell(0);
  if (state_count_ > 1) {
    hot_image_ = cell(1);
    pushed_image_ = cell(1);
  }
  if (state_count_ > 2) pushed_image_ = cell(2);
  if (state_count_ > 3) disabled_image_ = cell(3);
}

void CButtonUI::RefreshStateFlags() {
  if (IsFocused()) {
    button_state_ |= UISTATE_FOCUSED;
  } else {
    button_state_ &= ~UISTATE_FOCUSED;
  }
  if (IsEnabled()) {
    button_state_ &= ~UISTATE_DISABLED;
  } else {
    button_state_ |= UISTATE_DISABLED;
  }
  if (manager_ != nullptr && !::IsWindowEnabled(manager_->GetPaintWindow())) button_state_ &= UISTATE_DISABLED;
}

void CButtonUI::PaintStateImage(HDC dc) {
  SplitStateImage();
  RefreshStateFlags();
  const CUiString* image = nullptr;
  if ((button_state_ & UISTATE_DISABLED) != 0) {
    image = &disabled_image_;
  } else if ((button_state_ & UISTATE_PUSHED) != 0) {
    image = &pushed_image_;
  } else if ((button_state_ & UISTATE_HOT) != 0) {
    image = &hot_image_;
  } else if ((button_state_ & UISTATE_FOCUSED) != 0) {
    image = &focused_image_;
  }
  if (image != nullptr && !image->IsEmpty() && DrawImage(dc, image->GetData())) return;
  if (!normal_image_.IsEmpty()) DrawImage(dc, normal_image_.GetData());
}

void CButtonUI::PaintForegroundImage(HDC dc) {
  const CUiString* image = nullptr;
  if ((button_state_ & UISTATE_PUSHED) != 0) {
    image = &pushed_fore_image_;
  } else if ((button_state_ & UISTATE_HOT) != 0) {
    image = &hot_fore_image_;
  }
  if (image != nullptr && !image->IsEmpty() && DrawImage(dc, image->GetData())) return;
  if (!fore_image_.IsEmpty()) DrawImage(dc, fore_image_.GetData());
}

void CButtonUI::PaintStateText(HDC dc, DWORD color, int font) {
  const CUiString text = GetText();
  if (text.IsEmpty()) return;
  RECT rc = pos_;
  const RECT pad = GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  if ((button_state_ & UISTATE_PUSHED) != 0 && pushed_text_color_ != 0) {
    color = pushed_text_color_;
  } else if ((button_state_ & UISTATE_HOT) != 0 && hot_text_color_ != 0) {
    color = hot_text_color_;
  } else if ((button_state_ & UISTATE_FOCUSED) != 0 && focused_text_color_ != 0) {
    color = focused_text_color_;
  }
  if ((button_state_ & UISTATE_PUSHED) != 0 && pushed_font_ != -1) {
    font = pushed_font_;
  } else if ((button_state_ & UISTATE_HOT) != 0 && hot_font_ != -1) {
    font = hot_font_;
  } else if ((button_state_ & UISTATE_FOCUSED) != 0 && focused_font_ != -1) {
    font = focused_font_;
  }
  DrawLabelText(dc, rc, text, color, font, text_style_);
}

void CButtonUI::PaintText(HDC dc) {
  RefreshStateFlags();
  ResolveDefaultColors();
  PaintStateText(dc, IsEnabled() ? text_color_ : disabled_text_color_, font_);
}

void CButtonUI::PaintBorder(HDC dc) {
  DWORD color = 0;
  if ((button_state_ & UISTATE_DISABLED) != 0) {
    color = disabled_border_color_;
  } else if ((button_state_ & UISTATE_PUSHED) != 0) {
    color = pushed_border_color_;
  } else if ((button_state_ & UISTATE_HOT) != 0) {
    color = hot_border_color_;
  }
  if (color == 0) {
    CLabelUI::PaintBorder(dc);
    return;
  }
  color = AdjustColorByHsl(color);
  const int size = GetBorderSizeScaled();
  const SIZE round = GetBorderRoundScaled();
  const RECT sides = GetBorderRectScaled();
  if (size >= 1 && (round.cx >= 1 || round.cy >= 1)) {
    CUiDrawEngine::DrawRoundRect(dc, pos_, size, round.cx, round.cy, color, border_style_);
  } else if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0) {
    if (sides.left > 0) CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.top, pos_.left, pos_.bottom}, sides.left, color, border_style_);
    if (sides.top > 0) CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.top, pos_.right, pos_.top}, sides.top, color, border_style_);
    if (sides.right > 0) CUiDrawEngine::DrawLine(dc, RECT{pos_.right - 1, pos_.top, pos_.right - 1, pos_.bottom}, sides.right, color, border_style_);
    if (sides.bottom > 0) CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.bottom - 1, pos_.right, pos_.bottom - 1}, sides.bottom, color, border_style_);
  } else if (size >= 1) {
    CUiDrawEngine::DrawRect(dc, pos_, size, color, border_style_);
  }
}

}  // namespace SkinUI
