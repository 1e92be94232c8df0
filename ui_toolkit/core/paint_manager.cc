// Process-wide settings, the resource tables and the control registry of the
// paint manager, with its construction and destruction.
#include "ui_toolkit/core/paint_manager.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cwchar>
#include <mutex>
#include <vector>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/resource_source.h"
#include "ui_toolkit/core/zip_reader.h"

namespace SkinUI {
namespace {

struct ProcessSettings {
  HINSTANCE instance = nullptr;
  CUiString resource_path;
  CUiString zip_name;
  CUiString zip_password;
  std::vector<unsigned char> zip_bytes;
  ZipHandleUI* zip = nullptr;
  bool zip_cached = true;
  int resource_kind = 1;
  HslSettingsUI hsl;
  CUiPtrArray live_managers;
  CUiPtrArray plugins;
  HPEN red_pen = nullptr;
};

ProcessSettings& Settings() {
  static ProcessSettings settings;
  return settings;
}

std::once_flag g_process_once;

CUiString IdKey(int id) {
  CUiString key;
  key.Format(L"%d", id);
  return key;
}

void FreeFontRecord(FontRecordUI* record) {
  if (record == nullptr) return;
  if (record->hFont != nullptr) ::DeleteObject(record->hFont);
  delete record;
}

// Walks every value of a map (values are freed by the caller's |free|), then
// empties it.
template <typename T, typename Free>
void ClearMap(CUiStringPtrMap& map, Free free) {
  for (int i = 0; i < map.GetSize(); ++i) {
    const wchar_t* key = map.GetKeyAt(i);
    if (key != nullptr) free(static_cast<T*>(map.Find(key, false)));
  }
  map.RemoveAll();
}

LOGFONTW DefaultGuiLogFont() {
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  lf.lfCharSet = DEFAULT_CHARSET;
  return lf;
}

}  // namespace

ResourceTablesUI::ResourceTablesUI()
    : m_CustomFonts(83), m_ImageHash(83), m_AttrHash(83), m_StyleHash(83), m_DrawInfoHash(83) {}

ResourceTablesUI& CPaintManagerUI::SharedResources() {
  static ResourceTablesUI* shared = new ResourceTablesUI();  // lives for the whole process
  return *shared;
}

CPaintManagerUI::CPaintManagerUI() : name_hash_(83), option_groups_(83) {
  ResourceTablesUI& shared = SharedResources();
  if (shared.DefaultFontInfo.sFontName.IsEmpty()) {
    shared.dwDisabledColor = 0xFFA7A6AA;
    shared.dwDefaultFontColor = 0xFF000000;
    shared.dwDefaultLinkFontColor = 0xFF0000FF;
    shared.dwDefaultLinkHoverFontColor = 0xFFD3215F;
    shared.dwDefaultSelectedBkColor = 0xFFBAE4FF;
    LOGFONTW lf = DefaultGuiLogFont();
    shared.DefaultFontInfo.hFont = ::CreateFontIndirectW(&lf);
    shared.DefaultFontInfo.sFontName = lf.lfFaceName;
    shared.DefaultFontInfo.iSize = -lf.lfHeight;
    shared.DefaultFontInfo.bBold = lf.lfWeight >= FW_BOLD;
    shared.DefaultFontInfo.bUnderline = lf.lfUnderline == 1;
    shared.DefaultFontInfo.bItalic = lf.lfItalic == 1;
    shared.DefaultFontInfo.tm = {};
  }
  own_.dwDisabledColor = shared.dwDisabledColor;
  own_.dwDefaultFontColor = shared.dwDefaultFontColor;
  own_.dwDefaultLinkFontColor = shared.dwDefaultLinkFontColor;
  own_.dwDefaultLinkHoverFontColor = shared.dwDefaultLinkHoverFontColor;
  own_.dwDefaultSelectedBkColor = shared.dwDefaultSelectedBkColor;

  std::call_once(g_process_once, [] {
    Settings().red_pen = ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"msimg32.dll");
  });
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr);
  CShadowUI::RegisterShadowWindowClass();
}

