#include "ui_toolkit/core/skin_builder.h"

#include <cwchar>

#include "ui_toolkit/controls/tree_view.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/control_factory.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {
namespace {

// Skins nest a few dozen levels at most; the bounds keep a hostile skin (a
// very deep tree, an Include that names itself) from exhausting the stack.
constexpr int kMaxControlDepth = 256;
constexpr int kMaxIncludeDepth = 8;

bool IsResourceElement(const wchar_t* name) {
  return attr::Equals(name, L"Image") || attr::Equals(name, L"Font") || attr::Equals(name, L"Default") ||
         attr::Equals(name, L"Style") || attr::Equals(name, L"Import");
}

// The attribute of |node| named |name| (ignoring case), or null.
const wchar_t* Attribute(CUiXmlNode& node, const wchar_t* name) {
  const int count = node.GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    if (attr::Equals(node.GetAttributeName(i), name)) return node.GetAttributeValue(i);
  }
  return nullptr;
}

}  // namespace

CControlUI* CUiSkinBuilder::Create(const wchar_t* skin, const wchar_t* type, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  if (skin == nullptr) return nullptr;
  if (!IS_INTRESOURCE(skin)) {
    if (skin[0] != L'<') {
      const wchar_t* mapped = CTextResourceManager::GetInstance().GetSkinFile(skin);
      if (mapped != nullptr && mapped[0] != L'\0') skin = mapped;
    }
    const bool loaded = skin[0] == L'<' ? document_.Load(skin) : document_.LoadFromFile(skin, 0);
    if (!loaded) return nullptr;
  } else {
    const HMODULE module = module_ != nullptr ? module_ : CPaintManagerUI::GetResourceInstance();
    const HRSRC resource = ::FindResourceW(module, skin, type);
    if (resource == nullptr) return nullptr;
    const HGLOBAL loaded = ::LoadResource(module, resource);
    if (loaded == nullptr) return nullptr;
    const void* bytes = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(module, resource);
    if (bytes == nullptr || size == 0) return nullptr;
    if (!document_.LoadFromMem(static_cast<const unsigned char*>(bytes), size, 0)) return nullptr;
    type_ = type;
  }
  return CreateFromDocument(callback, manager, parent);
}

CControlUI* CUiSkinBuilder::CreateFromDocument(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                               CControlUI* parent) {
  callback_ = callback;
  CUiXmlNode root = document_.GetRoot();
  if (!root.IsValid()) return nullptr;
  if (manager != nullptr) {
    RegisterResources(root, manager);
    if (attr::Equals(root.GetName(), L"Window") && manager->GetPaintWindow() != nullptr) {
      ApplyWindowAttributes(root, manager);
    }
  }
  return ParseControls(root, parent, manager, 0);
}

void CUiSkinBuilder::RegisterResources(CUiXmlNode root, CPaintManagerUI* manager) {
  for (CUiXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
    const wchar_t* element = node.GetName();
    if (attr::Equals(element, L"Image")) {
      const wchar_t* name = Attribute(node, L"name");
      if (name == nullptr) continue;
      const wchar_t* type = Attribute(node, L"restype");
      const DWORD mask = attr::ParseColor(Attribute(node, L"mask"));
      manager->AddImage(name, type, mask, false, false, attr::IsTrue(Attribute(node, L"shared")));
    } else if (attr::Equals(element, L"Font")) {
      const wchar_t* id_text = Attribute(node, L"id");
      const int id = id_text != nullptr ? attr::ParseInt(id_text) : -1;
      if (id < 0) continue;
      const wchar_t* face = Attribute(node, L"name");
      const wchar_t* size_text = Attribute(node, L"size");
      const int size = size_text != nullptr ? attr::ParseInt(size_text) : 12;
      const bool bold = attr::IsTrue(Attribute(node, L"bold"));
      const bool underline = attr::IsTrue(Attribute(node, L"underline"));
      const bool italic = attr::IsTrue(Attribute(node, L"italic"));
      const bool shared = attr::IsTrue(Attribute(node, L"shared"));
      manager->AddFont(id, face, size, bold, underline, italic, shared);
      if (attr::IsTrue(Attribute(node, L"default"))) {
        manager->SetDefaultFont(face, size, bold, underline, italic, shared);
      }
    } else if (attr::Equals(element, L"Default")) {
      const wchar_t* name = Attribute(node, L"name");
      const wchar_t* value = Attribute(node, L"value");
      if (name != nullptr) {
        manager->AddDefaultAttributes(name, value != nullptr ? value : L"", attr::IsTrue(Attribute(node, L"shared")));
      }
    } else if (attr::Equals(element, L"Style")) {
      const wchar_t* name = Attribute(node, L"name");
      const wchar_t* value = Attribute(node, L"value");
      if (name != nullptr) manager->AddStyle(name, value != nullptr ? value : L"", attr::IsTrue(Attribute(node, L"shared")));
    } else if (attr::Equals(element, L"Import")) {
      const wchar_t* file = Attribute(node, L"fontfile");
      if (file != nullptr) manager->AddFontFile(file);
    }
  }
}

