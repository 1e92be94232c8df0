#include "ui_toolkit/controls/tree_view.h"

#include <cwchar>

#include "ui_toolkit/controls/check_box.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/list_body.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

CTreeNodeUI* AsNode(CControlUI* control) {
  return control != nullptr ? static_cast<CTreeNodeUI*>(control->QueryInterfaceByName(L"TreeNode")) : nullptr;
}

}  // namespace

// ---- node

CTreeNodeUI::CTreeNodeUI(CControlUI* parent) {
  SetFixedHeight(18);
  SetFixedWidth(250);
  row_layout_ = new CHorizontalLayoutUI();
  folder_button_ = new CCheckBoxUI();
  dotted_line_ = new CLabelUI();
  check_box_ = new CCheckBoxUI();
  item_button_ = new COptionUI();

  row_layout_->SetChildVAlign(DT_VCENTER);
  folder_button_->SetFixedWidth(GetFixedHeight());
  dotted_line_->SetFixedWidth(2);
  dotted_line_->SetVisible(false);
  check_box_->SetFixedWidth(GetFixedHeight());
  check_box_->SetVisible(false);
  item_button_->SetAttribute(L"align", L"left");
  item_button_->SetMouseEnabled(false);

  if (parent != nullptr && std::wcscmp(parent->GetClassName(), L"TreeNodeUI") == 0) {
    auto* parent_node = static_cast<CTreeNodeUI*>(parent);
    dotted_line_->SetVisible(parent_node->IsVisible());
    dotted_line_->SetFixedWidth(parent_node->dotted_line_->GetFixedWidth() + 16);
    parent_node_ = parent_node;
  }
  row_layout_->Add(dotted_line_);
  row_layout_->Add(folder_button_);
  row_layout_->Add(check_box_);
  row_layout_->Add(item_button_);
  CContainerUI::Add(row_layout_);
}

CTreeNodeUI::~CTreeNodeUI() {
  // Nodes are rows of the view and die in row order, so a parent may go
  // before its children (or alone, through the list's Remove): neither side
  // may keep pointing at the other.
  for (int i = 0; i < child_nodes_.GetSize(); ++i) {
    static_cast<CTreeNodeUI*>(child_nodes_.GetAt(i))->parent_node_ = nullptr;
  }
  if (parent_node_ != nullptr) {
    const int at = parent_node_->child_nodes_.Find(this);
    if (at >= 0) parent_node_->child_nodes_.RemoveAt(at);
  }
}

const wchar_t* CTreeNodeUI::GetClassName() const { return L"TreeNodeUI"; }

void* CTreeNodeUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"TreeNode")) return static_cast<CTreeNodeUI*>(this);
  return CListContainerElementUI::QueryInterfaceByName(name);
}

void CTreeNodeUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (owner_ != nullptr) {
      owner_->HandleOwnerEvent(event);
    } else {
      CContainerUI::HandleEvent(event);
    }
    return;
  }
  CListContainerElementUI::HandleEvent(event);
  if (event.Type == UIEVENT_DBLCLICK && IsEnabled()) {
    if (manager_ != nullptr) manager_->SendNotify(this, L"treeitemdbclick");
    Invalidate();
  } else if (event.Type == UIEVENT_MOUSEENTER) {
    if (!IsEnabled()) {
      item_button_->SetTextColor(item_button_->GetDisabledTextColor());
    } else if (IsSelected() && sel_item_hot_text_color_ != 0) {
      item_button_->SetTextColor(sel_item_hot_text_color_);
    } else {
      item_button_->SetTextColor(item_hot_text_color_);
    }
  } else if (event.Type == UIEVENT_MOUSELEAVE) {
    if (!IsEnabled()) {
      item_button_->SetTextColor(item_button_->GetDisabledTextColor());
    } else if (IsSelected()) {
      if (sel_item_text_color_ != 0) item_button_->SetTextColor(sel_item_text_color_);
    } else {
      item_button_->SetTextColor(item_text_color_);
    }
  }
}

void CTreeNodeUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"text")) {
    item_button_->SetText(value);
  } else if (Equals(name, L"horizattr")) {
    row_layout_->ApplyAttributeString(value);
  } else if (Equals(name, L"dotlineattr")) {
    dotted_line_->ApplyAttributeString(value);
  } else if (Equals(name, L"folderattr")) {
    folder_button_->ApplyAttributeString(value);
  } else if (Equals(name, L"checkboxattr")) {
    check_box_->ApplyAttributeString(value);
  } else if (Equals(name, L"itemattr")) {
    item_button_->ApplyAttributeString(value);
  } else if (Equals(name, L"itemtextcolor")) {
    SetItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemhottextcolor")) {
    SetItemHotTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"selitemtextcolor")) {
    SetSelItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"selitemhottextcolor")) {
    SetSelItemHotTextColor(attr::ParseColor(value));
  } else {
    CListContainerElementUI::SetAttribute(name, value);
  }
}

