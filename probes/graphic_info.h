// Which GPU and which OpenGL version the client application will run on.
//
// The client's own executable (Quilloranix.exe) runs the OpenGL check and
// leaves its answers in the registry; the detector prepares and starts that
// check at most every 15 days and otherwise reads what is stored. A card scan
// of the DirectX diagnostic report finds the driver of the OpenGL card and a
// second card; it runs only in the product's store process.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"
#include "probes/dxdiag_cards.h"

namespace probes {

struct GraphicInfo {
  bool ready = false;  // a detection pass has finished
  int32_t opengl_major = 0;
  int32_t opengl_minor = 0;
  std::string opengl_vendor;
  std::string opengl_renderer;  // the GPU model
  std::string opengl_version;
  std::string vendor_class;  // ClassifyGpuVendor of vendor and renderer
  std::string opengl_driver_version;
  std::string opengl_driver_date;
  std::string second_vendor;
  std::string second_renderer;
  std::string second_driver_version;
  std::string second_driver_date;
  int32_t card_count = 0;
};

// Where the facts are stored, under <Env key>\GraphicInfo\<subkey> in HKCU
// and HKLM.
enum class GraphicInfoSubkey {
  kClient,  // "Quilloranix.exe": written by the client's OpenGL check
  kDxdiag,  // "dxdiag.exe": the card facts, written by the detector
};

std::wstring GraphicInfoKey(GraphicInfoSubkey subkey);
// HKCU first; HKLM when HKCU gives an empty text (or 0).
std::string ReadGraphicInfoString(std::wstring_view value_name, GraphicInfoSubkey subkey);
uint64_t ReadGraphicInfoQword(std::wstring_view value_name, GraphicInfoSubkey subkey);
// HKCU, then HKLM; failures are ignored.
void WriteGraphicInfoString(std::wstring_view value_name, std::string_view text, GraphicInfoSubkey subkey);
void WriteGraphicInfoQword(std::wstring_view value_name, uint64_t number, GraphicInfoSubkey subkey);

// "NVIDIA", "AMD", "Intel", "Qualcomm", "Microsoft" or "UNKNOWN".
std::string ClassifyGpuVendor(std::string_view vendor, std::string_view renderer);

// The client's Quilloranix.exe in its version folder; empty when nothing of
// that name is there.
std::wstring GetQuilloranixPath();

// How long stored facts stay fresh: 15 days.
inline constexpr uint64_t kOpenglRefreshPeriodMs = 1'296'000'000;
// Facts stamped at `stored_ms` need the check again at `now_ms`: strictly
// more than the period has passed (a stamp of 0 always does).
constexpr bool OpenglFactsStale(uint64_t stored_ms, uint64_t now_ms) {
  return stored_ms + kOpenglRefreshPeriodMs < now_ms;
}

class GraphicInfoDetector {
 public:
  // The process-wide detector, built on first use with the stored facts.
  // It stays readable until the process ends; at exit only its card scan is
  // stopped.
  static GraphicInfoDetector& Instance();

  // Loads the stored facts. `scan_delay` is how long the delayed card scan
  // waits before running the diagnostic tool.
  explicit GraphicInfoDetector(std::chrono::milliseconds scan_delay = std::chrono::seconds(60));
  ~GraphicInfoDetector();
  GraphicInfoDetector(const GraphicInfoDetector&) = delete;
  GraphicInfoDetector& operator=(const GraphicInfoDetector&) = delete;

  // One detection pass on the calling thread; marks the facts ready.
  void Detect();
  // Runs a pass and waits until the facts are ready; returns at once when the
  // client's executable is not there.
  void DetectAndWait();

  // A consistent copy of the facts: never half of an update.
  GraphicInfo Snapshot() const;

  // Prepares and runs the client's OpenGL check: 1000, or what the second
  // (shell) run gave.
  uint32_t FetchOpenglInfo();
  // Reloads the OpenGL facts; true when they are complete.
  bool LoadOpenglInfo();
  void LoadCardInfo();
  void SaveCardInfo();
  // Finds the OpenGL card and a second card in `cards` and stores them.
  void MatchCards(const std::vector<GraphicCardRecord>& cards);
  // At most once: the card scan after the scan delay, on a background task.
  void DelayGetSecondGraphicCardInfo();
  // The HKLM store holds a card count.
  bool HasSavedCardCount();

  // Ends the card scans' waits (the diagnostic tool is left to finish) and
  // waits for them. Runs at process exit; later scans do not start.
  void Stop();

 private:
  friend void MatchCardsOnce(GraphicInfoDetector& detector, std::vector<GraphicCardRecord> cards);

  void MarkReady();
  void StartStoreScan();
  void ScanCards(bool delayed);

  // One refresh at a time: a pass that finds one running waits for it and
  // then reads its answers instead of starting the check a second time.
  std::mutex refresh_lock_;
  mutable std::mutex info_lock_;
  std::condition_variable ready_condition_;
  GraphicInfo info_;

  std::chrono::milliseconds scan_delay_;
  std::once_flag scan_once_;
  std::once_flag match_once_;
  std::future<void> scan_task_;  // the delayed scan
  std::thread store_scan_;       // the store process's scan after a refresh
  std::mutex scan_lock_;         // guards starting the scans against Stop
  bool stopped_ = false;
  base::ScopedKernelHandle stop_event_;
};

// Matches `cards` at most once per detector.
void MatchCardsOnce(GraphicInfoDetector& detector, std::vector<GraphicCardRecord> cards);

}  // namespace probes
