#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"

#include <objbase.h>
#include <propsys.h>
#include <psapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "src/zephris_install/src/toast/toast_lib/toast_apis.h"
#include "src/zephris_install/src/toast/toast_lib/toast_document.h"

namespace ToastLib {

namespace {

using base::ScopedComPtr;

// System.AppUserModel.ID
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9f4c2855, 0x9f79, 0x4b39, {0xa8, 0xd0, 0xe1, 0xd4, 0x2d, 0xe1, 0xd5, 0xf3}}, 5};

std::int64_t NowTicks() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

// A PROPVARIANT this side owns.
struct ScopedPropVariant {
  PROPVARIANT value{};
  ScopedPropVariant() { ::PropVariantInit(&value); }
  ~ScopedPropVariant() { ::PropVariantClear(&value); }
  ScopedPropVariant(const ScopedPropVariant&) = delete;
  ScopedPropVariant& operator=(const ScopedPropVariant&) = delete;

  HRESULT SetString(const std::wstring& text) {
    ::PropVariantClear(&value);
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    value.vt = VT_LPWSTR;
    value.pwszVal = copy;
    return S_OK;
  }
};

template <typename To, typename From>
HRESULT As(From* from, ScopedComPtr<To>& to) {
  return from->QueryInterface(__uuidof(To), reinterpret_cast<void**>(to.Receive()));
}

template <typename Factory>
HRESULT GetFactory(const wchar_t* class_name, ScopedComPtr<Factory>& factory) {
  return WithString(class_name, [&](HSTRING name) {
    return Apis().RoGetActivationFactory(name, __uuidof(Factory), reinterpret_cast<void**>(factory.Receive()));
  });
}

// The expiration instant handed to the platform. The notification keeps the
// reference past the call that sets it, so this one counts its references
// like any other runtime object.
class InternalDateTime final : public abi::IDateTimeReference {
 public:
  explicit InternalDateTime(std::int64_t ticks) : ticks_(ticks) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(abi::IDateTimeReference)) {
      *out = static_cast<abi::IDateTimeReference*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Value(abi::DateTime* value) override {
    if (value == nullptr) return E_POINTER;
    value->universal_time = ticks_;
    return S_OK;
  }

 private:
  std::atomic<ULONG> count_{1};
  const std::int64_t ticks_;
};

// What every event delegate of one toast shares: the caller's handler and
// the way back to the toast's record.
struct DelegateState {
  std::shared_ptr<const IToastHandler> handler;
  std::function<void()> forget;
};

template <typename Interface>
class EventDelegate : public Interface {
 public:
  explicit EventDelegate(DelegateState state) : state_(std::move(state)) {}
  virtual ~EventDelegate() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IAgileObject || iid == __uuidof(Interface)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  DelegateState state_;

 private:
  std::atomic<ULONG> count_{1};
};

class ActivatedDelegate final : public EventDelegate<abi::IActivatedHandler> {
 public:
  using EventDelegate::EventDelegate;
  HRESULT STDMETHODCALLTYPE Invoke(abi::IToastNotification*, IInspectable* args) override {
    std::wstring arguments;
    ScopedComPtr<abi::IToastActivatedEventArgs> activated;
    if (args != nullptr && SUCCEEDED(As(args, activated))) {
      HSTRING text = nullptr;
      if (SUCCEEDED(activated.Get()->get_Arguments(&text))) {
        arguments = RawText(text);
        if (text != nullptr) Apis().WindowsDeleteString(text);
      }
    }
    if (arguments.empty()) {
      state_.handler->onActivated();
    } else {
      state_.handler->onActionActivated(static_cast<int>(std::wcstol(arguments.c_str(), nullptr, 10)));
    }
    state_.forget();
    return S_OK;
  }
};

class DismissedDelegate final : public EventDelegate<abi::IDismissedHandler> {
 public:
  DismissedDelegate(DelegateState state, std::int64_t expiration_ticks)
      : EventDelegate(std::move(state)), expiration_ticks_(expiration_ticks) {}
  HRESULT STDMETHODCALLTYPE Invoke(abi::IToastNotification*, abi::IToastDismissedEventArgs* args) override {
    INT32 reason = 0;
    if (args != nullptr && SUCCEEDED(args->get_Reason(&reason))) {
      // The platform reports an expired toast that the user closed as
      // cancelled; by then it had timed out.
      if (reason == IToastHandler::kUserCanceled && expiration_ticks_ != 0 && NowTicks() >= expiration_ticks_) {
        reason = IToastHandler::kTimedOut;
      }
      state_.handler->onDismissed(reason);
    }
    state_.forget();
    return S_OK;
  }

