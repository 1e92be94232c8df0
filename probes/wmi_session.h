// The few WMI steps the probes share: COM on the calling thread, a connected
// and secured service of one namespace, a forward-only query, and reading a
// text property. Every step answers failure by an empty result.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/scoped_handle.h"

namespace probes {

// CoInitializeEx for the scope; uninitialises only what it initialised.
class ComApartment {
 public:
  explicit ComApartment(DWORD model) noexcept;
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok() const noexcept { return initialized_; }

 private:
  bool initialized_ = false;
};

// Locator, ConnectServer, proxy blanket (NT authentication, call level,
// impersonation), then ExecQuery("WQL", forward-only | return-immediately).
// The HRESULT of the failing step goes to *error when given.
base::ScopedComPtr<IEnumWbemClassObject> ExecWmiQuery(std::wstring_view wmi_namespace, std::wstring_view wql,
                                                       HRESULT* error = nullptr);

// The property when it holds a text (VT_BSTR); nothing otherwise.
std::optional<std::wstring> ReadWmiString(IWbemClassObject* object, std::wstring_view property);

}  // namespace probes
