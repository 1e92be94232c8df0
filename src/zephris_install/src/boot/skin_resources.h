// The UI toolkit's resources: where its skins come from.
#pragma once

#include <windows.h>

// Gives the toolkit the module, the module's folder as its resource folder
// and the skin zip held in the module as resource "ZIPRES" 102. A module
// without that resource leaves the toolkit without a zip (its windows then
// cannot be built); answers whether the zip was handed over.
bool InitSkinResources(HINSTANCE instance);
