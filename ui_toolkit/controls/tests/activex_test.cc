#include <gtest/gtest.h>

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <memory>
#include <string>

#include "ui_toolkit/controls/activex.h"
#include "ui_toolkit/controls/flash.h"
#include "ui_toolkit/controls/tests/test_ole_control.h"
#include "ui_toolkit/controls/web_browser.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::SkinWindow;

std::wstring ModuleDir() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring ControlDll() { return ModuleDir() + L"test_ole_control.dll"; }

std::wstring GuidText(REFGUID guid) {
  wchar_t text[64] = {};
  ::StringFromGUID2(guid, text, 64);
  return text;
}

void SetKeyValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &h, nullptr));
  ::RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(h);
}

// The rig's registration of the windowed and the invisible test classes
// (the windowless one is reached through its module instead).
void RegisterTestClasses() {
  for (const auto& [clsid, prog_id] : {std::pair{kTestOleWindowedClsid, L"QlTest.WindowedControl"},
                                       std::pair{kTestOleInvisibleClsid, L"QlTest.InvisibleControl"}}) {
    const std::wstring key = L"Software\\Classes\\CLSID\\" + GuidText(clsid);
    SetKeyValue(key + L"\\InprocServer32", nullptr, ControlDll());
    SetKeyValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetKeyValue(std::wstring(L"Software\\Classes\\") + prog_id + L"\\CLSID", nullptr, GuidText(clsid));
  }
}

LONG LiveObjects() {
  HMODULE module = ::GetModuleHandleW(ControlDll().c_str());
  if (module == nullptr) return 0;
  auto live = reinterpret_cast<LONG(WINAPI*)()>(::GetProcAddress(module, "QlTestOleLiveObjects"));
  return live != nullptr ? live() : -1;
}

// Counts the events the test control fires.
class EventSink : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kTestOleControlEvents) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++ref; }
  STDMETHODIMP_(ULONG) Release() override { return --ref; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id == 1) ++clicks;
    return S_OK;
  }
  ULONG ref = 0;
  int clicks = 0;
};

// Advises |sink| on the hosted object's event point; the cookie comes back.
DWORD Advise(CActiveXUI* control, EventSink* sink) {
  IConnectionPointContainer* container = nullptr;
  if (FAILED(control->GetControl(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) return 0;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  if (SUCCEEDED(container->FindConnectionPoint(kTestOleControlEvents, &point))) {
    point->Advise(static_cast<IDispatch*>(sink), &cookie);
    point->Release();
  }
  container->Release();
  return cookie;
}

LONG GetProperty(CActiveXUI* control, const wchar_t* name) {
  IDispatch* dispatch = nullptr;
  if (FAILED(control->GetControl(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) return -1;
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  VARIANT value;
  ::VariantInit(&value);
  DISPPARAMS none{};
  LONG out = -1;
  if (SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)) &&
      SUCCEEDED(dispatch->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                 nullptr))) {
    out = value.lVal;
  }
  dispatch->Release();
  return out;
}

HRESULT SetColor(CActiveXUI* control, COLORREF color) {
  IDispatch* dispatch = nullptr;
  HRESULT hr = control->GetControl(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (FAILED(hr)) return hr;
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = static_cast<LONG>(color);
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &put, 1, 1};
  hr = dispatch->Invoke(1, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  dispatch->Release();
  return hr;
}

class ActiveXTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    RegisterTestClasses();
  }
  void TearDown() override { ::OleUninitialize(); }
};

std::wstring Skin(const std::wstring& element) {
  return L"<Window size=\"300,200\"><VerticalLayout bkcolor=\"#FFFFFFFF\">" + element +
         L"</VerticalLayout></Window>";
}

