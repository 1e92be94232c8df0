#include "ui_toolkit/controls/list_elements.h"

#include <algorithm>

#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {
namespace {

bool ModifierHeld() { return ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_SHIFT) < 0; }

// Repaints only the part of |row| that its scrolling parent and the parent's
// ancestors show, so a row outside the viewport costs no paint.
void InvalidateRow(CControlUI* row) {
  if (!row->IsVisible()) return;
  CControlUI* parent = row->GetParent();
  auto* container = parent != nullptr ? static_cast<CContainerUI*>(parent->QueryInterfaceByName(L"Container")) : nullptr;
  CPaintManagerUI* manager = row->GetManager();
  if (container == nullptr || manager == nullptr) {
    row->Invalidate();
    return;
  }
  // The parent's inner band: its position less the inset and the visible bars.
  const RECT band = container->GetClientPos();
  RECT rc{};
  const RECT pos = row->GetPos();
  if (!::IntersectRect(&rc, &pos, &band)) return;
  for (CControlUI* up = parent->GetParent(); up != nullptr; up = up->GetParent()) {
    const RECT up_pos = up->GetPos();
    if (!::IntersectRect(&rc, &rc, &up_pos)) return;
  }
  manager->InvalidateRect(rc);
}

// The row background from the owner's drawing record. |container_row| selects
// the container row's rules (fore images, grid lines after images).
void DrawRowBk(HDC dc, CControlUI* row, IListOwnerUI* owner, int index, bool selected, bool hot,
               bool container_row) {
  if (owner == nullptr) return;
  ListInfoUI* info = owner->GetListInfo();
  const bool disabled = !row->IsEnabled();
  const bool odd = (index % 2) != 0;
  DWORD color = (info->bAlternateBk && odd) ? 0 : info->dwBkColor;
  if (hot && info->dwHotBkColor != 0) color = info->dwHotBkColor;
  if (selected && info->dwSelectedBkColor != 0) color = info->dwSelectedBkColor;
  if (disabled && info->dwDisabledBkColor != 0) color = info->dwDisabledBkColor;
  const RECT pos = row->GetPos();
  if (color != 0) CUiDrawEngine::FillColor(dc, pos, row->AdjustColorByHsl(color));

  if (disabled) {
    if (!info->sDisabledImage.IsEmpty() && row->DrawImage(dc, info->sDisabledImage.GetData())) return;
  } else if (selected) {
    if (!info->sSelectedImage.IsEmpty()) {
      const bool drawn = row->DrawImage(dc, info->sSelectedImage.GetData());
      if (container_row && !info->sSelectedForeImage.IsEmpty()) row->DrawImage(dc, info->sSelectedForeImage.GetData());
      if (drawn) return;
    }
  } else if (hot) {
    if (!info->sHotImage.IsEmpty()) {
      const bool drawn = row->DrawImage(dc, info->sHotImage.GetData());
      if (container_row && !info->sHotForeImage.IsEmpty()) row->DrawImage(dc, info->sHotForeImage.GetData());
      if (drawn) return;
    }
  }

  const CUiString& own_image = row->GetBackgroundImage();
  if (!own_image.IsEmpty()) {
    if (!(info->bAlternateBk && odd)) {
      row->DrawImage(dc, own_image.GetData());
      if (container_row && !info->sForeImage.IsEmpty()) row->DrawImage(dc, info->sForeImage.GetData());
    }
  } else if (!info->sBkImage.IsEmpty()) {
    const bool drawn = row->DrawImage(dc, info->sBkImage.GetData());
    if (!container_row && drawn) return;
    if (container_row && !info->sForeImage.IsEmpty()) row->DrawImage(dc, info->sForeImage.GetData());
  }

  if (info->dwLineColor == 0) return;
  const DWORD line = row->AdjustColorByHsl(info->dwLineColor);
  if (info->bShowRowLine) {
    CUiDrawEngine::DrawLine(dc, RECT{pos.left, pos.bottom - 1, pos.right, pos.bottom - 1}, 1, line);
  }
  if (info->bShowColumnLine) {
    for (int i = 0; i < info->nColumns; ++i) {
      const RECT& col = info->rcColumn[i];
      CUiDrawEngine::DrawLine(dc, RECT{col.right - 1, pos.top, col.right - 1, pos.bottom}, 1, line);
    }
  }
}

