// The firewall stand-in: an in-process COM server for the policy and rule
// classes, keeping its rules and a log of the calls in the registry (layout
// in netfw_stand_in.h).
#include "testing/firewall/netfw_stand_in.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <optional>
#include <string>

#include "base/scoped_handle.h"
#include "src/zephris_install/src/tool/netfw.h"

namespace {

using netfw::INetFwPolicy2;
using netfw::INetFwRule;
using netfw::INetFwRules;

std::atomic<long> g_objects{0};

// Asked of a rule handed to Rules.Add: only this server's rules answer it and
// can be read back (Wine's keep nothing).
constexpr IID kIidStandInRule = {0x5d0c6a31, 0x8e2f, 0x4b7a, {0x9c, 0x41, 0x2e, 0x6b, 0x73, 0x0d, 0x51, 0xa8}};

std::wstring ReadText(const std::wstring& key, const wchar_t* name, bool* found = nullptr) {
  wchar_t buffer[4096] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  const bool ok = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) ==
                  ERROR_SUCCESS;
  if (found != nullptr) *found = ok;
  return ok ? std::wstring(buffer) : std::wstring();
}

void WriteText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

DWORD ReadDword(const std::wstring& key, const wchar_t* name, DWORD fallback) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  return ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                 ERROR_SUCCESS
             ? value
             : fallback;
}

void WriteDword(const std::wstring& key, const wchar_t* name, DWORD value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &value, sizeof(value));
}

std::wstring RuleKey(const std::wstring& name) { return std::wstring(kNetFwStandInKey) + L"\\Rules\\" + name; }

