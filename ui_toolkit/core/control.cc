#include "ui_toolkit/core/control.h"

#include <algorithm>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {

CControlUI::CControlUI() : custom_attributes_(83) {}

CControlUI::~CControlUI() {
  if (OnDestroy.HasDelegates()) OnDestroy.Invoke(this);
  RemoveAllCustomAttributes();
  if (manager_ != nullptr) manager_->ForgetControl(this);
}

CUiString CControlUI::GetName() const { return name_; }
void CControlUI::SetName(const wchar_t* name) { name_ = name; }
const wchar_t* CControlUI::GetClassName() const { return L"ControlUI"; }

void* CControlUI::QueryInterfaceByName(const wchar_t* name) {
  return attr::Equals(name, L"Control") ? this : nullptr;
}

UINT CControlUI::GetControlFlags() const { return 0; }
bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }
CPaintManagerUI* CControlUI::GetManager() const { return manager_; }

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  manager_ = manager;
  parent_ = parent;
  if (init && parent_ != nullptr) Initialize();
}

CControlUI* CControlUI::GetParent() const { return parent_; }

CUiString CControlUI::GetText() const {
  if (!resource_text_) return text_;
  return CTextResourceManager::GetInstance().GetText(text_.GetData());
}

void CControlUI::SetText(const wchar_t* text) {
  if (text_ == (text != nullptr ? text : L"")) return;
  text_ = text;
  text_.Replace(L"{\\n}", L"\n");
  Invalidate();
}

bool CControlUI::IsResourceText() const { return resource_text_; }
void CControlUI::SetResourceText(bool on) {
  if (resource_text_ == on) return;
  resource_text_ = on;
  Invalidate();
}
bool CControlUI::IsDragEnabled() const { return drag_enabled_; }
void CControlUI::SetDragEnabled(bool on) { drag_enabled_ = on; }
bool CControlUI::IsDropEnabled() const { return drop_enabled_; }
void CControlUI::SetDropEnabled(bool on) { drop_enabled_ = on; }
bool CControlUI::IsRichEvent() const { return rich_event_; }
void CControlUI::SetRichEvent(bool on) { rich_event_ = on; }

RECT CControlUI::GetRelativePos() const {
  if (parent_ == nullptr) return RECT{};
  RECT rc = pos_;
  const RECT& p = parent_->GetPos();
  ::OffsetRect(&rc, -p.left, -p.top);
  return rc;
}

RECT CControlUI::GetClientPos() const { return pos_; }
const RECT& CControlUI::GetPos() const { return pos_; }

void CControlUI::SetPos(RECT rc, bool invalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  RECT invalidate_rc = ::IsRectEmpty(&pos_) ? rc : pos_;
  pos_ = rc;
  if (manager_ == nullptr) return;
  if (!in_size_event_) {
    in_size_event_ = true;
    if (OnSize.HasDelegates()) OnSize.Invoke(this);
    in_size_event_ = false;
  }
  update_needed_ = false;
  if (!invalidate || !IsVisible()) return;
  ::UnionRect(&invalidate_rc, &invalidate_rc, &pos_);
  for (CControlUI* p = parent_; p != nullptr; p = p->GetParent()) {
    if (!p->IsVisible()) return;
    const RECT& pr = p->GetPos();
    if (!::IntersectRect(&invalidate_rc, &invalidate_rc, &pr)) return;
  }
  manager_->InvalidateRect(invalidate_rc);
}

void CControlUI::MoveBy(SIZE delta, bool) {
  fixed_xy_.cx += delta.cx;
  fixed_xy_.cy += delta.cy;
  MarkParentNeedsLayout();
}

int CControlUI::GetWidth() const { return pos_.right - pos_.left; }
int CControlUI::GetHeight() const { return pos_.bottom - pos_.top; }
int CControlUI::GetX() const { return pos_.left; }
int CControlUI::GetY() const { return pos_.top; }

int CControlUI::ScaleValue(int value) const {
  return manager_ != nullptr ? manager_->GetDpiHelper()->Scale(value) : value;
}
SIZE CControlUI::ScaleSizeValue(SIZE size) const {
  if (manager_ == nullptr) return size;
  return manager_->GetDpiHelper()->ScaledSize(size);
}
RECT CControlUI::ScaleRectValue(RECT rc) const {
  if (manager_ == nullptr) return rc;
  return manager_->GetDpiHelper()->ScaledRect(rc);
}

