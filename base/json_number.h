// Reading a number of the target type out of a JSON value, whatever kind of
// JSON number it is. A floating value is cut toward zero; one that the target
// cannot hold is refused rather than converted, since that conversion is
// undefined (-1.0 or 1e20 into an unsigned or 32-bit field).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>

namespace base {

// Throws the JSON library's type_error (302) for a value that is not a
// number and its out_of_range (406) for a floating value out of range.
// Integer values convert as the library's own get<T>() does.
template <typename T>
T JsonNumber(const nlohmann::json& value) {
  using nlohmann::json;
  if (value.is_number_integer()) {
    return value.is_number_unsigned() ? static_cast<T>(value.get<uint64_t>()) : static_cast<T>(value.get<int64_t>());
  }
  if (!value.is_number_float()) {
    throw json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(), &value);
  }
  const double truncated = std::trunc(value.get<double>());
  // Both bounds are powers of two, so the doubles hold them exactly.
  const double upper = std::ldexp(1.0, std::numeric_limits<T>::digits);
  if (!(truncated >= static_cast<double>(std::numeric_limits<T>::lowest()) && truncated < upper)) {
    throw json::out_of_range::create(406, "number out of range for its field", &value);
  }
  return static_cast<T>(truncated);
}

}  // namespace base