TEST_F(ActiveXTest, WindowlessObjectLivesInTheToolkitWindow) {
  const std::wstring element = L"<ActiveX name=\"ax\" float=\"true\" pos=\"20,20,120,80\" clsid=\"" +
                               GuidText(kTestOleWindowlessClsid) + L"\" modulename=\"" + ControlDll() + L"\"/>";
  auto window = std::make_unique<SkinWindow>(Skin(element));
  SkinWindow& w = *window;
  ASSERT_TRUE(w.Open());
  auto* ax = static_cast<CActiveXUI*>(w.Find(L"ax"));
  ASSERT_NE(nullptr, ax);
  ASSERT_TRUE(ax->IsCreated());
  EXPECT_EQ(ax, ax->QueryInterfaceByName(L"ActiveX"));
  EXPECT_EQ(nullptr, ax->QueryInterfaceByName(L"activex")) << "the interface name is case-sensitive";
  EXPECT_STREQ(L"ActiveXUI", ax->GetClassName());
  EXPECT_EQ(1, static_cast<int>(w.SeenTypes(L"ax").size()));
  EXPECT_EQ(L"showactivex", w.SeenTypes(L"ax").at(0));
  EXPECT_TRUE(ax->IsWindowless());
  EXPECT_EQ(w.Hwnd(), ax->GetHostWindow());
  EXPECT_EQ(nullptr, ::FindWindowExW(w.Hwnd(), nullptr, L"ActiveXWnd", nullptr)) << "no child window";
  EXPECT_EQ(1, LiveObjects());

  // The object paints itself into the toolkit's bitmap, and a property put repaints it.
  // The object draws with GDI, which leaves the alpha byte alone: colours only.
  EXPECT_EQ(0x208040u, w.PixelAt(70, 50) & 0xFFFFFFu);
  EXPECT_EQ(0xFFFFFFu, w.PixelAt(200, 150) & 0xFFFFFFu);
  EXPECT_EQ(S_OK, SetColor(ax, RGB(0xC0, 0x30, 0x30)));
  EXPECT_EQ(static_cast<LONG>(RGB(0xC0, 0x30, 0x30)), GetProperty(ax, L"Color"));
  EXPECT_EQ(0xC03030u, w.PixelAt(70, 50) & 0xFFFFFFu);

  // Mouse: only a point on the object reaches it, and fires its event.
  EventSink sink;
  const DWORD cookie = Advise(ax, &sink);
  EXPECT_NE(0u, cookie);
  ::SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
  ::SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
  EXPECT_EQ(0, sink.clicks);
  ::SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
  ::SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(50, 40));
  EXPECT_EQ(1, sink.clicks);
  EXPECT_EQ(1, GetProperty(ax, L"Clicks"));

  // Keys reach it only while the control has the toolkit focus.
  w.GetPaintManager().SetFocus(nullptr);
  ::SendMessageW(w.Hwnd(), WM_KEYDOWN, 'Q', 1);
  EXPECT_EQ(0, GetProperty(ax, L"LastKey"));
  w.GetPaintManager().SetFocus(ax);
  ::SendMessageW(w.Hwnd(), WM_KEYDOWN, 'K', 1);
  EXPECT_EQ(static_cast<LONG>('K'), GetProperty(ax, L"LastKey"));

  // The control goes with its window, and the object with it.
  window.reset();
  EXPECT_EQ(0, LiveObjects());
  EXPECT_EQ(0u, sink.ref) << "the closed object let go of the event sink";
}

