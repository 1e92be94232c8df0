// Routes a notification to a handler chosen from static message maps by the
// notification's type and its sender's name; a derived class's map is
// searched before its base's.
#pragma once

#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {

class CNotifyPump;

enum NotifySignature : int {
  kNotifySigEnd = 0,
  kNotifySigWparamLparam = 1,  // LRESULT handler(WPARAM, LPARAM)
  kNotifySigMessage = 2,       // void handler(NotifyMsgUI&)
};

using NotifyHandlerWl = LRESULT (CNotifyPump::*)(WPARAM, LPARAM);
using NotifyHandlerMsg = void (CNotifyPump::*)(NotifyMsgUI&);

struct NotifyMapEntry {
  const wchar_t* type;
  const wchar_t* control_name;  // empty: any sender
  int signature;
  NotifyHandlerWl handler_wl;
  NotifyHandlerMsg handler_msg;
};

struct NotifyMap {
  const NotifyMap* base;
  const NotifyMapEntry* entries;
};

// Entries of a derived class name their own member functions; the casts to
// the pump's member type are what the map stores.
#define SKINUI_NOTIFY_MSG(type, name, cls, fn) \
  {type, name, ::SkinUI::kNotifySigMessage, nullptr, static_cast<::SkinUI::NotifyHandlerMsg>(&cls::fn)}
#define SKINUI_NOTIFY_WL(type, name, cls, fn) \
  {type, name, ::SkinUI::kNotifySigWparamLparam, static_cast<::SkinUI::NotifyHandlerWl>(&cls::fn), nullptr}
#define SKINUI_NOTIFY_END {nullptr, nullptr, ::SkinUI::kNotifySigEnd, nullptr, nullptr}

class CNotifyPump {
 public:
  CNotifyPump();
  virtual ~CNotifyPump();

  void NotifyPump(NotifyMsgUI& msg);
  bool LoopDispatch(NotifyMsgUI& msg);

  virtual const NotifyMap* GetMessageMap() const;

 protected:
  CUiStringPtrMap virtual_wnds_;

 private:
  static const NotifyMapEntry kEntries[];
  static const NotifyMap kMap;
  friend class WindowImplBase;
};

}  // namespace SkinUI
