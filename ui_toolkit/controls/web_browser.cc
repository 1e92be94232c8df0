#include "ui_toolkit/controls/web_browser.h"

#include <exdispid.h>
#include <mshtml.h>
#include <oleauto.h>

#include <cwchar>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// Declared here from their documented values so that no import library has
// to carry them.
constexpr CLSID kClsidWebBrowser = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};
constexpr IID kIidWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};
constexpr GUID kDocHostCommandHandler = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
constexpr IID kIidCustomDoc = {0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr IID kIidDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};

}  // namespace

CWebBrowserUI::CWebBrowserUI() { clsid_ = kClsidWebBrowser; }

CWebBrowserUI::~CWebBrowserUI() {
  // The browser may call back into this control's faces while it is closed,
  // so everything is released while those faces still exist.
  CWebBrowserUI::ReleaseControl();
}

const wchar_t* CWebBrowserUI::GetClassName() const { return L"WebBrowserUI"; }

void* CWebBrowserUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && ::_wcsicmp(name, L"WebBrowser") == 0) return static_cast<CWebBrowserUI*>(this);
  return CActiveXUI::QueryInterfaceByName(name);
}

void CWebBrowserUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (::_wcsicmp(name, L"homepage") == 0) {
    home_page_ = value;
  } else if (::_wcsicmp(name, L"autonavi") == 0) {
    auto_navigate_ = ::_wcsicmp(value, L"true") == 0;
  } else {
    CActiveXUI::SetAttribute(name, value);
  }
}

void CWebBrowserUI::ReleaseControl() {
  created_ = false;
  if (GetManager() != nullptr) GetManager()->RemoveTranslateAccelerator(this);
  RegisterEventHandler(false);
  if (browser_ != nullptr) {
    browser_->Release();
    browser_ = nullptr;
  }
  // The hosted object goes with the browser reference: a control that is
  // created again must not keep the old object alive.
  CActiveXUI::ReleaseControl();
}

bool CWebBrowserUI::DoCreateControl() {
  if (!CActiveXUI::DoCreateControl()) return false;
  if (GetManager() != nullptr) GetManager()->AddTranslateAccelerator(this);
  GetControl(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
  if (auto_navigate_ && !home_page_.IsEmpty()) Navigate2(home_page_.GetData());
  RegisterEventHandler(true);
  return true;
}

void CWebBrowserUI::Navigate2(const wchar_t* url) {
  if (url == nullptr || browser_ == nullptr) return;
  VARIANT target;
  ::VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = ::SysAllocString(url);
  browser_->Navigate2(&target, nullptr, nullptr, nullptr, nullptr);
  ::VariantClear(&target);
}

HRESULT CWebBrowserUI::RegisterEventHandler(bool advise) {
  return AdviseEvents(browser_, kIidWebBrowserEvents2, static_cast<IDispatch*>(this), advise, &event_cookie_);
}

HRESULT CWebBrowserUI::Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) {
  return S_OK;
}

LRESULT CWebBrowserUI::TranslateAccelerator(MSG* msg) { return ForwardAccelerator(browser_, msg); }

STDMETHODIMP CWebBrowserUI::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler) {
    *out = static_cast<IDocHostUIHandler*>(this);
  } else if (iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IServiceProvider) {
    *out = static_cast<IServiceProvider*>(this);
  } else if (iid == IID_IInternetSecurityManager) {
    *out = static_cast<IInternetSecurityManager*>(this);
  } else if (iid == IID_IOleCommandTarget) {
    *out = static_cast<IOleCommandTarget*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CWebBrowserUI::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&ref_)); }

STDMETHODIMP_(ULONG) CWebBrowserUI::Release() { return static_cast<ULONG>(::InterlockedDecrement(&ref_)); }

STDMETHODIMP CWebBrowserUI::DownloadFace::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != kIidDownloadManager) return E_NOINTERFACE;
  *out = static_cast<IDownloadManager*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER;
  return S_OK;
}

STDMETHODIMP CWebBrowserUI::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (service == IID_IInternetSecurityManager && iid == IID_IInternetSecurityManager) {
    return QueryInterface(iid, out);
  }
  if (service == kIidDownloadManager && iid == kIidDownloadManager) {
    // A success must come with the face asked for: the caller uses it at once.
    return download_face_.QueryInterface(iid, out);
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CWebBrowserUI::Exec(const GUID* group, DWORD command, DWORD, VARIANT* in, VARIANT* out) {
  if (group == nullptr || *group != kDocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
  if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
  HRESULT hr = S_OK;
  if (in != nullptr && (in->vt == VT_UNKNOWN || in->vt == VT_DISPATCH) && in->punkVal != nullptr) {
    base::ScopedComPtr<IHTMLDocument2> document;
    base::ScopedComPtr<IHTMLWindow2> window;
    base::ScopedComPtr<IHTMLEventObj> event;
    hr = in->punkVal->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document.Receive()));
    if (SUCCEEDED(hr)) hr = document.Get()->get_parentWindow(window.Receive());
    if (SUCCEEDED(hr) && window) hr = window.Get()->get_event(event.Receive());
    if (SUCCEEDED(hr) && event) {
      // The error's details are read as the document host expects them to be,
      // though nothing here shows them.
      for (const wchar_t* name : {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage", L"errorUrl"}) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        hr = event.Get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
        if (FAILED(hr)) continue;
        DISPPARAMS none{};
        VARIANT value;
        ::VariantInit(&value);
        hr = event.Get()->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                 nullptr);
        ::VariantClear(&value);
      }
    }
  }
  if (out != nullptr) {
    ::VariantClear(out);
    out->vt = VT_BOOL;
    out->boolVal = VARIANT_TRUE;
  }
  return hr;
}

STDMETHODIMP CWebBrowserUI::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  if (iid != IID_NULL) return E_INVALIDARG;
  switch (id) {
    case DISPID_NAVIGATECOMPLETE2: {
      if (browser_ == nullptr) return S_OK;
      base::ScopedComPtr<IDispatch> document;
      if (FAILED(browser_->get_Document(document.Receive())) || !document) return S_OK;
      base::ScopedComPtr<ICustomDoc> custom;
      if (SUCCEEDED(document.Get()->QueryInterface(kIidCustomDoc, reinterpret_cast<void**>(custom.Receive())))) {
        custom.Get()->SetUIHandler(static_cast<IDocHostUIHandler*>(this));
      }
      return S_OK;
    }
    case DISPID_STATUSTEXTCHANGE:
    case DISPID_COMMANDSTATECHANGE:
    case DISPID_TITLECHANGE:
    case DISPID_BEFORENAVIGATE2:
    case DISPID_DOCUMENTCOMPLETE:
    case DISPID_NAVIGATEERROR:
    case DISPID_NEWWINDOW3:
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace SkinUI
