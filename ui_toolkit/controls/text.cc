#include "ui_toolkit/controls/text.h"

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CTextUI::CTextUI() {
  text_style_ = DT_WORDBREAK;
  text_padding_ = RECT{2, 0, 2, 0};
}

CTextUI::~CTextUI() = default;

const wchar_t* CTextUI::GetClassName() const { return L"TextUI"; }

void* CTextUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Text")) return static_cast<CTextUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CTextUI::GetControlFlags() const { return IsEnabled() && link_count_ > 0 ? UIFLAG_SETCURSOR : 0; }

const CUiString* CTextUI::GetLinkContent(int index) const {
  if (index < 0 || index >= link_count_) return nullptr;
  return &link_texts_[index];
}

RECT CTextUI::GetLinkRect(int index) const {
  if (index < 0 || index >= link_count_) return RECT{};
  return links_[index];
}

int CTextUI::LinkAt(POINT pt) const {
  for (int i = 0; i < link_count_; ++i) {
    if (::PtInRect(&links_[i], pt)) return i;
  }
  return -1;
}

void CTextUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  const int link = LinkAt(event.ptMouse);
  switch (event.Type) {
    case UIEVENT_SETCURSOR:
      if (link >= 0) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
      }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled() && link >= 0) {
        Invalidate();
        return;
      }
      break;
    case UIEVENT_BUTTONUP:
      if (IsEnabled() && link >= 0) {
        if (manager_ != nullptr) manager_->SendNotify(this, L"link", static_cast<WPARAM>(link), 0);
        return;
      }
      break;
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_MOUSEMOVE:
      if (IsEnabled() && link_count_ > 0) {
        if (link != hovered_link_) {
          hovered_link_ = link;
          Invalidate();
        }
        return;
      }
      break;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled() && link_count_ > 0 && hovered_link_ != -1) {
        hovered_link_ = -1;
        Invalidate();
      }
      break;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

SIZE CTextUI::MeasureSize(SIZE available) {
  if (manager_ == nullptr) return CControlUI::MeasureSize(available);
  const RECT pad = GetTextPadding();
  const int right = auto_calc_width_ ? 9999 : ScaleValue(fixed_size_.cx);
  RECT rc{pad.left, 0, right - pad.right, 9999};
  const CUiString text = GetText();
  const UINT style = text_style_ | DT_CALCRECT;
  if (show_html_) {
    // Measuring must not disturb the link rectangles of the last paint.
    RECT scratch[kMaxLinks]{};
    CUiString scratch_texts[kMaxLinks];
    int count = kMaxLinks;
    CUiDrawEngine::DrawHtmlText(manager_->GetPaintDC(), manager_, rc, text.GetData(), 0, scratch, scratch_texts,
                                count, font_, style);
  } else {
    CUiDrawEngine::DrawText(manager_->GetPaintDC(), manager_, rc, text.GetData(), 0, font_, style);
  }
  if (auto_calc_width_) {
    const int measured = (rc.right - rc.left) + pad.left + pad.right;
    fixed_size_.cx = ::MulDiv(measured, 100, manager_->GetDpiHelper()->GetScale());
  }
  return CControlUI::MeasureSize(available);
}

void CTextUI::PaintText(HDC dc) {
  const CUiString text = GetText();
  if (text.IsEmpty()) {
    link_count_ = 0;
    return;
  }
  ResolveDefaultColors();
  const DWORD color = IsEnabled() ? text_color_ : disabled_text_color_;
  RECT rc = pos_;
  const RECT pad = GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  link_count_ = kMaxLinks;
  if (show_html_) {
    CUiDrawEngine::DrawHtmlText(dc, manager_, rc, text.GetData(), color, links_, link_texts_, link_count_, font_,
                                text_style_);
  } else {
    // Plain text has no links: rectangles of an earlier marked-up text must
    // not stay clickable where nothing is drawn any more.
    link_count_ = 0;
    hovered_link_ = -1;
    CUiDrawEngine::DrawText(dc, manager_, rc, text.GetData(), color, font_, text_style_);
  }
}

}  // namespace SkinUI
