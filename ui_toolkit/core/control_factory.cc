#include "ui_toolkit/core/control_factory.h"

#include <cwchar>
#include <cwctype>
#include <new>

#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/check_box.h"
#include "ui_toolkit/controls/edit.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/controls/progress.h"
#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/horizontal_layout.h"
#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {
namespace {

std::wstring Lower(const wchar_t* text) {
  std::wstring s(text != nullptr ? text : L"");
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

template <typename T>
CControlUI* Create() {
  return new (std::nothrow) T();
}

}  // namespace

CControlFactory& CControlFactory::GetInstance() {
  static CControlFactory factory;
  return factory;
}

CControlFactory::CControlFactory() {
  RegisterControl(L"CControlUI", &Create<CControlUI>);
  RegisterControl(L"CContainerUI", &Create<CContainerUI>);
  RegisterControl(L"CButtonUI", &Create<CButtonUI>);
  RegisterControl(L"CEditUI", &Create<CEditUI>);
  RegisterControl(L"CLabelUI", &Create<CLabelUI>);
  RegisterControl(L"COptionUI", &Create<COptionUI>);
  RegisterControl(L"CCheckBoxUI", &Create<CCheckBoxUI>);
  RegisterControl(L"CProgressUI", &Create<CProgressUI>);
  RegisterControl(L"CRichEditUI", &Create<CRichEditUI>);
  RegisterControl(L"CHorizontalLayoutUI", &Create<CHorizontalLayoutUI>);
  RegisterControl(L"CVerticalLayoutUI", &Create<CVerticalLayoutUI>);
  // Short element names of the common containers.
  RegisterControl(L"CBoxUI", &Create<CContainerUI>);
  RegisterControl(L"CHBoxUI", &Create<CHorizontalLayoutUI>);
  RegisterControl(L"CVBoxUI", &Create<CVerticalLayoutUI>);
}

void CControlFactory::RegisterControl(const wchar_t* class_name, ControlCreator creator) {
  creators_.emplace(Lower(class_name), creator);
}

CControlUI* CControlFactory::CreateControl(const wchar_t* class_name) const {
  const auto it = creators_.find(Lower(class_name));
  return it != creators_.end() ? it->second() : nullptr;
}

}  // namespace SkinUI
