// The base of every callback object handed to the engine: a reference count,
// the handler it serves and the error message that a failed engine call will
// carry to the caller.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "archive/archive_handler.h"
#include "archive/com_object.h"

namespace arc {

// The boundary of every engine callback: nothing may be thrown across the
// engine, so anything escaping `body` is answered as an allocation failure.
template <typename Body>
HRESULT GuardedCall(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

class Callback : public CMyUnknownImp {
 public:
  explicit Callback(const ArchiveHandler& handler) : handler_(handler) {}
  virtual ~Callback() = default;
  virtual std::wstring ErrorMessage() const { return error_message_; }

 protected:
  // The progress answers shared by the extract and update callbacks: each
  // calls its observer when one is set.
  HRESULT ReportTotal(UINT64 total);
  HRESULT ReportCompleted(const UINT64* completed);
  HRESULT ReportRatio(const UINT64* in_size, const UINT64* out_size);

  // Answers the handler's password or the provider's. Without either the
  // message becomes "Password is not defined" and `missing` is answered.
  HRESULT AnswerPassword(BSTR* password, HRESULT missing);

  const ArchiveHandler& handler_;
  std::wstring error_message_;
};

}  // namespace arc
