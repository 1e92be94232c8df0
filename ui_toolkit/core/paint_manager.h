// One paint manager per skinned window: the control tree and its registry,
// the window's resources (with a process-wide shared copy), events, focus,
// timers and notifications, and the paint pass with its off-screen bitmap.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/ole_drag_drop.h"
#include "ui_toolkit/core/shadow.h"
#include "ui_toolkit/core/ui_ptr_array.h"
#include "ui_toolkit/core/ui_rect.h"
#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {

class CControlUI;
class CDpiHelperUI;
struct ImageDrawSpecUI;
struct ImageRecordUI;
struct ZipHandleUI;

struct FontRecordUI {
  HFONT hFont = nullptr;
  CUiString sFontName;
  int iSize = 0;
  bool bBold = false;
  bool bUnderline = false;
  bool bItalic = false;
  TEXTMETRICW tm{};
};

struct ResourceTablesUI {
  ResourceTablesUI();
  DWORD dwDisabledColor = 0;
  DWORD dwDefaultFontColor = 0;
  DWORD dwDefaultLinkFontColor = 0;
  DWORD dwDefaultLinkHoverFontColor = 0;
  DWORD dwDefaultSelectedBkColor = 0;
  FontRecordUI DefaultFontInfo;
  CUiStringPtrMap m_CustomFonts;      // decimal id -> FontRecordUI*
  CUiStringPtrMap m_ImageHash;        // name -> ImageRecordUI*
  CUiStringPtrMap m_AttrHash;         // class name -> CUiString*
  CUiStringPtrMap m_StyleHash;        // style name -> CUiString*
  CUiStringPtrMap m_DrawInfoHash;     // description -> ImageDrawSpecUI*
};

struct TimerRecordUI {
  CControlUI* pSender = nullptr;
  UINT nLocalID = 0;
  HWND hWnd = nullptr;
  UINT uWinTimer = 0;
  bool bKilled = false;
};

struct HslSettingsUI {
  bool on = false;
  short hue = 180;
  short saturation = 100;
  short lightness = 100;
};

// Search flags of CControlUI::FindControl.
constexpr UINT UIFIND_ALL = 0x00000000;
constexpr UINT UIFIND_VISIBLE = 0x00000001;
constexpr UINT UIFIND_ENABLED = 0x00000002;
constexpr UINT UIFIND_HITTEST = 0x00000004;
constexpr UINT UIFIND_UPDATETEST = 0x00000008;
constexpr UINT UIFIND_TOP_FIRST = 0x00000010;
constexpr UINT UIFIND_ME_FIRST = 0x80000000;

// Control flags (CControlUI::GetControlFlags).
constexpr UINT UIFLAG_TABSTOP = 0x00000001;
constexpr UINT UIFLAG_SETCURSOR = 0x00000002;

constexpr UINT WM_SKINUI_ASYNC = WM_APP + 1;

class CPaintManagerUI : public CIDropTarget {
 public:
  CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
  ~CPaintManagerUI() override;