CPaintManagerUI::~CPaintManagerUI() {
  for (int i = 0; i < delayed_cleanup_.GetSize(); ++i) delete static_cast<CControlUI*>(delayed_cleanup_.GetAt(i));
  delayed_cleanup_.Empty();
  for (int i = 0; i < async_notify_.GetSize(); ++i) delete static_cast<NotifyMsgUI*>(async_notify_.GetAt(i));
  async_notify_.Empty();
  name_hash_.Resize(0);
  delete root_;
  root_ = nullptr;
  if (own_.DefaultFontInfo.hFont != nullptr) ::DeleteObject(own_.DefaultFontInfo.hFont);
  own_.DefaultFontInfo.hFont = nullptr;
  RemoveAllFonts(false);
  RemoveAllImages(false);
  RemoveAllStyles(false);
  RemoveAllDefaultAttributes(false);
  RemoveAllOptionGroups();
  RemoveAllTimers();
  RemoveAllImageDrawSpecs();
  if (tooltip_ != nullptr) ::DestroyWindow(tooltip_);
  for (int i = 0; i < font_memory_.GetSize(); ++i) ::RemoveFontMemResourceEx(font_memory_.GetAt(i));
  DeleteOffscreen();
  DeleteLayeredBackground();
  if (drag_snapshot_ != nullptr) ::DeleteObject(drag_snapshot_);
  if (paint_dc_ != nullptr) ::ReleaseDC(hwnd_, paint_dc_);
  const int at = Settings().live_managers.Find(this);
  if (at >= 0) Settings().live_managers.RemoveAt(at);
  if (gdiplus_token_ != 0) Gdiplus::GdiplusShutdown(gdiplus_token_);
  delete dpi_;
}

// ---- process-wide settings

HINSTANCE CPaintManagerUI::GetInstance() { return Settings().instance; }
void CPaintManagerUI::SetInstance(HINSTANCE instance) { Settings().instance = instance; }

