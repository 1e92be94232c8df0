// The paint pass: lay the tree out when asked, send the window's first
// notifications, paint into the off-screen bitmap and put it on the screen
// (BitBlt, or UpdateLayeredWindow with per-pixel alpha).
#include <algorithm>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

UpdateLayeredWindowFn UpdateLayeredWindowEntry() {
  static const auto fn = reinterpret_cast<UpdateLayeredWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"User32.dll"), "UpdateLayeredWindow")));
  return fn;
}

CControlUI* CALLBACK CollectUpdateProc(CControlUI* control, void* data) {
  if (control->IsUpdateNeeded()) static_cast<CUiPtrArray*>(data)->Add(control);
  return nullptr;
}

// Makes a DIB section of the given size; pixels come back top-down.
HBITMAP MakeDib(HDC dc, int cx, int cy, DWORD** bits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = cx;
  bmi.bmiHeader.biHeight = -cy;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  bmi.bmiHeader.biSizeImage = static_cast<DWORD>(cx) * static_cast<DWORD>(cy) * 4;
  void* p = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<DWORD*>(p);
  return bitmap;
}

}  // namespace

void CPaintManagerUI::DeleteOffscreen() {
  if (offscreen_dc_ != nullptr) ::DeleteDC(offscreen_dc_);
  if (offscreen_bitmap_ != nullptr) ::DeleteObject(offscreen_bitmap_);
  offscreen_dc_ = nullptr;
  offscreen_bitmap_ = nullptr;
  offscreen_bits_ = nullptr;
  offscreen_size_ = {};
}

void CPaintManagerUI::DeleteLayeredBackground() {
  if (layered_bk_dc_ != nullptr) ::DeleteDC(layered_bk_dc_);
  if (layered_bk_bitmap_ != nullptr) ::DeleteObject(layered_bk_bitmap_);
  layered_bk_dc_ = nullptr;
  layered_bk_bitmap_ = nullptr;
  layered_bk_bits_ = nullptr;
}

void CPaintManagerUI::InvalidateRect(RECT rc) {
  if (rc.left < 0) rc.left = 0;
  if (rc.top < 0) rc.top = 0;
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  if (::IsRectEmpty(&pending_update_)) {
    pending_update_ = rc;
  } else {
    ::UnionRect(&pending_update_, &pending_update_, &rc);
  }
  if (hwnd_ == nullptr) return;
  if (invalidate_batch_depth_ > 0) {
    ::UnionRect(&batched_invalid_, &batched_invalid_, &rc);
    return;
  }
  ::InvalidateRect(hwnd_, &rc, FALSE);
}

CPaintManagerUI::InvalidateBatch::InvalidateBatch(CPaintManagerUI* manager) : manager_(manager) {
  if (manager_ != nullptr) ++manager_->invalidate_batch_depth_;
}

CPaintManagerUI::InvalidateBatch::~InvalidateBatch() {
  if (manager_ == nullptr || --manager_->invalidate_batch_depth_ > 0) return;
  const RECT rc = manager_->batched_invalid_;
  manager_->batched_invalid_ = {};
  if (!::IsRectEmpty(&rc) && manager_->hwnd_ != nullptr) ::InvalidateRect(manager_->hwnd_, &rc, FALSE);
}