  // Shows a dropped bitmap in the window (STM_SETIMAGE) when its owner has
  // registered it as a drop target.
  bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) override;

  // ---- process-wide settings
  static HINSTANCE GetInstance();
  static void SetInstance(HINSTANCE instance);
  static CUiString GetInstancePath();
  static HINSTANCE GetResourceInstance();
  static const CUiString& GetResourcePath();
  static void SetResourcePath(const wchar_t* path);
  static void SetResourceType(int kind);
  static int GetResourceType();
  static void SetResourceZipFromMemory(const void* bytes, unsigned length, const wchar_t* password = nullptr);
  static const CUiString& GetResourceZipName();
  static const CUiString& GetResourceZipPassword();
  static ZipHandleUI* GetCachedResourceZip();
  static bool IsResourceZipCached();
  static HslSettingsUI GetHsl();
  static CUiPtrArray* GetPlugins();
  static char* WideToMultiByte(const wchar_t* text, UINT code_page = CP_ACP);
  static ResourceTablesUI& SharedResources();

  // ---- binding and control registry
  void Init(HWND hwnd, const wchar_t* name = nullptr);
  bool SetRootControl(CControlUI* control);
  CControlUI* GetRootControl() const { return root_; }
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  CControlUI* FindControlByName(const wchar_t* name) const;
  CControlUI* FindControlAtPoint(POINT pt) const;
  void AddDelayedDelete(CControlUI* control);
  void ForgetControl(CControlUI* control);
  bool AddPostPaint(CControlUI* control);
  bool RemovePostPaint(CControlUI* control);
  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  bool AddTranslateAccelerator(ITranslateAccelerator* translator);
  bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);
  bool RemoveNativeWindow(HWND hwnd);
  void SetUseSharedResources(bool on) { use_shared_ = on; }
  bool IsUseSharedResources() const { return use_shared_; }
  void SetUsedVirtualWnd(bool on) { used_virtual_wnd_ = on; }
  bool IsUsedVirtualWnd() const { return used_virtual_wnd_; }
  const CUiString& GetName() const { return name_; }
  void RegisterControlName(const wchar_t* name, CControlUI* control);

  // ---- window geometry
  SIZE GetInitialSize() const { return initial_size_; }
  void SetInitialSize(int cx, int cy);
  RECT GetSizeBox();
  void SetSizeBox(const RECT& rc) { size_box_ = rc; }
  RECT GetCaptionRect();
  void SetCaptionRect(const RECT& rc) { caption_ = rc; }
  SIZE GetRoundCorner();
  void SetRoundCorner(int cx, int cy) { round_corner_ = {cx, cy}; }
  SIZE GetMinInfo();
  void SetMinInfo(int cx, int cy);
  SIZE GetMaxInfo();
  void SetMaxInfo(int cx, int cy);
  void SetNoActivate(bool on) { no_activate_ = on; }
  bool IsNoActivate() const { return no_activate_; }
  POINT GetMousePos() const { return last_mouse_; }
  HWND GetPaintWindow() const { return hwnd_; }
  HDC GetPaintDC() const { return paint_dc_; }
  RECT GetChildWindowRect(HWND child) const;
  CShadowUI* GetShadow() { return &shadow_; }
  CDpiHelperUI* GetDpiHelper();
  void SetGdiplusText(bool on) { gdiplus_text_ = on; }
  bool IsGdiplusText() const { return gdiplus_text_; }
  void SetTextRenderingHint(int hint) { text_rendering_hint_ = hint; }
  int GetTextRenderingHint() const { return text_rendering_hint_; }

  // ---- resources
  DWORD GetDisabledTextColor() const { return own_.dwDisabledColor; }
  DWORD GetDefaultTextColor() const { return own_.dwDefaultFontColor; }
  DWORD GetLinkTextColor() const { return own_.dwDefaultLinkFontColor; }
  DWORD GetLinkHoverTextColor() const { return own_.dwDefaultLinkHoverFontColor; }
  DWORD GetSelectedBkColor() const { return own_.dwDefaultSelectedBkColor; }
  void SetDisabledTextColor(DWORD color, bool shared = false);
  void SetDefaultTextColor(DWORD color, bool shared = false);
  void SetLinkTextColor(DWORD color, bool shared = false);
  void SetLinkHoverTextColor(DWORD color, bool shared = false);
  void SetSelectedBkColor(DWORD color, bool shared = false);

  void SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared = false);
  FontRecordUI* GetDefaultFontRecord();
  HFONT AddFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared = false);
  bool AddFontFile(const wchar_t* name);
  HFONT GetFontById(int id);
  FontRecordUI* GetFontRecordById(int id);
  FontRecordUI* GetFontRecordByHandle(HFONT font);
  HFONT GetFontByAttributes(const wchar_t* face, int size, bool bold, bool underline, bool italic);
  bool RemoveFont(int id, bool shared = false);

  ImageRecordUI* AddImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0, bool use_hsl = false,
                          bool use_gdiplus = false, bool shared = false, HINSTANCE module = nullptr);
  ImageRecordUI* GetImage(const wchar_t* name);
  ImageRecordUI* GetOrAddImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0,
                               bool use_hsl = false, bool use_gdiplus = false, HINSTANCE module = nullptr);
  ImageDrawSpecUI* GetImageDrawSpec(const wchar_t* description, const wchar_t* modifier = nullptr);

  void AddDefaultAttributes(const wchar_t* class_name, const wchar_t* attributes, bool shared = false);
  const wchar_t* FindDefaultAttributes(const wchar_t* class_name) const;
  void AddStyle(const wchar_t* name, const wchar_t* attributes, bool shared = false);
  const wchar_t* GetStyle(const wchar_t* name) const;
  bool AddOptionGroup(const wchar_t* group, CControlUI* option);
  CUiPtrArray* GetOptionGroup(const wchar_t* group);
  void RemoveOptionGroup(const wchar_t* group, CControlUI* option);

  void RemoveAllFonts(bool shared = false);
  void RemoveAllImages(bool shared = false);
  void RemoveAllStyles(bool shared = false);
  void RemoveAllDefaultAttributes(bool shared = false);
  void RemoveAllOptionGroups();
  void RemoveAllImageDrawSpecs();

  // ---- messages, events, focus, timers, notifications
  bool HandleWindowMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  bool PreMessageHandler(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  static bool TranslateMessage(const MSG* msg);
  bool TranslateAccelerator(MSG* msg);
  void SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wparam = 0, LPARAM lparam = 0,
                  bool async = false);
  void SendNotifyRecord(NotifyMsgUI& msg, bool async = false);
  void PostAsyncWork();
  CControlUI* GetFocusControl() const { return focus_; }
  void SetFocus(CControlUI* control);
  void SetFocusNeeded(CControlUI* control);
  bool SetNextTabControl(bool forward = true);
  bool SetTimer(CControlUI* control, UINT timer_id, UINT elapse);
  bool KillTimer(CControlUI* control, UINT timer_id);
  void KillTimersOfControl(CControlUI* control);
  void RemoveAllTimers();
  void SetMouseCapture();
  void ReleaseMouseCapture();
  bool HasMouseCapture() const { return mouse_capture_; }
  void SetToolTipHoverTime(UINT ms) { hover_time_ = ms; }
  static std::uint16_t GetKeyStateBits();
  void NeedUpdate() { update_needed_ = true; }
  bool IsUpdateNeeded() const { return update_needed_; }
  HWND GetToolTipWindow() const { return tooltip_; }
  // With the drag mode on, a drag-enabled control can be dragged out of the
  // window as a bitmap through OLE.
  void SetDragMode(bool on) { drag_mode_ = on; }
  bool IsDragMode() const { return drag_mode_; }

  // ---- paint pass and layered windows
  void InvalidateRect(RECT rc);
  void InvalidateAll();
  // While a batch is open, invalidations reach the window as one rectangle,
  // when the outermost batch closes: each one is a round trip to the window
  // system, and moving many children one by one makes many.
  class InvalidateBatch {
   public:
    explicit InvalidateBatch(CPaintManagerUI* manager);
    InvalidateBatch(const InvalidateBatch&) = delete;
    InvalidateBatch& operator=(const InvalidateBatch&) = delete;
    ~InvalidateBatch();

   private:
    CPaintManagerUI* manager_;
  };
  void SetLayered(bool on);
  bool IsLayered() const { return layered_; }
  void SetLayeredImage(const wchar_t* description);
  const CUiString& GetLayeredImage() const { return layered_image_; }
  void SetLayeredOpacity(BYTE opacity);
  BYTE GetOpacity() const { return opacity_; }
  void SetOpacity(BYTE opacity);
  void SetShowUpdateRect(bool on) { show_dirty_ = on; }
  // The window's pixels as last painted (top-down rows of 0xAARRGGBB, premultiplied
  // for layered windows); null before the first off-screen pass.
  const DWORD* GetOffscreenPixels() const { return offscreen_bits_; }
  SIZE GetOffscreenSize() const;

 private:
  static HPEN GetDirtyPen();
  static CUiPtrArray& LiveManagers();
  ResourceTablesUI& TablesFor(bool shared) { return (shared || use_shared_) ? SharedResources() : own_; }
  void MeasureFont(FontRecordUI* record);
  void RemoveAllTimersOf(CControlUI* control, bool only_killed_kept);
  void DrainAsyncWork();
  void DispatchNotify(NotifyMsgUI& msg);
  bool HandleMouseMove(WPARAM wparam, LPARAM lparam);
  bool HandleMouseHover(WPARAM wparam, LPARAM lparam, LRESULT& result);
  bool HandlePaint();
  void HandlePrintClient(HDC dc, LPARAM lparam);
  void ArmControlDrag(CControlUI* control);
  void RunControlDrag();
  void SetColor(DWORD ResourceTablesUI::*field, DWORD color, bool shared);
  void DeleteOffscreen();
  void DeleteLayeredBackground();

  CUiString name_;
  HWND hwnd_ = nullptr;
  HDC paint_dc_ = nullptr;
  HDC offscreen_dc_ = nullptr;
  HBITMAP offscreen_bitmap_ = nullptr;
  DWORD* offscreen_bits_ = nullptr;
  SIZE offscreen_size_{};
  HDC layered_bk_dc_ = nullptr;
  HBITMAP layered_bk_bitmap_ = nullptr;
  DWORD* layered_bk_bits_ = nullptr;

  HWND tooltip_ = nullptr;
  TOOLINFOW tool_info_{};
  CUiString tooltip_text_;
  UINT hover_time_ = 400;

  bool no_activate_ = false;
  bool show_dirty_ = false;

  CControlUI* root_ = nullptr;
  CControlUI* focus_ = nullptr;
  CControlUI* hover_ = nullptr;
  CControlUI* pushed_ = nullptr;
  CControlUI* key_pressed_ = nullptr;

  POINT last_mouse_{-1, -1};

  SIZE min_info_{};
  SIZE max_info_{};
  SIZE initial_size_{};
  RECT size_box_{};
  SIZE round_corner_{};
  RECT caption_{};

  UINT timer_counter_ = 4096;

  bool first_layout_ = true;
  bool update_needed_ = false;
  bool focus_needed_ = false;
  bool offscreen_paint_ = true;
  BYTE opacity_ = 255;
  bool layered_ = false;
  bool layered_changed_ = false;
  CUiString layered_image_;
  RECT pending_update_{};
  int invalidate_batch_depth_ = 0;
  RECT batched_invalid_{};

  bool mouse_tracking_ = false;
  bool mouse_capture_ = false;
  bool used_virtual_wnd_ = false;
  std::atomic<bool> async_pending_{false};

  CUiPtrArray notifiers_;
  CUiPtrArray timers_;
  CUiPtrArray translate_accelerators_;
  CUiPtrArray pre_message_filters_;
  CUiPtrArray message_filters_;
  CUiPtrArray post_paint_controls_;
  CUiPtrArray native_windows_;
  CUiPtrArray native_window_controls_;
  CUiPtrArray delayed_cleanup_;
  CUiPtrArray async_notify_;
  CUiPtrArray found_controls_;
  CUiPtrArray font_memory_;

  CUiStringPtrMap name_hash_;
  CUiStringPtrMap option_groups_;

  bool use_shared_ = false;
  ResourceTablesUI own_;
  CShadowUI shadow_;
  CDpiHelperUI* dpi_ = nullptr;

  bool gdiplus_text_ = false;
  int text_rendering_hint_ = 0;
  ULONG_PTR gdiplus_token_ = 0;

  bool drag_mode_ = false;
  bool drag_armed_ = false;
  HBITMAP drag_snapshot_ = nullptr;
};

}  // namespace SkinUI
