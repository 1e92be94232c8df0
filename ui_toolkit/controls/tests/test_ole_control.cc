// A small in-process OLE control of the project's own, for the ActiveX host
// tests: one class that can be activated windowless, one that only knows a
// window of its own, and one that is invisible at run time. It paints its
// rectangle in its "Color" property, counts clicks ("Clicks"), keeps the last
// key it was sent ("LastKey") and fires event 1 to an advised sink on a click.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "ui_toolkit/controls/tests/test_ole_control.h"

namespace {

LONG g_live = 0;
HMODULE g_module = nullptr;

enum class Kind { kWindowless, kWindowed, kInvisible };

constexpr DISPID kColor = 1;
constexpr DISPID kClicks = 2;
constexpr DISPID kLastKey = 3;

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

class TestControl : public IOleObject,
                    public IOleInPlaceObjectWindowless,
                    public IViewObjectEx,
                    public IOleControl,
                    public IDispatch,
                    public IConnectionPointContainer,
                    public IConnectionPoint {
 public:
  explicit TestControl(Kind kind) : kind_(kind) { ::InterlockedIncrement(&g_live); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *out = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
      *out = static_cast<IOleInPlaceObject*>(static_cast<IOleInPlaceObjectWindowless*>(this));
    } else if (iid == IID_IOleInPlaceObjectWindowless && kind_ == Kind::kWindowless) {
      *out = static_cast<IOleInPlaceObjectWindowless*>(this);
    } else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx) {
      *out = static_cast<IViewObjectEx*>(this);
    } else if (iid == IID_IOleControl) {
      *out = static_cast<IOleControl*>(this);
    } else if (iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&ref_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&ref_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    if (site != nullptr) site->AddRef();
    if (site_ != nullptr) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** out) override {
    if (out == nullptr) return E_POINTER;
    *out = site_;
    if (site_ != nullptr) site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override {
    InPlaceDeactivate();
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT rect) override {
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_UIACTIVATE && verb != OLEIVERB_SHOW) return E_NOTIMPL;
    if (active_) return S_OK;
    if (site == nullptr) return E_INVALIDARG;
    if (rect != nullptr) rect_ = *rect;
    IOleInPlaceSiteWindowless* windowless = nullptr;
    if (kind_ == Kind::kWindowless &&
        SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless)))) {
      HRESULT hr = windowless->CanWindowlessActivate();
      if (hr == S_OK) {
        BOOL no_redraw = FALSE;
        hr = windowless->OnInPlaceActivateEx(&no_redraw, ACTIVATE_WINDOWLESS);
        if (SUCCEEDED(hr)) {
          in_place_site_ = windowless;
          active_ = true;
          return S_OK;
        }
      }
      windowless->Release();
    }
    IOleInPlaceSite* in_place = nullptr;
    HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&in_place));
    if (FAILED(hr)) return hr;
    if (in_place->CanInPlaceActivate() != S_OK || FAILED(hr = in_place->OnInPlaceActivate())) {
      in_place->Release();
      return FAILED(hr) ? hr : E_FAIL;
    }
    HWND parent = nullptr;
    in_place->GetWindow(&parent);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    RECT pos{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (SUCCEEDED(in_place->GetWindowContext(&frame, &doc, &pos, &clip, &info))) {
      frame_window_ = info.hwndFrame;
      if (frame != nullptr) frame->Release();
      if (doc != nullptr) doc->Release();
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = ChildProc;
    wc.hInstance = g_module;
    wc.lpszClassName = L"QlTestOleChild";
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, L"QlTestOleChild", L"", WS_CHILD | WS_VISIBLE, rect_.left, rect_.top,
                                rect_.right - rect_.left, rect_.bottom - rect_.top, parent, nullptr, g_module, this);
    in_place_site_ = in_place;
    active_ = true;
    return S_OK;
  }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
    if (size != nullptr) extent_ = *size;
    return S_OK;
  }
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override {
    if (size == nullptr) return E_POINTER;
    *size = extent_;
    return S_OK;
  }
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    if (status == nullptr) return E_POINTER;
    *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE;
    if (kind_ == Kind::kInvisible) *status |= OLEMISC_INVISIBLEATRUNTIME;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceObject(Windowless)
  STDMETHODIMP GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = window_;
    return window_ != nullptr ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override {
    if (!active_) return S_OK;
    active_ = false;
    if (window_ != nullptr) {
      ::DestroyWindow(window_);
      window_ = nullptr;
    }
    if (in_place_site_ != nullptr) {
      in_place_site_->OnInPlaceDeactivate();
      in_place_site_->Release();
      in_place_site_ = nullptr;
    }
    return S_OK;
  }
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
    if (pos == nullptr) return E_POINTER;
    rect_ = *pos;
    ++rect_updates_;
    if (window_ != nullptr) {
      ::MoveWindow(window_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
    }
    return S_OK;
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnWindowMessage(UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
    if (result != nullptr) *result = 0;
    if (message == WM_LBUTTONDOWN) {
      Clicked();
      return S_OK;
    }
    if (message == WM_KEYDOWN) {
      last_key_ = static_cast<LONG>(wparam);
      return S_OK;
    }
    return S_FALSE;
  }
  STDMETHODIMP GetDropTarget(IDropTarget**) override { return E_NOTIMPL; }

  // IViewObjectEx
  STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
    const RECT rc{bounds->left, bounds->top, bounds->right, bounds->bottom};
    HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(color_));
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
    ++draws_;
    return S_OK;
  }
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
  STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
  STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) override { return GetExtent(0, size); }
  STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
  STDMETHODIMP GetViewStatus(DWORD* status) override {
    if (status != nullptr) *status = VIEWSTATUS_OPAQUE;
    return S_OK;
  }
  STDMETHODIMP QueryHitPoint(DWORD, LPCRECT bounds, POINT pt, LONG, DWORD* hit) override {
    if (bounds == nullptr || hit == nullptr) return E_POINTER;
    *hit = ::PtInRect(bounds, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
  }
  STDMETHODIMP QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override {
    return E_NOTIMPL;
  }

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count != 1) return E_INVALIDARG;
    if (::lstrcmpiW(names[0], L"Color") == 0) {
      ids[0] = kColor;
    } else if (::lstrcmpiW(names[0], L"Clicks") == 0) {
      ids[0] = kClicks;
    } else if (::lstrcmpiW(names[0], L"LastKey") == 0) {
      ids[0] = kLastKey;
    } else {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      if (id != kColor || params == nullptr || params->cArgs != 1) return DISP_E_MEMBERNOTFOUND;
      VARIANT value;
      ::VariantInit(&value);
      if (FAILED(::VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
      color_ = value.lVal;
      if (in_place_site_ != nullptr) {
        IOleInPlaceSiteWindowless* windowless = nullptr;
        if (SUCCEEDED(in_place_site_->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                     reinterpret_cast<void**>(&windowless)))) {
          windowless->InvalidateRect(nullptr, FALSE);
          windowless->Release();
        }
      }
      return S_OK;
    }
    if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(result);
    result->vt = VT_I4;
    switch (id) {
      case kColor: result->lVal = color_; return S_OK;
      case kClicks: result->lVal = clicks_; return S_OK;
      case kLastKey: result->lVal = last_key_; return S_OK;
      default: result->vt = VT_EMPTY; return DISP_E_MEMBERNOTFOUND;
    }
  }

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != kTestOleControlEvents && iid != IID_IDispatch) return CONNECT_E_NOCONNECTION;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  // IConnectionPoint: one sink at a time.
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = kTestOleControlEvents;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (out == nullptr) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    if (sink_ != nullptr) return CONNECT_E_ADVISELIMIT;
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink_)))) return CONNECT_E_CANNOTCONNECT;
    *cookie = 1;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    if (cookie != 1 || sink_ == nullptr) return CONNECT_E_NOCONNECTION;
    sink_->Release();
    sink_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  void Clicked() {
    ++clicks_;
    if (sink_ == nullptr) return;
    DISPPARAMS none{};
    sink_->Invoke(1, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  }
  HWND frame_window_ = nullptr;

 private:
  ~TestControl() {
    InPlaceDeactivate();
    if (sink_ != nullptr) sink_->Release();
    if (site_ != nullptr) site_->Release();
    ::InterlockedDecrement(&g_live);
  }

  LONG ref_ = 0;
  Kind kind_;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* in_place_site_ = nullptr;
  IDispatch* sink_ = nullptr;
  HWND window_ = nullptr;
  bool active_ = false;
  RECT rect_{};
  SIZEL extent_{};
  LONG color_ = RGB(0x20, 0x80, 0x40);
  LONG clicks_ = 0;
  LONG last_key_ = 0;
  int rect_updates_ = 0;
  int draws_ = 0;
};

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* control = reinterpret_cast<TestControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_LBUTTONDOWN && control != nullptr) {
    control->Clicked();
    return 0;
  }
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

class Factory : public IClassFactory {
 public:
  explicit Factory(Kind kind) : kind_(kind) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&ref_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&ref_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* control = new TestControl(kind_);
    control->AddRef();
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  ~Factory() = default;
  LONG ref_ = 0;
  Kind kind_;
};

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Kind kind;
  if (clsid == kTestOleWindowlessClsid) {
    kind = Kind::kWindowless;
  } else if (clsid == kTestOleWindowedClsid) {
    kind = Kind::kWindowed;
  } else if (clsid == kTestOleInvisibleClsid) {
    kind = Kind::kInvisible;
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  auto* factory = new Factory(kind);
  factory->AddRef();
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return g_live == 0 ? S_OK : S_FALSE; }

// How many objects of this module are alive.
__declspec(dllexport) LONG WINAPI QlTestOleLiveObjects() { return g_live; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

}  // extern "C"
