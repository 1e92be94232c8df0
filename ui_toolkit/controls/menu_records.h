// The fixed-width records a menu hands to the application: a leaf click,
// posted to the application window, and a check mark kept by item name in
// the application's map so that it outlives the menu windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

namespace SkinUI {

class CUiStringPtrMap;

// Posted to the application window for a leaf click: wParam is the
// MenuClickRecord (the receiver owns it: TakeMenuClickRecord), lParam the
// clicked CMenuElementUI.
inline constexpr UINT kMenuClickMessage = WM_USER + 3;

struct MenuClickRecord {
  wchar_t item_name[256];
  wchar_t user_data[1024];
  wchar_t item_text[1024];
  std::int32_t checked;
};

struct MenuCheckState {
  wchar_t item_name[256];
  bool checked;
};

// Copies |text| into a fixed field of |capacity| units, cut to fit, always
// NUL-terminated. Null copies as empty.
void CopyToField(wchar_t* field, std::size_t capacity, const wchar_t* text);

// A zero-filled record with the texts cut to their fields.
std::unique_ptr<MenuClickRecord> MakeMenuClickRecord(const wchar_t* name, const wchar_t* user_data,
                                                     const wchar_t* text, bool checked);
// Posts the record to |window|; the receiver owns it from then on. When the
// post fails the record is freed here and false returned.
bool PostMenuClickRecord(HWND window, std::unique_ptr<MenuClickRecord> record, LPARAM item);
// For the receiver of kMenuClickMessage: takes ownership of the record.
std::unique_ptr<MenuClickRecord> TakeMenuClickRecord(WPARAM wparam);

// The check mark stored under |name|: false for an empty name, no map or no entry.
bool ReadMenuCheckState(CUiStringPtrMap* states, const wchar_t* name);
// Stores the mark under |name| in the application's map, making the entry
// when there is none. Null for an empty name, no map, or when it cannot be stored.
MenuCheckState* StoreMenuCheckState(CUiStringPtrMap* states, const wchar_t* name, bool checked);

}  // namespace SkinUI
