// The product's entry in the system's list of installed programs.
#pragma once

#include <string>

// Under HKLM; the entry's key is this followed by its name.
inline constexpr wchar_t kUninstallKeyRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr wchar_t kUninstallKeyName[] = L"Quillorane";
inline constexpr wchar_t kUninstallDisplayName[] = L"OrvalisQuillorane";
inline constexpr wchar_t kProductPublisher[] = L"Orvalis";
// The text the uninstaller shows; also the Start-menu link's name.
inline constexpr wchar_t kProductDisplayText[] = L"OrvalisQuillorane-畅玩手机游戏";

// "\"<uninstaller>\" --oem-uninstall=<display text>".
std::wstring BuildUninstallCommand(const std::wstring& uninstaller_path);

// Writes the five values of HKLM\...\Uninstall\<key_name>, creating the key.
// Every value is attempted; true only when all five were written.
bool WriteUninstallEntry(const std::wstring& key_name, const std::wstring& uninstall_command,
                         const std::wstring& display_icon, const std::wstring& display_name,
                         const std::wstring& display_version, const std::wstring& publisher);
