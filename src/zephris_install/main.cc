// The installer program's entry point.
#include <windows.h>

#include "src/zephris_install/src/boot/installer_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunInstaller(instance); }
