#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/ole_drag_drop.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpUntil;
using testing::SkinWindow;

class OleScope {
 public:
  OleScope() { ok_ = SUCCEEDED(::OleInitialize(nullptr)); }
  ~OleScope() {
    if (ok_) ::OleUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

FORMATETC Format(CLIPFORMAT cf, DWORD tymed, DWORD aspect = DVASPECT_CONTENT) {
  return FORMATETC{cf, nullptr, aspect, -1, tymed};
}

HGLOBAL GlobalText(const char* text) {
  const size_t n = std::strlen(text) + 1;
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, n);
  std::memcpy(::GlobalLock(memory), text, n);
  ::GlobalUnlock(memory);
  return memory;
}

std::string ReadGlobalText(HGLOBAL memory) {
  std::string text(static_cast<const char*>(::GlobalLock(memory)));
  ::GlobalUnlock(memory);
  return text;
}

HBITMAP SolidBitmap(int width, int height, COLORREF color) {
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HDC dc = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  HBRUSH brush = ::CreateSolidBrush(color);
  const RECT rc{0, 0, width, height};
  ::FillRect(dc, &rc, brush);
  ::DeleteObject(brush);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return bitmap;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (::GetObjectW(bitmap, sizeof(info), &info) == 0) return {-1, -1};
  return {info.bmWidth, info.bmHeight};
}

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  const COLORREF color = ::GetPixel(dc, x, y);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return color;
}

// A data object of the toolkit with one reference held by the test.
struct DataObjectRef {
  DataObjectRef() : source(new CIDropSource), data(new CIDataObject(source)) {
    source->AddRef();
    data->AddRef();
  }
  ~DataObjectRef() {
    data->Release();
    source->Release();
  }
  CIDropSource* source;
  CIDataObject* data;
};

// ------------------------------------------------------------- data object

TEST(OleDataObjectTest, QueryGetDataVerdicts) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC probe = Format(CF_BITMAP, TYMED_GDI);
  EXPECT_EQ(DV_E_TYMED, ref.data->QueryGetData(&probe)) << "nothing stored yet";

  FORMATETC stored = Format(CF_BITMAP, TYMED_GDI);
  STGMEDIUM medium{};
  medium.tymed = TYMED_GDI;
  medium.hBitmap = SolidBitmap(4, 4, RGB(1, 2, 3));
  ASSERT_EQ(S_OK, ref.data->SetData(&stored, &medium, TRUE));

  struct Case {
    const char* what;
    FORMATETC format;
    HRESULT expected;
  } cases[] = {
      {"same format and medium", Format(CF_BITMAP, TYMED_GDI), S_OK},
      {"medium among several", Format(CF_BITMAP, TYMED_GDI | TYMED_HGLOBAL), S_OK},
      {"other format, same medium", Format(CF_DIB, TYMED_GDI), DV_E_CLIPFORMAT},
      {"same format, other medium", Format(CF_BITMAP, TYMED_HGLOBAL), DV_E_TYMED},
      {"icon aspect", Format(CF_BITMAP, TYMED_GDI, DVASPECT_ICON), DV_E_DVASPECT},
  };
  for (auto& c : cases) EXPECT_EQ(c.expected, ref.data->QueryGetData(&c.format)) << c.what;
  EXPECT_EQ(E_INVALIDARG, ref.data->QueryGetData(nullptr));
}