void CUiSkinBuilder::ApplyWindowAttributes(CUiXmlNode root, CPaintManagerUI* manager) {
  using attr::Equals;
  const int count = root.GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    const wchar_t* name = root.GetAttributeName(i);
    const wchar_t* value = root.GetAttributeValue(i);
    if (Equals(name, L"size")) {
      const SIZE s = attr::ParseSize(value);
      CDpiHelperUI* dpi = manager->GetDpiHelper();
      manager->SetInitialSize(dpi->Scale(s.cx), dpi->Scale(s.cy));
    } else if (Equals(name, L"sizebox")) {
      manager->SetSizeBox(attr::ParseRect(value));
    } else if (Equals(name, L"caption")) {
      manager->SetCaptionRect(attr::ParseRect(value));
    } else if (Equals(name, L"roundcorner")) {
      const SIZE s = attr::ParseSize(value);
      manager->SetRoundCorner(s.cx, s.cy);
    } else if (Equals(name, L"mininfo")) {
      const SIZE s = attr::ParseSize(value);
      manager->SetMinInfo(s.cx, s.cy);
    } else if (Equals(name, L"maxinfo")) {
      const SIZE s = attr::ParseSize(value);
      manager->SetMaxInfo(s.cx, s.cy);
    } else if (Equals(name, L"showdirty")) {
      manager->SetShowUpdateRect(attr::IsTrue(value));
    } else if (Equals(name, L"opacity") || Equals(name, L"alpha")) {
      manager->SetOpacity(static_cast<BYTE>(attr::ParseInt(value)));
    } else if (wcscmp(name, L"layeredopacity") == 0) {
      manager->SetLayeredOpacity(static_cast<BYTE>(attr::ParseInt(value)));
    } else if (wcscmp(name, L"layered") == 0 || wcscmp(name, L"bktrans") == 0) {
      manager->SetLayered(attr::IsTrue(value));
    } else if (wcscmp(name, L"layeredimage") == 0) {
      manager->SetLayered(true);
      manager->SetLayeredImage(value);
    } else if (wcscmp(name, L"noactivate") == 0) {
      manager->SetNoActivate(attr::IsTrue(value));
    } else if (Equals(name, L"disabledfontcolor")) {
      manager->SetDisabledTextColor(attr::ParseColor(value));
    } else if (Equals(name, L"defaultfontcolor")) {
      manager->SetDefaultTextColor(attr::ParseColor(value));
    } else if (Equals(name, L"linkfontcolor")) {
      manager->SetLinkTextColor(attr::ParseColor(value));
    } else if (Equals(name, L"linkhoverfontcolor")) {
      manager->SetLinkHoverTextColor(attr::ParseColor(value));
    } else if (Equals(name, L"selectedcolor")) {
      manager->SetSelectedBkColor(attr::ParseColor(value));
    } else if (Equals(name, L"shadowsize")) {
      manager->GetShadow()->SetSize(attr::ParseInt(value));
    } else if (Equals(name, L"shadowsharpness")) {
      manager->GetShadow()->SetSharpness(attr::ParseInt(value));
    } else if (Equals(name, L"shadowdarkness")) {
      manager->GetShadow()->SetDarkness(attr::ParseInt(value));
    } else if (Equals(name, L"shadowposition")) {
      const SIZE s = attr::ParseSize(value);
      manager->GetShadow()->SetPosition(s.cx, s.cy);
    } else if (Equals(name, L"shadowcolor")) {
      manager->GetShadow()->SetColor(attr::ParseColor(value));
    } else if (Equals(name, L"shadowcorner")) {
      manager->GetShadow()->SetShadowCorner(attr::ParseRect(value));
    } else if (Equals(name, L"shadowimage")) {
      manager->GetShadow()->SetImage(value);
    } else if (Equals(name, L"showshadow")) {
      manager->GetShadow()->SetEnabled(attr::IsTrue(value));
    } else if (Equals(name, L"gdiplustext")) {
      manager->SetGdiplusText(attr::IsTrue(value));
    } else if (Equals(name, L"textrenderinghint")) {
      manager->SetTextRenderingHint(attr::ParseInt(value));
    } else if (Equals(name, L"tooltiphovertime")) {
      manager->SetToolTipHoverTime(static_cast<UINT>(attr::ParseInt(value)));
    }
  }
}