// A one-text row in the record's font and state colour.
void DrawRowText(HDC dc, CControlUI* row, IListOwnerUI* owner, const RECT& rc, const CUiString& text, bool selected,
                 bool hot) {
  if (owner == nullptr || text.IsEmpty()) return;
  ListInfoUI* info = owner->GetListInfo();
  CPaintManagerUI* manager = row->GetManager();
  DWORD color = hot ? info->dwHotTextColor : info->dwTextColor;
  if (selected) color = info->dwSelectedTextColor;
  if (!row->IsEnabled()) color = info->dwDisabledTextColor;
  RECT padding = info->rcTextPadding;
  if (manager != nullptr) manager->GetDpiHelper()->ScaleRect(&padding);
  RECT area{rc.left + padding.left, rc.top + padding.top, rc.right - padding.right, rc.bottom - padding.bottom};
  if (info->bShowHtml) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager, area, text.GetData(), color, nullptr, nullptr, links, info->nFont,
                                info->uTextStyle);
  } else {
    CUiDrawEngine::DrawText(dc, manager, area, text.GetData(), color, info->nFont, info->uTextStyle);
  }
}

int RowTextHeight(CControlUI* row, IListOwnerUI* owner) {
  ListInfoUI* info = owner->GetListInfo();
  CPaintManagerUI* manager = row->GetManager();
  return manager->GetFontRecordById(info->nFont)->tm.tmHeight + 8 + info->rcTextPadding.top +
         info->rcTextPadding.bottom;
}

}  // namespace

// ---- element

const wchar_t* CListElementUI::GetClassName() const { return L"ListElementUI"; }

void* CListElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListItem")) return static_cast<IListItemUI*>(this);
  if (attr::Equals(name, L"ListElement")) return static_cast<CListElementUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

UINT CListElementUI::GetControlFlags() const { return 4; }

void CListElementUI::SetOwner(CControlUI* owner) {
  owner_ = owner != nullptr ? static_cast<IListOwnerUI*>(owner->QueryInterfaceByName(L"IListOwner")) : nullptr;
}

bool CListElementUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (manager_ != nullptr) manager_->SendNotify(this, L"itemactivate");
  return true;
}

void CListElementUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (!IsVisible() && selected_) {
    selected_ = false;
    if (owner_ != nullptr) owner_->SelectItem(-1, false);
  }
}

void CListElementUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

bool CListElementUI::Select(bool select) {
  if (!IsEnabled()) return false;
  if (owner_ != nullptr) owner_->DeselectItem(index_, true);
  if (select == selected_) return true;
  selected_ = select;
  if (owner_ != nullptr) {
    if (select) {
      owner_->SelectItem(index_, false);
    } else {
      owner_->DeselectItem(index_, false);
    }
  }
  InvalidateListItem();
  return true;
}

bool CListElementUI::SetSelectedFlag(bool select) {
  if (!IsEnabled()) return false;
  if (select != selected_) {
    selected_ = select;
    InvalidateListItem();
  }
  return true;
}

void CListElementUI::InvalidateListItem() { InvalidateRow(this); }

void CListElementUI::DrawItemBk(HDC dc, const RECT&) {
  DrawRowBk(dc, this, owner_, index_, selected_, IsHot(), false);
}

void CListElementUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_DBLCLICK || (event.Type == UIEVENT_KEYDOWN && event.chKey == VK_RETURN)) {
    if (IsEnabled()) {
      Activate();
      InvalidateListItem();
      return;
    }
  }
  if (owner_ != nullptr) {
    owner_->HandleOwnerEvent(event);
  } else {
    CControlUI::HandleEvent(event);
  }
}

void CListElementUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"selected")) {
    Select(true);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

// ---- label element

const wchar_t* CListLabelElementUI::GetClassName() const { return L"ListLabelElementUI"; }

void* CListLabelElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListLabelElement")) return static_cast<CListLabelElementUI*>(this);
  return CListElementUI::QueryInterfaceByName(name);
}

void CListLabelElementUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (owner_ != nullptr) {
      owner_->HandleOwnerEvent(event);
    } else {
      CListElementUI::HandleEvent(event);
    }
    return;
  }
  HandleLabelEvent(event);
}