bool CTreeNodeUI::Add(CControlUI* control) {
  if (AsNode(control) != nullptr) return AddChildNode(control);
  return CContainerUI::Add(control);
}

bool CTreeNodeUI::AddAt(CControlUI* control, int index) { return InsertChildNode(control, index); }

bool CTreeNodeUI::Remove(CControlUI* control) { return RemoveChildNode(control); }

bool CTreeNodeUI::Select(bool select) {
  const bool ok = CListContainerElementUI::Select(select);
  item_button_->SetTextColor(IsSelected() ? sel_item_text_color_ : item_text_color_);
  return ok;
}

bool CTreeNodeUI::SetSelectedFlag(bool select) {
  const bool ok = CListContainerElementUI::SetSelectedFlag(select);
  item_button_->SetTextColor(IsSelected() ? sel_item_text_color_ : item_text_color_);
  return ok;
}

CTreeNodeUI* CTreeNodeUI::GetChildNode(int index) const {
  return static_cast<CTreeNodeUI*>(child_nodes_.GetAtOrNull(index));
}

int CTreeNodeUI::GetNodeDepth() const {
  int depth = 0;
  for (CTreeNodeUI* up = parent_node_; up != nullptr; up = up->parent_node_) ++depth;
  return depth;
}

int CTreeNodeUI::GetViewIndex() const {
  if (tree_view_ == nullptr) return -1;
  return tree_view_->GetItemIndex(const_cast<CTreeNodeUI*>(this));
}

CTreeNodeUI* CTreeNodeUI::GetLastDescendant() {
  CTreeNodeUI* node = this;
  while (node->HasChildNodes()) node = node->GetChildNode(node->GetChildNodeCount() - 1);
  return node;
}

void CTreeNodeUI::AttachChild(CTreeNodeUI* child) {
  child->dotted_line_->SetVisible(true);
  child->IndentLineBelow(dotted_line_->GetFixedWidth());
  child->parent_node_ = this;
  child->item_button_->SetGroupName(item_button_->GetGroupName().GetData());
  child->tree_view_ = tree_view_;
}

void CTreeNodeUI::IndentLineBelow(int parent_width) {
  // Skins attach the deepest nodes first, so a subtree that moves under a
  // new parent carries its lines one level further in.
  dotted_line_->SetFixedWidth(parent_width + 16);
  for (int i = 0; i < child_nodes_.GetSize(); ++i) {
    static_cast<CTreeNodeUI*>(child_nodes_.GetAt(i))->IndentLineBelow(dotted_line_->GetFixedWidth());
  }
}

bool CTreeNodeUI::AddChildNode(CControlUI* control) {
  CTreeNodeUI* child = AsNode(control);
  if (child == nullptr) return false;
  AttachChild(child);
  if (tree_view_ != nullptr) {
    const int at = GetLastDescendant()->GetViewIndex() + 1;
    if (tree_view_->InsertNode(child, at) < 0) {
      child->parent_node_ = nullptr;
      return false;
    }
  }
  return child_nodes_.Add(child);
}

bool CTreeNodeUI::InsertChildNode(CControlUI* control, int index) {
  CTreeNodeUI* child = AsNode(control);
  if (child == nullptr) return false;
  if (CTreeNodeUI* before = GetChildNode(index)) {
    child_nodes_.InsertAt(index, child);
    AttachChild(child);
    if (tree_view_ != nullptr) return tree_view_->AddNodeAt(child, before);
    return true;
  }
  child_nodes_.Add(child);
  AttachChild(child);
  if (tree_view_ == nullptr) return true;
  // Appended children go after this node's whole subtree, so the view keeps
  // its depth-first order and the child list and the rows agree.
  CTreeNodeUI* previous = GetChildNode(GetChildNodeCount() - 2);
  const int next = (previous != nullptr ? previous->GetLastDescendant() : this)->GetViewIndex() + 1;
  CControlUI* following = tree_view_->GetItemAt(next);
  if (following != nullptr) return tree_view_->AddNodeAt(child, following);
  return tree_view_->AddNode(child);
}

bool CTreeNodeUI::RemoveChildNode(CControlUI* control) {
  CTreeNodeUI* child = AsNode(control);
  if (child == nullptr) return false;
  const int at = child_nodes_.Find(child);
  if (at < 0) return false;
  while (child->HasChildNodes()) child->RemoveChildNode(child->GetChildNode(0));
  child_nodes_.RemoveAt(at);
  child->parent_node_ = nullptr;
  if (tree_view_ != nullptr) tree_view_->RemoveNode(child);
  return true;
}