RECT CControlUI::GetPadding() const { return ScaleRectValue(padding_); }
void CControlUI::SetPadding(RECT rc) {
  padding_ = rc;
  MarkParentNeedsLayout();
}
SIZE CControlUI::GetFixedXY() const { return ScaleSizeValue(fixed_xy_); }
void CControlUI::SetFixedXY(SIZE xy) {
  fixed_xy_ = xy;
  MarkParentNeedsLayout();
}
SIZE CControlUI::GetFixedSize() const { return ScaleSizeValue(fixed_size_); }
int CControlUI::GetFixedWidth() const { return ScaleValue(fixed_size_.cx); }
void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  fixed_size_.cx = cx;
  MarkParentNeedsLayout();
}
int CControlUI::GetFixedHeight() const { return ScaleValue(fixed_size_.cy); }
void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  fixed_size_.cy = cy;
  MarkParentNeedsLayout();
}

namespace {
template <typename T>
void SetLimit(CControlUI* control, T& field, int value) {
  if (value < 0 || field == value) return;
  field = value;
  control->MarkParentNeedsLayout();
}
}  // namespace

int CControlUI::GetMinWidth() const { return ScaleValue(min_size_.cx); }
void CControlUI::SetMinWidth(int cx) { SetLimit(this, min_size_.cx, cx); }
int CControlUI::GetMaxWidth() const { return ScaleValue(max_size_.cx); }
void CControlUI::SetMaxWidth(int cx) { SetLimit(this, max_size_.cx, cx); }
int CControlUI::GetMinHeight() const { return ScaleValue(min_size_.cy); }
void CControlUI::SetMinHeight(int cy) { SetLimit(this, min_size_.cy, cy); }
int CControlUI::GetMaxHeight() const { return ScaleValue(max_size_.cy); }
void CControlUI::SetMaxHeight(int cy) { SetLimit(this, max_size_.cy, cy); }

FloatPercentUI CControlUI::GetFloatPercent() const { return float_percent_; }
void CControlUI::SetFloatPercent(FloatPercentUI percent) {
  float_percent_ = percent;
  MarkParentNeedsLayout();
}
void CControlUI::SetFloatAlign(UINT align) {
  float_align_ = align;
  MarkParentNeedsLayout();
}
UINT CControlUI::GetFloatAlign() const { return float_align_; }

CUiString CControlUI::GetToolTip() const {
  if (!resource_text_) return tooltip_;
  return CTextResourceManager::GetInstance().GetText(tooltip_.GetData());
}
void CControlUI::SetToolTip(const wchar_t* text) {
  tooltip_ = text;
  tooltip_.Replace(L"<n>", L"\r\n");
}
void CControlUI::SetToolTipWidth(int width) { tooltip_width_ = width; }
int CControlUI::GetToolTipWidth() const { return ScaleValue(tooltip_width_); }
WORD CControlUI::GetCursor() const { return cursor_; }
void CControlUI::SetCursor(WORD cursor) {
  cursor_ = cursor;
  Invalidate();
}
wchar_t CControlUI::GetShortcut() const { return shortcut_; }
void CControlUI::SetShortcut(wchar_t ch) { shortcut_ = ch; }
bool CControlUI::IsContextMenuUsed() const { return menu_used_; }
void CControlUI::SetContextMenuUsed(bool on) { menu_used_ = on; }
const CUiString& CControlUI::GetUserData() const { return user_data_; }
void CControlUI::SetUserData(const wchar_t* text) { user_data_ = text; }
UINT_PTR CControlUI::GetTag() const { return tag_; }
void CControlUI::SetTag(UINT_PTR tag) { tag_ = tag; }

bool CControlUI::IsVisible() const { return visible_ && internal_visible_; }

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool was_visible = IsVisible();
  visible_ = visible;
  if (focused_) focused_ = false;
  if (!visible && manager_ != nullptr && manager_->GetFocusControl() == this) manager_->SetFocus(nullptr);
  if (IsVisible() != was_visible) MarkParentNeedsLayout();
}

