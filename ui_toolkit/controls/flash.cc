#include "ui_toolkit/controls/flash.h"

#include <ocidl.h>

#include <cwchar>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr wchar_t kFlashClsid[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr IID kIidShockwaveFlash = {0xd27cdb6c, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr IID kIidShockwaveFlashEvents = {0xd27cdb6d, 0xae6d, 0x11cf,
                                          {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

}  // namespace

CFlashUI::CFlashUI() {
  CLSID clsid = GUID_NULL;
  if (SUCCEEDED(::CLSIDFromString(kFlashClsid, &clsid))) clsid_ = clsid;
}

CFlashUI::~CFlashUI() {
  // Released while the event face still exists.
  CFlashUI::ReleaseControl();
}

const wchar_t* CFlashUI::GetClassName() const { return L"FlashUI"; }

void* CFlashUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && ::_wcsicmp(name, L"Flash") == 0) return static_cast<CFlashUI*>(this);
  return CActiveXUI::QueryInterfaceByName(name);
}

void CFlashUI::ReleaseControl() {
  RegisterEventHandler(false);
  if (flash_ != nullptr) {
    flash_->Release();
    flash_ = nullptr;
  }
  CActiveXUI::ReleaseControl();
}

bool CFlashUI::DoCreateControl() {
  if (!CActiveXUI::DoCreateControl()) return false;
  GetControl(kIidShockwaveFlash, reinterpret_cast<void**>(&flash_));
  RegisterEventHandler(true);
  return true;
}

HRESULT CFlashUI::RegisterEventHandler(bool advise) {
  return AdviseEvents(flash_, kIidShockwaveFlashEvents, static_cast<IDispatch*>(this), advise, &event_cookie_);
}

LRESULT CFlashUI::TranslateAccelerator(MSG* msg) { return ForwardAccelerator(flash_, msg); }

STDMETHODIMP CFlashUI::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kIidShockwaveFlashEvents) return E_NOINTERFACE;
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CFlashUI::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&ref_)); }
STDMETHODIMP_(ULONG) CFlashUI::Release() { return static_cast<ULONG>(::InterlockedDecrement(&ref_)); }

}  // namespace SkinUI
