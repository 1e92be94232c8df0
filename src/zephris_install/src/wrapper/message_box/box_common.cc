#include "src/zephris_install/src/wrapper/message_box/box_common.h"

#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace install_box {

std::wstring BoxTitle() {
  const std::optional<std::string>& name = GlobalConfig::Instance().display_name;
  if (name.has_value() && !name->empty()) return base::Utf8ToWide(*name);
  return L"OrvalisQuillorane";
}

}  // namespace install_box
