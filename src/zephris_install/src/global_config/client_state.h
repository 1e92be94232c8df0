// The questions about the installed client that decide which engine and
// front end run. The first three are answered once per process (the first
// answer, given during start-up before any install ran, holds for the life
// of the process); the last two look at the configuration on every call.
#pragma once

struct GlobalConfig;

// The client application's files are in its versioned folder.
bool IsClientInstalled();

// Installed, and not a store-UI build (BrandCode 10) that has lost its
// "store_ui_dll.dll".
bool IsClientIntact();

// Installed but not intact: the reinstall engine switches it back.
bool NeedReinstall();

// The last steps of an install stand: the product's version value and its
// uninstall entry, written after every component's setup has run. Client
// files without them are what an install stopped short of its end leaves.
// Asked afresh on every call.
bool IsProductRegistered();

// The install record names an app to install after the product: an app id
// that is not the engine-SDK placeholder, unless the app is not to be pulled
// up (app_pullup_type 2).
bool NeedInstallApp(const GlobalConfig& config);
bool NeedInstallApp();

// The installer was distributed by the engine SDK.
bool IsVztSdkSource(const GlobalConfig& config);
bool IsVztSdkSource();