namespace {

// Tree nodes join a tree: a node inside a node becomes its child node, a node
// inside a view joins the view, and a node anywhere else is refused. Other
// controls inside a node go into the node's row, after its item button.
bool AttachToParent(CControlUI* parent, IContainerUI* container, CControlUI* control) {
  auto* parent_node = static_cast<CTreeNodeUI*>(parent->QueryInterfaceByName(L"TreeNode"));
  if (control->QueryInterfaceByName(L"TreeNode") != nullptr) {
    if (parent_node != nullptr) return parent_node->Add(control);
    if (auto* view = static_cast<CTreeViewUI*>(parent->QueryInterfaceByName(L"TreeView"))) return view->AddNode(control);
    return false;
  }
  if (parent_node != nullptr) return parent_node->GetRowLayout()->Add(control);
  return container->Add(control);
}

}  // namespace

CControlUI* CUiSkinBuilder::ParseControls(CUiXmlNode node, CControlUI* parent, CPaintManagerUI* manager, int depth) {
  if (depth >= kMaxControlDepth) return nullptr;
  CControlUI* first = nullptr;
  IContainerUI* container = nullptr;
  bool container_looked_up = false;
  for (CUiXmlNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
    const wchar_t* element = child.GetName();
    if (IsResourceElement(element)) continue;
    if (attr::Equals(element, L"Include")) {
      if (!child.HasAttributes()) continue;
      wchar_t buffer[500] = {};
      int count = 1;
      if (child.GetAttributeValue(L"count", buffer, 499)) count = attr::ParseInt(buffer);
      buffer[0] = L'\0';
      if (!child.GetAttributeValue(L"source", buffer, 499) || buffer[0] == L'\0') continue;
      if (include_depth_ + 1 >= kMaxIncludeDepth) continue;
      for (int i = 0; i < count; ++i) {
        CUiSkinBuilder included;
        included.include_depth_ = include_depth_ + 1;
        included.module_ = module_;
        if (type_ != nullptr) {
          included.Create(MAKEINTRESOURCEW(attr::ParseInt(buffer)), type_, callback_, manager, parent);
        } else {
          included.Create(buffer, nullptr, callback_, manager, parent);
        }
      }
      continue;
    }
    const CUiString class_name = CUiString(L"C") + element + L"UI";
    CControlUI* control = CControlFactory::GetInstance().CreateControl(class_name.GetData());
    if (control == nullptr && callback_ != nullptr) control = callback_->CreateCustomControl(element);
    if (control == nullptr) continue;

    if (child.HasChildren()) ParseControls(child, control, manager, depth + 1);

    if (parent != nullptr) {
      if (!container_looked_up) {
        container = static_cast<IContainerUI*>(parent->QueryInterfaceByName(L"IContainer"));
        container_looked_up = true;
      }
      if (container == nullptr) {
        delete control;
        return nullptr;
      }
      if (!AttachToParent(parent, container, control)) {
        delete control;
        continue;
      }
    }
    if (manager != nullptr) {
      control->SetManager(manager, nullptr, false);
      const wchar_t* defaults = manager->FindDefaultAttributes(element);
      if (defaults != nullptr) control->ApplyAttributeString(defaults);
    }
    const int count = child.GetAttributeCount();
    for (int i = 0; i < count; ++i) control->SetAttribute(child.GetAttributeName(i), child.GetAttributeValue(i));
    if (manager != nullptr) control->SetManager(nullptr, nullptr, false);
    if (first == nullptr) {
      first = control;
    } else if (parent == nullptr) {
      // Only the first top-level control is handed back; the others would be
      // attached nowhere and leak.
      delete control;
    }
  }
  return first;
}

}  // namespace SkinUI
