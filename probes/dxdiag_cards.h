// The display cards of the machine as the DirectX diagnostic tool reports
// them. Running the tool takes seconds: only background work calls this.
#pragma once

#include <windows.h>

#include <istream>
#include <string>
#include <vector>

namespace probes {

// One display card; each text is what follows the first ":" of its report
// line, leading blank included, in UTF-8.
struct GraphicCardRecord {
  std::string card_name;
  std::string manufacturer;
  std::string driver_version;
  std::string driver_date;  // the part before the first ","

  bool operator==(const GraphicCardRecord&) const = default;
};

// Runs "dxdiag /t <report>" into the product's temporary folder, waits for it
// and reads the report's display section. Empty when the tool fails or the
// report cannot be read.
std::vector<GraphicCardRecord> RunDxdiag();
// The same, but gives up waiting (empty list) as soon as `stop_event` is
// signalled, so a tool that never ends cannot hold its caller at exit. The
// tool itself is left to finish.
std::vector<GraphicCardRecord> RunDxdiag(HANDLE stop_event);

// Where the report goes: the product's temporary folder.
std::wstring DxdiagReportPath();
// "<executable name with every .exe replaced by _>dxdiag.log".
std::wstring DxdiagReportFileName(std::wstring executable_name);

// The cards of a report's "Display Devices" section, in report order.
std::vector<GraphicCardRecord> ParseDxdiagReport(std::istream& report);

}  // namespace probes
