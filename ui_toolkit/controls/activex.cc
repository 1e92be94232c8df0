#include "ui_toolkit/controls/activex.h"

#include <windowsx.h>

#include <cwchar>
#include <new>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr UINT kCaretTimer = 6553;

RECT MovedToOrigin(RECT rc) {
  ::OffsetRect(&rc, -rc.left, -rc.top);
  return rc;
}

}  // namespace

SIZEL PixelsToHimetricSize(SIZE pixels) {
  HDC screen = ::GetDC(nullptr);
  SIZEL out{::MulDiv(2540, pixels.cx, ::GetDeviceCaps(screen, LOGPIXELSX)),
            ::MulDiv(2540, pixels.cy, ::GetDeviceCaps(screen, LOGPIXELSY))};
  ::ReleaseDC(nullptr, screen);
  return out;
}

// ----------------------------------------------------------- small objects

class CActiveXEnum final : public IEnumUnknown {
 public:
  explicit CActiveXEnum(IUnknown* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IEnumUnknown) return E_NOINTERFACE;
    *out = static_cast<IEnumUnknown*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long left = --ref_;
    if (left == 0) {
      if (object_ != nullptr) object_->Release();
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Next(ULONG, IUnknown** out, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (out == nullptr) return E_POINTER;
    if (++position_ > 1 || object_ == nullptr) return S_FALSE;
    *out = object_;
    object_->AddRef();
    if (fetched != nullptr) *fetched = 1;
    return S_OK;
  }
  STDMETHODIMP Skip(ULONG count) override {
    position_ += static_cast<LONG>(count);
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumUnknown**) override { return E_NOTIMPL; }

 private:
  ~CActiveXEnum() = default;
  long ref_ = 1;
  LONG position_ = 0;
  IUnknown* object_;
};

class CActiveXFrameWnd final : public IOleInPlaceFrame {
 public:
  explicit CActiveXFrameWnd(CActiveXUI* owner) : owner_(owner) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IOleWindow && iid != IID_IOleInPlaceUIWindow &&
        iid != IID_IOleInPlaceFrame) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long left = --ref_;
    if (left == 0) {
      if (active_ != nullptr) active_->Release();
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    if (owner_ == nullptr || owner_->GetManager() == nullptr) return E_UNEXPECTED;
    *out = owner_->GetManager()->GetPaintWindow();
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  STDMETHODIMP GetBorder(LPRECT) override { return S_OK; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    if (object != nullptr) object->AddRef();
    if (active_ != nullptr) active_->Release();
    active_ = object;
    return S_OK;
  }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~CActiveXFrameWnd() = default;
  long ref_ = 1;
  CActiveXUI* owner_;
  IOleInPlaceActiveObject* active_ = nullptr;
};

// --------------------------------------------------------------- the site

class CActiveXWnd;

class CActiveXCtrl final : public IOleClientSite,
                     public IOleInPlaceSiteWindowless,
                     public IOleControlSite,
                     public IObjectWithSite,
                     public IOleContainer {
  friend class CActiveXUI;
  friend class CActiveXWnd;

 public:
  explicit CActiveXCtrl(CActiveXUI* owner) : owner_(owner) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref_); }
  STDMETHODIMP_(ULONG) Release() override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return OnInPlaceActivateEx(nullptr, 0); }
  STDMETHODIMP OnUIActivate() override {
    ui_active_ = true;
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override {
    ui_active_ = false;
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivate() override { return OnInPlaceDeactivateEx(TRUE); }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL* no_redraw, DWORD flags) override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override;
  STDMETHODIMP RequestUIActivate() override { return S_OK; }

  // IOleInPlaceSiteWindowless
  STDMETHODIMP CanWindowlessActivate() override { return S_OK; }
  STDMETHODIMP GetCapture() override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    return captured_ ? S_OK : S_FALSE;
  }
  STDMETHODIMP SetCapture(BOOL capture) override;
  STDMETHODIMP GetFocus() override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    return focused_ ? S_OK : S_FALSE;
  }
  STDMETHODIMP SetFocus(BOOL focus) override;
  STDMETHODIMP GetDC(LPCRECT, DWORD flags, HDC* out) override;
  STDMETHODIMP ReleaseDC(HDC dc) override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    ::ReleaseDC(owner_->host_window_, dc);
    return S_OK;
  }
  STDMETHODIMP InvalidateRect(LPCRECT rect, BOOL erase) override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    if (owner_->host_window_ == nullptr) return E_FAIL;
    return ::InvalidateRect(owner_->host_window_, rect, erase) ? S_OK : E_FAIL;
  }
  STDMETHODIMP InvalidateRgn(HRGN region, BOOL erase) override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    return ::InvalidateRgn(owner_->host_window_, region, erase) ? S_OK : E_FAIL;
  }
  STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
  STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
  STDMETHODIMP OnDefWindowMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override {
    if (owner_ == nullptr) return E_UNEXPECTED;
    const LRESULT r = ::DefWindowProcW(owner_->host_window_, message, wparam, lparam);
    if (result != nullptr) *result = r;
    return S_OK;
  }

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (owner_ == nullptr || owner_->object_ == nullptr) return E_UNEXPECTED;
    return owner_->object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
  }
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL focus) override {
    focused_ = focus == TRUE;
    return S_OK;
  }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override {
    if (outer_site_ != nullptr) outer_site_->Release();
    outer_site_ = site;
    if (outer_site_ != nullptr) outer_site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP GetSite(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer_site_ == nullptr) return E_FAIL;
    return outer_site_->QueryInterface(iid, out);
  }

  // IOleContainer
  STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP EnumObjects(DWORD, IEnumUnknown** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (owner_ == nullptr) return E_UNEXPECTED;
    *out = new CActiveXEnum(owner_->object_);
    return S_OK;
  }
  STDMETHODIMP LockContainer(BOOL lock) override {
    locked_ = lock != FALSE;
    return S_OK;
  }

 private:
  ~CActiveXCtrl();
  HRESULT CreateActiveXWnd();
  void DestroyActiveXWnd();

  long ref_ = 1;
  CActiveXUI* owner_;
  CActiveXWnd* window_ = nullptr;
  IUnknown* outer_site_ = nullptr;
  IViewObject* view_object_ = nullptr;
  IOleInPlaceObject* in_place_object_ = nullptr;
  bool locked_ = false;
  bool focused_ = false;
  bool captured_ = false;
  bool ui_active_ = false;
  bool in_place_active_ = false;
  bool windowless_ = true;
};

