#include "src/common/diagnosis/event_log_export.h"

#include <winevt.h>

namespace diagnosis {

DWORD ExportEventLogChannel(const wchar_t* channel, const std::filesystem::path& target) {
  // 259,200,000 ms: three days back from now.
  static constexpr wchar_t kLastThreeDays[] = L"Event[System[TimeCreated[timediff(@SystemTime) <= 259200000]]]";
  if (::EvtExportLog(nullptr, channel, kLastThreeDays, target.c_str(), EvtExportLogChannelPath)) return ERROR_SUCCESS;
  return ::GetLastError();
}

}  // namespace diagnosis
