// A small XML DOM and toast notifier that record what the installer hands
// to the Windows Runtime. Only the calls the toast manager makes do work;
// the others answer E_NOTIMPL.
#include "testing/toast_runtime/toast_stand_in.h"

#include <activation.h>
#include <roapi.h>
#include <winstring.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "src/zephris_install/src/toast/toast_lib/winrt_toast_abi.h"

namespace {

namespace abi = ToastLib::abi;

std::wstring Text(HSTRING s) {
  UINT32 length = 0;
  PCWSTR raw = ::WindowsGetStringRawBuffer(s, &length);
  return raw == nullptr ? std::wstring() : std::wstring(raw, length);
}

// IUnknown and IInspectable for a class of the interfaces it derives from
// (narrowed by `Answers`); one count for all of them.
template <typename Self, typename First, typename... Rest>
class Object : public First, public Rest... {
 public:
  virtual ~Object() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == __uuidof(IInspectable) || iid == IID_IAgileObject) {
      *out = static_cast<First*>(this);
    } else {
      Find<First, Rest...>(iid, out);
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete static_cast<Self*>(this);
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    *level = BaseTrust;
    return S_OK;
  }

 protected:
  virtual bool Answers(REFIID) { return true; }

 private:
  template <typename I, typename... More>
  void Find(REFIID iid, void** out) {
    if (iid == __uuidof(I) && Answers(iid)) {
      *out = static_cast<I*>(this);
      return;
    }
    if constexpr (sizeof...(More) > 0) Find<More...>(iid, out);
  }
  std::atomic<ULONG> count_{1};
};

template <typename T>
struct Ref {  // a counted reference to one of this file's objects
  T* p = nullptr;
  Ref() = default;
  explicit Ref(T* raw, bool add = true) : p(raw) {
    if (p && add) p->AddRef();
  }
  Ref(const Ref& o) : Ref(o.p) {}
  Ref& operator=(const Ref& o) {
    if (o.p) o.p->AddRef();
    if (p) p->Release();
    p = o.p;
    return *this;
  }
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

// ---- XML DOM -------------------------------------------------------------

class Node;
using NodeRef = Ref<Node>;

class Node final : public Object<Node, abi::IXmlNode, abi::IXmlElement, abi::IXmlText, abi::IXmlAttribute> {
 public:
  enum Kind { kElement, kText, kAttribute };
  Node(Kind kind, std::wstring name) : kind_(kind), name_(std::move(name)) {}

  Kind kind() const { return kind_; }
  const std::wstring& name() const { return name_; }
  std::wstring value() const {  // text data, or an attribute's text children
    if (kind_ == kText) return name_;
    std::wstring v;
    for (const NodeRef& c : children_) v += c->value();
    return v;
  }
  NodeRef Attribute(const std::wstring& name) const {
    for (const NodeRef& a : attributes_) {
      if (a->name_ == name) return a;
    }
    return {};
  }
  void PutAttribute(const NodeRef& attribute, NodeRef* previous) {
    for (NodeRef& a : attributes_) {
      if (a->name_ == attribute->name_) {
        if (previous) *previous = a;
        a = attribute;
        return;
      }
    }
    attributes_.push_back(attribute);
  }
  void Collect(const std::wstring& tag, std::vector<NodeRef>& found) {
    for (NodeRef& c : children_) {
      if (c->kind_ != kElement) continue;
      if (c->name_ == tag) found.push_back(c);
      c->Collect(tag, found);
    }
  }
  void Write(std::wstring& out) const {
    if (kind_ == kText) {
      Escape(name_, out);
      return;
    }
    out += L"<" + name_;
    for (const NodeRef& a : attributes_) {
      out += L" " + a->name_ + L"=\"";
      Escape(a->value(), out);
      out += L"\"";
    }
    if (children_.empty()) {
      out += L"/>";
      return;
    }
    out += L">";
    for (const NodeRef& c : children_) c->Write(out);
    out += L"</" + name_ + L">";
  }
  void Append(const NodeRef& child) {
    child->parent_ = this;
    children_.push_back(child);
  }