// ------------------------------------------------------ the child window

class CActiveXWnd : public CWindowWnd {
 public:
  HWND Init(CActiveXCtrl* site, HWND parent) {
    site_ = site;
    return Create(parent, L"UIActiveX", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
  }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ActiveXWnd"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override {
    CPaintManagerUI* pm = Manager();
    if (pm != nullptr && pm->IsLayered()) pm->RemoveNativeWindow(hwnd);
  }

 private:
  CPaintManagerUI* Manager() const {
    return site_ != nullptr && site_->owner_ != nullptr ? site_->owner_->GetManager() : nullptr;
  }
  void DoVerb(LONG verb);
  void PrintInto(HDC dc);

  CActiveXCtrl* site_ = nullptr;
  int caret_ticks_ = 0;
  bool caret_phase_ = false;
};

void CActiveXWnd::DoVerb(LONG verb) {
  if (site_ == nullptr || site_->owner_ == nullptr || site_->owner_->object_ == nullptr) return;
  IOleClientSite* client = nullptr;
  site_->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&client));
  if (client == nullptr) return;
  RECT rc = site_->owner_->GetPos();
  site_->owner_->object_->DoVerb(verb, nullptr, client, 0, hwnd_, &rc);
  client->Release();
}

void CActiveXWnd::PrintInto(HDC dc) {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  if (site_ != nullptr && site_->view_object_ != nullptr) {
    RECTL bounds{client.left, client.top, client.right, client.bottom};
    site_->view_object_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  }
  if (!caret_phase_ || site_ == nullptr || site_->owner_ == nullptr) return;
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(0, &info) || info.hwndCaret == nullptr) return;
  RECT caret = info.rcCaret;
  ::MapWindowPoints(info.hwndCaret, hwnd_, reinterpret_cast<POINT*>(&caret), 2);
  RECT inside{};
  if (::IntersectRect(&inside, &caret, &client)) CUiDrawEngine::DrawLine(dc, caret, 1, 0xFF000000);
}

