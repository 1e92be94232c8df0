// Makes the NVIDIA driver, when there is one, run an executable on the NVIDIA
// GPU through an application profile of its own.
#pragma once

#include <string>

namespace probes {

// Creates (or reuses) the profile "<stem> Nvidia Profile" for the executable
// and saves its four settings through nvapi64.dll. True when saved; false,
// quietly, when there is no NVIDIA driver or a step fails.
bool ApplyNvidiaProfile(const std::wstring& executable_path);

// "<file name without its last extension> Nvidia Profile".
std::wstring NvidiaProfileName(const std::wstring& executable_path);

}  // namespace probes
