// The drop shadow of a frameless window: a layered window right behind its
// host that follows it by subclassing the host window. The shadow is either
// computed from the host's window region or drawn from a nine-grid image.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui_toolkit/core/ui_string.h"

namespace SkinUI {

class CPaintManagerUI;

class CShadowUI {
 public:
  CShadowUI() = default;
  CShadowUI(const CShadowUI&) = delete;
  CShadowUI& operator=(const CShadowUI&) = delete;
  virtual ~CShadowUI() = default;

  static void RegisterShadowWindowClass();

  void SetEnabled(bool on) { shown_ = on; }
  bool IsEnabled() const { return shown_; }
  bool SetSize(int n);
  bool SetSharpness(int n);
  bool SetDarkness(int n);
  bool SetPosition(int x, int y);
  bool SetColor(DWORD color);
  bool SetImage(const wchar_t* description);
  bool SetShadowCorner(RECT rc);
  bool CopySettingsTo(CShadowUI* other) const;
  void CreateForManager(CPaintManagerUI* manager);
  void Update(HWND host);

  HWND GetShadowWindow() const { return hwnd_; }
  int GetSize() const { return size_; }

  // The computed shadow of a host of |width| x |height| whose rows are covered
  // by |spans| (first and last pixel inside, or first > last for an empty row),
  // as premultiplied 0xAARRGGBB pixels, top-down, of (width + 2 size) x
  // (height + 2 size). Pure: used by Update and by tests.
  // The first and last pixel of |region| on each of |height| rows of a
  // |width|-wide window (first > last where a row is empty), as
  // ComputeShadow takes them.
  static std::vector<std::pair<int, int>> RegionSpans(HRGN region, int width, int height);

  static std::vector<std::uint32_t> ComputeShadow(int width, int height,
                                                  const std::vector<std::pair<int, int>>& spans, int size,
                                                  int sharpness, int darkness, int offset_x, int offset_y,
                                                  DWORD color);

 private:
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Redraw();
  void Show(bool show);
  void MoveBehindHost(HWND host);

  enum : std::uint8_t { kEnabled = 1, kVisible = 2, kParentVisible = 4 };

  CPaintManagerUI* manager_ = nullptr;
  HWND hwnd_ = nullptr;
  WNDPROC host_proc_ = nullptr;
  std::uint8_t status_ = 0;
  bool use_image_ = false;
  bool shown_ = false;
  std::uint8_t darkness_ = 150;
  std::uint8_t sharpness_ = 5;
  std::int8_t size_ = 0;
  std::int8_t offset_x_ = 0;
  std::int8_t offset_y_ = 0;
  LPARAM last_size_ = 0;
  bool update_pending_ = false;
  DWORD color_ = 0;
  CUiString image_;
  RECT corner_{};
};

}  // namespace SkinUI
