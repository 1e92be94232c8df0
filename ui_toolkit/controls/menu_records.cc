#include "ui_toolkit/controls/menu_records.h"

#include <cwchar>

#include "base/product_log.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {

void CopyToField(wchar_t* field, std::size_t capacity, const wchar_t* text) {
  if (capacity == 0) return;
  std::size_t length = text == nullptr ? 0 : std::wcslen(text);
  if (length >= capacity) length = capacity - 1;
  if (length > 0) std::wmemcpy(field, text, length);
  field[length] = L'\0';
}

std::unique_ptr<MenuClickRecord> MakeMenuClickRecord(const wchar_t* name, const wchar_t* user_data,
                                                     const wchar_t* text, bool checked) {
  auto record = std::make_unique<MenuClickRecord>();  // value-initialised: zero-filled
  CopyToField(record->item_name, std::size(record->item_name), name);
  CopyToField(record->user_data, std::size(record->user_data), user_data);
  CopyToField(record->item_text, std::size(record->item_text), text);
  record->checked = checked ? 1 : 0;
  return record;
}

bool PostMenuClickRecord(HWND window, std::unique_ptr<MenuClickRecord> record, LPARAM item) {
  if (!::PostMessageW(window, kMenuClickMessage, reinterpret_cast<WPARAM>(record.get()), item)) {
    PRODUCT_LOG("menu click not posted: error {}", ::GetLastError());
    return false;
  }
  record.release();  // the receiving window owns it now
  return true;
}

std::unique_ptr<MenuClickRecord> TakeMenuClickRecord(WPARAM wparam) {
  return std::unique_ptr<MenuClickRecord>(reinterpret_cast<MenuClickRecord*>(wparam));
}

bool ReadMenuCheckState(CUiStringPtrMap* states, const wchar_t* name) {
  if (states == nullptr || name == nullptr || name[0] == L'\0') return false;
  auto* state = static_cast<MenuCheckState*>(states->Find(name));
  return state != nullptr && state->checked;
}

MenuCheckState* StoreMenuCheckState(CUiStringPtrMap* states, const wchar_t* name, bool checked) {
  if (states == nullptr || name == nullptr || name[0] == L'\0') return nullptr;
  if (auto* state = static_cast<MenuCheckState*>(states->Find(name))) {
    state->checked = checked;
    return state;
  }
  // The entry belongs to the application's map from here on.
  auto state = std::make_unique<MenuCheckState>();
  CopyToField(state->item_name, std::size(state->item_name), name);
  state->checked = checked;
  if (!states->Insert(name, state.get())) {
    PRODUCT_LOG("menu check mark not stored");
    return nullptr;
  }
  return state.release();
}

}  // namespace SkinUI
