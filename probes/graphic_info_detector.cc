#include "probes/graphic_info.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "base/command_line.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/registry.h"
#include "base/registry_stamp.h"
#include "base/text_conversion.h"
#include "probes/nvidia_profile.h"
#include "probes/text_match.h"

namespace probes {
namespace {

constexpr wchar_t kQuilloranixName[] = L"Quilloranix.exe";
constexpr wchar_t kStoreBrand[] = L"ZephrisStore";
constexpr uint32_t kCheckSucceeded = 1000;

const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

uint64_t NowUnixMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

bool IsStoreProcess() { return WStringContainsNoCase(base::GetExeFileName(), kStoreBrand); }

}  // namespace

std::wstring GraphicInfoKey(GraphicInfoSubkey subkey) {
  return base::PathManager::GetInstance().GetEnvKey() + L"\\GraphicInfo\\" +
         (subkey == GraphicInfoSubkey::kClient ? L"Quilloranix.exe" : L"dxdiag.exe");
}

std::string ReadGraphicInfoString(std::wstring_view value_name, GraphicInfoSubkey subkey) {
  const std::wstring key = GraphicInfoKey(subkey);
  std::wstring text = base::ReadRegString(HKEY_CURRENT_USER, key, value_name, L"");
  if (text.empty()) text = base::ReadRegString(HKEY_LOCAL_MACHINE, key, value_name, L"");
  return base::WideToUtf8(text);
}

uint64_t ReadGraphicInfoQword(std::wstring_view value_name, GraphicInfoSubkey subkey) {
  const std::wstring key = GraphicInfoKey(subkey);
  uint64_t number = base::ReadRegQword(HKEY_CURRENT_USER, key, value_name, 0);
  if (number == 0) number = base::ReadRegQword(HKEY_LOCAL_MACHINE, key, value_name, 0);
  return number;
}

void WriteGraphicInfoString(std::wstring_view value_name, std::string_view text, GraphicInfoSubkey subkey) {
  const std::wstring key = GraphicInfoKey(subkey);
  const std::wstring wide = base::Utf8ToWide(text);
  for (HKEY root : kRoots) base::WriteRegString(root, key, value_name, wide);
}

void WriteGraphicInfoQword(std::wstring_view value_name, uint64_t number, GraphicInfoSubkey subkey) {
  const std::wstring key = GraphicInfoKey(subkey);
  for (HKEY root : kRoots) base::WriteRegQword(root, key, value_name, number);
}

std::string ClassifyGpuVendor(std::string_view vendor, std::string_view renderer) {
  std::string joined(vendor);
  joined += ' ';
  joined += renderer;
  const auto has = [&](std::string_view word) { return joined.find(word) != std::string::npos; };
  if (has("NVIDIA")) return "NVIDIA";
  if (has("AMD") || has("ATI") || has("Radeon")) return "AMD";
  if (has("Intel")) return "Intel";
  if (has("Qualcomm")) return "Qualcomm";
  if (StringContainsNoCase(joined, "Microsoft")) return "Microsoft";
  return "UNKNOWN";
}

std::wstring GetQuilloranixPath() {
  const std::wstring folder = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  if (folder.empty()) return std::wstring();
  const std::wstring path = folder + L"\\" + kQuilloranixName;
  std::error_code error;
  const bool present = std::filesystem::exists(std::filesystem::symlink_status(path, error));
  return (!error && present) ? path : std::wstring();
}

GraphicInfoDetector& GraphicInfoDetector::Instance() {
  // The facts stay readable while the process exits (telemetry getters may
  // still run then); only the card scans are stopped, by the guard below.
  static GraphicInfoDetector* const detector = new GraphicInfoDetector();
  struct ExitStop {
    ~ExitStop() { detector->Stop(); }
  };
  static ExitStop exit_stop;
  return *detector;
}

GraphicInfoDetector::GraphicInfoDetector(std::chrono::milliseconds scan_delay)
    : scan_delay_(scan_delay), stop_event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  LoadOpenglInfo();
  LoadCardInfo();
}

GraphicInfoDetector::~GraphicInfoDetector() { Stop(); }

void GraphicInfoDetector::Stop() {
  {
    std::lock_guard lock(scan_lock_);
    stopped_ = true;
  }
  if (stop_event_) ::SetEvent(stop_event_.Get());
  if (scan_task_.valid()) scan_task_.wait();
  if (store_scan_.joinable()) store_scan_.join();
}

