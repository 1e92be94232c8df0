#include "ui_toolkit/core/child_layout.h"

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "ui_toolkit/core/skin_builder.h"

namespace SkinUI {
namespace {

// Skin files whose child layouts are being built on this thread. A skin that
// names itself, directly or through others, would otherwise build forever.
std::vector<std::wstring>& SkinsInProgress() {
  thread_local std::vector<std::wstring> names;
  return names;
}

std::wstring Lower(const wchar_t* text) {
  std::wstring s(text);
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

}  // namespace

const wchar_t* CChildLayoutUI::GetClassName() const { return L"ChildLayoutUI"; }

void* CChildLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ChildLayout")) return static_cast<CChildLayoutUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

void CChildLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"xmlfile")) {
    SetChildLayoutXML(value);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CChildLayoutUI::Initialize() {
  if (skin_file_.IsEmpty()) return;
  std::vector<std::wstring>& in_progress = SkinsInProgress();
  const std::wstring key = Lower(skin_file_.GetData());
  if (std::find(in_progress.begin(), in_progress.end(), key) != in_progress.end()) {
    RemoveAll();
    return;
  }
  // The name stays marked until the content is attached, since attaching
  // initialises the child layouts inside it.
  in_progress.push_back(key);
  CControlUI* content = nullptr;
  {
    CUiSkinBuilder builder;
    content = builder.Create(skin_file_.GetData(), nullptr, nullptr, manager_, nullptr);
  }
  if (content != nullptr) {
    Add(content);
  } else {
    RemoveAll();
  }
  in_progress.pop_back();
}

}  // namespace SkinUI
