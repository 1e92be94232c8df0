// Shell links to the product's launcher on the desktop and in the all-users
// Start menu, and the traces they leave (the desktop link's name as
// "LastLnk", the one-time desktop-link mark).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One shell link. `link_path` holds the file name until a folder strategy
// makes it the full path.
struct ShortcutSpec {
  std::wstring target_path{};
  std::wstring link_path{};
  std::wstring arguments{};
  std::wstring description{};
  std::wstring icon_location{};
};

// Where a link goes: completes `shortcut.link_path`, replaces what stands there
// and saves the link. With `only_if_present` a missing link is not created.
using ShortcutFolderStrategy = std::function<bool(ShortcutSpec& shortcut, bool only_if_present)>;

inline constexpr wchar_t kDesktopLinkMark[] = L"pcvzt.sdk.desktop_link.mark";
inline constexpr int32_t kDesktopLaunchCode = 2;
inline constexpr int32_t kStartMenuLaunchCode = 4;

bool PlaceShortcutOnDesktop(ShortcutSpec& shortcut, bool only_if_present);
bool PlaceShortcutInStartMenu(ShortcutSpec& shortcut, bool only_if_present);

// A link to the launcher that tells it which link started it (`launch_code`);
// the desktop's code names the link after the client type and records it.
bool CreateShortcut(const ShortcutFolderStrategy& strategy, int32_t launch_code);
// The desktop link; a saved one sets the desktop-link mark.
void CreateDesktopShortcut();

// The desktop link's name (without ".lnk") for this machine's client type.
std::wstring GetShortcutName();
void SaveLastShortcutName(const std::wstring& name);

// Writes the link file. Opens a COM apartment of its own when the calling
// thread has none.
bool SaveShellLink(const ShortcutSpec& shortcut);