GraphicInfo GraphicInfoDetector::Snapshot() const {
  std::lock_guard lock(info_lock_);
  return info_;
}

void GraphicInfoDetector::MarkReady() {
  {
    std::lock_guard lock(info_lock_);
    info_.ready = true;
  }
  ready_condition_.notify_all();
}

void GraphicInfoDetector::Detect() {
  if (GetQuilloranixPath().empty()) {
    MarkReady();
    return;
  }
  base::DurationStamp stamp(std::wstring(L"FetchOpenglInfo") + kQuilloranixName);
  bool refreshed = false;
  {
    std::lock_guard refresh(refresh_lock_);
    const uint64_t now = NowUnixMilliseconds();
    const uint64_t stored = base::ReadRegQword(HKEY_CURRENT_USER, stamp.key(), stamp.name(), 0);
    if (OpenglFactsStale(stored, now)) {
      refreshed = true;
      FetchOpenglInfo();
      if (!GetQuilloranixPath().empty()) stamp.Record();
    }
  }
  if (refreshed) {
    if (IsStoreProcess()) StartStoreScan();
  } else {
    bool wants_second_card = false;
    {
      std::lock_guard lock(info_lock_);
      wants_second_card = !info_.opengl_renderer.empty() && info_.second_renderer.empty();
    }
    if (wants_second_card && IsStoreProcess() && !HasSavedCardCount()) DelayGetSecondGraphicCardInfo();
  }
  LoadOpenglInfo();
  MarkReady();
}

void GraphicInfoDetector::DetectAndWait() {
  if (GetQuilloranixPath().empty()) return;
  Detect();
  std::unique_lock lock(info_lock_);
  ready_condition_.wait(lock, [&] { return info_.ready; });
}

uint32_t GraphicInfoDetector::FetchOpenglInfo() {
  const std::wstring path = GetQuilloranixPath();
  if (path.empty()) return kCheckSucceeded;
  base::WriteRegString(HKEY_CURRENT_USER, L"Software\\Microsoft\\DirectX\\UserGpuPreferences", path,
                       L"GpuPreference=2;");
  ApplyNvidiaProfile(path);
  const std::wstring arguments = base::BuildOptionsCommandLineW({{L"check-opengl-process", base::GetExeFileName()}});
  uint32_t exit_code = 0;
  base::RunRestricted(path, arguments, &exit_code);
  if (exit_code == kCheckSucceeded && LoadOpenglInfo()) return kCheckSucceeded;
  return base::ShellRunAndWaitBrief(path, arguments, L"");
}

bool GraphicInfoDetector::LoadOpenglInfo() {
  std::lock_guard lock(info_lock_);
  constexpr auto kClient = GraphicInfoSubkey::kClient;
  info_.opengl_vendor = ReadGraphicInfoString(L"OpenglVendor", kClient);
  info_.opengl_renderer = ReadGraphicInfoString(L"OpenglRenderer", kClient);
  info_.opengl_version = ReadGraphicInfoString(L"OpenglVersion", kClient);
  info_.opengl_major = static_cast<int32_t>(ReadGraphicInfoQword(L"OpenglMajorVersion", kClient));
  info_.opengl_minor = static_cast<int32_t>(ReadGraphicInfoQword(L"OpenglMinorVersion", kClient));
  info_.vendor_class = ClassifyGpuVendor(info_.opengl_vendor, info_.opengl_renderer);
  return !info_.opengl_vendor.empty() && !info_.opengl_renderer.empty() && !info_.opengl_version.empty() &&
         info_.opengl_major != 0 && info_.opengl_minor != 0 && !info_.vendor_class.empty();
}

void GraphicInfoDetector::LoadCardInfo() {
  std::lock_guard lock(info_lock_);
  constexpr auto kDxdiag = GraphicInfoSubkey::kDxdiag;
  info_.opengl_driver_version = ReadGraphicInfoString(L"OpenglDriverVersion", kDxdiag);
  info_.opengl_driver_date = ReadGraphicInfoString(L"OpenglDriverPublishDate", kDxdiag);
  info_.second_vendor = ReadGraphicInfoString(L"SecondGCVendor", kDxdiag);
  info_.second_renderer = ReadGraphicInfoString(L"SecondGCRenderer", kDxdiag);
  info_.second_driver_version = ReadGraphicInfoString(L"SecondGCDriverVersion", kDxdiag);
  info_.second_driver_date = ReadGraphicInfoString(L"SecondGCDriverPublishDate", kDxdiag);
  const uint64_t stored_count = ReadGraphicInfoQword(L"GraphicCardCount", kDxdiag);
  info_.card_count = static_cast<uint32_t>(stored_count) >= 2 ? static_cast<int32_t>(stored_count) : 1;
}

