#include "ui_toolkit/controls/menu.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "ui_toolkit/controls/menu_wnd.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

bool IsMenuElement(CControlUI* control) {
  return control != nullptr && control->QueryInterfaceByName(L"MenuElement") != nullptr;
}

bool IsTrue(const wchar_t* value) { return value != nullptr && CUiString(value).CompareNoCase(L"true") == 0; }

// Reads up to |count| decimal numbers, each separator skipped as one character.
int ReadNumbers(const wchar_t* text, long* out, int count) {
  int read = 0;
  wchar_t* end = nullptr;
  const wchar_t* p = text;
  for (; read < count && p != nullptr && *p != L'\0'; ++read) {
    out[read] = std::wcstol(p, &end, 10);
    if (end == p) break;
    p = *end == L'\0' ? end : end + 1;
  }
  return read;
}

int DpiScale(CPaintManagerUI* manager) {
  return manager == nullptr ? 100 : manager->GetDpiHelper()->GetScale();
}

}  // namespace

// ---- CMenuUI

CMenuUI::CMenuUI() {
  if (CControlUI* header = reinterpret_cast<CControlUI*>(GetHeader())) header->SetVisible(false);
}

CMenuUI::~CMenuUI() = default;

const wchar_t* CMenuUI::GetClassName() const { return L"MenuUI"; }

void* CMenuUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && CUiString(name).CompareNoCase(L"Menu") == 0) return this;
  return CListUI::QueryInterfaceByName(name);
}

void CMenuUI::HandleEvent(ControlEventUI& event) { CListUI::HandleEvent(event); }

void CMenuUI::SetAttribute(const wchar_t* name, const wchar_t* value) { CListUI::SetAttribute(name, value); }

SIZE CMenuUI::MeasureSize(SIZE available) {
  LONG cx = 0, cy = 0;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = GetItemAt(i);
    if (item == nullptr || !item->IsVisible()) continue;
    const SIZE size = item->MeasureSize(available);
    cx = std::max(cx, size.cx);
    cy += size.cy;
  }
  const int scale = DpiScale(GetManager());
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = GetItemAt(i);
    if (item == nullptr || !item->IsVisible()) continue;
    item->SetFixedWidth(::MulDiv(cx, 100, scale));
  }
  return SIZE{cx, cy};
}

void CMenuUI::HideSubItems(CControlUI* item) {
  auto* container = static_cast<CContainerUI*>(item->QueryInterfaceByName(L"Container"));
  if (container == nullptr) return;
  for (int i = 0; i < container->GetCount(); ++i) {
    CControlUI* child = container->GetItemAt(i);
    if (IsMenuElement(child)) child->SetVisibleByParent(false);
  }
}

int CMenuUI::GetItemIndex(CControlUI* control) const {
  return IsMenuElement(control) ? CListUI::GetItemIndex(control) : -1;
}

bool CMenuUI::SetItemIndex(CControlUI* control, int index) {
  return IsMenuElement(control) && CListUI::SetItemIndex(control, index);
}

bool CMenuUI::Add(CControlUI* control) {
  if (!IsMenuElement(control)) return false;
  HideSubItems(control);
  return CListUI::Add(control);
}

bool CMenuUI::AddAt(CControlUI* control, int index) {
  if (!IsMenuElement(control)) return false;
  HideSubItems(control);
  return CListUI::AddAt(control, index);
}

bool CMenuUI::Remove(CControlUI* control) { return IsMenuElement(control) && CListUI::Remove(control); }

// ---- CMenuElementUI

CMenuElementUI::CMenuElementUI() {
  fixed_size_.cx = 150;
  fixed_size_.cy = 30;
}

CMenuElementUI::~CMenuElementUI() = default;

const wchar_t* CMenuElementUI::GetClassName() const { return L"MenuElementUI"; }

void* CMenuElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && CUiString(name).CompareNoCase(L"MenuElement") == 0) return this;
  return CListContainerElementUI::QueryInterfaceByName(name);
}

SIZE CMenuElementUI::GetIconSize() const {
  CPaintManagerUI* manager = GetManager();
  return manager == nullptr ? icon_size_ : manager->GetDpiHelper()->ScaledSize(icon_size_);
}

RECT CMenuElementUI::GetLinePadding() const {
  RECT rc = line_padding_;
  if (CPaintManagerUI* manager = GetManager()) manager->GetDpiHelper()->ScaleRect(&rc);
  return rc;
}

