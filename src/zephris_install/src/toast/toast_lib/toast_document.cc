#include "src/zephris_install/src/toast/toast_lib/toast_document.h"

#include <string>
#include <vector>

#include "src/zephris_install/src/toast/toast_lib/toast_apis.h"
#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"

namespace ToastLib {

namespace {

using abi::IXmlDocument;
using abi::IXmlElement;
using abi::IXmlNode;
using abi::IXmlNodeList;
using base::ScopedComPtr;

template <typename To, typename From>
HRESULT As(From* from, ScopedComPtr<To>& to) {
  if (from == nullptr) return E_POINTER;
  return from->QueryInterface(__uuidof(To), reinterpret_cast<void**>(to.Receive()));
}

HRESULT ElementsByTag(IXmlDocument* document, std::wstring_view tag, ScopedComPtr<IXmlNodeList>& list) {
  return WithString(tag, [&](HSTRING name) { return document->GetElementsByTagName(name, list.Receive()); });
}

// The index-th element named `tag`, in document order. A document without
// it fails the step rather than handing on a null node.
HRESULT ElementAt(IXmlDocument* document, std::wstring_view tag, UINT32 index, ScopedComPtr<IXmlNode>& node) {
  ScopedComPtr<IXmlNodeList> list;
  HRESULT hr = ElementsByTag(document, tag, list);
  if (FAILED(hr)) return hr;
  UINT32 length = 0;
  hr = list.Get()->get_Length(&length);
  if (FAILED(hr)) return hr;
  if (index >= length) return E_INVALIDARG;
  hr = list.Get()->Item(index, node.Receive());
  if (SUCCEEDED(hr) && !node) hr = E_POINTER;
  return hr;
}

HRESULT SetAttribute(IXmlNode* node, std::wstring_view name, std::wstring_view value) {
  ScopedComPtr<IXmlElement> element;
  HRESULT hr = As(node, element);
  if (FAILED(hr)) return hr;
  return WithString(name, [&](HSTRING n) {
    return WithString(value, [&](HSTRING v) { return element.Get()->SetAttribute(n, v); });
  });
}

HRESULT SetFirstAttribute(IXmlDocument* document, std::wstring_view tag, std::wstring_view name,
                          std::wstring_view value) {
  ScopedComPtr<IXmlNode> node;
  HRESULT hr = ElementAt(document, tag, 0, node);
  if (FAILED(hr)) return hr;
  return SetAttribute(node.Get(), name, value);
}

HRESULT CreateElement(IXmlDocument* document, std::wstring_view tag, ScopedComPtr<IXmlNode>& node) {
  ScopedComPtr<IXmlElement> element;
  HRESULT hr = WithString(tag, [&](HSTRING t) { return document->CreateElement(t, element.Receive()); });
  if (FAILED(hr)) return hr;
  return As(element.Get(), node);
}

HRESULT Append(IXmlNode* parent, IXmlNode* child) {
  ScopedComPtr<IXmlNode> appended;
  return parent->AppendChild(child, appended.Receive());
}

HRESULT NamedItem(IXmlNode* node, std::wstring_view name, ScopedComPtr<IXmlNode>& item) {
  ScopedComPtr<abi::IXmlNamedNodeMap> attributes;
  HRESULT hr = node->get_Attributes(attributes.Receive());
  if (FAILED(hr)) return hr;
  if (!attributes) return E_POINTER;
  return WithString(name, [&](HSTRING n) { return attributes.Get()->GetNamedItem(n, item.Receive()); });
}

}  // namespace

OsVersion GetRealOsVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return {};
  auto rtl_get_version =
      reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtl_get_version == nullptr) return {};
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (rtl_get_version(&info) != 0) return {};
  return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

HRESULT XmlAppendText(std::wstring_view text, IXmlNode* node, IXmlDocument* document) {
  ScopedComPtr<abi::IXmlText> text_node;
  HRESULT hr = WithString(text, [&](HSTRING t) { return document->CreateTextNode(t, text_node.Receive()); });
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> as_node;
  hr = As(text_node.Get(), as_node);
  if (FAILED(hr)) return hr;
  return Append(node, as_node.Get());
}

HRESULT XmlAddAttribute(std::wstring_view name, abi::IXmlNamedNodeMap* attributes, IXmlDocument* document) {
  ScopedComPtr<abi::IXmlAttribute> attribute;
  HRESULT hr = WithString(name, [&](HSTRING n) { return document->CreateAttribute(n, attribute.Receive()); });
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> as_node;
  hr = As(attribute.Get(), as_node);
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> previous;
  return attributes->SetNamedItem(as_node.Get(), previous.Receive());
}

HRESULT ToastManager::setBindingTemplate(IXmlDocument* document) {
  return SetFirstAttribute(document, L"binding", L"template", L"ToastGeneric");
}

