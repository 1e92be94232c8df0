// A store process whose detector is busy when it ends: it refreshes the GPU
// facts (the client's check stand-in answers), which starts the card scan,
// waits until the diagnostic tool stand-in has started, and returns from
// main. The probe tests check that it ends although the tool never does.
//   ZephrisStore_detector_exit.exe <product name> <dxdiag start log>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "base/path_manager.h"
#include "probes/graphic_info.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  base::PathManager::GetInstance().Init(argv[1]);
  probes::GraphicInfoDetector::Instance().Detect();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::error_code error;
  while (std::filesystem::file_size(argv[2], error) == 0 || error) {
    if (std::chrono::steady_clock::now() > end) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}