LRESULT CActiveXWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  CPaintManagerUI* pm = Manager();
  switch (message) {
    case WM_CREATE:
      if (pm != nullptr && pm->IsLayered()) ::SetTimer(hwnd_, kCaretTimer, ::GetCaretBlinkTime(), nullptr);
      return 0;
    case WM_SETFOCUS:
      if (site_ != nullptr) {
        site_->focused_ = true;
        if (!site_->ui_active_) DoVerb(OLEIVERB_UIACTIVATE);
      }
      break;
    case WM_KILLFOCUS:
      if (site_ != nullptr) site_->focused_ = false;
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      ::BeginPaint(hwnd_, &ps);
      ::EndPaint(hwnd_, &ps);
      return 1;
    }
    case WM_ERASEBKGND:
      if (site_ != nullptr && site_->view_object_ != nullptr) return 1;
      break;
    case WM_MOUSEACTIVATE: {
      IOleObject* object = site_ != nullptr && site_->owner_ != nullptr ? site_->owner_->object_ : nullptr;
      if (object == nullptr) return 0;
      DWORD status = 0;
      object->GetMiscStatus(DVASPECT_CONTENT, &status);
      if ((status & OLEMISC_NOUIACTIVATE) != 0) return 0;
      if (!site_->in_place_active_) DoVerb(OLEIVERB_INPLACEACTIVATE);
      break;
    }
    case WM_TIMER:
      if (wparam != kCaretTimer) break;
      if (pm != nullptr && pm->IsLayered() && ++caret_ticks_ >= 10) {
        caret_ticks_ = 0;
        caret_phase_ = !caret_phase_;
      }
      return 0;
    case WM_MOUSEWHEEL:
      return 0;
    case WM_PRINT:
      PrintInto(reinterpret_cast<HDC>(wparam));
      return 1;
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

// --------------------------------------------------------- site methods

CActiveXCtrl::~CActiveXCtrl() {
  DestroyActiveXWnd();
  if (outer_site_ != nullptr) outer_site_->Release();
  if (view_object_ != nullptr) view_object_->Release();
  if (in_place_object_ != nullptr) in_place_object_->Release();
}