void CTreeNodeUI::SetVisibleFolderBtn(bool visible) { folder_button_->SetVisible(visible); }
void CTreeNodeUI::SetVisibleCheckBtn(bool visible) { check_box_->SetVisible(visible); }

void CTreeNodeUI::SetItemTextColor(DWORD color) {
  item_text_color_ = color;
  item_button_->SetTextColor(color);
}
void CTreeNodeUI::SetItemHotTextColor(DWORD color) {
  item_hot_text_color_ = color;
  InvalidateListItem();
}
void CTreeNodeUI::SetSelItemTextColor(DWORD color) {
  sel_item_text_color_ = color;
  InvalidateListItem();
}
void CTreeNodeUI::SetSelItemHotTextColor(DWORD color) {
  sel_item_hot_text_color_ = color;
  InvalidateListItem();
}

// ---- view

CTreeViewUI::CTreeViewUI() { GetHeader()->SetVisible(false); }

CTreeViewUI::~CTreeViewUI() = default;

const wchar_t* CTreeViewUI::GetClassName() const { return L"TreeViewUI"; }

void* CTreeViewUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"TreeView")) return static_cast<CTreeViewUI*>(this);
  return CListUI::QueryInterfaceByName(name);
}

CTreeNodeUI* CTreeViewUI::NodeAt(int index) const { return AsNode(GetItemAt(index)); }

bool CTreeViewUI::PrepareNode(CTreeNodeUI* node) {
  if (node == nullptr) return false;
  node->OnNotify += MakeDelegate(this, &CTreeViewUI::OnNodeDoubleClickNotify);
  node->GetFolderButton()->OnNotify += MakeDelegate(this, &CTreeViewUI::OnFolderNotify);
  node->GetCheckBox()->OnNotify += MakeDelegate(this, &CTreeViewUI::OnCheckBoxNotify);
  node->SetVisibleFolderBtn(visible_folder_btn_);
  node->SetVisibleCheckBtn(visible_check_btn_);
  if (item_min_width_ > 0) node->SetMinWidth(static_cast<int>(item_min_width_));
  return true;
}

void CTreeViewUI::Indent(CTreeNodeUI* node) {
  CCheckBoxUI* folder = node->GetFolderButton();
  int step = 0;
  if (folder->IsVisible()) {
    step = folder->GetFixedWidth();
    if (step < 1) step = 16;
  }
  folder->SetPadding(RECT{node->GetNodeDepth() * step, 0, 0, 0});
}

bool CTreeViewUI::AddNode(CControlUI* control) {
  CTreeNodeUI* node = AsNode(control);
  if (!PrepareNode(node)) return false;
  if (!CListUI::Add(node)) return false;
  Indent(node);
  for (int i = 0; i < node->GetChildNodeCount(); ++i) AddNode(node->GetChildNode(i));
  node->SetTreeView(this);
  return true;
}

int CTreeViewUI::InsertNode(CControlUI* control, int index) {
  CTreeNodeUI* node = AsNode(control);
  if (!PrepareNode(node)) return -1;
  if (!CListUI::AddAt(node, index)) return -1;
  // A node that is a row of this view answers to it, also when it came in
  // here directly: removing it later must find its descendants' rows.
  node->SetTreeView(this);
  Indent(node);
  int next = index + 1;
  for (int i = 0; i < node->GetChildNodeCount(); ++i) {
    next = InsertNode(node->GetChildNode(i), next);
    if (next < 0) return -1;
  }
  return next;
}

bool CTreeViewUI::AddNodeAt(CControlUI* control, CControlUI* reference) {
  CTreeNodeUI* node = AsNode(control);
  if (node == nullptr || GetCount() == 0) return false;
  const int index = GetItemIndex(reference);
  if (reference == nullptr || index < 0) return false;
  if (InsertNode(node, index) < 0) return false;
  Indent(node);
  return true;
}

bool CTreeViewUI::RemoveNode(CControlUI* control) {
  CTreeNodeUI* node = AsNode(control);
  if (node == nullptr) return false;
  for (int i = node->GetChildNodeCount() - 1; i >= 0; --i) node->Remove(node->GetChildNode(i));
  return CListUI::Remove(node);
}

bool CTreeViewUI::RemoveAt(int index) {
  CTreeNodeUI* node = NodeAt(index);
  if (node == nullptr) return CListUI::RemoveAt(index);
  return RemoveNode(node);
}

bool CTreeViewUI::OnCheckBoxNotify(void* param) {
  auto* msg = static_cast<NotifyMsgUI*>(param);
  if (msg->sType == L"selectchanged") {
    auto* box = static_cast<CCheckBoxUI*>(msg->pSender);
    CControlUI* row = box->GetParent();
    CTreeNodeUI* node = row != nullptr ? AsNode(row->GetParent()) : nullptr;
    if (node != nullptr) SetNodesChecked(box->IsSelected(), node);
  }
  return true;
}

