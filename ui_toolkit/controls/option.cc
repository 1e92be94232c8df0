#include "ui_toolkit/controls/option.h"

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

COptionUI::COptionUI() = default;

COptionUI::~COptionUI() {
  if (!group_.IsEmpty() && manager_ != nullptr) manager_->RemoveOptionGroup(group_.GetData(), this);
}

const wchar_t* COptionUI::GetClassName() const { return L"OptionUI"; }

void* COptionUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Option")) return static_cast<COptionUI*>(this);
  return CButtonUI::QueryInterfaceByName(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CControlUI::SetManager(manager, parent, init);
  if (init && !group_.IsEmpty() && manager_ != nullptr) manager_->AddOptionGroup(group_.GetData(), this);
}

void COptionUI::SetGroupName(const wchar_t* group) {
  if (group_ == (group != nullptr ? group : L"")) return;
  if (!group_.IsEmpty() && manager_ != nullptr) manager_->RemoveOptionGroup(group_.GetData(), this);
  group_ = group;
  if (!group_.IsEmpty() && manager_ != nullptr) manager_->AddOptionGroup(group_.GetData(), this);
}

void COptionUI::SetGroupType(const wchar_t* type) { group_type_ = type; }

void COptionUI::Selected(bool selected, bool notify) {
  if (selected_ == selected) return;
  selected_ = selected;
  if (selected_) {
    button_state_ |= UISTATE_SELECTED;
  } else {
    button_state_ &= ~UISTATE_SELECTED;
  }
  if (manager_ != nullptr) {
    if (!group_.IsEmpty() && selected_) {
      CUiPtrArray* members = manager_->GetOptionGroup(group_.GetData());
      for (int i = 0; members != nullptr && i < members->GetSize(); ++i) {
        auto* other = static_cast<COptionUI*>(members->GetAt(i));
        if (other == this) continue;
        if (!group_type_.IsEmpty() && group_type_.CompareNoCase(other->GetGroupType().GetData()) == 0) continue;
        other->Selected(false, notify);
      }
    }
    if (notify) manager_->SendNotify(this, L"selectchanged");
  }
  Invalidate();
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  if (group_.IsEmpty()) {
    Selected(!selected_, true);
  } else {
    Selected(true, true);
  }
  Invalidate();
  return true;
}

void COptionUI::SetSelectedStateImage(const wchar_t* description) {
  selected_state_image_ = description;
  Invalidate();
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"group")) {
    SetGroupName(value);
  } else if (Equals(name, L"grouptype")) {
    SetGroupType(value);
  } else if (Equals(name, L"selected")) {
    Selected(attr::IsTrue(value), true);
  } else if (Equals(name, L"selectedimage")) {
    selected_image_ = value;
    Invalidate();
  } else if (Equals(name, L"selectedhotimage")) {
    selected_hot_image_ = value;
    Invalidate();
  } else if (Equals(name, L"selectedpushedimage")) {
    selected_pushed_image_ = value;
    Invalidate();
  } else if (Equals(name, L"selectedforeimage")) {
    selected_fore_image_ = value;
    Invalidate();
  } else if (Equals(name, L"selectedstateimage")) {
    SetSelectedStateImage(value);
  } else if (Equals(name, L"selectedstatecount")) {
    selected_state_count_ = attr::ParseInt(value);
    Invalidate();
  } else if (Equals(name, L"selectedbkcolor")) {
    selected_bk_color_ = attr::ParseColor(value);
  } else if (Equals(name, L"selectedtextcolor")) {
    selected_text_color_ = attr::ParseColor(value);
  } else if (Equals(name, L"selectedfont")) {
    selected_font_ = attr::ParseInt(value);
    Invalidate();
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintBackgroundColor(HDC dc) {
  if (!selected_) {
    CButtonUI::PaintBackgroundColor(dc);
    return;
  }
  if (selected_bk_color_ != 0) CUiDrawEngine::FillColor(dc, paint_rect_, AdjustColorByHsl(selected_bk_color_));
}

void COptionUI::SplitSelectedStateImage() {
  if (selected_state_image_.IsEmpty() || selected_state_count_ <= 0 || !selected_image_.IsEmpty() ||
      manager_ == nullptr) {
    return;
  }
  ImageDrawSpecUI* spec = manager_->GetImageDrawSpec(selected_state_image_.GetData());
  if (spec == nullptr) return;
  ImageRecordUI* image = manager_->GetOrAddImage(spec->sImageName.GetData(), spec->sResType.GetData(), spec->dwMask,
                                                 spec->bHSL, spec->bGdiplus);
  if (image == nullptr || image->nX <= 0 || image->nY <= 0) return;
  const int w = image->nX / selected_state_count_;
  const int h = image->nY;
  const RECT& d = spec->rcDest;
  const RECT& c = spec->rcCorner;
  auto cell = [&](int i) {
    CUiString text;
    text.Format(L"res='%s' restype='%s' dest='%d,%d,%d,%d' source='%d,%d,%d,%d' corner='%d,%d,%d,%d'",
                spec->sImageName.GetData(), spec->sResType.GetData(), d.left, d.top, d.right, d.bottom, i * w, 0,
                i * w + w, h, c.left, c.top, c.right, c.bottom);
    return text;
  };
  selected_image_ = cell(0);
  if (selected_state_count_ > 1) {
    selected_hot_image_ = cell(1);
    selected_pushed_image_ = cell(1);
  }
  if (selected_state_count_ > 2) selected_pushed_image_ = cell(2);
}

void COptionUI::PaintStateImage(HDC dc) {
  if (!selected_) {
    CButtonUI::PaintStateImage(dc);
    return;
  }
  SplitSelectedStateImage();
  RefreshStateFlags();
  bool drew = false;
  if ((button_state_ & UISTATE_PUSHED) != 0 && !selected_pushed_image_.IsEmpty()) {
    drew = DrawImage(dc, selected_pushed_image_.GetData());
  } else if ((button_state_ & UISTATE_HOT) != 0 && !selected_hot_image_.IsEmpty()) {
    drew = DrawImage(dc, selected_hot_image_.GetData());
  }
  if (drew) return;
  if (!selected_image_.IsEmpty()) DrawImage(dc, selected_image_.GetData());
}

void COptionUI::PaintForegroundImage(HDC dc) {
  if (selected_ && !selected_fore_image_.IsEmpty() && DrawImage(dc, selected_fore_image_.GetData())) return;
  CButtonUI::PaintForegroundImage(dc);
}

void COptionUI::PaintText(HDC dc) {
  if (!selected_) {
    CButtonUI::PaintText(dc);
    return;
  }
  RefreshStateFlags();
  ResolveDefaultColors();
  DWORD color = selected_text_color_ != 0 ? selected_text_color_ : text_color_;
  if (!IsEnabled()) color = disabled_text_color_;
  PaintStateText(dc, color, selected_font_ != -1 ? selected_font_ : font_);
}

}  // namespace SkinUI
