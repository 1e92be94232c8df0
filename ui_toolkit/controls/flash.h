// Hosts the Shockwave Flash object and accepts (and ignores) its events.
// Where the object is not installed the control stays empty.
#pragma once

#include <windows.h>

#include "ui_toolkit/controls/activex.h"

namespace SkinUI {

class CFlashUI : public CActiveXUI, public IDispatch, public ITranslateAccelerator {
 public:
  CFlashUI();
  ~CFlashUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void ReleaseControl() override;
  bool DoCreateControl() override;

  // The hosted object's IShockwaveFlash face, or null.
  IUnknown* GetFlash() const { return flash_; }
  HRESULT RegisterEventHandler(bool advise);

  // ITranslateAccelerator (the paint manager's); not registered by the control.
  LRESULT TranslateAccelerator(MSG* msg) override;

  // The _IShockwaveFlashEvents face: every event is accepted and ignored.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return S_OK; }

 private:
  IUnknown* flash_ = nullptr;
  LONG ref_ = 0;
  DWORD event_cookie_ = 0;
};

}  // namespace SkinUI