 private:
  const std::int64_t expiration_ticks_;
};

class FailedDelegate final : public EventDelegate<abi::IFailedHandler> {
 public:
  using EventDelegate::EventDelegate;
  HRESULT STDMETHODCALLTYPE Invoke(abi::IToastNotification*, IInspectable*) override {
    state_.handler->onFailed();
    state_.forget();
    return S_OK;
  }
};

template <typename Delegate, typename Register, typename... Extra>
HRESULT AddDelegate(Register&& add, EventRegistrationToken* token, const DelegateState& state, Extra... extra) {
  auto* delegate = new Delegate(state, extra...);
  const HRESULT hr = add(delegate, token);
  delegate->Release();  // the notification holds its own reference when it took it
  return hr;
}

namespace Util {

HRESULT setEventHandlers(abi::IToastNotification* notification, const std::shared_ptr<const IToastHandler>& handler,
                         std::int64_t expiration_ticks, EventRegistrationToken* activated,
                         EventRegistrationToken* dismissed, EventRegistrationToken* failed,
                         std::function<void()> forget) {
  const DelegateState state{handler, std::move(forget)};
  HRESULT hr = AddDelegate<ActivatedDelegate>(
      [&](abi::IActivatedHandler* d, EventRegistrationToken* t) { return notification->add_Activated(d, t); },
      activated, state);
  if (FAILED(hr)) return hr;
  hr = AddDelegate<DismissedDelegate>(
      [&](abi::IDismissedHandler* d, EventRegistrationToken* t) { return notification->add_Dismissed(d, t); },
      dismissed, state, expiration_ticks);
  if (FAILED(hr)) return hr;
  return AddDelegate<FailedDelegate>(
      [&](abi::IFailedHandler* d, EventRegistrationToken* t) { return notification->add_Failed(d, t); }, failed,
      state);
}

}  // namespace Util

}  // namespace

HRESULT GetStartMenuShortcutPath(std::wstring_view app_name, wchar_t (&path)[MAX_PATH]) {
  const DWORD length = ::GetEnvironmentVariableW(L"APPDATA", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_INVALIDARG;
  std::wstring full(path, length);
  full += L"\\Microsoft\\Windows\\Start Menu\\Programs\\";
  full += app_name;
  full += L".lnk";
  if (full.size() >= MAX_PATH) return E_INVALIDARG;
  std::copy(full.c_str(), full.c_str() + full.size() + 1, path);
  return S_OK;
}

ToastEntry::ToastEntry(ScopedComPtr<abi::IToastNotification> n, EventRegistrationToken activated,
                       EventRegistrationToken dismissed, EventRegistrationToken failed)
    : notification(std::move(n)), activated_token(activated), dismissed_token(dismissed), failed_token(failed) {}

ToastEntry::~ToastEntry() { RemoveHandlers(); }

void ToastEntry::RemoveHandlers() {
  if (!ready_for_deletion || handlers_removed || !notification) return;
  notification.Get()->remove_Activated(activated_token);
  notification.Get()->remove_Dismissed(dismissed_token);
  notification.Get()->remove_Failed(failed_token);
  handlers_removed = true;
}

ToastManager::ToastManager() : book_(std::make_shared<Book>()) {}

ToastManager& ToastManager::getInstance() {
  static ToastManager manager;
  static std::once_flag loaded;
  std::call_once(loaded, [] { LoadToastApis(); });
  return manager;
}

ToastManager::~ToastManager() {
  clearToasts();
  // Every runtime object this side holds is gone before COM is released:
  // late events find no book and touch nothing.
  book_.reset();
  if (com_started_here_) ::CoUninitialize();
}

bool ToastManager::initialize(ToastError* error) {
  initialized_ = false;
  if (error != nullptr) *error = kNoError;
  const auto fail = [&](ToastError e) {
    if (error != nullptr) *error = e;
    return false;
  };
  if (!LoadToastApis()) return fail(kSystemNotSupported);
  if (aumid_.empty() || app_name_.empty()) return fail(kInvalidParameters);
  if (shortcut_policy_ != kShortcutIgnore && createShortcut() < 0) return fail(kShellLinkNotCreated);
  if (FAILED(Apis().SetCurrentProcessExplicitAppUserModelID(aumid_.c_str()))) return fail(kInvalidAppUserModelId);
  initialized_ = true;
  return true;
}

ShortcutResult ToastManager::createShortcut() {
  if (aumid_.empty() || app_name_.empty()) return kShortcutMissingParameters;
  if (!LoadToastApis()) return kShortcutIncompatibleOs;
  if (!com_started_here_) {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) {
      com_started_here_ = true;
    } else if (hr != RPC_E_CHANGED_MODE) {
      return kShortcutComInitFailed;
    }
  }
  bool was_changed = false;
  if (SUCCEEDED(validateShortcut(&was_changed))) return was_changed ? kShortcutRepaired : kShortcutUnchanged;
  return SUCCEEDED(createShellLink()) ? kShortcutCreated : kShortcutCreateFailed;
}

