// What the installer's boxes share: their window title, style and the lookup
// of their controls.
#pragma once

#include <windows.h>

#include <string>

#include "ui_toolkit/core/paint_manager.h"

namespace install_box {

// Pop-up, visible, clip siblings, clip children, caption, system menu.
inline constexpr DWORD kBoxStyle = 0x96C80000;
inline constexpr DWORD kBoxExStyle = WS_EX_WINDOWEDGE;
inline constexpr UINT kBoxIconResource = 101;

// The product's display name from the install record, else the brand.
std::wstring BoxTitle();

// The control of that name when it is of class T, else null.
template <typename T>
T* FindControl(SkinUI::CPaintManagerUI& manager, const wchar_t* name) {
  return dynamic_cast<T*>(manager.FindControlByName(name));
}

}  // namespace install_box
