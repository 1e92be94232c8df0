// The process-wide map from a skin element's class name to the function that
// creates a control of that class.
#pragma once

#include <map>
#include <string>

namespace SkinUI {

class CControlUI;

using ControlCreator = CControlUI* (*)();

class CControlFactory {
 public:
  static CControlFactory& GetInstance();

  // A name already present keeps its first creator.
  void RegisterControl(const wchar_t* class_name, ControlCreator creator);
  CControlUI* CreateControl(const wchar_t* class_name) const;

 private:
  CControlFactory();
  std::map<std::wstring, ControlCreator> creators_;
};

}  // namespace SkinUI