void CMenuElementUI::SetSeparator() {
  separator_ = true;
  if (fixed_size_.cy == 0 || fixed_size_.cy == 30) SetFixedHeight(6);
  SetMouseChildEnabled(false);
  SetMouseEnabled(false);
  SetEnabled(false);
}

bool CMenuElementUI::HasSubItems() const {
  for (int i = 0; i < GetCount(); ++i) {
    if (IsMenuElement(GetItemAt(i))) return true;
  }
  return false;
}

bool CMenuElementUI::IsChecked() const {
  return ReadMenuCheckState(CMenuWnd::GetMenuObserver().GetCheckStates(), GetName());
}

void CMenuElementUI::SetChecked(bool checked) { StoreCheckState(GetName(), checked); }

MenuCheckState* CMenuElementUI::StoreCheckState(const wchar_t* name, bool checked) {
  return StoreMenuCheckState(CMenuWnd::GetMenuObserver().GetCheckStates(), name, checked);
}

CMenuWnd* CMenuElementUI::MenuWindow() const {
  for (CControlUI* p = GetParent(); p != nullptr; p = p->GetParent()) {
    if (auto* menu = static_cast<CMenuUI*>(p->QueryInterfaceByName(L"Menu"))) return menu->GetMenuWnd();
  }
  return nullptr;
}

HWND CMenuElementUI::MenuWindowHandle() const {
  if (CMenuWnd* window = MenuWindow()) return window->GetWindowHandle();
  return GetManager() == nullptr ? nullptr : GetManager()->GetPaintWindow();
}

void CMenuElementUI::ShowSubItems() {
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* child = GetItemAt(i);
    if (!IsMenuElement(child)) continue;
    child->SetVisible(true);
    child->SetVisibleByParent(true);
  }
}

void CMenuElementUI::EnterItem() {
  ShowSubItems();
  if (HasSubItems()) {
    if (owner_ != nullptr) owner_->SelectItem(GetIndex(), true);
    OpenSubMenu();
  } else {
    CMenuWnd::GetMenuObserver().Publish({kMenuCloseBelow, MenuWindowHandle()});
    if (owner_ != nullptr) owner_->SelectItem(GetIndex(), true);
  }
}

void CMenuElementUI::HandleEvent(ControlEventUI& event) {
  switch (event.Type) {
    case UIEVENT_MOUSEENTER:
      CListContainerElementUI::HandleEvent(event);
      if (sub_menu_ != nullptr) return;
      EnterItem();
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_RIGHT || event.wParam == VK_RIGHT) {
        if (sub_menu_ == nullptr) EnterItem();
        return;
      }
      break;
    case UIEVENT_MOUSELEAVE:
      if (!HasSubItems() && owner_ != nullptr) owner_->SelectItem(-1, true);
      CListContainerElementUI::HandleEvent(event);
      return;
    case UIEVENT_BUTTONUP: {
      if (!IsEnabled()) return;
      CListContainerElementUI::HandleEvent(event);
      if (sub_menu_ != nullptr) return;
      ShowSubItems();
      if (HasSubItems()) {
        OpenSubMenu();
        return;
      }
      const bool checked = !IsChecked();
      SetChecked(checked);
      CMenuWnd* window = MenuWindow();
      CPaintManagerUI* main = CMenuWnd::GetMenuObserver().GetMainManager();
      const HWND handle = MenuWindowHandle();
      if (handle != nullptr && ::IsWindow(handle) && (window == nullptr || !window->IsClosing()) && main != nullptr) {
        PostMenuClickRecord(main->GetPaintWindow(),
                            MakeMenuClickRecord(GetName(), GetUserData(), GetText(), checked),
                            reinterpret_cast<LPARAM>(this));
      }
      CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, handle});
      return;
    }
    default:
      break;
  }
  CListContainerElementUI::HandleEvent(event);
}

void CMenuElementUI::OpenSubMenu() {
  if (sub_menu_ != nullptr) return;
  sub_menu_ = new CMenuWnd();
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseBelow, MenuWindowHandle()});
  // The window deletes itself when it ends (also when it cannot be made).
  CMenuWnd* window = sub_menu_;
  window->Open(this, L"", POINT{0, 0}, nullptr, nullptr, kMenuAlignDefault);
}

void CMenuElementUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const CUiString key(name);
  if (key.CompareNoCase(L"icon") == 0) {
    SetIcon(value);
  } else if (key.CompareNoCase(L"iconsize") == 0) {
    long n[2]{};
    ReadNumbers(value, n, 2);
    SetIconSize(n[0], n[1]);
  } else if (key.CompareNoCase(L"checkitem") == 0) {
    SetCheckable(IsTrue(value));
  } else if (key.CompareNoCase(L"ischeck") == 0) {
    CUiStringPtrMap* states = CMenuWnd::GetMenuObserver().GetCheckStates();
    if (states == nullptr) return;
    const CUiString own = GetName();
    for (int i = 0; i < states->GetSize(); ++i) {
      const wchar_t* stored = states->GetKeyAt(i);
      if (stored != nullptr && own.CompareNoCase(stored) == 0) return;  // the stored mark wins over the skin
    }
    SetChecked(IsTrue(value));
  } else if (key.CompareNoCase(L"linetype") == 0) {
    if (IsTrue(value)) SetSeparator();
  } else if (key.CompareNoCase(L"expland") == 0) {
    SetShowExpandArrow(IsTrue(value));
  } else if (key.CompareNoCase(L"linecolor") == 0) {
    const wchar_t* p = value == nullptr ? L"" : value;
    if (*p == L'#') ++p;
    SetLineColor(static_cast<DWORD>(std::wcstoul(p, nullptr, 16)));
  } else if (key.CompareNoCase(L"linepadding") == 0) {
    long n[4]{};
    ReadNumbers(value, n, 4);
    SetLinePadding(RECT{n[0], n[1], n[2], n[3]});
  } else if (key.CompareNoCase(L"height") == 0) {
    SetFixedHeight(value == nullptr ? 0 : static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else {
    CListContainerElementUI::SetAttribute(name, value);
  }
}

SIZE CMenuElementUI::MeasureSize(SIZE available) {
  const SIZE fixed = GetFixedSize();
  SIZE size{0, 0};
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* child = GetItemAt(i);
    if (child == nullptr || !child->IsVisible()) continue;
    const SIZE child_size = child->MeasureSize(available);
    size.cy += child_size.cy;
    size.cx = std::max(size.cx, child_size.cx);
  }
  if (size.cy == 0 && owner_ != nullptr) {
    const ListInfoUI* info = owner_->GetListInfo();
    CPaintManagerUI* manager = GetManager();
    RECT padding = info->rcTextPadding;
    if (manager != nullptr) manager->GetDpiHelper()->ScaleRect(&padding);
    RECT rc{0, 0, std::max<LONG>(available.cx, fixed_size_.cx), 9999};
    rc.left += padding.left;
    rc.right -= padding.right;
    const CUiString text = GetText();
    if (manager != nullptr) {
      if (info->bShowHtml) {
        int links = 0;
        CUiDrawEngine::DrawHtmlText(manager->GetPaintDC(), manager, rc, text, 0, nullptr, nullptr, links,
                                    info->nFont, DT_CALCRECT | info->uTextStyle);
      } else {
        CUiDrawEngine::DrawText(manager->GetPaintDC(), manager, rc, text, 0, info->nFont,
                                DT_CALCRECT | info->uTextStyle);
      }
    }
    size.cx = rc.right - rc.left + padding.left + padding.right;
    size.cy = rc.bottom - rc.top + padding.top + padding.bottom;
  }
  if (fixed.cy != 0) size.cy = fixed.cy;
  // Compared at the window's scale: the menu stores the common width back
  // unscaled, so an unscaled floor would let items narrow at every opening
  // above 100 %.
  if (size.cx < fixed.cx) size.cx = fixed.cx;
  return size;
}

