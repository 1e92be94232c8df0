// The diagnosis package: one flat 7z archive holding a text report on the
// machine and the product (diagnosis.log), the Windows Application and System
// event logs of the last three days, and the log files of the product's
// components. Everything is gathered in a work folder next to the package,
// packed by the archive layer, and the work folder is removed again.
//
// A collection never raises: missing folders and files are skipped, failed
// copies ignored, and a folder walk that fails stops that source only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace diagnosis {

// Extra files larger than this (or of exactly this size) are left out.
inline constexpr std::uintmax_t kMaxExtraFileBytes = 52428800;

// Builds the package at `package_path`; true when the archive layer wrote it.
// Whatever stood at that path before is removed first.
bool CollectDiagnosis(const std::wstring& package_path, const std::vector<std::wstring>& extra_files);

// Writes diagnosis.log into `work_dir` (truncating one that exists).
void WriteDiagnosisLog(const std::filesystem::path& work_dir);

// Writes Application.evtx and System.evtx (events of the last 72 hours) into
// `work_dir`. A failed export prints its error code and the next one runs.
void ExportEventLogs(const std::filesystem::path& work_dir);

// Copies the log files of a folder tree, or the one file `source`, into
// `work_dir` under the name `tag` + the file's own name.
void CopyLogFolder(std::string_view tag, const std::filesystem::path& source, const std::filesystem::path& work_dir);

// The components' setup logs: every folder below <data root>\Component.
void CollectSetupLogs(const std::filesystem::path& work_dir);
// The client application's logs, one tag per version folder of `app_dir`.
void CollectZephrisLogs(const std::filesystem::path& app_dir, const std::filesystem::path& work_dir);
// The engine's render, driver and Android logs.
void CollectEngineLogs(const std::filesystem::path& app_dir, const std::filesystem::path& work_dir);
// The fixed list of log files in the temporary product folder.
void CollectTempLogs(const std::filesystem::path& work_dir);

// "\d+(\.\d+){3}" over the whole name, such as 2.1.0.15.
bool IsVersionString(std::string_view name);

// The log filter on a file name in the ANSI code page: ends with ".log" or
// ".xlog", or begins with "logcatd", "tombstone" or "context_menu".
bool IsLogFileName(std::string_view name);

}  // namespace diagnosis