bool RuleExists(const std::wstring& name) {
  base::ScopedRegKey key;
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, RuleKey(name).c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

// Logs the call and tells whether the test asked it to fail.
HRESULT Call(const std::wstring& method, const std::optional<std::wstring>& argument = std::nullopt) {
  std::wstring line = method;
  if (argument) line += L"(" + *argument + L")";
  WriteText(kNetFwStandInKey, L"Calls", ReadText(kNetFwStandInKey, L"Calls") + line + L"\n");
  const std::wstring fail = L";" + ReadText(kNetFwStandInKey, L"Fail") + L";";
  return fail.find(L";" + method + L";") != std::wstring::npos ? E_FAIL : S_OK;
}

std::wstring Text(BSTR text) { return text == nullptr ? std::wstring() : std::wstring(text, ::SysStringLen(text)); }

// IUnknown and IDispatch for one interface; the stand-in is never scripted.
template <typename Interface>
class Object : public Interface {
 public:
  Object() { ++g_objects; }
  virtual ~Object() { --g_objects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == Iid()) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  virtual const IID& Iid() const = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

// A rule: a new one keeps its properties in memory until it is added; one
// handed out by Rules.Item writes every change through to its stored key.
class Rule : public Object<INetFwRule> {
 public:
  Rule() = default;
  explicit Rule(const std::wstring& stored_name) : stored_(true), name_(stored_name) {
    const std::wstring key = RuleKey(name_);
    application_ = ReadText(key, L"ApplicationName", &has_application_);
    action_ = static_cast<LONG>(ReadDword(key, L"Action", netfw::NET_FW_ACTION_ALLOW));
    profiles_ = static_cast<LONG>(ReadDword(key, L"Profiles", netfw::NET_FW_PROFILE2_ALL));
    enabled_ = ReadDword(key, L"Enabled", 0) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    direction_ = static_cast<LONG>(ReadDword(key, L"Direction", netfw::NET_FW_RULE_DIR_IN));
    protocol_ = static_cast<LONG>(ReadDword(key, L"Protocol", netfw::NET_FW_IP_PROTOCOL_ANY));
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out != nullptr && iid == kIidStandInRule) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return Object<INetFwRule>::QueryInterface(iid, out);
  }

  // Stores this rule's properties under its name.
  void Store() const {
    const std::wstring key = RuleKey(name_);
    base::ScopedRegKey created;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, created.Receive(), nullptr);
    if (has_application_) {
      WriteText(key, L"ApplicationName", application_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"ApplicationName");
    }
    WriteDword(key, L"Action", static_cast<DWORD>(action_));
    WriteDword(key, L"Profiles", static_cast<DWORD>(profiles_));
    WriteDword(key, L"Enabled", enabled_ != VARIANT_FALSE ? 1 : 0);
    WriteDword(key, L"Direction", static_cast<DWORD>(direction_));
    WriteDword(key, L"Protocol", static_cast<DWORD>(protocol_));
  }
  const std::wstring& name() const { return name_; }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* out) override { return GetText(Prefix() + L"get_Name", name_, true, out); }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR in) override {
    const HRESULT hr = Call(Prefix() + L"put_Name", Text(in));
    if (SUCCEEDED(hr) && !stored_) name_ = Text(in);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* out) override {
    return GetText(Prefix() + L"get_ApplicationName", application_, has_application_, out);
  }
  HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR in) override {
    const HRESULT hr = Call(Prefix() + L"put_ApplicationName", Text(in));
    if (FAILED(hr)) return hr;
    application_ = Text(in);
    has_application_ = true;
    Changed();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* out) override {
    return GetValue(Prefix() + L"get_Enabled", enabled_, out);
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL in) override {
    return PutValue(Prefix() + L"put_Enabled", in, enabled_);
  }
  HRESULT STDMETHODCALLTYPE get_Profiles(LONG* out) override { return GetValue(Prefix() + L"get_Profiles", profiles_, out); }
  HRESULT STDMETHODCALLTYPE put_Profiles(LONG in) override { return PutValue(Prefix() + L"put_Profiles", in, profiles_); }
  HRESULT STDMETHODCALLTYPE get_Action(LONG* out) override { return GetValue(Prefix() + L"get_Action", action_, out); }
  HRESULT STDMETHODCALLTYPE put_Action(LONG in) override { return PutValue(Prefix() + L"put_Action", in, action_); }
  HRESULT STDMETHODCALLTYPE get_Direction(LONG* out) override {
    return GetValue(Prefix() + L"get_Direction", direction_, out);
  }
  HRESULT STDMETHODCALLTYPE put_Direction(LONG in) override {
    return PutValue(Prefix() + L"put_Direction", in, direction_);
  }
  HRESULT STDMETHODCALLTYPE get_Protocol(LONG* out) override {
    return GetValue(Prefix() + L"get_Protocol", protocol_, out);
  }
  HRESULT STDMETHODCALLTYPE put_Protocol(LONG in) override { return PutValue(Prefix() + L"put_Protocol", in, protocol_); }

  // Properties the installer leaves alone: logged, so a test sees any use.
  HRESULT STDMETHODCALLTYPE get_Description(BSTR* out) override { return Unused(Prefix() + L"get_Description", out); }
  HRESULT STDMETHODCALLTYPE put_Description(BSTR in) override { return Call(Prefix() + L"put_Description", Text(in)); }
  HRESULT STDMETHODCALLTYPE get_ServiceName(BSTR* out) override { return Unused(Prefix() + L"get_ServiceName", out); }
  HRESULT STDMETHODCALLTYPE put_ServiceName(BSTR in) override { return Call(Prefix() + L"put_ServiceName", Text(in)); }
  HRESULT STDMETHODCALLTYPE get_LocalPorts(BSTR* out) override { return Unused(Prefix() + L"get_LocalPorts", out); }
  HRESULT STDMETHODCALLTYPE put_LocalPorts(BSTR in) override { return Call(Prefix() + L"put_LocalPorts", Text(in)); }
  HRESULT STDMETHODCALLTYPE get_RemotePorts(BSTR* out) override { return Unused(Prefix() + L"get_RemotePorts", out); }
  HRESULT STDMETHODCALLTYPE put_RemotePorts(BSTR in) override { return Call(Prefix() + L"put_RemotePorts", Text(in)); }
  HRESULT STDMETHODCALLTYPE get_LocalAddresses(BSTR* out) override {
    return Unused(Prefix() + L"get_LocalAddresses", out);
  }
  HRESULT STDMETHODCALLTYPE put_LocalAddresses(BSTR in) override {
    return Call(Prefix() + L"put_LocalAddresses", Text(in));
  }
  HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR* out) override {
    return Unused(Prefix() + L"get_RemoteAddresses", out);
  }
  HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR in) override {
    return Call(Prefix() + L"put_RemoteAddresses", Text(in));
  }
  HRESULT STDMETHODCALLTYPE get_IcmpTypesAndCodes(BSTR* out) override {
    return Unused(Prefix() + L"get_IcmpTypesAndCodes", out);
  }
  HRESULT STDMETHODCALLTYPE put_IcmpTypesAndCodes(BSTR in) override {
    return Call(Prefix() + L"put_IcmpTypesAndCodes", Text(in));
  }
  HRESULT STDMETHODCALLTYPE get_Interfaces(VARIANT* out) override {
    if (out != nullptr) ::VariantInit(out);
    return Call(Prefix() + L"get_Interfaces");
  }
  HRESULT STDMETHODCALLTYPE put_Interfaces(VARIANT) override { return Call(Prefix() + L"put_Interfaces"); }
  HRESULT STDMETHODCALLTYPE get_InterfaceTypes(BSTR* out) override { return Unused(Prefix() + L"get_InterfaceTypes", out); }
  HRESULT STDMETHODCALLTYPE put_InterfaceTypes(BSTR in) override {
    return Call(Prefix() + L"put_InterfaceTypes", Text(in));
  }
  HRESULT STDMETHODCALLTYPE get_Grouping(BSTR* out) override { return Unused(Prefix() + L"get_Grouping", out); }
  HRESULT STDMETHODCALLTYPE put_Grouping(BSTR in) override { return Call(Prefix() + L"put_Grouping", Text(in)); }
  HRESULT STDMETHODCALLTYPE get_EdgeTraversal(VARIANT_BOOL* out) override {
    if (out != nullptr) *out = VARIANT_FALSE;
    return Call(Prefix() + L"get_EdgeTraversal");
  }
  HRESULT STDMETHODCALLTYPE put_EdgeTraversal(VARIANT_BOOL in) override {
    return Call(Prefix() + L"put_EdgeTraversal", std::to_wstring(in));
  }

 protected:
  const IID& Iid() const override { return netfw::kIidINetFwRule; }

 private:
  // A rule that Rules.Item handed out logs (and fails) as "StoredRule", a new one as "Rule".
  std::wstring Prefix() const { return stored_ ? L"StoredRule." : L"Rule."; }
  void Changed() const {
    if (stored_) Store();
  }
  HRESULT GetText(const std::wstring& method, const std::wstring& value, bool present, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = Call(method);
    if (SUCCEEDED(hr) && present) *out = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return hr;
  }
  HRESULT Unused(const std::wstring& method, BSTR* out) { return GetText(method, std::wstring(), false, out); }
  template <typename T>
  HRESULT GetValue(const std::wstring& method, T value, T* out) {
    if (out == nullptr) return E_POINTER;
    const HRESULT hr = Call(method);
    if (SUCCEEDED(hr)) *out = value;
    return hr;
  }
  template <typename T>
  HRESULT PutValue(const std::wstring& method, T in, T& field) {
    const HRESULT hr = Call(method, std::to_wstring(static_cast<long>(in)));
    if (FAILED(hr)) return hr;
    field = in;
    Changed();
    return hr;
  }

  bool stored_ = false;
  std::wstring name_;
  std::wstring application_;
  bool has_application_ = false;
  LONG action_ = netfw::NET_FW_ACTION_ALLOW;
  LONG profiles_ = netfw::NET_FW_PROFILE2_ALL;
  VARIANT_BOOL enabled_ = VARIANT_FALSE;
  LONG direction_ = netfw::NET_FW_RULE_DIR_IN;
  LONG protocol_ = netfw::NET_FW_IP_PROTOCOL_ANY;
};