void CControlUI::SetVisibleByParent(bool visible) {
  internal_visible_ = visible;
  if (!visible && manager_ != nullptr && manager_->GetFocusControl() == this) manager_->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const { return enabled_; }
void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}
bool CControlUI::IsMouseEnabled() const { return mouse_enabled_; }
void CControlUI::SetMouseEnabled(bool enabled) { mouse_enabled_ = enabled; }
bool CControlUI::IsKeyboardEnabled() const { return keyboard_enabled_; }
void CControlUI::SetKeyboardEnabled(bool enabled) { keyboard_enabled_ = enabled; }
bool CControlUI::IsFocused() const { return focused_; }
void CControlUI::SetFocus() {
  if (manager_ != nullptr) manager_->SetFocus(this);
}
bool CControlUI::IsFloat() const { return float_; }
void CControlUI::SetFloat(bool on) {
  if (float_ == on) return;
  float_ = on;
  MarkParentNeedsLayout();
}

CControlUI* CControlUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
  if ((flags & UIFIND_HITTEST) != 0 &&
      (!mouse_enabled_ || !::PtInRect(&pos_, *static_cast<const POINT*>(data)))) {
    return nullptr;
  }
  return proc(this, data);
}

void CControlUI::Initialize() {
  OnInitialize();
  if (OnInit.HasDelegates()) OnInit.Invoke(this);
}

void CControlUI::OnInitialize() {}

void CControlUI::DispatchEvent(ControlEventUI& event) {
  if (OnEvent.HasDelegates() && !OnEvent.Invoke(&event)) return;
  HandleEvent(event);
}

void CControlUI::HandleEvent(ControlEventUI& event) {
  switch (event.Type) {
    case UIEVENT_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor_ != 0 ? cursor_ : 32512)));
      return;
    case UIEVENT_SETFOCUS:
      focused_ = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      focused_ = false;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      if (manager_ != nullptr) manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
      return;
    case UIEVENT_CONTEXTMENU:
      if (menu_used_) {
        if (manager_ != nullptr) manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
      }
      break;
    default:
      break;
  }
  if (parent_ != nullptr) parent_->HandleEvent(event);
}

SIZE CControlUI::MeasureSize(SIZE) { return GetFixedSize(); }

bool CControlUI::Paint(HDC dc, const RECT& paint, CControlUI* stop) {
  if (stop == this) return false;
  if (!::IntersectRect(&paint_rect_, &paint, &pos_)) return true;
  return PaintContent(dc, paint_rect_, stop);
}

bool CControlUI::PaintContent(HDC dc, const RECT& paint, CControlUI*) {
  const SIZE round = GetBorderRoundScaled();
  CUiClipScope clip;
  const bool rounded = round.cx > 0 || round.cy > 0;
  if (rounded) CUiClipScope::BeginRound(dc, paint_rect_, pos_, round.cx, round.cy, clip);
  PaintBackgroundColor(dc);
  PaintBackgroundImage(dc);
  PaintStateImage(dc);
  PaintForegroundColor(dc);
  PaintForegroundImage(dc);
  PaintText(dc);
  PaintBorder(dc);
  return true;
}

void CControlUI::PaintBackgroundColor(HDC dc) {
  if (bk_color_ == 0) return;
  const DWORD c1 = AdjustColorByHsl(bk_color_);
  const bool vertical = _wcsicmp(gradient_.GetData(), L"hor") != 0;
  if (bk_color2_ != 0) {
    const DWORD c2 = AdjustColorByHsl(bk_color2_);
    if (bk_color3_ != 0) {
      const DWORD c3 = AdjustColorByHsl(bk_color3_);
      RECT upper = pos_;
      upper.bottom = (pos_.top + pos_.bottom) / 2;
      CUiDrawEngine::DrawGradient(dc, upper, c1, c2, vertical, 8);
      RECT lower = pos_;
      lower.top = upper.bottom;
      CUiDrawEngine::DrawGradient(dc, lower, c2, c3, vertical, 8);
    } else {
      CUiDrawEngine::DrawGradient(dc, pos_, c1, c2, vertical, 16);
    }
    return;
  }
  // A translucent colour is laid once over the whole control so that two
  // partial repaints never blend it twice at their seam.
  CUiDrawEngine::FillColor(dc, c1 < 0xFF000000 ? pos_ : paint_rect_, c1);
}

