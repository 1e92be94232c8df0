// One open level of a pop-up menu: a top-most tool window with its own paint
// manager. A root menu is built from a skin whose root is "Menu" and is
// owned by the application; a sub-menu borrows the items of the menu item
// that opened it, gives them back when it closes and deletes itself. All open
// menu windows close one another through the process-wide observer.
#pragma once

#include <windows.h>

#include "ui_toolkit/controls/menu_observer.h"
#include "ui_toolkit/controls/menu_records.h"
#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/skin_builder.h"
#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CMenuUI;
class CMenuElementUI;
class CUiStringPtrMap;

// Alignment flags of a root menu: which of its edges lie at the point.
inline constexpr DWORD kMenuAlignLeft = 2;
inline constexpr DWORD kMenuAlignTop = 4;
inline constexpr DWORD kMenuAlignRight = 8;
inline constexpr DWORD kMenuAlignBottom = 16;
inline constexpr DWORD kMenuAlignDefault = kMenuAlignLeft | kMenuAlignTop;

class CMenuWnd : public CWindowWnd, public MenuReceiverImpl, public INotifyUI, public IDialogBuilderCallback {
 public:
  CMenuWnd();
  ~CMenuWnd() override;

  // Creates and shows the window. A root menu (no |owner|) needs the paint
  // manager of the application window, which becomes its parent and receives
  // its leaf clicks; a sub-menu takes its items from |owner|.
  void Open(CMenuElementUI* owner, const wchar_t* skin, POINT point, CPaintManagerUI* main_manager,
            CUiStringPtrMap* check_states = nullptr, DWORD alignment = kMenuAlignDefault);
  // Posts WM_CLOSE with |result| while the window exists.
  void CloseMenu(UINT result);
  bool IsClosing() const { return closing_; }

  static MenuObserverImpl& GetMenuObserver();
  CMenuUI* GetMenuRoot();

  BOOL OnPublished(MenuCloseParam param) override;
  void Notify(NotifyMsgUI& msg) override;
  CControlUI* CreateCustomControl(const wchar_t* class_name) override;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"SkinMenuWnd"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  LRESULT OnCreateWindow();
  bool CreateSubMenuLayout();
  bool CreateRootMenuLayout();
  LRESULT OnFocusLost(HWND gaining);
  void PlaceRootMenu();
  void PlaceSubMenu();
  void GiveItemsBack();

  bool closing_ = false;
  POINT point_{};
  CUiString skin_;
  CPaintManagerUI paint_manager_;
  CMenuElementUI* owner_ = nullptr;
  CMenuUI* layout_ = nullptr;
  DWORD alignment_ = kMenuAlignDefault;
};

}  // namespace SkinUI
