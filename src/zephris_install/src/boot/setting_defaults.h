// The values to assume for the user settings the product keeps as HKCU
// QWORDs when a setting is absent.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

// `.at` of a name that is not a setting throws std::out_of_range.
const std::unordered_map<std::string, int64_t>& SettingDefaults();