bool CTreeViewUI::OnFolderNotify(void* param) {
  auto* msg = static_cast<NotifyMsgUI*>(param);
  if (msg->sType == L"selectchanged") {
    auto* folder = static_cast<CCheckBoxUI*>(msg->pSender);
    CControlUI* row = folder->GetParent();
    CTreeNodeUI* node = row != nullptr ? AsNode(row->GetParent()) : nullptr;
    if (node != nullptr) SetNodesExpanded(!folder->IsSelected(), node);
  }
  return true;
}

bool CTreeViewUI::OnNodeDoubleClickNotify(void* param) {
  auto* msg = static_cast<NotifyMsgUI*>(param);
  if (!attr::Equals(msg->sType.GetData(), L"treeitemdbclick")) return false;
  CTreeNodeUI* node = AsNode(msg->pSender);
  if (node == nullptr) return false;
  CCheckBoxUI* folder = node->GetFolderButton();
  folder->Selected(!folder->IsSelected(), true);
  SetNodesExpanded(!folder->IsSelected(), node);
  return true;
}

bool CTreeViewUI::SetNodesChecked(bool checked, CTreeNodeUI* node) {
  if (node != nullptr) {
    for (int i = 0; i < node->GetChildNodeCount(); ++i) {
      CTreeNodeUI* child = node->GetChildNode(i);
      child->GetCheckBox()->Selected(checked, true);
      if (child->HasChildNodes()) SetNodesChecked(checked, child);
    }
    return true;
  }
  for (int i = 0; i < GetCount(); ++i) {
    CTreeNodeUI* item = NodeAt(i);
    if (item == nullptr) continue;
    item->GetCheckBox()->Selected(checked, true);
    if (item->HasChildNodes()) SetNodesChecked(checked, item);
  }
  return true;
}

void CTreeViewUI::SetNodesExpanded(bool expand, CTreeNodeUI* node) {
  if (node != nullptr) {
    for (int i = 0; i < node->GetChildNodeCount(); ++i) {
      CTreeNodeUI* child = node->GetChildNode(i);
      child->SetVisible(expand);
      if (child->HasChildNodes() && !child->GetFolderButton()->IsSelected()) SetNodesExpanded(expand, child);
    }
    return;
  }
  for (int i = 0; i < GetCount(); ++i) {
    CTreeNodeUI* item = NodeAt(i);
    if (item == nullptr) continue;
    item->GetFolderButton()->Selected(!expand, true);
    if (item->HasChildNodes() && !item->GetFolderButton()->IsSelected()) SetNodesExpanded(expand, item);
  }
}

void CTreeViewUI::SetVisibleFolderBtn(bool visible) {
  visible_folder_btn_ = visible;
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) {
      node->SetVisibleFolderBtn(visible);
      Indent(node);
    }
  }
}

void CTreeViewUI::SetVisibleCheckBtn(bool visible) {
  visible_check_btn_ = visible;
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) node->SetVisibleCheckBtn(visible);
  }
}

void CTreeViewUI::SetItemMinWidth(UINT width) {
  item_min_width_ = width;
  for (int i = 0; i < GetCount(); ++i) {
    if (CControlUI* item = GetItemAt(i)) item->SetMinWidth(static_cast<int>(width));
  }
  Invalidate();
}

void CTreeViewUI::SetItemTextColor(DWORD color) {
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) node->SetItemTextColor(color);
  }
}

void CTreeViewUI::SetItemHotTextColor(DWORD color) {
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) node->SetItemHotTextColor(color);
  }
}

void CTreeViewUI::SetSelItemTextColor(DWORD color) {
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) node->SetSelItemTextColor(color);
  }
}

void CTreeViewUI::SetSelItemHotTextColor(DWORD color) {
  for (int i = 0; i < GetCount(); ++i) {
    if (CTreeNodeUI* node = NodeAt(i)) node->SetSelItemHotTextColor(color);
  }
}

void CTreeViewUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"visiblefolderbtn")) {
    SetVisibleFolderBtn(attr::IsTrue(value));
  } else if (Equals(name, L"visiblecheckbtn")) {
    SetVisibleCheckBtn(attr::IsTrue(value));
  } else if (Equals(name, L"itemminwidth")) {
    SetItemMinWidth(static_cast<UINT>(attr::ParseInt(value)));
  } else if (Equals(name, L"itemtextcolor")) {
    SetItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemhottextcolor")) {
    SetItemHotTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"selitemtextcolor")) {
    SetSelItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"selitemhottextcolor")) {
    SetSelItemHotTextColor(attr::ParseColor(value));
  } else {
    CListUI::SetAttribute(name, value);
  }
}

}  // namespace SkinUI
