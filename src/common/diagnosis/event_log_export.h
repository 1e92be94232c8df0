// Export of one Windows event-log channel to an .evtx file.
#pragma once

#include <windows.h>

#include <filesystem>

namespace diagnosis {

// The events of `channel` created in the last 72 hours, written to `target`
// (which must not exist yet). ERROR_SUCCESS, or the system's error code.
DWORD ExportEventLogChannel(const wchar_t* channel, const std::filesystem::path& target);

}  // namespace diagnosis