void CListLabelElementUI::HandleLabelEvent(ControlEventUI& event) {
  bool select = false;
  if (event.Type == UIEVENT_RBUTTONDOWN && owner_ != nullptr && owner_->GetListInfo()->bRSelected) {
    if (!IsEnabled()) return;
    select = true;
  } else if (event.Type == UIEVENT_BUTTONDOWN) {
    if (!IsEnabled()) return;
    if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"buttondown");
    select = true;
  } else if (event.Type == UIEVENT_BUTTONUP) {
    if (IsEnabled() && manager_ != nullptr) manager_->SendNotify(this, L"itemclick");
    return;
  } else if (event.Type == UIEVENT_MOUSEENTER) {
    if (IsEnabled()) {
      state_ |= UISTATE_HOT;
      InvalidateListItem();
      if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseenter");
    }
    return;
  } else if (event.Type == UIEVENT_MOUSELEAVE) {
    if ((state_ & UISTATE_HOT) != 0) {
      state_ &= ~UISTATE_HOT;
      InvalidateListItem();
      if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseleave");
    }
    return;
  }
  if (!select) {
    CListElementUI::HandleEvent(event);
    return;
  }
  if (ModifierHeld() && owner_ != nullptr) {
    owner_->SelectItemMulti(index_, false);
  } else {
    Select(true);
  }
}

SIZE CListLabelElementUI::MeasureSize(SIZE available) {
  if (owner_ == nullptr) return SIZE{0, 0};
  SIZE size = ScaleSizeValue(fixed_size_);
  if (size.cy == 0 && manager_ != nullptr) size.cy = RowTextHeight(this, owner_);
  if (size.cx == 0) size.cx = available.cx;
  return size;
}

bool CListLabelElementUI::PaintContent(HDC dc, const RECT& paint, CControlUI*) {
  RECT t{};
  if (!::IntersectRect(&t, &paint, &pos_)) return true;
  DrawItemBk(dc, pos_);
  DrawItemText(dc, pos_);
  return true;
}

void CListLabelElementUI::DrawItemText(HDC dc, const RECT& rc) {
  DrawRowText(dc, this, owner_, rc, GetText(), selected_, IsHot());
}

// ---- text element

CListTextElementUI::~CListTextElementUI() {
  for (int i = 0; i < texts_.GetSize(); ++i) delete static_cast<CUiString*>(texts_.GetAt(i));
}

const wchar_t* CListTextElementUI::GetClassName() const { return L"ListTextElementUI"; }

void* CListTextElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListTextElement")) return static_cast<CListTextElementUI*>(this);
  return CListLabelElementUI::QueryInterfaceByName(name);
}

UINT CListTextElementUI::GetControlFlags() const {
  return (IsEnabled() && link_count_ > 0) ? (4 | UIFLAG_SETCURSOR) : 4;
}

void CListTextElementUI::SetOwner(CControlUI* owner) {
  CListElementUI::SetOwner(owner);
  owner_list_ = owner != nullptr ? static_cast<IListUI*>(owner->QueryInterfaceByName(L"IList")) : nullptr;
}

const wchar_t* CListTextElementUI::GetColumnText(int column) {
  auto* text = static_cast<CUiString*>(texts_.GetAtOrNull(column));
  if (text == nullptr) return nullptr;
  if (!IsResourceText()) return text->GetData();
  resource_text_ = CTextResourceManager::GetInstance().GetText(text->GetData());
  return resource_text_.GetData();
}

DWORD CListTextElementUI::GetColumnTextColor(int column) {
  const DWORD fallback = owner_ != nullptr ? owner_->GetListInfo()->dwTextColor : 0xFF000000;
  if (owner_ == nullptr || column < 0 || column >= owner_->GetListInfo()->nColumns) return fallback;
  // A colour list shorter than the columns leaves the rest in the list's colour.
  if (column >= colors_.GetSize()) return fallback;
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(colors_.GetAt(column)));
}

void CListTextElementUI::SetColumnText(int column, const wchar_t* text) {
  if (column < 0 || column >= kListMaxColumns) return;
  while (texts_.GetSize() <= column) texts_.Add(nullptr);
  auto* old = static_cast<CUiString*>(texts_.GetAt(column));
  delete old;
  texts_.SetAt(column, new CUiString(text != nullptr ? text : L""));
  InvalidateListItem();
}

void CListTextElementUI::SetColumnTextColor(int column, DWORD color) {
  if (column < 0 || column >= kListMaxColumns) return;
  const DWORD base = owner_ != nullptr ? owner_->GetListInfo()->dwTextColor : 0xFF000000;
  while (colors_.GetSize() <= column) colors_.Add(reinterpret_cast<void*>(static_cast<uintptr_t>(base)));
  colors_.SetAt(column, reinterpret_cast<void*>(static_cast<uintptr_t>(color)));
  InvalidateListItem();
}

int CListTextElementUI::LinkAt(POINT pt) const {
  for (int i = 0; i < link_count_; ++i) {
    if (::PtInRect(&links_[i], pt)) return i;
  }
  return -1;
}

void CListTextElementUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (owner_list_ != nullptr) {
      owner_list_->HandleOwnerEvent(event);
    } else {
      CListLabelElementUI::HandleEvent(event);
    }
    return;
  }
  if (event.Type == UIEVENT_SETCURSOR && LinkAt(event.ptMouse) >= 0) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return;
  }
  if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
    const int link = LinkAt(event.ptMouse);
    if (link >= 0) {
      if (manager_ != nullptr) manager_->SendNotify(this, L"link", static_cast<WPARAM>(link));
      return;
    }
  }
  if (link_count_ > 0) {
    if (event.Type == UIEVENT_MOUSEMOVE) {
      const int hovered = LinkAt(event.ptMouse);
      if (hovered != hovered_link_) {
        hovered_link_ = hovered;
        InvalidateListItem();
      }
    } else if (event.Type == UIEVENT_MOUSELEAVE && hovered_link_ != -1) {
      InvalidateListItem();
      hovered_link_ = -1;
    }
  }
  CListLabelElementUI::HandleEvent(event);
}

SIZE CListTextElementUI::MeasureSize(SIZE) {
  if (fixed_size_.cy != 0) return ScaleSizeValue(fixed_size_);
  SIZE size{ScaleValue(fixed_size_.cx), 0};
  if (manager_ != nullptr && owner_ != nullptr) size.cy = RowTextHeight(this, owner_);
  return size;
}

void CListTextElementUI::DrawItemText(HDC dc, const RECT& rc) {
  link_count_ = 0;
  if (owner_ == nullptr) return;
  ListInfoUI* info = owner_->GetListInfo();
  IListTextSourceUI* source = owner_list_ != nullptr ? owner_list_->GetTextSource() : nullptr;
  const bool disabled = !IsEnabled();
  for (int c = 0; c < info->nColumns; ++c) {
    const RECT& col = info->rcColumn[c];
    RECT cell{col.left + info->rcTextPadding.left, rc.top + info->rcTextPadding.top,
              col.right - info->rcTextPadding.right, rc.bottom - info->rcTextPadding.bottom};
    CUiString text;
    DWORD color = 0;
    if (source != nullptr) {
      const int state = disabled ? 3 : selected_ ? 2 : IsHot() ? 1 : 0;
      text = source->GetItemText(this, index_, c);
      color = source->GetItemTextColor(this, index_, c, state);
    } else {
      const wchar_t* own = GetColumnText(c);
      text = own != nullptr ? own : L"";
      color = IsHot() ? info->dwHotTextColor : GetColumnTextColor(c);
      if (selected_) color = info->dwSelectedTextColor;
      if (disabled) color = info->dwDisabledTextColor;
    }
    if (info->bShowHtml) {
      int links = kMaxLinks - link_count_;
      CUiDrawEngine::DrawHtmlText(dc, manager_, cell, text.GetData(), color, &links_[link_count_],
                                  &link_texts_[link_count_], links, info->nFont, info->uTextStyle);
      link_count_ += links;
    } else {
      CUiDrawEngine::DrawText(dc, manager_, cell, text.GetData(), color, info->nFont, info->uTextStyle);
    }
  }
  for (int i = link_count_; i < kMaxLinks; ++i) {
    links_[i] = RECT{};
    link_texts_[i] = L"";
  }
}

// ---- container element

const wchar_t* CListContainerElementUI::GetClassName() const { return L"ListContainerElementUI"; }

void* CListContainerElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListItem")) return static_cast<IListItemUI*>(this);
  if (attr::Equals(name, L"ListContainerElement")) return static_cast<CListContainerElementUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CListContainerElementUI::GetControlFlags() const { return 4; }

void CListContainerElementUI::SetOwner(CControlUI* owner) {
  owner_ = owner != nullptr ? static_cast<IListOwnerUI*>(owner->QueryInterfaceByName(L"IListOwner")) : nullptr;
}

bool CListContainerElementUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (manager_ != nullptr) manager_->SendNotify(this, L"itemactivate");
  return true;
}

void CListContainerElementUI::SetVisible(bool visible) {
  CContainerUI::SetVisible(visible);
  if (!IsVisible() && selected_) {
    selected_ = false;
    if (owner_ != nullptr) owner_->SelectItem(-1, false);
  }
}

void CListContainerElementUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

