#include "ui_toolkit/core/control_factory.h"

#include <cwchar>
#include <cwctype>
#include <new>

#include "ui_toolkit/controls/activex.h"
#include "ui_toolkit/controls/animation_tab_layout.h"
#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/check_box.h"
#include "ui_toolkit/controls/combo.h"
#include "ui_toolkit/controls/combo_box.h"
#include "ui_toolkit/controls/color_palette.h"
#include "ui_toolkit/controls/date_time.h"
#include "ui_toolkit/controls/edit.h"
#include "ui_toolkit/controls/fade_button.h"
#include "ui_toolkit/controls/flash.h"
#include "ui_toolkit/controls/gif_anim.h"
#include "ui_toolkit/controls/group_box.h"
#include "ui_toolkit/controls/hot_key.h"
#include "ui_toolkit/controls/ip_address.h"
#include "ui_toolkit/controls/ip_address_ex.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_container_header_item.h"
#include "ui_toolkit/controls/list_elements.h"
#include "ui_toolkit/controls/list_ex.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/list_text_ext_element.h"
#include "ui_toolkit/controls/loading.h"
#include "ui_toolkit/controls/menu.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/controls/progress.h"
#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/controls/ring.h"
#include "ui_toolkit/controls/roll_text.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/controls/slider.h"
#include "ui_toolkit/controls/text.h"
#include "ui_toolkit/controls/tree_view.h"
#include "ui_toolkit/controls/web_browser.h"
#include "ui_toolkit/core/child_layout.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/horizontal_layout.h"
#include "ui_toolkit/core/tab_layout.h"
#include "ui_toolkit/core/tile_layout.h"
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
  RegisterControl(L"CListUI", &Create<CListUI>);
  RegisterControl(L"CListHeaderUI", &Create<CListHeaderUI>);
  RegisterControl(L"CListHeaderItemUI", &Create<CListHeaderItemUI>);
  RegisterControl(L"CListLabelElementUI", &Create<CListLabelElementUI>);
  RegisterControl(L"CListTextElementUI", &Create<CListTextElementUI>);
  RegisterControl(L"CListContainerElementUI", &Create<CListContainerElementUI>);
  RegisterControl(L"CListExUI", &Create<CListExUI>);
  RegisterControl(L"CListContainerHeaderItemUI", &Create<CListContainerHeaderItemUI>);
  RegisterControl(L"CListTextExtElementUI", &Create<CListTextExtElementUI>);
  RegisterControl(L"CTreeViewUI", &Create<CTreeViewUI>);
  RegisterControl(L"CTreeNodeUI", &Create<CTreeNodeUI>);
  RegisterControl(L"CRichEditUI", &Create<CRichEditUI>);
  RegisterControl(L"CComboUI", &Create<CComboUI>);
  RegisterControl(L"CComboBoxUI", &Create<CComboBoxUI>);
  RegisterControl(L"CMenuUI", &Create<CMenuUI>);
  RegisterControl(L"CMenuElementUI", &Create<CMenuElementUI>);
  RegisterControl(L"CScrollBarUI", &Create<CScrollBarUI>);
  RegisterControl(L"CTextUI", &Create<CTextUI>);
  RegisterControl(L"CSliderUI", &Create<CSliderUI>);
  RegisterControl(L"CGifAnimUI", &Create<CGifAnimUI>);
  RegisterControl(L"CGroupBoxUI", &Create<CGroupBoxUI>);
  RegisterControl(L"CRollTextUI", &Create<CRollTextUI>);
  RegisterControl(L"CColorPaletteUI", &Create<CColorPaletteUI>);
  RegisterControl(L"CDateTimeUI", &Create<CDateTimeUI>);
  RegisterControl(L"CIPAddressUI", &Create<CIPAddressUI>);
  RegisterControl(L"CIPAddressExUI", &Create<CIPAddressExUI>);
  RegisterControl(L"CActiveXUI", &Create<CActiveXUI>);
  RegisterControl(L"CWebBrowserUI", &Create<CWebBrowserUI>);
  RegisterControl(L"CFlashUI", &Create<CFlashUI>);
  RegisterControl(L"CRingUI", &Create<CRingUI>);
  RegisterControl(L"CLoadingUI", &Create<CLoadingUI>);
  RegisterControl(L"CHotKeyUI", &Create<CHotKeyUI>);
  RegisterControl(L"CFadeButtonUI", &Create<CFadeButtonUI>);
  RegisterControl(L"CHorizontalLayoutUI", &Create<CHorizontalLayoutUI>);
  RegisterControl(L"CVerticalLayoutUI", &Create<CVerticalLayoutUI>);
  RegisterControl(L"CTileLayoutUI", &Create<CTileLayoutUI>);
  RegisterControl(L"CTabLayoutUI", &Create<CTabLayoutUI>);
  RegisterControl(L"CChildLayoutUI", &Create<CChildLayoutUI>);
  RegisterControl(L"CAnimationTabLayoutUI", &Create<CAnimationTabLayoutUI>);
  // Short element names of the common containers.
  RegisterControl(L"CBoxUI", &Create<CContainerUI>);
  RegisterControl(L"CHBoxUI", &Create<CHorizontalLayoutUI>);
  RegisterControl(L"CVBoxUI", &Create<CVerticalLayoutUI>);
  RegisterControl(L"CTabBoxUI", &Create<CTabLayoutUI>);
  RegisterControl(L"CTileBoxUI", &Create<CTileLayoutUI>);
  RegisterControl(L"CChildBoxUI", &Create<CChildLayoutUI>);
}

void CControlFactory::RegisterControl(const wchar_t* class_name, ControlCreator creator) {
  creators_.emplace(Lower(class_name), creator);
}

CControlUI* CControlFactory::CreateControl(const wchar_t* class_name) const {
  const auto it = creators_.find(Lower(class_name));
  return it != creators_.end() ? it->second() : nullptr;
}

}  // namespace SkinUI
