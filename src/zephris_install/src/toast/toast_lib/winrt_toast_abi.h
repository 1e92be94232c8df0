// The Windows Runtime interfaces of toast notifications and of the XML
// document that describes a toast, as their binary interface is documented:
// interface ids and method order. mingw-w64 ships no headers for them.
// Only the methods that come before the last one used need real signatures;
// their order is what matters to the binary interface.
#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace ToastLib::abi {

struct IXmlDocument;
struct IXmlNode;
struct IXmlNodeList;
struct IXmlNamedNodeMap;
struct IXmlElement;
struct IXmlText;
struct IXmlAttribute;
struct IToastNotification;
struct IToastNotifier;

// Windows.Foundation.DateTime: 100 ns ticks since 1601-01-01 UTC.
struct DateTime {
  std::int64_t universal_time;
};

// Windows.Foundation.IReference<Windows.Foundation.DateTime>
struct IDateTimeReference : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Value(DateTime* value) = 0;
};

// Windows.Data.Xml.Dom
struct IXmlNodeList : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE Item(UINT32 index, IXmlNode** node) = 0;
};

struct IXmlNamedNodeMap : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE Item(UINT32 index, IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNamedItem(HSTRING name, IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNamedItem(IXmlNode* node, IXmlNode** previous) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveNamedItem(HSTRING name, IXmlNode** previous) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNamedItemNS(IInspectable* ns, HSTRING name, IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveNamedItemNS(IInspectable* ns, HSTRING name, IXmlNode** previous) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNamedItemNS(IXmlNode* node, IXmlNode** previous) = 0;
};

struct IXmlNode : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_NodeValue(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NodeValue(IInspectable* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(INT32* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(HSTRING* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ParentNode(IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ChildNodes(IXmlNodeList** nodes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FirstChild(IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastChild(IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PreviousSibling(IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NextSibling(IXmlNode** node) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(IXmlNamedNodeMap** attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE HasChildNodes(boolean* has) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OwnerDocument(IXmlDocument** document) = 0;
  virtual HRESULT STDMETHODCALLTYPE InsertBefore(IXmlNode* child, IXmlNode* before, IXmlNode** inserted) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReplaceChild(IXmlNode* child, IXmlNode* old, IXmlNode** replaced) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveChild(IXmlNode* child, IXmlNode** removed) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendChild(IXmlNode* child, IXmlNode** appended) = 0;
};

struct IXmlElement : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_TagName(HSTRING* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttribute(HSTRING name, HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAttribute(HSTRING name, HSTRING value) = 0;
};

struct IXmlText : IInspectable {};        // only ever taken as an IXmlNode here
struct IXmlAttribute : IInspectable {};   // only ever taken as an IXmlNode here

struct IXmlDocument : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable** doctype) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable** implementation) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DocumentElement(IXmlElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateElement(HSTRING tag, IXmlElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable** fragment) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING data, IXmlText** text) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateComment(HSTRING data, IInspectable** comment) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateProcessingInstruction(HSTRING target, HSTRING data,
                                                                IInspectable** instruction) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateAttribute(HSTRING name, IXmlAttribute** attribute) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateEntityReference(HSTRING name, IInspectable** reference) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetElementsByTagName(HSTRING tag, IXmlNodeList** elements) = 0;
};

// Windows.UI.Notifications
struct IToastActivatedEventArgs : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Arguments(HSTRING* arguments) = 0;
};

struct IToastDismissedEventArgs : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Reason(INT32* reason) = 0;
};

// TypedEventHandler<ToastNotification, Object / ToastDismissedEventArgs /
// ToastFailedEventArgs>: delegates are plain IUnknown objects with Invoke.
struct IActivatedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* args) = 0;
};
struct IDismissedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IToastDismissedEventArgs* args) = 0;
};
struct IFailedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* args) = 0;
};

struct IToastNotification : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument** content) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ExpirationTime(IDateTimeReference* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExpirationTime(IDateTimeReference** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_Dismissed(IDismissedHandler* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_Dismissed(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_Activated(IActivatedHandler* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_Activated(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_Failed(IFailedHandler* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_Failed(EventRegistrationToken token) = 0;
};

struct IToastNotificationFactory : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument* content,
                                                            IToastNotification** notification) = 0;
};

struct IToastNotifier : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Show(IToastNotification* notification) = 0;
  virtual HRESULT STDMETHODCALLTYPE Hide(IToastNotification* notification) = 0;
};

struct IToastNotificationManagerStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier** notifier) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING app_id, IToastNotifier** notifier) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTemplateContent(INT32 type, IXmlDocument** content) = 0;
};

