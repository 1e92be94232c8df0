// The attribute vocabulary of the control base and the attribute-list text
// format that styles and default lists are written in.
#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace attr {

bool IsTrue(const wchar_t* value) { return value != nullptr && _wcsicmp(value, L"true") == 0; }

int ParseInt(const wchar_t* value) {
  if (value == nullptr) return 0;
  return static_cast<int>(wcstol(value, nullptr, 10));
}

DWORD ParseColor(const wchar_t* value) {
  if (value == nullptr) return 0;
  if (*value == L'#') ++value;
  if (value[0] == L'0' && (value[1] == L'x' || value[1] == L'X')) value += 2;
  DWORD color = 0;
  for (; iswxdigit(*value); ++value) {
    const wchar_t c = *value;
    const DWORD digit = (c >= L'0' && c <= L'9') ? c - L'0' : (towlower(c) - L'a' + 10);
    color = (color << 4) | digit;
  }
  return color;
}

int ParseInts(const wchar_t* value, long* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = 0;
  if (value == nullptr) return 0;
  const wchar_t* p = value;
  int read = 0;
  for (; read < count; ++read) {
    if (*p == L'\0') break;
    wchar_t* end = nullptr;
    out[read] = wcstol(p, &end, 10);
    p = end;
    // Exactly one separator follows a number; never step over the terminator.
    if (*p == L'\0') {
      ++read;
      break;
    }
    ++p;
  }
  return read;
}

RECT ParseRect(const wchar_t* value) {
  long v[4];
  ParseInts(value, v, 4);
  return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const wchar_t* value) {
  long v[2];
  ParseInts(value, v, 2);
  return SIZE{v[0], v[1]};
}

bool Equals(const wchar_t* a, const wchar_t* b) {
  return a != nullptr && b != nullptr && _wcsicmp(a, b) == 0;
}

bool Contains(const wchar_t* text, const wchar_t* word) {
  return text != nullptr && wcsstr(text, word) != nullptr;
}

}  // namespace attr