void CControlUI::PaintBackgroundImage(HDC dc) {
  if (!bk_image_.IsEmpty()) DrawImage(dc, bk_image_.GetData());
}
void CControlUI::PaintStateImage(HDC) {}
void CControlUI::PaintForegroundColor(HDC dc) { CUiDrawEngine::FillColor(dc, pos_, AdjustColorByHsl(fore_color_)); }
void CControlUI::PaintForegroundImage(HDC dc) {
  if (!fore_image_.IsEmpty()) DrawImage(dc, fore_image_.GetData());
}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC dc) {
  if (border_color_ == 0 && focus_border_color_ == 0) return;
  const int size = GetBorderSizeScaled();
  const SIZE round = GetBorderRoundScaled();
  const RECT sides = GetBorderRectScaled();
  const DWORD normal = AdjustColorByHsl(border_color_);
  const DWORD focus = AdjustColorByHsl(focus_border_color_);
  if (size > 0 && (round.cx > 0 || round.cy > 0)) {
    CUiDrawEngine::DrawRoundRect(dc, pos_, size, round.cx, round.cy,
                                 (focused_ && focus_border_color_ != 0) ? focus : normal, border_style_);
    return;
  }
  if (focused_ && focus_border_color_ != 0 && size > 0) {
    CUiDrawEngine::DrawRect(dc, pos_, size, focus, border_style_);
    return;
  }
  if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0) {
    if (sides.left > 0) {
      CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.top, pos_.left, pos_.bottom}, sides.left, normal,
                              border_style_);
    }
    if (sides.top > 0) {
      CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.top, pos_.right, pos_.top}, sides.top, normal,
                              border_style_);
    }
    if (sides.right > 0) {
      CUiDrawEngine::DrawLine(dc, RECT{pos_.right - 1, pos_.top, pos_.right - 1, pos_.bottom}, sides.right,
                              normal, border_style_);
    }
    if (sides.bottom > 0) {
      CUiDrawEngine::DrawLine(dc, RECT{pos_.left, pos_.bottom - 1, pos_.right, pos_.bottom - 1}, sides.bottom,
                              normal, border_style_);
    }
    return;
  }
  if (size > 0) CUiDrawEngine::DrawRect(dc, pos_, size, normal, border_style_);
}

void CControlUI::PaintAfterChildren(HDC, const RECT&) {}

namespace {
template <typename T>
void StoreAndInvalidate(CControlUI* control, T& field, T value) {
  if (field == value) return;
  field = value;
  control->Invalidate();
}
}  // namespace

void CControlUI::SetBackgroundColor(DWORD color) { StoreAndInvalidate(this, bk_color_, color); }
void CControlUI::SetBackgroundColor2(DWORD color) { StoreAndInvalidate(this, bk_color2_, color); }
void CControlUI::SetBackgroundColor3(DWORD color) { StoreAndInvalidate(this, bk_color3_, color); }
void CControlUI::SetForeColor(DWORD color) { StoreAndInvalidate(this, fore_color_, color); }
void CControlUI::SetBorderColor(DWORD color) { StoreAndInvalidate(this, border_color_, color); }
void CControlUI::SetFocusBorderColor(DWORD color) { StoreAndInvalidate(this, focus_border_color_, color); }
void CControlUI::SetColorHsl(bool on) { StoreAndInvalidate(this, color_hsl_, on); }
void CControlUI::SetBorderSize(int size) { StoreAndInvalidate(this, border_size_, size); }
int CControlUI::GetBorderSizeScaled() const { return ScaleValue(border_size_); }
SIZE CControlUI::GetBorderRoundScaled() const { return ScaleSizeValue(border_round_); }
RECT CControlUI::GetBorderRectScaled() const {
  return RECT{ScaleValue(side_borders_.left), ScaleValue(side_borders_.top), ScaleValue(side_borders_.right),
              ScaleValue(side_borders_.bottom)};
}
void CControlUI::SetBorderRound(SIZE round) {
  border_round_ = round;
  Invalidate();
}
void CControlUI::SetBorderRect(RECT rc) {
  side_borders_ = rc;
  Invalidate();
}
void CControlUI::SetLeftBorderSize(int size) {
  side_borders_.left = size;
  Invalidate();
}
void CControlUI::SetTopBorderSize(int size) {
  side_borders_.top = size;
  Invalidate();
}
void CControlUI::SetRightBorderSize(int size) {
  side_borders_.right = size;
  Invalidate();
}
void CControlUI::SetBottomBorderSize(int size) {
  side_borders_.bottom = size;
  Invalidate();
}
void CControlUI::SetBorderStyle(int style) {
  border_style_ = style;
  Invalidate();
}

