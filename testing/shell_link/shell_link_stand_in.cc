// Wine's shell link, reached through shell32's own class factory, wrapped
// with a property store that remembers the AppUserModel id.
#include "testing/shell_link/shell_link_stand_in.h"

#include <windows.h>
#include <objbase.h>
#include <propsys.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9f4c2855, 0x9f79, 0x4b39, {0xa8, 0xd0, 0xe1, 0xd4, 0x2d, 0xe1, 0xd5, 0xf3}}, 5};

bool SameKey(REFPROPERTYKEY a, REFPROPERTYKEY b) { return a.fmtid == b.fmtid && a.pid == b.pid; }

std::wstring ReadId(const std::wstring& path, bool& found) {
  wchar_t value[1024];
  DWORD size = sizeof(value);
  found = ::RegGetValueW(HKEY_CURRENT_USER, kShellLinkStandInKey, path.c_str(), RRF_RT_REG_SZ, nullptr, value,
                         &size) == ERROR_SUCCESS;
  return found ? std::wstring(value) : std::wstring();
}

void WriteId(const std::wstring& path, const std::wstring& id) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellLinkStandInKey, path.c_str(), REG_SZ, id.c_str(),
                    static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
}

class Link final : public IShellLinkW, public IPersistFile, public IPropertyStore {
 public:
  explicit Link(IShellLinkW* inner) : inner_(inner) {
    inner_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&inner_file_));
  }
  ~Link() {
    if (inner_file_) inner_file_->Release();
    inner_->Release();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
      *out = static_cast<IShellLinkW*>(this);
    } else if (iid == IID_IPersistFile || iid == IID_IPersist) {
      if (inner_file_ == nullptr) return E_NOINTERFACE;
      *out = static_cast<IPersistFile*>(this);
    } else if (iid == IID_IPropertyStore) {
      *out = static_cast<IPropertyStore*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkW: Wine's
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR file, int size, WIN32_FIND_DATAW* data, DWORD flags) override {
    return inner_->GetPath(file, size, data, flags);
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) override { return inner_->GetIDList(list); }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) override { return inner_->SetIDList(list); }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR name, int size) override {
    return inner_->GetDescription(name, size);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR name) override { return inner_->SetDescription(name); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR dir, int size) override {
    return inner_->GetWorkingDirectory(dir, size);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR dir) override { return inner_->SetWorkingDirectory(dir); }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR args, int size) override { return inner_->GetArguments(args, size); }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR args) override { return inner_->SetArguments(args); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* key) override { return inner_->GetHotkey(key); }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD key) override { return inner_->SetHotkey(key); }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* show) override { return inner_->GetShowCmd(show); }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int show) override { return inner_->SetShowCmd(show); }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR path, int size, int* index) override {
    return inner_->GetIconLocation(path, size, index);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR path, int index) override {
    return inner_->SetIconLocation(path, index);
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR path, DWORD reserved) override {
    return inner_->SetRelativePath(path, reserved);
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND window, DWORD flags) override { return inner_->Resolve(window, flags); }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR file) override { return inner_->SetPath(file); }

  // IPersistFile: Wine's, with the id loaded and saved beside it
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { return inner_file_->GetClassID(id); }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return id_dirty_ ? S_OK : inner_file_->IsDirty(); }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR path, DWORD mode) override {
    const HRESULT hr = inner_file_->Load(path, mode);
    if (SUCCEEDED(hr)) {
      id_ = ReadId(path, has_id_);
      pending_ = id_;
      has_pending_ = has_id_;
      id_dirty_ = false;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR path, BOOL remember) override {
    const HRESULT hr = inner_file_->Save(path, remember);
    if (SUCCEEDED(hr) && has_id_ && path != nullptr) {
      WriteId(path, id_);
      id_dirty_ = false;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR path) override { return inner_file_->SaveCompleted(path); }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* path) override { return inner_file_->GetCurFile(path); }

  // IPropertyStore: only the AppUserModel id
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
    *count = has_id_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override {
    if (!has_id_ || index != 0) return E_INVALIDARG;
    *key = kAppUserModelIdKey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
    ::PropVariantInit(value);
    if (!SameKey(key, kAppUserModelIdKey) || !has_id_) return S_OK;  // VT_EMPTY, as Windows answers
    const std::size_t bytes = (id_.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, id_.c_str(), bytes);
    value->vt = VT_LPWSTR;
    value->pwszVal = copy;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override {
    if (!SameKey(key, kAppUserModelIdKey)) return S_OK;  // other properties are not kept
    if (value.vt != VT_LPWSTR || value.pwszVal == nullptr) return E_INVALIDARG;
    pending_ = value.pwszVal;
    has_pending_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Commit() override {
    if (has_pending_ && (!has_id_ || pending_ != id_)) {
      id_ = pending_;
      has_id_ = true;
      id_dirty_ = true;
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> count_{1};
  IShellLinkW* inner_;
  IPersistFile* inner_file_ = nullptr;
  std::wstring id_, pending_;
  bool has_id_ = false, has_pending_ = false, id_dirty_ = false;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    // Wine's link from shell32's own factory: the registry points here.
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    HMODULE shell32 = ::LoadLibraryW(L"shell32.dll");
    auto get = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(shell32, "DllGetClassObject")));
    if (get == nullptr) return E_FAIL;
    IClassFactory* factory = nullptr;
    HRESULT hr = get(CLSID_ShellLink, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    IShellLinkW* inner = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IShellLinkW, reinterpret_cast<void**>(&inner));
    factory->Release();
    if (FAILED(hr)) return hr;
    Link* link = new Link(inner);
    hr = link->QueryInterface(iid, out);
    link->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != CLSID_ShellLink) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
