#include "probes/dxdiag_cards.h"

#include <shellapi.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <locale>

#include "base/failure_boundary.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "probes/text_match.h"

namespace probes {
namespace {

// A real report line is short; a longer one is hostile output and is skipped
// so that no card text can grow to the size of the report.
constexpr size_t kMaxLineLength = 4096;

// The value of a report line: everything after its first ":".
std::string ValueAfterColon(const std::string& line) {
  const size_t colon = line.find(':');
  return colon == std::string::npos ? std::string() : line.substr(colon + 1);
}

// Each byte of the report is one character of the same value; the wide text
// goes through the UTF-8 conversion like every other registry text.
std::string ToUtf8(const std::string& bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (unsigned char c : bytes) wide.push_back(static_cast<wchar_t>(c));
  return base::WideToUtf8(wide);
}

bool Contains(const std::string& line, std::string_view label) { return StringContainsNoCase(line, label); }

// Runs the tool and waits for it (or for `stop_event`): its exit code, the
// launch error, or a non-zero code when the wait was given up.
DWORD RunTool(const std::wstring& parameters, HANDLE stop_event) {
  if (stop_event == nullptr) return base::ShellRunAndWait(L"dxdiag", parameters, true, L"", SW_SHOWNORMAL);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = L"dxdiag";
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) return ::GetLastError();
  base::ScopedKernelHandle process(info.hProcess);
  if (!process) return 0;
  const HANDLE handles[] = {process.Get(), stop_event};
  if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) return ERROR_CANCELLED;
  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(process.Get(), &exit_code)) return ::GetLastError();
  return exit_code;
}

std::vector<GraphicCardRecord> RunDxdiagUntil(HANDLE stop_event) {
  const std::wstring report_path = DxdiagReportPath();
  // Quoted: a user folder with a blank would otherwise end the path early.
  if (RunTool(L"/t \"" + report_path + L"\"", stop_event) != 0) return {};
  // Binary: a Ctrl-Z byte in a text-mode stream would end the report early;
  // line ends are trimmed by the parser.
  std::ifstream report(std::filesystem::path(report_path), std::ios::in | std::ios::binary);
  if (!report) return {};
  report.imbue(std::locale::classic());
  return ParseDxdiagReport(report);
}

}  // namespace

std::wstring DxdiagReportPath() {
  const std::filesystem::path folder = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kRoot);
  return (folder / DxdiagReportFileName(base::GetExeFileName())).wstring();
}

std::wstring DxdiagReportFileName(std::wstring executable_name) {
  return base::ReplaceAll(std::move(executable_name), L".exe", L"_") + L"dxdiag.log";
}

std::vector<GraphicCardRecord> ParseDxdiagReport(std::istream& report) {
  std::vector<GraphicCardRecord> cards;
  GraphicCardRecord card;
  bool in_section = false;
  bool card_open = false;
  std::string line;
  while (std::getline(report, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) continue;
    if (!in_section) {
      in_section = Contains(line, "Display Devices");
      continue;
    }
    if (Contains(line, "Card name:")) {
      card.card_name = ToUtf8(ValueAfterColon(line));
      card_open = true;
    } else if (Contains(line, "Manufacturer:")) {
      if (card_open) card.manufacturer = ToUtf8(ValueAfterColon(line));
    } else if (Contains(line, "Driver Version:")) {
      if (card_open) card.driver_version = ToUtf8(ValueAfterColon(line));
    } else if (Contains(line, "Driver Date/Size:")) {
      if (card_open) {
        const std::string value = ValueAfterColon(line);
        card.driver_date = ToUtf8(value.substr(0, value.find(',')));
        cards.push_back(card);
        card_open = false;
      }
    } else if (Contains(line, "Sound Devices")) {
      break;
    }
  }
  return cards;
}

std::vector<GraphicCardRecord> RunDxdiag() {
  return base::NoThrowOr(std::vector<GraphicCardRecord>(), [] { return RunDxdiagUntil(nullptr); });
}

std::vector<GraphicCardRecord> RunDxdiag(HANDLE stop_event) {
  return base::NoThrowOr(std::vector<GraphicCardRecord>(), [&] { return RunDxdiagUntil(stop_event); });
}

}  // namespace probes