void CPaintManagerUI::InvalidateAll() {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  ::UnionRect(&pending_update_, &pending_update_, &client);
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::SetLayered(bool on) {
  if (hwnd_ == nullptr || on == layered_) return;
  if ((::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0) return;
  if (UpdateLayeredWindowEntry() == nullptr) return;
  layered_ = on;
  if (root_ != nullptr) root_->MarkNeedsLayout();
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::SetLayeredImage(const wchar_t* description) {
  layered_image_ = description;
  layered_changed_ = true;
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::SetLayeredOpacity(BYTE opacity) {
  opacity_ = opacity;
  layered_changed_ = true;
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::SetOpacity(BYTE opacity) {
  opacity_ = opacity;
  if (hwnd_ == nullptr) return;
  const auto set_attributes = reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"User32.dll"), "SetLayeredWindowAttributes")));
  if (set_attributes == nullptr) return;
  const LONG_PTR ex_style = ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  if ((ex_style & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
  set_attributes(hwnd_, 0, opacity, LWA_ALPHA);
}

bool CPaintManagerUI::HandlePaint() {
  if (root_ == nullptr) {
    PAINTSTRUCT ps{};
    const HDC dc = ::BeginPaint(hwnd_, &ps);
    CUiDrawEngine::FillColor(dc, ps.rcPaint, 0xFF000000);
    ::EndPaint(hwnd_, &ps);
    return true;
  }
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  RECT paint{};
  if (!::GetUpdateRect(hwnd_, &paint, FALSE)) return true;

  bool laid_out = false;
  if (update_needed_) {
    update_needed_ = false;
    if (!::IsRectEmpty(&client) && !::IsIconic(hwnd_)) {
      if (root_->IsUpdateNeeded()) {
        DeleteOffscreen();
        DeleteLayeredBackground();
        root_->SetPos(client, true);
      } else {
        found_controls_.Empty();
        root_->FindControl(&CollectUpdateProc, &found_controls_,
                           UIFIND_VISIBLE | UIFIND_UPDATETEST | UIFIND_ME_FIRST);
        for (int i = 0; i < found_controls_.GetSize(); ++i) {
          auto* c = static_cast<CControlUI*>(found_controls_.GetAt(i));
          c->SetPos(c->IsFloat() ? c->GetRelativePos() : c->GetPos(), true);
        }
      }
      laid_out = true;
      if (first_layout_) {
        first_layout_ = false;
        SendNotify(root_, L"windowinit");
        if (layered_ && layered_changed_) {
          InvalidateAll();
          return true;
        }
        shadow_.Update(hwnd_);
      }
    }
  } else if (layered_ && layered_changed_) {
    if (offscreen_bits_ != nullptr) {
      std::fill(offscreen_bits_, offscreen_bits_ + offscreen_size_.cx * offscreen_size_.cy, 0u);
    }
    root_->SetPos(client, true);
  }

  // The deferred Tab move runs once the tree is laid out: asked before the
  // layout it would only defer itself again, and the invalidation it makes
  // then would be swallowed by this pass's BeginPaint.
  if (focus_needed_) SetNextTabControl(true);

  if (layered_) {
    const LONG_PTR ex_style = ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    if ((ex_style & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    offscreen_paint_ = true;
    ::UnionRect(&paint, &paint, &pending_update_);
    paint.right = std::min(paint.right, client.right);
    paint.bottom = std::min(paint.bottom, client.bottom);
    pending_update_ = {};
  }

  const int cx = client.right - client.left;
  const int cy = client.bottom - client.top;
  if (offscreen_paint_ && offscreen_bitmap_ == nullptr && cx > 0 && cy > 0) {
    offscreen_dc_ = ::CreateCompatibleDC(paint_dc_);
    offscreen_bitmap_ = MakeDib(paint_dc_, cx, cy, &offscreen_bits_);
    if (offscreen_bitmap_ != nullptr) offscreen_size_ = {cx, cy};
  }

  PAINTSTRUCT ps{};
  ::BeginPaint(hwnd_, &ps);
  if (offscreen_paint_ && offscreen_bitmap_ != nullptr) {
    const HGDIOBJ old_bitmap = ::SelectObject(offscreen_dc_, offscreen_bitmap_);
    const int saved = ::SaveDC(offscreen_dc_);
    // Clipped to the client area, so every pixel walk below stays inside the bitmap.
    ::IntersectRect(&paint, &paint, &client);
    if (layered_) {
      for (LONG y = paint.top; y < paint.bottom; ++y) {
        std::fill(offscreen_bits_ + y * cx + paint.left, offscreen_bits_ + y * cx + paint.right, 0u);
      }
    }
    root_->Paint(offscreen_dc_, paint, nullptr);
    for (int i = 0; i < post_paint_controls_.GetSize(); ++i) {
      static_cast<CControlUI*>(post_paint_controls_.GetAt(i))->PaintAfterChildren(offscreen_dc_, paint);
    }
    ::RestoreDC(offscreen_dc_, saved);
    ::GdiFlush();
    if (layered_) {
      if (layered_image_.IsEmpty()) {
        for (LONG y = paint.top; y < paint.bottom; ++y) {
          DWORD* row = offscreen_bits_ + y * cx;
          for (LONG x = paint.left; x < paint.right; ++x) {
            // GDI leaves alpha at 0; anything it drew that is not pure black is opaque.
            if ((row[x] & 0xFF000000) == 0 && (row[x] & 0x00FFFFFF) != 0) row[x] |= 0xFF000000;
          }
        }
      } else {
        if (layered_bk_bitmap_ == nullptr || layered_changed_) {
          if (layered_bk_bitmap_ == nullptr) {
            layered_bk_dc_ = ::CreateCompatibleDC(paint_dc_);
            layered_bk_bitmap_ = MakeDib(paint_dc_, cx, cy, &layered_bk_bits_);
            ::SelectObject(layered_bk_dc_, layered_bk_bitmap_);
          }
          if (layered_bk_bits_ != nullptr) {
            std::fill(layered_bk_bits_, layered_bk_bits_ + cx * cy, 0u);
            CUiClipScope clip;
            CUiClipScope::Begin(layered_bk_dc_, client, clip);
            CUiDrawEngine::DrawImageSpec(layered_bk_dc_, this, client, client,
                                         GetImageDrawSpec(layered_image_.GetData()), nullptr);
            ::GdiFlush();
          }
        }
        if (layered_bk_bits_ != nullptr) {
          for (LONG y = paint.top; y < paint.bottom; ++y) {
            DWORD* row = offscreen_bits_ + y * cx;
            const DWORD* mask = layered_bk_bits_ + y * cx;
            for (LONG x = paint.left; x < paint.right; ++x) {
              const DWORD a = mask[x] >> 24;
              const DWORD c = row[x];
              const DWORD b = (c & 0xFF) * a / 255;
              const DWORD g = ((c >> 8) & 0xFF) * a / 255;
              const DWORD r = ((c >> 16) & 0xFF) * a / 255;
              row[x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
          }
        }
      }
      RECT window{};
      ::GetWindowRect(hwnd_, &window);
      POINT dst{window.left, window.top};
      SIZE size{cx, cy};
      POINT src{0, 0};
      BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
      UpdateLayeredWindowEntry()(hwnd_, paint_dc_, &dst, &size, offscreen_dc_, &src, 0, &blend, ULW_ALPHA);
    } else {
      ::BitBlt(ps.hdc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, offscreen_dc_,
               paint.left, paint.top, SRCCOPY);
    }
    ::SelectObject(offscreen_dc_, old_bitmap);
    if (show_dirty_ && !layered_) {
      const HGDIOBJ old_pen = ::SelectObject(ps.hdc, GetDirtyPen());
      const HGDIOBJ old_brush = ::SelectObject(ps.hdc, ::GetStockObject(HOLLOW_BRUSH));
      ::Rectangle(ps.hdc, paint.left, paint.top, paint.right, paint.bottom);
      ::SelectObject(ps.hdc, old_pen);
      ::SelectObject(ps.hdc, old_brush);
    }
  } else {
    const int saved = ::SaveDC(ps.hdc);
    root_->Paint(ps.hdc, paint, nullptr);
    for (int i = 0; i < post_paint_controls_.GetSize(); ++i) {
      static_cast<CControlUI*>(post_paint_controls_.GetAt(i))->PaintAfterChildren(ps.hdc, paint);
    }
    ::RestoreDC(ps.hdc, saved);
  }
  ::EndPaint(hwnd_, &ps);
  layered_changed_ = false;
  if (update_needed_) ::InvalidateRect(hwnd_, nullptr, FALSE);
  if (laid_out) SendNotify(root_, L"windowsize", 0, 0, true);
  return true;
}

void CPaintManagerUI::HandlePrintClient(HDC dc, LPARAM lparam) {
  if (root_ == nullptr) return;
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const int saved = ::SaveDC(dc);
  root_->Paint(dc, client, nullptr);
  ::RestoreDC(dc, saved);
  if ((lparam & PRF_CHILDREN) == 0) return;
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT rc{};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rc), 2);
    POINT old{};
    ::SetWindowOrgEx(dc, -rc.left, -rc.top, &old);
    ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), lparam | PRF_NONCLIENT);
    ::SetWindowOrgEx(dc, old.x, old.y, nullptr);
  }
}

}  // namespace SkinUI