STDMETHODIMP CActiveXCtrl::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleInPlaceSiteWindowless || iid == IID_IOleInPlaceSiteEx ||
      iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
    *out = static_cast<IOleInPlaceSiteWindowless*>(this);
  } else if (iid == IID_IOleClientSite) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleControlSite) {
    *out = static_cast<IOleControlSite*>(this);
  } else if (iid == IID_IOleContainer || iid == IID_IParseDisplayName) {
    *out = static_cast<IOleContainer*>(this);
  } else if (iid == IID_IObjectWithSite) {
    *out = static_cast<IObjectWithSite*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXCtrl::Release() {
  const long left = --ref_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CActiveXCtrl::GetContainer(IOleContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer_site_ != nullptr && outer_site_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(out)) == S_OK) {
    return S_OK;
  }
  return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP CActiveXCtrl::ShowObject() {
  if (owner_ == nullptr) return E_UNEXPECTED;
  HDC dc = ::GetDC(owner_->host_window_);
  if (dc == nullptr) return E_FAIL;
  if (view_object_ != nullptr) {
    const RECT& rc = owner_->GetPos();
    RECTL bounds{rc.left, rc.top, rc.right, rc.bottom};
    view_object_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  }
  ::ReleaseDC(owner_->host_window_, dc);
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  if (owner_ == nullptr) return E_UNEXPECTED;
  if (owner_->host_window_ == nullptr) CreateActiveXWnd();
  if (owner_->host_window_ == nullptr) return E_FAIL;
  *out = owner_->host_window_;
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                            LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame == nullptr || doc == nullptr || pos == nullptr || clip == nullptr) return E_POINTER;
  if (window_ != nullptr) {
    ::GetClientRect(window_->GetWindowHandle(), pos);
    ::GetClientRect(window_->GetWindowHandle(), clip);
  }
  *frame = new CActiveXFrameWnd(owner_);
  *doc = nullptr;
  if (info != nullptr) {
    static ACCEL empty_accel{};
    info->cb = sizeof(OLEINPLACEFRAMEINFO);
    info->fMDIApp = FALSE;
    info->hwndFrame = owner_ != nullptr && owner_->GetManager() != nullptr ? owner_->GetManager()->GetPaintWindow()
                                                                           : nullptr;
    // One all-zero entry; the table lives as long as the process.
    static HACCEL table = ::CreateAcceleratorTableW(&empty_accel, 1);
    info->haccel = table;
    info->cAccelEntries = 1;
  }
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceActivateEx(BOOL*, DWORD flags) {
  if (owner_ == nullptr || owner_->object_ == nullptr) return E_UNEXPECTED;
  ::OleLockRunning(owner_->object_, TRUE, FALSE);
  HRESULT hr = E_FAIL;
  if (in_place_object_ != nullptr) {
    in_place_object_->Release();
    in_place_object_ = nullptr;
  }
  if ((flags & ACTIVATE_WINDOWLESS) != 0) {
    windowless_ = true;
    hr = owner_->object_->QueryInterface(IID_IOleInPlaceObjectWindowless, reinterpret_cast<void**>(&in_place_object_));
    if (SUCCEEDED(hr)) {
      CPaintManagerUI* pm = owner_->GetManager();
      owner_->host_window_ = pm != nullptr ? pm->GetPaintWindow() : nullptr;
      if (pm != nullptr) pm->AddMessageFilter(owner_);
    } else {
      in_place_object_ = nullptr;
    }
  }
  if (FAILED(hr)) {
    windowless_ = false;
    hr = CreateActiveXWnd();
    if (FAILED(hr)) return hr;
    hr = owner_->object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&in_place_object_));
    if (FAILED(hr)) in_place_object_ = nullptr;
  }
  if (in_place_object_ != nullptr && !owner_->IsExternalObject()) {
    RECT rc = owner_->GetPos();
    if (!windowless_) rc = MovedToOrigin(rc);
    in_place_object_->SetObjectRects(&rc, &rc);
  }
  in_place_active_ = SUCCEEDED(hr);
  return hr;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivateEx(BOOL) {
  in_place_active_ = false;
  if (in_place_object_ != nullptr) {
    in_place_object_->Release();
    in_place_object_ = nullptr;
  }
  DestroyActiveXWnd();
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::SetCapture(BOOL capture) {
  if (owner_ == nullptr) return E_UNEXPECTED;
  captured_ = capture == TRUE;
  if (captured_) {
    ::SetCapture(owner_->host_window_);
  } else {
    ::ReleaseCapture();
  }
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::SetFocus(BOOL focus) {
  if (owner_ == nullptr) return E_UNEXPECTED;
  if (focus == TRUE) owner_->SetFocus();
  focused_ = focus == TRUE;
  return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetDC(LPCRECT, DWORD flags, HDC* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (owner_ == nullptr) return E_UNEXPECTED;
  if (windowless_) return S_FALSE;
  *out = ::GetDC(owner_->host_window_);
  if ((flags & OLEDC_PAINTBKGND) != 0 && *out != nullptr) {
    const RECT rc = MovedToOrigin(owner_->GetPos());
    ::FillRect(*out, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  }
  return S_OK;
}

HRESULT CActiveXCtrl::CreateActiveXWnd() {
  if (window_ != nullptr) return S_OK;
  if (owner_ == nullptr) return E_UNEXPECTED;
  window_ = new (std::nothrow) CActiveXWnd;
  if (window_ == nullptr) return E_OUTOFMEMORY;
  CPaintManagerUI* pm = owner_->GetManager();
  owner_->host_window_ = window_->Init(this, pm != nullptr ? pm->GetPaintWindow() : nullptr);
  return S_OK;
}

void CActiveXCtrl::DestroyActiveXWnd() {
  if (window_ == nullptr) return;
  CActiveXWnd* window = window_;
  window_ = nullptr;
  const HWND hwnd = window->GetWindowHandle();
  if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
  delete window;
  // The owner must not keep a handle to a window that is gone.
  if (owner_ != nullptr && owner_->host_window_ == hwnd) owner_->host_window_ = nullptr;
}

// ----------------------------------------------------------- the control

CActiveXUI::CActiveXUI() = default;

CActiveXUI::~CActiveXUI() { CActiveXUI::ReleaseControl(); }

const wchar_t* CActiveXUI::GetClassName() const { return L"ActiveXUI"; }

HRESULT CActiveXUI::AdviseEvents(IUnknown* object, REFIID events, IDispatch* sink, bool advise, DWORD* cookie) {
  if (object == nullptr) return S_FALSE;
  base::ScopedComPtr<IConnectionPointContainer> container;
  HRESULT hr = object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()));
  if (FAILED(hr)) return hr;
  base::ScopedComPtr<IConnectionPoint> point;
  hr = container.Get()->FindConnectionPoint(events, point.Receive());
  if (FAILED(hr)) return hr;
  if (advise) {
    if (*cookie != 0) return S_OK;
    return point.Get()->Advise(sink, cookie);
  }
  if (*cookie == 0) return S_OK;
  hr = point.Get()->Unadvise(*cookie);
  *cookie = 0;
  return hr;
}

LRESULT CActiveXUI::ForwardAccelerator(IUnknown* object, MSG* msg) const {
  if (msg == nullptr || msg->message < WM_KEYFIRST || msg->message > WM_KEYFIRST + 9) return S_FALSE;
  if (object == nullptr) return E_NOTIMPL;
  for (HWND wnd = ::GetFocus(); wnd != nullptr; wnd = ::GetParent(wnd)) {
    if (wnd != host_window_) continue;
    base::ScopedComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.Receive())))) {
      return S_FALSE;
    }
    return active.Get()->TranslateAccelerator(msg);
  }
  return S_FALSE;
}

void* CActiveXUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"ActiveX") == 0) return static_cast<CActiveXUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

bool CActiveXUI::IsDelayCreate() const { return delay_create_; }

void CActiveXUI::SetDelayCreate(bool on) {
  if (delay_create_ == on) return;
  if (!on && !created_ && clsid_ != GUID_NULL) DoCreateControl();
  delay_create_ = on;
}

bool CActiveXUI::IsExternalObject() const { return external_object_; }
void CActiveXUI::SetExternalObject(bool on) { external_object_ = on; }

bool CActiveXUI::IsWindowless() const { return site_ != nullptr && site_->in_place_active_ && site_->windowless_; }

bool CActiveXUI::SetCLSID(REFCLSID clsid) {
  if (clsid == GUID_NULL) return false;
  clsid_ = clsid;
  created_ = false;
  if (!delay_create_) DoCreateControl();
  return true;
}

bool CActiveXUI::SetCLSIDFromText(const wchar_t* text) {
  wchar_t buffer[100] = {};
  if (text != nullptr) std::wcsncpy(buffer, text, 99);
  CLSID clsid = GUID_NULL;
  const HRESULT hr = buffer[0] == L'{' ? ::CLSIDFromString(buffer, &clsid) : ::CLSIDFromProgID(buffer, &clsid);
  if (FAILED(hr)) clsid = GUID_NULL;
  return SetCLSID(clsid);
}