TEST(OleDataObjectTest, GetDataHandsOutIndependentCopies) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC text = Format(CF_TEXT, TYMED_HGLOBAL);
  STGMEDIUM mine{};
  mine.tymed = TYMED_HGLOBAL;
  mine.hGlobal = GlobalText("hello");
  ASSERT_EQ(S_OK, ref.data->SetData(&text, &mine, FALSE));
  // Not released to the object: the caller's block stays the caller's.
  std::memcpy(::GlobalLock(mine.hGlobal), "HELLO", 5);
  ::GlobalUnlock(mine.hGlobal);
  ::ReleaseStgMedium(&mine);

  STGMEDIUM first{};
  STGMEDIUM second{};
  ASSERT_EQ(S_OK, ref.data->GetData(&text, &first));
  ASSERT_EQ(S_OK, ref.data->GetData(&text, &second));
  EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), first.tymed);
  EXPECT_NE(first.hGlobal, second.hGlobal);
  EXPECT_EQ("hello", ReadGlobalText(first.hGlobal));
  ::ReleaseStgMedium(&first);
  EXPECT_EQ("hello", ReadGlobalText(second.hGlobal));
  ::ReleaseStgMedium(&second);

  FORMATETC missing = Format(CF_UNICODETEXT, TYMED_HGLOBAL);
  STGMEDIUM none{};
  none.hGlobal = reinterpret_cast<HGLOBAL>(0x1234);
  EXPECT_EQ(DV_E_FORMATETC, ref.data->GetData(&missing, &none));
  EXPECT_EQ(nullptr, none.hGlobal);
  EXPECT_EQ(E_INVALIDARG, ref.data->GetData(nullptr, &none));
}

TEST(OleDataObjectTest, FileMediumCopiesItsPath) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC file = Format(CF_TEXT, TYMED_FILE);
  const wchar_t path[] = L"C:\\nowhere\\kept.txt";
  STGMEDIUM mine{};
  mine.tymed = TYMED_FILE;
  mine.lpszFileName = static_cast<LPOLESTR>(::CoTaskMemAlloc(sizeof(path)));
  std::memcpy(mine.lpszFileName, path, sizeof(path));
  ASSERT_EQ(S_OK, ref.data->SetData(&file, &mine, FALSE));
  ::CoTaskMemFree(mine.lpszFileName);

  STGMEDIUM got{};
  ASSERT_EQ(S_OK, ref.data->GetData(&file, &got));
  ASSERT_NE(nullptr, got.lpszFileName);
  EXPECT_STREQ(path, got.lpszFileName);
  ::CoTaskMemFree(got.lpszFileName);
}

TEST(OleDataObjectTest, StreamMediumIsShared) {
  OleScope ole;
  DataObjectRef ref;
  IStream* stream = nullptr;
  ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
  FORMATETC format = Format(CF_TEXT, TYMED_ISTREAM);
  STGMEDIUM medium{};
  medium.tymed = TYMED_ISTREAM;
  medium.pstm = stream;
  ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, FALSE));
  STGMEDIUM got{};
  ASSERT_EQ(S_OK, ref.data->GetData(&format, &got));
  EXPECT_EQ(stream, got.pstm);
  ::ReleaseStgMedium(&got);
  // The test's reference, the data object's, and the one taken here.
  EXPECT_EQ(3u, stream->AddRef());
  stream->Release();
  stream->Release();
}

TEST(OleDataObjectTest, FixedAnswers) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC format = Format(CF_TEXT, TYMED_HGLOBAL);
  FORMATETC out{};
  STGMEDIUM medium{};
  DWORD connection = 0;
  IEnumSTATDATA* advises = nullptr;
  EXPECT_EQ(DATA_S_SAMEFORMATETC, ref.data->GetCanonicalFormatEtc(&format, &out));
  EXPECT_EQ(E_INVALIDARG, ref.data->GetCanonicalFormatEtc(&format, nullptr));
  EXPECT_EQ(E_NOTIMPL, ref.data->GetDataHere(&format, &medium));
  EXPECT_EQ(E_NOTIMPL, ref.data->DUnadvise(1));
  EXPECT_EQ(OLE_E_ADVISENOTSUPPORTED, ref.data->DAdvise(&format, 0, nullptr, &connection));
  EXPECT_EQ(OLE_E_ADVISENOTSUPPORTED, ref.data->EnumDAdvise(&advises));
  EXPECT_EQ(E_INVALIDARG, ref.data->SetData(nullptr, &medium, FALSE));
  EXPECT_EQ(E_INVALIDARG, ref.data->SetData(&format, nullptr, FALSE));

  void* face = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, ref.data->QueryInterface(IID_IDropTarget, &face));
  EXPECT_EQ(nullptr, face);
  ASSERT_EQ(S_OK, ref.data->QueryInterface(IID_IDataObject, &face));
  EXPECT_EQ(static_cast<IDataObject*>(ref.data), face);
  ref.data->Release();
}

