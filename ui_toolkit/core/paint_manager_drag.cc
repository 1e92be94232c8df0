// The paint manager's OLE halves: dragging a control out of the window as a
// bitmap, and showing a dropped bitmap in a window registered as a target.
#include <windows.h>
#include <shellapi.h>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// Where the pixel bits of a packed DIB begin: after the header, the colour
// masks of a BI_BITFIELDS header of the old size, and the colour table.
size_t PackedDibBitsOffset(const BITMAPINFOHEADER& header) {
  size_t offset = header.biSize;
  if (header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS) offset += 3 * sizeof(DWORD);
  DWORD colors = header.biClrUsed;
  if (colors == 0 && header.biBitCount <= 8) colors = 1u << header.biBitCount;
  return offset + colors * sizeof(RGBQUAD);
}

HBITMAP BitmapFromPackedDib(HGLOBAL memory) {
  const SIZE_T size = ::GlobalSize(memory);
  auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(memory));
  if (header == nullptr) return nullptr;
  HBITMAP bitmap = nullptr;
  if (size >= sizeof(BITMAPINFOHEADER) && header->biSize >= sizeof(BITMAPINFOHEADER)) {
    const size_t offset = PackedDibBitsOffset(*header);
    if (offset < size) {
      HDC screen = ::GetDC(nullptr);
      bitmap = ::CreateDIBitmap(screen, header, CBM_INIT, reinterpret_cast<const BYTE*>(header) + offset,
                                reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
      ::ReleaseDC(nullptr, screen);
    }
  }
  ::GlobalUnlock(memory);
  return bitmap;
}

HBITMAP BitmapFromMetafile(HENHMETAFILE metafile) {
  ENHMETAHEADER header{};
  if (::GetEnhMetaFileHeader(metafile, sizeof(header), &header) == 0) return nullptr;
  if (header.szlMillimeters.cx <= 0 || header.szlMillimeters.cy <= 0) return nullptr;
  // The frame is kept in hundredths of a millimetre of the reference device.
  const int width = ::MulDiv(header.rclFrame.right - header.rclFrame.left, header.szlDevice.cx,
                             header.szlMillimeters.cx * 100);
  const int height = ::MulDiv(header.rclFrame.bottom - header.rclFrame.top, header.szlDevice.cy,
                              header.szlMillimeters.cy * 100);
  if (width <= 0 || height <= 0) return nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HDC dc = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  if (bitmap != nullptr && dc != nullptr) {
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const RECT rc{0, 0, width, height};
    ::PlayEnhMetaFile(dc, metafile, &rc);
    ::SelectObject(dc, old);
  }
  if (dc != nullptr) ::DeleteDC(dc);
  return bitmap;
}

HBITMAP BitmapFromFileList(HDROP drop) {
  wchar_t path[MAX_PATH + 1] = {};
  if (::DragQueryFileW(drop, 0, path, MAX_PATH + 1) == 0) return nullptr;
  return static_cast<HBITMAP>(::LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

}  // namespace

void CPaintManagerUI::ArmControlDrag(CControlUI* control) {
  drag_armed_ = true;
  if (drag_snapshot_ != nullptr) ::DeleteObject(drag_snapshot_);
  drag_snapshot_ = CUiDrawEngine::GenerateControlBitmap(this, control, control->GetPos(), 0);
}

void CPaintManagerUI::RunControlDrag() {
  ReleaseMouseCapture();
  drag_armed_ = false;
  BITMAP info{};
  if (drag_snapshot_ == nullptr || ::GetObjectW(drag_snapshot_, sizeof(info), &info) == 0) return;

  auto* source = new CIDropSource;
  source->AddRef();
  auto* data = new CIDataObject(source);
  data->AddRef();

  // The data object copies the bitmap: the snapshot stays this manager's.
  FORMATETC bitmap_format{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
  STGMEDIUM bitmap_medium{};
  bitmap_medium.tymed = TYMED_GDI;
  bitmap_medium.hBitmap = drag_snapshot_;
  data->SetData(&bitmap_format, &bitmap_medium, FALSE);

  HDC window_dc = ::GetDC(hwnd_);
  HDC recorder = ::CreateEnhMetaFileW(window_dc, nullptr, nullptr, nullptr);
  if (recorder != nullptr) {
    HDC snapshot_dc = ::CreateCompatibleDC(window_dc);
    HGDIOBJ old = ::SelectObject(snapshot_dc, drag_snapshot_);
    ::BitBlt(recorder, 0, 0, info.bmWidth, info.bmHeight, snapshot_dc, 0, 0, SRCCOPY);
    ::SelectObject(snapshot_dc, old);
    ::DeleteDC(snapshot_dc);
    HENHMETAFILE metafile = ::CloseEnhMetaFile(recorder);
    if (metafile != nullptr) {
      FORMATETC metafile_format{CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
      STGMEDIUM metafile_medium{};
      metafile_medium.tymed = TYMED_ENHMF;
      metafile_medium.hEnhMetaFile = metafile;
      if (data->SetData(&metafile_format, &metafile_medium, TRUE) != S_OK) ::DeleteEnhMetaFile(metafile);
    }
  }
  ::ReleaseDC(hwnd_, window_dc);

  {
    CDragSourceHelper helper;
    if (helper.IsAvailable()) {
      // The helper owns the image it is given, so it gets a copy of the snapshot.
      SHDRAGIMAGE image{};
      image.sizeDragImage = {info.bmWidth, info.bmHeight};
      image.ptOffset = {info.bmWidth / 2, info.bmHeight / 2};
      image.hbmpDragImage = static_cast<HBITMAP>(::CopyImage(drag_snapshot_, IMAGE_BITMAP, 0, 0, 0));
      image.crColorKey = ::GetSysColor(COLOR_WINDOW);
      if (image.hbmpDragImage != nullptr && FAILED(helper.InitializeFromBitmap(&image, data))) {
        ::DeleteObject(image.hbmpDragImage);
      }
    }
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  }
  data->Release();
  source->Release();
  drag_armed_ = false;
}

bool CPaintManagerUI::OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD*) {
  if (format == nullptr) return false;
  HBITMAP bitmap = nullptr;
  switch (format->cfFormat) {
    case CF_DIB:
      if (medium.tymed == TYMED_HGLOBAL) bitmap = BitmapFromPackedDib(medium.hGlobal);
      break;
    case CF_BITMAP:
      // The medium is released after the drop, so the window gets its own copy.
      if (medium.tymed == TYMED_GDI) bitmap = static_cast<HBITMAP>(::CopyImage(medium.hBitmap, IMAGE_BITMAP, 0, 0, 0));
      break;
    case CF_ENHMETAFILE:
      if (medium.tymed == TYMED_ENHMF) bitmap = BitmapFromMetafile(medium.hEnhMetaFile);
      break;
    case CF_HDROP:
      if (medium.tymed == TYMED_HGLOBAL) bitmap = BitmapFromFileList(static_cast<HDROP>(medium.hGlobal));
      break;
    default:
      break;
  }
  if (bitmap == nullptr) return false;
  HWND target = GetDropTargetWindow() != nullptr ? GetDropTargetWindow() : hwnd_;
  auto previous = reinterpret_cast<HGDIOBJ>(
      ::SendMessageW(target, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  if (previous != nullptr && previous != bitmap) ::DeleteObject(previous);
  return true;
}

}  // namespace SkinUI
