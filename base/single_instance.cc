#include "base/single_instance.h"

#include <fmt/format.h>

#include "base/failure_boundary.h"
#include "base/named_mutex.h"

namespace base {
namespace {

constexpr char kInstallerMutex[] = "QuilloraneInstaller.exe";
constexpr int kDownloadOnlyAction = 1;

}  // namespace

std::string InstallerMutexName(uint64_t channel_id, int install_action) {
  if (install_action != kDownloadOnlyAction) return kInstallerMutex;
  return fmt::format("{}-{}", kInstallerMutex, channel_id);
}

bool CheckInstallerSingleInstance(uint64_t channel_id, int install_action, bool elevated) {
  return NoThrowOr(false, [&] {
    const bool global = install_action == kDownloadOnlyAction ? elevated : true;
    return AcquireNamedMutex(InstallerMutexName(channel_id, install_action), global);
  });
}

}  // namespace base