HRESULT ToastManager::setTextField(std::wstring_view text, std::uint32_t index, IXmlDocument* document) {
  ScopedComPtr<IXmlNode> node;
  HRESULT hr = ElementAt(document, L"text", index, node);
  if (FAILED(hr)) return hr;
  return XmlAppendText(text, node.Get(), document);
}

HRESULT ToastManager::setAttributionText(std::wstring_view text, IXmlDocument* document) {
  ScopedComPtr<IXmlNode> binding;
  HRESULT hr = ElementAt(document, L"binding", 0, binding);
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> line;
  hr = CreateElement(document, L"text", line);
  if (FAILED(hr)) return hr;
  hr = Append(binding.Get(), line.Get());
  if (FAILED(hr)) return hr;
  ScopedComPtr<abi::IXmlNamedNodeMap> attributes;
  hr = line.Get()->get_Attributes(attributes.Receive());
  if (FAILED(hr)) return hr;
  if (!attributes) return E_POINTER;
  hr = XmlAddAttribute(L"placement", attributes.Get(), document);
  if (FAILED(hr)) return hr;

  ScopedComPtr<IXmlNodeList> lines;
  hr = ElementsByTag(document, L"text", lines);
  if (FAILED(hr)) return hr;
  UINT32 length = 0;
  hr = lines.Get()->get_Length(&length);
  if (FAILED(hr)) return hr;
  for (UINT32 i = 0; i < length; ++i) {
    ScopedComPtr<IXmlNode> candidate;
    hr = lines.Get()->Item(i, candidate.Receive());
    if (FAILED(hr)) return hr;
    if (!candidate) continue;
    ScopedComPtr<IXmlNode> placement;
    if (FAILED(NamedItem(candidate.Get(), L"placement", placement)) || !placement) continue;
    hr = XmlAppendText(L"attribution", placement.Get(), document);
    if (FAILED(hr)) return hr;
    return setTextField(text, i, document);
  }
  return S_OK;
}

HRESULT ToastManager::addAction(std::wstring_view label, std::wstring_view arguments, IXmlDocument* document) {
  ScopedComPtr<IXmlNodeList> lists;
  HRESULT hr = ElementsByTag(document, L"actions", lists);
  if (FAILED(hr)) return hr;
  UINT32 length = 0;
  hr = lists.Get()->get_Length(&length);
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> actions;
  if (length > 0) {
    hr = lists.Get()->Item(0, actions.Receive());
    if (FAILED(hr)) return hr;
    if (!actions) return E_POINTER;
  } else {
    ScopedComPtr<IXmlNode> toast;
    hr = ElementAt(document, L"toast", 0, toast);
    if (FAILED(hr)) return hr;
    hr = SetAttribute(toast.Get(), L"template", L"ToastGeneric");
    if (FAILED(hr)) return hr;
    hr = SetAttribute(toast.Get(), L"duration", L"long");
    if (FAILED(hr)) return hr;
    hr = CreateElement(document, L"actions", actions);
    if (FAILED(hr)) return hr;
    hr = Append(toast.Get(), actions.Get());
    if (FAILED(hr)) return hr;
  }
  ScopedComPtr<IXmlNode> action;
  hr = CreateElement(document, L"action", action);
  if (FAILED(hr)) return hr;
  hr = SetAttribute(action.Get(), L"content", label);
  if (FAILED(hr)) return hr;
  hr = SetAttribute(action.Get(), L"arguments", arguments);
  if (FAILED(hr)) return hr;
  return Append(actions.Get(), action.Get());
}

HRESULT ToastManager::setAudioField(std::wstring_view path, std::int32_t option, IXmlDocument* document) {
  std::vector<std::wstring_view> names;
  if (!path.empty()) names.push_back(L"src");
  if (option == ToastTemplate::kAudioLoop) names.push_back(L"loop");
  if (option == ToastTemplate::kAudioSilent) names.push_back(L"silent");

  ScopedComPtr<IXmlNode> toast;
  HRESULT hr = ElementAt(document, L"toast", 0, toast);
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> audio;
  hr = CreateElement(document, L"audio", audio);
  if (FAILED(hr)) return hr;
  ScopedComPtr<abi::IXmlNamedNodeMap> attributes;
  hr = audio.Get()->get_Attributes(attributes.Receive());
  if (FAILED(hr)) return hr;
  if (!attributes) return E_POINTER;
  for (std::wstring_view name : names) {
    hr = XmlAddAttribute(name, attributes.Get(), document);
    if (FAILED(hr)) return hr;
  }
  hr = Append(toast.Get(), audio.Get());
  if (FAILED(hr)) return hr;

  ScopedComPtr<IXmlNode> first_audio;
  hr = ElementAt(document, L"audio", 0, first_audio);
  if (FAILED(hr)) return hr;
  const auto fill = [&](std::wstring_view name, std::wstring_view value) {
    ScopedComPtr<IXmlNode> attribute;
    HRESULT r = NamedItem(first_audio.Get(), name, attribute);
    if (FAILED(r)) return r;
    if (!attribute) return E_POINTER;
    return XmlAppendText(value, attribute.Get(), document);
  };
  if (!path.empty() && FAILED(hr = fill(L"src", path))) return hr;
  if (option == ToastTemplate::kAudioSilent) return fill(L"silent", L"true");
  if (option == ToastTemplate::kAudioLoop) return fill(L"loop", L"true");
  return S_OK;
}

