#include "ui_toolkit/controls/ip_address_ex.h"

#include <algorithm>
#include <cwchar>

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {
constexpr COLORREF kActiveBack = RGB(51, 153, 255);

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

bool DigitOf(WPARAM key, wchar_t* digit) {
  if (key >= '0' && key <= '9') {
    *digit = static_cast<wchar_t>(key);
    return true;
  }
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
    *digit = static_cast<wchar_t>(L'0' + (key - VK_NUMPAD0));
    return true;
  }
  return false;
}
}  // namespace

CIPAddressExUI::CIPAddressExUI() {
  SetReadOnly(true);
  UpdateText();
}

CIPAddressExUI::~CIPAddressExUI() = default;

const wchar_t* CIPAddressExUI::GetClassName() const { return L"IPAddressExUI"; }

void* CIPAddressExUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"IPAddress") == 0) return static_cast<CIPAddressExUI*>(this);
  return CEditUI::QueryInterfaceByName(name);
}

void CIPAddressExUI::UpdateText() {
  CUiString text;
  text.Format(L"%d.%d.%d.%d", octets_[0], octets_[1], octets_[2], octets_[3]);
  SetText(text.GetData());
}

// The typed digits as the active octet's value, held to 0..255.
void CIPAddressExUI::SetActiveOctet(int value) {
  if (active_ < 1 || active_ > 4) return;
  octets_[active_ - 1] = std::clamp(value, 0, 255);
}

void CIPAddressExUI::CommitBuffer() {
  if (buffer_.IsEmpty()) return;
  SetActiveOctet(static_cast<int>(std::wcstol(buffer_.GetData(), nullptr, 10)));
  buffer_.Empty();
}

void CIPAddressExUI::HandleEvent(ControlEventUI& event) {
  const bool enabled = IsEnabled();
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_SCROLLWHEEL:
    case UIEVENT_KEYDOWN:
      if (!enabled) return;
      break;
    default:
      break;
  }
  switch (event.Type) {
    case UIEVENT_KILLFOCUS:
      if (enabled) {
        CommitBuffer();
        active_ = 0;
        Invalidate();
      }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_DBLCLICK: {
      buffer_.Empty();
      const int quarter = (pos_.right - pos_.left) / 4;
      const int x = event.ptMouse.x - pos_.left;
      if (x <= quarter) {
        active_ = 1;
      } else if (x <= quarter * 2) {
        active_ = 2;
      } else if (x <= quarter * 3) {
        active_ = 3;
      } else {
        active_ = 4;
      }
      UpdateText();
      break;
    }
    case UIEVENT_SCROLLWHEEL:
      // Without an octet being edited there is nothing to step.
      if (active_ >= 1) {
        const int value = octets_[active_ - 1];
        SetActiveOctet(LOWORD(event.wParam) == 0 ? std::min(value + 1, 255) : std::max(value - 1, 0));
        UpdateText();
      }
      break;
    case UIEVENT_KEYDOWN: {
      const WPARAM key = event.chKey;
      wchar_t digit = 0;
      if (key == VK_DELETE || key == VK_BACK) {
        SetActiveOctet(0);
        buffer_.Empty();
        UpdateText();
      } else if (active_ >= 1 && DigitOf(key, &digit)) {
        last_char_ = digit;
        const wchar_t typed[2] = {digit, 0};
        buffer_ += typed;
        SetActiveOctet(static_cast<int>(std::wcstol(buffer_.GetData(), nullptr, 10)));
        if (buffer_.GetLength() >= 3) {
          active_ = std::min(active_ + 1, 4);
          buffer_.Empty();
        }
        UpdateText();
      } else if (key == VK_LEFT) {
        if (active_ >= 2) {
          CommitBuffer();
          --active_;
          UpdateText();
        }
      } else if (key == VK_RIGHT || key == VK_DECIMAL || key == VK_OEM_PERIOD) {
        if (active_ >= 1 && active_ <= 3) {
          CommitBuffer();
          ++active_;
          UpdateText();
        }
      } else if (key == VK_UP || key == VK_DOWN) {
        if (active_ >= 1) {
          buffer_.Empty();
          const int value = octets_[active_ - 1];
          SetActiveOctet(key == VK_UP ? std::min(value + 1, 255) : std::max(value - 1, 0));
          UpdateText();
        }
      }
      break;
    }
    default:
      break;
  }
  // Never the edit's own handling: no native edit window is opened.
  CLabelUI::HandleEvent(event);
}

void CIPAddressExUI::PaintText(HDC dc) {
  ResolveDefaultColors();
  if (GetText().IsEmpty() || manager_ == nullptr) return;
  HGDIOBJ old_font = ::SelectObject(dc, manager_->GetFontById(font_));
  const int old_mode = ::GetBkMode(dc);
  const COLORREF old_back = ::GetBkColor(dc);
  const COLORREF old_text = ::GetTextColor(dc);
  const RECT pad = GetTextPadding();
  const int left = pos_.left + pad.left;
  const int right = pos_.right - pad.right;
  const int top = pos_.top + pad.top;
  const int bottom = pos_.bottom - pad.bottom;
  const int quarter = (right - left) / 4;
  const UINT style = text_style_ | DT_SINGLELINE | DT_NOPREFIX;
  const COLORREF text_color = ToColorRef(IsEnabled() ? text_color_ : disabled_text_color_);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, text_color);
  for (int n = 1; n <= 3; ++n) {
    RECT dot{left + n * quarter, top, left + (n + 1) * quarter, bottom};
    ::DrawTextW(dc, L".", 1, &dot, style);
  }
  const bool all_zero = octets_[0] == 0 && octets_[1] == 0 && octets_[2] == 0 && octets_[3] == 0;
  if (!(all_zero && active_ == 0)) {
    for (int n = 1; n <= 4; ++n) {
      wchar_t digits[8];
      std::swprintf(digits, 8, L"%d", octets_[n - 1]);
      const int x = left + (right - left) / 8 + (n - 1) * quarter;
      RECT cell{x, top, x + quarter, bottom};
      if (n == active_ && IsEnabled()) {
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, kActiveBack);
        ::SetTextColor(dc, RGB(255, 255, 255));
      } else {
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, text_color);
      }
      ::DrawTextW(dc, digits, -1, &cell, style);
    }
  }
  ::SetTextColor(dc, old_text);
  ::SetBkColor(dc, old_back);
  ::SetBkMode(dc, old_mode);
  ::SelectObject(dc, old_font);
}

}  // namespace SkinUI
