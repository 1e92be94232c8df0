// Hosts an OLE control (an ActiveX object) in the control tree: creates it by
// class id, gives it a site, activates it in place (windowless inside the
// toolkit's window when it can, else in a child window of its own) and keeps
// its rectangle, extent and visibility in step with the control.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CActiveXCtrl;

class CActiveXUI : public CControlUI, public IMessageFilterUI {
  friend class CActiveXCtrl;
  friend class CActiveXWnd;

 public:
  CActiveXUI();
  ~CActiveXUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;

  HWND GetHostWindow() const { return host_window_; }
  bool IsDelayCreate() const;
  void SetDelayCreate(bool on = true);
  bool IsExternalObject() const;
  void SetExternalObject(bool on);

  bool SetCLSID(REFCLSID clsid);
  bool SetCLSIDFromText(const wchar_t* text);
  const CLSID& GetCLSID() const { return clsid_; }
  void SetModuleName(const wchar_t* name);
  const CUiString& GetModuleName() const { return module_name_; }

  HRESULT GetControl(REFIID iid, void** out);
  bool IsCreated() const { return created_; }
  // Whether the object is active without a window of its own.
  bool IsWindowless() const;

  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetVisibleByParent(bool visible) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;

  LRESULT MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;

  virtual void ReleaseControl();
  virtual bool DoCreateControl();

 protected:
  // Connects |sink| to (or, with |advise| false, disconnects it from) the
  // |events| connection point of |object|; |cookie| holds the connection.
  static HRESULT AdviseEvents(IUnknown* object, REFIID events, IDispatch* sink, bool advise, DWORD* cookie);
  // Hands a key message to |object| while the focus is in the host window.
  LRESULT ForwardAccelerator(IUnknown* object, MSG* msg) const;

  CLSID clsid_ = GUID_NULL;
  CUiString module_name_;
  bool created_ = false;
  bool delay_create_ = true;
  bool external_object_ = false;
  IOleObject* object_ = nullptr;
  CActiveXCtrl* site_ = nullptr;
  HWND host_window_ = nullptr;
};

// A HIMETRIC size of a pixel size on the screen.
SIZEL PixelsToHimetricSize(SIZE pixels);

}  // namespace SkinUI
