// The installer's process life: start-up, the front end and the engine it
// drives, the orderly end and the exit code.
#pragma once

#include <windows.h>

// The exit code when the start-up chose a window front end but the UI
// toolkit has no skin to build it from: the installer ends without
// installing. No result code of the engine uses it.
inline constexpr int kExitWindowFrontEndMissing = 120;

// The body of the entry point; returns the process exit code.
int RunInstaller(HINSTANCE instance);
