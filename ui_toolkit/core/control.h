// The base of every element of a skinned window's control tree: identity,
// placement hints, appearance, text, state, delegate hooks, and the default
// painting, event handling, invalidation and hit testing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui_toolkit/core/delegate.h"
#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {

class CPaintManagerUI;
class CControlUI;

using FindControlProc = CControlUI*(CALLBACK*)(CControlUI* control, void* data);

struct FloatPercentUI {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

class CControlUI {
 public:
  CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;
  virtual ~CControlUI();

  virtual CUiString GetName() const;
  virtual void SetName(const wchar_t* name);
  virtual const wchar_t* GetClassName() const;
  virtual void* QueryInterfaceByName(const wchar_t* name);
  virtual UINT GetControlFlags() const;
  virtual bool Activate();
  virtual CPaintManagerUI* GetManager() const;
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* GetParent() const;
  virtual CUiString GetText() const;
  virtual void SetText(const wchar_t* text);
  virtual bool IsResourceText() const;
  virtual void SetResourceText(bool on);
  virtual bool IsDragEnabled() const;
  virtual void SetDragEnabled(bool on);
  virtual bool IsDropEnabled() const;
  virtual void SetDropEnabled(bool on);
  virtual bool IsRichEvent() const;
  virtual void SetRichEvent(bool on);
  virtual RECT GetRelativePos() const;
  virtual RECT GetClientPos() const;
  virtual const RECT& GetPos() const;
  virtual void SetPos(RECT rc, bool invalidate = true);
  virtual void MoveBy(SIZE delta, bool invalidate = true);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual int GetX() const;
  virtual int GetY() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT rc);
  virtual SIZE GetFixedXY() const;
  virtual void SetFixedXY(SIZE xy);
  virtual SIZE GetFixedSize() const;
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual FloatPercentUI GetFloatPercent() const;
  virtual void SetFloatPercent(FloatPercentUI percent);
  virtual void SetFloatAlign(UINT align);
  virtual UINT GetFloatAlign() const;
  virtual CUiString GetToolTip() const;
  virtual void SetToolTip(const wchar_t* text);
  virtual void SetToolTipWidth(int width);
  virtual int GetToolTipWidth() const;
  virtual WORD GetCursor() const;
  virtual void SetCursor(WORD cursor);
  virtual wchar_t GetShortcut() const;
  virtual void SetShortcut(wchar_t ch);
  virtual bool IsContextMenuUsed() const;
  virtual void SetContextMenuUsed(bool on);
  virtual const CUiString& GetUserData() const;
  virtual void SetUserData(const wchar_t* text);
  virtual UINT_PTR GetTag() const;
  virtual void SetTag(UINT_PTR tag);
  virtual bool IsVisible() const;
  virtual void SetVisible(bool visible = true);
  virtual void SetVisibleByParent(bool visible);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool enabled = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool enabled = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool on = true);
  virtual CControlUI* FindControl(FindControlProc proc, void* data, UINT flags);
  virtual void Initialize();
  virtual void OnInitialize();
  virtual void DispatchEvent(ControlEventUI& event);
  virtual void HandleEvent(ControlEventUI& event);
  virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
  virtual SIZE MeasureSize(SIZE available);
  virtual bool Paint(HDC dc, const RECT& paint, CControlUI* stop = nullptr);
  virtual bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop);
  virtual void PaintBackgroundColor(HDC dc);
  virtual void PaintBackgroundImage(HDC dc);
  virtual void PaintStateImage(HDC dc);
  virtual void PaintForegroundColor(HDC dc);
  virtual void PaintForegroundImage(HDC dc);
  virtual void PaintText(HDC dc);
  virtual void PaintBorder(HDC dc);
  virtual void PaintAfterChildren(HDC dc, const RECT& paint);

  // ---- appearance
  DWORD GetBackgroundColor() const { return bk_color_; }
  void SetBackgroundColor(DWORD color);
  DWORD GetBackgroundColor2() const { return bk_color2_; }
  void SetBackgroundColor2(DWORD color);
  DWORD GetBackgroundColor3() const { return bk_color3_; }
  void SetBackgroundColor3(DWORD color);
  DWORD GetForeColor() const { return fore_color_; }
  void SetForeColor(DWORD color);
  DWORD GetBorderColor() const { return border_color_; }
  void SetBorderColor(DWORD color);
  DWORD GetFocusBorderColor() const { return focus_border_color_; }
  void SetFocusBorderColor(DWORD color);
  bool IsColorHsl() const { return color_hsl_; }
  void SetColorHsl(bool on);
  int GetBorderSize() const { return border_size_; }
  int GetBorderSizeScaled() const;
  void SetBorderSize(int size);
  SIZE GetBorderRound() const { return border_round_; }
  SIZE GetBorderRoundScaled() const;
  void SetBorderRound(SIZE round);
  RECT GetBorderRect() const { return side_borders_; }
  RECT GetBorderRectScaled() const;
  void SetBorderRect(RECT rc);
  void SetLeftBorderSize(int size);
  void SetTopBorderSize(int size);
  void SetRightBorderSize(int size);
  void SetBottomBorderSize(int size);
  int GetBorderStyle() const { return border_style_; }
  void SetBorderStyle(int style);
  const CUiString& GetBackgroundImage() const { return bk_image_; }
  void SetBackgroundImage(const wchar_t* description);
  const CUiString& GetForeImage() const { return fore_image_; }
  void SetForeImage(const wchar_t* description);
  const CUiString& GetGradient() const { return gradient_; }
  void SetGradient(const wchar_t* direction);

  void SetVirtualWnd(const wchar_t* name);
  CUiString GetVirtualWnd() const;
  bool IsUpdateNeeded() const { return update_needed_; }
  void Invalidate();
  void MarkNeedsLayout();
  void MarkParentNeedsLayout();
  bool SetTimer(UINT id, UINT elapse);
  void KillTimer(UINT id);
  void AddCustomAttribute(const wchar_t* name, const wchar_t* value);
  const wchar_t* GetCustomAttribute(const wchar_t* name) const;
  void RemoveAllCustomAttributes();
  CControlUI* ApplyAttributeString(const wchar_t* text);
  DWORD AdjustColorByHsl(DWORD color) const;
  bool DrawImage(HDC dc, const wchar_t* description, const wchar_t* modifier = nullptr);
  const RECT& GetPaintRect() const { return paint_rect_; }

  CUiEventSource OnInit;
  CUiEventSource OnDestroy;
  CUiEventSource OnSize;
  CUiEventSource OnEvent;
  CUiEventSource OnNotify;

 protected:
  // Scaling through the manager's DPI helper; the stored value without one.
  int ScaleValue(int value) const;
  SIZE ScaleSizeValue(SIZE size) const;
  RECT ScaleRectValue(RECT rc) const;
  // Depth guard for attribute-list texts that name styles which name styles.
  CControlUI* ApplyAttributeStringAtDepth(const wchar_t* text, int depth);

  CPaintManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  CUiString virtual_wnd_;
  CUiString name_;
  bool update_needed_ = true;
  bool menu_used_ = false;
  RECT pos_{};
  RECT padding_{};
  SIZE fixed_xy_{};
  SIZE fixed_size_{};
  SIZE min_size_{};
  SIZE max_size_{9999, 9999};
  bool visible_ = true;
  bool internal_visible_ = true;
  bool enabled_ = true;
  bool mouse_enabled_ = true;
  bool keyboard_enabled_ = true;
  bool focused_ = false;
  bool float_ = false;
  FloatPercentUI float_percent_;
  UINT float_align_ = 0;
  bool in_size_event_ = false;
  bool rich_event_ = false;
  bool drag_enabled_ = false;
  bool drop_enabled_ = false;
  bool resource_text_ = false;
  CUiString text_;
  CUiString tooltip_;
  wchar_t shortcut_ = 0;
  CUiString user_data_;
  UINT_PTR tag_ = 0;
  CUiString gradient_;
  DWORD bk_color_ = 0;
  DWORD bk_color2_ = 0;
  DWORD bk_color3_ = 0;
  DWORD fore_color_ = 0;
  CUiString bk_image_;
  CUiString fore_image_;
  DWORD border_color_ = 0;
  DWORD focus_border_color_ = 0;
  bool color_hsl_ = false;
  int border_size_ = 0;
  int border_style_ = 0;
  int tooltip_width_ = 300;
  WORD cursor_ = 0;
  SIZE border_round_{};
  RECT paint_rect_{};
  RECT side_borders_{};
  CUiStringPtrMap custom_attributes_;
};

// Attribute value helpers shared by every control class.
namespace attr {
bool IsTrue(const wchar_t* value);
int ParseInt(const wchar_t* value);
// Skips one "#" and an optional "0x"; reads hexadecimal digits up to the first other character.
DWORD ParseColor(const wchar_t* value);
// Reads up to |count| integers, each followed by one separator character; stops at the end
// of the text (missing numbers stay 0). Returns how many were read.
int ParseInts(const wchar_t* value, long* out, int count);
RECT ParseRect(const wchar_t* value);
SIZE ParseSize(const wchar_t* value);
bool Equals(const wchar_t* a, const wchar_t* b);  // ignoring case
bool Contains(const wchar_t* text, const wchar_t* word);
}  // namespace attr

}  // namespace SkinUI