HRESULT ToastManager::setDuration(std::wstring_view value, IXmlDocument* document) {
  return SetFirstAttribute(document, L"toast", L"duration", value);
}

HRESULT ToastManager::setScenario(std::wstring_view value, IXmlDocument* document) {
  return SetFirstAttribute(document, L"toast", L"scenario", value);
}

HRESULT ToastManager::setImageField(std::wstring_view path, bool generic, bool circle, IXmlDocument* document) {
  static constexpr std::wstring_view kScheme = L"file:///";
  if (kScheme.size() + path.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  const std::wstring source = std::wstring(kScheme) + std::wstring(path);

  ScopedComPtr<IXmlNode> image;
  HRESULT hr = ElementAt(document, L"image", 0, image);
  if (FAILED(hr)) return hr;
  if (generic) {
    hr = SetAttribute(image.Get(), L"placement", L"appLogoOverride");
    if (FAILED(hr)) return hr;
    if (circle) {
      hr = SetAttribute(image.Get(), L"hint-crop", L"circle");
      if (FAILED(hr)) return hr;
    }
  }
  ScopedComPtr<IXmlNode> src;
  hr = NamedItem(image.Get(), L"src", src);
  if (FAILED(hr)) return hr;
  if (!src) return E_POINTER;
  return XmlAppendText(source, src.Get(), document);
}

HRESULT ToastManager::setHeroImage(std::wstring_view path, bool inline_image, IXmlDocument* document) {
  ScopedComPtr<IXmlNode> binding;
  HRESULT hr = ElementAt(document, L"binding", 0, binding);
  if (FAILED(hr)) return hr;
  ScopedComPtr<IXmlNode> image;
  hr = CreateElement(document, L"image", image);
  if (FAILED(hr)) return hr;
  if (!inline_image) {
    hr = SetAttribute(image.Get(), L"placement", L"hero");
    if (FAILED(hr)) return hr;
  }
  hr = SetAttribute(image.Get(), L"src", path);
  if (FAILED(hr)) return hr;
  return Append(binding.Get(), image.Get());
}

HRESULT BuildToastDocument(abi::IToastNotificationManagerStatics* manager, const ToastTemplate& toast,
                           const OsVersion& os, IXmlDocument** document) {
  ScopedComPtr<IXmlDocument> doc;
  HRESULT hr = manager->GetTemplateContent(toast.template_type, doc.Receive());
  if (FAILED(hr)) return hr;
  if (!doc) return E_POINTER;
  IXmlDocument* d = doc.Get();

  if (toast.isGeneric() && FAILED(hr = ToastManager::setBindingTemplate(d))) return hr;
  for (std::size_t i = 0; i < toast.text_fields.size(); ++i) {
    hr = ToastManager::setTextField(toast.text_fields[i], static_cast<std::uint32_t>(i), d);
    if (FAILED(hr)) return hr;
  }
  if (os.major > 6) {
    if (!toast.attribution_text.empty() && FAILED(hr = ToastManager::setAttributionText(toast.attribution_text, d))) {
      return hr;
    }
    for (std::size_t i = 0; i < toast.action_labels.size(); ++i) {
      hr = ToastManager::addAction(toast.action_labels[i], std::to_wstring(i), d);
      if (FAILED(hr)) return hr;
    }
    if ((!toast.audio_path.empty() || toast.audio_option != ToastTemplate::kAudioDefault) &&
        FAILED(hr = ToastManager::setAudioField(toast.audio_path, toast.audio_option, d))) {
      return hr;
    }
    if (toast.duration != ToastTemplate::kDurationSystem &&
        FAILED(hr = ToastManager::setDuration(toast.duration == ToastTemplate::kDurationShort ? L"short" : L"long",
                                              d))) {
      return hr;
    }
    hr = ToastManager::setScenario(toast.scenario, d);
    if (FAILED(hr)) return hr;
  }
  const bool anniversary = os.build >= kAnniversaryBuild;
  if (toast.hasImage() &&
      FAILED(hr = ToastManager::setImageField(toast.image_path, toast.isGeneric(),
                                              anniversary && toast.crop_hint == ToastTemplate::kCropCircle, d))) {
    return hr;
  }
  if (anniversary && toast.hasHeroImage() &&
      FAILED(hr = ToastManager::setHeroImage(toast.hero_image_path, toast.inline_hero_image, d))) {
    return hr;
  }
  *document = doc.Take();
  return S_OK;
}

}  // namespace ToastLib
