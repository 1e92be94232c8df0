#include "ui_toolkit/core/tile_layout.h"

#include <algorithm>

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, std::max(low, high))); }

}  // namespace

const wchar_t* CTileLayoutUI::GetClassName() const { return L"TileLayoutUI"; }

void* CTileLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"TileLayout")) return static_cast<CTileLayoutUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

SIZE CTileLayoutUI::GetItemSize() const { return ScaleSizeValue(item_size_); }

void CTileLayoutUI::SetItemSize(SIZE size) {
  if (item_size_.cx == size.cx && item_size_.cy == size.cy) return;
  item_size_ = size;
  MarkNeedsLayout();
}

void CTileLayoutUI::SetColumns(int columns) {
  if (columns <= 0) return;
  columns_ = columns;
  MarkNeedsLayout();
}

void CTileLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"itemsize")) {
    SetItemSize(attr::ParseSize(value));
  } else if (attr::Equals(name, L"columns")) {
    SetColumns(attr::ParseInt(value));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CTileLayoutUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT inner = GetInnerRect();
  if (items_.IsEmpty()) {
    ProcessScrollBar(inner, 0, 0);
    return;
  }
  const bool vbar = IsVerticalBarVisible();
  const bool hbar = IsHorizontalBarVisible();
  const SIZE scroll = GetScrollPos();
  const SIZE range = GetScrollRange();
  const int width = inner.right - inner.left;
  const SIZE item = GetItemSize();
  if (item.cx > 0) columns_ = width / item.cx;
  if (columns_ <= 0) columns_ = 1;
  const int columns = columns_;
  const int cell_width = (hbar ? width + range.cx : width) / columns;
  // The padding is scaled like every other size, so the grid keeps its
  // proportions at any DPI.
  const int p = GetChildPadding();

  const int x0 = inner.left - (hbar ? scroll.cx : 0);
  int x = x0;
  int y = inner.top - (vbar ? scroll.cy : 0);
  int row_height = 0;
  int k = 0;
  int needed = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    const int cell_right = x + cell_width;
    if (k % columns == 0) {
      // A row begins: its height is that of its tallest child.
      int seen = 0;
      for (int j = i; j < items_.GetSize() && seen < columns; ++j) {
        auto* c = static_cast<CControlUI*>(items_.GetAt(j));
        if (!c->IsVisible() || c->IsFloat()) continue;
        const RECT pad = c->GetPadding();
        int available = cell_right - pad.right - pad.left - x;
        available -= (seen == 0 || seen == columns - 1) ? p / 2 : p;
        available = ClampTo(available, c->GetMinWidth(), c->GetMaxWidth());
        SIZE s = c->MeasureSize(SIZE{available, 9999});
        s.cy = ClampTo(s.cy, c->GetMinHeight(), c->GetMaxHeight());
        row_height = std::max<int>(row_height, pad.top + s.cy + pad.bottom);
        ++seen;
      }
    }
    const RECT pad = child->GetPadding();
    RECT cell{x + pad.left, y + pad.top, cell_right - pad.right, y + row_height};
    if (k % columns != 0) cell.left += p / 2;
    if ((k + 1) % columns != 0) cell.right -= p / 2;
    SIZE s = child->MeasureSize(SIZE{cell.right - cell.left, cell.bottom - cell.top});
    if (s.cx == 0) s.cx = cell.right - cell.left;
    if (s.cy == 0) s.cy = cell.bottom - cell.top;
    s.cx = ClampTo(s.cx, child->GetMinWidth(), child->GetMaxWidth());
    s.cy = ClampTo(s.cy, child->GetMinHeight(), child->GetMaxHeight());
    const int left = (cell.left + cell.right - s.cx) / 2;
    const int top = (cell.top + cell.bottom - s.cy) / 2;
    child->SetPos(RECT{left, top, left + s.cx, top + s.cy}, true);
    needed = y + row_height - inner.top + (vbar ? scroll.cy : 0);
    ++k;
    if (k % columns == 0) {
      y += p + row_height;
      row_height = 0;
      x = x0;
    } else {
      x = cell_right;
    }
  }
  ProcessScrollBar(inner, 0, needed);
}

}  // namespace SkinUI
