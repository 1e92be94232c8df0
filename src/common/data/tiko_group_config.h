// The user-group feedback configuration: the number of the product's user
// group in the maker's messenger and the link that joins it, shown in the
// main window's feedback boxes.
#pragma once

#include <string>

namespace data {

struct TikoGroupConfig {
  std::string tiko_number;  // decimal digits
  std::string group_link;   // the URL that joins the group
};

// What the windows show before a fetch, and whenever a fetch fails.
TikoGroupConfig DefaultTikoGroupConfig();

// Asks the recall query "RecallBbsFeedbackCfg" for `scene` ("unknown" when
// empty). Never fails: whatever could not be fetched or read keeps its
// built-in value. A link that is not an http or https URL is not taken, since
// the windows hand it to the shell to open. Synchronous; never throws.
TikoGroupConfig FetchTikoGroupCfg(const std::string& scene) noexcept;

}  // namespace data
