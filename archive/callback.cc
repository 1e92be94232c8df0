#include "archive/callback.h"

namespace arc {
namespace {

HRESULT AllocPassword(const std::wstring& text, BSTR* password) {
  *password = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *password == nullptr ? E_OUTOFMEMORY : S_OK;
}

}  // namespace

HRESULT Callback::ReportTotal(UINT64 total) {
  return GuardedCall([&] {
    if (const TotalObserver observer = handler_.GetTotalObserver()) observer(total);
    return S_OK;
  });
}

HRESULT Callback::ReportCompleted(const UINT64* completed) {
  return GuardedCall([&] {
    if (completed == nullptr) return S_OK;
    if (const ProgressObserver observer = handler_.GetProgressObserver()) observer(*completed);
    return S_OK;
  });
}

HRESULT Callback::ReportRatio(const UINT64* in_size, const UINT64* out_size) {
  return GuardedCall([&] {
    if (in_size == nullptr || out_size == nullptr) return S_OK;
    if (const RatioObserver observer = handler_.GetRatioObserver()) observer(*in_size, *out_size);
    return S_OK;
  });
}

HRESULT Callback::AnswerPassword(BSTR* password, HRESULT missing) {
  if (password == nullptr) return E_INVALIDARG;
  *password = nullptr;
  if (handler_.HasPassword()) return AllocPassword(handler_.Password(), password);
  if (const PasswordProvider provider = handler_.GetPasswordProvider()) {
    const std::wstring text = provider();
    if (!text.empty()) return AllocPassword(text, password);
  }
  error_message_ = L"Password is not defined";
  return missing;
}

}  // namespace arc
