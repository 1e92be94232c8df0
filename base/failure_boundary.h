// The boundary of an operation that answers failure by a plain value: what
// the body throws (in practice an allocation failure) becomes that value, so
// no exception leaves the operation.
#pragma once

#include <utility>

namespace base {

template <typename T, typename Body>
T NoThrowOr(T failure_value, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return failure_value;
  }
}

}  // namespace base