// ------------------------------------------------------------- enumerator

std::vector<CLIPFORMAT> Drain(IEnumFORMATETC* e) {
  std::vector<CLIPFORMAT> seen;
  FORMATETC f{};
  while (e->Next(1, &f, nullptr) == S_OK) {
    seen.push_back(f.cfFormat);
    ::CoTaskMemFree(f.ptd);
  }
  return seen;
}

TEST(OleFormatEnumTest, EnumeratesTheStoredFormatsInOrder) {
  OleScope ole;
  DataObjectRef ref;
  for (CLIPFORMAT cf : {CLIPFORMAT(CF_TEXT), CLIPFORMAT(CF_UNICODETEXT), CLIPFORMAT(CF_HDROP)}) {
    FORMATETC format = Format(cf, TYMED_HGLOBAL);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalText("x");
    ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, TRUE));
  }
  IEnumFORMATETC* e = nullptr;
  EXPECT_EQ(E_NOTIMPL, ref.data->EnumFormatEtc(DATADIR_SET, &e));
  EXPECT_EQ(nullptr, e);
  EXPECT_EQ(E_POINTER, ref.data->EnumFormatEtc(DATADIR_GET, nullptr));
  ASSERT_EQ(S_OK, ref.data->EnumFormatEtc(DATADIR_GET, &e));
  using V = std::vector<CLIPFORMAT>;
  EXPECT_EQ((V{CF_TEXT, CF_UNICODETEXT, CF_HDROP}), Drain(e));

  // Several at once: a short batch says S_FALSE and counts what it gave.
  e->Reset();
  FORMATETC batch[4] = {};
  ULONG fetched = 99;
  EXPECT_EQ(S_OK, e->Next(2, batch, &fetched));
  EXPECT_EQ(2u, fetched);
  EXPECT_EQ(S_FALSE, e->Next(4, batch, &fetched));
  EXPECT_EQ(1u, fetched);
  EXPECT_EQ(CF_HDROP, batch[0].cfFormat);
  EXPECT_EQ(S_FALSE, e->Next(1, batch, &fetched)) << "at the end";
  EXPECT_EQ(0u, fetched);

  e->Reset();
  EXPECT_EQ(S_FALSE, e->Next(2, batch, nullptr)) << "a batch needs a count pointer";
  EXPECT_EQ(S_FALSE, e->Next(0, batch, &fetched));
  EXPECT_EQ(S_FALSE, e->Skip(4));
  EXPECT_EQ(S_OK, e->Skip(1));
  IEnumFORMATETC* clone = nullptr;
  EXPECT_EQ(E_POINTER, e->Clone(nullptr));
  ASSERT_EQ(S_OK, e->Clone(&clone));
  EXPECT_EQ((V{CF_UNICODETEXT, CF_HDROP}), Drain(clone)) << "a clone starts where its original stands";
  EXPECT_EQ((V{CF_UNICODETEXT, CF_HDROP}), Drain(e));
  EXPECT_EQ(S_OK, e->Skip(0));
  clone->Release();
  e->Release();
}

