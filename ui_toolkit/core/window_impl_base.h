// The base of every skinned top-level window: no system frame, a control
// tree built from a skin, a fixed table of overridable message handlers in
// front of the paint manager, and notifications routed through message maps.
#pragma once

#include "ui_toolkit/core/notify_pump.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/skin_builder.h"
#include "ui_toolkit/core/text_resource_manager.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override = default;

  void Notify(NotifyMsgUI& msg) override;
  LRESULT MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  CControlUI* CreateCustomControl(const wchar_t* class_name) override;
  const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) override;
  const NotifyMap* GetMessageMap() const override;

  CPaintManagerUI& GetPaintManager() { return paint_manager_; }

  virtual void InitResource() {}
  virtual void InitWindow() {}
  virtual void OnClick(NotifyMsgUI& msg);
  virtual bool IsCaptionPassThroughControl(CControlUI* control);
  virtual CUiString GetSkinType() { return CUiString(); }
  virtual CUiString GetSkinFile() = 0;
  virtual const wchar_t* GetManagerName() { return nullptr; }
  virtual LRESULT HandleDefaultKey(WPARAM key);
  virtual LRESULT OnClose(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnNcActivate(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnNcCalcSize(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnNcPaint(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnNcHitTest(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseWheel(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseHover(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnSize(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnChar(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnSysCommand(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnCreate(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnKeyDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnKillFocus(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnSetFocus(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LRESULT HandleCustomMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled);
  virtual LONG GetStyle();

 protected:
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

  CPaintManagerUI paint_manager_;

 private:
  // A skin that cannot be built: tells the user and ends the process.
  [[noreturn]] static void OnSkinLoadFailed(const CUiString& skin_file);

  static const NotifyMapEntry kEntries[];
  static const NotifyMap kMap;
};

}  // namespace SkinUI
