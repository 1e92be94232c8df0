// The one boundary of the telemetry wire code: nothing it calls may throw past
// an operation (std::bad_alloc from a string or map is the realistic case), so
// each operation runs its body here and turns an escaping exception into its
// own failure value.
#pragma once

#include <utility>

namespace vireon::utils {

template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return failure;
  }
}

}  // namespace vireon::utils
