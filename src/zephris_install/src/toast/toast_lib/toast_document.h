// Building a toast document: the platform's predefined template, edited
// through its XML DOM to carry what a ToastTemplate asks for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "src/zephris_install/src/toast/toast_lib/toast_template.h"
#include "src/zephris_install/src/toast/toast_lib/winrt_toast_abi.h"

namespace ToastLib {

struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

// The running system's version as the kernel reports it (no compatibility
// shims); all zeros when it cannot be had.
OsVersion GetRealOsVersion();

// The first build with hero images and the circle crop.
inline constexpr std::uint32_t kAnniversaryBuild = 14393;

// The document for `toast` on a system of version `os` (the features a system
// lacks are left out). Needs LoadToastApis.
HRESULT BuildToastDocument(abi::IToastNotificationManagerStatics* manager, const ToastTemplate& toast,
                           const OsVersion& os, abi::IXmlDocument** document);

// The two DOM routines the edits share.
HRESULT XmlAppendText(std::wstring_view text, abi::IXmlNode* node, abi::IXmlDocument* document);
HRESULT XmlAddAttribute(std::wstring_view name, abi::IXmlNamedNodeMap* attributes, abi::IXmlDocument* document);

}  // namespace ToastLib
