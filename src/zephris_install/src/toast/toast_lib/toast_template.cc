#include "src/zephris_install/src/toast/toast_lib/toast_template.h"

#include <unordered_map>

namespace ToastLib {

namespace {

std::unordered_map<std::int32_t, std::wstring> MakeSoundTable() {
  const std::wstring prefix = L"ms-winsoundevent:Notification.";
  std::unordered_map<std::int32_t, std::wstring> table;
  const wchar_t* const fixed[] = {L"Default", L"IM", L"Mail", L"Reminder", L"SMS", L"Looping.Alarm"};
  std::int32_t n = 0;
  for (const wchar_t* name : fixed) table[n++] = prefix + name;
  for (int i = 2; i <= 10; ++i) table[n++] = prefix + L"Looping.Alarm" + std::to_wstring(i);
  table[n++] = prefix + L"Looping.Call";
  for (int i = 1; i <= 10; ++i) table[n++] = prefix + L"Looping.Call" + std::to_wstring(i);
  return table;
}

}  // namespace

const std::wstring& SystemSound(std::int32_t number) {
  static const std::unordered_map<std::int32_t, std::wstring> table = MakeSoundTable();
  static const std::wstring none;
  const auto it = table.find(number);
  return it == table.end() ? none : it->second;
}

ToastTemplate::ToastTemplate() : text_fields(2) {}
ToastTemplate::~ToastTemplate() = default;

void ToastTemplate::setTextField(const std::wstring& text, std::size_t index) {
  if (index < text_fields.size()) text_fields[index] = text;
}

void ToastTemplate::useDefaultAudio() { audio_path = SystemSound(0); }

}  // namespace ToastLib
