// One Win32 window bound to one object: the class is registered (or a system
// class superclassed) on first creation, every message of the window reaches
// the object's HandleMessage, and ShowModal runs the toolkit's modal loop.
#pragma once

#include <windows.h>

namespace SkinUI {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;
  virtual ~CWindowWnd() = default;

  HWND GetWindowHandle() const { return hwnd_; }
  operator HWND() const { return hwnd_; }

  HWND Create(HWND parent, const wchar_t* caption, DWORD style, DWORD ex_style, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND CreateInRect(HWND parent, const wchar_t* caption, DWORD style, DWORD ex_style, const RECT& rc,
                    HMENU menu = nullptr);

  void Show(bool show = true, bool take_focus = true);
  UINT ShowModal();
  void Close(UINT code = 0);
  void CenterOnOwner();
  void SetIconFromResource(UINT resource_id);
  void SetClientSize(int cx, int cy);

  LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  BOOL PostMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

 protected:
  virtual const wchar_t* GetWindowClassName() const = 0;
  virtual const wchar_t* GetSuperClassName() const { return nullptr; }
  virtual UINT GetClassStyle() const { return 0; }
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  virtual void OnFinalMessage(HWND hwnd) {}

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SuperClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  WNDPROC base_proc_ = ::DefWindowProcW;

 private:
  bool RegisterWindowClass();
  bool RegisterSuperclass();
  static LRESULT Route(CWindowWnd* self, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
};

}  // namespace SkinUI
