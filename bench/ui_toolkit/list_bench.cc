// Figures of the list control under Wine with 100,000 rows: adding the rows
// and the first layout and paint, a repaint of one page, scrolling by one
// page (scroll and paint), and select-all. The
// yardstick, measured in the same run, is one page of the same rows drawn
// with plain GDI calls (a fill and a DrawTextW per row), no toolkit involved.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_elements.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

using SkinUI::testing::SkinWindow;

namespace {

constexpr int kRows = 100000;
constexpr int kRowHeight = 20;

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double GdiPageMs(HWND hwnd, int rows_per_page, int rounds) {
  const HDC screen = ::GetDC(hwnd);
  const HDC mem = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 400, 600);
  const HGDIOBJ old = ::SelectObject(mem, bitmap);
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    for (int r = 0; r < rows_per_page; ++r) {
      RECT rc{0, r * kRowHeight, 400, (r + 1) * kRowHeight};
      ::FillRect(mem, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::SetBkMode(mem, TRANSPARENT);
      const std::wstring text = L"row " + std::to_wstring(r);
      ::DrawTextW(mem, text.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER);
    }
    ::BitBlt(screen, 0, 0, 400, 600, mem, 0, 0, SRCCOPY);
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
  SkinUI::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  SkinWindow w(L"<Window size=\"400,600\"><VerticalLayout><List name=\"list\" header=\"hidden\" multiselect=\"true\" vscrollbar=\"true\""
               L" itembkcolor=\"#FFFFFFFF\" itemaltbk=\"true\"/></VerticalLayout></Window>");
  if (!w.Open()) return 1;
  auto* list = static_cast<SkinUI::CListUI*>(w.Find(L"list"));
  if (list == nullptr) return 1;

  double start = NowMs();
  for (int i = 0; i < kRows; ++i) {
    auto* row = new SkinUI::CListLabelElementUI();
    row->SetFixedHeight(kRowHeight);
    row->SetText((L"row " + std::to_wstring(i)).c_str());
    if (!list->Add(row)) return 1;
  }
  const double add_ms = NowMs() - start;
  start = NowMs();
  w.Paint();
  const double first_layout_ms = NowMs() - start;

  std::vector<double> repaints;
  for (int i = 0; i < 30; ++i) {
    w.GetPaintManager().InvalidateAll();
    const double t = NowMs();
    ::UpdateWindow(w.Hwnd());
    repaints.push_back(NowMs() - t);
  }

  std::vector<double> pages;
  for (int i = 0; i < 20; ++i) {
    const double t = NowMs();
    list->PageDown();
    ::UpdateWindow(w.Hwnd());
    pages.push_back(NowMs() - t);
  }
  if (list->GetScrollPos().cy == 0) return 1;

  start = NowMs();
  list->SelectAll();
  const double select_all_ms = NowMs() - start;
  if (list->GetSelectionCount() != kRows) return 1;

  const double yardstick = GdiPageMs(w.Hwnd(), 600 / kRowHeight, 30);

  std::printf("ui_list: add 100,000 rows: %.1f ms; first layout and paint: %.1f ms\n", add_ms, first_layout_ms);
  std::printf("ui_list: repaint of one page (30 visible rows of 100,000): %.2f ms (aim < 16 ms)\n", Median(repaints));
  std::printf("ui_list: select all 100,000 rows: %.1f ms\n", select_all_ms);
  std::printf("ui_list: scroll by one page and paint: %.2f ms (aim < 16 ms)\n", Median(pages));
  std::printf("ui_list: yardstick, one page of 30 plain GDI fills and texts + one BitBlt: %.2f ms\n", yardstick);
  return 0;
}