HRESULT ToastManager::validateShortcut(bool* was_changed) {
  *was_changed = false;
  wchar_t path[MAX_PATH];
  HRESULT hr = GetStartMenuShortcutPath(app_name_, path);
  if (FAILED(hr)) return hr;
  if (::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return E_FAIL;

  ScopedComPtr<IShellLinkW> link;
  hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                          reinterpret_cast<void**>(link.Receive()));
  if (FAILED(hr)) return hr;
  ScopedComPtr<IPersistFile> file;
  if (FAILED(hr = As(link.Get(), file))) return hr;
  if (FAILED(hr = file.Get()->Load(path, STGM_READWRITE))) return hr;
  ScopedComPtr<IPropertyStore> store;
  if (FAILED(hr = As(link.Get(), store))) return hr;
  ScopedPropVariant value;
  if (FAILED(hr = store.Get()->GetValue(kAppUserModelIdKey, &value.value))) return hr;
  wchar_t stored[MAX_PATH] = {};
  if (SUCCEEDED(Apis().PropVariantToString(value.value, stored, MAX_PATH)) && aumid_ == stored) return S_OK;

  if (shortcut_policy_ != kShortcutRequireCreate) return E_FAIL;
  *was_changed = true;
  ScopedPropVariant fresh;
  if (FAILED(hr = fresh.SetString(aumid_))) return hr;
  if (FAILED(hr = store.Get()->SetValue(kAppUserModelIdKey, fresh.value))) return hr;
  if (FAILED(hr = store.Get()->Commit())) return hr;
  if (SUCCEEDED(file.Get()->IsDirty())) hr = file.Get()->Save(path, TRUE);
  return hr;
}

HRESULT ToastManager::createShellLink() {
  if (shortcut_policy_ != kShortcutRequireCreate) return E_FAIL;
  wchar_t path[MAX_PATH];
  HRESULT hr = GetStartMenuShortcutPath(app_name_, path);
  if (FAILED(hr)) return hr;
  wchar_t exe[MAX_PATH] = {};
  if (::K32GetModuleFileNameExW(::GetCurrentProcess(), nullptr, exe, MAX_PATH) == 0) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  // The program starts in its own folder, as it does from Explorer.
  const std::wstring folder = std::filesystem::path(exe).parent_path().wstring();

  ScopedComPtr<IShellLinkW> link;
  hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                          reinterpret_cast<void**>(link.Receive()));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = link.Get()->SetPath(exe))) return hr;
  if (FAILED(hr = link.Get()->SetArguments(L""))) return hr;
  if (FAILED(hr = link.Get()->SetWorkingDirectory(folder.c_str()))) return hr;
  ScopedComPtr<IPropertyStore> store;
  if (FAILED(hr = As(link.Get(), store))) return hr;
  ScopedPropVariant value;
  if (FAILED(hr = value.SetString(aumid_))) return hr;
  if (FAILED(hr = store.Get()->SetValue(kAppUserModelIdKey, value.value))) return hr;
  if (FAILED(hr = store.Get()->Commit())) return hr;
  ScopedComPtr<IPersistFile> file;
  if (FAILED(hr = As(link.Get(), file))) return hr;
  return file.Get()->Save(path, TRUE);
}

ScopedComPtr<abi::IToastNotifier> ToastManager::getNotifier(bool* ok) {
  *ok = false;
  ScopedComPtr<abi::IToastNotifier> notifier;
  if (Apis().RoGetActivationFactory == nullptr) return notifier;
  ScopedComPtr<abi::IToastNotificationManagerStatics> statics;
  if (FAILED(GetFactory(abi::kToastManagerClass, statics))) return notifier;
  const HRESULT hr = WithString(aumid_, [&](HSTRING id) {
    return statics.Get()->CreateToastNotifierWithId(id, notifier.Receive());
  });
  *ok = SUCCEEDED(hr) && notifier;
  return notifier;
}