CUiString CPaintManagerUI::GetInstancePath() {
  if (Settings().instance == nullptr) return CUiString();
  wchar_t path[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(Settings().instance, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash != nullptr) slash[1] = L'\0';
  return CUiString(path);
}

HINSTANCE CPaintManagerUI::GetResourceInstance() { return Settings().instance; }
const CUiString& CPaintManagerUI::GetResourcePath() { return Settings().resource_path; }

void CPaintManagerUI::SetResourcePath(const wchar_t* path) {
  CUiString& stored = Settings().resource_path;
  stored = path;
  if (stored.IsEmpty()) return;
  const wchar_t last = stored.GetAt(stored.GetLength() - 1);
  if (last != L'\\' && last != L'/') stored += L'\\';
}

void CPaintManagerUI::SetResourceType(int kind) { Settings().resource_kind = kind; }
int CPaintManagerUI::GetResourceType() { return Settings().resource_kind; }

void CPaintManagerUI::SetResourceZipFromMemory(const void* bytes, unsigned length, const wchar_t* password) {
  ProcessSettings& s = Settings();
  if (s.zip_name == L"membuffer") return;  // the first zip given wins
  if (s.zip_cached && s.zip != nullptr) {
    ZipClose(s.zip);
    s.zip = nullptr;
  }
  s.zip_name = L"membuffer";
  const auto* p = static_cast<const unsigned char*>(bytes);
  s.zip_bytes.assign(p, p + length);
  s.zip_cached = true;
  s.zip_password = password;
  char* narrow = WideToMultiByte(password);
  s.zip = ZipOpenFromMemory(s.zip_bytes.data(), static_cast<unsigned>(s.zip_bytes.size()), narrow);
  delete[] narrow;
}

const CUiString& CPaintManagerUI::GetResourceZipName() { return Settings().zip_name; }
const CUiString& CPaintManagerUI::GetResourceZipPassword() { return Settings().zip_password; }
ZipHandleUI* CPaintManagerUI::GetCachedResourceZip() { return Settings().zip; }
bool CPaintManagerUI::IsResourceZipCached() { return Settings().zip_cached; }
HslSettingsUI CPaintManagerUI::GetHsl() { return Settings().hsl; }
CUiPtrArray* CPaintManagerUI::GetPlugins() { return &Settings().plugins; }

char* CPaintManagerUI::WideToMultiByte(const wchar_t* text, UINT code_page) {
  if (text == nullptr) return nullptr;
  const int size = ::WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
  char* out = new char[size > 0 ? size : 1]();
  if (size > 0) ::WideCharToMultiByte(code_page, 0, text, -1, out, size, nullptr, nullptr);
  return out;
}

// ---- binding and registry

void CPaintManagerUI::Init(HWND hwnd, const wchar_t* name) {
  name_hash_.Resize(83);
  RemoveAllFonts(false);
  RemoveAllImages(false);
  RemoveAllStyles(false);
  RemoveAllDefaultAttributes(false);
  RemoveAllOptionGroups();
  RemoveAllImageDrawSpecs();
  RemoveAllTimers();
  name_ = name;
  if (hwnd_ != hwnd) {
    hwnd_ = hwnd;
    paint_dc_ = ::GetDC(hwnd);
    Settings().live_managers.Add(this);
  }
}

bool CPaintManagerUI::SetRootControl(CControlUI* control) {
  shadow_.CreateForManager(this);
  SetFocus(nullptr);
  key_pressed_ = nullptr;
  hover_ = nullptr;
  pushed_ = nullptr;
  if (root_ != nullptr) {
    post_paint_controls_.Empty();
    AddDelayedDelete(root_);
  }
  root_ = control;
  first_layout_ = true;
  update_needed_ = true;
  focus_needed_ = true;
  return InitControls(control, nullptr);
}

namespace {
CControlUI* CALLBACK RegisterNameProc(CControlUI* control, void* data) {
  auto* manager = static_cast<CPaintManagerUI*>(data);
  const CUiString name = control->GetName();
  if (!name.IsEmpty()) manager->RegisterControlName(name.GetData(), control);
  return nullptr;  // keep walking
}
CControlUI* CALLBACK FindByPointProc(CControlUI* control, void*) { return control; }
}  // namespace

void CPaintManagerUI::RegisterControlName(const wchar_t* name, CControlUI* control) {
  name_hash_.Set(name, control);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (control == nullptr) return false;
  control->SetManager(this, parent != nullptr ? parent : control->GetParent(), true);
  control->FindControl(&RegisterNameProc, this, UIFIND_ALL);
  return true;
}

CControlUI* CPaintManagerUI::FindControlByName(const wchar_t* name) const {
  if (name == nullptr) return nullptr;
  return static_cast<CControlUI*>(name_hash_.Find(name));
}

CControlUI* CPaintManagerUI::FindControlAtPoint(POINT pt) const {
  if (root_ == nullptr) return nullptr;
  return root_->FindControl(&FindByPointProc, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

void CPaintManagerUI::AddDelayedDelete(CControlUI* control) {
  control->SetManager(this, nullptr, false);
  delayed_cleanup_.Add(control);
  PostAsyncWork();
}

void CPaintManagerUI::ForgetControl(CControlUI* control) {
  if (control == key_pressed_) key_pressed_ = nullptr;
  if (control == hover_) hover_ = nullptr;
  if (control == pushed_) pushed_ = nullptr;
  if (control == focus_) focus_ = nullptr;
  KillTimersOfControl(control);
  const CUiString name = control->GetName();
  if (!name.IsEmpty() && name_hash_.Find(name.GetData(), false) == control) name_hash_.Remove(name.GetData());
  for (int i = 0; i < async_notify_.GetSize(); ++i) {
    auto* msg = static_cast<NotifyMsgUI*>(async_notify_.GetAt(i));
    if (msg->pSender == control) msg->pSender = nullptr;
  }
}

namespace {
bool RemoveFrom(CUiPtrArray& list, void* item) {
  const int at = list.Find(item);
  return at >= 0 && list.RemoveAt(at);
}
}  // namespace

bool CPaintManagerUI::AddPostPaint(CControlUI* control) { return post_paint_controls_.Add(control); }
bool CPaintManagerUI::RemovePostPaint(CControlUI* control) { return RemoveFrom(post_paint_controls_, control); }
bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return notifiers_.Add(notifier); }
bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveFrom(notifiers_, notifier); }
bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return pre_message_filters_.Add(filter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  return RemoveFrom(pre_message_filters_, filter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) { return message_filters_.Add(filter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveFrom(message_filters_, filter); }
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* translator) {
  return translate_accelerators_.Add(translator);
}
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* translator) {
  return RemoveFrom(translate_accelerators_, translator);
}

bool CPaintManagerUI::RemoveNativeWindow(HWND hwnd) {
  const int at = native_windows_.Find(hwnd);
  if (at < 0) return false;
  native_windows_.RemoveAt(at);
  native_window_controls_.RemoveAt(at);
  return true;
}

// ---- geometry

void CPaintManagerUI::SetInitialSize(int cx, int cy) {
  initial_size_ = {cx, cy};
  if (root_ == nullptr && hwnd_ != nullptr) {
    ::SetWindowPos(hwnd_, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

RECT CPaintManagerUI::GetSizeBox() { return GetDpiHelper()->ScaledRect(size_box_); }
RECT CPaintManagerUI::GetCaptionRect() { return GetDpiHelper()->ScaledRect(caption_); }
SIZE CPaintManagerUI::GetRoundCorner() { return GetDpiHelper()->ScaledSize(round_corner_); }
SIZE CPaintManagerUI::GetMinInfo() { return GetDpiHelper()->ScaledSize(min_info_); }
void CPaintManagerUI::SetMinInfo(int cx, int cy) { min_info_ = {cx, cy}; }
SIZE CPaintManagerUI::GetMaxInfo() { return GetDpiHelper()->ScaledSize(max_info_); }
void CPaintManagerUI::SetMaxInfo(int cx, int cy) { max_info_ = {cx, cy}; }

RECT CPaintManagerUI::GetChildWindowRect(HWND child) const {
  RECT rc{};
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

CDpiHelperUI* CPaintManagerUI::GetDpiHelper() {
  if (dpi_ == nullptr) dpi_ = new CDpiHelperUI();
  return dpi_;
}

SIZE CPaintManagerUI::GetOffscreenSize() const { return offscreen_size_; }

// ---- colours

void CPaintManagerUI::SetColor(DWORD ResourceTablesUI::*field, DWORD color, bool shared) {
  if (shared) {
    ResourceTablesUI& s = SharedResources();
    if (own_.*field == s.*field) own_.*field = color;
    s.*field = color;
  } else {
    own_.*field = color;
  }
}

void CPaintManagerUI::SetDisabledTextColor(DWORD color, bool shared) {
  SetColor(&ResourceTablesUI::dwDisabledColor, color, shared);
}
void CPaintManagerUI::SetDefaultTextColor(DWORD color, bool shared) {
  SetColor(&ResourceTablesUI::dwDefaultFontColor, color, shared);
}
void CPaintManagerUI::SetLinkTextColor(DWORD color, bool shared) {
  SetColor(&ResourceTablesUI::dwDefaultLinkFontColor, color, shared);
}
void CPaintManagerUI::SetLinkHoverTextColor(DWORD color, bool shared) {
  SetColor(&ResourceTablesUI::dwDefaultLinkHoverFontColor, color, shared);
}
void CPaintManagerUI::SetSelectedBkColor(DWORD color, bool shared) {
  SetColor(&ResourceTablesUI::dwDefaultSelectedBkColor, color, shared);
}

// ---- fonts

void CPaintManagerUI::MeasureFont(FontRecordUI* record) {
  if (record == nullptr || paint_dc_ == nullptr || record->hFont == nullptr) return;
  const HGDIOBJ old = ::SelectObject(paint_dc_, record->hFont);
  ::GetTextMetricsW(paint_dc_, &record->tm);
  ::SelectObject(paint_dc_, old);
}

namespace {
LOGFONTW MakeLogFont(CDpiHelperUI* dpi, const wchar_t* face, int size, bool bold, bool underline, bool italic) {
  LOGFONTW lf = DefaultGuiLogFont();
  if (face != nullptr && face[0] != L'\0') {
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
  }
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfHeight = -dpi->Scale(size);
  if (bold) lf.lfWeight = FW_BOLD;
  if (underline) lf.lfUnderline = TRUE;
  if (italic) lf.lfItalic = TRUE;
  return lf;
}
}  // namespace

void CPaintManagerUI::SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic,
                                     bool shared) {
  const LOGFONTW lf = MakeLogFont(GetDpiHelper(), face, size, bold, underline, italic);
  const HFONT font = ::CreateFontIndirectW(&lf);
  if (font == nullptr) return;
  FontRecordUI& record = shared ? SharedResources().DefaultFontInfo : own_.DefaultFontInfo;
  if (record.hFont != nullptr) ::DeleteObject(record.hFont);
  record.hFont = font;
  record.sFontName = lf.lfFaceName;
  record.iSize = size;
  record.bBold = bold;
  record.bUnderline = underline;
  record.bItalic = italic;
  record.tm = {};
  MeasureFont(&record);
}

FontRecordUI* CPaintManagerUI::GetDefaultFontRecord() {
  FontRecordUI* record =
      own_.DefaultFontInfo.sFontName.IsEmpty() ? &SharedResources().DefaultFontInfo : &own_.DefaultFontInfo;
  if (record->tm.tmHeight == 0) MeasureFont(record);
  return record;
}

HFONT CPaintManagerUI::AddFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                               bool shared) {
  const LOGFONTW lf = MakeLogFont(GetDpiHelper(), face, size, bold, underline, italic);
  const HFONT font = ::CreateFontIndirectW(&lf);
  if (font == nullptr) return nullptr;
  auto* record = new FontRecordUI();
  record->hFont = font;
  record->sFontName = lf.lfFaceName;
  record->iSize = size;
  record->bBold = bold;
  record->bUnderline = underline;
  record->bItalic = italic;
  MeasureFont(record);
  ResourceTablesUI& tables = TablesFor(shared);
  const CUiString key = IdKey(id);
  auto* old = static_cast<FontRecordUI*>(tables.m_CustomFonts.Find(key.GetData(), false));
  if (old != nullptr) {
    FreeFontRecord(old);
    tables.m_CustomFonts.Remove(key.GetData());
  }
  if (!tables.m_CustomFonts.Insert(key.GetData(), record)) {
    FreeFontRecord(record);
    return nullptr;
  }
  return font;
}

bool CPaintManagerUI::RemoveFont(int id, bool shared) {
  ResourceTablesUI& tables = TablesFor(shared);
  const CUiString key = IdKey(id);
  auto* record = static_cast<FontRecordUI*>(tables.m_CustomFonts.Find(key.GetData(), false));
  if (record == nullptr) return false;
  FreeFontRecord(record);
  return tables.m_CustomFonts.Remove(key.GetData());
}

bool CPaintManagerUI::AddFontFile(const wchar_t* name) {
  std::vector<unsigned char> bytes;
  if (!ReadResourceBytes(name, bytes) && !ReadWholeFile(name, bytes)) return false;
  DWORD fonts = 0;
  HANDLE handle = ::AddFontMemResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &fonts);
  if (handle == nullptr) return false;
  font_memory_.Add(handle);
  return true;
}

FontRecordUI* CPaintManagerUI::GetFontRecordById(int id) {
  if (id >= 0) {
    const CUiString key = IdKey(id);
    auto* record = static_cast<FontRecordUI*>(own_.m_CustomFonts.Find(key.GetData()));
    if (record == nullptr) record = static_cast<FontRecordUI*>(SharedResources().m_CustomFonts.Find(key.GetData()));
    if (record != nullptr) {
      if (record->tm.tmHeight == 0) MeasureFont(record);
      return record;
    }
  }
  return GetDefaultFontRecord();
}

HFONT CPaintManagerUI::GetFontById(int id) { return GetFontRecordById(id)->hFont; }

FontRecordUI* CPaintManagerUI::GetFontRecordByHandle(HFONT font) {
  for (CUiStringPtrMap* map : {&own_.m_CustomFonts, &SharedResources().m_CustomFonts}) {
    for (int i = 0; i < map->GetSize(); ++i) {
      auto* record = static_cast<FontRecordUI*>(map->Find(map->GetKeyAt(i), false));
      if (record != nullptr && record->hFont == font) {
        if (record->tm.tmHeight == 0) MeasureFont(record);
        return record;
      }
    }
  }
  return GetDefaultFontRecord();
}

HFONT CPaintManagerUI::GetFontByAttributes(const wchar_t* face, int size, bool bold, bool underline, bool italic) {
  for (CUiStringPtrMap* map : {&own_.m_CustomFonts, &SharedResources().m_CustomFonts}) {
    for (int i = 0; i < map->GetSize(); ++i) {
      auto* r = static_cast<FontRecordUI*>(map->Find(map->GetKeyAt(i), false));
      if (r != nullptr && r->sFontName == face && r->iSize == size && r->bBold == bold &&
          r->bUnderline == underline && r->bItalic == italic) {
        return r->hFont;
      }
    }
  }
  return nullptr;
}

// ---- images

ImageRecordUI* CPaintManagerUI::AddImage(const wchar_t* name, const wchar_t* type, DWORD mask, bool use_hsl,
                                         bool use_gdiplus, bool shared, HINSTANCE module) {
  if (name == nullptr || name[0] == L'\0') return nullptr;
  ImageRecordUI* image = nullptr;
  if (type != nullptr && type[0] != L'\0') {
    if (!iswdigit(name[0])) return nullptr;
    const int id = static_cast<int>(wcstol(name, nullptr, 10));
    image = use_gdiplus ? CUiDrawEngine::LoadImageWithGdiplus(MAKEINTRESOURCEW(id), type, mask, module)
                        : CUiDrawEngine::LoadImageById(id, type, mask, module);
  } else {
    image = use_gdiplus ? CUiDrawEngine::LoadImageWithGdiplus(name, nullptr, mask, module)
                        : CUiDrawEngine::LoadImage(name, nullptr, mask, module);
    if (image == nullptr) {
      // A scaled image name ("a@150.png") falls back to the plain name.
      const CUiString scaled(name);
      const int at = scaled.ReverseFind(L'@');
      const int dot = scaled.ReverseFind(L'.');
      if (at >= 0 && dot > at) {
        const CUiString plain = scaled.Left(at) + scaled.Mid(dot).GetData();
        image = use_gdiplus ? CUiDrawEngine::LoadImageWithGdiplus(plain.GetData(), nullptr, mask, module)
                            : CUiDrawEngine::LoadImage(plain.GetData(), nullptr, mask, module);
      }
    }
  }
  if (image == nullptr) return nullptr;
  image->bUseHSL = use_hsl;
  if (type != nullptr) image->sResType = type;
  image->dwMask = mask;
  if (use_hsl) CUiDrawEngine::PrepareImageHsl(image);
  const HslSettingsUI hsl = GetHsl();
  if (hsl.on) CUiDrawEngine::AdjustImageHsl(true, image, hsl.hue, hsl.saturation, hsl.lightness);
  ResourceTablesUI& tables = TablesFor(shared);
  auto* old = static_cast<ImageRecordUI*>(tables.m_ImageHash.Find(name, false));
  if (old != nullptr) {
    CUiDrawEngine::FreeImage(old, true);
    tables.m_ImageHash.Remove(name);
  }
  if (!tables.m_ImageHash.Insert(name, image)) {
    CUiDrawEngine::FreeImage(image, true);
    return nullptr;
  }
  return image;
}

ImageRecordUI* CPaintManagerUI::GetImage(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  auto* image = static_cast<ImageRecordUI*>(own_.m_ImageHash.Find(name));
  if (image == nullptr) image = static_cast<ImageRecordUI*>(SharedResources().m_ImageHash.Find(name));
  return image;
}

ImageRecordUI* CPaintManagerUI::GetOrAddImage(const wchar_t* name, const wchar_t* type, DWORD mask, bool use_hsl,
                                              bool use_gdiplus, HINSTANCE module) {
  ImageRecordUI* image = GetImage(name);
  if (image == nullptr) {
    AddImage(name, type, mask, use_hsl, use_gdiplus, false, module);
    image = GetImage(name);
  }
  return image;
}

ImageDrawSpecUI* CPaintManagerUI::GetImageDrawSpec(const wchar_t* description, const wchar_t* modifier) {
  CUiString key(description);
  key += modifier;
  if (key.IsEmpty()) return nullptr;
  auto* spec = static_cast<ImageDrawSpecUI*>(own_.m_DrawInfoHash.Find(key.GetData()));
  if (spec != nullptr) return spec;
  spec = new ImageDrawSpecUI();
  spec->Parse(description, modifier, this);
  if (!own_.m_DrawInfoHash.Insert(key.GetData(), spec)) {
    delete spec;
    return nullptr;
  }
  return spec;
}

// ---- default attributes, styles, option groups

void CPaintManagerUI::AddDefaultAttributes(const wchar_t* class_name, const wchar_t* attributes, bool shared) {
  if (class_name == nullptr || attributes == nullptr) return;
  auto* copy = new CUiString(attributes);
  auto* old = static_cast<CUiString*>(TablesFor(shared).m_AttrHash.Set(class_name, copy));
  delete old;
}

const wchar_t* CPaintManagerUI::FindDefaultAttributes(const wchar_t* class_name) const {
  if (class_name == nullptr) return nullptr;
  auto* value = static_cast<CUiString*>(own_.m_AttrHash.Find(class_name));
  if (value == nullptr) value = static_cast<CUiString*>(SharedResources().m_AttrHash.Find(class_name));
  return value != nullptr ? value->GetData() : nullptr;
}

void CPaintManagerUI::AddStyle(const wchar_t* name, const wchar_t* attributes, bool shared) {
  if (name == nullptr || attributes == nullptr) return;
  auto* copy = new CUiString(attributes);
  if (!TablesFor(shared).m_StyleHash.Insert(name, copy)) delete copy;
}

const wchar_t* CPaintManagerUI::GetStyle(const wchar_t* name) const {
  if (name == nullptr) return nullptr;
  auto* value = static_cast<CUiString*>(own_.m_StyleHash.Find(name));
  if (value == nullptr) value = static_cast<CUiString*>(SharedResources().m_StyleHash.Find(name));
  return value != nullptr ? value->GetData() : nullptr;
}

bool CPaintManagerUI::AddOptionGroup(const wchar_t* group, CControlUI* option) {
  auto* members = static_cast<CUiPtrArray*>(option_groups_.Find(group));
  if (members != nullptr) {
    if (members->Find(option) >= 0) return false;
    return members->Add(option);
  }
  members = new CUiPtrArray(6);
  members->Add(option);
  if (!option_groups_.Insert(group, members)) {
    delete members;
    return false;
  }
  return true;
}

CUiPtrArray* CPaintManagerUI::GetOptionGroup(const wchar_t* group) {
  return static_cast<CUiPtrArray*>(option_groups_.Find(group));
}

void CPaintManagerUI::RemoveOptionGroup(const wchar_t* group, CControlUI* option) {
  auto* members = static_cast<CUiPtrArray*>(option_groups_.Find(group));
  if (members == nullptr) return;
  RemoveFrom(*members, option);
  if (members->IsEmpty()) {
    delete members;
    option_groups_.Remove(group);
  }
}

void CPaintManagerUI::RemoveAllFonts(bool shared) {
  ClearMap<FontRecordUI>(shared ? SharedResources().m_CustomFonts : own_.m_CustomFonts, FreeFontRecord);
}
void CPaintManagerUI::RemoveAllImages(bool shared) {
  ClearMap<ImageRecordUI>(shared ? SharedResources().m_ImageHash : own_.m_ImageHash,
                          [](ImageRecordUI* image) { CUiDrawEngine::FreeImage(image, true); });
}
void CPaintManagerUI::RemoveAllStyles(bool shared) {
  ClearMap<CUiString>(shared ? SharedResources().m_StyleHash : own_.m_StyleHash, [](CUiString* s) { delete s; });
}
void CPaintManagerUI::RemoveAllDefaultAttributes(bool shared) {
  ClearMap<CUiString>(shared ? SharedResources().m_AttrHash : own_.m_AttrHash, [](CUiString* s) { delete s; });
}
void CPaintManagerUI::RemoveAllOptionGroups() {
  ClearMap<CUiPtrArray>(option_groups_, [](CUiPtrArray* a) { delete a; });
}
void CPaintManagerUI::RemoveAllImageDrawSpecs() {
  ClearMap<ImageDrawSpecUI>(own_.m_DrawInfoHash, [](ImageDrawSpecUI* s) { delete s; });
}

HPEN CPaintManagerUI::GetDirtyPen() { return Settings().red_pen; }
CUiPtrArray& CPaintManagerUI::LiveManagers() { return Settings().live_managers; }

}  // namespace SkinUI
