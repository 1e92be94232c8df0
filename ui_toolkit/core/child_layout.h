// A container that fills itself from a separate skin file when it is
// initialised.
#pragma once

#include "ui_toolkit/core/container.h"

namespace SkinUI {

class CChildLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClassName() const override;
  // Only "ChildLayout" and the control names: a child layout is not offered as a container.
  void* QueryInterfaceByName(const wchar_t* name) override;
  void Initialize() override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  void SetChildLayoutXML(const wchar_t* name) { skin_file_ = name; }
  const CUiString& GetChildLayoutXML() const { return skin_file_; }

 private:
  CUiString skin_file_;
};

}  // namespace SkinUI
