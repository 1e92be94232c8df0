// Builds a window's control tree from a skin: registers the skin's fonts,
// images, default attribute lists and styles with the paint manager, applies
// the Window element's settings and creates one control per element.
#pragma once

#include <windows.h>

#include "ui_toolkit/core/ui_xml.h"

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;

class IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateCustomControl(const wchar_t* class_name) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

class CUiSkinBuilder {
 public:
  CUiSkinBuilder() = default;
  CUiSkinBuilder(const CUiSkinBuilder&) = delete;
  CUiSkinBuilder& operator=(const CUiSkinBuilder&) = delete;

  // |skin| is a skin text ("<..."), a skin file name, or (below 0x10000) an
  // integer resource identifier of resource type |type|.
  CControlUI* Create(const wchar_t* skin, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  CControlUI* CreateFromDocument(IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                                 CControlUI* parent = nullptr);
  void SetModule(HMODULE module) { module_ = module; }
  CUiXmlDocument* GetDocument() { return &document_; }

 private:
  CControlUI* ParseControls(CUiXmlNode node, CControlUI* parent, CPaintManagerUI* manager, int depth);
  void RegisterResources(CUiXmlNode root, CPaintManagerUI* manager);
  void ApplyWindowAttributes(CUiXmlNode root, CPaintManagerUI* manager);

  CUiXmlDocument document_;
  IDialogBuilderCallback* callback_ = nullptr;
  const wchar_t* type_ = nullptr;
  HMODULE module_ = nullptr;
  // How deep this builder sits in a chain of Include elements.
  int include_depth_ = 0;
};

}  // namespace SkinUI
