// For the window front ends when they show themselves: Windows lets only the
// foreground thread take the foreground, so the input of that thread is
// borrowed for the moment.
#pragma once

#include <windows.h>

void BringWindowToFront(HWND window);
