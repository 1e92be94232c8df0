#include "ui_toolkit/controls/list_body.h"

#include <algorithm>

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/scroll_bar.h"

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

CListBodyUI::CListBodyUI(CListUI* owner) : owner_(owner) {}

void CListBodyUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  RECT inner = GetInnerRect();  // without the visible bars
  // A list with a fixed vertical bar keeps the bar's room even while it hides.
  if (owner_ != nullptr && owner_->IsFixedScrollbar() && vertical_bar_ && !IsVerticalBarVisible()) {
    inner.right -= vertical_bar_->GetFixedWidth();
  }
  const int inner_width = inner.right - inner.left;
  const int p = GetChildPadding();
  const bool vbar = IsVerticalBarVisible();
  const bool hbar = IsHorizontalBarVisible();
  const SIZE scroll = GetScrollPos();

  // Every row is as wide as the columns together, and at least as the body.
  CListHeaderUI* header = owner_ != nullptr ? owner_->GetHeader() : nullptr;
  const bool header_columns = header != nullptr && header->GetCount() > 0;
  int needed_width = 0;
  if (header_columns) {
    needed_width = std::max<int>(0, header->MeasureSize(SIZE{0, 0}).cx);
  } else {
    for (int i = 0; i < items_.GetSize(); ++i) {
      auto* c = static_cast<CControlUI*>(items_.GetAt(i));
      if (!c->IsVisible() || c->IsFloat()) continue;
      const int w = c->MeasureSize(SIZE{inner_width, inner.bottom - inner.top}).cx;
      needed_width = std::max(needed_width, ClampTo(w, c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth())));
    }
  }
  if (header_columns && hbar) {
    // The header scrolls sideways with the rows.
    RECT header_pos = header->GetPos();
    header_pos.left = inner.left - scroll.cx;
    header->SetPos(header_pos, true);
  }

  const int x = inner.left - (hbar ? scroll.cx : 0);
  int y = inner.top - (vbar ? scroll.cy : 0);
  int needed_height = 0;
  int placed = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    const RECT pad = c->GetPadding();
    const SIZE s = c->MeasureSize(SIZE{inner_width, inner.bottom - inner.top});
    const int height = ClampTo(s.cy, c->GetMinHeight(), std::max(c->GetMinHeight(), c->GetMaxHeight()));
    int width = std::max<int>(inner_width - pad.left - pad.right, needed_width);
    width = ClampTo(width, c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth()));
    const int left = x + pad.left;
    c->SetPos(RECT{left, y + pad.top, left + width, y + pad.top + height + pad.bottom}, invalidate);
    y += height + pad.top + pad.bottom + p;
    needed_height += height + pad.top + pad.bottom + (placed > 0 ? p : 0);
    ++placed;
  }

  // Tiles: rows of a plain list with a fixed width share lines.
  if (owner_ != nullptr && owner_->GetListKind() == 0 && !items_.IsEmpty()) {
    auto* first = static_cast<CControlUI*>(items_.GetAt(0));
    const int w = first->GetFixedWidth();
    if (w > 0 && inner_width / w > 0) {
      const int per_row = inner_width / w;
      needed_height = first->GetFixedHeight() * ((items_.GetSize() - 1) / per_row + 1);
    }
  }
  ProcessScrollBar(inner, needed_width, needed_height);
}

void CListBodyUI::SetScrollPos(SIZE pos, bool) {
  const SIZE before = GetScrollPos();
  // The body reports no "scroll" of its own.
  CVerticalLayoutUI::SetScrollPos(pos, false);
  const int dx = GetScrollPos().cx - before.cx;
  if (dx == 0 || owner_ == nullptr) return;
  CListHeaderUI* header = owner_->GetHeader();
  if (header == nullptr) return;
  ListInfoUI* info = owner_->GetListInfo();
  info->nColumns = std::min(header->GetCount(), kListMaxColumns);
  const bool hidden = !header->IsVisible();
  if (hidden) {
    for (int i = 0; i < header->GetCount(); ++i) header->GetItemAt(i)->SetVisibleByParent(true);
  }
  for (int i = 0; i < info->nColumns; ++i) {
    CControlUI* column = header->GetItemAt(i);
    if (!column->IsVisible() || column->IsFloat()) continue;
    RECT rc = column->GetPos();
    rc.left -= dx;
    rc.right -= dx;
    column->SetPos(rc, true);
    info->rcColumn[i] = column->GetPos();
  }
  if (hidden) {
    for (int i = 0; i < header->GetCount(); ++i) header->GetItemAt(i)->SetVisibleByParent(false);
  }
}

int CListBodyUI::GetScrollStepSize() const {
  return owner_ != nullptr ? owner_->CContainerUI::GetScrollStepSize() : CContainerUI::GetScrollStepSize();
}

void CListBodyUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type) && owner_ != nullptr) {
    owner_->HandleEvent(event);
    return;
  }
  CVerticalLayoutUI::HandleEvent(event);
}

}  // namespace SkinUI