bool CMenuElementUI::PaintContent(HDC dc, const RECT& paint, CControlUI* stop) {
  RECT clip_rc{};
  if (!::IntersectRect(&clip_rc, &paint, &pos_)) return true;
  if (separator_) {
    const RECT padding = GetLinePadding();
    const int y = pos_.top + GetFixedHeight() / 2;
    const RECT line{pos_.left + padding.left, y, pos_.right - padding.right, y};
    CUiDrawEngine::DrawLine(dc, line, 1, line_color_, PS_SOLID);
    return true;
  }
  CUiClipScope clip;
  CUiClipScope::Begin(dc, clip_rc, clip);
  DrawItemBk(dc, pos_);
  DrawItemText(dc, pos_);
  PaintIcon(dc);
  PaintExpandArrow(dc);
  if (items_.IsEmpty()) return PaintScrollBars(dc, paint, stop);
  // The children as a container paints them, except the items of the sub-menu.
  const RECT inner = GetInnerRect();
  RECT paint_inner{};
  const bool inside = ::IntersectRect(&paint_inner, &paint, &inner) != FALSE;
  CUiClipScope child_clip;
  if (inside) CUiClipScope::Begin(dc, paint_inner, child_clip);
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (child == stop) return false;
    if (IsMenuElement(child)) continue;
    RECT t{};
    if (!child->IsVisible() || !::IntersectRect(&t, &paint, &child->GetPos())) continue;
    if (child->IsFloat()) {
      if (!::IntersectRect(&t, &pos_, &child->GetPos())) continue;
      if (inside) child_clip.SelectSavedRegion();
      const bool ok = child->Paint(dc, paint, stop);
      if (inside) child_clip.SelectOwnRegion();
      if (!ok) return false;
    } else if (inside) {
      if (!::IntersectRect(&t, &inner, &child->GetPos())) continue;
      if (!child->Paint(dc, paint, stop)) return false;
    }
  }
  return PaintScrollBars(dc, paint, stop);
}

void CMenuElementUI::DrawItemText(HDC dc, const RECT& rc) {
  const CUiString text = GetText();
  if (text.IsEmpty() || owner_ == nullptr) return;
  const ListInfoUI* info = owner_->GetListInfo();
  DWORD color = info->dwTextColor;
  if (state_ & UISTATE_HOT) color = info->dwHotTextColor;
  if (IsSelected()) color = info->dwSelectedTextColor;
  if (!IsEnabled()) color = info->dwDisabledTextColor;
  RECT padding = info->rcTextPadding;
  CPaintManagerUI* manager = GetManager();
  if (manager != nullptr) manager->GetDpiHelper()->ScaleRect(&padding);
  RECT text_rc{rc.left + padding.left, rc.top + padding.top, rc.right - padding.right, rc.bottom - padding.bottom};
  if (info->bShowHtml) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager, text_rc, text, color, nullptr, nullptr, links, info->nFont,
                                DT_SINGLELINE | info->uTextStyle);
  } else {
    CUiDrawEngine::DrawText(dc, manager, text_rc, text, color, info->nFont, DT_SINGLELINE | info->uTextStyle);
  }
}

void CMenuElementUI::PaintIcon(HDC dc) {
  if (icon_.IsEmpty() || (check_item_ && !IsChecked()) || owner_ == nullptr) return;
  CPaintManagerUI* manager = GetManager();
  if (manager == nullptr) return;
  const SIZE s = GetIconSize();
  RECT p = owner_->GetListInfo()->rcTextPadding;
  manager->GetDpiHelper()->ScaleRect(&p);
  const int h = GetFixedHeight();
  RECT dest{(p.left - s.cx) / 2, (h - s.cy) / 2, 0, 0};
  dest.right = dest.left + s.cx;
  dest.bottom = dest.top + s.cy;
  manager->GetDpiHelper()->UnscaleRect(&dest);
  CUiString modifier;
  modifier.Format(L"dest='%d,%d,%d,%d'", dest.left, dest.top, dest.right, dest.bottom);
  DrawImage(dc, icon_, modifier);
}

void CMenuElementUI::PaintExpandArrow(HDC dc) {
  if (!show_expand_arrow_) return;
  CPaintManagerUI* manager = GetManager();
  if (manager == nullptr) return;
  const wchar_t* arrow = manager->FindDefaultAttributes(L"ExplandIcon");
  if (arrow == nullptr || arrow[0] == L'\0') return;
  ImageDrawSpecUI* spec = manager->GetImageDrawSpec(arrow);
  if (spec == nullptr) return;
  const ImageRecordUI* image = manager->GetOrAddImage(spec->sImageName, spec->sResType, spec->dwMask);
  if (image == nullptr) return;
  const SIZE f = GetFixedSize();
  const int w = image->nX, h = image->nY;
  const int g = manager->GetDpiHelper()->Scale(20) / 3;
  RECT dest{f.cx - w - g, (f.cy - h) / 2, f.cx - g, 0};
  dest.bottom = dest.top + h;
  manager->GetDpiHelper()->UnscaleRect(&dest);
  CUiString modifier;
  modifier.Format(L"dest='%d,%d,%d,%d'", dest.left, dest.top, dest.right, dest.bottom);
  DrawImage(dc, arrow, modifier);
}

}  // namespace SkinUI