inline constexpr wchar_t kToastManagerClass[] = L"Windows.UI.Notifications.ToastNotificationManager";
inline constexpr wchar_t kToastNotificationClass[] = L"Windows.UI.Notifications.ToastNotification";

}  // namespace ToastLib::abi

__CRT_UUID_DECL(ToastLib::abi::IDateTimeReference, 0x5541d8a7, 0x497c, 0x5aa4, 0x86, 0xfc, 0x77, 0x13, 0xad, 0xbf,
                0x2a, 0x2c)
__CRT_UUID_DECL(ToastLib::abi::IXmlNodeList, 0x8c60ad77, 0x83a4, 0x4ec1, 0x9c, 0x54, 0x7b, 0xa4, 0x29, 0xe1, 0x3d,
                0xa6)
__CRT_UUID_DECL(ToastLib::abi::IXmlNamedNodeMap, 0xb3a69eb0, 0xaab0, 0x4b82, 0xa6, 0xfa, 0xb1, 0x45, 0x3f, 0x7c,
                0x02, 0x1b)
__CRT_UUID_DECL(ToastLib::abi::IXmlNode, 0x1c741d59, 0x2122, 0x47d5, 0xa8, 0x56, 0x83, 0xf3, 0xd4, 0x21, 0x48, 0x75)
__CRT_UUID_DECL(ToastLib::abi::IXmlElement, 0x2dfb8a1f, 0x6b10, 0x4ef8, 0x9f, 0x83, 0xef, 0xcc, 0xe8, 0xfa, 0xec,
                0x37)
__CRT_UUID_DECL(ToastLib::abi::IXmlText, 0xf931a4cb, 0x308d, 0x4760, 0xa1, 0xd5, 0x43, 0xb6, 0x74, 0x50, 0xac, 0x7e)
__CRT_UUID_DECL(ToastLib::abi::IXmlAttribute, 0xac144aa4, 0xb4f1, 0x4db6, 0xb2, 0x06, 0x8a, 0x22, 0xc3, 0x08, 0xdb,
                0x0a)
__CRT_UUID_DECL(ToastLib::abi::IXmlDocument, 0xf7f3a506, 0x1e87, 0x42d6, 0xbc, 0xfb, 0xb8, 0xc8, 0x09, 0xfa, 0x54,
                0x94)
__CRT_UUID_DECL(ToastLib::abi::IToastActivatedEventArgs, 0xe3bf92f3, 0xc197, 0x436f, 0x82, 0x65, 0x06, 0x25, 0x82,
                0x4f, 0x8d, 0xac)
__CRT_UUID_DECL(ToastLib::abi::IToastDismissedEventArgs, 0x3f89d935, 0xd9cb, 0x4538, 0xa0, 0xf0, 0xff, 0xe7, 0x65,
                0x99, 0x38, 0xf8)
__CRT_UUID_DECL(ToastLib::abi::IActivatedHandler, 0xab54de2d, 0x97d9, 0x5528, 0xb6, 0xad, 0x10, 0x5a, 0xfe, 0x15,
                0x65, 0x30)
__CRT_UUID_DECL(ToastLib::abi::IDismissedHandler, 0x61c2402f, 0x0ed0, 0x5a18, 0xab, 0x69, 0x59, 0xf4, 0xaa, 0x99,
                0xa3, 0x68)
__CRT_UUID_DECL(ToastLib::abi::IFailedHandler, 0x95e3e803, 0xc969, 0x5e3a, 0x97, 0x53, 0xea, 0x2a, 0xd2, 0x2a, 0x9a,
                0x33)
__CRT_UUID_DECL(ToastLib::abi::IToastNotification, 0x997e2675, 0x059e, 0x4e60, 0x8b, 0x06, 0x17, 0x60, 0x91, 0x7c,
                0x8b, 0x80)
__CRT_UUID_DECL(ToastLib::abi::IToastNotificationFactory, 0x04124b20, 0x82c6, 0x4229, 0xb1, 0x09, 0xfd, 0x9e, 0xd4,
                0x66, 0x2b, 0x53)
__CRT_UUID_DECL(ToastLib::abi::IToastNotifier, 0x75927b93, 0x03f3, 0x41ec, 0x91, 0xd3, 0x6e, 0x5b, 0xac, 0x1b, 0x38,
                0xe7)
__CRT_UUID_DECL(ToastLib::abi::IToastNotificationManagerStatics, 0x50ac103f, 0xd235, 0x4598, 0xbb, 0xef, 0x98, 0xfe,
                0x4d, 0x1a, 0x3a, 0xd4)
