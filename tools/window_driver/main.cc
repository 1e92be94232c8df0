// Drives the installer's main window as a user would, for `make run` on a
// machine without a display of its own: it waits for the window, opens the
// custom card, ticks the agreement, presses install, waits for the complete
// card (the product log says when the engine is done) and presses it when the
// window is still there, saving
// a picture of the screen under the window at every card.
//   window_driver <picture folder, or - for none> <product log>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "testing/window_input/installer_window_input.h"
#include "ui_toolkit/core/gdiplus_include.h"

namespace {

using namespace std::chrono_literals;

using window_input::Click;
using window_input::WaitFor;

HWND FindMainWindow() { return window_input::FindVisibleWindow(window_input::kMainWindowClass); }

bool LogHolds(const std::wstring& log, const char* text) {
  std::ifstream in(std::filesystem::path(log), std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return content.find(text) != std::string::npos;
}

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<BYTE> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// The screen under the window, as the display shows it.
bool SavePicture(HWND window, const std::wstring& path) {
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return false;
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  const bool copied = ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
  ::SelectObject(memory, old);
  bool saved = false;
  CLSID png{};
  if (copied && PngEncoder(&png)) {
    Gdiplus::Bitmap image(bitmap, nullptr);
    saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return saved;
}

class Driver {
 public:
  Driver(std::wstring folder, std::wstring log) : folder_(std::move(folder)), log_(std::move(log)) {}

  int Run() {
    if (!WaitFor([this] { return (window_ = FindMainWindow()) != nullptr; }, 120s)) {
      return Fail("the main window did not appear");
    }
    std::this_thread::sleep_for(1500ms);  // its first frames, and the shadow
    Picture(L"1-start");
    Click(window_, window_input::kExpandButton);
    Picture(L"2-custom");
    Click(window_, window_input::kAuthorizeOption);
    Click(window_, window_input::kInstallButton);
    std::printf("window: agreement ticked, install pressed\n");
    std::fflush(stdout);
    if (!WaitFor([this] { return LogHolds(log_, "NotifyDownloadStart"); }, 60s)) {
      return Fail("the install did not start");
    }
    std::this_thread::sleep_for(500ms);
    Picture(L"3-installing");
    if (!WaitFor([this] { return LogHolds(log_, "NotifyComplete") || LogHolds(log_, "BadExit"); }, 600s)) {
      return Fail("the install did not end");
    }
    std::this_thread::sleep_for(1000ms);
    Picture(LogHolds(log_, "BadExit") ? L"4-failed" : L"4-done");
    // A window still open after the client started shows its complete card.
    std::this_thread::sleep_for(3000ms);
    if (!LogHolds(log_, "BadExit") && FindMainWindow() != nullptr) {
      Picture(L"5-complete");
      Click(window_, window_input::kInstallButton);
      std::printf("window: complete pressed\n");
    }
    return 0;
  }

 private:
  void Picture(const wchar_t* name) {
    if (folder_ == L"-") return;
    const std::wstring path = folder_ + L"\\" + name + L".png";
    if (FindMainWindow() != nullptr && SavePicture(window_, path)) {
      std::printf("window: card picture %ls\n", path.c_str());
    } else {
      std::printf("window: no picture of %ls\n", name);
    }
    std::fflush(stdout);
  }
  int Fail(const char* what) {
    std::printf("window: %s\n", what);
    return 1;
  }

  std::wstring folder_;
  std::wstring log_;
  HWND window_ = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: window_driver <picture folder | -> <product log>\n");
    return 2;
  }
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;
  const int code = Driver(argv[1], argv[2]).Run();
  Gdiplus::GdiplusShutdown(token);
  return code;
}