TEST(OleFormatEnumTest, TargetDevicesAreOwnedByEachHolder) {
  OleScope ole;
  DataObjectRef ref;
  // The caller's device block goes away after SetData, and every enumerated
  // format brings a block its receiver frees.
  const size_t size = sizeof(DVTARGETDEVICE) + 16;
  auto* device = static_cast<DVTARGETDEVICE*>(::CoTaskMemAlloc(size));
  std::memset(device, 0x5A, size);
  device->tdSize = static_cast<DWORD>(size);
  FORMATETC format = Format(CF_TEXT, TYMED_HGLOBAL);
  format.ptd = device;
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalText("x");
  ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, TRUE));
  std::memset(device, 0, size);
  ::CoTaskMemFree(device);

  IEnumFORMATETC* e = nullptr;
  ASSERT_EQ(S_OK, ref.data->EnumFormatEtc(DATADIR_GET, &e));
  for (int round = 0; round < 2; ++round) {
    FORMATETC got{};
    ASSERT_EQ(S_OK, e->Next(1, &got, nullptr));
    ASSERT_NE(nullptr, got.ptd);
    EXPECT_EQ(size, got.ptd->tdSize);
    EXPECT_EQ(0x5A, reinterpret_cast<const unsigned char*>(got.ptd)[size - 1]);
    ::CoTaskMemFree(got.ptd);
    e->Reset();
  }
  e->Release();
}

// ------------------------------------------------------------- drop source

TEST(OleDropSourceTest, DecidesFromEscapeAndButtons) {
  struct Case {
    BOOL escape;
    DWORD keys;
    HRESULT expected;
    bool dropped;
  } cases[] = {
      {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL, false},
      {TRUE, 0, DRAGDROP_S_CANCEL, false},
      {FALSE, MK_LBUTTON, S_OK, false},
      {FALSE, MK_RBUTTON | MK_CONTROL, S_OK, false},
      {FALSE, MK_CONTROL, DRAGDROP_S_DROP, true},
      {FALSE, 0, DRAGDROP_S_DROP, true},
  };
  for (const Case& c : cases) {
    auto* source = new CIDropSource;
    source->AddRef();
    EXPECT_EQ(c.expected, source->QueryContinueDrag(c.escape, c.keys)) << c.escape << " " << c.keys;
    EXPECT_EQ(c.dropped, source->IsDropped());
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_COPY));
    source->Release();
  }
}

// ------------------------------------------------------------- drop target

class RecordingTarget : public CIDropTarget {
 public:
  bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) override {
    ++drops;
    last_format = format->cfFormat;
    last_effect = *effect;
    if (medium.tymed == TYMED_HGLOBAL) text = ReadGlobalText(medium.hGlobal);
    return take;
  }
  int drops = 0;
  CLIPFORMAT last_format = 0;
  DWORD last_effect = 0;
  std::string text;
  bool take = true;
};

