// An event's parameters: key to UTF-8 text, keys in byte-wise order.
#pragma once

#include <map>
#include <string>

namespace vireon {

using ReportParams = std::map<std::string, std::string>;

}  // namespace vireon
