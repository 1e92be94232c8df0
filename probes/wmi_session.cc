#include "probes/wmi_session.h"

#include <oleauto.h>

namespace probes {
namespace {

// A BSTR for an [in] argument; an allocation failure gives an empty wrapper.
base::ScopedBstr MakeBstr(std::wstring_view text) {
  return base::ScopedBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

struct ScopedVariant {
  VARIANT value;
  ScopedVariant() noexcept { ::VariantInit(&value); }
  ~ScopedVariant() { ::VariantClear(&value); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
};

}  // namespace

ComApartment::ComApartment(DWORD model) noexcept {
  // S_FALSE: this thread already had an apartment of that kind; the call
  // still counts and must be balanced.
  initialized_ = SUCCEEDED(::CoInitializeEx(nullptr, model));
}

ComApartment::~ComApartment() {
  if (initialized_) ::CoUninitialize();
}

base::ScopedComPtr<IEnumWbemClassObject> ExecWmiQuery(std::wstring_view wmi_namespace, std::wstring_view wql,
                                                       HRESULT* error) {
  auto fail = [error](HRESULT hr) {
    if (error) *error = hr;
    return base::ScopedComPtr<IEnumWbemClassObject>();
  };
  base::ScopedComPtr<IWbemLocator> locator;
  HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void**>(locator.Receive()));
  if (FAILED(hr)) return fail(hr);

  base::ScopedBstr name = MakeBstr(wmi_namespace);
  if (!name) return fail(E_OUTOFMEMORY);
  base::ScopedComPtr<IWbemServices> services;
  hr = locator.Get()->ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive());
  if (FAILED(hr)) return fail(hr);

  hr = ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(hr)) return fail(hr);

  base::ScopedBstr language = MakeBstr(L"WQL");
  base::ScopedBstr query = MakeBstr(wql);
  if (!language || !query) return fail(E_OUTOFMEMORY);
  base::ScopedComPtr<IEnumWbemClassObject> objects;
  hr = services.Get()->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                 nullptr, objects.Receive());
  if (FAILED(hr)) return fail(hr);
  return objects;
}

std::optional<std::wstring> ReadWmiString(IWbemClassObject* object, std::wstring_view property) {
  std::wstring name(property);
  ScopedVariant value;
  if (FAILED(object->Get(name.c_str(), 0, &value.value, nullptr, nullptr))) return std::nullopt;
  if (value.value.vt != VT_BSTR) return std::nullopt;
  if (value.value.bstrVal == nullptr) return std::wstring();  // COM's empty text
  return std::wstring(value.value.bstrVal, ::SysStringLen(value.value.bstrVal));
}

}  // namespace probes
