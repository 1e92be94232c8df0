// The rig's stand-in for the Windows Runtime toast classes, which Wine lacks:
// an in-process DLL that a test registers in its prefix as
// Windows.UI.Notifications.ToastNotificationManager and
// Windows.UI.Notifications.ToastNotification (Windows.Data.Xml.Dom documents
// come from the manager's GetTemplateContent). It keeps every toast shown,
// with its document written out as XML, and fires the toasts' events back
// from threads of its own, as the platform does.
//
// A test in the same process reaches the records through the exports below
// (GetProcAddress on the module the runtime loaded). Every shown toast is
// also written to HKCU\Software\QlTest\ToastStandIn as "Shown" (the last
// document) and "AppId", for tests of other processes.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

inline constexpr wchar_t kToastStandInKey[] = L"Software\\QlTest\\ToastStandIn";

enum ToastStandInEvent : int { kStandInActivated = 0, kStandInDismissed = 1, kStandInFailed = 2 };

extern "C" {
// Forgets every toast shown so far and accepts toasts again.
using ToastStandInResetFn = void (*)();
// How many toasts the notifier was asked to show (also refused ones).
using ToastStandInShownCountFn = int (*)();
// The document of shown toast `index` as XML, or of any document handed in.
// Both copy at most `size` characters with the terminator and return the
// full length.
using ToastStandInShownXmlFn = int (*)(int index, wchar_t* buffer, int size);
using ToastStandInDocumentXmlFn = int (*)(IUnknown* document, wchar_t* buffer, int size);
// The AppUserModel id of the notifier that showed toast `index`.
using ToastStandInShownAppIdFn = int (*)(int index, wchar_t* buffer, int size);
// The expiration of toast `index`, read from the reference the notification
// kept, at the time of this call; -1 when none was set.
using ToastStandInExpirationFn = std::int64_t (*)(int index);
// Event delegates still registered on toast `index`.
using ToastStandInHandlerCountFn = int (*)(int index);
// Toasts taken off the screen through the notifier.
using ToastStandInHiddenCountFn = int (*)();
// Makes the notifier refuse (E_FAIL) the next toasts, or accept them again.
using ToastStandInRefuseShowFn = void (*)(int refuse);
// Invokes every delegate of `kind` registered on toast `index`, on a new
// thread, and waits for it. `arguments` (may be null) is the activation text;
// `reason` the dismissal reason.
using ToastStandInFireFn = HRESULT (*)(int index, int kind, const wchar_t* arguments, int reason);
}