namespace {
void SetImageText(CControlUI* control, CUiString& field, const wchar_t* value) {
  if (field == (value != nullptr ? value : L"")) return;
  field = value;
  control->Invalidate();
}
}  // namespace

void CControlUI::SetBackgroundImage(const wchar_t* description) { SetImageText(this, bk_image_, description); }
void CControlUI::SetForeImage(const wchar_t* description) { SetImageText(this, fore_image_, description); }
void CControlUI::SetGradient(const wchar_t* direction) { SetImageText(this, gradient_, direction); }

void CControlUI::SetVirtualWnd(const wchar_t* name) {
  if (manager_ == nullptr) return;
  virtual_wnd_ = name;
  manager_->SetUsedVirtualWnd(true);
}

CUiString CControlUI::GetVirtualWnd() const {
  if (!virtual_wnd_.IsEmpty()) return virtual_wnd_;
  if (parent_ != nullptr) return parent_->GetVirtualWnd();
  return CUiString();
}

void CControlUI::Invalidate() {
  if (!IsVisible()) return;
  RECT rc = pos_;
  for (CControlUI* p = parent_; p != nullptr; p = p->GetParent()) {
    const RECT& pr = p->GetPos();
    if (!::IntersectRect(&rc, &rc, &pr)) return;
  }
  if (manager_ != nullptr) manager_->InvalidateRect(rc);
}

void CControlUI::MarkNeedsLayout() {
  if (!IsVisible()) return;
  update_needed_ = true;
  Invalidate();
  if (manager_ != nullptr) manager_->NeedUpdate();
}

void CControlUI::MarkParentNeedsLayout() {
  if (parent_ != nullptr) {
    parent_->MarkNeedsLayout();
    parent_->Invalidate();
  } else {
    MarkNeedsLayout();
  }
  if (manager_ != nullptr) manager_->NeedUpdate();
}

bool CControlUI::SetTimer(UINT id, UINT elapse) {
  return manager_ != nullptr && manager_->SetTimer(this, id, elapse);
}
void CControlUI::KillTimer(UINT id) {
  if (manager_ != nullptr) manager_->KillTimer(this, id);
}

void CControlUI::AddCustomAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || name[0] == L'\0' || value == nullptr || value[0] == L'\0') return;
  if (custom_attributes_.Find(name, false) != nullptr) return;
  auto* copy = new CUiString(value);
  if (!custom_attributes_.Insert(name, copy)) delete copy;
}

const wchar_t* CControlUI::GetCustomAttribute(const wchar_t* name) const {
  auto* value = static_cast<CUiString*>(const_cast<CUiStringPtrMap&>(custom_attributes_).Find(name, false));
  return value != nullptr ? value->GetData() : nullptr;
}

void CControlUI::RemoveAllCustomAttributes() {
  for (int i = 0; i < custom_attributes_.GetSize(); ++i) {
    delete static_cast<CUiString*>(custom_attributes_.Find(custom_attributes_.GetKeyAt(i), false));
  }
  custom_attributes_.Resize(83);
}

DWORD CControlUI::AdjustColorByHsl(DWORD color) const {
  if (!color_hsl_) return color;
  const HslSettingsUI hsl = CPaintManagerUI::GetHsl();
  return CUiDrawEngine::AdjustColorHsl(color, hsl.hue, hsl.saturation, hsl.lightness);
}

bool CControlUI::DrawImage(HDC dc, const wchar_t* description, const wchar_t* modifier) {
  return CUiDrawEngine::DrawImageString(dc, manager_, pos_, paint_rect_, description, modifier, nullptr);
}

}  // namespace SkinUI