TEST(OleDropTargetTest, EffectFollowsKeysAndWhatTheSourceOffers) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC text = Format(CF_TEXT, TYMED_HGLOBAL);
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalText("dropped");
  ASSERT_EQ(S_OK, ref.data->SetData(&text, &medium, TRUE));

  constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  struct Case {
    DWORD keys;
    DWORD offered;
    DWORD expected;
  } cases[] = {
      {0, kAll, DROPEFFECT_COPY},
      {0, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_MOVE},
      {0, DROPEFFECT_LINK, DROPEFFECT_LINK},
      {0, DROPEFFECT_NONE, DROPEFFECT_NONE},
      {MK_CONTROL, kAll, DROPEFFECT_COPY},
      {MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_NONE},
      {MK_SHIFT, kAll, DROPEFFECT_MOVE},
      {MK_SHIFT, DROPEFFECT_COPY, DROPEFFECT_NONE},
      {MK_CONTROL | MK_SHIFT, kAll, DROPEFFECT_LINK},
      {MK_CONTROL | MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_NONE},
  };
  RecordingTarget target;
  target.AddRef();
  target.AddSupportedFormat(Format(CF_UNICODETEXT, TYMED_HGLOBAL));
  target.AddSupportedFormat(text);
  for (const Case& c : cases) {
    DWORD effect = c.offered;
    ASSERT_EQ(S_OK, target.DragEnter(ref.data, c.keys, POINTL{0, 0}, &effect));
    EXPECT_EQ(c.expected, effect) << "enter keys " << c.keys << " offered " << c.offered;
    effect = c.offered;
    ASSERT_EQ(S_OK, target.DragOver(c.keys, POINTL{1, 1}, &effect));
    EXPECT_EQ(c.expected, effect) << "over keys " << c.keys << " offered " << c.offered;
    const int before = target.drops;
    effect = c.offered;
    ASSERT_EQ(S_OK, target.Drop(ref.data, c.keys, POINTL{1, 1}, &effect));
    EXPECT_EQ(c.expected, effect) << "drop keys " << c.keys << " offered " << c.offered;
    EXPECT_EQ(before + (c.expected != DROPEFFECT_NONE ? 1 : 0), target.drops);
  }
  EXPECT_EQ(CF_TEXT, target.last_format);
  EXPECT_EQ("dropped", target.text);

  // After a leave nothing is matched any more: a drop without a new enter does nothing.
  DWORD effect = kAll;
  target.DragEnter(ref.data, 0, POINTL{0, 0}, &effect);
  target.DragLeave();
  effect = kAll;
  const int before = target.drops;
  target.Drop(ref.data, 0, POINTL{0, 0}, &effect);
  EXPECT_EQ(DROPEFFECT_NONE, effect);
  EXPECT_EQ(before, target.drops);
  EXPECT_EQ(E_INVALIDARG, target.DragEnter(nullptr, 0, POINTL{0, 0}, &effect));
  EXPECT_EQ(E_INVALIDARG, target.Drop(nullptr, 0, POINTL{0, 0}, &effect));
  // The target is embedded: releasing its last reference must not delete it.
  EXPECT_EQ(0u, target.Release());
}

TEST(OleDropTargetTest, RefusesEverythingUntilFormatsAreGiven) {
  OleScope ole;
  DataObjectRef ref;
  FORMATETC text = Format(CF_TEXT, TYMED_HGLOBAL);
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalText("x");
  ASSERT_EQ(S_OK, ref.data->SetData(&text, &medium, TRUE));
  RecordingTarget target;
  DWORD effect = DROPEFFECT_COPY;
  target.DragEnter(ref.data, 0, POINTL{0, 0}, &effect);
  EXPECT_EQ(DROPEFFECT_NONE, effect);
  effect = DROPEFFECT_COPY;
  target.Drop(ref.data, 0, POINTL{0, 0}, &effect);
  EXPECT_EQ(DROPEFFECT_NONE, effect);
  EXPECT_EQ(0, target.drops);

  // A handler that declines the drop: the source hears that nothing was done.
  target.AddSupportedFormat(text);
  target.take = false;
  effect = DROPEFFECT_MOVE;
  target.DragEnter(ref.data, 0, POINTL{0, 0}, &effect);
  EXPECT_EQ(DROPEFFECT_MOVE, effect);
  target.Drop(ref.data, 0, POINTL{0, 0}, &effect);
  EXPECT_EQ(1, target.drops);
  EXPECT_EQ(DROPEFFECT_NONE, effect);

  void* face = nullptr;
  ASSERT_EQ(S_OK, target.QueryInterface(IID_IDropTarget, &face));
  EXPECT_EQ(static_cast<IDropTarget*>(&target), face);
  target.Release();
  EXPECT_EQ(E_NOINTERFACE, target.QueryInterface(IID_IDataObject, &face));
  EXPECT_EQ(nullptr, face);
}

// ---------------------------------------------- windows registered with OLE

// Keeps the bitmaps a window is handed through STM_SETIMAGE.
class ImageCatcher : public IMessageFilterUI {
 public:
  ~ImageCatcher() {
    for (HBITMAP b : images) ::DeleteObject(b);
  }
  LRESULT MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
    if (message != STM_SETIMAGE || wparam != IMAGE_BITMAP) return 0;
    handled = true;
    images.push_back(reinterpret_cast<HBITMAP>(lparam));
    return 0;
  }
  std::vector<HBITMAP> images;
};

