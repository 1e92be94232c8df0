// The close code of the installer's boxes.
#pragma once

#include <cstdint>

// A box closed another way (for example by the system) gives whatever close
// code the window wrapper reports for it, so the type stays an integer.
using MessageBoxResult = int32_t;

inline constexpr MessageBoxResult kMessageBoxConfirm = 1;
inline constexpr MessageBoxResult kMessageBoxCancel = 2;
inline constexpr MessageBoxResult kMessageBoxClose = 8;
