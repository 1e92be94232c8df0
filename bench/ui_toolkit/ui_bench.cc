// Figures of the skinned toolkit under Wine: parse + build + first layout of
// a generated skin of 2,000 controls, a full repaint of an 800 x 600 window
// holding 200 controls with images and text, and a layered-window update.
// The yardstick, measured in the same run, is the same 800 x 600 area drawn
// with plain GDI calls (200 fills and 200 DrawTextW), no toolkit involved.
// Also: one page down in a scrolled list of 5,000 rows (the children moved
// and the window repainted), checked against where the rows must land.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/skin_builder.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

using SkinUI::testing::SkinWindow;

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::wstring BigSkin(int controls) {
  std::wstring s = L"<Window size=\"800,600\"><VerticalLayout>";
  for (int i = 0; i < controls / 10; ++i) {
    s += L"<HorizontalLayout height=\"3\">";
    for (int j = 0; j < 9; ++j) s += L"<Label text=\"x\" bkcolor=\"#FF102030\"/>";
    s += L"</HorizontalLayout>";
  }
  return s + L"</VerticalLayout></Window>";
}

std::wstring PanelSkin(bool layered) {
  std::wstring s = std::wstring(L"<Window size=\"800,600\"") + (layered ? L" bktrans=\"true\"" : L"") +
                   L"><VerticalLayout bkcolor=\"#FFF0F0F0\">";
  for (int row = 0; row < 20; ++row) {
    s += L"<HorizontalLayout height=\"30\">";
    for (int col = 0; col < 9; ++col) {
      s += L"<Button text=\"Item\" bkimage=\"file='bench.png' corner='2,2,2,2'\" textcolor=\"#FF202020\"/>";
    }
    s += L"</HorizontalLayout>";
  }
  return s + L"</VerticalLayout></Window>";
}

std::wstring ListSkin(int rows) {
  std::wstring s = L"<Window size=\"800,600\"><VerticalLayout name=\"list\" vscrollbar=\"true\" bkcolor=\"#FFFFFFFF\">";
  for (int i = 0; i < rows; ++i) {
    s += L"<Label height=\"20\" text=\"row " + std::to_wstring(i) + L"\" bkcolor=\"" +
         (i % 2 == 0 ? L"#FFF0F0F0" : L"#FFFFFFFF") + L"\" textcolor=\"#FF202020\"/>";
  }
  return s + L"</VerticalLayout></Window>";
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double RepaintMs(SkinWindow& w, int rounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    w.GetPaintManager().InvalidateAll();
    const double start = NowMs();
    ::UpdateWindow(w.Hwnd());
    times.push_back(NowMs() - start);
  }
  return Median(times);
}

double GdiYardstickMs(HWND hwnd, int rounds) {
  const HDC screen = ::GetDC(hwnd);
  const HDC mem = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 800, 600);
  const HGDIOBJ old = ::SelectObject(mem, bitmap);
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    for (int c = 0; c < 200; ++c) {
      RECT rc{(c % 10) * 80, (c / 10) * 30, (c % 10) * 80 + 80, (c / 10) * 30 + 30};
      ::FillRect(mem, &rc, static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
      ::SetBkMode(mem, TRANSPARENT);
      ::DrawTextW(mem, L"Item", -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
    ::BitBlt(screen, 0, 0, 800, 600, mem, 0, 0, SRCCOPY);
    times.push_back(NowMs() - start);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(mem);
  ::ReleaseDC(hwnd, screen);
  return Median(times);
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"ql_ui_bench\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  std::vector<std::uint32_t> pixels(16 * 16, 0xFF4080C0);
  std::string narrow(folder.begin(), folder.end());
  SkinUI::testing::WritePng(narrow + "bench.png", pixels, 16, 16);
  SkinUI::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  SkinUI::CPaintManagerUI::SetResourcePath(folder.c_str());

  std::vector<double> builds;
  const std::wstring big = BigSkin(2000);
  for (int i = 0; i < 5; ++i) {
    const double start = NowMs();
    SkinUI::CUiSkinBuilder builder;
    SkinUI::CControlUI* root = builder.Create(big.c_str());
    if (root == nullptr) return 1;
    root->SetPos(RECT{0, 0, 800, 600}, false);
    builds.push_back(NowMs() - start);
    delete root;
  }
  SkinWindow panel(PanelSkin(false));
  if (!panel.Open()) return 1;
  const double repaint = RepaintMs(panel, 30);
  const double yardstick = GdiYardstickMs(panel.Hwnd(), 30);
  SkinWindow layered(PanelSkin(true));
  if (!layered.Open()) return 1;
  const double layered_ms = RepaintMs(layered, 30);

  constexpr int kRows = 5000;
  SkinWindow list_window(ListSkin(kRows));
  if (!list_window.Open()) return 1;
  auto* list = static_cast<SkinUI::CContainerUI*>(list_window.Find(L"list"));
  if (list == nullptr || list->GetScrollRange().cy != kRows * 20 - 600) {
    std::printf("ui_toolkit: FAIL the 5,000-row list has the wrong scroll range\n");
    return 1;
  }
  std::vector<double> pages;
  std::vector<double> moves;
  for (int page = 1; page <= 30; ++page) {
    const double start = NowMs();
    list->PageDown();
    moves.push_back(NowMs() - start);
    ::UpdateWindow(list_window.Hwnd());
    pages.push_back(NowMs() - start);
    // Each page moves every row up by the list's height.
    const int expected = page * 600;
    const int row = expected / 20;
    if (list->GetScrollPos().cy != expected || list->GetItemAt(row)->GetPos().top != 0 ||
        list->GetItemAt(0)->GetPos().top != -expected) {
      std::printf("ui_toolkit: FAIL page %d of the 5,000-row list landed at %ld\n", page, list->GetScrollPos().cy);
      return 1;
    }
  }

  std::printf("ui_toolkit: %u cores\n", std::thread::hardware_concurrency());
  std::printf("ui_toolkit: parse + build + first layout of 2,000 controls: %.1f ms (aim < 50 ms)\n",
              Median(builds));
  std::printf("ui_toolkit: full repaint, 800 x 600, 200 controls with images and text: %.2f ms (aim < 16 ms)\n",
              repaint);
  std::printf("ui_toolkit: the same window layered, full update: %.2f ms\n", layered_ms);
  std::printf("ui_toolkit: one page down in a list of 5,000 rows, children moved + repaint: %.2f ms (aim < 16 ms)"
              " of which moving the rows %.2f ms\n",
              Median(pages), Median(moves));
  std::printf("ui_toolkit: yardstick, 200 plain GDI fills and texts + one BitBlt: %.2f ms\n", yardstick);
  return 0;
}
