// The process-wide toast manager: makes sure a Start-menu shortcut carries
// the program's AppUserModel id, shows toasts under that id and routes their
// events to the caller's handler. Where the system has no toast support the
// manager stays inert and says so through its results.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/scoped_handle.h"
#include "src/zephris_install/src/toast/toast_lib/toast_handler.h"
#include "src/zephris_install/src/toast/toast_lib/toast_template.h"
#include "src/zephris_install/src/toast/toast_lib/winrt_toast_abi.h"

namespace ToastLib {

enum ShortcutPolicy : std::int32_t { kShortcutIgnore = 0, kShortcutRequireNoCreate = 1, kShortcutRequireCreate = 2 };

enum ShortcutResult : std::int32_t {
  kShortcutCreated = 2,
  kShortcutRepaired = 1,
  kShortcutUnchanged = 0,
  kShortcutMissingParameters = -1,
  kShortcutIncompatibleOs = -2,
  kShortcutComInitFailed = -3,
  kShortcutCreateFailed = -4,
};

// The Start-menu link of `app_name`, in a buffer of MAX_PATH characters:
// %APPDATA%\Microsoft\Windows\Start Menu\Programs\<app name>.lnk
HRESULT GetStartMenuShortcutPath(std::wstring_view app_name, wchar_t (&path)[MAX_PATH]);

// One shown toast. Its delegates stay registered until the entry is erased:
// a delegate never unregisters itself from inside its own event.
struct ToastEntry {
  ToastEntry() = default;
  ToastEntry(base::ScopedComPtr<abi::IToastNotification> notification, EventRegistrationToken activated,
             EventRegistrationToken dismissed, EventRegistrationToken failed);
  ToastEntry(ToastEntry&&) noexcept = default;
  ToastEntry& operator=(ToastEntry&&) noexcept = default;
  ~ToastEntry();

  void RemoveHandlers();

  base::ScopedComPtr<abi::IToastNotification> notification;
  EventRegistrationToken activated_token{};
  EventRegistrationToken dismissed_token{};
  EventRegistrationToken failed_token{};
  bool ready_for_deletion = false;
  bool handlers_removed = false;
};

class ToastManager {
 public:
  enum ToastError : std::int32_t {
    kNoError = 0,
    kNotInitialized = 1,
    kSystemNotSupported = 2,
    kShellLinkNotCreated = 3,
    kInvalidAppUserModelId = 4,
    kInvalidParameters = 5,
    kInvalidHandler = 6,
    kNotDisplayed = 7,
  };

  static ToastManager& getInstance();

  void setAppName(const std::wstring& name) { app_name_ = name; }
  void setAppUserModelId(const std::wstring& aumid) { aumid_ = aumid; }
  void setShortcutPolicy(ShortcutPolicy policy) { shortcut_policy_ = policy; }

  virtual ~ToastManager();
  virtual bool initialize(ToastError* error = nullptr);
  virtual bool isInitialized() const { return initialized_; }
  virtual bool hideToast(std::int64_t id);
  // Takes ownership of `handler` in every case, also when it fails.
  virtual std::int64_t showToast(const ToastTemplate& toast, IToastHandler* handler, ToastError* error = nullptr);
  virtual void clearToasts();
  virtual ShortcutResult createShortcut();

  // The steps that edit a toast document, in the order the build runs them.
  static HRESULT setBindingTemplate(abi::IXmlDocument* document);
  static HRESULT setTextField(std::wstring_view text, std::uint32_t index, abi::IXmlDocument* document);
  static HRESULT setAttributionText(std::wstring_view text, abi::IXmlDocument* document);
  static HRESULT addAction(std::wstring_view label, std::wstring_view arguments, abi::IXmlDocument* document);
  static HRESULT setAudioField(std::wstring_view path, std::int32_t option, abi::IXmlDocument* document);
  static HRESULT setDuration(std::wstring_view value, abi::IXmlDocument* document);
  static HRESULT setScenario(std::wstring_view value, abi::IXmlDocument* document);
  static HRESULT setImageField(std::wstring_view path, bool generic, bool circle, abi::IXmlDocument* document);
  static HRESULT setHeroImage(std::wstring_view path, bool inline_image, abi::IXmlDocument* document);

 protected:
  ToastManager();

 private:
  // The toasts, shared with the event delegates: a delegate that fires after
  // the manager is gone finds the book gone and touches nothing.
  struct Book {
    std::mutex lock;
    std::map<std::int64_t, ToastEntry> toasts;
  };
  static void forgetToast(Book& book, std::int64_t id);

  HRESULT validateShortcut(bool* was_changed);
  HRESULT createShellLink();
  base::ScopedComPtr<abi::IToastNotifier> getNotifier(bool* ok);

  bool initialized_ = false;
  bool com_started_here_ = false;
  ShortcutPolicy shortcut_policy_ = kShortcutRequireCreate;
  std::wstring app_name_;
  std::wstring aumid_;
  std::shared_ptr<Book> book_;
};

}  // namespace ToastLib