TEST_F(ActiveXTest, WindowedObjectGetsAHostWindowOfItsOwn) {
  auto window = std::make_unique<SkinWindow>(
      Skin(L"<ActiveX name=\"ax\" float=\"true\" pos=\"30,40,130,90\" clsid=\"QlTest.WindowedControl\"/>"));
  SkinWindow& w = *window;
  ASSERT_TRUE(w.Open());
  auto* ax = static_cast<CActiveXUI*>(w.Find(L"ax"));
  ASSERT_NE(nullptr, ax);
  EXPECT_TRUE(IsEqualCLSID(kTestOleWindowedClsid, ax->GetCLSID())) << "the ProgID went through the registry";
  ASSERT_TRUE(ax->IsCreated());
  EXPECT_FALSE(ax->IsWindowless());
  HWND host = ax->GetHostWindow();
  ASSERT_NE(nullptr, host);
  EXPECT_EQ(host, ::FindWindowExW(w.Hwnd(), nullptr, L"ActiveXWnd", nullptr));
  wchar_t text[32] = {};
  ::GetWindowTextW(host, text, 32);
  EXPECT_STREQ(L"UIActiveX", text);
  RECT rc{};
  ::GetWindowRect(host, &rc);
  ::MapWindowPoints(nullptr, w.Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ((RECT{30, 40, 130, 90}).left, rc.left);
  EXPECT_EQ(40, rc.top);
  EXPECT_EQ(130, rc.right);
  EXPECT_EQ(90, rc.bottom);
  HWND child = ::FindWindowExW(host, nullptr, L"QlTestOleChild", nullptr);
  ASSERT_NE(nullptr, child) << "the object made its window inside the host window";
  RECT child_rc{};
  ::GetClientRect(child, &child_rc);
  EXPECT_EQ(100, child_rc.right);
  EXPECT_EQ(50, child_rc.bottom);

  EventSink sink;
  Advise(ax, &sink);
  ::SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(1, sink.clicks);

  // Visibility and moves follow the control.
  ax->SetVisible(false);
  EXPECT_FALSE(::IsWindowVisible(host));
  ax->SetVisible(true);
  EXPECT_TRUE(::IsWindowVisible(host));
  ax->SetPos(RECT{10, 10, 60, 40});
  ::GetWindowRect(host, &rc);
  ::MapWindowPoints(nullptr, w.Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(10, rc.left);
  EXPECT_EQ(40, rc.bottom);

  EXPECT_EQ(1, LiveObjects());
  window.reset();
  EXPECT_EQ(0, LiveObjects());
  EXPECT_FALSE(::IsWindow(host));
}

TEST_F(ActiveXTest, ClassIdTextsAndDelayedCreation) {
  CActiveXUI ax;
  EXPECT_FALSE(ax.SetCLSIDFromText(L"QlTest.NotRegistered"));
  EXPECT_TRUE(IsEqualCLSID(GUID_NULL, ax.GetCLSID()));
  EXPECT_FALSE(ax.SetCLSIDFromText(L"{not a guid}"));
  EXPECT_FALSE(ax.SetCLSID(GUID_NULL));
  void* out = nullptr;
  EXPECT_EQ(E_POINTER, ax.GetControl(IID_IUnknown, nullptr));
  EXPECT_EQ(E_PENDING, ax.GetControl(IID_IUnknown, &out));

  // Delay create on: setting the class id creates nothing yet.
  ax.SetModuleName(ControlDll().c_str());
  EXPECT_TRUE(ax.SetCLSIDFromText(GuidText(kTestOleWindowlessClsid).c_str()));
  EXPECT_FALSE(ax.IsCreated());
  EXPECT_EQ(E_PENDING, ax.GetControl(IID_IUnknown, &out));
  // Any value but "true" switches it off and creates the object at once.
  ax.SetAttribute(L"delaycreate", L"TRUE");
  EXPECT_TRUE(ax.IsCreated());
  ASSERT_EQ(S_OK, ax.GetControl(IID_IOleObject, &out));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(nullptr, ax.GetHostWindow()) << "without a window nothing is activated";

  // A module that does not know the class falls back to the registry.
  CActiveXUI fallback;
  fallback.SetModuleName(ControlDll().c_str());
  fallback.SetDelayCreate(false);
  EXPECT_TRUE(fallback.SetCLSID(kTestOleWindowedClsid));
  EXPECT_TRUE(fallback.IsCreated());
  EXPECT_EQ(2, LiveObjects());

  // Unknown class: creation fails but counts as done.
  CActiveXUI missing;
  missing.SetDelayCreate(false);
  EXPECT_TRUE(missing.SetCLSIDFromText(L"{5B0C8E21-7A4D-4F0B-9C61-2E7D3A9F10FF}"));
  EXPECT_TRUE(missing.IsCreated());
  EXPECT_FALSE(missing.DoCreateControl());
  EXPECT_EQ(E_PENDING, missing.GetControl(IID_IUnknown, &out));
}

TEST_F(ActiveXTest, InvisibleAtRunTimeIsCreatedButNotActivated) {
  SkinWindow w(Skin(L"<ActiveX name=\"ax\" float=\"true\" pos=\"0,0,50,50\" clsid=\"QlTest.InvisibleControl\"/>"));
  ASSERT_TRUE(w.Open());
  auto* ax = static_cast<CActiveXUI*>(w.Find(L"ax"));
  ASSERT_TRUE(ax->IsCreated());
  void* out = nullptr;
  ASSERT_EQ(S_OK, ax->GetControl(IID_IOleObject, &out));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(nullptr, ax->GetHostWindow());
  EXPECT_EQ(nullptr, ::FindWindowExW(w.Hwnd(), nullptr, L"ActiveXWnd", nullptr));
  EXPECT_EQ(0xFFFFFFu, w.PixelAt(25, 25) & 0xFFFFFFu) << "nothing painted";
}

TEST_F(ActiveXTest, SiteAnswersAndDetachesAtRelease) {
  SkinWindow w(Skin(L"<ActiveX name=\"ax\" float=\"true\" pos=\"20,20,120,80\" clsid=\"" +
                    GuidText(kTestOleWindowlessClsid) + L"\" modulename=\"" + ControlDll() + L"\"/>"));
  ASSERT_TRUE(w.Open());
  auto* ax = static_cast<CActiveXUI*>(w.Find(L"ax"));
  IOleObject* object = nullptr;
  ASSERT_EQ(S_OK, ax->GetControl(IID_IOleObject, reinterpret_cast<void**>(&object)));
  IOleClientSite* client = nullptr;
  ASSERT_EQ(S_OK, object->GetClientSite(&client));
  ASSERT_NE(nullptr, client);

  IOleInPlaceSiteWindowless* site = nullptr;
  ASSERT_EQ(S_OK, client->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&site)));
  IUnknown* unknown1 = nullptr;
  IUnknown* unknown2 = nullptr;
  client->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown1));
  site->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown2));
  EXPECT_EQ(unknown1, unknown2) << "one identity for every face";
  unknown1->Release();
  unknown2->Release();
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, client->QueryInterface(IID_IDataObject, &none));
  EXPECT_EQ(nullptr, none);

  EXPECT_EQ(S_FALSE, site->GetCapture());
  EXPECT_EQ(S_OK, site->SetCapture(TRUE));
  EXPECT_EQ(S_OK, site->GetCapture());
  EXPECT_EQ(w.Hwnd(), ::GetCapture());
  EXPECT_EQ(S_OK, site->SetCapture(FALSE));
  HDC dc = reinterpret_cast<HDC>(1);
  EXPECT_EQ(S_FALSE, site->GetDC(nullptr, 0, &dc)) << "a windowless object paints through the toolkit";
  EXPECT_EQ(nullptr, dc);
  HWND hwnd = nullptr;
  EXPECT_EQ(S_OK, site->GetWindow(&hwnd));
  EXPECT_EQ(w.Hwnd(), hwnd);
  EXPECT_EQ(S_OK, site->SetFocus(TRUE));
  EXPECT_EQ(S_OK, site->GetFocus());
  EXPECT_EQ(ax, w.GetPaintManager().GetFocusControl());
  EXPECT_EQ(S_OK, site->CanWindowlessActivate());
  EXPECT_EQ(E_NOTIMPL, site->Scroll(SIZE{1, 1}));
  EXPECT_EQ(E_NOTIMPL, client->SaveObject());

  // The container hands out its one object once.
  IOleContainer* container = nullptr;
  ASSERT_EQ(S_OK, client->GetContainer(&container));
  IEnumUnknown* objects = nullptr;
  ASSERT_EQ(S_OK, container->EnumObjects(OLECONTF_EMBEDDINGS, &objects));
  IUnknown* got = nullptr;
  ULONG fetched = 0;
  EXPECT_EQ(S_OK, objects->Next(5, &got, &fetched));
  EXPECT_EQ(1u, fetched);
  got->Release();
  EXPECT_EQ(S_FALSE, objects->Next(1, &got, &fetched));
  EXPECT_EQ(0u, fetched);
  IEnumUnknown* clone = nullptr;
  EXPECT_EQ(E_NOTIMPL, objects->Clone(&clone));
  objects->Reset();
  EXPECT_EQ(S_OK, objects->Next(1, &got, &fetched));
  got->Release();
  objects->Release();

  // The frame of the in-place context answers for the toolkit window.
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* doc = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  RECT pos{};
  RECT clip{};
  OLEINPLACEFRAMEINFO info{};
  ASSERT_EQ(S_OK, site->GetWindowContext(&frame, &doc, &pos, &clip, &info));
  EXPECT_EQ(nullptr, doc);
  EXPECT_EQ(w.Hwnd(), info.hwndFrame);
  EXPECT_EQ(1u, info.cAccelEntries);
  EXPECT_EQ(E_POINTER, site->GetWindowContext(&frame, &doc, nullptr, &clip, &info));
  HWND frame_hwnd = nullptr;
  EXPECT_EQ(S_OK, frame->GetWindow(&frame_hwnd));
  EXPECT_EQ(w.Hwnd(), frame_hwnd);
  EXPECT_EQ(INPLACE_E_NOTOOLSPACE, frame->RequestBorderSpace(nullptr));
  EXPECT_EQ(S_FALSE, frame->TranslateAccelerator(nullptr, 0));
  frame->Release();

  // Once the control lets go, the site answers without it.
  ax->ReleaseControl();
  EXPECT_EQ(E_UNEXPECTED, site->GetCapture());
  EXPECT_EQ(E_UNEXPECTED, site->GetWindow(&hwnd));
  EXPECT_EQ(E_UNEXPECTED, client->ShowObject());
  EXPECT_EQ(E_UNEXPECTED, container->EnumObjects(OLECONTF_EMBEDDINGS, &objects));
  container->Release();
  site->Release();
  client->Release();
  object->Release();
  EXPECT_EQ(0, LiveObjects());
}

