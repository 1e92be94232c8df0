// Drives a box that a show call runs modally on this thread: a creation hook
// gives the box's paint manager its scale before the skin is built, and a
// thread timer runs the script's steps from inside the modal loop, one step
// per tick, each step repeated until it answers true.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui_toolkit/core/window_impl_base.h"

namespace box_testing {

class BoxView {
 public:
  BoxView(HWND hwnd, SkinUI::WindowImplBase* window) : hwnd_(hwnd), window_(window) {}
  HWND Hwnd() const { return hwnd_; }
  SkinUI::CControlUI* Find(const wchar_t* name) const;
  // Mouse move, press and release at the middle of the control, posted as the
  // system posts them.
  void Click(const wchar_t* name) const;
  void ClickAt(int x, int y) const;
  std::vector<std::uint32_t> Pixels(int* width, int* height) const;

 private:
  HWND hwnd_;
  SkinUI::WindowImplBase* window_;
};

using Step = std::function<bool(BoxView&)>;

class BoxDriver {
 public:
  BoxDriver(const wchar_t* window_class, int scale, std::vector<Step> steps);
  ~BoxDriver();
  BoxDriver(const BoxDriver&) = delete;
  BoxDriver& operator=(const BoxDriver&) = delete;

  size_t StepsDone() const { return next_; }
  bool AllDone() const { return next_ == steps_.size(); }

 private:
  static LRESULT CALLBACK OnCbt(int code, WPARAM wparam, LPARAM lparam);
  static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);

  std::wstring window_class_;
  int scale_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
};

}  // namespace box_testing
