// Pieces for copying text to the clipboard: the error a failed clipboard step
// raises, and the guard that undoes what the steps left open.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace base::clipboard {

class ClipboardException : public std::exception {
 public:
  ClipboardException(std::string message, int error_code) : code(error_code), message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

  int code;  // the system error of the step that failed

 private:
  std::string message_;
};

// Closes the clipboard when `opened`, and frees `memory` while it is set:
// set it to nullptr once the clipboard owns the block.
struct ClipboardGuard {
  bool opened = false;
  HGLOBAL memory = nullptr;

  ClipboardGuard() = default;
  ClipboardGuard(const ClipboardGuard&) = delete;
  ClipboardGuard& operator=(const ClipboardGuard&) = delete;
  ~ClipboardGuard();
};

}  // namespace base::clipboard
