// Hosts the platform's WebBrowser object: navigates it to a home page, is the
// document's UI handler, answers the document host's questions and commands
// (script errors keep scripts running without a dialog), sinks the browser's
// events and routes accelerator keys into the browser.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <downloadmgr.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include "ui_toolkit/controls/activex.h"

namespace SkinUI {

class CWebBrowserUI : public CActiveXUI,
                      public IDocHostUIHandler,
                      public IServiceProvider,
                      public IOleCommandTarget,
                      public IDispatch,
                      public ITranslateAccelerator,
                      public IInternetSecurityManager {
 public:
  CWebBrowserUI();
  ~CWebBrowserUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void ReleaseControl() override;
  bool DoCreateControl() override;

  void SetHomePage(const wchar_t* url) { home_page_ = url; }
  const CUiString& GetHomePage() const { return home_page_; }
  void SetAutoNavigate(bool on) { auto_navigate_ = on; }
  bool IsAutoNavigate() const { return auto_navigate_; }
  IWebBrowser2* GetWebBrowser2() const { return browser_; }
  void Navigate2(const wchar_t* url);
  HRESULT RegisterEventHandler(bool advise);
  virtual HRESULT Download(IMoniker* moniker, IBindCtx* context, DWORD verb, LONG flags, BINDINFO* info,
                           LPCOLESTR headers, LPCOLESTR redirect, UINT code_page);

  // ITranslateAccelerator (the paint manager's)
  LRESULT TranslateAccelerator(MSG* msg) override;

  // IUnknown, shared by every face
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  STDMETHODIMP HideUI() override { return S_OK; }
  STDMETHODIMP UpdateUI() override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return S_FALSE; }
  STDMETHODIMP GetExternal(IDispatch** out) override {
    if (out != nullptr) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return OLECMDERR_E_NOTSUPPORTED; }
  STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) override;

  // IDispatch: the DWebBrowserEvents2 sink
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

  // IInternetSecurityManager: no site, zone or policy of its own.
  STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite*) override { return S_OK; }
  STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite**) override { return S_OK; }
  STDMETHODIMP MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return S_OK; }
  STDMETHODIMP GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return S_OK; }
  STDMETHODIMP ProcessUrlAction(LPCWSTR, DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD, DWORD) override { return S_OK; }
  STDMETHODIMP QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD) override { return S_OK; }
  STDMETHODIMP SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return S_OK; }
  STDMETHODIMP GetZoneMappings(DWORD, IEnumString**, DWORD) override { return S_OK; }

 private:
  // The download-manager face the browser asks for as a service.
  class DownloadFace : public IDownloadManager {
   public:
    explicit DownloadFace(CWebBrowserUI* owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP Download(IMoniker* moniker, IBindCtx* context, DWORD verb, LONG flags, BINDINFO* info,
                          LPCOLESTR headers, LPCOLESTR redirect, UINT code_page) override {
      return owner_->Download(moniker, context, verb, flags, info, headers, redirect, code_page);
    }

   private:
    CWebBrowserUI* owner_;
  };

  IWebBrowser2* browser_ = nullptr;
  LONG ref_ = 0;
  DWORD event_cookie_ = 0;
  CUiString home_page_;
  bool auto_navigate_ = false;
  DownloadFace download_face_{this};
};

}  // namespace SkinUI
