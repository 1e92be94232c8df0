// The Windows Firewall policy interfaces that the installer uses, declared
// from their documented identifiers and method order (the cross compiler's
// headers do not carry them). Only the three interfaces the installer's rule
// needs are here, each complete up to its last method, so that a vtable built
// from these declarations matches the system's objects.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

namespace netfw {

enum NET_FW_ACTION { NET_FW_ACTION_BLOCK = 0, NET_FW_ACTION_ALLOW = 1, NET_FW_ACTION_MAX = 2 };
enum NET_FW_RULE_DIRECTION { NET_FW_RULE_DIR_IN = 1, NET_FW_RULE_DIR_OUT = 2, NET_FW_RULE_DIR_MAX = 3 };
enum NET_FW_PROFILE_TYPE2 {
  NET_FW_PROFILE2_DOMAIN = 0x1,
  NET_FW_PROFILE2_PRIVATE = 0x2,
  NET_FW_PROFILE2_PUBLIC = 0x4,
  NET_FW_PROFILE2_ALL = 0x7FFFFFFF,
};
enum NET_FW_MODIFY_STATE { NET_FW_MODIFY_STATE_OK = 0 };
constexpr LONG NET_FW_IP_PROTOCOL_ANY = 256;

// CLSID_NetFwPolicy2 and CLSID_NetFwRule.
inline constexpr CLSID kClsidNetFwPolicy2 = {
    0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
inline constexpr CLSID kClsidNetFwRule = {
    0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};

// {AF230D27-BABA-4E42-ACED-F524F22CFCE2}
struct INetFwRule : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Description(BSTR desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* image_file_name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR image_file_name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ServiceName(BSTR* service_name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ServiceName(BSTR service_name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Protocol(LONG* protocol) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Protocol(LONG protocol) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalPorts(BSTR* port_numbers) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LocalPorts(BSTR port_numbers) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RemotePorts(BSTR* port_numbers) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RemotePorts(BSTR port_numbers) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalAddresses(BSTR* local_addrs) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LocalAddresses(BSTR local_addrs) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR* remote_addrs) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR remote_addrs) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IcmpTypesAndCodes(BSTR* icmp_types_and_codes) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IcmpTypesAndCodes(BSTR icmp_types_and_codes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Direction(LONG* dir) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Direction(LONG dir) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Interfaces(VARIANT* interfaces) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Interfaces(VARIANT interfaces) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_InterfaceTypes(BSTR* interface_types) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_InterfaceTypes(BSTR interface_types) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Grouping(BSTR* context) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Grouping(BSTR context) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Profiles(LONG* profile_types) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Profiles(LONG profile_types) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EdgeTraversal(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_EdgeTraversal(VARIANT_BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Action(LONG* action) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Action(LONG action) = 0;
};

// {9C4C6277-5027-441E-AFAE-CA1F542DA009}
struct INetFwRules : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) = 0;
  virtual HRESULT STDMETHODCALLTYPE Remove(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE Item(BSTR name, INetFwRule** rule) = 0;
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** new_enum) = 0;
};

// {98325047-C671-4174-8D81-DEFCD3F03186}
struct INetFwPolicy2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG* profile_types) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FirewallEnabled(LONG profile_type, VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FirewallEnabled(LONG profile_type, VARIANT_BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExcludedInterfaces(LONG profile_type, VARIANT* interfaces) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ExcludedInterfaces(LONG profile_type, VARIANT interfaces) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BlockAllInboundTraffic(LONG profile_type, VARIANT_BOOL* block) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BlockAllInboundTraffic(LONG profile_type, VARIANT_BOOL block) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(LONG profile_type, VARIANT_BOOL* disabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(LONG profile_type, VARIANT_BOOL disabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(LONG profile_type,
                                                                                     VARIANT_BOOL* disabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(LONG profile_type,
                                                                                     VARIANT_BOOL disabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** rules) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ServiceRestriction(IUnknown** service_restriction) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnableRuleGroup(LONG profile_types_bitmask, BSTR group, VARIANT_BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsRuleGroupEnabled(LONG profile_types_bitmask, BSTR group,
                                                       VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE RestoreLocalFirewallDefaults() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultInboundAction(LONG profile_type, LONG* action) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultInboundAction(LONG profile_type, LONG action) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultOutboundAction(LONG profile_type, LONG* action) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultOutboundAction(LONG profile_type, LONG action) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsRuleGroupCurrentlyEnabled(BSTR group, VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocalPolicyModifyState(LONG* modify_state) = 0;
};

inline constexpr IID kIidINetFwRule = {
    0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};
inline constexpr IID kIidINetFwRules = {
    0x9C4C6277, 0x5027, 0x441E, {0xAF, 0xAE, 0xCA, 0x1F, 0x54, 0x2D, 0xA0, 0x09}};
inline constexpr IID kIidINetFwPolicy2 = {
    0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};

}  // namespace netfw