constexpr wchar_t kSourceSkin[] =
    L"<Window size=\"200,120\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
    L"<Control name=\"piece\" float=\"true\" pos=\"20,20,80,50\" bkcolor=\"#FF2060C0\" drag=\"true\"/>"
    L"</VerticalLayout></Window>";
constexpr wchar_t kTargetSkin[] =
    L"<Window size=\"200,120\"><VerticalLayout bkcolor=\"#FFEEEEEE\"/></Window>";

struct TwoWindows {
  explicit TwoWindows(CLIPFORMAT accepted, DWORD tymed)
      : source(kSourceSkin), target(kTargetSkin) {
    ok = ole.ok() && source.Open() && target.Open();
    if (!ok) return;
    ::SetWindowPos(target.Hwnd(), nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CPaintManagerUI& pm = target.GetPaintManager();
    pm.SetDropTargetWindow(target.Hwnd());
    pm.AddSupportedFormat(Format(accepted, tymed));
    pm.AddMessageFilter(&catcher);
    ok = ::RegisterDragDrop(target.Hwnd(), &pm) == S_OK;
    source.GetPaintManager().SetDragMode(true);
  }
  ~TwoWindows() {
    if (::IsWindow(target.Hwnd())) ::RevokeDragDrop(target.Hwnd());
    target.GetPaintManager().RemoveMessageFilter(&catcher);
  }
  POINT TargetCentre() const {
    RECT rc{};
    ::GetWindowRect(target.Hwnd(), &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }

  OleScope ole;
  SkinWindow source;
  SkinWindow target;
  ImageCatcher catcher;
  bool ok = false;
};

TEST(OleDragWindowsTest, ControlDraggedIntoAnotherWindowArrivesAsItsBitmap) {
  TwoWindows w(CF_BITMAP, TYMED_GDI);
  ASSERT_TRUE(w.ok);
  const POINT centre = w.TargetCentre();
  ::SetCursorPos(centre.x, centre.y);
  // The button is pressed on the control; the move with the button held
  // starts the drag, and over the target the released button drops.
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  ::SendMessageW(w.source.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(34, 33));
  ASSERT_EQ(1u, w.catcher.images.size());
  HBITMAP got = w.catcher.images[0];
  EXPECT_EQ(60, BitmapSize(got).cx);
  EXPECT_EQ(30, BitmapSize(got).cy);
  EXPECT_EQ(RGB(0x20, 0x60, 0xC0), BitmapPixel(got, 30, 15) & 0xFFFFFF);
  EXPECT_FALSE(w.source.GetPaintManager().HasMouseCapture());
}

TEST(OleDragWindowsTest, NoDragWithoutDragModeOrOnAControlNotDragEnabled) {
  TwoWindows w(CF_BITMAP, TYMED_GDI);
  ASSERT_TRUE(w.ok);
  const POINT centre = w.TargetCentre();
  ::SetCursorPos(centre.x, centre.y);
  // Outside the drag-enabled control.
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 90));
  ::SendMessageW(w.source.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(155, 95));
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(155, 95));
  // Drag mode off.
  w.source.GetPaintManager().SetDragMode(false);
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  ::SendMessageW(w.source.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(34, 33));
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(34, 33));
  // Armed, but the move keeps the point: no drag either.
  w.source.GetPaintManager().SetDragMode(true);
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  ::SendMessageW(w.source.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 30));
  ::SendMessageW(w.source.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
  EXPECT_TRUE(w.catcher.images.empty());
}

