// The 35 parameters the telemetry client asks afresh for every event: what
// the install changes while it runs (component versions), what background
// probes write (Hyper-V and VT state, GPU facts, security software), and what
// is cheap to read each time. A value that cannot be had is an empty text or
// a fixed placeholder; no getter removes its key or fails.
#pragma once

#include <string>

#include "report/reporter.h"

namespace param {

// Sets the 35 entries, replacing entries of the same keys.
void InitVolatileParams(zephris_report::VolatileParamGetters& getters);

std::string GetMainVersionParam();
std::string GetAboxVersionParam();
std::string GetAppletVersionParam();
std::string GetZephrisVersionParam();
std::string GetImageVersionParam();
std::string GetClientTypeParam();
std::string GetHyperVEnableParam();
std::string GetVtEnableParam();
std::string GetMediaChannelParam();
std::string GetExpIdParam();
std::string GetDpiParam();
std::string GetScreenInchParam();
std::string GetResolutionParam();
std::string GetMemoryAvailPhysParam();
std::string GetD36Param();

// The instruction-set code of leaf 1 ECX and leaf 7 EBX: AVX 1, AVX2 10,
// AES 100, MOVBE 1000, summed.
unsigned CpuSpecialInstructionCode(uint32_t leaf1_ecx, uint32_t leaf7_ebx);

}  // namespace param
