// A tree shown as a flat list: nodes are container rows kept in depth-first
// order and indented by depth. Each node builds its own row (dotted line,
// folder button, check box, item button); the view listens to those parts so
// that folding a node hides its descendants and checking a node checks its
// whole subtree.
#pragma once

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_elements.h"

namespace SkinUI {

class CCheckBoxUI;
class CLabelUI;
class COptionUI;
class CTreeViewUI;

class CTreeNodeUI : public CListContainerElementUI {
 public:
  // |parent| starts the node one level below it when it is a tree node.
  explicit CTreeNodeUI(CControlUI* parent = nullptr);
  ~CTreeNodeUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool Select(bool select = true) override;
  bool SetSelectedFlag(bool select) override;

  CTreeNodeUI* GetChildNode(int index) const;
  int GetChildNodeCount() const { return child_nodes_.GetSize(); }
  bool HasChildNodes() const { return !child_nodes_.IsEmpty(); }
  CTreeNodeUI* GetParentNode() const { return parent_node_; }
  void SetParentNode(CTreeNodeUI* node) { parent_node_ = node; }
  CTreeViewUI* GetTreeView() const { return tree_view_; }
  void SetTreeView(CTreeViewUI* view) { tree_view_ = view; }
  int GetNodeDepth() const;
  int GetViewIndex() const;
  CTreeNodeUI* GetLastDescendant();
  bool AddChildNode(CControlUI* control);
  bool InsertChildNode(CControlUI* control, int index);
  bool RemoveChildNode(CControlUI* control);
  void SetVisibleFolderBtn(bool visible);
  void SetVisibleCheckBtn(bool visible);

  void SetItemTextColor(DWORD color);
  DWORD GetItemTextColor() const { return item_text_color_; }
  void SetItemHotTextColor(DWORD color);
  DWORD GetItemHotTextColor() const { return item_hot_text_color_; }
  void SetSelItemTextColor(DWORD color);
  DWORD GetSelItemTextColor() const { return sel_item_text_color_; }
  void SetSelItemHotTextColor(DWORD color);
  DWORD GetSelItemHotTextColor() const { return sel_item_hot_text_color_; }

  CHorizontalLayoutUI* GetRowLayout() const { return row_layout_; }
  CCheckBoxUI* GetFolderButton() const { return folder_button_; }
  CLabelUI* GetDottedLine() const { return dotted_line_; }
  CCheckBoxUI* GetCheckBox() const { return check_box_; }
  COptionUI* GetItemButton() const { return item_button_; }

 private:
  // Makes |child| one level below this node, in this node's view.
  void AttachChild(CTreeNodeUI* child);
  void IndentLineBelow(int parent_width);

  DWORD item_text_color_ = 0;
  DWORD item_hot_text_color_ = 0;
  DWORD sel_item_text_color_ = 0;
  DWORD sel_item_hot_text_color_ = 0;
  CTreeViewUI* tree_view_ = nullptr;
  CHorizontalLayoutUI* row_layout_ = nullptr;
  CCheckBoxUI* folder_button_ = nullptr;
  CLabelUI* dotted_line_ = nullptr;
  CCheckBoxUI* check_box_ = nullptr;
  COptionUI* item_button_ = nullptr;
  CTreeNodeUI* parent_node_ = nullptr;
  CUiPtrArray child_nodes_;
};

class CTreeViewUI : public CListUI, public INotifyUI {
 public:
  CTreeViewUI();
  ~CTreeViewUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  int GetListKind() const override { return 2; }
  bool RemoveAt(int index) override;
  void Notify(NotifyMsgUI&) override {}

  virtual bool AddNode(CControlUI* control);
  virtual bool AddNodeAt(CControlUI* control, CControlUI* reference);
  virtual int InsertNode(CControlUI* control, int index);
  virtual bool RemoveNode(CControlUI* control);
  virtual bool OnCheckBoxNotify(void* param);
  virtual bool OnFolderNotify(void* param);
  virtual bool OnNodeDoubleClickNotify(void* param);
  virtual bool SetNodesChecked(bool checked, CTreeNodeUI* node);
  virtual void SetNodesExpanded(bool expand, CTreeNodeUI* node);
  virtual void SetVisibleFolderBtn(bool visible);
  virtual bool GetVisibleFolderBtn() const { return visible_folder_btn_; }
  virtual void SetVisibleCheckBtn(bool visible);
  virtual bool GetVisibleCheckBtn() const { return visible_check_btn_; }
  virtual void SetItemMinWidth(UINT width);
  virtual UINT GetItemMinWidth() const { return item_min_width_; }
  virtual void SetItemTextColor(DWORD color);
  virtual void SetItemHotTextColor(DWORD color);
  virtual void SetSelItemTextColor(DWORD color);
  virtual void SetSelItemHotTextColor(DWORD color);

 private:
  // Delegates, visibility flags and minimum width for a node joining the view.
  bool PrepareNode(CTreeNodeUI* node);
  static void Indent(CTreeNodeUI* node);
  CTreeNodeUI* NodeAt(int index) const;

  UINT item_min_width_ = 0;
  bool visible_folder_btn_ = true;
  bool visible_check_btn_ = false;
};

}  // namespace SkinUI