std::int64_t ToastManager::showToast(const ToastTemplate& toast, IToastHandler* handler, ToastError* error) {
  const std::shared_ptr<const IToastHandler> shared(handler);
  if (error != nullptr) *error = kNoError;
  const auto fail = [&](ToastError e) -> std::int64_t {
    if (error != nullptr) *error = e;
    return -1;
  };
  if (!initialized_) return fail(kNotInitialized);
  if (!shared) return fail(kInvalidHandler);

  ScopedComPtr<abi::IToastNotificationManagerStatics> statics;
  if (FAILED(GetFactory(abi::kToastManagerClass, statics))) return -1;
  ScopedComPtr<abi::IToastNotifier> notifier;
  if (FAILED(WithString(aumid_, [&](HSTRING id) {
        return statics.Get()->CreateToastNotifierWithId(id, notifier.Receive());
      })) ||
      !notifier) {
    return -1;
  }
  ScopedComPtr<abi::IToastNotificationFactory> factory;
  if (FAILED(GetFactory(abi::kToastNotificationClass, factory))) return -1;
  ScopedComPtr<abi::IXmlDocument> document;
  if (FAILED(BuildToastDocument(statics.Get(), toast, GetRealOsVersion(), document.Receive()))) return -1;
  ScopedComPtr<abi::IToastNotification> notification;
  if (FAILED(factory.Get()->CreateToastNotification(document.Get(), notification.Receive())) || !notification) {
    return -1;
  }

  std::int64_t ticks = 0;
  if (toast.expiration > 0) {
    ticks = NowTicks() + toast.expiration * 10000;
    ScopedComPtr<abi::IDateTimeReference> expiration(new InternalDateTime(ticks));
    if (FAILED(notification.Get()->put_ExpirationTime(expiration.Get()))) return -1;
  }

  GUID guid{};
  if (FAILED(::CoCreateGuid(&guid))) return -1;
  const std::int64_t id = static_cast<std::int64_t>(guid.Data1);

  EventRegistrationToken activated{}, dismissed{}, failed{};
  std::weak_ptr<Book> book = book_;
  const HRESULT hr = Util::setEventHandlers(notification.Get(), shared, ticks, &activated, &dismissed, &failed,
                                            [book, id] {
                                              if (std::shared_ptr<Book> live = book.lock()) forgetToast(*live, id);
                                            });
  if (FAILED(hr)) return fail(kInvalidHandler);

  abi::IToastNotification* raw = notification.Get();
  {
    std::lock_guard lock(book_->lock);
    book_->toasts.try_emplace(id, std::move(notification), activated, dismissed, failed);
  }
  if (FAILED(notifier.Get()->Show(raw))) return fail(kNotDisplayed);
  return id;
}

void ToastManager::forgetToast(Book& book, std::int64_t id) {
  std::vector<ToastEntry> swept;
  {
    std::lock_guard lock(book.lock);
    for (auto it = book.toasts.begin(); it != book.toasts.end();) {
      if (it->second.ready_for_deletion) {
        swept.push_back(std::move(it->second));
        it = book.toasts.erase(it);
      } else {
        ++it;
      }
    }
    if (auto it = book.toasts.find(id); it != book.toasts.end()) it->second.ready_for_deletion = true;
  }
  // `swept` unregisters and releases outside the lock: the platform may be
  // delivering another event of the same toast.
}

bool ToastManager::hideToast(std::int64_t id) {
  if (!initialized_ || !book_) return false;
  ScopedComPtr<abi::IToastNotification> target;
  {
    std::lock_guard lock(book_->lock);
    auto it = book_->toasts.find(id);
    if (it == book_->toasts.end() || !it->second.notification) return false;
    target.Reset(it->second.notification.Get());
    target.Get()->AddRef();
  }
  bool ok = false;
  ScopedComPtr<abi::IToastNotifier> notifier = getNotifier(&ok);
  if (!ok) return false;
  // Outside the lock: the platform may report the dismissal from inside Hide.
  if (FAILED(notifier.Get()->Hide(target.Get()))) return false;
  ToastEntry entry;
  {
    std::lock_guard lock(book_->lock);
    if (auto it = book_->toasts.find(id); it != book_->toasts.end()) {
      entry = std::move(it->second);
      book_->toasts.erase(it);
    }
  }
  entry.RemoveHandlers();
  return true;
}

void ToastManager::clearToasts() {
  if (!book_) return;
  {
    // Nothing to take off: the runtime is not asked for a notifier, which
    // at process exit may no longer be there to ask.
    std::lock_guard lock(book_->lock);
    if (book_->toasts.empty()) return;
  }
  bool ok = false;
  ScopedComPtr<abi::IToastNotifier> notifier = getNotifier(&ok);
  if (!ok) return;
  std::map<std::int64_t, ToastEntry> all;
  {
    std::lock_guard lock(book_->lock);
    all.swap(book_->toasts);
  }
  for (auto& [id, entry] : all) {
    notifier.Get()->Hide(entry.notification.Get());
    entry.RemoveHandlers();
  }
}

}  // namespace ToastLib
