// The installer's start-up and orderly end.
#pragma once

#include <windows.h>

#include <string>

// The rule that lets the running installer through the firewall while it runs.
inline constexpr wchar_t kInstallerFirewallRule[] = L"Zephris Installer";

// Log, folders, configuration, firewall rule, telemetry, self update, crash
// handler, COM, IPC and the single-instance check, in that order. False when
// the process is to end (a newer installer took over, or another installer
// runs on a fresh machine); the exit code is then 0.
bool Initialize(HINSTANCE instance);
// IPC, COM, firewall rule, telemetry and log, in that order; after a failed
// `Initialize` too.
void Shutdown();