// ------------------------------------------------------------ web browser

TEST_F(ActiveXTest, WebBrowserHostAnswersTheDocumentHost) {
  SkinWindow w(Skin(L"<WebBrowser name=\"web\" float=\"true\" pos=\"0,0,300,200\" homepage=\"about:blank\" "
                    L"autonavi=\"TRUE\"/>"));
  ASSERT_TRUE(w.Open());
  auto* web = static_cast<CWebBrowserUI*>(w.Find(L"web"));
  ASSERT_NE(nullptr, web);
  EXPECT_STREQ(L"WebBrowserUI", web->GetClassName());
  EXPECT_EQ(web, web->QueryInterfaceByName(L"webbrowser"));
  EXPECT_TRUE(web->IsAutoNavigate());
  EXPECT_TRUE(web->IsCreated());
  // Wine's WebBrowser object is created and activated in place; without its
  // HTML engine it loads nothing, so only the host's side is checked.
  ASSERT_NE(nullptr, web->GetWebBrowser2());
  EXPECT_FALSE(web->IsWindowless());
  EXPECT_NE(nullptr, web->GetHostWindow());
  web->Navigate2(L"about:blank");
  PumpFor(50);

  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(S_OK, web->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)));
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof(info);
  info.dwFlags = DOCHOSTUIFLAG_SCROLL_NO;
  EXPECT_EQ(S_OK, handler->GetHostInfo(&info));
  EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER),
            info.dwFlags);
  EXPECT_EQ(S_FALSE, handler->ShowContextMenu(0, nullptr, nullptr, nullptr));
  EXPECT_EQ(E_NOTIMPL, handler->EnableModeless(TRUE));
  LPWSTR translated = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, const_cast<LPWSTR>(L"x"), &translated));
  EXPECT_EQ(nullptr, translated);

  // One identity for every face.
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  IServiceProvider* services = nullptr;
  ASSERT_EQ(S_OK, web->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services)));
  handler->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  services->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  EXPECT_EQ(a, b);
  a->Release();
  b->Release();

  void* out = reinterpret_cast<void*>(1);
  IID download = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
  ASSERT_EQ(S_OK, services->QueryService(download, download, &out));
  ASSERT_NE(nullptr, out) << "a service given must be usable";
  EXPECT_EQ(S_OK, static_cast<IDownloadManager*>(out)->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0));
  static_cast<IUnknown*>(out)->Release();
  ASSERT_EQ(S_OK, services->QueryService(IID_IInternetSecurityManager, IID_IInternetSecurityManager, &out));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(E_NOINTERFACE, services->QueryService(IID_IInternetSecurityManager, IID_IUnknown, &out));
  EXPECT_EQ(nullptr, out);
  services->Release();

  // Script errors: scripts go on, no dialog.
  IOleCommandTarget* commands = nullptr;
  ASSERT_EQ(S_OK, web->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&commands)));
  const GUID doc_host = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(S_OK, commands->Exec(&doc_host, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &result));
  EXPECT_EQ(VT_BOOL, result.vt);
  EXPECT_EQ(VARIANT_TRUE, result.boolVal);
  EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, commands->Exec(&doc_host, OLECMDID_PRINT, 0, nullptr, &result));
  EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &result));
  EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, commands->QueryStatus(&doc_host, 0, nullptr, nullptr));
  commands->Release();

  // The event sink.
  EXPECT_EQ(E_INVALIDARG, web->Invoke(250, IID_IUnknown, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK, web->Invoke(250, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK, web->Invoke(252, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, web->Invoke(9999, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));

  // Accelerators: only keys, and only while the focus is inside the browser.
  MSG msg{w.Hwnd(), WM_MOUSEMOVE, 0, 0};
  EXPECT_EQ(S_FALSE, web->TranslateAccelerator(&msg));
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_TAB;
  ::SetFocus(w.Hwnd());
  EXPECT_EQ(S_FALSE, web->TranslateAccelerator(&msg)) << "focus outside the browser";
  // With the focus inside the browser's window the browser itself answers.
  IOleInPlaceActiveObject* active = nullptr;
  ASSERT_EQ(S_OK, web->GetWebBrowser2()->QueryInterface(IID_IOleInPlaceActiveObject,
                                                         reinterpret_cast<void**>(&active)));
  const HRESULT browser_answer = active->TranslateAccelerator(&msg);
  active->Release();
  ::SetFocus(web->GetHostWindow());
  ASSERT_EQ(web->GetHostWindow(), ::GetFocus());
  EXPECT_EQ(browser_answer, web->TranslateAccelerator(&msg));
  handler->Release();

  // Released with the window: nothing of the browser keeps the control's faces.
  web->ReleaseControl();
  EXPECT_EQ(nullptr, web->GetWebBrowser2());
  EXPECT_EQ(1u, web->AddRef());
  web->Release();
  w.Destroy();
}

TEST_F(ActiveXTest, WebBrowserWithoutAutoNavigateAndDestroyedWhileActive) {
  for (int round = 0; round < 2; ++round) {
    SkinWindow w(Skin(L"<WebBrowser name=\"web\" float=\"true\" pos=\"0,0,200,100\" homepage=\"about:blank\"/>"));
    ASSERT_TRUE(w.Open());
    auto* web = static_cast<CWebBrowserUI*>(w.Find(L"web"));
    EXPECT_FALSE(web->IsAutoNavigate());
    ASSERT_NE(nullptr, web->GetWebBrowser2());
    // Destroying the window with the browser still in place must release it
    // through the control's own faces, not after them.
    w.Destroy();
  }
}

TEST_F(ActiveXTest, FlashIsAbsentAndTheControlStaysEmpty) {
  SkinWindow w(Skin(L"<Flash name=\"flash\" float=\"true\" pos=\"10,10,110,60\"/>"));
  ASSERT_TRUE(w.Open());
  auto* flash = static_cast<CFlashUI*>(w.Find(L"flash"));
  ASSERT_NE(nullptr, flash);
  EXPECT_STREQ(L"FlashUI", flash->GetClassName());
  EXPECT_EQ(flash, flash->QueryInterfaceByName(L"FLASH"));
  const CLSID flash_clsid = {0xd27cdb6e, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
  EXPECT_TRUE(IsEqualCLSID(flash_clsid, flash->GetCLSID()));
  EXPECT_TRUE(flash->IsCreated()) << "the attempt was made";
  EXPECT_EQ(nullptr, flash->GetFlash());
  void* out = nullptr;
  EXPECT_EQ(E_PENDING, flash->GetControl(IID_IUnknown, &out));
  EXPECT_EQ(S_FALSE, flash->RegisterEventHandler(true));
  MSG msg{w.Hwnd(), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_EQ(E_NOTIMPL, flash->TranslateAccelerator(&msg));
  msg.message = WM_LBUTTONDOWN;
  EXPECT_EQ(S_FALSE, flash->TranslateAccelerator(&msg));
  EXPECT_EQ(S_OK, flash->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0xFFFFFFu, w.PixelAt(50, 30) & 0xFFFFFFu) << "nothing painted";
}

}  // namespace
}  // namespace SkinUI
