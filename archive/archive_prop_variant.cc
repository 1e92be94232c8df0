#include "archive/archive_prop_variant.h"

#include <oleauto.h>

#include <cstring>

#include "archive/archive_exception.h"

namespace arc {
namespace {

void ZeroAll(PROPVARIANT& v) noexcept { std::memset(static_cast<void*>(&v), 0, sizeof(PROPVARIANT)); }

BSTR AllocString(const wchar_t* text, size_t length) {
  BSTR s = ::SysAllocStringLen(text, static_cast<UINT>(length));
  if (s == nullptr) throw ArchiveException("Could not allocate memory for ArchivePropVariant string", E_FAIL);
  return s;
}

}  // namespace

ArchivePropVariant::ArchivePropVariant() noexcept { ZeroAll(*this); }

ArchivePropVariant::ArchivePropVariant(bool value) noexcept : ArchivePropVariant() {
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ArchivePropVariant::ArchivePropVariant(uint32_t value) noexcept : ArchivePropVariant() {
  vt = VT_UI4;
  ulVal = value;
}

ArchivePropVariant::ArchivePropVariant(uint64_t value) noexcept : ArchivePropVariant() {
  vt = VT_UI8;
  uhVal.QuadPart = value;
}

ArchivePropVariant::ArchivePropVariant(const FILETIME& value) noexcept : ArchivePropVariant() {
  vt = VT_FILETIME;
  filetime = value;
}

ArchivePropVariant::ArchivePropVariant(const wchar_t* value) : ArchivePropVariant() {
  vt = VT_BSTR;
  if (value != nullptr) bstrVal = AllocString(value, std::wcslen(value));
}

ArchivePropVariant::ArchivePropVariant(const std::wstring& value) : ArchivePropVariant() {
  vt = VT_BSTR;
  bstrVal = AllocString(value.data(), value.size());
}

ArchivePropVariant::ArchivePropVariant(ArchivePropVariant&& other) noexcept : ArchivePropVariant() {
  vt = other.vt;
  TakeValueFrom(other);
}

ArchivePropVariant& ArchivePropVariant::operator=(ArchivePropVariant&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  vt = other.vt;
  TakeValueFrom(other);
  return *this;
}

ArchivePropVariant::~ArchivePropVariant() { Clear(); }

void ArchivePropVariant::TakeValueFrom(ArchivePropVariant& other) noexcept {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      bVal = other.bVal;
      break;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
      uiVal = other.uiVal;
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      ulVal = other.ulVal;
      break;
    case VT_I8:
    case VT_UI8:
    case VT_FILETIME:
      uhVal = other.uhVal;
      break;
    case VT_BSTR:
      bstrVal = other.bstrVal;
      other.bstrVal = nullptr;
      break;
    default:
      break;
  }
}

void ArchivePropVariant::Clear() noexcept {
  if (vt == VT_BSTR && bstrVal != nullptr) ::SysFreeString(bstrVal);
  ZeroAll(*this);  // VT_EMPTY is 0
}

void ArchivePropVariant::Detach(PROPVARIANT* out) noexcept {
  *out = *static_cast<PROPVARIANT*>(this);
  ZeroAll(*this);
}

bool ArchivePropVariant::AsBool() const {
  if (vt != VT_BOOL) throw ArchiveException("ArchivePropVariant is not a bool", E_FAIL);
  return boolVal != 0;
}

std::wstring ArchivePropVariant::AsString() const {
  if (vt != VT_BSTR) throw ArchiveException("ArchivePropVariant is not a string", E_FAIL);
  if (bstrVal == nullptr) return {};
  return std::wstring(bstrVal, ::SysStringLen(bstrVal));
}

uint32_t ArchivePropVariant::AsUInt32() const {
  switch (vt) {
    case VT_UI1: return bVal;
    case VT_UI2: return uiVal;
    case VT_UI4:
    case VT_UINT: return ulVal;
    default: throw ArchiveException("ArchivePropVariant is not a 32-bits unsigned integer", E_FAIL);
  }
}

FILETIME ArchivePropVariant::AsFileTime() const {
  if (vt != VT_FILETIME) throw ArchiveException("ArchivePropVariant is not a FILETIME", E_FAIL);
  return filetime;
}

ArchivePropVariantKind ArchivePropVariant::Kind() const {
  switch (vt) {
    case VT_EMPTY: return ArchivePropVariantKind::Empty;
    case VT_BOOL: return ArchivePropVariantKind::Bool;
    case VT_BSTR: return ArchivePropVariantKind::String;
    case VT_UI1: return ArchivePropVariantKind::UInt8;
    case VT_UI2: return ArchivePropVariantKind::UInt16;
    case VT_UI4:
    case VT_UINT: return ArchivePropVariantKind::UInt32;
    case VT_UI8: return ArchivePropVariantKind::UInt64;
    case VT_I1: return ArchivePropVariantKind::Int8;
    case VT_I2: return ArchivePropVariantKind::Int16;
    case VT_I4:
    case VT_INT: return ArchivePropVariantKind::Int32;
    case VT_I8: return ArchivePropVariantKind::Int64;
    case VT_FILETIME: return ArchivePropVariantKind::FileTime;
    default: throw ArchiveException("Property type not supported", E_INVALIDARG);
  }
}

}  // namespace arc
