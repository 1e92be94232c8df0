#include "ui_toolkit/core/notify_pump.h"

#include <cwchar>

#include "ui_toolkit/core/control.h"

namespace SkinUI {

const NotifyMapEntry CNotifyPump::kEntries[] = {SKINUI_NOTIFY_END};
const NotifyMap CNotifyPump::kMap = {nullptr, CNotifyPump::kEntries};

CNotifyPump::CNotifyPump() : virtual_wnds_(83) {}
CNotifyPump::~CNotifyPump() = default;

const NotifyMap* CNotifyPump::GetMessageMap() const { return &kMap; }

void CNotifyPump::NotifyPump(NotifyMsgUI& msg) {
  if (!msg.sVirtualWnd.IsEmpty()) {
    for (int i = 0; i < virtual_wnds_.GetSize(); ++i) {
      const wchar_t* key = virtual_wnds_.GetKeyAt(i);
      if (key == nullptr || _wcsicmp(key, msg.sVirtualWnd.GetData()) != 0) continue;
      auto* pump = static_cast<CNotifyPump*>(virtual_wnds_.Find(key, false));
      if (pump != nullptr && pump->LoopDispatch(msg)) return;
    }
  }
  LoopDispatch(msg);
}

bool CNotifyPump::LoopDispatch(NotifyMsgUI& msg) {
  const CUiString sender_name = msg.pSender != nullptr ? msg.pSender->GetName() : CUiString();
  for (const NotifyMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    const NotifyMapEntry* found = nullptr;
    for (const NotifyMapEntry* e = map->entries; e->signature != kNotifySigEnd; ++e) {
      if (msg.sType != e->type) continue;
      if (e->control_name == nullptr || e->control_name[0] == L'\0') {
        found = e;  // the last type-only entry of a map wins
      } else if (sender_name == e->control_name) {
        found = e;
        break;
      }
    }
    if (found == nullptr) continue;
    switch (found->signature) {
      case kNotifySigWparamLparam:
        (this->*found->handler_wl)(msg.wParam, msg.lParam);
        return true;
      case kNotifySigMessage:
        (this->*found->handler_msg)(msg);
        return true;
      default:
        return false;
    }
  }
  return false;
}

}  // namespace SkinUI
