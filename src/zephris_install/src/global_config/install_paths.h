// The choice of the install, data and component folders at start-up.
#pragma once

#include <cstdint>

struct GlobalConfig;

// What the drive probes found.
struct InstallDriveFacts {
  bool ssd_found = false;      // a solid-state volume was found
  wchar_t ssd_letter = 0;      // the one with the most free space
  uint64_t ssd_free_gib = 0;
  wchar_t largest_letter = L'C';  // the fixed drive with the most free space
};

// A solid-state volume with more than 20 GiB free takes the install folder
// (and becomes `install_drive`); otherwise the drive with the most free space
// does. The data folder always goes to the drive with the most free space.
// Sets `install_drive`, `install_dir`, `data_dir` and `component_dir`.
void ApplyInstallDrives(GlobalConfig& config, const InstallDriveFacts& facts);

// Probes the machine's drives, fills `candidate_install_drives` with the
// solid-state volumes the window may offer, and applies the choice.
void InitInstallPaths(GlobalConfig& config);
