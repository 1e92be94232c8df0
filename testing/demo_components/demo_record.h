// What the demo programs share: their arguments, the value of one option, and
// the record of their command line that each one leaves beside itself, so
// that a test or `make run` can show how the installer started them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

// The arguments after the program path, split as Windows splits them.
std::vector<std::wstring> Arguments();

// The value of "--name value" or "--name=value"; empty when the option is
// absent. A trailing "--name" without a value gives the empty text.
std::optional<std::wstring> OptionValue(const std::vector<std::wstring>& args, std::wstring_view name);

// "Quillorane", the product the demo stands in for; the variable
// QL_DEMO_PRODUCT_NAME names another one, so that tests keep to keys and
// folders of their own.
std::wstring ProductName();

// Folder and file of the running program.
std::filesystem::path OwnPath();

// <own folder>\<own name without ".exe">.cmdline.txt: one line per start.
std::filesystem::path RecordPath();

// Appends the arguments as the program received them (the raw command line
// after the program path, quotes included) as one UTF-8 line to RecordPath.
bool AppendCommandLineRecord();

}  // namespace demo
