#include "ui_toolkit/core/shadow.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr wchar_t kShadowClass[] = L"VelmoShadowWnd";

std::map<HWND, CShadowUI*>& HostMap() {
  static std::map<HWND, CShadowUI*> map;
  return map;
}

std::uint32_t Premultiplied(DWORD color, int alpha) {
  const std::uint32_t a = static_cast<std::uint32_t>(std::clamp(alpha, 0, 255));
  const std::uint32_t r = ((color >> 16) & 0xFF) * a / 255;
  const std::uint32_t g = ((color >> 8) & 0xFF) * a / 255;
  const std::uint32_t b = (color & 0xFF) * a / 255;
  return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace

void CShadowUI::RegisterShadowWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kShadowClass;
    ::RegisterClassExW(&wc);
  });
}

bool CShadowUI::SetSize(int n) {
  if (n < -35 || n > 35) return false;
  size_ = static_cast<std::int8_t>(n);
  Redraw();
  return true;
}

bool CShadowUI::SetSharpness(int n) {
  if (n < 0 || n > 35) return false;
  sharpness_ = static_cast<std::uint8_t>(n);
  Redraw();
  return true;
}

bool CShadowUI::SetDarkness(int n) {
  if (n < 0 || n > 255) return false;
  darkness_ = static_cast<std::uint8_t>(n);
  Redraw();
  return true;
}

bool CShadowUI::SetPosition(int x, int y) {
  if (x < -35 || x > 35 || y < -35 || y > 35) return false;
  offset_x_ = static_cast<std::int8_t>(x);
  offset_y_ = static_cast<std::int8_t>(y);
  Redraw();
  return true;
}

bool CShadowUI::SetColor(DWORD color) {
  color_ = color;
  Redraw();
  return true;
}

bool CShadowUI::SetImage(const wchar_t* description) {
  if (description == nullptr) return false;
  image_ = description;
  use_image_ = true;
  Redraw();
  return true;
}

bool CShadowUI::SetShadowCorner(RECT rc) {
  if (rc.left < 0 || rc.top < 0 || rc.right < 0 || rc.bottom < 0) return false;
  corner_ = rc;
  Redraw();
  return true;
}

bool CShadowUI::CopySettingsTo(CShadowUI* other) const {
  if (use_image_) {
    other->SetImage(image_.GetData());
    other->SetShadowCorner(corner_);
    other->SetSize(size_);
  } else {
    other->SetSize(size_);
    other->SetSharpness(sharpness_);
    other->SetDarkness(darkness_);
    other->SetColor(color_);
    other->SetPosition(offset_x_, offset_y_);
  }
  other->SetEnabled(shown_);
  return true;
}

void CShadowUI::Redraw() {
  if (hwnd_ != nullptr && (status_ & kVisible) != 0) Update(::GetWindow(hwnd_, GW_OWNER));
}

void CShadowUI::CreateForManager(CPaintManagerUI* manager) {
  if (!shown_ || manager == nullptr || hwnd_ != nullptr) return;
  manager_ = manager;
  const HWND host = manager->GetPaintWindow();
  if (host == nullptr) return;
  HostMap()[host] = this;
  const LONG_PTR host_style = ::GetWindowLongPtrW(host, GWL_STYLE);
  hwnd_ = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClass, nullptr,
                            WS_POPUP | WS_BORDER | WS_SYSMENU | (host_style & WS_DLGFRAME), CW_USEDEFAULT, 0, 0, 0,
                            host, nullptr, CPaintManagerUI::GetInstance(), nullptr);
  if (!(host_style & WS_VISIBLE)) {
    status_ = kEnabled;
  } else if (host_style & (WS_MAXIMIZE | WS_MINIMIZE)) {
    status_ = kEnabled | kParentVisible;
  } else {
    status_ = kEnabled | kVisible | kParentVisible;
    ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    Update(host);
  }
  host_proc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CShadowUI::HostProc)));
}