void CActiveXUI::SetModuleName(const wchar_t* name) { module_name_ = name; }

HRESULT CActiveXUI::GetControl(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (object_ == nullptr) return E_PENDING;
  return object_->QueryInterface(iid, out);
}

void CActiveXUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  if (!created_) DoCreateControl();
  if (object_ == nullptr || site_ == nullptr) return;
  const RECT& pos = GetPos();
  SIZEL extent = PixelsToHimetricSize(SIZE{pos.right - pos.left, pos.bottom - pos.top});
  object_->SetExtent(DVASPECT_CONTENT, &extent);
  if (site_->in_place_object_ != nullptr) {
    RECT rect = site_->windowless_ ? pos : MovedToOrigin(pos);
    site_->in_place_object_->SetObjectRects(&rect, &rect);
  }
  if (!site_->windowless_ && host_window_ != nullptr) {
    ::MoveWindow(host_window_, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, invalidate);
  }
}

void CActiveXUI::MoveBy(SIZE delta, bool invalidate) {
  CControlUI::MoveBy(delta, invalidate);
  if (site_ != nullptr && !site_->windowless_ && host_window_ != nullptr) {
    const RECT& pos = GetPos();
    ::MoveWindow(host_window_, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
  }
}

void CActiveXUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (host_window_ != nullptr && site_ != nullptr && !site_->windowless_) {
    ::ShowWindow(host_window_, IsVisible() ? SW_SHOW : SW_HIDE);
  }
}

void CActiveXUI::SetVisibleByParent(bool visible) {
  CControlUI::SetVisibleByParent(visible);
  if (host_window_ != nullptr && site_ != nullptr && !site_->windowless_) {
    ::ShowWindow(host_window_, IsVisible() ? SW_SHOW : SW_HIDE);
  }
}

void CActiveXUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (std::wcscmp(name, L"clsid") == 0) {
    SetCLSIDFromText(value);
  } else if (std::wcscmp(name, L"modulename") == 0) {
    SetModuleName(value);
  } else if (std::wcscmp(name, L"delaycreate") == 0) {
    SetDelayCreate(std::wcscmp(value, L"true") == 0);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

bool CActiveXUI::PaintContent(HDC dc, const RECT&, CControlUI*) {
  // Only an object active in place draws: one that is invisible at run time
  // (never activated) or already deactivated shows nothing.
  if (site_ != nullptr && site_->in_place_active_ && site_->windowless_ && site_->view_object_ != nullptr) {
    const RECT& pos = GetPos();
    RECTL bounds{pos.left, pos.top, pos.right, pos.bottom};
    site_->view_object_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds, nullptr, 0);
  }
  return true;
}

LRESULT CActiveXUI::MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
  if (site_ == nullptr || !site_->in_place_active_ || site_->in_place_object_ == nullptr) return 0;
  const bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSEFIRST + 13;
  const bool key = message >= WM_KEYFIRST && message <= WM_KEYFIRST + 9;
  if (mouse && !IsMouseEnabled()) return 0;
  bool mark = false;
  if (mouse || message == WM_SETCURSOR) {
    DWORD hit = HITRESULT_OUTSIDE;
    if (site_->captured_) {
      hit = HITRESULT_HIT;
    } else {
      IViewObjectEx* view = nullptr;
      if (site_->view_object_ != nullptr &&
          SUCCEEDED(site_->view_object_->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)))) {
        const RECT& pos = GetPos();
        POINT pt{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        view->QueryHitPoint(DVASPECT_CONTENT, &pos, pt, 0, &hit);
        view->Release();
      }
    }
    if (hit != HITRESULT_HIT) return 0;
    mark = message != WM_SETCURSOR;
  } else if (key) {
    if (!IsFocused()) return 0;
    mark = true;
  } else if (message != WM_HELP && message != WM_CONTEXTMENU) {
    return 0;
  }
  auto* windowless = static_cast<IOleInPlaceObjectWindowless*>(nullptr);
  LRESULT result = 0;
  if (FAILED(site_->in_place_object_->QueryInterface(IID_IOleInPlaceObjectWindowless,
                                                     reinterpret_cast<void**>(&windowless)))) {
    return 0;
  }
  if (windowless->OnWindowMessage(message, wparam, lparam, &result) == S_OK) handled = mark;
  windowless->Release();
  return result;
}

