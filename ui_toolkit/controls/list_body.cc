#include "ui_toolkit/controls/list_body.h"

#include <algorithm>

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_header.h"

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

CListBodyUI::CListBodyUI(CListUI* owner) : owner_(owner) {}

void CListBodyUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT inner = GetInnerRect();
  const int inner_width = inner.right - inner.left;
  const int p = GetChildPadding();

  // Every row is as wide as the columns together, and at least as the body.
  CListHeaderUI* header = owner_ != nullptr ? owner_->GetHeader() : nullptr;
  int needed_width = 0;
  if (header != nullptr && header->GetCount() > 0) {
    needed_width = std::max<int>(0, header->MeasureSize(SIZE{0, 0}).cx);
  } else {
    for (int i = 0; i < items_.GetSize(); ++i) {
      auto* c = static_cast<CControlUI*>(items_.GetAt(i));
      if (!c->IsVisible() || c->IsFloat()) continue;
      const int w = c->MeasureSize(SIZE{inner_width, inner.bottom - inner.top}).cx;
      needed_width = std::max(needed_width, ClampTo(w, c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth())));
    }
  }

  int y = inner.top;
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
    const int left = inner.left + pad.left;
    c->SetPos(RECT{left, y + pad.top, left + width, y + pad.top + height + pad.bottom}, invalidate);
    y += height + pad.top + pad.bottom + p;
  }
}

void CListBodyUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type) && owner_ != nullptr) {
    owner_->HandleEvent(event);
    return;
  }
  CVerticalLayoutUI::HandleEvent(event);
}

}  // namespace SkinUI
