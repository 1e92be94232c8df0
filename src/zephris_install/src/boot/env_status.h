// The "env_status" event: what the machine offers for virtualisation.
#pragma once

#include <string>

// Probes the machine and reports; runs on a thread of its own (the board
// maker's probe starts a program and may take seconds).
void ReportEnvStatus(const std::string& source);