void CActiveXUI::ReleaseControl() {
  if (GetManager() != nullptr) GetManager()->RemoveMessageFilter(this);
  if (object_ != nullptr) {
    IObjectWithSite* with_site = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&with_site)))) {
      with_site->SetSite(nullptr);
      with_site->Release();
    }
    if (!external_object_) object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }
  if (site_ != nullptr) {
    site_->owner_ = nullptr;
    site_->Release();
    site_ = nullptr;
  }
  host_window_ = nullptr;
}

bool CActiveXUI::DoCreateControl() {
  ReleaseControl();
  created_ = true;
  IOleControl* control = nullptr;
  HRESULT hr = E_FAIL;
  if (!module_name_.IsEmpty()) {
    // The module stays loaded: the object's code lives in it.
    HMODULE module = ::LoadLibraryW(module_name_.GetData());
    if (module != nullptr) {
      using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
      auto get_class_object = reinterpret_cast<GetClassObjectFn>(::GetProcAddress(module, "DllGetClassObject"));
      IClassFactory* factory = nullptr;
      if (get_class_object != nullptr &&
          SUCCEEDED(get_class_object(clsid_, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        hr = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&control));
        factory->Release();
      }
    }
  }
  if (FAILED(hr) || control == nullptr) {
    control = nullptr;
    hr = ::CoCreateInstance(clsid_, nullptr, CLSCTX_ALL, IID_IOleControl, reinterpret_cast<void**>(&control));
  }
  if (FAILED(hr) || control == nullptr) return false;
  hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object_));
  control->Release();
  if (FAILED(hr) || object_ == nullptr) {
    object_ = nullptr;
    return false;
  }

  site_ = new CActiveXCtrl(this);
  DWORD status = 0;
  object_->GetMiscStatus(DVASPECT_CONTENT, &status);
  IOleClientSite* client = nullptr;
  site_->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&client));
  if ((status & OLEMISC_SETCLIENTSITEFIRST) != 0) object_->SetClientSite(client);
  IPersistStreamInit* persist = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
    hr = persist->InitNew();
    persist->Release();
    if (FAILED(hr)) {
      client->Release();
      // Nothing of a half-made object is kept.
      ReleaseControl();
      return false;
    }
  }
  if ((status & OLEMISC_SETCLIENTSITEFIRST) == 0) object_->SetClientSite(client);

  hr = object_->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&site_->view_object_));
  if (FAILED(hr)) hr = object_->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&site_->view_object_));
  if (FAILED(hr)) hr = object_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&site_->view_object_));
  if (FAILED(hr)) site_->view_object_ = nullptr;

  object_->SetHostNames(L"UIActiveX", nullptr);
  if (GetManager() != nullptr) GetManager()->SendNotify(this, L"showactivex", 0, 0, false);
  if ((status & OLEMISC_INVISIBLEATRUNTIME) == 0 && GetManager() != nullptr && object_ != nullptr) {
    RECT rc = GetPos();
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, client, 0, GetManager()->GetPaintWindow(), &rc);
  }
  if (object_ != nullptr) {
    IObjectWithSite* with_site = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&with_site)))) {
      with_site->SetSite(static_cast<IOleClientSite*>(site_));
      with_site->Release();
    }
  }
  client->Release();
  return SUCCEEDED(hr);
}

}  // namespace SkinUI