void CShadowUI::Show(bool show) {
  ::ShowWindow(hwnd_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CShadowUI::MoveBehindHost(HWND host) {
  RECT rc{};
  ::GetWindowRect(host, &rc);
  int x = rc.left - size_;
  int y = rc.top - size_;
  if (!use_image_) {
    x += offset_x_;
    y += offset_y_;
  }
  ::SetWindowPos(hwnd_, host, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK CShadowUI::HostProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto it = HostMap().find(hwnd);
  if (it == HostMap().end()) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  CShadowUI* self = it->second;
  const WNDPROC next = self->host_proc_;
  switch (message) {
    case WM_DESTROY:
      if (self->hwnd_ != nullptr) ::DestroyWindow(self->hwnd_);
      self->hwnd_ = nullptr;
      self->status_ = 0;
      break;
    case WM_MOVE:
      if (self->status_ & kVisible) self->MoveBehindHost(hwnd);
      break;
    case WM_SIZE:
      if (self->status_ & kEnabled) {
        if (wparam == SIZE_MINIMIZED || wparam == SIZE_MAXIMIZED) {
          self->Show(false);
          self->status_ &= ~kVisible;
        } else if (self->status_ & kParentVisible) {
          const bool grew = LOWORD(lparam) > LOWORD(self->last_size_) || HIWORD(lparam) > HIWORD(self->last_size_);
          if (grew) {
            self->update_pending_ = true;  // drawn after the host's next paint
          } else {
            self->Update(hwnd);
          }
          if (!(self->status_ & kVisible)) {
            self->Show(true);
            self->status_ |= kVisible;
          }
        }
        self->last_size_ = lparam;
      }
      break;
    case WM_PAINT:
      if (self->update_pending_) {
        const LRESULT result = ::CallWindowProcW(next, hwnd, message, wparam, lparam);
        self->update_pending_ = false;
        self->Update(hwnd);
        return result;
      }
      break;
    case WM_SHOWWINDOW:
      if (self->status_ & kEnabled) {
        if (wparam && !(self->status_ & kParentVisible)) {
          self->update_pending_ = true;
          self->Show(true);
          self->status_ |= kVisible | kParentVisible;
        } else if (!wparam) {
          self->Show(false);
          self->status_ &= ~(kVisible | kParentVisible);
        }
      }
      break;
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
      if ((self->status_ & kEnabled) && self->hwnd_ != nullptr) {
        ::SetWindowPos(self->hwnd_, hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(lparam);
      if (self->hwnd_ != nullptr) self->MoveBehindHost(hwnd);
      if ((wp->flags & SWP_SHOWWINDOW) && (self->status_ & kEnabled) && !(self->status_ & kParentVisible)) {
        self->update_pending_ = true;
        self->Show(true);
        self->status_ |= kVisible | kParentVisible;
      } else if ((wp->flags & SWP_HIDEWINDOW) && (self->status_ & kEnabled)) {
        self->Show(false);
        self->status_ &= ~(kVisible | kParentVisible);
      }
      break;
    }
    case WM_EXITSIZEMOVE:
      if (self->status_ & kVisible) self->Update(hwnd);
      break;
    case WM_NCDESTROY:
      HostMap().erase(hwnd);
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
      return ::CallWindowProcW(next, hwnd, message, wparam, lparam);
    default:
      break;
  }
  return ::CallWindowProcW(next, hwnd, message, wparam, lparam);
}

std::vector<std::uint32_t> CShadowUI::ComputeShadow(int width, int height,
                                                    const std::vector<std::pair<int, int>>& spans, int size,
                                                    int sharpness, int darkness, int offset_x, int offset_y,
                                                    DWORD color) {
  // A negative size shrinks the shadow; nothing is drawn beyond the bitmap,
  // whatever the offsets.
  const int sw = width + 2 * size;
  const int sh = height + 2 * size;
  if (sw <= 0 || sh <= 0 || width <= 0 || height <= 0) return {};
  std::vector<std::uint32_t> pixels(static_cast<size_t>(sw) * sh, 0);
  auto put = [&](int x, int y, std::uint32_t value, bool keep_larger) {
    if (x < 0 || y < 0 || x >= sw || y >= sh) return;
    std::uint32_t& p = pixels[static_cast<size_t>(y) * sw + x];
    p = keep_larger ? std::max(p, value) : value;
  };

  // Spans of the core, in shadow coordinates (start > end means empty).
  std::vector<std::pair<int, int>> core(sh, {1, 0});
  for (int y = 0; y < height && y < static_cast<int>(spans.size()); ++y) {
    const int row = y + size;
    if (row < 0 || row >= sh) continue;
    if (spans[y].first <= spans[y].second) core[row] = {spans[y].first + size, spans[y].second + size};
  }
  if (sharpness > size) {
    for (int pass = 0; pass < sharpness - size; ++pass) {
      std::vector<std::pair<int, int>> next(sh, {1, 0});
      for (int y = 1; y + 1 < sh; ++y) {
        const auto& a = core[y - 1];
        const auto& b = core[y];
        const auto& c = core[y + 1];
        if (a.first > a.second || b.first > b.second || c.first > c.second) continue;
        next[y] = {std::max({a.first, b.first, c.first}) + 1, std::min({a.second, b.second, c.second}) - 1};
      }
      core.swap(next);
    }
  }

  const int radius = std::max(sharpness, size);
  const int solid = std::max(size - sharpness, 0);
  const int k = 2 * radius + 1;
  std::vector<std::uint32_t> kernel(static_cast<size_t>(k) * k, 0);
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      std::uint32_t value = 0;
      if (d < solid) {
        value = Premultiplied(color, darkness);
      } else if (d <= radius) {
        const double f = 1.0 - (d - solid) / (sharpness + 1);
        value = Premultiplied(color, static_cast<int>(f * darkness));
      }
      kernel[static_cast<size_t>(dy + radius) * k + dx + radius] = value;
    }
  }

  auto stamp = [&](int cx, int cy) {
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        const std::uint32_t v = kernel[static_cast<size_t>(dy + radius) * k + dx + radius];
        if (v != 0) put(cx + dx, cy + dy, v, true);
      }
    }
  };

  for (int y = std::max(radius, 1); y < sh - radius && y + 1 < sh; ++y) {
    const auto& s = core[y];
    if (s.first > s.second) continue;
    const auto& up = core[y - 1];
    const auto& down = core[y + 1];
    const int later_start = std::max(up.first <= up.second ? up.first : s.second,
                                     down.first <= down.second ? down.first : s.second);
    const int earlier_end = std::min(up.first <= up.second ? up.second : s.first,
                                     down.first <= down.second ? down.second : s.first);
    for (int x = s.first; x <= std::min(later_start, s.second); ++x) stamp(x, y);
    for (int x = std::max(earlier_end - 1, s.first); x <= s.second; ++x) stamp(x, y);
  }

  const std::uint32_t full = Premultiplied(color, darkness);
  for (int y = 0; y < sh; ++y) {
    const auto& s = core[y];
    for (int x = s.first; x <= s.second; ++x) put(x, y, full, false);
  }
  // Nothing of the shadow lies under the host.
  for (int y = 0; y < height && y < static_cast<int>(spans.size()); ++y) {
    if (spans[y].first > spans[y].second) continue;
    const int row = y + size - offset_y;
    for (int x = spans[y].first; x <= spans[y].second; ++x) put(x + size - offset_x, row, 0, false);
  }
  return pixels;
}