  // IXmlNode
  HRESULT STDMETHODCALLTYPE get_NodeValue(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NodeValue(IInspectable*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NodeType(INT32* type) override {
    *type = kind_ == kElement ? 1 : kind_ == kAttribute ? 2 : 3;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NodeName(HSTRING* name) override {
    return ::WindowsCreateString(name_.c_str(), static_cast<UINT32>(name_.size()), name);
  }
  HRESULT STDMETHODCALLTYPE get_ParentNode(abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ChildNodes(abi::IXmlNodeList**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FirstChild(abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastChild(abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PreviousSibling(abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NextSibling(abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(abi::IXmlNamedNodeMap** attributes) override;
  HRESULT STDMETHODCALLTYPE HasChildNodes(boolean* has) override {
    *has = !children_.empty();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_OwnerDocument(abi::IXmlDocument**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InsertBefore(abi::IXmlNode*, abi::IXmlNode*, abi::IXmlNode**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ReplaceChild(abi::IXmlNode*, abi::IXmlNode*, abi::IXmlNode**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveChild(abi::IXmlNode*, abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AppendChild(abi::IXmlNode* child, abi::IXmlNode** appended) override {
    if (child == nullptr || appended == nullptr) return E_POINTER;
    Node* node = static_cast<Node*>(child);  // only this file's nodes reach here
    // Elements take elements and text; attributes take text, which becomes
    // their value.
    if (kind_ == kText || node->kind_ == kAttribute || (kind_ == kAttribute && node->kind_ != kText)) {
      return E_INVALIDARG;
    }
    if (node->parent_ != nullptr) return E_INVALIDARG;  // never re-parented by the toast manager
    Append(NodeRef(node));
    *appended = child;
    child->AddRef();
    return S_OK;
  }

  // IXmlElement
  HRESULT STDMETHODCALLTYPE get_TagName(HSTRING* name) override { return get_NodeName(name); }
  HRESULT STDMETHODCALLTYPE GetAttribute(HSTRING name, HSTRING* value) override {
    NodeRef a = Attribute(Text(name));
    const std::wstring v = a.p ? a->value() : std::wstring();
    return ::WindowsCreateString(v.c_str(), static_cast<UINT32>(v.size()), value);
  }
  HRESULT STDMETHODCALLTYPE SetAttribute(HSTRING name, HSTRING value) override {
    NodeRef attribute(new Node(kAttribute, Text(name)), false);
    attribute->Append(NodeRef(new Node(kText, Text(value)), false));
    PutAttribute(attribute, nullptr);
    return S_OK;
  }

 protected:
  bool Answers(REFIID iid) override {
    if (iid == __uuidof(abi::IXmlElement)) return kind_ == kElement;
    if (iid == __uuidof(abi::IXmlText)) return kind_ == kText;
    if (iid == __uuidof(abi::IXmlAttribute)) return kind_ == kAttribute;
    return true;
  }

 private:
  static void Escape(const std::wstring& text, std::wstring& out) {
    for (wchar_t c : text) {
      switch (c) {
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'&': out += L"&amp;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c;
      }
    }
  }

  Kind kind_;
  std::wstring name_;  // tag, attribute name, or a text node's data
  Node* parent_ = nullptr;
  std::vector<NodeRef> children_;
  std::vector<NodeRef> attributes_;
};

class NodeList final : public Object<NodeList, abi::IXmlNodeList> {
 public:
  explicit NodeList(std::vector<NodeRef> nodes) : nodes_(std::move(nodes)) {}
  HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) override {
    *length = static_cast<UINT32>(nodes_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(UINT32 index, abi::IXmlNode** node) override {
    if (index >= nodes_.size()) {
      *node = nullptr;
      return S_OK;  // the platform answers a null node past the end
    }
    *node = nodes_[index].p;
    (*node)->AddRef();
    return S_OK;
  }

 private:
  std::vector<NodeRef> nodes_;
};

class AttributeMap final : public Object<AttributeMap, abi::IXmlNamedNodeMap> {
 public:
  explicit AttributeMap(Node* owner) : owner_(owner) {}
  HRESULT STDMETHODCALLTYPE get_Length(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Item(UINT32, abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNamedItem(HSTRING name, abi::IXmlNode** node) override {
    NodeRef a = owner_->Attribute(Text(name));
    *node = a.p;
    if (a.p) a->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetNamedItem(abi::IXmlNode* node, abi::IXmlNode** previous) override {
    Node* attribute = static_cast<Node*>(node);
    if (attribute->kind() != Node::kAttribute) return E_INVALIDARG;
    NodeRef old;
    owner_->PutAttribute(NodeRef(attribute), &old);
    *previous = old.p;
    if (old.p) old->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RemoveNamedItem(HSTRING, abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNamedItemNS(IInspectable*, HSTRING, abi::IXmlNode**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveNamedItemNS(IInspectable*, HSTRING, abi::IXmlNode**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetNamedItemNS(abi::IXmlNode*, abi::IXmlNode**) override { return E_NOTIMPL; }

 private:
  NodeRef owner_;
};

HRESULT Node::get_Attributes(abi::IXmlNamedNodeMap** attributes) {
  if (kind_ != kElement) {
    *attributes = nullptr;
    return S_OK;
  }
  *attributes = new AttributeMap(this);
  return S_OK;
}

class Document final : public Object<Document, abi::IXmlDocument> {
 public:
  explicit Document(NodeRef root) : root_(std::move(root)) {}
  std::wstring Xml() const {
    std::wstring out;
    root_->Write(out);
    return out;
  }

  HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DocumentElement(abi::IXmlElement** element) override {
    *element = root_.p;
    root_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateElement(HSTRING tag, abi::IXmlElement** element) override {
    *element = new Node(Node::kElement, Text(tag));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING data, abi::IXmlText** text) override {
    *text = new Node(Node::kText, Text(data));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateComment(HSTRING, IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateProcessingInstruction(HSTRING, HSTRING, IInspectable**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateAttribute(HSTRING name, abi::IXmlAttribute** attribute) override {
    *attribute = new Node(Node::kAttribute, Text(name));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateEntityReference(HSTRING, IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetElementsByTagName(HSTRING tag, abi::IXmlNodeList** elements) override {
    std::vector<NodeRef> found;
    const std::wstring name = Text(tag);
    if (root_->name() == name) found.push_back(root_);
    root_->Collect(name, found);
    *elements = new NodeList(std::move(found));
    return S_OK;
  }

 private:
  NodeRef root_;
};

NodeRef Element(const wchar_t* tag, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes) {
  NodeRef e(new Node(Node::kElement, tag), false);
  for (const auto& [name, value] : attributes) {
    NodeRef a(new Node(Node::kAttribute, name), false);
    if (*value != L'\0') a->Append(NodeRef(new Node(Node::kText, value), false));
    e->PutAttribute(a, nullptr);
  }
  return e;
}

// The platform's predefined templates, ToastImageAndText01-04 (0-3) and
// ToastText01-04 (4-7): an image for the first four, then their text lines.
HRESULT TemplateContent(INT32 type, abi::IXmlDocument** content) {
  static const wchar_t* const kNames[] = {L"ToastImageAndText01", L"ToastImageAndText02", L"ToastImageAndText03",
                                          L"ToastImageAndText04", L"ToastText01",         L"ToastText02",
                                          L"ToastText03",         L"ToastText04"};
  static const int kLines[] = {1, 2, 2, 3, 1, 2, 2, 3};
  if (type < 0 || type > 7) return E_INVALIDARG;
  NodeRef toast = Element(L"toast", {});
  NodeRef visual = Element(L"visual", {});
  NodeRef binding = Element(L"binding", {{L"template", kNames[type]}});
  if (type < 4) binding->Append(Element(L"image", {{L"id", L"1"}, {L"src", L""}}));
  for (int i = 1; i <= kLines[type]; ++i) {
    const std::wstring id = std::to_wstring(i);
    binding->Append(Element(L"text", {{L"id", id.c_str()}}));
  }
  visual->Append(binding);
  toast->Append(visual);
  *content = new Document(toast);
  return S_OK;
}

// ---- notifications ---------------------------------------------------------

class Notification;

struct Shown {
  Ref<Notification> notification;
  std::wstring xml;
  std::wstring app_id;
};

std::mutex g_lock;
std::vector<Shown> g_shown;
int g_hidden = 0;
bool g_refuse = false;

void Record(const Shown& shown) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kToastStandInKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  const auto put = [&](const wchar_t* name, const std::wstring& v) {
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                     static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
  };
  put(L"Shown", shown.xml);
  put(L"AppId", shown.app_id);
  ::RegCloseKey(key);
}

class Notification final : public Object<Notification, abi::IToastNotification> {
 public:
  explicit Notification(Ref<Document> content) : content_(std::move(content)) {}

  std::wstring Xml() const { return content_->Xml(); }
  std::int64_t Expiration() {
    std::lock_guard lock(lock_);
    if (!expiration_.p) return -1;
    abi::DateTime value{};
    return SUCCEEDED(expiration_->get_Value(&value)) ? value.universal_time : -1;
  }
  int HandlerCount() {
    std::lock_guard lock(lock_);
    return static_cast<int>(handlers_.size());
  }
  std::vector<Ref<IUnknown>> Handlers(int kind) {
    std::lock_guard lock(lock_);
    std::vector<Ref<IUnknown>> found;
    for (const Handler& h : handlers_) {
      if (h.kind == kind) found.push_back(h.delegate);
    }
    return found;
  }

  HRESULT STDMETHODCALLTYPE get_Content(abi::IXmlDocument** content) override {
    *content = content_.p;
    content_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ExpirationTime(abi::IDateTimeReference* value) override {
    std::lock_guard lock(lock_);
    expiration_ = Ref<abi::IDateTimeReference>(value);  // kept, as the platform keeps it
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ExpirationTime(abi::IDateTimeReference**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE add_Dismissed(abi::IDismissedHandler* h, EventRegistrationToken* token) override {
    return Add(kStandInDismissed, h, token);
  }
  HRESULT STDMETHODCALLTYPE remove_Dismissed(EventRegistrationToken token) override { return Remove(token); }
  HRESULT STDMETHODCALLTYPE add_Activated(abi::IActivatedHandler* h, EventRegistrationToken* token) override {
    return Add(kStandInActivated, h, token);
  }
  HRESULT STDMETHODCALLTYPE remove_Activated(EventRegistrationToken token) override { return Remove(token); }
  HRESULT STDMETHODCALLTYPE add_Failed(abi::IFailedHandler* h, EventRegistrationToken* token) override {
    return Add(kStandInFailed, h, token);
  }
  HRESULT STDMETHODCALLTYPE remove_Failed(EventRegistrationToken token) override { return Remove(token); }

 private:
  struct Handler {
    int kind;
    std::int64_t token;
    Ref<IUnknown> delegate;
  };
  HRESULT Add(int kind, IUnknown* delegate, EventRegistrationToken* token) {
    if (delegate == nullptr || token == nullptr) return E_POINTER;
    std::lock_guard lock(lock_);
    token->value = ++next_token_;
    handlers_.push_back({kind, token->value, Ref<IUnknown>(delegate)});
    return S_OK;
  }
  HRESULT Remove(EventRegistrationToken token) {
    std::lock_guard lock(lock_);
    std::erase_if(handlers_, [&](const Handler& h) { return h.token == token.value; });
    return S_OK;
  }

  std::mutex lock_;
  Ref<Document> content_;
  Ref<abi::IDateTimeReference> expiration_;
  std::vector<Handler> handlers_;
  std::int64_t next_token_ = 0;
};

class ActivatedArgs final : public Object<ActivatedArgs, abi::IToastActivatedEventArgs> {
 public:
  explicit ActivatedArgs(std::wstring arguments) : arguments_(std::move(arguments)) {}
  HRESULT STDMETHODCALLTYPE get_Arguments(HSTRING* arguments) override {
    return ::WindowsCreateString(arguments_.c_str(), static_cast<UINT32>(arguments_.size()), arguments);
  }

 private:
  std::wstring arguments_;
};

class DismissedArgs final : public Object<DismissedArgs, abi::IToastDismissedEventArgs> {
 public:
  explicit DismissedArgs(int reason) : reason_(reason) {}
  HRESULT STDMETHODCALLTYPE get_Reason(INT32* reason) override {
    *reason = reason_;
    return S_OK;
  }

 private:
  int reason_;
};

HRESULT Invoke(Notification* sender, int kind, const wchar_t* arguments, int reason) {
  HRESULT result = S_OK;
  for (const Ref<IUnknown>& d : sender->Handlers(kind)) {
    HRESULT hr = S_OK;
    if (kind == kStandInActivated) {
      // An activation without arguments carries no activated-event arguments.
      Ref<ActivatedArgs> args(arguments ? new ActivatedArgs(arguments) : nullptr, false);
      hr = static_cast<abi::IActivatedHandler*>(d.p)->Invoke(sender, args.p);
    } else if (kind == kStandInDismissed) {
      Ref<DismissedArgs> args(new DismissedArgs(reason), false);
      hr = static_cast<abi::IDismissedHandler*>(d.p)->Invoke(sender, args.p);
    } else {
      hr = static_cast<abi::IFailedHandler*>(d.p)->Invoke(sender, nullptr);
    }
    if (FAILED(hr)) result = hr;
  }
  return result;
}

class Notifier final : public Object<Notifier, abi::IToastNotifier> {
 public:
  explicit Notifier(std::wstring app_id) : app_id_(std::move(app_id)) {}
  HRESULT STDMETHODCALLTYPE Show(abi::IToastNotification* n) override {
    if (n == nullptr) return E_POINTER;
    auto* notification = static_cast<Notification*>(n);
    Shown shown{Ref<Notification>(notification), notification->Xml(), app_id_};
    std::lock_guard lock(g_lock);
    g_shown.push_back(shown);
    if (g_refuse) return E_FAIL;
    Record(shown);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Hide(abi::IToastNotification* n) override {
    if (n == nullptr) return E_POINTER;
    {
      std::lock_guard lock(g_lock);
      ++g_hidden;
    }
    // As the platform does, a hidden toast reports its dismissal; here at
    // once, on the caller's thread.
    Invoke(static_cast<Notification*>(n), kStandInDismissed, nullptr, 1);
    return S_OK;
  }

 private:
  std::wstring app_id_;
};

class ManagerFactory final
    : public Object<ManagerFactory, IActivationFactory, abi::IToastNotificationManagerStatics> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateToastNotifier(abi::IToastNotifier**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING app_id, abi::IToastNotifier** notifier) override {
    *notifier = new Notifier(Text(app_id));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTemplateContent(INT32 type, abi::IXmlDocument** content) override {
    return TemplateContent(type, content);
  }
};

class NotificationFactory final
    : public Object<NotificationFactory, IActivationFactory, abi::IToastNotificationFactory> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateToastNotification(abi::IXmlDocument* content,
                                                    abi::IToastNotification** notification) override {
    if (content == nullptr) return E_POINTER;
    *notification = new Notification(Ref<Document>(static_cast<Document*>(content)));
    return S_OK;
  }
};

Ref<Notification> ShownAt(int index) {
  std::lock_guard lock(g_lock);
  if (index < 0 || index >= static_cast<int>(g_shown.size())) return {};
  return g_shown[index].notification;
}

int CopyOut(const std::wstring& text, wchar_t* buffer, int size) {
  if (buffer != nullptr && size > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.c_str(), n, buffer);
    buffer[n] = L'\0';
  }
  return static_cast<int>(text.size());
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllGetActivationFactory(HSTRING class_id, IActivationFactory** factory) {
  if (factory == nullptr) return E_POINTER;
  const std::wstring name = Text(class_id);
  if (name == ToastLib::abi::kToastManagerClass) {
    *factory = new ManagerFactory;
  } else if (name == ToastLib::abi::kToastNotificationClass) {
    *factory = new NotificationFactory;
  } else {
    *factory = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

__declspec(dllexport) void ToastStandInReset() {
  std::vector<Shown> old;
  std::lock_guard lock(g_lock);
  old.swap(g_shown);
  g_hidden = 0;
  g_refuse = false;
}

__declspec(dllexport) int ToastStandInShownCount() {
  std::lock_guard lock(g_lock);
  return static_cast<int>(g_shown.size());
}

__declspec(dllexport) int ToastStandInShownXml(int index, wchar_t* buffer, int size) {
  std::lock_guard lock(g_lock);
  if (index < 0 || index >= static_cast<int>(g_shown.size())) return -1;
  return CopyOut(g_shown[index].xml, buffer, size);
}

__declspec(dllexport) int ToastStandInDocumentXml(IUnknown* document, wchar_t* buffer, int size) {
  if (document == nullptr) return -1;
  return CopyOut(static_cast<Document*>(static_cast<abi::IXmlDocument*>(document))->Xml(), buffer, size);
}

__declspec(dllexport) int ToastStandInShownAppId(int index, wchar_t* buffer, int size) {
  std::lock_guard lock(g_lock);
  if (index < 0 || index >= static_cast<int>(g_shown.size())) return -1;
  return CopyOut(g_shown[index].app_id, buffer, size);
}

__declspec(dllexport) std::int64_t ToastStandInExpiration(int index) {
  Ref<Notification> n = ShownAt(index);
  return n.p ? n->Expiration() : -1;
}

__declspec(dllexport) int ToastStandInHandlerCount(int index) {
  Ref<Notification> n = ShownAt(index);
  return n.p ? n->HandlerCount() : -1;
}

__declspec(dllexport) int ToastStandInHiddenCount() {
  std::lock_guard lock(g_lock);
  return g_hidden;
}

__declspec(dllexport) void ToastStandInRefuseShow(int refuse) {
  std::lock_guard lock(g_lock);
  g_refuse = refuse != 0;
}

__declspec(dllexport) HRESULT ToastStandInFire(int index, int kind, const wchar_t* arguments, int reason) {
  Ref<Notification> n = ShownAt(index);
  if (!n.p) return E_INVALIDARG;
  const std::wstring text = arguments ? arguments : L"";
  HRESULT hr = S_OK;
  std::thread platform([&] { hr = Invoke(n.p, kind, arguments ? text.c_str() : nullptr, reason); });
  platform.join();
  return hr;
}

}  // extern "C"