class Rules : public Object<INetFwRules> {
 public:
  HRESULT STDMETHODCALLTYPE get_Count(LONG* out) override {
    if (out != nullptr) *out = 0;
    return Call(L"Rules.get_Count");
  }
  HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override {
    const HRESULT hr = Call(L"Rules.Add");
    if (FAILED(hr) || rule == nullptr) return FAILED(hr) ? hr : E_POINTER;
    void* own = nullptr;
    if (FAILED(rule->QueryInterface(kIidStandInRule, &own)) || own == nullptr) return E_INVALIDARG;
    static_cast<Rule*>(own)->Store();
    static_cast<Rule*>(own)->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Remove(BSTR name) override {
    const HRESULT hr = Call(L"Rules.Remove", Text(name));
    if (FAILED(hr)) return hr;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, RuleKey(Text(name)).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, RuleKey(Text(name)).c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(BSTR name, INetFwRule** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = Call(L"Rules.Item", Text(name));
    if (FAILED(hr)) return hr;
    if (!RuleExists(Text(name))) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    *out = new Rule(Text(name));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** out) override {
    if (out != nullptr) *out = nullptr;
    Call(L"Rules.get__NewEnum");
    return E_NOTIMPL;
  }

 protected:
  const IID& Iid() const override { return netfw::kIidINetFwRules; }
};

class Policy : public Object<INetFwPolicy2> {
 public:
  HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = Call(L"Policy.get_Rules");
    if (SUCCEEDED(hr)) *out = new Rules();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_FirewallEnabled(LONG, VARIANT_BOOL*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_FirewallEnabled(LONG, VARIANT_BOOL) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_ExcludedInterfaces(LONG, VARIANT*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_ExcludedInterfaces(LONG, VARIANT) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_BlockAllInboundTraffic(LONG, VARIANT_BOOL*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_BlockAllInboundTraffic(LONG, VARIANT_BOOL) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(LONG, VARIANT_BOOL*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(LONG, VARIANT_BOOL) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(LONG, VARIANT_BOOL*) override {
    return Other();
  }
  HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(LONG, VARIANT_BOOL) override {
    return Other();
  }
  HRESULT STDMETHODCALLTYPE get_ServiceRestriction(IUnknown**) override { return Other(); }
  HRESULT STDMETHODCALLTYPE EnableRuleGroup(LONG, BSTR, VARIANT_BOOL) override { return Other(); }
  HRESULT STDMETHODCALLTYPE IsRuleGroupEnabled(LONG, BSTR, VARIANT_BOOL*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE RestoreLocalFirewallDefaults() override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_DefaultInboundAction(LONG, LONG*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_DefaultInboundAction(LONG, LONG) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_DefaultOutboundAction(LONG, LONG*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE put_DefaultOutboundAction(LONG, LONG) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_IsRuleGroupCurrentlyEnabled(BSTR, VARIANT_BOOL*) override { return Other(); }
  HRESULT STDMETHODCALLTYPE get_LocalPolicyModifyState(LONG*) override { return Other(); }

 protected:
  const IID& Iid() const override { return netfw::kIidINetFwPolicy2; }

 private:
  static HRESULT Other() {
    Call(L"Policy.other");
    return E_NOTIMPL;
  }
};

class Factory : public IClassFactory {
 public:
  explicit Factory(bool policy) : policy_(policy) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    const HRESULT hr = Call(policy_ ? L"Factory.NetFwPolicy2" : L"Factory.NetFwRule");
    if (FAILED(hr)) return hr;
    IUnknown* object = policy_ ? static_cast<IUnknown*>(new Policy()) : static_cast<IUnknown*>(new Rule());
    const HRESULT query = object->QueryInterface(iid, out);
    object->Release();
    return query;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  bool policy_;
};

Factory g_policy_factory(true);
Factory g_rule_factory(false);

}  // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == netfw::kClsidNetFwPolicy2) return g_policy_factory.QueryInterface(iid, out);
  if (clsid == netfw::kClsidNetFwRule) return g_rule_factory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return g_objects.load() == 0 ? S_OK : S_FALSE; }
