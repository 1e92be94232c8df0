// The installer's single-instance mark.
#pragma once

#include <cstdint>
#include <string>

namespace base {

// "QuilloraneInstaller.exe", or for install action 1 (download only)
// "QuilloraneInstaller.exe-<channel id>".
std::string InstallerMutexName(uint64_t channel_id, int install_action);

// True when another installer runs. Download-only installers (install action
// 1) are one per channel, in the Global namespace only when elevated; every
// other installer shares the one global mark.
bool CheckInstallerSingleInstance(uint64_t channel_id, int install_action, bool elevated);

}  // namespace base