namespace {

// Styles may name styles; a skin whose styles name each other in a circle
// would otherwise recurse until the stack runs out.
constexpr int kMaxStyleDepth = 16;
thread_local int g_style_depth = 0;

struct StyleDepthGuard {
  StyleDepthGuard() { ++g_style_depth; }
  ~StyleDepthGuard() { --g_style_depth; }
  StyleDepthGuard(const StyleDepthGuard&) = delete;
  StyleDepthGuard& operator=(const StyleDepthGuard&) = delete;
};

DWORD ParseColorSkippingBlanks(const wchar_t* value) {
  while (value != nullptr && *value != L'\0' && *value <= L' ') ++value;
  return attr::ParseColor(value);
}

struct CursorKeyword {
  const wchar_t* name;
  WORD id;
};
constexpr CursorKeyword kCursors[] = {
    {L"arrow", 32512}, {L"ibeam", 32513},    {L"wait", 32514},     {L"cross", 32515},  {L"uparrow", 32516},
    {L"size", 32640},  {L"icon", 32641},     {L"sizenwse", 32642}, {L"sizenesw", 32643}, {L"sizewe", 32644},
    {L"sizens", 32645}, {L"sizeall", 32646}, {L"no", 32648},       {L"hand", 32649},
};

}  // namespace

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"style")) {
    const wchar_t* style = manager_ != nullptr ? manager_->GetStyle(value) : nullptr;
    if (style != nullptr) {
      ApplyAttributeString(style);
      return;
    }
  } else if (Equals(name, L"innerstyle")) {
    ApplyAttributeString(value);
    return;
  } else if (Equals(name, L"pos")) {
    const RECT rc = attr::ParseRect(value);
    SetFixedXY(SIZE{rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom});
    SetFixedWidth(std::abs(rc.right - rc.left));
    SetFixedHeight(std::abs(rc.bottom - rc.top));
    return;
  } else if (Equals(name, L"float")) {
    if (wcschr(value, L',') == nullptr) {
      SetFloat(attr::IsTrue(value));
    } else {
      FloatPercentUI percent;
      double v[4] = {0, 0, 0, 0};
      const wchar_t* p = value;
      for (int i = 0; i < 4 && *p != L'\0'; ++i) {
        wchar_t* end = nullptr;
        v[i] = wcstod(p, &end);
        p = end;
        if (*p != L'\0') ++p;
      }
      percent.left = v[0];
      percent.top = v[1];
      percent.right = v[2];
      percent.bottom = v[3];
      SetFloatPercent(percent);
      SetFloat(true);
    }
    return;
  } else if (Equals(name, L"floatalign")) {
    UINT align = float_align_;
    const wchar_t* p = value;
    while (*p != L'\0') {
      while (*p == L',' || *p == L' ') ++p;
      const wchar_t* start = p;
      while (*p != L'\0' && *p != L',' && *p != L' ') ++p;
      const CUiString word(start, static_cast<int>(p - start));
      if (Equals(word.GetData(), L"null")) {
        align = 0;
      } else if (Equals(word.GetData(), L"left")) {
        align &= ~(DT_CENTER | DT_RIGHT);
      } else if (Equals(word.GetData(), L"center")) {
        align = (align | DT_CENTER) & ~DT_RIGHT;
      } else if (Equals(word.GetData(), L"right")) {
        align = (align | DT_RIGHT) & ~DT_CENTER;
      } else if (Equals(word.GetData(), L"top")) {
        align &= ~(DT_VCENTER | DT_BOTTOM);
      } else if (Equals(word.GetData(), L"vcenter")) {
        align = (align | DT_VCENTER) & ~DT_BOTTOM;
      } else if (Equals(word.GetData(), L"bottom")) {
        align = (align | DT_BOTTOM) & ~DT_VCENTER;
      }
    }
    SetFloatAlign(align);
    return;
  } else if (Equals(name, L"padding")) {
    SetPadding(attr::ParseRect(value));
    return;
  } else if (Equals(name, L"gradient")) {
    SetGradient(value);
    return;
  } else if (Equals(name, L"bkcolor") || Equals(name, L"bkcolor1")) {
    SetBackgroundColor(ParseColorSkippingBlanks(value));
    return;
  } else if (Equals(name, L"bkcolor2")) {
    SetBackgroundColor2(ParseColorSkippingBlanks(value));
    return;
  } else if (Equals(name, L"bkcolor3")) {
    SetBackgroundColor3(ParseColorSkippingBlanks(value));
    return;
  } else if (Equals(name, L"forecolor")) {
    SetForeColor(ParseColorSkippingBlanks(value));
    return;
  } else if (Equals(name, L"bordercolor")) {
    SetBorderColor(attr::ParseColor(value));
    return;
  } else if (Equals(name, L"focusbordercolor")) {
    SetFocusBorderColor(attr::ParseColor(value));
    return;
  } else if (Equals(name, L"colorhsl")) {
    SetColorHsl(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"bordersize")) {
    if (wcschr(value, L',') == nullptr) {
      SetBorderSize(attr::ParseInt(value));
      SetBorderRect(RECT{});
    } else {
      SetBorderRect(attr::ParseRect(value));
    }
    return;
  } else if (Equals(name, L"leftbordersize")) {
    SetLeftBorderSize(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"topbordersize")) {
    SetTopBorderSize(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"rightbordersize")) {
    SetRightBorderSize(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"bottombordersize")) {
    SetBottomBorderSize(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"borderstyle")) {
    SetBorderStyle(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"borderround")) {
    SetBorderRound(attr::ParseSize(value));
    return;
  } else if (Equals(name, L"bkimage")) {
    SetBackgroundImage(value);
    return;
  } else if (Equals(name, L"foreimage")) {
    SetForeImage(value);
    return;
  } else if (Equals(name, L"width")) {
    SetFixedWidth(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"height")) {
    SetFixedHeight(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"minwidth")) {
    SetMinWidth(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"minheight")) {
    SetMinHeight(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"maxwidth")) {
    SetMaxWidth(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"maxheight")) {
    SetMaxHeight(attr::ParseInt(value));
    return;
  } else if (Equals(name, L"name")) {
    SetName(value);
    return;
  } else if (Equals(name, L"drag")) {
    SetDragEnabled(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"drop")) {
    SetDropEnabled(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"resourcetext")) {
    SetResourceText(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"richevent")) {
    SetRichEvent(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"text")) {
    SetText(value);
    return;
  } else if (Equals(name, L"tooltip")) {
    SetToolTip(value);
    return;
  } else if (Equals(name, L"userdata")) {
    SetUserData(value);
    return;
  } else if (Equals(name, L"enabled")) {
    SetEnabled(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"mouse")) {
    SetMouseEnabled(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"keyboard")) {
    SetKeyboardEnabled(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"visible")) {
    SetVisible(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"shortcut")) {
    SetShortcut(value[0]);
    return;
  } else if (Equals(name, L"menu")) {
    SetContextMenuUsed(attr::IsTrue(value));
    return;
  } else if (Equals(name, L"cursor")) {
    for (const CursorKeyword& k : kCursors) {
      if (Equals(value, k.name)) {
        SetCursor(k.id);
        break;
      }
    }
    return;
  } else if (Equals(name, L"virtualwnd")) {
    SetVirtualWnd(value);
    return;
  }
  AddCustomAttribute(name, value);
}

CControlUI* CControlUI::ApplyAttributeString(const wchar_t* text) {
  if (text == nullptr || g_style_depth >= kMaxStyleDepth) return this;
  StyleDepthGuard guard;
  if (manager_ != nullptr) {
    const wchar_t* style = manager_->GetStyle(text);
    if (style != nullptr) return ApplyAttributeString(style);
  }
  CUiString copy(text);
  copy.Replace(L"&quot;", L"\"");
  copy.Replace(L"\r", L" ");
  copy.Replace(L"\n", L" ");
  copy.Replace(L"\t", L" ");
  copy.Trim();
  const wchar_t* p = copy.GetData();
  while (*p != L'\0') {
    while (*p == L' ') ++p;
    const wchar_t* name_start = p;
    while (*p != L'\0' && *p != L'=') ++p;
    if (*p != L'=') return this;
    const CUiString name(name_start, static_cast<int>(p - name_start));
    ++p;
    if (*p != L'"') return this;
    ++p;
    const wchar_t* value_start = p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p != L'"') return this;
    const CUiString value(value_start, static_cast<int>(p - value_start));
    ++p;
    SetAttribute(name.GetData(), value.GetData());
    if (*p == L'\0') break;
    if (*p != L' ' && *p != L',') return this;
    ++p;
  }
  return this;
}

}  // namespace SkinUI