void GraphicInfoDetector::SaveCardInfo() {
  std::lock_guard lock(info_lock_);
  constexpr auto kDxdiag = GraphicInfoSubkey::kDxdiag;
  const std::pair<const wchar_t*, const std::string*> texts[] = {
      {L"OpenglDriverVersion", &info_.opengl_driver_version},
      {L"OpenglDriverPublishDate", &info_.opengl_driver_date},
      {L"SecondGCVendor", &info_.second_vendor},
      {L"SecondGCRenderer", &info_.second_renderer},
      {L"SecondGCDriverVersion", &info_.second_driver_version},
      {L"SecondGCDriverPublishDate", &info_.second_driver_date},
  };
  for (const auto& [name, text] : texts) {
    if (!text->empty()) WriteGraphicInfoString(name, *text, kDxdiag);
  }
  WriteGraphicInfoQword(L"GraphicCardCount", static_cast<uint64_t>(static_cast<int64_t>(info_.card_count)), kDxdiag);
}

void GraphicInfoDetector::MatchCards(const std::vector<GraphicCardRecord>& cards) {
  if (cards.empty()) return;
  {
    // Readers take copies under this lock, so they never see half a match.
    std::lock_guard lock(info_lock_);
    const char* applying = nullptr;
    for (const char* word : {"NVIDIA", "AMD", "Intel", "Qualcomm", "Microsoft"}) {
      if (StringContainsNoCase(info_.opengl_vendor, word) || StringContainsNoCase(info_.opengl_renderer, word)) {
        applying = word;
        break;
      }
    }
    if (applying == nullptr) return;
    size_t index = 0;
    while (index < cards.size() && !StringContainsNoCase(cards[index].card_name, applying) &&
           !StringContainsNoCase(cards[index].manufacturer, applying)) {
      ++index;
    }
    if (index < cards.size()) {
      info_.opengl_driver_version = cards[index].driver_version;
      info_.opengl_driver_date = cards[index].driver_date;
    }
    if (cards.size() >= 2) {
      const GraphicCardRecord& other = index == 0 ? cards[1] : cards[0];
      info_.second_vendor = other.manufacturer;
      info_.second_renderer = other.card_name;
      info_.second_driver_version = other.driver_version;
      info_.second_driver_date = other.driver_date;
      info_.card_count = 2;
    }
  }
  SaveCardInfo();
}

void MatchCardsOnce(GraphicInfoDetector& detector, std::vector<GraphicCardRecord> cards) {
  std::call_once(detector.match_once_, [&] { detector.MatchCards(cards); });
}

bool GraphicInfoDetector::HasSavedCardCount() {
  std::lock_guard lock(info_lock_);
  return base::HasHklmQword(GraphicInfoKey(GraphicInfoSubkey::kDxdiag), L"GraphicCardCount");
}

void GraphicInfoDetector::ScanCards(bool delayed) {
  if (delayed && ::WaitForSingleObject(stop_event_.Get(), static_cast<DWORD>(scan_delay_.count())) != WAIT_TIMEOUT) {
    return;
  }
  std::vector<GraphicCardRecord> cards = RunDxdiag(stop_event_.Get());
  if (::WaitForSingleObject(stop_event_.Get(), 0) == WAIT_OBJECT_0) return;
  bool has_vendor = false;
  {
    std::lock_guard lock(info_lock_);
    has_vendor = !info_.opengl_vendor.empty();
  }
  if (has_vendor) MatchCardsOnce(*this, std::move(cards));
}

void GraphicInfoDetector::DelayGetSecondGraphicCardInfo() {
  std::call_once(scan_once_, [&] {
    std::lock_guard lock(scan_lock_);
    if (stopped_) return;
    scan_task_ = std::async(std::launch::async, [this] { ScanCards(true); });
  });
}

void GraphicInfoDetector::StartStoreScan() {
  std::call_once(scan_once_, [&] {
    std::lock_guard lock(scan_lock_);
    if (stopped_) return;
    store_scan_ = std::thread([this] { ScanCards(false); });
  });
}

}  // namespace probes
