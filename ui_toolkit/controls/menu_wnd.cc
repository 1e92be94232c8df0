#include "ui_toolkit/controls/menu_wnd.h"

#include <algorithm>

#include "base/product_log.h"
#include "ui_toolkit/controls/list_body.h"
#include "ui_toolkit/controls/menu.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/shadow.h"

namespace SkinUI {
namespace {

CMenuElementUI* AsMenuElement(CControlUI* control) {
  return control == nullptr ? nullptr : static_cast<CMenuElementUI*>(control->QueryInterfaceByName(L"MenuElement"));
}

RECT WorkAreaOf(HWND hwnd) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcWork;
}

}  // namespace

CMenuWnd::CMenuWnd() = default;

CMenuWnd::~CMenuWnd() {
  // An application that deletes its root menu while the window still shows
  // must not leave a window whose procedure reaches a freed object.
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

MenuObserverImpl& CMenuWnd::GetMenuObserver() { return ProcessMenuObserver(); }

CMenuUI* CMenuWnd::GetMenuRoot() {
  CControlUI* root = paint_manager_.GetRootControl();
  return root == nullptr ? nullptr : static_cast<CMenuUI*>(root->QueryInterfaceByName(L"Menu"));
}

void CMenuWnd::Open(CMenuElementUI* owner, const wchar_t* skin, POINT point, CPaintManagerUI* main_manager,
                    CUiStringPtrMap* check_states, DWORD alignment) {
  layout_ = nullptr;
  point_ = point;
  owner_ = owner;
  skin_ = skin == nullptr ? L"" : skin;
  alignment_ = alignment;
  MenuObserverImpl& observer = GetMenuObserver();
  if (owner_ == nullptr) {
    observer.SetMainManager(main_manager);
    if (check_states != nullptr) observer.SetCheckStates(check_states);
  }
  observer.Subscribe(this);

  HWND parent = nullptr;
  if (owner_ != nullptr) {
    parent = owner_->GetManager()->GetPaintWindow();
  } else if (main_manager != nullptr) {
    parent = main_manager->GetPaintWindow();
  }
  const bool sub_menu = owner_ != nullptr;
  if (CreateInRect(parent, nullptr, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, RECT{}) == nullptr) {
    // The window is gone already: a sub-menu's object deleted itself with it.
    PRODUCT_LOG("{} menu window not created", sub_menu ? "sub" : "root");
    return;
  }
  HWND top = hwnd_;
  while (HWND above = ::GetParent(top)) top = above;
  ::ShowWindow(hwnd_, SW_SHOW);
  // The application window keeps its active caption while its menu is open.
  ::SendMessageW(top, WM_NCACTIVATE, TRUE, 0);
}

void CMenuWnd::CloseMenu(UINT result) {
  if (hwnd_ == nullptr || !::IsWindow(hwnd_)) return;
  ::PostMessageW(hwnd_, WM_CLOSE, result, 0);
  closing_ = true;
}

LRESULT CMenuWnd::OnCreateWindow() {
  const bool made = owner_ != nullptr ? CreateSubMenuLayout() : CreateRootMenuLayout();
  if (!made) return -1;
  CShadowUI* shadow = paint_manager_.GetShadow();
  GetMenuRoot()->SetMenuWnd(this);
  shadow->CreateForManager(&paint_manager_);
  return 0;
}

bool CMenuWnd::CreateSubMenuLayout() {
  LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  style = (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  ::SetWindowLongW(hwnd_, GWL_STYLE, style);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  ::SetWindowPos(hwnd_, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
                 SWP_FRAMECHANGED);

  CPaintManagerUI* owner_manager = owner_->GetManager();
  paint_manager_.Init(hwnd_);
  paint_manager_.GetDpiHelper()->SetScaleFromDpi(owner_manager->GetDpiHelper()->GetDpi());
  layout_ = new CMenuUI();
  paint_manager_.SetUseSharedResources(true);
  layout_->SetManager(&paint_manager_, nullptr, true);
  if (const wchar_t* defaults = owner_manager->FindDefaultAttributes(L"Menu")) layout_->ApplyAttributeString(defaults);
  // The items stay the owner's: this list only borrows them.
  layout_->GetBody()->SetAutoDestroy(false);
  for (int i = 0; i < owner_->GetCount(); ++i) {
    CMenuElementUI* item = AsMenuElement(owner_->GetItemAt(i));
    if (item == nullptr) continue;
    item->SetOwner(layout_);
    layout_->Add(item);
  }
  CShadowUI* shadow = paint_manager_.GetShadow();
  owner_manager->GetShadow()->CopySettingsTo(shadow);
  const bool shadow_on = shadow->IsEnabled();
  shadow->SetEnabled(false);
  if (owner_manager->IsLayered()) paint_manager_.SetLayered(true);
  paint_manager_.SetRootControl(layout_);
  paint_manager_.AddNotifier(this);
  PlaceSubMenu();
  shadow->SetEnabled(shadow_on);
  return true;
}

bool CMenuWnd::CreateRootMenuLayout() {
  paint_manager_.Init(hwnd_);
  if (CPaintManagerUI* main = GetMenuObserver().GetMainManager()) {
    paint_manager_.GetDpiHelper()->SetScaleFromDpi(main->GetDpiHelper()->GetDpi());
  }
  CUiSkinBuilder builder;
  CControlUI* root = builder.Create(skin_, nullptr, this, &paint_manager_, nullptr);
  if (root == nullptr || root->QueryInterfaceByName(L"Menu") == nullptr) {
    PRODUCT_LOG("menu skin not built or its root is not a menu");
    // The manager frees whatever was built.
    if (root != nullptr) paint_manager_.SetRootControl(root);
    return false;
  }
  CShadowUI* shadow = paint_manager_.GetShadow();
  const bool shadow_on = shadow->IsEnabled();
  shadow->SetEnabled(false);
  paint_manager_.SetRootControl(root);
  paint_manager_.AddNotifier(this);
  PlaceRootMenu();
  shadow->SetEnabled(shadow_on);
  return true;
}

void CMenuWnd::PlaceRootMenu() {
  const RECT work = WorkAreaOf(hwnd_);
  CMenuUI* root = GetMenuRoot();
  const SIZE measured = root->MeasureSize(SIZE{work.right - work.left, work.bottom - work.top});
  paint_manager_.SetInitialSize(measured.cx, measured.cy);
  const SIZE size = paint_manager_.GetInitialSize();

  RECT rc{point_.x, point_.y, point_.x + size.cx, point_.y + size.cy};
  if (alignment_ & kMenuAlignRight) {
    rc.right = point_.x;
    rc.left = point_.x - size.cx;
  }
  if (alignment_ & kMenuAlignBottom) {
    rc.bottom = point_.y;
    rc.top = point_.y - size.cy;
  }
  ::SetForegroundWindow(hwnd_);
  ::MoveWindow(hwnd_, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
  const RECT inset = root->GetInset();
  ::SetWindowPos(hwnd_, HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left,
                 rc.bottom - rc.top + inset.top + inset.bottom, SWP_SHOWWINDOW);
}

void CMenuWnd::PlaceSubMenu() {
  RECT owner_rc = owner_->GetPos();
  const RECT work = WorkAreaOf(hwnd_);
  const SIZE available{work.right - work.left, work.bottom - work.top};

  LONG cx = 0, cy = 0;
  for (int i = 0; i < owner_->GetCount(); ++i) {
    CMenuElementUI* item = AsMenuElement(owner_->GetItemAt(i));
    if (item == nullptr) continue;
    const SIZE size = item->MeasureSize(available);
    cy += size.cy;
    cx = std::max(cx, size.cx);
  }

  const HWND parent_window = owner_->GetManager()->GetPaintWindow();
  RECT parent{};
  ::GetWindowRect(parent_window, &parent);

  RECT rc{owner_rc.left, owner_rc.top, owner_rc.right, owner_rc.top + cy};
  ::MapWindowPoints(parent_window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
  const LONG owner_top = rc.top;
  rc.left = parent.right;
  rc.right = parent.right + cx + 2;

  // A chain of menus that already runs leftwards or upwards keeps doing so.
  bool reach_right = false, reach_bottom = false;
  for (MenuReceiverImpl* receiver : GetMenuObserver().Receivers()) {
    auto* window = dynamic_cast<CMenuWnd*>(receiver);
    if (window == nullptr) continue;
    RECT other{};
    ::GetWindowRect(window->GetWindowHandle(), &other);
    reach_right = other.left >= parent.right;
    reach_bottom = other.top >= parent.bottom;
    if (window->GetWindowHandle() == parent_window || reach_right || reach_bottom) break;
  }
  if (reach_bottom) {
    rc.bottom = parent.top;
    rc.top = parent.top - cy;
  }
  if (reach_right) {
    rc.right = parent.left;
    rc.left = parent.left - cx;
  }

  if (rc.bottom > work.bottom) {
    rc.bottom = rc.top;
    rc.top = rc.bottom - cy;
  }
  if (rc.right > work.right) {
    rc.right = parent.left;
    rc.left = parent.left - cx;
  }
  if (rc.top < work.top) {
    rc.top = owner_top;
    rc.bottom = rc.top + cy;
  }
  if (rc.left < work.left) {
    rc.left = parent.right;
    rc.right = parent.right + cx;
  }
  const RECT inset = layout_->GetInset();
  ::MoveWindow(hwnd_, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top + inset.top + inset.bottom, FALSE);
}

LRESULT CMenuWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      if (OnCreateWindow() != 0) return -1;
      break;
    case WM_SIZE:
      if (!::IsIconic(hwnd_)) {
        RECT rc{};
        ::GetWindowRect(hwnd_, &rc);
        const SIZE round = paint_manager_.GetRoundCorner();
        // The window owns the region from here on.
        ::SetWindowRgn(hwnd_,
                       ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, round.cx, round.cy),
                       TRUE);
      }
      break;
    case WM_KILLFOCUS:
      OnFocusLost(reinterpret_cast<HWND>(wparam));
      break;
    case WM_CLOSE:
      GiveItemsBack();
      break;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE || wparam == VK_LEFT) CloseMenu(1);
      break;
    case WM_CONTEXTMENU:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return 0;
    default:
      break;
  }
  LRESULT result = 0;
  if (paint_manager_.HandleWindowMessage(message, wparam, lparam, result)) return result;
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

void CMenuWnd::GiveItemsBack() {
  if (owner_ == nullptr || layout_ == nullptr) return;
  // The owner's children follow it back into the menu it lives in.
  owner_->SetManager(owner_->GetManager(), owner_->GetParent(), false);
  owner_->SetPos(owner_->GetPos(), true);
  owner_->SetFocus();
  layout_ = nullptr;
}

LRESULT CMenuWnd::OnFocusLost(HWND gaining) {
  for (MenuReceiverImpl* receiver : GetMenuObserver().Receivers()) {
    auto* window = dynamic_cast<CMenuWnd*>(receiver);
    if (window != nullptr && gaining != nullptr && window->GetWindowHandle() == gaining) return 0;
  }
  GetMenuObserver().Publish({kMenuCloseAll, hwnd_});
  return 0;
}

BOOL CMenuWnd::OnPublished(MenuCloseParam param) {
  if (param.kind == kMenuCloseAll) {
    CloseMenu(1);
  } else if (param.kind == kMenuCloseBelow) {
    for (HWND above = ::GetParent(hwnd_); above != nullptr; above = ::GetParent(above)) {
      if (above == param.window) {
        CloseMenu(1);
        break;
      }
    }
  }
  return TRUE;
}

void CMenuWnd::OnFinalMessage(HWND) {
  UnsubscribeAll();
  if (owner_ == nullptr) return;  // a root menu belongs to the application
  // A window destroyed without WM_CLOSE (its parent went first) still returns
  // the borrowed items before its list is freed.
  GiveItemsBack();
  CControlUI* back_owner = owner_->GetParent();
  for (int i = 0; i < owner_->GetCount(); ++i) {
    CMenuElementUI* item = AsMenuElement(owner_->GetItemAt(i));
    if (item == nullptr) continue;
    item->SetOwner(back_owner);
    item->SetVisible(false);
    item->SetVisibleByParent(false);
  }
  owner_->SetSubMenuWindow(nullptr);
  owner_->ClearItemStateBits(UISTATE_PUSHED);
  owner_->InvalidateListItem();
  delete this;
}

void CMenuWnd::Notify(NotifyMsgUI& msg) {
  CPaintManagerUI* main = GetMenuObserver().GetMainManager();
  if (main == nullptr) return;
  if (msg.sType.Equals(L"click") || msg.sType.Equals(L"valuechanged")) main->SendNotifyRecord(msg, false);
}

CControlUI* CMenuWnd::CreateCustomControl(const wchar_t* class_name) {
  if (class_name == nullptr) return nullptr;
  if (CUiString(class_name).CompareNoCase(L"Menu") == 0) return new CMenuUI();
  if (CUiString(class_name).CompareNoCase(L"MenuElement") == 0) return new CMenuElementUI();
  return nullptr;
}

}  // namespace SkinUI