std::vector<std::pair<int, int>> CShadowUI::RegionSpans(HRGN region, int width, int height) {
  std::vector<std::pair<int, int>> spans(std::max(height, 0), {1, 0});
  // The region's rectangles, not a test of every pixel: a window of a few
  // hundred pixels a side took a tenth of a second of its first frame.
  const DWORD bytes = region != nullptr ? ::GetRegionData(region, 0, nullptr) : 0;
  if (bytes < sizeof(RGNDATAHEADER)) return spans;
  std::vector<std::uint8_t> storage(bytes);
  auto* data = reinterpret_cast<RGNDATA*>(storage.data());
  if (::GetRegionData(region, bytes, data) == 0) return spans;
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    const RECT& r = rects[i];
    const int left = std::max<int>(r.left, 0);
    const int right = std::min<int>(r.right, width) - 1;
    if (left > right) continue;
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, height); ++y) {
      auto& span = spans[y];
      if (span.first > span.second) {
        span = {left, right};
      } else {
        span = {std::min(span.first, left), std::max(span.second, right)};
      }
    }
  }
  return spans;
}

void CShadowUI::Update(HWND host) {
  if (!shown_ || !(status_ & kVisible) || hwnd_ == nullptr || host == nullptr) return;
  if (!use_image_ && size_ == 0) return;
  if (use_image_ && image_.IsEmpty()) return;
  RECT rc{};
  ::GetWindowRect(host, &rc);
  const int w = rc.right - rc.left;
  const int h = rc.bottom - rc.top;
  const int sw = w + 2 * size_;
  const int sh = h + 2 * size_;
  if (sw <= 0 || sh <= 0) return;

  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = sw;
  bmi.bmiHeader.biHeight = sh;  // bottom-up
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = ::GetDC(nullptr);
  const HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  if (mem == nullptr || bitmap == nullptr) {
    if (mem != nullptr) ::DeleteDC(mem);
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    return;
  }
  const HGDIOBJ old = ::SelectObject(mem, bitmap);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::fill(pixels, pixels + static_cast<size_t>(sw) * sh, 0u);
  if (use_image_) {
    if (manager_ != nullptr) {
      ImageDrawSpecUI* spec = manager_->GetImageDrawSpec(image_.GetData());
      ImageRecordUI* image = spec != nullptr ? manager_->GetOrAddImage(spec->sImageName.GetData()) : nullptr;
      if (image != nullptr) {
        const RECT all{0, 0, sw, sh};
        const RECT source{0, 0, image->nX, image->nY};
        CUiDrawEngine::DrawImage(mem, image->hBitmap, all, all, source, corner_, true, 255, true, false, false);
      }
    }
  } else {
    base::ScopedGdiObject region(::CreateRectRgn(0, 0, w, h));
    if (::GetWindowRgn(host, static_cast<HRGN>(region.Get())) == ERROR) region.Reset(::CreateRectRgn(0, 0, w, h));
    const std::vector<std::pair<int, int>> spans = RegionSpans(static_cast<HRGN>(region.Get()), w, h);
    const std::vector<std::uint32_t> shadow =
        ComputeShadow(w, h, spans, size_, sharpness_, darkness_, offset_x_, offset_y_, color_);
    // The bitmap is bottom-up; ComputeShadow's rows are top-down.
    for (int y = 0; y < sh && !shadow.empty(); ++y) {
      std::copy_n(shadow.data() + static_cast<size_t>(y) * sw, sw, pixels + static_cast<size_t>(sh - 1 - y) * sw);
    }
  }
  int x = rc.left - size_;
  int y = rc.top - size_;
  if (!use_image_) {
    x += offset_x_;
    y += offset_y_;
  }
  ::SetWindowPos(hwnd_, host, x, y, sw, sh, SWP_NOACTIVATE | SWP_NOREDRAW);
  POINT dst{x, y};
  SIZE size{sw, sh};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::UpdateLayeredWindow(hwnd_, nullptr, &dst, &size, mem, &src, 0, &blend, ULW_ALPHA);
  ::SelectObject(mem, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(mem);
}

}  // namespace SkinUI