// Drives the whole drag with real mouse input: the press and the first move
// on this thread, the move over the target and the release from a second
// thread once the drag loop holds the mouse.
TEST(OleDragWindowsTest, RealMouseInputDragsAControlAcross) {
  TwoWindows w(CF_BITMAP, TYMED_GDI);
  ASSERT_TRUE(w.ok);
  const int screen_w = ::GetSystemMetrics(SM_CXSCREEN);
  const int screen_h = ::GetSystemMetrics(SM_CYSCREEN);
  auto move_to = [&](POINT p, DWORD extra) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = ::MulDiv(p.x, 65535, screen_w - 1);
    in.mi.dy = ::MulDiv(p.y, 65535, screen_h - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | extra;
    ::SendInput(1, &in, sizeof(in));
  };
  POINT on_piece{30, 30};
  ::ClientToScreen(w.source.Hwnd(), &on_piece);
  const POINT centre = w.TargetCentre();
  const DWORD ui_thread = ::GetCurrentThreadId();
  std::atomic<bool> released{false};
  std::thread helper([&] {
    // Wait (bounded) for the drag loop to take the mouse capture away from the window.
    for (int i = 0; i < 2000; ++i) {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      if (::GetGUIThreadInfo(ui_thread, &info) && info.hwndCapture != nullptr &&
          info.hwndCapture != w.source.Hwnd()) {
        break;
      }
      ::Sleep(5);
    }
    move_to(centre, 0);
    move_to(centre, MOUSEEVENTF_LEFTUP);
    released = true;
  });
  move_to(on_piece, 0);
  move_to(on_piece, MOUSEEVENTF_LEFTDOWN);
  move_to(POINT{on_piece.x + 6, on_piece.y + 4}, 0);
  const bool done = PumpUntil([&] { return !w.catcher.images.empty(); }, 10000);
  if (!released) move_to(centre, MOUSEEVENTF_LEFTUP);
  helper.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(60, BitmapSize(w.catcher.images[0]).cx);
  EXPECT_EQ(RGB(0x20, 0x60, 0xC0), BitmapPixel(w.catcher.images[0], 5, 5) & 0xFFFFFF);
}

std::wstring WriteBitmapFile(int width, int height) {
  wchar_t dir[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + L"ql_ole_drop_" + std::to_wstring(::GetCurrentProcessId()) + L".bmp";
  const int stride = width * 3 + ((4 - (width * 3) % 4) % 4);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<unsigned char> pixels(info.biSizeImage, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &pixels[static_cast<size_t>(y) * stride + x * 3];
      p[0] = 0x30;  // blue
      p[1] = 0xA0;  // green
      p[2] = 0x10;  // red
    }
  }
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return path;
  std::fwrite(&file, sizeof(file), 1, out);
  std::fwrite(&info, sizeof(info), 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  return path;
}

HGLOBAL FileList(const std::wstring& path) {
  const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return memory;
}

TEST(OleDragWindowsTest, DroppedFileListShowsTheFirstFileAsBitmap) {
  TwoWindows w(CF_HDROP, TYMED_HGLOBAL);
  ASSERT_TRUE(w.ok);
  const std::wstring path = WriteBitmapFile(23, 17);
  DataObjectRef ref;
  FORMATETC format = Format(CF_HDROP, TYMED_HGLOBAL);
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = FileList(path);
  ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, TRUE));

  const POINT centre = w.TargetCentre();
  ::SetCursorPos(centre.x, centre.y);
  DWORD effect = DROPEFFECT_NONE;
  EXPECT_EQ(DRAGDROP_S_DROP, ::DoDragDrop(ref.data, ref.source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect));
  EXPECT_TRUE(ref.source->IsDropped());
  // The source hears what the target did with its data.
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  ASSERT_EQ(1u, w.catcher.images.size());
  EXPECT_EQ(23, BitmapSize(w.catcher.images[0]).cx);
  EXPECT_EQ(17, BitmapSize(w.catcher.images[0]).cy);
  EXPECT_EQ(RGB(0x10, 0xA0, 0x30), BitmapPixel(w.catcher.images[0], 3, 3) & 0xFFFFFF);
  ::DeleteFileW(path.c_str());
}