bool CListContainerElementUI::Select(bool select) {
  if (!IsEnabled()) return false;
  if (owner_ != nullptr) owner_->DeselectItem(index_, true);
  if (select == selected_) return true;
  selected_ = select;
  if (owner_ != nullptr) {
    if (select) {
      owner_->SelectItem(index_, false);
    } else {
      owner_->DeselectItem(index_, false);
    }
  }
  InvalidateListItem();
  return true;
}

bool CListContainerElementUI::SetSelectedFlag(bool select) {
  if (!IsEnabled()) return false;
  if (select != selected_) {
    selected_ = select;
    InvalidateListItem();
  }
  return true;
}

void CListContainerElementUI::InvalidateListItem() { InvalidateRow(this); }

void CListContainerElementUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"selected")) {
    Select(true);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CListContainerElementUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (owner_ != nullptr) {
      owner_->HandleOwnerEvent(event);
    } else {
      CContainerUI::HandleEvent(event);
    }
    return;
  }
  if (event.Type == UIEVENT_DBLCLICK || (event.Type == UIEVENT_KEYDOWN && event.chKey == VK_RETURN)) {
    if (IsEnabled()) {
      Activate();
      InvalidateListItem();
      return;
    }
  }
  bool select = false;
  switch (event.Type) {
    case UIEVENT_RBUTTONDOWN:
      if (owner_ != nullptr && owner_->GetListInfo()->bRSelected) {
        if (!IsEnabled()) return;
        select = true;
      }
      break;
    case UIEVENT_BUTTONDOWN:
      if (!IsEnabled()) return;
      if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"buttondown");
      select = true;
      break;
    case UIEVENT_BUTTONUP:
      if (IsEnabled() && manager_ != nullptr) manager_->SendNotify(this, L"itemclick");
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        state_ |= UISTATE_HOT;
        InvalidateListItem();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseenter");
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if ((state_ & UISTATE_HOT) != 0) {
        state_ &= ~UISTATE_HOT;
        InvalidateListItem();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseleave");
      }
      return;
    case UIEVENT_TIMER:
      if (manager_ != nullptr) manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
      return;
    case UIEVENT_CONTEXTMENU:
      if (IsContextMenuUsed() && manager_ != nullptr) {
        manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
      }
      break;
    default:
      break;
  }
  if (select) {
    if (ModifierHeld() && owner_ != nullptr) {
      owner_->SelectItemMulti(index_, false);
    } else {
      Select(true);
    }
    return;
  }
  if (owner_ != nullptr) {
    owner_->HandleOwnerEvent(event);
  } else {
    CControlUI::HandleEvent(event);
  }
}

void CListContainerElementUI::SetPos(RECT rc, bool invalidate) {
  if (owner_ == nullptr) return;
  const bool plain_list = owner_->GetListKind() == 0;
  const int w = GetFixedWidth();
  if (plain_list && w > 0) {
    const int per_row = (rc.right - rc.left) / w;
    if (per_row > 0) {
      // The body stacked the rows; move this one into its grid cell.
      const int h = rc.bottom - rc.top;
      const int i = index_;
      rc.top -= (i - i / per_row) * h;
      rc.left += w * (i % per_row);
      rc.right = rc.left + w;
      rc.bottom = rc.top + h;
    }
  }
  CHorizontalLayoutUI::SetPos(rc, invalidate);
  if (!plain_list) return;
  auto* list = dynamic_cast<IListUI*>(owner_);
  CListHeaderUI* header = list != nullptr ? list->GetHeader() : nullptr;
  if (header == nullptr || !header->IsVisible()) return;
  // Children line up under the header's columns.
  for (int i = 0; i < items_.GetSize(); ++i) {
    CControlUI* column = header->GetItemAt(i);
    if (column == nullptr) break;
    const RECT col = column->GetPos();
    if (col.left == 0 && col.right == 0) continue;
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    RECT child_pos = child->GetPos();
    child_pos.left = col.left;
    child_pos.right = col.right;
    child->SetPos(child_pos, invalidate);
  }
}

bool CListContainerElementUI::PaintContent(HDC dc, const RECT& paint, CControlUI* stop) {
  DrawItemBk(dc, pos_);
  return CContainerUI::PaintContent(dc, paint, stop);
}

void CListContainerElementUI::DrawItemBk(HDC dc, const RECT&) {
  DrawRowBk(dc, this, owner_, index_, selected_, IsHot(), true);
}

void CListContainerElementUI::DrawItemText(HDC dc, const RECT& rc) {
  DrawRowText(dc, this, owner_, rc, GetText(), selected_, IsHot());
}

}  // namespace SkinUI
