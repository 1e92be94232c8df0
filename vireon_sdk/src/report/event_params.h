// What the client adds to every event: its own keys, the per-process
// sequence number, the per-executable log id kept in an ini file, the sibling
// component's time stamp, and well-formed UTF-8 for every value.
#pragma once

#include <cstdint>
#include <string>

#include "vireon_sdk/src/report/report_params.h"

namespace vireon {

inline constexpr char kInvalidUtf8Text[] = "Invalid UTF-8 String";

// Copies every entry of `source` into `destination` (inserting or
// overwriting), each value through CheckUtf8 when `check` is set.
void MergeParams(ReportParams& destination, const ReportParams& source, bool check);

// The value when it is empty or well-formed UTF-8; otherwise its bytes read in
// the system's ANSI code page (up to a zero byte), or kInvalidUtf8Text when
// that gives nothing usable.
std::string CheckUtf8(const std::string& value);

// The sequence counter's value before its increment; 0 for the first event.
int64_t NextSequence();

// A new GUID as 36 upper-case hex digits with dashes; empty when none can be made.
std::string NewLogId();

// The next log id of executables of this name, stored before it is returned.
std::wstring NextLogId();
// The sibling component's "timestamp", "0" when there is none.
std::wstring GetSeqTime();

// "<app data>\Orvalis\VireonConfig\<app key>.ini" and
// "<app data>\Orvalis\RuConfig\<app key>.ini" for the stored app key, their
// folders created; empty while the app key is empty.
std::wstring GetLogIdIniPath();
std::wstring GetSeqTimeIniPath();
// The same, computed once per process.
std::wstring LogIdIniPath();
std::wstring SeqTimeIniPath();

// The steps of NextLogId and GetSeqTime on a given file.
std::wstring NextLogIdIn(const std::wstring& ini_path, const std::wstring& section);
std::wstring ReadSeqTimeIn(const std::wstring& ini_path);

}  // namespace vireon
