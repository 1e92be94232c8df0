// The client's OpenGL check program (opengl_checker.exe): its exit code is
// kept as REG_QWORD "OpenglDemoResult" under the Env key in HKLM.
#pragma once

#include <cstdint>

namespace probes {

inline constexpr int32_t kOpenglDemoResultNone = -10240;

// The stored result; while none is stored, starts the check once in the
// background and returns -10240.
int32_t GetOpenglDemoResult();
// Runs the check (once per process) and stores its exit code; 0 when the
// program was not run.
int32_t RunOpenglChecker();

}  // namespace probes