TEST(OleDragWindowsTest, DropOfAnUnacceptedFormatIsRefused) {
  TwoWindows w(CF_HDROP, TYMED_HGLOBAL);
  ASSERT_TRUE(w.ok);
  DataObjectRef ref;
  FORMATETC format = Format(CF_TEXT, TYMED_HGLOBAL);
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalText("not a file list");
  ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, TRUE));
  const POINT centre = w.TargetCentre();
  ::SetCursorPos(centre.x, centre.y);
  DWORD effect = DROPEFFECT_COPY;
  ::DoDragDrop(ref.data, ref.source, DROPEFFECT_COPY, &effect);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_TRUE(w.catcher.images.empty());
}

TEST(OleDragWindowsTest, DroppedDibAndMetafileBecomeBitmaps) {
  struct Case {
    CLIPFORMAT cf;
    DWORD tymed;
  } cases[] = {{CF_DIB, TYMED_HGLOBAL}, {CF_ENHMETAFILE, TYMED_ENHMF}};
  for (const Case& c : cases) {
    TwoWindows w(c.cf, c.tymed);
    ASSERT_TRUE(w.ok);
    HBITMAP original = SolidBitmap(12, 9, RGB(0xC0, 0x10, 0x20));
    DataObjectRef ref;
    FORMATETC format = Format(c.cf, c.tymed);
    STGMEDIUM medium{};
    medium.tymed = c.tymed;
    if (c.cf == CF_DIB) {
      // A packed 24-bit DIB, bottom-up rows padded to four bytes.
      const int stride = (12 * 3 + 3) & ~3;
      medium.hGlobal = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + stride * 9);
      auto* header = static_cast<BITMAPINFOHEADER*>(::GlobalLock(medium.hGlobal));
      header->biSize = sizeof(BITMAPINFOHEADER);
      header->biWidth = 12;
      header->biHeight = 9;
      header->biPlanes = 1;
      header->biBitCount = 24;
      auto* bits = reinterpret_cast<unsigned char*>(header + 1);
      for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 12; ++x) {
          unsigned char* p = bits + y * stride + x * 3;
          p[0] = 0x20;
          p[1] = 0x10;
          p[2] = 0xC0;
        }
      }
      ::GlobalUnlock(medium.hGlobal);
    } else {
      HDC screen = ::GetDC(nullptr);
      const int w100 = ::GetDeviceCaps(screen, HORZSIZE) * 100;
      const int h100 = ::GetDeviceCaps(screen, VERTSIZE) * 100;
      const RECT frame{0, 0, ::MulDiv(12, w100, ::GetDeviceCaps(screen, HORZRES)),
                       ::MulDiv(9, h100, ::GetDeviceCaps(screen, VERTRES))};
      HDC rec = ::CreateEnhMetaFileW(screen, nullptr, &frame, nullptr);
      ::ReleaseDC(nullptr, screen);
      HBRUSH brush = ::CreateSolidBrush(RGB(0xC0, 0x10, 0x20));
      const RECT rc{0, 0, 12, 9};
      ::FillRect(rec, &rc, brush);
      ::DeleteObject(brush);
      medium.hEnhMetaFile = ::CloseEnhMetaFile(rec);
    }
    ::DeleteObject(original);
    ASSERT_NE(nullptr, medium.hGlobal);
    ASSERT_EQ(S_OK, ref.data->SetData(&format, &medium, TRUE));
    const POINT centre = w.TargetCentre();
    ::SetCursorPos(centre.x, centre.y);
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(ref.data, ref.source, DROPEFFECT_COPY, &effect);
    ASSERT_EQ(1u, w.catcher.images.size()) << c.cf;
    const SIZE size = BitmapSize(w.catcher.images[0]);
    EXPECT_NEAR(12, size.cx, 1) << c.cf;
    EXPECT_NEAR(9, size.cy, 1) << c.cf;
    EXPECT_EQ(RGB(0xC0, 0x10, 0x20), BitmapPixel(w.catcher.images[0], 5, 4) & 0xFFFFFF) << c.cf;
  }
}

}  // namespace
}  // namespace SkinUI
